// Kernel start-up, the built-in scene and the frame loop.
#include "kern/ckern.h"

namespace kern {

const Fixed HALF_EDGE = 2048 * FIXED_ONE;   // every corner coordinate is +-this

void build_scene(Triangle scene[SCENE_TRIANGLES])
{
    const Fixed P = HALF_EDGE, N = fixed_neg(HALF_EDGE);
    const Triangle cube[SCENE_TRIANGLES] = {
        {{{N, P, P}, {P, N, P}, {N, N, P}}, 2},   // z = +2048
        {{{N, P, P}, {P, P, P}, {P, N, P}}, 2},
        {{{N, P, N}, {N, N, N}, {P, N, N}}, 3},   // z = -2048
        {{{N, P, N}, {P, N, N}, {P, P, N}}, 3},
        {{{N, P, N}, {N, N, P}, {N, N, N}}, 4},   // x = -2048
        {{{N, P, N}, {N, P, P}, {N, N, P}}, 4},
        {{{P, P, N}, {P, N, N}, {P, N, P}}, 5},   // x = +2048
        {{{P, P, N}, {P, N, P}, {P, P, P}}, 5},
        {{{N, P, N}, {P, P, P}, {N, P, P}}, 6},   // y = +2048
        {{{N, P, N}, {P, P, N}, {P, P, P}}, 6},
        {{{N, N, N}, {N, N, P}, {P, N, P}}, 7},   // y = -2048
        {{{N, N, N}, {P, N, P}, {P, N, N}}, 7},
    };
    for (int i = 0; i < SCENE_TRIANGLES; i++)
        scene[i] = cube[i];
}

} // namespace kern

void kmain()
{
}
