// The triangle rasteriser: one flat-coloured triangle in screen space, split
// at its middle corner into a flat-bottomed and a flat-topped half whose
// edges are walked a pixel row at a time.
#include "kern/raster.h"
#include "kern/video.h"

namespace kern {

// Clears the 12 fraction bits: a whole pixel, rounded toward minus infinity.
const uint32_t PIXEL_MASK = ~static_cast<uint32_t>(FIXED_ONE - 1);

static Fixed snap(Fixed v) { return static_cast<Fixed>(static_cast<uint32_t>(v) & PIXEL_MASK); }

// Whole pixels, truncated toward zero: -0.5 px is column 0.
static int pixel(Fixed v) { return v / FIXED_ONE; }

// Change of x, in Fixed, per pixel row along the edge from a to b.
static Fixed slope(const Vec3& a, const Vec3& b) { return fixed_div(fixed_sub(b.x, a.x), fixed_sub(b.y, a.y)); }

// Off-screen rows are skipped here, one by one: the edges still advance.
static void span(int row, Fixed ea, Fixed eb, uint8_t colour)
{
    if (static_cast<uint32_t>(row) > SCREEN_HEIGHT - 1)
        return;
    horizontal_line(pixel(ea), pixel(eb), row, colour);
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
    Fixed slope_a = slope(p0, p1);
    Fixed slope_b = slope(p0, p2);
    int top = pixel(p0.y), bottom = pixel(p1.y);
    Fixed ea = p0.x, eb = p0.x;
    for (int row = top; row <= bottom; row++) {
        span(row, ea, eb, colour);
        ea = fixed_add(ea, slope_a);
        eb = fixed_add(eb, slope_b);
    }
}

// p0 and p1 share the top row; p2 is the apex at the bottom. Walked upwards.
void draw_top_flat_triangle(Vec3 p0, Vec3 p1, Vec3 p2, uint8_t colour)
{
    Fixed slope_a = slope(p0, p2);
    Fixed slope_b = slope(p1, p2);
    int top = pixel(p0.y), bottom = pixel(p2.y);
    Fixed ea = p2.x, eb = p2.x;
    for (int row = bottom; row >= top; row--) {
        span(row, ea, eb, colour);
        ea = fixed_sub(ea, slope_a);
        eb = fixed_sub(eb, slope_b);
    }
}

// The point on the long edge c0-c2 at the middle corner's row. The ratio
// keeps all 64 bits; with whole-pixel y values it lies within +-2^31, so its
// product with a 32-bit difference fits.
static Vec3 split_point(const Vec3& c0, const Vec3& c1, const Vec3& c2)
{
    int64_t ratio = static_cast<int64_t>(fixed_sub(c1.y, c0.y)) * FIXED_ONE / fixed_sub(c2.y, c0.y);
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
