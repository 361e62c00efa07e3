// The frame-rate meter over the kernel's clock, and the fps report line.
#include "kern/fps.h"
#include "kern/clock.h"
#include "kern/string.h"

namespace kern {

const uint32_t NUMBER_BYTES = 12;
const uint32_t TENTHS = 10;
const int32_t ANGLE_BITS_MASK = 0x1FFF;   // only the low 13 bits of an angle turn the view
const int32_t ANGLE_SIGN = 0x1000;

static bool window_open;
static uint64_t window_start;   // the clock at the last latch
static uint32_t window_frames;  // frames since then
static uint32_t latest;

void Fps_Reset()
{
    window_open = false;
    window_start = 0;
    window_frames = 0;
    latest = 0;
}

uint32_t frames_per_second(uint32_t frames, uint64_t elapsed, uint64_t rate)
{
    if (elapsed == 0)
        return 0;
    return static_cast<uint32_t>((frames * rate + elapsed / 2) / elapsed);
}

// A clock without a rate keeps the window closed: frames counted against
// no second would only pile up.
void Fps_Frame()
{
    uint64_t now = Clock_Now();
    uint64_t rate = Clock_Rate();
    if (!window_open || rate == 0) {
        window_open = rate != 0;
        window_start = now;
        window_frames = 0;
        return;
    }
    window_frames++;
    uint64_t elapsed = now - window_start;
    if (elapsed < rate)
        return;
    latest = frames_per_second(window_frames, elapsed, rate);
    window_start = now;
    window_frames = 0;
}

uint32_t Fps_Latest() { return latest; }

char* fixed_text(Fixed value, char text[FIXED_TEXT_BYTES])
{
    // The magnitude in unsigned arithmetic, so that -2^31 has one too.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    uint32_t tenths = static_cast<uint32_t>((static_cast<uint64_t>(magnitude) * TENTHS) >> FIXED_SHIFT);
    char digits[NUMBER_BYTES];
    text[0] = 0;
    if (value < 0)
        strcat("-", text);
    strcat(putint(static_cast<int32_t>(tenths / TENTHS), digits, NUMBER_BYTES), text);
    char decimal[3] = {'.', static_cast<char>('0' + tenths % TENTHS), 0};
    strcat(decimal, text);
    return text;
}

// The angle's direction: its low 13 bits, taken as a signed number.
static int32_t direction(int32_t angle)
{
    return ((angle & ANGLE_BITS_MASK) ^ ANGLE_SIGN) - ANGLE_SIGN;
}

void fps_line(uint32_t fps, Vec3 position, int32_t pitch, int32_t yaw, char line[FPS_LINE_BYTES])
{
    char number[FIXED_TEXT_BYTES];
    putint(static_cast<int32_t>(fps), line, NUMBER_BYTES);
    strcat(" fps, x ", line);
    strcat(fixed_text(position.x, number), line);
    strcat(" y ", line);
    strcat(fixed_text(position.y, number), line);
    strcat(" z ", line);
    strcat(fixed_text(position.z, number), line);
    strcat(", pitch ", line);
    strcat(putint(direction(pitch), number, NUMBER_BYTES), line);
    strcat(" yaw ", line);
    strcat(putint(direction(yaw), number, NUMBER_BYTES), line);
}

} // namespace kern
