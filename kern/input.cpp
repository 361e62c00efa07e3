// The console's input line and its recall list; the serial line's decoder.
#include "kern/input.h"
#include "kern/keyboard.h"
#include "kern/string.h"

namespace kern {

const int INPUT_LAST = LINE_COLUMNS - 1;      // the last slot a typed character may take
const int EDITING = -1;                       // recall_at: the line being typed, no command recalled

// The terminal's own bytes; the others are the keyboard's characters.
const uint8_t CH_RETURN = 0x0D;
const uint8_t CH_DELETE = 0x7F;
const uint8_t CH_FIRST_PRINTABLE = 0x20;
const uint8_t CH_LAST_PRINTABLE = 0x7E;

static char in_line[LINE_BYTES];
static int in_line_i;
static char recalled[RECALL_LINES][LINE_BYTES];   // 0 the newest command
static int recall_count;
static int recall_at = EDITING;
static char draft[LINE_BYTES];                    // the typed line, kept while recalling

void Input_Reset()
{
    __builtin_memset(in_line, 0, sizeof in_line);
    in_line_i = 0;
    __builtin_memset(recalled, 0, sizeof recalled);
    recall_count = 0;
    recall_at = EDITING;
    __builtin_memset(draft, 0, sizeof draft);
}

// Puts `text` (no prompt) on the input line, cut at the last slot.
static void set_line(const char* text)
{
    for (int i = 1; i < LINE_BYTES; i++)
        in_line[i] = 0;
    in_line[0] = INPUT_PROMPT;
    in_line_i = 1;
    for (const char* p = text; *p != 0 && in_line_i <= INPUT_LAST; p++)
        in_line[in_line_i++] = *p;
}

void Input_Init()
{
    set_line("");
    for (int k = 0; k < RECALL_LINES; k++)
        recalled[k][0] = 0;
    recall_count = 0;
    recall_at = EDITING;
}

static void recall(int step)
{
    int to = recall_at + step;
    if (to < EDITING || to >= recall_count)
        return;
    if (recall_at == EDITING)
        strcpy(in_line + 1, draft);
    recall_at = to;
    set_line(to == EDITING ? draft : recalled[to]);
}

void Input_Key(uint8_t ch)
{
    if (ch == CH_UP) {
        recall(+1);
    } else if (ch == CH_DOWN) {
        recall(-1);
    } else if (ch == CH_BACKSPACE) {
        if (in_line_i > 1)
            in_line[--in_line_i] = 0;
    } else if (ch >= CH_FIRST_PRINTABLE && ch <= CH_LAST_PRINTABLE) {
        if (in_line_i <= INPUT_LAST)
            in_line[in_line_i++] = static_cast<char>(ch);
    }
}

void Input_Discard()
{
    recall_at = EDITING;
    set_line("");
}

void Input_Commit()
{
    if (in_line_i > 1) {
        for (int k = RECALL_LINES - 2; k >= 0; k--)
            strcpy(recalled[k], recalled[k + 1]);
        strcpy(in_line + 1, recalled[0]);
        if (recall_count < RECALL_LINES)
            recall_count++;
    }
    Input_Discard();
}

const char* Input_Line() { return in_line; }
int Input_Index() { return in_line_i; }

enum : uint8_t { TEXT, ESCAPE, SEQUENCE, SHIFT_THREE };

static uint8_t text_char(SerialDecoder& d, uint8_t byte, uint8_t previous)
{
    if (byte == CH_RETURN)
        return CH_NEWLINE;
    if (byte == CH_NEWLINE)
        return previous == CH_RETURN ? 0 : CH_NEWLINE;
    if (byte == CH_BACKSPACE || byte == CH_DELETE)
        return CH_BACKSPACE;
    if (byte == CH_ESCAPE) {
        d.state = ESCAPE;
        return 0;
    }
    return byte >= CH_FIRST_PRINTABLE && byte <= CH_LAST_PRINTABLE ? byte : 0;
}

// The last byte of ESC [ ... or ESC O: the cursor and page keys.
static uint8_t final_char(uint8_t byte, uint8_t param)
{
    if (byte == 'A')
        return CH_UP;
    if (byte == 'B')
        return CH_DOWN;
    if (byte == '~' && param == 5)
        return CH_PAGE_UP;
    if (byte == '~' && param == 6)
        return CH_PAGE_DOWN;
    return 0;
}

const uint8_t PARAM_FIRST = 0x30, PARAM_LAST = 0x3F;              // digits, ';' and the like
const uint8_t INTERMEDIATE_FIRST = 0x20, INTERMEDIATE_LAST = 0x2F;
const uint8_t FINAL_FIRST = 0x40, FINAL_LAST = 0x7E;
const uint8_t PARAM_CAP = 100;

// A byte that cannot continue a sequence ends it and counts as text: a lone
// ESC before a letter is dropped, the letter typed.
uint8_t serial_decode(SerialDecoder& d, uint8_t byte)
{
    uint8_t previous = d.previous;
    d.previous = byte;
    if (d.state == ESCAPE) {
        d.param = 0;
        d.state = byte == '[' ? SEQUENCE : byte == 'O' ? SHIFT_THREE : TEXT;
        if (d.state != TEXT)
            return 0;
    } else if (d.state == SEQUENCE && byte >= INTERMEDIATE_FIRST && byte <= PARAM_LAST) {
        if (byte >= '0' && byte <= '9')
            d.param = d.param < PARAM_CAP ? static_cast<uint8_t>(d.param * 10 + (byte - '0')) : PARAM_CAP;
        else if (byte >= PARAM_FIRST)
            d.param = 0;   // ';' starts the next number: the last one counts
        return 0;
    } else if (d.state != TEXT) {
        d.state = TEXT;
        if (byte >= FINAL_FIRST && byte <= FINAL_LAST)
            return final_char(byte, d.param);
    }
    return text_char(d, byte, previous);
}

} // namespace kern
