// The camera and its steering.
#include "kern/camera.h"
#include "kern/keyboard.h"

namespace kern {

const Fixed START_Z = -4096 * FIXED_ONE;
const Fixed MOVE_STEP = 256 * FIXED_ONE;    // per frame and key
const int32_t TURN_STEP = 64;               // 1/128 of a turn per frame and key
const Vec3 UP = {0, FIXED_ONE, 0};

// The camera the frame loop steers; the commands reach it through the
// functions below.
static Camera camera;
// The demo flight, which steers the camera instead while it is on.
static Orbit flight;

void Camera_Reset()
{
    camera = Camera{};
    flight = Orbit{};
}

Camera camera_start()
{
    Camera c;
    c.position = Vec3{0, 0, START_Z};
    c.pitch = 0;
    c.yaw = 0;
    c.forward = Vec3{0, 0, FIXED_ONE};
    c.right = Vec3{FIXED_ONE, 0, 0};
    return c;
}

CameraKeys read_camera_keys()
{
    CameraKeys k;
    k.back = GetKey(KEY_S);
    k.ahead = GetKey(KEY_W);
    k.left = GetKey(KEY_A);
    k.right = GetKey(KEY_D);
    k.down = GetKey(KEY_Q);
    k.up = GetKey(KEY_E);
    k.pitch_up = GetKey(KEY_I);
    k.pitch_down = GetKey(KEY_K);
    k.yaw_left = GetKey(KEY_J);
    k.yaw_right = GetKey(KEY_L);
    return k;
}

// a + sign * b, stopped at +-POSITION_LIMIT.
static Fixed move(Fixed a, Fixed b, int sign)
{
    int64_t v = static_cast<int64_t>(a) + sign * static_cast<int64_t>(b);
    if (v > POSITION_LIMIT)
        return POSITION_LIMIT;
    if (v < -POSITION_LIMIT)
        return -POSITION_LIMIT;
    return static_cast<Fixed>(v);
}

static Vec3 move(const Vec3& p, const Vec3& step, int sign)
{
    return Vec3{move(p.x, step.x, sign), move(p.y, step.y, sign), move(p.z, step.z, sign)};
}

static Vec3 cross(const Vec3& a, const Vec3& b)
{
    return Vec3{fixed_sub(fixed_mul(a.y, b.z), fixed_mul(a.z, b.y)),
                fixed_sub(fixed_mul(a.z, b.x), fixed_mul(a.x, b.z)),
                fixed_sub(fixed_mul(a.x, b.y), fixed_mul(a.y, b.x))};
}

// Angles add with wrapping: only their low 13 bits are ever used.
static int32_t angle_add(int32_t angle, int32_t delta)
{
    return static_cast<int32_t>(static_cast<uint32_t>(angle) + static_cast<uint32_t>(delta));
}

Camera camera_step(Camera c, CameraKeys k)
{
    Vec3 ahead = Vec3ScaMul(c.forward, MOVE_STEP);
    Vec3 side = Vec3ScaMul(c.right, MOVE_STEP);
    const Vec3 vertical = {0, MOVE_STEP, 0};
    if (k.back)
        c.position = move(c.position, ahead, -1);
    if (k.ahead)
        c.position = move(c.position, ahead, +1);
    if (k.left)
        c.position = move(c.position, side, +1);
    if (k.right)
        c.position = move(c.position, side, -1);
    if (k.down)
        c.position = move(c.position, vertical, -1);
    if (k.up)
        c.position = move(c.position, vertical, +1);

    if (k.pitch_up)
        c.pitch = angle_add(c.pitch, TURN_STEP);
    if (k.pitch_down)
        c.pitch = angle_add(c.pitch, -TURN_STEP);
    if (k.yaw_left)
        c.yaw = angle_add(c.yaw, -TURN_STEP);
    if (k.yaw_right)
        c.yaw = angle_add(c.yaw, TURN_STEP);

    // Pitch stays out of the forward vector: W and S move in the horizontal
    // plane whatever the view's tilt, only Q and E change the height.
    c.forward = Vec3{sin(c.yaw), 0, sin(angle_add(c.yaw, QUARTER_TURN))};
    c.right = cross(c.forward, UP);
    return c;
}

// ---- the demo flight's path round the cube ----

// The camera looks along (cos p * sin y, -sin p, cos p * cos y) (the view
// rotation's third row, turned back into the world), so the point that
// distance back along it from the centre sees the centre straight ahead.
Camera orbit_camera(int32_t angle)
{
    const Fixed level = fixed_mul(ORBIT_DISTANCE, sin(ORBIT_PITCH + QUARTER_TURN));
    Camera c = {};
    c.position = Vec3{fixed_neg(fixed_mul(level, sin(angle))), fixed_mul(ORBIT_DISTANCE, sin(ORBIT_PITCH)),
                      fixed_neg(fixed_mul(level, sin(angle_add(angle, QUARTER_TURN))))};
    c.pitch = ORBIT_PITCH;
    c.yaw = angle;
    return camera_step(c, CameraKeys{});
}

Orbit orbit_begin(const Camera& from) { return Orbit{true, from.yaw}; }

Orbit orbit_next(Orbit orbit)
{
    orbit.angle = angle_add(orbit.angle, ORBIT_STEP);
    return orbit;
}

// ---- the camera the frame loop draws from ----

Camera Camera_Now() { return camera; }

void Camera_Home()
{
    flight.on = false;
    camera = camera_start();
}

bool Camera_ToggleOrbit()
{
    flight = flight.on ? Orbit{false, flight.angle} : orbit_begin(camera);
    return flight.on;
}

bool Camera_Orbiting() { return flight.on; }

static bool any_held(const CameraKeys& k)
{
    return k.back || k.ahead || k.left || k.right || k.down || k.up || k.pitch_up || k.pitch_down ||
           k.yaw_left || k.yaw_right;
}

// The flight steers until a camera key is held; the key then moves the
// camera on from where the flight had brought it, in the same frame.
bool Camera_Steer(CameraKeys keys)
{
    bool ended = flight.on && any_held(keys);
    if (ended)
        flight.on = false;
    if (flight.on) {
        flight = orbit_next(flight);
        camera = orbit_camera(flight.angle);
    } else {
        camera = camera_step(camera, keys);
    }
    return ended;
}

} // namespace kern
