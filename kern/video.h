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
void fill_run(uint8_t* at, uint32_t count, uint8_t colour);

void PutChar(uint8_t code, int x, int y, uint8_t colour);
void PutString(const char* text, int x, int y, uint8_t colour);

} // namespace kern
