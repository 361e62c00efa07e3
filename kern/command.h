// The command registry: names reduced to hashes, each bound to a handler.
#pragma once
#include <stdint.h>
#include "kern/lines.h"

namespace kern {

typedef uint32_t (*CommandHandler)(uint32_t first, uint32_t second);

const int32_t COMMAND_CAPACITY = 1024;

void Command_Init();
// Where the registry's lines ("Command not found.", the full table's
// warning) are written (the console, set by the start-up); nowhere until set.
void Command_SetOutput(LineWriter writer);
// The new command's index, or -1 (with a warning line) when the table is full.
int32_t Command_Register(const char* name, CommandHandler handler);
// Runs the command whose hash equals the whole text's, or writes
// "Command not found.".
void Command_Fire(const char* name, uint32_t first, uint32_t second);
void Command_Exec();

// For tests: commands registered, and the use count of one (-1 if none).
int32_t Command_Count();
int32_t Command_Uses(int32_t index);

// For tests: back to the state at load, before any set-up.
void Command_Reset();

} // namespace kern
