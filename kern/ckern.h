// The kernel's start-up, its built-in scene and the frame loop.
#pragma once
#include <stdint.h>

extern "C" {
// The kernel's entry (krnasm.S): interrupts off, x87 reset, kmain, and a
// halt loop should kmain ever return.
void start();
void kmain();
}

namespace kern {

uint32_t testcmd(uint32_t first, uint32_t second);

} // namespace kern
