// One frame of the built-in cube, rendered on the host through the kernel's
// own pipeline and rasteriser, for pictures, golden images and benchmarks.
#pragma once
#include <stdint.h>
#include <array>

#include "kern/math.h"
#include "kern/video/video.h"
#include "png.h"

namespace render {

// The camera as the frame loop hands it to the pipeline (roll is always 0).
struct View {
    kern::Vec3 position;   // Fixed
    int32_t pitch;         // angle steps, 8192 a turn
    int32_t yaw;
};

// The four pipeline switches, 0 = off.
struct Switches {
    int cull;
    int model;
    int view;
    int projection;
};

using Frame = std::array<uint8_t, kern::SCREEN_BYTES>;

// The camera the kernel starts with, and all four switches on.
View start_view();
Switches all_on();

// Makes the fixed ranges, the back buffer among them, usable in a host
// process that has not mapped them yet (the test binaries already have).
// False if it cannot.
bool map_back_buffer();

// Clears the back buffer, sets the switches, the model offset (0, 0, 0) and
// the camera as the frame loop does, draws the twelve triangles and returns
// the back buffer.
Frame render_frame(const View& view, const Switches& switches);

// The frame as an indexed picture, each pixel `scale` x `scale`.
png::Image enlarged(const Frame& frame, int scale);

} // namespace render
