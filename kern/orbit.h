// The demo flight: the camera circles the cube at a fixed distance, above
// it, always looking at its centre; its angle moves on by one step a frame.
#pragma once
#include <stdint.h>
#include "kern/ckern.h"

namespace kern {

const int32_t ORBIT_STEP = 16;                 // angle steps a frame: a turn in 512 frames
const Fixed ORBIT_DISTANCE = 8192 * FIXED_ONE; // from the cube's centre, twice the start camera's
const int32_t ORBIT_PITCH = -512;              // 1/16 turn: the camera looks down on the cube

// The flight's state: on or off, and the angle round the cube, which is
// the camera's yaw on the path.
struct Orbit {
    bool on;
    int32_t angle;
};

// The camera on the path at `angle`: its position, pitch and yaw, and the
// movement vectors of that yaw, so that a key taking over moves from there.
Camera orbit_camera(int32_t angle);
// The flight started from `from`: at its yaw, so the cube is where it looks.
Orbit orbit_begin(const Camera& from);
// One frame on.
Orbit orbit_next(Orbit orbit);

} // namespace kern
