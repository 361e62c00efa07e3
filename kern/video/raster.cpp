// The triangle rasteriser: one flat-coloured triangle in screen space, split
// at its middle corner into a flat-bottomed and a flat-topped half whose
// edges are walked a pixel row at a time.
//
// Each span is clipped to the screen once and filled as one run of stores;
// rows above or below the screen are passed over by advancing the edges by
// the same wrapping sums in one step. The pixels are exactly those of the
// per-pixel rule: a pixel of row r between the edge columns is written when
// both its column and r are on screen as unsigned compares.
#include "kern/raster.h"
#include "kern/video.h"

namespace kern {

// Clears the 12 fraction bits: a whole pixel, rounded toward minus infinity.
const uint32_t PIXEL_MASK = ~static_cast<uint32_t>(FIXED_ONE - 1);
const int LAST_ROW = SCREEN_HEIGHT - 1;
const int LAST_COLUMN = SCREEN_WIDTH - 1;

static Fixed snap(Fixed v) { return static_cast<Fixed>(static_cast<uint32_t>(v) & PIXEL_MASK); }

static bool whole_pixels(Fixed v) { return (static_cast<uint32_t>(v) & ~PIXEL_MASK) == 0; }

// Whole pixels, truncated toward zero: -0.5 px is column 0.
static int pixel(Fixed v) { return v / FIXED_ONE; }

// fixed_div(dx, dy). When dy is a whole number of pixel rows, dx * 4096 / dy
// is dx / rows exactly: one 32-bit division instead of a 64-bit one (which a
// 32-bit processor does in a library routine). rows = -1 would overflow.
static Fixed per_row(Fixed dx, Fixed dy)
{
    int32_t rows = pixel(dy);
    if (whole_pixels(dy) && rows != 0 && rows != -1)
        return dx / rows;
    return fixed_div(dx, dy);
}

// Change of x, in Fixed, per pixel row along the edge from a to b.
static Fixed slope(const Vec3& a, const Vec3& b) { return per_row(fixed_sub(b.x, a.x), fixed_sub(b.y, a.y)); }

// The edge after `rows` more steps of `step`: the same wrapping sum as
// adding the step once per row.
static Fixed advance(Fixed edge, Fixed step, uint32_t rows)
{
    return fixed_add(edge, static_cast<Fixed>(static_cast<uint32_t>(step) * rows));
}

// Back-buffer bytes [begin, end) still to be filled. Spans of successive
// rows that meet end to end (full rows of a large triangle) join one run.
struct Run {
    uint8_t* begin;
    uint8_t* end;
};

static void flush(Run& run, uint8_t colour)
{
    if (run.end != run.begin)
        fill_run(run.begin, static_cast<uint32_t>(run.end - run.begin), colour);
    run.begin = run.end = nullptr;
}

// Row `row` (on screen) from the column of ea to the column of eb, either
// way round, clipped to the screen's columns.
static void span(Run& run, int row, Fixed ea, Fixed eb, uint8_t colour)
{
    int a = pixel(ea), b = pixel(eb);
    int lo = a < b ? a : b;
    int hi = a < b ? b : a;
    if (lo < 0)
        lo = 0;
    if (hi > LAST_COLUMN)
        hi = LAST_COLUMN;
    if (lo > hi)
        return;
    uint8_t* begin = back_buffer() + row * SCREEN_WIDTH + lo;
    uint8_t* end = begin + (hi - lo + 1);
    if (begin == run.end) {
        run.end = end;
        return;
    }
    if (end == run.begin) {
        run.begin = begin;
        return;
    }
    flush(run, colour);
    run.begin = begin;
    run.end = end;
}

void sort_triangle_in_place(Vec3 corners[3])
{
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (int i = 0; i < 2; i++) {
            if (corners[i + 1].y < corners[i].y) {
                Vec3 t = corners[i];
                corners[i] = corners[i + 1];
                corners[i + 1] = t;
                swapped = true;
            }
        }
    }
}

