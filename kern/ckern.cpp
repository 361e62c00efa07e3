// Kernel start-up, the built-in scene, the camera and the frame loop.
#include "kern/ckern.h"

#include "kern/clock.h"
#include "kern/command.h"
#include "kern/console.h"
#include "kern/font.h"
#include "kern/fps.h"
#include "kern/idt.h"
#include "kern/keyboard.h"
#include "kern/memory.h"
#include "kern/orbit.h"
#include "kern/pipeline.h"
#include "kern/serial.h"
#include "kern/texture.h"
#include "kern/timer.h"
#include "kern/video.h"

namespace kern {

const Fixed START_Z = -4096 * FIXED_ONE;
const Fixed MOVE_STEP = 256 * FIXED_ONE;    // per frame and key
const int32_t TURN_STEP = 64;               // 1/128 of a turn per frame and key
const Vec3 UP = {0, FIXED_ONE, 0};

// The camera the frame loop steers; also "home" and "fps" reach it.
static Camera camera;
// The demo flight, which steers the camera instead while it is on.
static Orbit flight;

void Kmain_Reset()
{
    camera = Camera{};
    flight = Orbit{};
}

const char REMINDER[] = "REMEMBER! You only have 4MiB for your kernel before you clobber the stack!\n"
                        "Also 8MiB of allocable memory after the stack!";

void build_scene(Triangle scene[SCENE_TRIANGLES])
{
    for (int i = 0; i < SCENE_TRIANGLES; i++)
        scene[i] = CUBE_SCENE[i];
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

uint32_t testcmd(uint32_t, uint32_t)
{
    Console_WriteLine("Hello!");
    return 0;
}

// The switch commands flip a pipeline stage; each switch writes its line.
static uint32_t flip(void (*set)(int), int on)
{
    set(!on);
    return 0;
}

static uint32_t _cmd_cull(uint32_t, uint32_t) { return flip(cull_back, Pipeline_Switches().cull); }
static uint32_t _cmd_model(uint32_t, uint32_t) { return flip(model_transform, Pipeline_Switches().model); }
static uint32_t _cmd_view(uint32_t, uint32_t) { return flip(view_transform, Pipeline_Switches().view); }

static uint32_t _cmd_perspective(uint32_t, uint32_t)
{
    return flip(projection_transform, Pipeline_Switches().projection);
}

static void end_flight()
{
    if (!flight.on)
        return;
    flight.on = false;
    Console_WriteLine("Camera orbit DISABLED");
}

static uint32_t _cmd_orbit(uint32_t, uint32_t)
{
    if (flight.on) {
        end_flight();
        return 0;
    }
    flight = orbit_begin(camera);
    Console_WriteLine("Camera orbit ENABLED");
    return 0;
}

// Home ends the flight too: the camera stays where it starts.
static uint32_t _cmd_home(uint32_t, uint32_t)
{
    end_flight();
    camera = camera_start();
    Console_WriteLine("Camera back at the start");
    return 0;
}

static uint32_t _cmd_fps(uint32_t, uint32_t)
{
    char line[FPS_LINE_BYTES];
    fps_line(Fps_Latest(), camera.position, camera.pitch, camera.yaw, line);
    Console_WriteLine(line);
    return 0;
}

static void register_commands()
{
    Command_Register("test", testcmd);
    Command_Register("cull", _cmd_cull);
    Command_Register("model", _cmd_model);
    Command_Register("view", _cmd_view);
    Command_Register("perspective", _cmd_perspective);
    Command_Register("home", _cmd_home);
    Command_Register("fps", _cmd_fps);
    Command_Register("orbit", _cmd_orbit);
}

void start_scene(Triangle scene[SCENE_TRIANGLES])
{
    build_scene(scene);
    cull_back(1);
    model_transform(1);
    view_transform(1);
    projection_transform(1);

    camera = camera_start();
    set_model_offset(0, 0, 0);
    set_camera_position(camera.position.x, camera.position.y, camera.position.z);
    set_camera_rotation(camera.pitch, camera.yaw, 0);

    register_commands();
    Console_WriteLine(REMINDER);
}

static bool any_held(const CameraKeys& k)
{
    return k.back || k.ahead || k.left || k.right || k.down || k.up || k.pitch_up || k.pitch_down ||
           k.yaw_left || k.yaw_right;
}

// The flight steers until a camera key is held; the key then moves the
// camera on from where the flight had brought it, in the same frame.
static Camera steer(Camera c, CameraKeys keys)
{
    if (flight.on && any_held(keys))
        end_flight();
    if (!flight.on)
        return camera_step(c, keys);
    flight = orbit_next(flight);
    return orbit_camera(flight.angle);
}

void frame(const Triangle* scene)
{
    frame_begin();
    camera = steer(camera, read_camera_keys());
    frame_draw(scene, SCENE_TRIANGLES, camera.position, camera.pitch, camera.yaw);
    frame_end();
}

} // namespace kern

using namespace kern;

void kmain()
{
    start_up();
    Triangle scene[SCENE_TRIANGLES];
    start_scene(scene);
    for (;;)
        frame(scene);
}
