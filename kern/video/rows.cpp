// What each row of the back buffer holds and what of it the display shows.
//
// Three spans a row: `held`, the columns of the back buffer that may hold
// other than colour 0, `shown`, the columns of the display that may (held
// as of the last copy; everything else is 0 in both), and `dirty`, the
// columns that 2D fills and moves stored into since the last copy. Rows the
// rasteriser drew into or the clear emptied since the last copy lie between
// `changed_first` and `changed_last`: of those, held and shown together are
// what may differ from the display. Of the other rows only dirty may: a
// text row redrawn over itself is copied as far as its text reaches, not
// edge to edge. Rows that nothing touched in a frame, the console's when it
// did not change, are neither cleared nor copied.
//
// From ClearScreen until the next ClearDrawnRows or BlitChangedRows, fills
// are not marked (the full path copies every frame whole and has no use
// for marks, which would cost the rasteriser a store or two a row): every
// row then counts as held and changed from edge to edge. Whole-screen
// settings of the spans are made when the spans are next needed, not at
// every ClearScreen and Blit.
#include "kern/video/rows.h"
#include "kern/video/fill.h"

namespace kern {

const RowSpan NO_SPAN = {SCREEN_WIDTH, -1};
const RowSpan WHOLE_ROW = {0, SCREEN_WIDTH - 1};
const int WORD_COLUMNS = 4;
const int LAST_ROW = SCREEN_HEIGHT - 1;
static_assert(SCREEN_WIDTH % WORD_COLUMNS == 0, "rows start on word boundaries");

static RowSpan held[SCREEN_HEIGHT];
static RowSpan shown[SCREEN_HEIGHT];
static RowSpan dirty[SCREEN_HEIGHT];   // NO_SPAN outside dirty_first..dirty_last, once marking
// At load nothing is known of either buffer: every row is held and shown,
// so the first frame clears and copies the whole screen.
static bool unmarked = true;                              // every row held from edge to edge
static bool shown_whole = true;                           // every row shown from edge to edge
static int held_first = 0, held_last = LAST_ROW;         // the rows whose held span may be non-empty
static int changed_first = 0, changed_last = LAST_ROW;   // the rows drawn into or cleared since the last copy
static int dirty_first = SCREEN_HEIGHT, dirty_last = -1;  // the rows whose dirty span may be non-empty
static uint64_t bytes_shown;

// A range of rows first..last, empty when first > last.
static void no_rows(int& first, int& last)
{
    first = SCREEN_HEIGHT;
    last = -1;
}

// The range widened to take rows from..to in.
static void take_rows(int& first, int& last, int from, int to)
{
    first = from < first ? from : first;
    last = to > last ? to : last;
}

void Rows_Reset()
{
    unmarked = true;
    shown_whole = true;
    held_first = changed_first = 0;
    held_last = changed_last = LAST_ROW;
    no_rows(dirty_first, dirty_last);
    bytes_shown = 0;
}

static void set_all(RowSpan* spans, RowSpan value)
{
    for (int r = 0; r < SCREEN_HEIGHT; r++)
        spans[r] = value;
}

// The spans as the flags say they are, and fills marked from here on.
// Unmarked, every row is changed whole: no dirty span is needed.
static void settle()
{
    if (unmarked) {
        set_all(held, WHOLE_ROW);
        set_all(dirty, NO_SPAN);
        held_first = 0;
        held_last = LAST_ROW;
        no_rows(dirty_first, dirty_last);
        unmarked = false;
    }
    if (shown_whole)
        set_all(shown, WHOLE_ROW);
    shown_whole = false;
}

bool rows_marking() { return !unmarked; }

RowSpan* mark_rows(int first, int last)
{
    take_rows(held_first, held_last, first, last);
    take_rows(changed_first, changed_last, first, last);
    return held + first;
}

// The stores are both held and dirty: the row is not counted as changed,
// so that only the columns stored into are copied.
void mark_rect(int64_t x0, int64_t y0, int64_t x1, int64_t y1)
{
    if (unmarked)
        return;
    x0 = x0 < 0 ? 0 : x0;
    y0 = y0 < 0 ? 0 : y0;
    x1 = x1 > SCREEN_WIDTH - 1 ? SCREEN_WIDTH - 1 : x1;
    y1 = y1 > LAST_ROW ? LAST_ROW : y1;
    if (x0 > x1 || y0 > y1)
        return;
    int first = static_cast<int>(y0), last = static_cast<int>(y1);
    int lo = static_cast<int>(x0), hi = static_cast<int>(x1);
    take_rows(held_first, held_last, first, last);
    take_rows(dirty_first, dirty_last, first, last);
    for (int r = first; r <= last; r++) {
        widen(held[r], lo, hi);
        widen(dirty[r], lo, hi);
    }
}

// The display keeps showing what it showed.
void rows_all_cleared()
{
    unmarked = true;
    changed_first = 0;
    changed_last = LAST_ROW;
}

// Unmarked, every row is held whole, and may still be drawn into before
// the next copy: all of them stay changed.
void rows_all_shown()
{
    if (unmarked) {
        shown_whole = true;
    } else {
        for (int r = 0; r < SCREEN_HEIGHT; r++) {
            shown[r] = held[r];
            dirty[r] = NO_SPAN;
        }
        shown_whole = false;
        no_rows(changed_first, changed_last);
        no_rows(dirty_first, dirty_last);
    }
    bytes_shown += SCREEN_BYTES;
}

// The words that cover a span of a row: from the first one's column to
// one past the last one's.
static uint32_t span_start(RowSpan s) { return static_cast<uint32_t>(s.lo & ~(WORD_COLUMNS - 1)); }
static uint32_t span_end(RowSpan s) { return static_cast<uint32_t>((s.hi | (WORD_COLUMNS - 1)) + 1); }

// The words that cover each row's span, for rows first..last, handed to
// `store` as runs [start, end) of back buffer offsets: spans of rows one
// after the other that meet (one ends at the right edge, the next starts
// at the left) make one run, stored by one string instruction. `take(r)`
// gives row r's span and updates the record.
template <typename Take, typename Store>
__attribute__((always_inline)) static inline void each_run(int first, int last, Take take, Store store)
{
    uint32_t start = 0, end = 0;
    uint32_t row = static_cast<uint32_t>(first) * SCREEN_WIDTH;
    for (int r = first; r <= last; r++, row += SCREEN_WIDTH) {
        RowSpan s = take(r);
        if (s.lo > s.hi)
            continue;
        uint32_t from = row + span_start(s);
        if (from != end) {
            if (end != start)
                store(start, end);
            start = from;
        }
        end = row + span_end(s);
    }
    if (end != start)
        store(start, end);
}

// Outside its held span a row is 0, so the words around the span are 0
// already and storing 0 into them changes nothing. The display keeps what
// it shows until the next copy.
void ClearDrawnRows(int first, int last)
{
    settle();
    first = first < held_first ? held_first : first;
    last = last > held_last ? held_last : last;
    if (first > last)
        return;
    each_run(
        first, last,
        [](int r) {
            RowSpan s = held[r];
            held[r] = NO_SPAN;
            return s;
        },
        [](uint32_t start, uint32_t end) { fill_words(back_buffer() + start, (end - start) / WORD_COLUMNS, 0); });
    if (first == held_first && last == held_last)
        no_rows(held_first, held_last);
    take_rows(changed_first, changed_last, first, last);
}

// The runs of rows first..last that `take` gives, copied to the display.
template <typename Take>
__attribute__((always_inline)) static inline void show_runs(int first, int last, Take take)
{
    uint8_t* video = reinterpret_cast<uint8_t*>(VIDEO_MEMORY);
    uint32_t bytes = 0;   // summed in a register, not in the 64-bit count
    each_run(first, last, take, [video, &bytes](uint32_t start, uint32_t end) {
        copy_words(video + start, back_buffer() + start, (end - start) / WORD_COLUMNS);
        bytes += end - start;
    });
    bytes_shown += bytes;
}

// A row is the display's outside its dirty span, or, changed, was made so
// by the copy before: once its dirty span is copied too, the display is 0
// wherever the row is, outside held.
static void show_dirty()
{
    show_runs(dirty_first, dirty_last, [](int r) {
        RowSpan s = dirty[r];
        dirty[r] = NO_SPAN;
        shown[r] = held[r];
        return s;
    });
    no_rows(dirty_first, dirty_last);
}

// Outside the shown and the held span both buffers are 0; the words around
// them too, which were equal after the last copy and have not changed since.
static void copy_rows(int first, int last)
{
    show_runs(first, last, [](int r) {
        RowSpan h = held[r];
        RowSpan s = shown[r];
        shown[r] = h;
        widen(s, h.lo, h.hi);
        return s;
    });
}

// Frames that only drew the scene have no dirty rows.
void BlitChangedRows()
{
    settle();
    copy_rows(changed_first, changed_last);
    no_rows(changed_first, changed_last);
    if (dirty_first <= dirty_last)
        show_dirty();
}

// Rows first..last copied and then cleared one by one: a row's copy is not
// merged with the next row's, which would come after the clear. The rows
// cleared, and so changed, become the changed rows.
static void copy_and_clear_rows(int first, int last)
{
    int cleared_last = -1;
    uint8_t* video = reinterpret_cast<uint8_t*>(VIDEO_MEMORY);
    uint8_t* back = back_buffer();
    uint32_t bytes = 0;
    uint32_t row = static_cast<uint32_t>(first) * SCREEN_WIDTH;
    for (int r = first; r <= last; r++, row += SCREEN_WIDTH) {
        RowSpan h = held[r];
        RowSpan s = shown[r];
        if (h.lo > h.hi && s.lo > s.hi)
            continue;   // the rows between the console's and the scene's
        shown[r] = h;
        held[r] = NO_SPAN;
        widen(s, h.lo, h.hi);
        uint32_t start = row + span_start(s);
        uint32_t words = (row + span_end(s) - start) / WORD_COLUMNS;
        copy_words(video + start, back + start, words);
        bytes += words * WORD_COLUMNS;
        if (h.lo <= h.hi) {
            start = row + span_start(h);
            fill_words(back + start, (row + span_end(h) - start) / WORD_COLUMNS, 0);
            cleared_last = r;
        }
    }
    bytes_shown += bytes;
    // A cleared row now shows what it held: the first that shows anything.
    int cleared_first = first;
    while (cleared_first < cleared_last && shown[cleared_first].lo > shown[cleared_first].hi)
        cleared_first++;
    changed_first = cleared_first;
    changed_last = cleared_last;
    if (cleared_last < 0)
        no_rows(changed_first, changed_last);
}

// Rows above `first` (the console's) are copied as BlitChangedRows copies
// them. From `first` down every changed or held row is copied and cleared
// (a held row that did not change is copied as it is shown, which changes
// nothing).
void BlitChangedRowsAndClear(int first)
{
    settle();
    // A 2D fill among the rows to clear (the frame loop makes none there):
    // its dirty span is copied before anything is cleared.
    if (dirty_last >= first) {
        BlitChangedRows();
        ClearDrawnRows(first, LAST_ROW);
        return;
    }
    int lowest = held_first < changed_first ? held_first : changed_first;
    int split = first > lowest ? first : lowest;
    int last = held_last > changed_last ? held_last : changed_last;
    // Above the first held row there is nothing to clear: those rows (the
    // ones the console has just left, say) are copied in runs.
    int clear_from = split > held_first ? split : held_first;
    copy_rows(changed_first, clear_from - 1 < changed_last ? clear_from - 1 : changed_last);
    if (dirty_first <= dirty_last)
        show_dirty();   // all above `first`, after their changed rows' copy
    copy_and_clear_rows(clear_from, last);
    held_last = held_last < first - 1 ? held_last : first - 1;
    if (held_first > held_last)
        no_rows(held_first, held_last);
}

void RowsShownAlready(int first)
{
    settle();
    first = first < changed_first ? changed_first : first;
    for (int r = first; r <= changed_last; r++)
        shown[r] = held[r];
    changed_last = first - 1 < changed_last ? first - 1 : changed_last;
    if (changed_first > changed_last)
        no_rows(changed_first, changed_last);
}

// rep movsl downwards (the direction flag set for it, and cleared again as
// compiled code expects): `words` words ending at `to_end` and `from_end`.
static void copy_words_down(uint8_t* to_end, const uint8_t* from_end, uint32_t words)
{
    uint8_t* to = to_end - WORD_COLUMNS;
    const uint8_t* from = from_end - WORD_COLUMNS;
    uintptr_t n = words;
    asm volatile("std\n\trep movsl\n\tcld" : "+D"(to), "+S"(from), "+c"(n) : : "memory");
}

// Rows that overlap are moved as memmove would: upwards through the
// buffer when they move up, downwards when they move down.
void MoveRows(int from, int to, int count)
{
    if (count <= 0 || from == to)
        return;
    uint32_t words = static_cast<uint32_t>(count) * SCREEN_WIDTH / WORD_COLUMNS;
    uint8_t* source = back_buffer() + from * SCREEN_WIDTH;
    uint8_t* target = back_buffer() + to * SCREEN_WIDTH;
    if (to < from)
        copy_words(target, source, words);
    else
        copy_words_down(target + count * SCREEN_WIDTH, source + count * SCREEN_WIDTH, words);
    mark_rect(0, to, SCREEN_WIDTH - 1, to + count - 1);
}

// Whole words, so that the mark covers what the copies store. Each row's
// columns lie apart from any other row's, so only the order of the rows
// matters where they overlap.
void MoveColumns(int from, int to, int count, int columns)
{
    if (columns >= SCREEN_WIDTH) {
        MoveRows(from, to, count);
        return;
    }
    if (count <= 0 || from == to || columns <= 0)
        return;
    uint32_t words = static_cast<uint32_t>(columns + WORD_COLUMNS - 1) / WORD_COLUMNS;
    int step = to < from ? 1 : -1;
    int first = to < from ? 0 : count - 1;
    for (int k = 0, r = first; k < count; k++, r += step)
        copy_words(back_buffer() + (to + r) * SCREEN_WIDTH, back_buffer() + (from + r) * SCREEN_WIDTH, words);
    mark_rect(0, to, words * WORD_COLUMNS - 1, to + count - 1);
}

uint64_t VideoBytesWritten() { return bytes_shown; }

} // namespace kern
