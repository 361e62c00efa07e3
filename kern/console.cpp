// The drop-down console: a 24-line history, an input line, the slide over
// the top of the scene, and a serial copy of every character it is given.
#include "kern/console.h"
#include "kern/command.h"
#include "kern/fixed.h"
#include "kern/font.h"
#include "kern/keyboard.h"
#include "kern/serial.h"
#include "kern/string.h"
#include "kern/video.h"

namespace kern {

const int LINE_BYTES = CONSOLE_COLUMNS + 1;
const char PROMPT = '>';
const int INPUT_LAST = CONSOLE_COLUMNS - 1;   // the last slot a typed character may take

const uint8_t CH_NONE = 0;
const uint8_t CH_BACKSPACE = 8;
const uint8_t CH_NEWLINE = 10;
const uint8_t CH_ESCAPE = 27;
const uint8_t CH_FIRST_PRINTABLE = 32;
const uint8_t CH_LAST_PRINTABLE = 126;

const Fixed OFFSET_HIDDEN = -200 * FIXED_ONE;
const Fixed OFFSET_OPEN = -100 * FIXED_ONE;
const Fixed SLIDE_STEP = 10 * FIXED_ONE;

const uint8_t BACKGROUND_COLOUR = 8;   // dark grey
const uint8_t TEXT_COLOUR = 15;        // white
const int INPUT_ROW = CONSOLE_LINES * GLYPH_HEIGHT;   // the input line's row below the top edge

static char out_lines[CONSOLE_LINES][LINE_BYTES];   // line 0 newest
static char in_line[LINE_BYTES];
static int in_line_i;
static int console_open;
static Fixed console_offset = OFFSET_HIDDEN;

static void scroll()
{
    for (int k = CONSOLE_LINES - 2; k >= 0; k--)
        strcpy(out_lines[k], out_lines[k + 1]);
    for (int i = 0; i < CONSOLE_COLUMNS; i++)
        out_lines[0][i] = 0;
}

static void reset_input()
{
    for (int i = 1; i < LINE_BYTES; i++)
        in_line[i] = 0;
    in_line[0] = PROMPT;
    in_line_i = 1;
}

void Console_Init()
{
    for (int k = 0; k < CONSOLE_LINES; k++)
        for (int i = 0; i < LINE_BYTES; i++)
            out_lines[k][i] = 0;
    reset_input();
    Console_WriteLine("Bare metal x86 32-bit 3d renderer Brindlewort v0.0.6\n"
                      "Written by the Brindlewort kernel team");
}

void Console_AppendLine(const char* text)
{
    int len = strlen(out_lines[0]);
    for (const char* p = text; *p != 0; p++) {
        uint8_t ch = static_cast<uint8_t>(*p);
        if (ch == CH_NEWLINE) {
            out_lines[0][len] = 0;
            scroll();
            Serial_Outb(CH_NEWLINE);
            len = 0;
            continue;
        }
        // A full line wraps on screen only; the serial copy runs on.
        if (len == CONSOLE_COLUMNS) {
            out_lines[0][len] = 0;
            scroll();
            len = 0;
        }
        out_lines[0][len++] = static_cast<char>(ch);
        Serial_Outb(ch);
    }
    out_lines[0][len] = 0;
}

void Console_WriteLine(const char* text)
{
    scroll();
    Console_AppendLine(text);
    Serial_Outb(CH_NEWLINE);
}

void Console_Clear()
{
    for (int k = 0; k < CONSOLE_LINES; k++)
        for (int i = 0; i < LINE_BYTES; i++)
            out_lines[k][i] = 0;
}

int32_t Console_IsOpen() { return console_open; }

// The echo goes first, so that whatever the command writes lands below it.
static void submit()
{
    scroll();
    Console_AppendLine(in_line);
    Serial_Outb(CH_NEWLINE);
    Command_Fire(in_line + 1, 0, 0);
    reset_input();
}

static void take(uint8_t ch)
{
    if (ch == CH_ESCAPE) {
        console_open = 0;
        ASCIIMode(0);
    } else if (ch == CH_NEWLINE) {
        submit();
    } else if (ch == CH_BACKSPACE) {
        if (in_line_i > 1)
            in_line[--in_line_i] = 0;
    } else if (ch >= CH_FIRST_PRINTABLE && ch <= CH_LAST_PRINTABLE) {
        if (in_line_i <= INPUT_LAST)
            in_line[in_line_i++] = static_cast<char>(ch);
    }
}

// Characters queued before an Escape and after it in the same frame are all
// taken as input: the queue is drained whatever the console's state becomes.
void Console_Update()
{
    if (console_open) {
        for (uint8_t ch = Keyboard_GetCh(); ch != CH_NONE; ch = Keyboard_GetCh())
            take(ch);
        console_offset = console_offset >= OFFSET_OPEN ? OFFSET_OPEN : console_offset + SLIDE_STEP;
        return;
    }
    if (GetKey(KEY_BACKQUOTE)) {
        console_open = 1;
        ASCIIMode(1);
    }
    console_offset = console_offset <= OFFSET_HIDDEN ? OFFSET_HIDDEN : console_offset - SLIDE_STEP;
}

void Console_Draw()
{
    if (console_offset <= OFFSET_HIDDEN)
        return;
    int top = console_offset / FIXED_ONE;
    PutRect(0, top, SCREEN_WIDTH, SCREEN_HEIGHT, BACKGROUND_COLOUR);
    for (int i = 0; i < CONSOLE_LINES; i++)
        PutString(out_lines[CONSOLE_LINES - 1 - i], 0, top + GLYPH_HEIGHT * i, TEXT_COLOUR);
    PutString(in_line, 0, top + INPUT_ROW, TEXT_COLOUR);
}

const char* Console_Line(int index) { return out_lines[index]; }
const char* Console_Input() { return in_line; }
int Console_InputIndex() { return in_line_i; }
int32_t Console_Offset() { return console_offset; }

} // namespace kern
