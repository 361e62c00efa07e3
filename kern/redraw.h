// What the frame loop keeps between frames, so that a frame clears, draws
// and copies to the display only what changed since the frame before: the
// scene as last drawn (its triangles, camera and pipeline switches) and the
// first row from which the back buffer still holds it. The rows the console
// covers are left to the console, which repaints them only when it
// changed. The picture is the one of the full path, which clears, draws and
// copies every frame whole; benchmarks and tests can switch to that path.
#pragma once
#include <stdint.h>
#include "kern/video/raster.h"

namespace kern {

// The scene from the camera and the console over it, the model offset at
// (0, 0, 0) as the frame loop sets it: of the scene, all of it where the
// triangles, the camera or the switches changed, else only the rows the
// console has left since the last frame, what the last frame drew there
// cleared first; of the console, what changed. Nothing when nothing
// changed.
void Redraw_Frame(const Triangle* scene, int count, Vec3 position, int32_t pitch, int32_t yaw);
// The rows that changed, copied to display memory.
void Redraw_Show();

// For benchmarks and tests: every frame cleared, drawn and copied whole.
void Redraw_Everything(bool on);

// For tests: back to the state at load (nothing kept: the next frame is
// drawn whole).
void Redraw_Reset();

} // namespace kern
