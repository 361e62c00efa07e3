// The demo flight's path round the cube.
#include "kern/orbit.h"

namespace kern {

// Angles add with wrapping: only their low 13 bits are ever used.
static int32_t turn(int32_t angle, int32_t delta)
{
    return static_cast<int32_t>(static_cast<uint32_t>(angle) + static_cast<uint32_t>(delta));
}

// The camera looks along (cos p * sin y, -sin p, cos p * cos y) (the view
// rotation's third row, turned back into the world), so the point that
// distance back along it from the centre sees the centre straight ahead.
Camera orbit_camera(int32_t angle)
{
    const Fixed level = fixed_mul(ORBIT_DISTANCE, sin(ORBIT_PITCH + QUARTER_TURN));
    Camera c = {};
    c.position = Vec3{fixed_neg(fixed_mul(level, sin(angle))), fixed_mul(ORBIT_DISTANCE, sin(ORBIT_PITCH)),
                      fixed_neg(fixed_mul(level, sin(turn(angle, QUARTER_TURN))))};
    c.pitch = ORBIT_PITCH;
    c.yaw = angle;
    return camera_step(c, CameraKeys{});
}

Orbit orbit_begin(const Camera& from) { return Orbit{true, from.yaw}; }

Orbit orbit_next(Orbit orbit)
{
    orbit.angle = turn(orbit.angle, ORBIT_STEP);
    return orbit;
}

} // namespace kern
