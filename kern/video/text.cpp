// Text in the built-in font, drawn over the back buffer: only ink pixels are
// written, so whatever lies beneath shows between the strokes.
//
// A cell is clipped once, not pixel by pixel: one wholly on screen has each
// glyph row merged into the screen as one word; one partly off screen
// walks only its rows and columns that land on screen; one wholly off
// screen is passed over. A line's cells are marked once, as the rectangle
// around them.
#include "kern/video/font.h"
#include "kern/video/rows.h"
#include "kern/video/video.h"

namespace kern {

const uint8_t FIRST_NO_GLYPH = 128;
const char NEWLINE = 0x0A;

// The font image's layout (font.h): bands of 32 cells side by side, each
// band GLYPH_HEIGHT rows of the image.
const int FONT_CELLS_PER_BAND = 32;
const int FONT_IMAGE_WIDTH = FONT_CELLS_PER_BAND * GLYPH_WIDTH;
const int FONT_BAND_BYTES = FONT_IMAGE_WIDTH * GLYPH_HEIGHT;

// A glyph row's pixels, one byte each, as one word; four screen bytes alike.
typedef uint32_t __attribute__((may_alias, aligned(1))) CellRow;
static_assert(GLYPH_WIDTH == sizeof(CellRow), "a glyph row is one word");
const uint32_t BYTE_ONES = 0xFF;

// Pixel coordinates wrap as the 32-bit sums they are; the clip rejects any
// that wrapped.
static int wrap_add(int a, int b)
{
    return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

static bool on_screen(int coordinate, uint32_t size) { return static_cast<uint32_t>(coordinate) < size; }

// The glyph's top left pixel in the font image.
static const uint8_t* glyph_pixels(uint8_t code)
{
    return font8x4 + code / FONT_CELLS_PER_BAND * FONT_BAND_BYTES + code % FONT_CELLS_PER_BAND * GLYPH_WIDTH;
}

// Glyph rows first..end - 1 of a cell whose columns are all on screen, the
// first of them at `at`. The font's pixels are 0 or 1, so a row times the
// colour holds the colour in its ink bytes (v * colour, as pixel by pixel)
// and times 0xFF selects them; the other bytes keep what lies beneath.
static inline void put_cell_row(const uint8_t* glyph, uint8_t* at, uint8_t colour)
{
    uint32_t ink = *reinterpret_cast<const CellRow*>(glyph);
    if (ink == 0)
        return;   // the gap rows above and below most glyphs
    CellRow* screen = reinterpret_cast<CellRow*>(at);
    *screen = (*screen & ~(ink * BYTE_ONES)) | ink * colour;
}

static void put_cell(const uint8_t* glyph, uint8_t* at, uint8_t colour, int first, int end)
{
    glyph += first * FONT_IMAGE_WIDTH;
    for (int r = first; r < end; r++, glyph += FONT_IMAGE_WIDTH, at += SCREEN_WIDTH)
        put_cell_row(glyph, at, colour);
}

// A cell with all its rows on screen, as a line of text mostly is: the
// rows written out, at fixed offsets from the cell's first.
static inline void put_whole_cell(const uint8_t* glyph, uint8_t* at, uint8_t colour)
{
#pragma GCC unroll 8
    for (int r = 0; r < GLYPH_HEIGHT; r++)
        put_cell_row(glyph + r * FONT_IMAGE_WIDTH, at + r * SCREEN_WIDTH, colour);
}

// The first and one past the last of `length` coordinates from `start`
// that land on screen: together, as a cell is smaller than the screen; the
// two equal when none does.
static void clip_cell(int start, int length, uint32_t size, int& first, int& last)
{
    first = 0;
    while (first < length && !on_screen(wrap_add(start, first), size))
        first++;
    last = first;
    while (last < length && on_screen(wrap_add(start, last), size))
        last++;
}

// A cell partly off screen left or right: only its rows and columns on
// screen, pixel by pixel.
static void put_clipped(const uint8_t* glyph, int x, int y, uint8_t colour)
{
    int col0, col1, row0, row1;
    clip_cell(x, GLYPH_WIDTH, SCREEN_WIDTH, col0, col1);
    clip_cell(y, GLYPH_HEIGHT, SCREEN_HEIGHT, row0, row1);
    for (int r = row0; r < row1; r++) {
        uint8_t* line = back_buffer() + static_cast<uint32_t>(wrap_add(y, r)) * SCREEN_WIDTH;
        for (int col = col0; col < col1; col++) {
            uint8_t v = glyph[r * FONT_IMAGE_WIDTH + col];
            if (v != 0)
                line[static_cast<uint32_t>(wrap_add(x, col))] = static_cast<uint8_t>(v * colour);
        }
    }
}

// Some pixel of a cell at (x, y) lands on screen: its last column and row
// are not left of or above the screen, its first not right of or below it.
static bool reaches_screen(int x, int y)
{
    return on_screen(wrap_add(x, GLYPH_WIDTH - 1), SCREEN_WIDTH + GLYPH_WIDTH - 1) &&
           on_screen(wrap_add(y, GLYPH_HEIGHT - 1), SCREEN_HEIGHT + GLYPH_HEIGHT - 1);
}

// PutChar, inline in PutString's loop: a line of text is one call.
static inline void put_char(uint8_t code, int x, int y, uint8_t colour)
{
    if (code >= FIRST_NO_GLYPH || !reaches_screen(x, y))
        return;
    const uint8_t* glyph = glyph_pixels(code);
    if (!on_screen(x, SCREEN_WIDTH - GLYPH_WIDTH + 1)) {
        put_clipped(glyph, x, y, colour);
        return;
    }
    // Here y lies in -7..199: the glyph rows on screen, as word rows.
    int first = y < 0 ? -y : 0;
    int end = y > SCREEN_HEIGHT - GLYPH_HEIGHT ? SCREEN_HEIGHT - y : GLYPH_HEIGHT;
    if (first == 0 && end == GLYPH_HEIGHT)
        put_whole_cell(glyph, back_buffer() + y * SCREEN_WIDTH + x, colour);
    else
        put_cell(glyph, back_buffer() + (y + first) * SCREEN_WIDTH + x, colour, first, end);
}

// The cells of `count` characters from (x, y) onwards, marked once. The
// sum is taken in 64 bits: where the pen wrapped round, more is marked
// than was drawn (a wrapped cell lies far off screen), never less.
static void mark_line(int x, int y, int count)
{
    if (count > 0)
        mark_rect(x, y, static_cast<int64_t>(x) + static_cast<int64_t>(count) * GLYPH_WIDTH - 1,
                  static_cast<int64_t>(y) + GLYPH_HEIGHT - 1);
}

void PutChar(uint8_t code, int x, int y, uint8_t colour)
{
    put_char(code, x, y, colour);
    mark_line(x, y, 1);
}

void PutString(const char* text, int x, int y, uint8_t colour)
{
    int penX = x, penY = y, count = 0;
    for (const char* p = text; *p != 0; p++) {
        if (*p == NEWLINE) {
            mark_line(x, penY, count);
            count = 0;
            penX = x;
            penY = wrap_add(penY, GLYPH_HEIGHT);
            continue;
        }
        put_char(static_cast<uint8_t>(*p), penX, penY, colour);
        penX = wrap_add(penX, GLYPH_WIDTH);
        count++;
    }
    mark_line(x, penY, count);
}

} // namespace kern
