// The drop-down console: a 24-line history with a movable view, the input
// line fed by the keyboard and the serial line, the slide over the top of
// the scene, and a serial copy of every character it is given.
#include "kern/console.h"
#include "kern/command.h"
#include "kern/echo.h"
#include "kern/fixed.h"
#include "kern/keyboard.h"
#include "kern/serial.h"
#include "kern/string.h"
#include "kern/video/textblock.h"
#include "kern/video/video.h"

namespace kern {

const Fixed OFFSET_HIDDEN = CONSOLE_HIDDEN;
const Fixed OFFSET_OPEN = CONSOLE_OPEN;
const Fixed SLIDE_STEP = 10 * FIXED_ONE;
// Console_Rows counts from the top of the screen.
static_assert(OFFSET_OPEN <= 0, "the console's top edge never comes below the screen's");

const uint8_t BACKGROUND_COLOUR = 8;   // dark grey
const uint8_t TEXT_COLOUR = 15;        // white
static_assert(CONSOLE_LINES + 1 == BLOCK_ROWS, "the history's rows, then the input line's");

// The open console shows the 11 newest lines whole (rows 4-91); the view
// moves by a page less one line, so that a line of the last page stays in
// sight, and stops where the oldest line is the top whole one.
const int VIEW_LINES = 11;
const int VIEW_PAGE = VIEW_LINES - 1;
const int VIEW_OLDEST = CONSOLE_LINES - VIEW_LINES;

// A ring of lines: line 0, the newest, in slot `newest`, the older ones in
// the slots after it, so that a new line moves no text.
static char out_lines[CONSOLE_LINES][LINE_BYTES];
static int newest;
static uint32_t history;                             // counts the changes of out_lines
static int console_open;
static Fixed console_offset = OFFSET_HIDDEN;
static int view_back;                                // lines the view stands above the newest
static SerialDecoder serial_decoder;
// Serial bytes were lost in the line now arriving: the rest of it is dropped.
static int discarding;

// What the console's rows of the back buffer show, as the last paint left
// them, and the lines scrolled in since.
struct Painted {
    bool valid;
    Fixed offset;
    int view_back;
    uint32_t history;
    char input[LINE_BYTES];
};
static Painted painted;
static int scrolled;

static char* out_line(int index) { return out_lines[(newest + index) % CONSOLE_LINES]; }

static void empty_history()
{
    for (int k = 0; k < CONSOLE_LINES; k++)
        for (int i = 0; i < LINE_BYTES; i++)
            out_lines[k][i] = 0;
    newest = 0;
    view_back = 0;
    history++;
}

void Console_Reset()
{
    empty_history();
    painted.valid = false;
    scrolled = 0;
    console_open = 0;
    console_offset = OFFSET_HIDDEN;
    serial_decoder = SerialDecoder{};
    discarding = 0;
    Input_Reset();
    Echo_Reset();
}

// A new line brings the view back to the newest.
// The oldest line's slot becomes the newest, empty.
static void scroll()
{
    newest = (newest + CONSOLE_LINES - 1) % CONSOLE_LINES;
    out_line(0)[0] = 0;
    view_back = 0;
    history++;
    scrolled++;
}

void Console_Init()
{
    empty_history();
    Input_Init();
    serial_decoder = SerialDecoder{};
    Console_WriteLine("Bare metal x86 32-bit 3d renderer Brindlewort v0.0.6\n"
                      "Written by the Brindlewort kernel team");
}

// Onto the newest line; `mirror` sends the text to the serial line too.
static void append(const char* text, bool mirror)
{
    if (mirror)
        Echo_Clear();
    char* line = out_line(0);
    int len = strlen(line);
    for (const char* p = text; *p != 0; p++) {
        uint8_t ch = static_cast<uint8_t>(*p);
        if (ch == CH_NEWLINE) {
            line[len] = 0;
            scroll();
            line = out_line(0);
            if (mirror)
                Serial_Outb(CH_NEWLINE);
            len = 0;
            continue;
        }
        // A full line wraps on screen only; the serial copy runs on.
        if (len == CONSOLE_COLUMNS) {
            line[len] = 0;
            scroll();
            line = out_line(0);
            len = 0;
        }
        line[len++] = static_cast<char>(ch);
        if (mirror)
            Serial_Outb(ch);
    }
    line[len] = 0;
    history++;
}

void Console_AppendLine(const char* text) { append(text, true); }

void Console_WriteLine(const char* text)
{
    scroll();
    append(text, true);
    Serial_Outb(CH_NEWLINE);
}

void Console_Clear() { empty_history(); }

int32_t Console_IsOpen() { return console_open; }

// The echo goes first, so that whatever the command writes lands below it.
// The serial terminal already shows the line, or is brought to show it.
static void submit()
{
    Echo_Show(Input_Line());
    Echo_End();
    scroll();
    append(Input_Line(), false);
    Command_Fire(Input_Line() + 1, 0, 0);
    Input_Commit();
}

static void move_view(int lines)
{
    int to = view_back + lines;
    view_back = to < 0 ? 0 : to > VIEW_OLDEST ? VIEW_OLDEST : to;
}

// A character from either source, Escape aside.
static void edit(uint8_t ch)
{
    if (ch == CH_NEWLINE)
        submit();
    else if (ch == CH_PAGE_UP)
        move_view(VIEW_PAGE);
    else if (ch == CH_PAGE_DOWN)
        move_view(-VIEW_PAGE);
    else
        Input_Key(ch);
}

// A line that lost bytes on the way never runs: what was typed of it goes,
// the console says so once, and the rest of it is dropped as it arrives.
static void lose_line()
{
    if (discarding)
        return;
    discarding = 1;
    serial_decoder = SerialDecoder{};
    Input_Discard();
    Echo_End();
    Console_WriteLine("WARNING: SERIAL INPUT LOST. LINE DISCARDED!!!");
}

static void take_serial_char(uint8_t ch)
{
    if (discarding) {
        if (ch == CH_NEWLINE)
            discarding = 0;
        return;
    }
    edit(ch);
    if (ch != CH_NEWLINE)
        Echo_Show(Input_Line());
}

// Serial bytes are input whether the console is shown or not, and never
// open or close it. A frame takes a bounded number, so that a line that
// never stops sending still leaves the frames running: 256 a frame is
// four times what 38400 baud brings.
const int SERIAL_BYTES_PER_FRAME = 256;

static void take_serial()
{
    for (int n = 0; n < SERIAL_BYTES_PER_FRAME; n++) {
        uint8_t byte = Serial_GetCh();
        if (byte == CH_NONE)
            return;
        if (byte == SERIAL_LOST) {
            lose_line();
            continue;
        }
        uint8_t ch = serial_decode(serial_decoder, byte);
        if (ch != CH_NONE)
            take_serial_char(ch);
    }
}

// Characters queued before an Escape and after it in the same frame are all
// taken as input: the queue is drained whatever the console's state becomes.
static void update_keyboard()
{
    if (console_open) {
        for (uint8_t ch = Keyboard_GetCh(); ch != CH_NONE; ch = Keyboard_GetCh()) {
            if (ch == CH_ESCAPE) {
                console_open = 0;
                ASCIIMode(0);
            } else {
                edit(ch);
            }
        }
        console_offset = console_offset >= OFFSET_OPEN ? OFFSET_OPEN : console_offset + SLIDE_STEP;
        return;
    }
    if (GetKey(KEY_BACKQUOTE)) {
        console_open = 1;
        ASCIIMode(1);
    }
    console_offset = console_offset <= OFFSET_HIDDEN ? OFFSET_HIDDEN : console_offset - SLIDE_STEP;
}

void Console_Update()
{
    take_serial();
    update_keyboard();
    Echo_Prompt();   // after start-up, and after whatever this frame ran
}

// While the view stands back, a tag at the right end of the input row says
// how far: "10 lines up", dark on white, so that paging always shows.
static const char* view_tag()
{
    static char tag[24];
    tag[0] = 0;
    if (view_back == 0)
        return tag;
    char number[12];
    strcat(" ", tag);
    strcat(putint(view_back, number, sizeof number), tag);
    strcat(view_back == 1 ? " line up " : " lines up ", tag);
    return tag;
}

// The console as a block of text rows: the history's lines in view, the
// oldest on top, then the input line.
static TextBlock block()
{
    TextBlock b;
    b.top = console_offset / FIXED_ONE;
    for (int i = 0; i < CONSOLE_LINES; i++) {
        int k = CONSOLE_LINES - 1 - i + view_back;   // the line row i shows
        b.rows[i] = k < CONSOLE_LINES ? out_line(k) : "";
    }
    b.rows[CONSOLE_LINES] = Input_Line();
    b.tag = view_tag();
    b.background = BACKGROUND_COLOUR;
    b.colour = TEXT_COLOUR;
    return b;
}

static void paint(bool whole)
{
    int shift = scrolled + painted.view_back - view_back;   // rows the lines in view moved up
    painted.valid = true;
    painted.offset = console_offset;
    painted.view_back = view_back;
    painted.history = history;
    strcpy(Input_Line(), painted.input);
    scrolled = 0;
    if (console_offset <= OFFSET_HIDDEN) {
        ForgetBlock();   // the scene has the rows
        return;
    }
    // The block paints itself whole where it shows nothing yet.
    if (whole)
        PaintBlock(block());
    else
        RepaintBlock(block(), CONSOLE_LINES, shift);
}

void Console_Draw() { paint(true); }

void Console_DrawChanged()
{
    if (painted.valid && painted.offset == console_offset && painted.view_back == view_back &&
        painted.history == history && strcmp(painted.input, Input_Line()) == 0)
        return;
    paint(false);
}

int Console_Rows()
{
    if (console_offset <= OFFSET_HIDDEN)
        return 0;
    int below = console_offset / FIXED_ONE + SCREEN_HEIGHT;   // the first row below it
    return below < 0 ? 0 : below > SCREEN_HEIGHT ? SCREEN_HEIGHT : below;
}

const char* Console_Line(int index) { return out_line(index); }
const char* Console_Input() { return Input_Line(); }
int Console_InputIndex() { return Input_Index(); }
int32_t Console_Offset() { return console_offset; }
int Console_ViewBack() { return view_back; }

} // namespace kern
