// The 3D pipeline: model offset, camera view, perspective projection,
// off-screen reject, back-face cull, rasteriser; four run-time switches.
#pragma once
#include <stdint.h>
#include "kern/video/raster.h"

namespace kern {

void draw_buffer(const Triangle* triangles, int count);
void set_camera_position(Fixed x, Fixed y, Fixed z);
void set_camera_rotation(int32_t pitch, int32_t yaw, int32_t roll);
void set_model_offset(Fixed x, Fixed y, Fixed z);
void set_projection_fov();

void cull_back(int on);
void model_transform(int on);
void view_transform(int on);
void projection_transform(int on);

// The four switches as last set (0 off, anything else on).
struct PipelineSwitches {
    int cull, model, view, projection;
};
PipelineSwitches Pipeline_Switches();

// For tests: the camera matrix last built, how many triangles reached the
// rasteriser since start-up, and the last of them as it was handed over.
Mat3 Pipeline_CameraMatrix();
uint32_t Pipeline_Drawn();
Triangle Pipeline_LastDrawn();

// For tests: back to the state at load, before any set-up.
void Pipeline_Reset();

} // namespace kern
