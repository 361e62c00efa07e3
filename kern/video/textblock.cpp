// The text block and what it showed when last painted.
#include "kern/video/textblock.h"
#include "kern/string.h"
#include "kern/video/font.h"
#include "kern/video/video.h"

namespace kern {

// Texts are kept up to 80 characters; a longer one never compares equal
// to what was kept of it, and is painted every time.
const int KEPT_BYTES = 81;
const int TAG_ROW = BLOCK_ROWS - 1;
static_assert(BLOCK_ROWS * GLYPH_HEIGHT == SCREEN_HEIGHT, "the rows fill the background");

// What each row shows: its text, kept in the slot the row holds (slots
// move with the rows' pixels, the texts stay where they are), whether its
// pixels on screen are that text's, and how many columns from the left
// edge they may be other than the background (the cells of the text they
// show, right or not; the whole row under a tag or where that is not
// known), which move with them.
static bool known;     // the block's rows hold the block as last painted
static int shown_top;
static char texts[BLOCK_ROWS][KEPT_BYTES];
static int slot[BLOCK_ROWS];
static bool right[BLOCK_ROWS];
static int ink[BLOCK_ROWS];
static char shown_tag[KEPT_BYTES];

void TextBlock_Reset()
{
    known = false;
    shown_top = 0;
    __builtin_memset(texts, 0, sizeof texts);
    for (int row = 0; row < BLOCK_ROWS; row++) {
        slot[row] = row;
        right[row] = false;
        ink[row] = SCREEN_WIDTH;
    }
    __builtin_memset(shown_tag, 0, sizeof shown_tag);
}

void ForgetBlock() { known = false; }

// kept[KEPT_BYTES - 1] is always 0: a text that goes on past it differs.
static bool same_text(const char* kept, const char* text)
{
    for (int i = 0; i < KEPT_BYTES; i++) {
        if (kept[i] != text[i])
            return false;
        if (text[i] == 0)
            return true;
    }
    return false;
}

// Returns how many characters it kept.
static int keep(const char* text, char kept[KEPT_BYTES])
{
    int i = 0;
    for (; i < KEPT_BYTES - 1 && text[i] != 0; i++)
        kept[i] = text[i];
    kept[i] = 0;
    return i;
}

static int row_y(int top, int row) { return top + GLYPH_HEIGHT * row; }

// What is kept of a text covers all of the row that its cells do.
static_assert((KEPT_BYTES - 1) * GLYPH_WIDTH == SCREEN_WIDTH, "a row holds the cells of a kept text");

static int wider(int a, int b) { return a > b ? a : b; }

// Whether row `row`, right and showing `text` (the last row with the tag
// last painted), shows what the block has there.
static bool shows(const TextBlock& b, int row, const char* text)
{
    return same_text(text, b.rows[row]) && (row != TAG_ROW || same_text(shown_tag, b.tag));
}

// The screen rows [first, end) of a block row; first >= end when none.
struct OnScreen {
    int first, end;
};

static OnScreen on_screen(int top, int row)
{
    int y = row_y(top, row);
    return OnScreen{y < 0 ? 0 : y, y + GLYPH_HEIGHT > SCREEN_HEIGHT ? SCREEN_HEIGHT : y + GLYPH_HEIGHT};
}

// Row `row` at `top` has every pixel it shows from row `from` at
// `from_top`, moved by `by` screen rows.
static bool carried(int top, int row, int from_top, int from, int by)
{
    OnScreen need = on_screen(top, row), had = on_screen(from_top, from);
    return need.first >= need.end || (need.first >= had.first + by && need.end <= had.end + by);
}

static void draw_tag(const TextBlock& b, int y)
{
    int width = strlen(b.tag) * GLYPH_WIDTH;
    if (width == 0)
        return;
    PutRect(SCREEN_WIDTH - width, y, width, GLYPH_HEIGHT, b.colour);
    PutString(b.tag, SCREEN_WIDTH - width, y, b.background);
}

// A row over the background, which lies under it already. Rows wholly
// above the screen draw nothing.
static void draw_row(const TextBlock& b, int row)
{
    int y = row_y(b.top, row);
    if (y > -GLYPH_HEIGHT) {
        PutString(b.rows[row], 0, y, b.colour);
        if (row == TAG_ROW)
            draw_tag(b, y);
    }
    right[row] = true;
    int kept = keep(b.rows[row], texts[slot[row]]);
    ink[row] = row == TAG_ROW && b.tag[0] != 0 ? SCREEN_WIDTH : kept * GLYPH_WIDTH;
    if (row == TAG_ROW)
        keep(b.tag, shown_tag);
}

void PaintBlock(const TextBlock& b)
{
    PutRect(0, b.top, SCREEN_WIDTH, SCREEN_HEIGHT, b.background);
    for (int row = 0; row < BLOCK_ROWS; row++)
        draw_row(b, row);
    known = true;
    shown_top = b.top;
}

// Screen rows [first, end) moved by `by` rows, as far as both ends lie on
// screen.
static void move_on_screen(int first, int end, int by)
{
    first = first < 0 ? 0 : first;
    first = first + by < 0 ? -by : first;
    end = end > SCREEN_HEIGHT ? SCREEN_HEIGHT : end;
    end = end + by > SCREEN_HEIGHT ? SCREEN_HEIGHT - by : end;
    MoveRows(first, first + by, end - first);
}

// The whole block slid from shown_top to `top`.
static void slide(int top)
{
    int by = top - shown_top;
    if (by == 0)
        return;
    move_on_screen(shown_top, shown_top + SCREEN_HEIGHT, by);
    for (int row = 0; row < BLOCK_ROWS; row++) {
        bool whole = carried(top, row, shown_top, row, by);
        right[row] = right[row] && whole;
        ink[row] = whole ? ink[row] : SCREEN_WIDTH;
    }
    shown_top = top;
}

// Row `row` takes `columns` columns of the pixels `by` screen rows above
// it (below for a negative `by`), as far as it is on screen.
static void move_row(int row, int by, int columns)
{
    OnScreen need = on_screen(shown_top, row);
    MoveColumns(need.first - by, need.first, need.end - need.first, columns);
}

// Rows 0..scrolling - 1 take the slots of the rows `shift` below them (the
// rows that have none to take get the slots left over). A row takes their
// pixels too where those are right, all it shows of them is on screen and
// it is to show their text still: only as many columns as the wider of the
// two rows' ink, beyond which both are background, and the rows in the
// order memmove would move them. The other rows keep their pixels and ink,
// to be painted again. Returns how many rows from the top were compared
// with the block's texts: those are right only where they show them.
static int scroll(const TextBlock& b, int scrolling, int shift)
{
    if (shift == 0 || shift >= scrolling || -shift >= scrolling)
        return 0;
    int by = -GLYPH_HEIGHT * shift;
    int slots[BLOCK_ROWS], inks[BLOCK_ROWS], columns[BLOCK_ROWS];
    bool was_right[BLOCK_ROWS];
    for (int row = 0; row < scrolling; row++) {
        slots[row] = slot[row];
        inks[row] = ink[row];
        was_right[row] = right[row];
    }
    for (int row = 0; row < scrolling; row++) {
        int from = row + shift;
        bool inside = from >= 0 && from < scrolling;
        slot[row] = slots[(from + scrolling) % scrolling];
        right[row] = inside && was_right[from] && carried(shown_top, row, shown_top, from, by) &&
                     shows(b, row, texts[slots[from]]);
        columns[row] = right[row] ? wider(inks[row], inks[from]) : 0;
        ink[row] = right[row] ? inks[from] : inks[row];
    }
    for (int k = 0; k < scrolling; k++) {
        int row = shift > 0 ? k : scrolling - 1 - k;
        move_row(row, by, columns[row]);
    }
    return scrolling;
}

void RepaintBlock(const TextBlock& b, int scrolling, int shift)
{
    if (!known) {
        PaintBlock(b);
        return;
    }
    slide(b.top);
    int compared = scroll(b, scrolling, shift);
    for (int row = 0; row < BLOCK_ROWS; row++) {
        if (right[row] && (row < compared || shows(b, row, texts[slot[row]])))
            continue;
        PutRect(0, row_y(b.top, row), ink[row], GLYPH_HEIGHT, b.background);
        draw_row(b, row);
    }
}

} // namespace kern
