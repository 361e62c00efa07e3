// The triangle rasteriser: one flat-coloured triangle in screen space, split
// at its middle corner into a flat-bottomed and a flat-topped half whose
// edges are walked a pixel row at a time.
//
// Each span is clipped to the screen once and filled as one run of stores;
// rows above or below the screen are passed over by advancing the edges by
// the same wrapping sums in one step. The pixels are exactly those of the
// per-pixel rule: a pixel of row r between the edge columns is written when
// both its column and r are on screen as unsigned compares, and r lies in
// the band of rows the frame loop lets the scene fill (SetSceneRows: rows
// the console covers are not filled). While the back buffer's record wants
// marks (kern/video/rows), each row's span is marked for the frame loop's
// clear and copy; the row loops come marked and plain.
#include "kern/video/raster.h"
#include "kern/video/fill.h"
#include "kern/video/rows.h"
#include "kern/video/video.h"

namespace kern {

// Clears the 12 fraction bits: a whole pixel, rounded toward minus infinity.
const uint32_t PIXEL_MASK = ~static_cast<uint32_t>(FIXED_ONE - 1);
const int LAST_COLUMN = SCREEN_WIDTH - 1;
// The last Fixed position in column 319.
const Fixed RIGHT_EDGE = SCREEN_WIDTH * FIXED_ONE - 1;

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

// The edge after `rows` more steps of `step`: the same wrapping sum as
// adding the step once per row.
static Fixed advance(Fixed edge, Fixed step, uint32_t rows)
{
    return fixed_add(edge, static_cast<Fixed>(static_cast<uint32_t>(step) * rows));
}

// The row loops run for every row of every triangle. kern.ld keeps them
// together on one page: QEMU chains its translated blocks directly only
// within a guest page, and with a loop across a page boundary the same
// scene took three times as long.
#define ROW_LOOP __attribute__((section(".text_rows")))

// The rows filled: SetSceneRows' band, every row on screen unless set.
static int band_first = 0, band_last = SCREEN_HEIGHT - 1;
void SetSceneRows(int first, int last)
{
    band_first = first < 0 ? 0 : first;
    band_last = last > SCREEN_HEIGHT - 1 ? SCREEN_HEIGHT - 1 : last;
}

void Raster_Reset()
{
    SetSceneRows(0, SCREEN_HEIGHT - 1);
}

// Fills rows `row` to `last` (both on screen, downwards) between two edges
// that start at ea and eb and move by da and db a row, and marks each row's
// span when MARK. Each span is clipped once and stored as one run; rows
// filled from edge to edge of the screen follow each other in memory and
// are stored together. Inlined into a marked and a plain row loop.
__attribute__((always_inline)) static inline void walk(bool MARK, int row, int last, Fixed ea, Fixed eb, Fixed da,
                                                       Fixed db, uint8_t colour)
{
    uint8_t* line = back_buffer() + row * SCREEN_WIDTH;
    uint8_t* const stop = back_buffer() + (last + 1) * SCREEN_WIDTH;
    uint8_t* full = nullptr;   // the first of the full rows not yet stored
    RowSpan* span = MARK ? mark_rows(row, last) : nullptr;
    for (; line != stop; line += SCREEN_WIDTH, span += MARK ? 1 : 0, ea = fixed_add(ea, da), eb = fixed_add(eb, db)) {
        // Clipped in Fixed, then truncated: the columns come out as the
        // per-pixel rule's, min and max included (truncation keeps order).
        Fixed left = ea < eb ? ea : eb;
        Fixed right = ea < eb ? eb : ea;
        left = left < 0 ? 0 : left;
        right = right > RIGHT_EDGE ? RIGHT_EDGE : right;
        int lo = static_cast<int>(static_cast<uint32_t>(left) >> FIXED_SHIFT);   // left >= 0 here
        int hi = pixel(right);
        int count = hi - lo + 1;
        if (MARK && count > 0)
            widen(*span, lo, hi);
        if (count == SCREEN_WIDTH) {
            full = full ? full : line;
            continue;
        }
        if (full) {
            fill_run(full, static_cast<uint32_t>(line - full), colour);
            full = nullptr;
        }
        if (count > 0)
            fill_run(line + lo, static_cast<uint32_t>(count), colour);
    }
    if (full)
        fill_run(full, static_cast<uint32_t>(line - full), colour);
}

// Rows `row` to `last` (on screen, downwards) between a left and a right
// edge that stay on screen: nothing to clip, the left one never passes the
// right one.
__attribute__((always_inline)) static inline void walk_inside(bool MARK, int row, int last, Fixed left, Fixed right,
                                                              Fixed dl, Fixed dr, uint8_t colour)
{
    uint8_t* line = back_buffer() + row * SCREEN_WIDTH;
    uint8_t* const stop = back_buffer() + (last + 1) * SCREEN_WIDTH;
    RowSpan* span = MARK ? mark_rows(row, last) : nullptr;
    do {
        uint32_t lo = static_cast<uint32_t>(left) >> FIXED_SHIFT;
        uint32_t hi = static_cast<uint32_t>(right) >> FIXED_SHIFT;
        if (MARK)
            widen(*span++, static_cast<int>(lo), static_cast<int>(hi));
        fill_run(line + lo, hi - lo + 1, colour);
        line += SCREEN_WIDTH;
        left = fixed_add(left, dl);
        right = fixed_add(right, dr);
    } while (line != stop);
}

ROW_LOOP static void walk_marked(int row, int last, Fixed ea, Fixed eb, Fixed da, Fixed db, uint8_t colour)
{
    walk(true, row, last, ea, eb, da, db, colour);
}

ROW_LOOP static void walk_plain(int row, int last, Fixed ea, Fixed eb, Fixed da, Fixed db, uint8_t colour)
{
    walk(false, row, last, ea, eb, da, db, colour);
}

#if defined(__i386__)
// walk_inside(true, ...) written out for 32-bit x86, where the compiler
// keeps an edge or two on the stack for want of registers. The same
// stores cover the same bytes: 1 to 3 bytes as first, middle and last;
// 4 to 8 as a word from either end; 9 to 32 as two or four words from
// either end; longer ones as a word from either end and the aligned words
// between in one string store. Registers: eax the colour in every byte,
// ebx the row's span, ecx the right edge, edx the left, esi the row, edi
// and ebp the columns, then the run (the host tests' builds keep a frame
// pointer elsewhere; this function gives ebp up).
__attribute__((optimize("omit-frame-pointer"))) ROW_LOOP static void walk_inside_marked(
    int row, int last, Fixed left, Fixed right, Fixed dl, Fixed dr, uint8_t colour)
{
    uint8_t* line = back_buffer() + row * SCREEN_WIDTH;
    uint8_t* const stop = back_buffer() + (last + 1) * SCREEN_WIDTH;
    RowSpan* span = mark_rows(row, last);
    uint32_t value = static_cast<uint32_t>(colour * WORD_LANES);
    asm volatile(
        "1:\n\t"
        "movl %%edx, %%edi\n\t"
        "shrl $12, %%edi\n\t"              // lo
        "movl %%ecx, %%ebp\n\t"
        "shrl $12, %%ebp\n\t"              // hi
        "cmpl (%%ebx), %%edi\n\t"
        "jge 2f\n\t"
        "movl %%edi, (%%ebx)\n"
        "2:\n\t"
        "cmpl 4(%%ebx), %%ebp\n\t"
        "jle 3f\n\t"
        "movl %%ebp, 4(%%ebx)\n"
        "3:\n\t"
        "subl %%edi, %%ebp\n\t"            // count - 1
        "addl %%esi, %%edi\n\t"            // the run's first byte
        "cmpl $7, %%ebp\n\t"
        "ja 5f\n\t"
        "cmpl $3, %%ebp\n\t"
        "jb 4f\n\t"
        "movl %%eax, (%%edi)\n\t"
        "movl %%eax, -3(%%edi,%%ebp)\n\t"
        "jmp 9f\n"
        "4:\n\t"
        "movb %%al, (%%edi)\n\t"
        "movb %%al, (%%edi,%%ebp)\n\t"
        "shrl $1, %%ebp\n\t"
        "movb %%al, (%%edi,%%ebp)\n\t"
        "jmp 9f\n"
        "5:\n\t"
        "cmpl $31, %%ebp\n\t"
        "ja 6f\n\t"
        "movl %%eax, (%%edi)\n\t"
        "movl %%eax, 4(%%edi)\n\t"
        "movl %%eax, -3(%%edi,%%ebp)\n\t"
        "movl %%eax, -7(%%edi,%%ebp)\n\t"
        "cmpl $15, %%ebp\n\t"
        "jbe 9f\n\t"
        "movl %%eax, 8(%%edi)\n\t"
        "movl %%eax, 12(%%edi)\n\t"
        "movl %%eax, -11(%%edi,%%ebp)\n\t"
        "movl %%eax, -15(%%edi,%%ebp)\n\t"
        "jmp 9f\n"
        "6:\n\t"
        "movl %%eax, (%%edi)\n\t"
        "movl %%eax, -3(%%edi,%%ebp)\n\t"
        "leal 1(%%edi,%%ebp), %%ebp\n\t"   // one past the run
        "andl $-4, %%ebp\n\t"
        "addl $4, %%edi\n\t"
        "andl $-4, %%edi\n\t"
        "subl %%edi, %%ebp\n\t"
        "shrl $2, %%ebp\n\t"
        "xchgl %%ebp, %%ecx\n\t"
        "rep stosl\n\t"
        "movl %%ebp, %%ecx\n"
        "9:\n\t"
        "addl $8, %%ebx\n\t"
        "addl %[dl], %%edx\n\t"
        "addl %[dr], %%ecx\n\t"
        "addl %[width], %%esi\n\t"
        "cmpl %[stop], %%esi\n\t"
        "jne 1b"
        : "+b"(span), "+c"(right), "+d"(left), "+S"(line)
        : "a"(value), [dl] "m"(dl), [dr] "m"(dr), [stop] "m"(stop), [width] "i"(SCREEN_WIDTH)
        : "edi", "ebp", "memory", "cc");
}
#else
ROW_LOOP static void walk_inside_marked(int row, int last, Fixed left, Fixed right, Fixed dl, Fixed dr, uint8_t colour)
{
    walk_inside(true, row, last, left, right, dl, dr, colour);
}
#endif

ROW_LOOP static void walk_inside_plain(int row, int last, Fixed left, Fixed right, Fixed dl, Fixed dr, uint8_t colour)
{
    walk_inside(false, row, last, left, right, dl, dr, colour);
}

// The walks marked or not, as the record wants.
__attribute__((always_inline)) static inline void walk_rows(int row, int last, Fixed ea, Fixed eb, Fixed da, Fixed db,
                                                            uint8_t colour)
{
    if (rows_marking())
        walk_marked(row, last, ea, eb, da, db, colour);
    else
        walk_plain(row, last, ea, eb, da, db, colour);
}

__attribute__((always_inline)) static inline void walk_inside_rows(int row, int last, Fixed left, Fixed right, Fixed dl,
                                                                   Fixed dr, uint8_t colour)
{
    if (rows_marking())
        walk_inside_marked(row, last, left, right, dl, dr, colour);
    else
        walk_inside_plain(row, last, left, right, dl, dr, colour);
}

static bool on_screen_column(Fixed x) { return static_cast<uint32_t>(x) <= static_cast<uint32_t>(RIGHT_EDGE); }

// A half from row y0 down to row y1 (y1 >= y0) whose rows are whole and do
// not lie 2^31 or more apart (the difference would wrap), whose flat side's
// two corners share their row and whose three corners all lie on screen
// horizontally, as draw_triangle's halves mostly do: an edge walked over its
// own rows moves by a slope truncated toward zero, so it stays between its
// corners' columns, and the two edges, leaving one corner, never cross.
static bool regular(Fixed ax, Fixed bx, Fixed cx, Fixed y0, Fixed y1, Fixed flat_b, Fixed flat_c)
{
    return flat_b == flat_c && whole_pixels(y0) && whole_pixels(y1) && fixed_sub(y1, y0) >= 0 &&
           on_screen_column(ax) && on_screen_column(bx) && on_screen_column(cx);
}

// The rows `top` to `bottom` that lie on screen, in the band, into
// first..last; false when none does.
static bool rows_on_screen(int top, int bottom, int& first, int& last)
{
    first = top < band_first ? band_first : top;
    last = bottom > band_last ? band_last : bottom;
    return first <= last;
}

// Rows first..last between edges a and b, which leave the apex, stand
// `steps` rows from it at the first row on screen (below it from the apex
// on top, above it from the apex at the bottom) and move by their slopes a
// row. Where the half is regular, edge a is the left one when `a_left`.
// Inlined into each half, so that its flags cost no branch.
__attribute__((always_inline)) static inline void fill_half(int first, int last, Fixed apex,
                                                             Fixed slope_a, Fixed slope_b, uint32_t steps,
                                                             bool from_bottom, bool inside, bool a_left,
                                                             uint8_t colour)
{
    Fixed step_a = from_bottom ? fixed_neg(slope_a) : slope_a;
    Fixed step_b = from_bottom ? fixed_neg(slope_b) : slope_b;
    Fixed ea = advance(apex, step_a, steps), eb = advance(apex, step_b, steps);
    if (!inside)
        walk_rows(first, last, ea, eb, slope_a, slope_b, colour);
    else if (a_left)
        walk_inside_rows(first, last, ea, eb, slope_a, slope_b, colour);
    else
        walk_inside_rows(first, last, eb, ea, slope_b, slope_a, colour);
}

// Corner a is the apex on top; b and c share the bottom row (b.y counts).
static void bottom_half(Fixed ax, Fixed ay, Fixed bx, Fixed by, Fixed cx, Fixed cy, uint8_t colour)
{
    int top = pixel(ay), first, last;
    if (!rows_on_screen(top, pixel(by), first, last))
        return;
    Fixed slope_a = per_row(fixed_sub(bx, ax), fixed_sub(by, ay));
    Fixed slope_b = per_row(fixed_sub(cx, ax), fixed_sub(cy, ay));
    uint32_t above = static_cast<uint32_t>(first) - static_cast<uint32_t>(top);
    fill_half(first, last, ax, slope_a, slope_b, above, false, regular(ax, bx, cx, ay, by, by, cy),
              slope_a <= slope_b, colour);
}

// Corners a and b share the top row (a.y counts); c is the apex at the
// bottom. The edges run up from the apex, each row less one slope; walked
// downwards from the first row on screen they take the very same values.
static void top_half(Fixed ax, Fixed ay, Fixed bx, Fixed by, Fixed cx, Fixed cy, uint8_t colour)
{
    int bottom = pixel(cy), first, last;
    if (!rows_on_screen(pixel(ay), bottom, first, last))
        return;
    Fixed slope_a = per_row(fixed_sub(cx, ax), fixed_sub(cy, ay));
    Fixed slope_b = per_row(fixed_sub(cx, bx), fixed_sub(cy, by));
    uint32_t below = static_cast<uint32_t>(bottom) - static_cast<uint32_t>(first);
    fill_half(first, last, cx, slope_a, slope_b, below, true, regular(ax, bx, cx, ay, cy, ay, by),
              slope_a >= slope_b, colour);
}

// Orders two corners by y, the pair kept as it is when their y are equal.
static void order(const Vec3*& first, const Vec3*& second)
{
    bool swap = second->y < first->y;
    const Vec3* lower = swap ? second : first;
    second = swap ? first : second;
    first = lower;
}

// The order that passes of swaps over the pairs (0, 1) and (1, 2), repeated
// until none swaps, leave: a stable sort, which three ordered pairs (0, 1),
// (1, 2), (0, 1) reach without loops the processor mispredicts.
void sort_triangle_in_place(Vec3 corners[3])
{
    const Vec3 c[3] = {corners[0], corners[1], corners[2]};
    const Vec3* p[3] = {&c[0], &c[1], &c[2]};
    order(p[0], p[1]);
    order(p[1], p[2]);
    order(p[0], p[1]);
    for (int i = 0; i < 3; i++)
        corners[i] = *p[i];
}

void draw_bottom_flat_triangle(Vec3 p0, Vec3 p1, Vec3 p2, uint8_t colour)
{
    bottom_half(p0.x, p0.y, p1.x, p1.y, p2.x, p2.y, colour);
}

void draw_top_flat_triangle(Vec3 p0, Vec3 p1, Vec3 p2, uint8_t colour)
{
    top_half(p0.x, p0.y, p1.x, p1.y, p2.x, p2.y, colour);
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

static bool all_equal(Fixed a, Fixed b, Fixed c) { return a == b && b == c; }

// A corner as two whole-pixel coordinates; z plays no part in the pixels.
struct Point {
    Fixed x, y;
};

// Swaps the two corners when b's y is strictly less than a's. The swap is
// made by masks, not a branch, which small triangles' random corners would
// defeat; the compiler turns it into conditional moves, and the corners stay
// in registers instead of going through memory.
static inline void order_points(Point& a, Point& b)
{
    uint32_t swap = 0u - static_cast<uint32_t>(b.y < a.y);
    uint32_t x = (static_cast<uint32_t>(a.x) ^ static_cast<uint32_t>(b.x)) & swap;
    uint32_t y = (static_cast<uint32_t>(a.y) ^ static_cast<uint32_t>(b.y)) & swap;
    a.x ^= static_cast<Fixed>(x);
    b.x ^= static_cast<Fixed>(x);
    a.y ^= static_cast<Fixed>(y);
    b.y ^= static_cast<Fixed>(y);
}

// Snapped corners in the order sort_triangle_in_place leaves: the same swaps
// of neighbours with a strictly smaller y (so equal ones keep their order),
// of which the pairs (0, 1), (1, 2), (0, 1) are all that three corners need.
static inline void sort_points(Point& a, Point& b, Point& c)
{
    order_points(a, b);
    order_points(b, c);
    order_points(a, b);
}

// ---- triangles whose corners all lie on screen horizontally ----
//
// The cube's and most other triangles: both halves are then `regular`, which
// is decided once for the triangle instead of once a half. The halves' rows
// are whole and at least one apart, so a shift gives a row and one 32-bit
// division a slope (per_row's quotient).

static int row_of(Fixed whole) { return whole >> FIXED_SHIFT; }

// walk_inside with edge a on the left when a_left, else edge b. The edges
// are swapped by masks, not a branch, which small triangles' random
// orientations would defeat.
__attribute__((always_inline)) static inline void walk_ordered(int row, int last, Fixed ea, Fixed eb, Fixed da, Fixed db, bool a_left, uint8_t colour)
{
    uint32_t swap = a_left ? 0 : ~0u;
    uint32_t edges = (static_cast<uint32_t>(ea) ^ static_cast<uint32_t>(eb)) & swap;
    uint32_t steps = (static_cast<uint32_t>(da) ^ static_cast<uint32_t>(db)) & swap;
    walk_inside_rows(row, last, static_cast<Fixed>(ea ^ edges), static_cast<Fixed>(eb ^ edges),
                static_cast<Fixed>(da ^ steps), static_cast<Fixed>(db ^ steps), colour);
}

// Sorted snapped corners 2^31 or more apart in y wrap their difference.
static bool inside_columns(const Point c[3])
{
    return on_screen_column(c[0].x) && on_screen_column(c[1].x) && on_screen_column(c[2].x) &&
           fixed_sub(c[2].y, c[0].y) >= 0;
}

// The rows of a half from row `top` to row `bottom` (> top) between its
// apex and corners a and b on the other row: the apex on top (bottom_half's
// shape) or at the bottom (top_half's). Edge a is the left one when a_left:
// a quotient truncated toward zero keeps the slopes' order, and equal
// slopes give equal edges.
__attribute__((always_inline)) static inline void inside_half(Fixed apex, Fixed ax, Fixed bx, int top, int bottom, bool apex_on_top, bool a_left,
                               uint8_t colour)
{
    int first, last;
    if (!rows_on_screen(top, bottom, first, last))
        return;
    int rows = bottom - top;
    Fixed slope_a = (apex_on_top ? fixed_sub(ax, apex) : fixed_sub(apex, ax)) / rows;
    Fixed slope_b = (apex_on_top ? fixed_sub(bx, apex) : fixed_sub(apex, bx)) / rows;
    uint32_t steps = static_cast<uint32_t>(apex_on_top ? first - top : bottom - first);
    Fixed ea = advance(apex, apex_on_top ? slope_a : fixed_neg(slope_a), steps);
    Fixed eb = advance(apex, apex_on_top ? slope_b : fixed_neg(slope_b), steps);
    walk_ordered(first, last, ea, eb, slope_a, slope_b, a_left, colour);
}

// The split point on the long edge c0-c2 at the middle corner's row. With
// whole-pixel y values the ratio lies within +-2^31, so its product with a
// 32-bit difference fits.
static Fixed split_x(const Point c[3])
{
    int64_t ratio = split_ratio(fixed_sub(c[1].y, c[0].y), fixed_sub(c[2].y, c[0].y));
    return fixed_add(c[0].x, low32(ratio * fixed_sub(c[2].x, c[0].x) / FIXED_ONE));
}

// The split point lies between c0 and c2, so on screen too.
static void draw_inside(const Point c[3], uint8_t colour)
{
    int top = row_of(c[0].y), middle = row_of(c[1].y), bottom = row_of(c[2].y);
    if (middle == bottom) {
        inside_half(c[0].x, c[1].x, c[2].x, top, bottom, true, c[1].x <= c[2].x, colour);
        return;
    }
    if (top == middle) {
        inside_half(c[2].x, c[0].x, c[1].x, top, bottom, false, c[0].x <= c[1].x, colour);
        return;
    }
    // The middle corner on the left of the long edge: its edges are the
    // left ones of both halves.
    Fixed sx = split_x(c);
    bool middle_left = c[1].x <= sx;
    inside_half(c[0].x, c[1].x, sx, top, middle, true, middle_left, colour);
    inside_half(c[2].x, c[1].x, sx, middle, bottom, false, middle_left, colour);
}

void draw_triangle(Triangle t)
{
    Point c[3] = {{snap(t.corners[0].x), snap(t.corners[0].y)},
                  {snap(t.corners[1].x), snap(t.corners[1].y)},
                  {snap(t.corners[2].x), snap(t.corners[2].y)}};
    if (all_equal(c[0].x, c[1].x, c[2].x) || all_equal(c[0].y, c[1].y, c[2].y))
        return;
    sort_points(c[0], c[1], c[2]);
    if (inside_columns(c)) {
        draw_inside(c, t.colour);
        return;
    }
    if (c[1].y == c[2].y) {
        bottom_half(c[0].x, c[0].y, c[1].x, c[1].y, c[2].x, c[2].y, t.colour);
        return;
    }
    if (c[0].y == c[1].y) {
        top_half(c[0].x, c[0].y, c[1].x, c[1].y, c[2].x, c[2].y, t.colour);
        return;
    }
    Fixed sx = split_x(c);
    bottom_half(c[0].x, c[0].y, c[1].x, c[1].y, sx, c[1].y, t.colour);
    top_half(c[1].x, c[1].y, sx, c[1].y, c[2].x, c[2].y, t.colour);
}

} // namespace kern
