// The built-in scene: a cube of twelve flat-coloured triangles.
#pragma once
#include "kern/video/raster.h"

namespace kern {

const int SCENE_TRIANGLES = 12;
const Fixed CUBE_HI = 2048 * FIXED_ONE;   // every corner coordinate is one of these two
const Fixed CUBE_LO = -CUBE_HI;

// The built-in cube: twelve triangles, two per face, each face one colour.
// The corner order is part of the data: the back-face cull depends on it.
// The table is here so the renderer's benchmarks draw the very same cube
// without the rest of the kernel.
const Triangle CUBE_SCENE[SCENE_TRIANGLES] = {
    {{{CUBE_LO, CUBE_HI, CUBE_HI}, {CUBE_HI, CUBE_LO, CUBE_HI}, {CUBE_LO, CUBE_LO, CUBE_HI}}, 2},   // z = +2048
    {{{CUBE_LO, CUBE_HI, CUBE_HI}, {CUBE_HI, CUBE_HI, CUBE_HI}, {CUBE_HI, CUBE_LO, CUBE_HI}}, 2},
    {{{CUBE_LO, CUBE_HI, CUBE_LO}, {CUBE_LO, CUBE_LO, CUBE_LO}, {CUBE_HI, CUBE_LO, CUBE_LO}}, 3},   // z = -2048
    {{{CUBE_LO, CUBE_HI, CUBE_LO}, {CUBE_HI, CUBE_LO, CUBE_LO}, {CUBE_HI, CUBE_HI, CUBE_LO}}, 3},
    {{{CUBE_LO, CUBE_HI, CUBE_LO}, {CUBE_LO, CUBE_LO, CUBE_HI}, {CUBE_LO, CUBE_LO, CUBE_LO}}, 4},   // x = -2048
    {{{CUBE_LO, CUBE_HI, CUBE_LO}, {CUBE_LO, CUBE_HI, CUBE_HI}, {CUBE_LO, CUBE_LO, CUBE_HI}}, 4},
    {{{CUBE_HI, CUBE_HI, CUBE_LO}, {CUBE_HI, CUBE_LO, CUBE_LO}, {CUBE_HI, CUBE_LO, CUBE_HI}}, 5},   // x = +2048
    {{{CUBE_HI, CUBE_HI, CUBE_LO}, {CUBE_HI, CUBE_LO, CUBE_HI}, {CUBE_HI, CUBE_HI, CUBE_HI}}, 5},
    {{{CUBE_LO, CUBE_HI, CUBE_LO}, {CUBE_HI, CUBE_HI, CUBE_HI}, {CUBE_LO, CUBE_HI, CUBE_HI}}, 6},   // y = +2048
    {{{CUBE_LO, CUBE_HI, CUBE_LO}, {CUBE_HI, CUBE_HI, CUBE_LO}, {CUBE_HI, CUBE_HI, CUBE_HI}}, 6},
    {{{CUBE_LO, CUBE_LO, CUBE_LO}, {CUBE_LO, CUBE_LO, CUBE_HI}, {CUBE_HI, CUBE_LO, CUBE_HI}}, 7},   // y = -2048
    {{{CUBE_LO, CUBE_LO, CUBE_LO}, {CUBE_HI, CUBE_LO, CUBE_HI}, {CUBE_HI, CUBE_LO, CUBE_LO}}, 7},
};

// Copies the cube into the kernel's scene buffer.
void build_scene(Triangle scene[SCENE_TRIANGLES]);

} // namespace kern
