// The camera: how the keys and the demo flight move it, and the camera the
// frame loop draws from.
#pragma once
#include <stdint.h>
#include "kern/math.h"

namespace kern {

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

// The demo flight: the camera circles the cube at a fixed distance, above
// it, always looking at its centre; its angle moves on by one step a frame.
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

// The camera the frame loop draws from, and what the commands do to it:
// back to the start (ending a flight), the demo flight on or off (true when
// it is now on). Each frame steers it by the keys held, or by the flight,
// which any camera key ends: then Camera_Steer returns true.
Camera Camera_Now();
void Camera_Home();
bool Camera_ToggleOrbit();
bool Camera_Orbiting();
bool Camera_Steer(CameraKeys keys);

// For tests: back to the state at load (the start camera is set by Camera_Home).
void Camera_Reset();

} // namespace kern
