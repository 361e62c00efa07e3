// The back buffer, its presentation, 2D fills and text drawing.
//
// All drawing goes to the 320x200 back buffer at 0xC0200000 (one palette
// index per pixel, row-major) and clips every pixel: x <= 319 and y <= 199
// compared as unsigned, so any coordinate may be passed.
#pragma once
#include <stdint.h>

namespace kern {

const int SCREEN_WIDTH = 320;
const int SCREEN_HEIGHT = 200;
const uint32_t SCREEN_BYTES = 64000;
const uint32_t BACK_BUFFER = 0xC0200000;
const uint32_t VIDEO_MEMORY = 0xA0000;

inline uint8_t* back_buffer() { return reinterpret_cast<uint8_t*>(BACK_BUFFER); }

void ClearScreen();
void Blit();
// Returns at the start of the next vertical retrace, and no sooner than one
// 70 Hz frame of timer ticks after the previous call returned.
void WaitForVBlank();
void PutRect(int x, int y, int width, int height, uint8_t colour);
void horizontal_line(int x0, int x1, int y, uint8_t colour);
// Sets `count` bytes from `at` to `colour` with as few stores as it can.
// Clips nothing: the caller has already put the run inside the buffer.
inline void fill_run(uint8_t* at, uint32_t count, uint8_t colour);
// fill_run for runs longer than FILL_SHORT bytes; `value` is the colour in
// all four bytes.
void fill_long(uint8_t* at, uint32_t count, uint32_t value);

void PutChar(uint8_t code, int x, int y, uint8_t colour);
void PutString(const char* text, int x, int y, uint8_t colour);

// ---- fill_run, inline: the rasteriser's row loop keeps it in registers ----

const uint32_t FILL_SHORT = 32;
const uint32_t COLOUR_LANES = 0x01010101;   // a colour byte in all four bytes

// Stores into byte buffers that are also read byte by byte, at any address
// (the processor takes unaligned stores; the compiler is told).
typedef uint32_t __attribute__((may_alias, aligned(1))) FillWord;

// A short run takes a few stores from either end, which may overlap (a byte
// stored twice gets the same colour): cheaper than loops whose ends the
// processor cannot predict.
inline void fill_run(uint8_t* at, uint32_t count, uint8_t colour)
{
    const uint32_t value = colour * COLOUR_LANES;
    uint8_t* end = at + count;
    FillWord* head = reinterpret_cast<FillWord*>(at);
    FillWord* tail = reinterpret_cast<FillWord*>(end) - 1;
    if (count > FILL_SHORT / 2) {
        if (count > FILL_SHORT) {
            fill_long(at, count, value);
            return;
        }
        head[0] = head[1] = head[2] = head[3] = value;
        tail[0] = tail[-1] = tail[-2] = tail[-3] = value;
    } else if (count > FILL_SHORT / 4) {
        head[0] = head[1] = value;
        tail[0] = tail[-1] = value;
    } else if (count >= sizeof(FillWord)) {
        head[0] = tail[0] = value;
    } else if (count != 0) {
        // One to three bytes: the first, the middle one or the first again,
        // and the last; no branch on which.
        at[0] = at[count >> 1] = end[-1] = colour;
    }
}

} // namespace kern
