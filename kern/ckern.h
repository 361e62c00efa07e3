// The kernel's start-up, its built-in scene and the frame loop.
#pragma once
#include <stdint.h>
#include "kern/raster.h"

extern "C" {
// The kernel's entry (krnasm.S): interrupts off, x87 reset, kmain, and a
// halt loop should kmain ever return.
void start();
void kmain();
}

namespace kern {

const int SCENE_TRIANGLES = 12;

// The built-in cube: twelve triangles, two per face, each face one colour.
// The corner order is part of the data: the back-face cull depends on it.
void build_scene(Triangle scene[SCENE_TRIANGLES]);

uint32_t testcmd(uint32_t first, uint32_t second);

} // namespace kern
