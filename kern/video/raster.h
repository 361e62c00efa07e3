// The triangle rasteriser: flat-coloured triangles in screen space (x and y
// in pixels * 4096) split into flat-bottomed and flat-topped halves.
#pragma once
#include <stdint.h>
#include "kern/math.h"

namespace kern {

struct Triangle {
    Vec3 corners[3];
    uint8_t colour;
};

void draw_triangle(Triangle t);
void sort_triangle_in_place(Vec3 corners[3]);
void draw_bottom_flat_triangle(Vec3 p0, Vec3 p1, Vec3 p2, uint8_t colour);
void draw_top_flat_triangle(Vec3 p0, Vec3 p1, Vec3 p2, uint8_t colour);

} // namespace kern
