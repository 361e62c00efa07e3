// The back buffer, its presentation and the 2D fills.
#include <stddef.h>

#include "hw/hw.h"
#include "kern/timer.h"
#include "kern/video.h"

namespace kern {

const uint16_t INPUT_STATUS = 0x3DA;
const uint8_t IN_RETRACE = 0x08;
// 1/70 s at the timer's programmed rate (1193182 Hz / 20).
const uint32_t TICKS_PER_FRAME = 852;

static uint32_t lastRetrace; // tick count when the last wait returned

const uint32_t WORD_BYTES = 4;
const uintptr_t WORD_ALIGN = WORD_BYTES - 1;
// Bytes stored per pass of the store loop: four words.
const uint32_t LOOP_BYTES = 4 * WORD_BYTES;
// A string store starts up slower than a loop of plain stores; it pays off
// only from about a kilobyte (a run longer than one row of the screen).
const uint32_t STRING_STORE_BYTES = 1024;

// Aligned word stores into a byte buffer that is also read byte by byte.
typedef uint32_t __attribute__((may_alias)) Word;

// rep stosl: stores EAX to [EDI] ECX times, upwards (the direction flag is
// clear in compiled code), the processor moving EDI and counting ECX down.
static void store_words(uint8_t* at, uintptr_t words, uint32_t value)
{
    asm volatile("rep stosl" : "+D"(at), "+c"(words) : "a"(value) : "memory");
}

// rep movsl: copies [ESI] to [EDI] ECX times, upwards.
static void copy_words(uint8_t* to, const uint8_t* from, uintptr_t words)
{
    asm volatile("rep movsl" : "+D"(to), "+S"(from), "+c"(words) : : "memory");
}

// Aligned words from `at` up to `end` (both word-aligned, at least four
// words apart), four at a time; the last four end exactly at `end`, over
// words already stored if need be.
static void store_loop(uint8_t* at, uint8_t* end, uint32_t value)
{
    for (; end - at > static_cast<ptrdiff_t>(LOOP_BYTES); at += LOOP_BYTES) {
        Word* w = reinterpret_cast<Word*>(at);
        w[0] = value;
        w[1] = value;
        w[2] = value;
        w[3] = value;
    }
    Word* last = reinterpret_cast<Word*>(end - LOOP_BYTES);
    last[0] = value;
    last[1] = value;
    last[2] = value;
    last[3] = value;
}

// The ragged ends as two unaligned words, the aligned words between (at
// least 28 bytes of them) in a loop or, from a kilobyte on, one string store.
void fill_long(uint8_t* at, uint32_t count, uint32_t value)
{
    uint8_t* end = at + count;
    *reinterpret_cast<FillWord*>(at) = value;
    *reinterpret_cast<FillWord*>(end - WORD_BYTES) = value;
    uint8_t* first = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(at) + WORD_ALIGN) & ~WORD_ALIGN);
    uint8_t* last = reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(end) & ~WORD_ALIGN);
    if (count >= STRING_STORE_BYTES)
        store_words(first, static_cast<uintptr_t>(last - first) / WORD_BYTES, value);
    else
        store_loop(first, last, value);
}

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

void ClearScreen() { store_words(back_buffer(), SCREEN_BYTES / WORD_BYTES, 0); }

// 16000 32-bit stores in ascending address order.
void Blit()
{
    copy_words(reinterpret_cast<uint8_t*>(VIDEO_MEMORY), back_buffer(), SCREEN_BYTES / WORD_BYTES);
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

// Rows as wide as the screen follow each other in memory: one run.
void PutRect(int x, int y, int width, int height, uint8_t colour)
{
    int64_t x0 = x, x1 = static_cast<int64_t>(x) + width - 1;
    int64_t y0 = y, y1 = static_cast<int64_t>(y) + height - 1;
    if (!clip(x0, x1, SCREEN_WIDTH - 1) || !clip(y0, y1, SCREEN_HEIGHT - 1))
        return;
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
    fill_run(back_buffer() + y * SCREEN_WIDTH + lo, static_cast<uint32_t>(hi - lo + 1), colour);
}

} // namespace kern
