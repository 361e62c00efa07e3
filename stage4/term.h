// The loader's text terminal on the 80x25 VGA text screen at 0xB8000.
//
// A software cursor (_curX, _curY) places characters; the CRT controller's
// hardware cursor follows it at line ends and after each text. Every cell is
// written with the attribute ATTRIB (white on blue). Everything written also
// goes out on the serial line (serial.h), a newline as 0x0A.
#pragma once
#include <stdint.h>

namespace loader {

const int TERM_COLS = 80;
const int TERM_ROWS = 25;

// Sets up the serial line, then writes the banner and an empty line.
void initTerm();
void putch(char ch);
// Writes any byte, a newline too, as its character cell (its glyph); the
// serial copy shows control bytes as '?'.
void putglyph(char ch);
void puts(const char* s);
void writeLine(const char* s);
void putint(uint32_t n);
void putintx(uint32_t n);
void scrollDown(int n);
void scrollUp();
void clearScreen();
void MovCur(uint8_t x, uint8_t y);
void setCursorToCurrentPos();

// The beginnings of a command line; nothing in the loader drives it.
void addCharToCmdBufferAndPrint(char ch);
void backspace();
void cmdPrompt();
void processCommand();
void kbd_input();

// Cursor position, for tests and for the loader's own checks.
uint8_t cursorX();
uint8_t cursorY();

// Keyboard rows by set-1 make code from each table's first code, '#' where a
// code has no character. Kept for the command line; nothing reads them yet.
extern const char toptwolowercase[29];
extern const char toptwouppercase[29];
extern const char secondrowlowercase[13];
extern const char secondrowuppercase[14];
extern const char thirdrowlowercase[11];
extern const char thirdrowuppercase[11];

// For tests: back to the state at load, before any set-up.
void termReset();

} // namespace loader
