// The rasteriser written the plain way, as the reference the kernel's fast
// one must match pixel for pixel: every row walked one by one from the top
// corner to the bottom one (off-screen rows too, the edges advancing through
// them) and every pixel of a span tested on its own, x <= 319 and y <= 199 as
// unsigned compares, then stored as one byte.
//
// It draws into any 320x200 frame, so a test can run it beside the kernel's
// back buffer. Header only: the test suite and the benchmarks include it.
#pragma once
#include <stdint.h>

#include "kern/fixed.h"
#include "kern/video/raster.h"
#include "kern/video/video.h"

namespace raster_reference {

using kern::Fixed;
using kern::Vec3;

const Fixed PIXEL = kern::FIXED_ONE;
const uint32_t LAST_COLUMN = kern::SCREEN_WIDTH - 1;
const uint32_t LAST_ROW = kern::SCREEN_HEIGHT - 1;

inline void plot(uint8_t* frame, int64_t x, int row, uint8_t colour)
{
    if (static_cast<uint32_t>(x) <= LAST_COLUMN && static_cast<uint32_t>(row) <= LAST_ROW)
        frame[row * kern::SCREEN_WIDTH + x] = colour;
}

// Every pixel from min(a, b) to max(a, b) of one row. A span wider than the
// screen asks the same question of each screen column instead (is it within
// the span?), so that spans thousands of pixels long stay quick to test.
inline void span(uint8_t* frame, int64_t a, int64_t b, int row, uint8_t colour)
{
    int64_t lo = a < b ? a : b;
    int64_t hi = a < b ? b : a;
    if (hi - lo < kern::SCREEN_WIDTH) {
        for (int64_t x = lo; x <= hi; x++)
            plot(frame, x, row, colour);
        return;
    }
    for (int64_t x = 0; x < kern::SCREEN_WIDTH; x++)
        if (x >= lo && x <= hi)
            plot(frame, x, row, colour);
}

inline void line(uint8_t* frame, int x0, int x1, int y, uint8_t colour) { span(frame, x0, x1, y, colour); }

// Each screen pixel is written when it lies in the rectangle (PutRect's
// rule, asked from the screen's side: a rectangle may be any size).
inline void rect(uint8_t* frame, int x, int y, int width, int height, uint8_t colour)
{
    const int64_t x1 = static_cast<int64_t>(x) + width - 1, y1 = static_cast<int64_t>(y) + height - 1;
    for (int64_t j = 0; j <= LAST_ROW; j++)
        for (int64_t i = 0; i <= LAST_COLUMN; i++)
            if (i >= x && i <= x1 && j >= y && j <= y1)
                frame[j * kern::SCREEN_WIDTH + i] = colour;
}

inline int pixel(Fixed v) { return v / PIXEL; }

// Rows are only drawn on screen; off-screen ones are walked all the same.
inline void edge_row(uint8_t* frame, int row, Fixed ea, Fixed eb, uint8_t colour)
{
    if (static_cast<uint32_t>(row) <= LAST_ROW)
        span(frame, pixel(ea), pixel(eb), row, colour);
}

inline void bottom_flat(uint8_t* frame, Vec3 p0, Vec3 p1, Vec3 p2, uint8_t colour)
{
    Fixed slope_a = kern::fixed_div(kern::fixed_sub(p1.x, p0.x), kern::fixed_sub(p1.y, p0.y));
    Fixed slope_b = kern::fixed_div(kern::fixed_sub(p2.x, p0.x), kern::fixed_sub(p2.y, p0.y));
    Fixed ea = p0.x, eb = p0.x;
    for (int row = pixel(p0.y); row <= pixel(p1.y); row++) {
        edge_row(frame, row, ea, eb, colour);
        ea = kern::fixed_add(ea, slope_a);
        eb = kern::fixed_add(eb, slope_b);
    }
}

inline void top_flat(uint8_t* frame, Vec3 p0, Vec3 p1, Vec3 p2, uint8_t colour)
{
    Fixed slope_a = kern::fixed_div(kern::fixed_sub(p2.x, p0.x), kern::fixed_sub(p2.y, p0.y));
    Fixed slope_b = kern::fixed_div(kern::fixed_sub(p2.x, p1.x), kern::fixed_sub(p2.y, p1.y));
    Fixed ea = p2.x, eb = p2.x;
    for (int row = pixel(p2.y); row >= pixel(p0.y); row--) {
        edge_row(frame, row, ea, eb, colour);
        ea = kern::fixed_sub(ea, slope_a);
        eb = kern::fixed_sub(eb, slope_b);
    }
}

inline void triangle(uint8_t* frame, kern::Triangle t)
{
    Vec3* c = t.corners;
    for (int i = 0; i < 3; i++) {
        c[i].x = static_cast<Fixed>(static_cast<uint32_t>(c[i].x) & ~static_cast<uint32_t>(PIXEL - 1));
        c[i].y = static_cast<Fixed>(static_cast<uint32_t>(c[i].y) & ~static_cast<uint32_t>(PIXEL - 1));
    }
    if ((c[0].x == c[1].x && c[1].x == c[2].x) || (c[0].y == c[1].y && c[1].y == c[2].y))
        return;
    for (bool swapped = true; swapped;) {
        swapped = false;
        for (int i = 0; i < 2; i++)
            if (c[i + 1].y < c[i].y) {
                Vec3 s = c[i];
                c[i] = c[i + 1];
                c[i + 1] = s;
                swapped = true;
            }
    }
    if (c[1].y == c[2].y) {
        bottom_flat(frame, c[0], c[1], c[2], t.colour);
        return;
    }
    if (c[0].y == c[1].y) {
        top_flat(frame, c[0], c[1], c[2], t.colour);
        return;
    }
    int64_t ratio = static_cast<int64_t>(kern::fixed_sub(c[1].y, c[0].y)) * PIXEL /
                    kern::fixed_sub(c[2].y, c[0].y);
    Fixed sx = kern::fixed_add(c[0].x, kern::low32(ratio * kern::fixed_sub(c[2].x, c[0].x) / PIXEL));
    Vec3 s = {sx, c[1].y, 0};
    bottom_flat(frame, c[0], c[1], s, t.colour);
    top_flat(frame, c[1], s, c[2], t.colour);
}

} // namespace raster_reference
