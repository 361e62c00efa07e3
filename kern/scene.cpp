// The built-in scene.
#include "kern/scene.h"

namespace kern {

void build_scene(Triangle scene[SCENE_TRIANGLES])
{
    for (int i = 0; i < SCENE_TRIANGLES; i++)
        scene[i] = CUBE_SCENE[i];
}

} // namespace kern
