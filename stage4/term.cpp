// The loader's text terminal.
#include "stage4/term.h"
#include "hw/machine.h"
#include "hw/hw.h"
#include "stage4/serial.h"

namespace loader {

const uint32_t SCREEN = machine::TEXT_SCREEN;
const uint16_t CRTC_INDEX = machine::VGA_CRTC_INDEX;
const uint16_t CRTC_DATA = machine::VGA_CRTC_INDEX + 1;
const uint8_t CRTC_CURSOR_HIGH = 0x0E;
const uint8_t CRTC_CURSOR_LOW = 0x0F;
const uint16_t CMD_BUFFER_SIZE = 1024;

static uint8_t _curX;
static uint8_t _curY;
static uint8_t ATTRIB = 0x1F;
static char cmdBuffer[CMD_BUFFER_SIZE];
static uint16_t cmdIt;
static char chars[128];

void termReset()
{
    _curX = 0;
    _curY = 0;
    ATTRIB = 0x1F;
    for (uint16_t i = 0; i < CMD_BUFFER_SIZE; i++)
        cmdBuffer[i] = 0;
    cmdIt = 0;
    for (char& c : chars)
        c = 0;
}
static const char nums[10] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
static const char numsx[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                               '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

const char toptwolowercase[29] = "##1234567890-=##qwertyuiop[]";
const char toptwouppercase[29] = "##!@#$%^&*()_+##QWERTYUIOP{}";
const char secondrowlowercase[13] = "asdfghjkl;'`";
const char secondrowuppercase[14] = "ASDFGHJKL:\"\xC2\xAC";
const char thirdrowlowercase[11] = "zxcvbnm,./";
const char thirdrowuppercase[11] = "ZXCVBNM<>?";

static volatile uint8_t* cell(int row, int col)
{
    return reinterpret_cast<volatile uint8_t*>(SCREEN) + 2 * (row * TERM_COLS + col);
}

static void crtc_write(uint8_t index, uint8_t value)
{
    outb_delayed(CRTC_INDEX, index);
    outb_delayed(CRTC_DATA, value);
}

void MovCur(uint8_t x, uint8_t y)
{
    uint16_t p = static_cast<uint16_t>(y * TERM_COLS + x);
    crtc_write(CRTC_CURSOR_LOW, p & 0xFF);
    crtc_write(CRTC_CURSOR_HIGH, p >> 8);
}

void setCursorToCurrentPos() { MovCur(_curX, _curY); }

uint8_t cursorX() { return _curX; }
uint8_t cursorY() { return _curY; }

void scrollDown(int n)
{
    for (int k = 0; k < n; k++) {
        for (int i = 0; i < 2 * TERM_COLS * (TERM_ROWS - 1); i++)
            cell(0, 0)[i] = cell(1, 0)[i];
        for (int col = 0; col < TERM_COLS; col++)
            cell(TERM_ROWS - 1, col)[0] = 0;
    }
    int y = _curY - n;
    if (y < 0) {
        _curX = 0;
        y = 0;
    }
    _curY = static_cast<uint8_t>(y);
    setCursorToCurrentPos();
}

// The serial line gets text and newlines only: any other control byte
// (C0, DEL or C1) would move a terminal's cursor, so it goes out as '?'.
static uint8_t serialByte(char ch)
{
    uint8_t b = static_cast<uint8_t>(ch);
    bool control = b < 0x20 || (b >= 0x7F && b < 0xA0);
    return control && ch != '\n' ? '?' : b;
}

// Writes a character cell at the cursor, wrapping a full row first.
static void putcell(char ch)
{
    if (_curX == TERM_COLS) {
        _curY++;
        _curX = 0;
    }
    if (_curY == TERM_ROWS)
        scrollDown(1);
    volatile uint8_t* c = cell(_curY, _curX);
    c[0] = static_cast<uint8_t>(ch);
    c[1] = ATTRIB;
    _curX++;
}

void putch(char ch)
{
    serialPut(serialByte(ch));
    if (ch != '\n') {
        putcell(ch);
        return;
    }
    _curY++;
    _curX = 0;
    if (_curY == TERM_ROWS)
        scrollDown(1);
    setCursorToCurrentPos();
}

void putglyph(char ch)
{
    serialPut(ch == '\n' ? '?' : serialByte(ch));
    putcell(ch);
}

void puts(const char* s)
{
    while (*s)
        putch(*s++);
    setCursorToCurrentPos();
}

void writeLine(const char* s)
{
    puts(s);
    putch('\n');
}

// Writes the digits of n in base (10 or 16), most significant first.
static void putdigits(uint32_t n, uint32_t base, const char* digits)
{
    if (n == 0) {
        putch('0');
        return;
    }
    int count = 0;
    for (; n != 0; n /= base)
        chars[count++] = digits[n % base];
    while (count > 0)
        putch(chars[--count]);
}

void putint(uint32_t n) { putdigits(n, 10, nums); }

void putintx(uint32_t n)
{
    puts("0x");
    putdigits(n, 16, numsx);
}

void initTerm()
{
    serialInit();
    puts("Quillon's Rattlebox Bootloader II\n");
    putch('\n');
}

void scrollUp() { writeLine("WARNING: scrollUp is not implemented."); }

void clearScreen()
{
    for (int i = 0; i < TERM_COLS * TERM_ROWS; i++) {
        cell(0, i)[0] = 0;
        cell(0, i)[1] = 0x1F;
    }
    _curX = 0;
    _curY = 0;
    setCursorToCurrentPos();
}

void addCharToCmdBufferAndPrint(char ch)
{
    if (cmdIt >= CMD_BUFFER_SIZE)
        return;
    cmdBuffer[cmdIt] = ch;
    putch(ch);
    cmdIt++;
}

void backspace()
{
    if (cmdIt == 0)
        return;
    if (_curX > 0) {
        _curX--;
    } else {
        if (_curY > 0)
            _curY--;
        int col = TERM_COLS - 1;
        while (col > 0 && cell(_curY, col)[0] == 0)
            col--;
        _curX = static_cast<uint8_t>(col);
    }
    volatile uint8_t* c = cell(_curY, _curX);
    c[0] = 0;
    c[1] = ATTRIB;
    setCursorToCurrentPos();
    cmdIt--;
}

void cmdPrompt() {}
void processCommand() {}
void kbd_input() {}

} // namespace loader
