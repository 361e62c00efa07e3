// The drop-down console: the kernel's only text output and command line.
// Every character that enters its history is mirrored to the serial port;
// bytes received on the serial port are typed into its input line.
#pragma once
#include <stdint.h>
#include "kern/fixed.h"
#include "kern/input.h"

namespace kern {

const int CONSOLE_LINES = 24;
const int CONSOLE_COLUMNS = LINE_COLUMNS;
// The top edge's place (pixels x 4096) hidden and fully open. Open or on
// its way, the console covers the screen's rows from the top down.
const Fixed CONSOLE_HIDDEN = -200 * FIXED_ONE;
const Fixed CONSOLE_OPEN = -100 * FIXED_ONE;

void Console_Init();
void Console_WriteLine(const char* text);
void Console_AppendLine(const char* text);
void Console_Clear();
int32_t Console_IsOpen();
void Console_Update();
void Console_Draw();
// Console_Draw for a back buffer whose console rows still hold what the
// last Console_Draw (or this) painted: moves what slid or scrolled, paints
// only the rows that changed since, and nothing when nothing did.
void Console_DrawChanged();
// The rows the console covers from the top of the screen: 0 when hidden.
int Console_Rows();

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
