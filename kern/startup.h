// The kernel's start-up and the steps of its frame.
#pragma once
#include <stdint.h>
#include "kern/video/raster.h"

namespace kern {

// The whole start-up, interrupts on from its middle; or every module set up
// with the timers and interrupts left alone (the benchmark kernel, which
// sets up the interrupt table itself once its scenes ran; host tests).
void start_up();
void start_modules();
// For tests: every module back to its state at load.
void reset_modules();

// A frame's steps: the timer and the console's input; the triangles seen
// from the camera at `position` and the console over them; the wait for the
// retrace, the copy to the display, the frame count and the keys' snapshot
// (frame_show: the same without the wait, for the benchmark kernel).
void frame_begin();
void frame_draw(const Triangle* scene, int count, Vec3 position, int32_t pitch, int32_t yaw);
void frame_end();
void frame_show();

} // namespace kern
