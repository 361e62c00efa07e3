// The back buffer, its presentation and the 2D fills.
#include "hw/hw.h"
#include "hw/machine.h"
#include "kern/clock.h"
#include "kern/video/fill.h"
#include "kern/video/rows.h"
#include "kern/video/video.h"

namespace kern {

const uint16_t INPUT_STATUS = machine::VGA_INPUT_STATUS;
const uint8_t IN_RETRACE = 0x08;
// Mode 13h refreshes at 70.086 Hz, a retrace every 14268 us. Frames are held
// 1% shorter than that: see WaitForVBlank.
const uint32_t MIN_FRAME_US = 14126;
// The clock moves between any two reads (a timer clock is 0.84 us); one that
// stands still this long is no clock, and holds nothing.
const int CLOCK_STILL_READS = 1000;

static uint64_t nextFrame;      // the clock when the next frame may be shown
static uint32_t framesShown;    // retrace waits so far: one a frame

void Video_Reset()
{
    nextFrame = 0;
    framesShown = 0;
}

const uint32_t WORD_BYTES = 4;

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
    fill_words(back_buffer(), SCREEN_BYTES / WORD_BYTES, 0);
    rows_all_cleared();
}

// 16000 32-bit stores in ascending address order.
void Blit()
{
    copy_words(reinterpret_cast<uint8_t*>(VIDEO_MEMORY), back_buffer(), SCREEN_BYTES / WORD_BYTES);
    rows_all_shown();
}

// Emulated VGAs flip the retrace bit on every read, so the port wait alone
// would let the loop run thousands of frames a second: after it, the clock
// holds the frames to one every MIN_FRAME_US, about 71 a second. The hold
// runs on a schedule, not from the last return, so a frame that an
// emulator's host delayed is made up by the next, up to a frame behind;
// further behind, the schedule starts again from now. On a real display
// the next retrace begins a whole period (14268 us) after the last, later
// than the schedule's next time, so the hold never delays a retrace and the
// loop never misses one. Without a running clock the retrace alone paces it.
void WaitForVBlank()
{
    while (inb(INPUT_STATUS) & IN_RETRACE) {
    }
    while (!(inb(INPUT_STATUS) & IN_RETRACE)) {
    }
    uint64_t frame = Clock_Counts(MIN_FRAME_US);
    uint64_t now = Clock_Now();
    // More than a frame ahead, the schedule is not this clock's: no hold.
    bool ahead = now < nextFrame && nextFrame - now <= frame;
    for (int still = 0; ahead && now < nextFrame && still < CLOCK_STILL_READS; still++) {
        uint64_t next = Clock_Now();
        if (next != now)
            still = 0;
        now = next;
    }
    if (now >= nextFrame + frame || now < nextFrame)
        nextFrame = now;
    nextFrame += frame;
    framesShown = framesShown + 1;
}

uint32_t FramesShown() { return framesShown; }

// Rows as wide as the screen follow each other in memory: one run.
void PutRect(int x, int y, int width, int height, uint8_t colour)
{
    int64_t x0 = x, x1 = static_cast<int64_t>(x) + width - 1;
    int64_t y0 = y, y1 = static_cast<int64_t>(y) + height - 1;
    if (!clip(x0, x1, SCREEN_WIDTH - 1) || !clip(y0, y1, SCREEN_HEIGHT - 1))
        return;
    mark_rect(x0, y0, x1, y1);
    uint32_t columns = static_cast<uint32_t>(x1 - x0 + 1);
    uint32_t rows = static_cast<uint32_t>(y1 - y0 + 1);
    uint8_t* at = back_buffer() + y0 * SCREEN_WIDTH + x0;
    if (columns == SCREEN_WIDTH) {
        fill_run(at, rows * SCREEN_WIDTH, colour);
        return;
    }
    for (uint32_t j = 0; j < rows; j++, at += SCREEN_WIDTH)
        fill_run(at, columns, colour);
}

void horizontal_line(int x0, int x1, int y, uint8_t colour)
{
    int64_t lo = x0 < x1 ? x0 : x1;
    int64_t hi = x0 < x1 ? x1 : x0;
    if (static_cast<uint32_t>(y) > SCREEN_HEIGHT - 1 || !clip(lo, hi, SCREEN_WIDTH - 1))
        return;
    mark_rect(lo, y, hi, y);
    fill_run(back_buffer() + y * SCREEN_WIDTH + lo, static_cast<uint32_t>(hi - lo + 1), colour);
}

} // namespace kern
