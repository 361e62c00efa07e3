// The back buffer, its presentation, 2D fills and text drawing.
//
// All drawing goes to the 320x200 back buffer at 0xC0200000 (one palette
// index per pixel, row-major) and clips every pixel: x <= 319 and y <= 199
// compared as unsigned, so any coordinate may be passed.
#pragma once
#include <stdint.h>
#include "hw/machine.h"

namespace kern {

const int SCREEN_WIDTH = 320;
const int SCREEN_HEIGHT = 200;
const uint32_t SCREEN_BYTES = 64000;
const uint32_t BACK_BUFFER = machine::BACK_BUFFER;
const uint32_t VIDEO_MEMORY = machine::VGA_GRAPHICS;

inline uint8_t* back_buffer() { return reinterpret_cast<uint8_t*>(BACK_BUFFER); }

void ClearScreen();
void Blit();
// Returns at the start of the next vertical retrace, and no sooner than the
// clock allows: one frame every 14126 us (just under a real display's
// period), made up for where a frame came late.
void WaitForVBlank();
// Frames shown so far: one for every return of WaitForVBlank.
uint32_t FramesShown();
void PutRect(int x, int y, int width, int height, uint8_t colour);
void horizontal_line(int x0, int x1, int y, uint8_t colour);

void PutChar(uint8_t code, int x, int y, uint8_t colour);
void PutString(const char* text, int x, int y, uint8_t colour);

// A frame a part at a time. Every fill above marks, row by row, the columns
// it stores into: ClearDrawnRows sets to 0 what was drawn in rows
// first..last since they were last cleared, and BlitChangedRows copies to
// display memory only what was drawn or cleared since the last copy (of a
// row the 2D fills and moves alone stored into, only their columns).
// ClearScreen and Blit keep the same record, for the whole screen. Until a
// row is first cleared (at load) it counts as drawn from edge to edge.
void ClearDrawnRows(int first, int last);
void BlitChangedRows();
// BlitChangedRows, after which rows first.. are cleared as ClearDrawnRows
// would clear them, in the same pass: each row's span is cleared right
// after it is copied. For a frame loop whose next frame draws them anew.
void BlitChangedRowsAndClear(int first);
// Rows first.. hold what the display shows: not changed since the copy.
void RowsShownAlready(int first);
// Moves `count` whole rows from row `from` to row `to` (both on screen),
// overlapping or not.
void MoveRows(int from, int to, int count);
// The same for columns 0..columns - 1 of the rows alone (rounded up to
// whole words); the rest of each row stays as it is.
void MoveColumns(int from, int to, int count, int columns);
// The rows the rasteriser fills; it passes over the others as it does rows
// off screen. Every row until set.
void SetSceneRows(int first, int last);
// Bytes written to display memory so far, for benchmarks.
uint64_t VideoBytesWritten();

// For tests: back to the state at load, before any set-up.
void Video_Reset();
void Rows_Reset();
void Raster_Reset();

} // namespace kern
