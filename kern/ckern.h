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

} // namespace kern
