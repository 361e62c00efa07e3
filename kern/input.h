// The console's input line, with recall of the commands typed before it,
// and the decoding of the serial line's bytes into the same characters
// the keyboard queues (kern/keyboard.h), so that one editor serves both.
#pragma once
#include <stdint.h>

namespace kern {

// A line of text, the console's and the input line's: 80 characters and
// the terminator.
const int LINE_COLUMNS = 80;
const int LINE_BYTES = LINE_COLUMNS + 1;
const int RECALL_LINES = 16;
// The input line's first character, before the typed text.
const char INPUT_PROMPT = '>';

// Empties the input line (the prompt alone) and forgets every command.
void Input_Init();
// One character: 0x20-0x7E types itself while there is room, 0x08 erases
// the last one (never the prompt), CH_UP and CH_DOWN step through the
// commands typed before. Anything else changes nothing.
void Input_Key(uint8_t ch);
// Keeps the line for recall (unless nothing was typed) and starts an empty one.
void Input_Commit();
// Starts an empty line without keeping the one typed.
void Input_Discard();
// The prompt and the typed text; the index where the next character goes.
const char* Input_Line();
int Input_Index();

// What a terminal's bytes mean to the console: CR or LF is Enter (a CR LF
// pair only once), BS and DEL erase, ESC [ A and ESC [ B recall, ESC [ 5 ~
// and ESC [ 6 ~ page; other escape sequences are swallowed whole. ESC
// itself never reaches the console: only the keyboard's Escape closes it.
struct SerialDecoder {
    uint8_t state;
    uint8_t param;      // the escape sequence's number so far
    uint8_t previous;   // the byte before this one
};

// The character `byte` stands for, or 0 when it stands for none (yet).
uint8_t serial_decode(SerialDecoder& decoder, uint8_t byte);

// For tests: back to the state at load, before any set-up.
void Input_Reset();

} // namespace kern
