// The benchmark scenes and the frames drawn from them, the same code on the
// host (Google Benchmark) and in the QEMU benchmark image.
//
// Every scene is made from a fixed seed, so each run draws the very same
// triangles. A frame is what the kernel does with a scene: clear the back
// buffer, draw, copy it to the display memory (the fill-rate scene C draws
// over the last frame without a clear).
#pragma once
#include <stdint.h>

#include "kern/scene.h"
#include "kern/video/raster.h"

namespace bench {

const int CUBE_TRIANGLES = kern::SCENE_TRIANGLES;
const int MAX_SCENE_TRIANGLES = 4000;

enum SceneId { SCENE_A, SCENE_B, SCENE_C, SCENE_D, SCENE_E, SCENE_COUNT };

struct SceneInfo {
    char letter;
    const char* what;
    bool clears;   // the frame starts with ClearScreen
};

const SceneInfo& scene_info(SceneId id);

// Fills `out` (room for MAX_SCENE_TRIANGLES) with the scene's screen-space
// triangles; returns how many.
int make_scene(SceneId id, kern::Triangle* out);

// The cube as the kernel builds it, and the cameras it is measured from.
struct CubeView {
    const char* name;
    kern::Vec3 position;
    int32_t pitch;
    int32_t yaw;
};
const int CUBE_VIEW_COUNT = 5;
const CubeView& cube_view(int index);
void build_cube(kern::Triangle out[CUBE_TRIANGLES]);

// All four pipeline switches on, as the kernel starts (writes their lines).
void switches_on();

// One frame of a scene through draw_triangle.
void scene_frame(SceneId id, const kern::Triangle* triangles, int count);
// The same frame with the plain per-pixel rasteriser instead.
void reference_frame(SceneId id, const kern::Triangle* triangles, int count);
// One frame of the cube through draw_buffer from a camera, as the frame loop
// draws it: camera set-up, clear, the twelve triangles, copy.
void cube_frame(const kern::Triangle cube[CUBE_TRIANGLES], const CubeView& view);

// Pixels the triangles write, overdraw included (each triangle counted on
// its own). Uses the back buffer as scratch.
uint32_t pixels_written(const kern::Triangle* triangles, int count);

// Twice the area in square pixels of the triangle's snapped corners, unsigned.
int64_t double_area(const kern::Triangle& t);

} // namespace bench
