// The drop-down console: the kernel's only text output and command line.
// Every character that enters its history is mirrored to the serial port;
// bytes received on the serial port are typed into its input line.
#pragma once
#include <stdint.h>
#include "kern/input.h"

namespace kern {

const int CONSOLE_LINES = 24;
const int CONSOLE_COLUMNS = LINE_COLUMNS;

void Console_Init();
void Console_WriteLine(const char* text);
void Console_AppendLine(const char* text);
void Console_Clear();
int32_t Console_IsOpen();
void Console_Update();
void Console_Draw();

// For tests: history line `index` (0 newest), the input line with its
// prompt, the next input slot, the top edge (pixels x 4096), and how many
// lines the view stands above the newest (PgUp / PgDn).
const char* Console_Line(int index);
const char* Console_Input();
int Console_InputIndex();
int32_t Console_Offset();
int Console_ViewBack();

// For tests: back to the state at load, before any set-up (the input line too).
void Console_Reset();

} // namespace kern