// p0 is the apex on top; p1 and p2 share the bottom row.
void draw_bottom_flat_triangle(Vec3 p0, Vec3 p1, Vec3 p2, uint8_t colour)
{
    int top = pixel(p0.y), bottom = pixel(p1.y);
    int first = top < 0 ? 0 : top;
    int last = bottom > LAST_ROW ? LAST_ROW : bottom;
    if (first > last)
        return;
    Fixed slope_a = slope(p0, p1);
    Fixed slope_b = slope(p0, p2);
    uint32_t above = static_cast<uint32_t>(first) - static_cast<uint32_t>(top);
    Fixed ea = advance(p0.x, slope_a, above), eb = advance(p0.x, slope_b, above);
    Run run = {nullptr, nullptr};
    for (int row = first; row <= last; row++) {
        span(run, row, ea, eb, colour);
        ea = fixed_add(ea, slope_a);
        eb = fixed_add(eb, slope_b);
    }
    flush(run, colour);
}

// p0 and p1 share the top row; p2 is the apex at the bottom. Walked upwards.
void draw_top_flat_triangle(Vec3 p0, Vec3 p1, Vec3 p2, uint8_t colour)
{
    int top = pixel(p0.y), bottom = pixel(p2.y);
    int first = bottom > LAST_ROW ? LAST_ROW : bottom;
    int last = top < 0 ? 0 : top;
    if (first < last)
        return;
    Fixed slope_a = slope(p0, p2);
    Fixed slope_b = slope(p1, p2);
    uint32_t below = static_cast<uint32_t>(bottom) - static_cast<uint32_t>(first);
    Fixed ea = advance(p2.x, fixed_neg(slope_a), below), eb = advance(p2.x, fixed_neg(slope_b), below);
    Run run = {nullptr, nullptr};
    for (int row = first; row >= last; row--) {
        span(run, row, ea, eb, colour);
        ea = fixed_sub(ea, slope_a);
        eb = fixed_sub(eb, slope_b);
    }
    flush(run, colour);
}

// ((c1.y - c0.y) * 4096) / (c2.y - c0.y), all 64 bits of it. Both
// differences are whole pixels (the corners are snapped), so this is
// dy1 / (dy2 / 4096): a 32-bit division except where that would overflow.
static int64_t split_ratio(Fixed dy1, Fixed dy2)
{
    int32_t rows = pixel(dy2);
    if (rows == -1)
        return -static_cast<int64_t>(dy1);
    return dy1 / rows;
}

// The point on the long edge c0-c2 at the middle corner's row. With
// whole-pixel y values the ratio lies within +-2^31, so its product with a
// 32-bit difference fits.
static Vec3 split_point(const Vec3& c0, const Vec3& c1, const Vec3& c2)
{
    int64_t ratio = split_ratio(fixed_sub(c1.y, c0.y), fixed_sub(c2.y, c0.y));
    Fixed along = low32(ratio * fixed_sub(c2.x, c0.x) / FIXED_ONE);
    return Vec3{fixed_add(c0.x, along), c1.y, 0};
}

static bool all_equal(Fixed a, Fixed b, Fixed c) { return a == b && b == c; }

void draw_triangle(Triangle t)
{
    Vec3* c = t.corners;
    for (int i = 0; i < 3; i++) {
        c[i].x = snap(c[i].x);
        c[i].y = snap(c[i].y);
    }
    if (all_equal(c[0].x, c[1].x, c[2].x) || all_equal(c[0].y, c[1].y, c[2].y))
        return;
    sort_triangle_in_place(c);
    if (c[1].y == c[2].y) {
        draw_bottom_flat_triangle(c[0], c[1], c[2], t.colour);
        return;
    }
    if (c[0].y == c[1].y) {
        draw_top_flat_triangle(c[0], c[1], c[2], t.colour);
        return;
    }
    Vec3 s = split_point(c[0], c[1], c[2]);
    draw_bottom_flat_triangle(c[0], c[1], s, t.colour);
    draw_top_flat_triangle(c[1], s, c[2], t.colour);
}

} // namespace kern
