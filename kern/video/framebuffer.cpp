// The back buffer, its presentation and the 2D fills.
#include "hw/hw.h"
#include "kern/timer.h"
#include "kern/video.h"

namespace kern {

const uint16_t INPUT_STATUS = 0x3DA;
const uint8_t IN_RETRACE = 0x08;
// 1/70 s at the timer's programmed rate (1193182 Hz / 20).
const uint32_t TICKS_PER_FRAME = 852;

static uint32_t lastRetrace; // tick count when the last wait returned

// Clips the inclusive range [lo, hi] to [0, max]; false when nothing is left.
// Same pixels as testing every one with an unsigned compare against max.
static bool clip(int64_t& lo, int64_t& hi, int64_t max)
{
    if (lo < 0)
        lo = 0;
    if (hi > max)
        hi = max;
    return lo <= hi;
}

void ClearScreen()
{
    uint32_t* p = reinterpret_cast<uint32_t*>(BACK_BUFFER);
    for (uint32_t i = 0; i < SCREEN_BYTES / 4; i++)
        p[i] = 0;
}

void Blit()
{
    const uint32_t* src = reinterpret_cast<const uint32_t*>(BACK_BUFFER);
    volatile uint32_t* dst = reinterpret_cast<volatile uint32_t*>(VIDEO_MEMORY);
    for (uint32_t i = 0; i < SCREEN_BYTES / 4; i++)
        dst[i] = src[i];
}

// Emulated VGAs flip the retrace bit on every read, so the port wait alone
// would let the loop run thousands of frames a second; the tick wait paces
// it like a real 70 Hz display, whose retrace already takes that long.
void WaitForVBlank()
{
    while (inb(INPUT_STATUS) & IN_RETRACE) {
    }
    while (!(inb(INPUT_STATUS) & IN_RETRACE)) {
    }
    while (GetCurrentTimer() - lastRetrace < TICKS_PER_FRAME) {
    }
    lastRetrace = GetCurrentTimer();
}

void PutRect(int x, int y, int width, int height, uint8_t colour)
{
    int64_t x0 = x, x1 = static_cast<int64_t>(x) + width - 1;
    int64_t y0 = y, y1 = static_cast<int64_t>(y) + height - 1;
    if (!clip(x0, x1, SCREEN_WIDTH - 1) || !clip(y0, y1, SCREEN_HEIGHT - 1))
        return;
    for (int j = static_cast<int>(y0); j <= y1; j++)
        for (int i = static_cast<int>(x0); i <= x1; i++)
            back_buffer()[j * SCREEN_WIDTH + i] = colour;
}

void horizontal_line(int x0, int x1, int y, uint8_t colour)
{
    int64_t lo = x0 < x1 ? x0 : x1;
    int64_t hi = x0 < x1 ? x1 : x0;
    if (static_cast<uint32_t>(y) > SCREEN_HEIGHT - 1 || !clip(lo, hi, SCREEN_WIDTH - 1))
        return;
    uint8_t* row = back_buffer() + y * SCREEN_WIDTH;
    for (int x = static_cast<int>(lo); x <= hi; x++)
        row[x] = colour;
}

} // namespace kern
