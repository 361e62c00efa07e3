// The back buffer's rows as the video layer's fills mark them: each fill
// widens, row by row, the span of columns it stores into, so that what a
// frame drew can be cleared and shown again without the rest of the screen.
#pragma once
#include <stdint.h>
#include "kern/video/video.h"

namespace kern {

// Columns lo..hi of one row; empty when lo > hi.
struct RowSpan {
    int lo, hi;
};

// Stores only what grows: in the rasteriser's row loops a compare and a
// store keep fewer values in registers than a min and a max would.
inline void widen(RowSpan& span, int lo, int hi)
{
    if (lo < span.lo)
        span.lo = lo;
    if (hi > span.hi)
        span.hi = hi;
}

// Rows first..last (on screen, first <= last) are about to be stored into:
// returns row first's span, the next rows' following it, for widen().
// Only while rows_marking().
RowSpan* mark_rows(int first, int last);
// A rectangle stored into: columns x0..x1 of rows y0..y1, any part of it
// off screen left out. Its rows are not counted as changed: the next copy
// takes these columns of them only.
void mark_rect(int64_t x0, int64_t y0, int64_t x1, int64_t y1);

// The whole back buffer set to 0 (ClearScreen), or copied to display
// memory (Blit).
void rows_all_cleared();
void rows_all_shown();

// Whether fills mark their rows: not from load or ClearScreen until the
// spans are next needed (the record then counts every row as drawn).
bool rows_marking();

} // namespace kern
