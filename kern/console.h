// The drop-down console: the kernel's only text output and command line.
// Every character that enters its history is mirrored to the serial port.
#pragma once
#include <stdint.h>

namespace kern {

const int CONSOLE_LINES = 24;
const int CONSOLE_COLUMNS = 80;

void Console_Init();
void Console_WriteLine(const char* text);
void Console_AppendLine(const char* text);
void Console_Clear();
int32_t Console_IsOpen();
void Console_Update();
void Console_Draw();

} // namespace kern
