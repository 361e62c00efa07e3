// The kernel's entry and its frame loop over the built-in scene.
#pragma once
#include "kern/scene.h"

extern "C" {
// The kernel's entry (krnasm.S): interrupts off, x87 reset, kmain, and a
// halt loop should kmain ever return.
void start();
void kmain();
}

namespace kern {

// The built-in scene in `scene`, every pipeline stage on, the camera home,
// the kernel's commands registered and the reminder line written.
void start_scene(Triangle scene[SCENE_TRIANGLES]);

// One frame of the loop: the camera steered by the keys held (or the demo
// flight), the scene and the console drawn, shown after the retrace.
void frame(const Triangle* scene);

} // namespace kern
