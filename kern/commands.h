// The kernel's console commands, all in one table, and the pipeline
// switches as the commands and the start-up turn them (each says its new
// state on a console line).
#pragma once
#include <stdint.h>

namespace kern {

// Registers every command of the table, in its order.
void Commands_RegisterAll();

enum PipelineSwitch { SWITCH_CULL, SWITCH_MODEL, SWITCH_VIEW, SWITCH_PROJECTION, SWITCH_COUNT };
// Sets the switch (0 off, anything else on) and writes its line
// ("Backface culling ENABLED").
void Commands_SetSwitch(PipelineSwitch which, int on);

// The orbit command's line for a flight that a camera key ended.
void Commands_FlightEnded();

uint32_t testcmd(uint32_t first, uint32_t second);

} // namespace kern
