// The kernel's start-up, its built-in scene and the frame loop.
#pragma once
#include <stdint.h>
#include "kern/raster.h"
#include "kern/startup.h"

extern "C" {
// The kernel's entry (krnasm.S): interrupts off, x87 reset, kmain, and a
// halt loop should kmain ever return.
void start();
void kmain();
}

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

// The camera the keyboard steers. Angles count 8192 steps a turn and are
// never wrapped (only their low 13 bits are used).
struct Camera {
    Vec3 position;
    int32_t pitch;
    int32_t yaw;
    Vec3 forward;   // in the horizontal plane, from the yaw
    Vec3 right;     // forward x up
};

// The camera keys held in one frame.
struct CameraKeys {
    bool back, ahead, left, right, down, up;          // S W A D Q E
    bool pitch_up, pitch_down, yaw_left, yaw_right;   // I K J L
};

// Each coordinate of the camera position stays within +-this: farther out,
// the cube's corners relative to the camera could overflow Fixed in the
// view transform, so the camera stops there as at a wall.
const Fixed POSITION_LIMIT = 160000 * FIXED_ONE;

Camera camera_start();
CameraKeys read_camera_keys();
// One frame of camera movement: steps along the vectors of the previous
// frame, then the new angles and vectors.
Camera camera_step(Camera camera, CameraKeys keys);

uint32_t testcmd(uint32_t first, uint32_t second);

// The built-in scene in `scene`, every pipeline stage on, the camera home,
// the kernel's commands registered and the reminder line written.
void start_scene(Triangle scene[SCENE_TRIANGLES]);

// One frame of the loop: the camera steered by the keys held, the scene and
// the console drawn, shown after the retrace.
void frame(const Triangle* scene);

// For tests: back to the state at load, before any set-up.
void Kmain_Reset();

} // namespace kern
