// The 3D pipeline: every triangle of a model goes through the model offset,
// the camera's view, the perspective projection, the off-screen reject and
// the back-face cull before the rasteriser fills it. Triangles are painted
// in array order; there is no depth buffer.
#include "kern/pipeline.h"
#include "kern/console.h"
#include "kern/video.h"

namespace kern {

// Focal length 128 pixels: s = 128.0 / z, and nearer corners sit at 128.0.
const Fixed FOCAL = 128 * FIXED_ONE;
const Fixed NEAREST = FOCAL;
const Fixed CENTRE_X = 160 * FIXED_ONE;
const Fixed CENTRE_Y = 100 * FIXED_ONE;
// Largest on-screen coordinates, 319.999... and 199.999... pixels.
const uint32_t X_LAST = SCREEN_WIDTH * FIXED_ONE - 1;
const uint32_t Y_LAST = SCREEN_HEIGHT * FIXED_ONE - 1;

static Vec3 model_offset;
static Vec3 camera_pos;
static Vec3 camera_rot;   // pitch, yaw, roll in x, y, z
static Mat3 intl_camera_mat = {{FIXED_ONE, 0, 0, 0, FIXED_ONE, 0, 0, 0, FIXED_ONE}};
static int modtranson;
static int viewtranson;
static int projtranson;
static int cb;

static uint32_t drawn;
static Triangle last_drawn;

static void model_stage(Vec3 c[3])
{
    for (int i = 0; i < 3; i++)
        c[i] = Vec3Vec3Add(c[i], model_offset);
}

// Uses intl_camera_mat as draw_buffer has built it for this call.
static void view_stage(Vec3 c[3])
{
    for (int i = 0; i < 3; i++)
        c[i] = Vec3Vec3Sub(c[i], camera_pos);
    for (int i = 0; i < 3; i++)
        c[i] = Vec3Mat3Mul(c[i], intl_camera_mat);
}

// fixed_div(FOCAL, z) for z >= NEAREST: 2^31 / z. Both are positive and
// 2^31 fits an unsigned word, so one 32-bit division gives the same quotient.
static Fixed scale(Fixed z)
{
    const uint32_t focal_shifted = static_cast<uint32_t>(FOCAL) << FIXED_SHIFT;
    return static_cast<Fixed>(focal_shifted / static_cast<uint32_t>(z));
}

// False when the whole triangle lies behind the camera.
static bool projection_stage(Vec3 c[3])
{
    if (c[0].z <= 0 && c[1].z <= 0 && c[2].z <= 0)
        return false;
    for (int i = 0; i < 3; i++) {
        Fixed s = FIXED_ONE;
        if (c[i].z < NEAREST)
            c[i].z = NEAREST;
        else
            s = scale(c[i].z);
        c[i].x = fixed_add(fixed_mul(c[i].x, s), CENTRE_X);
        c[i].y = fixed_add(fixed_mul(c[i].y, s), CENTRE_Y);
    }
    return true;
}

static bool off_screen(Fixed x, Fixed y)
{
    return static_cast<uint32_t>(x) > X_LAST && static_cast<uint32_t>(y) > Y_LAST;
}

// Only a triangle whose every coordinate is off screen goes: one in range
// lets it through, even when it lies wholly off screen.
static bool rejected(const Vec3 c[3])
{
    return off_screen(c[0].x, c[0].y) && off_screen(c[1].x, c[1].y) && off_screen(c[2].x, c[2].y);
}

// A 32-bit product, wrapping as the processor's imul does.
static int32_t product32(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// Counter-clockwise on screen (y pointing down) faces away; zero area stays.
static bool back_facing(const Vec3 c[3])
{
    int32_t x0 = c[0].x / FIXED_ONE, y0 = c[0].y / FIXED_ONE;
    int32_t x1 = c[1].x / FIXED_ONE, y1 = c[1].y / FIXED_ONE;
    int32_t x2 = c[2].x / FIXED_ONE, y2 = c[2].y / FIXED_ONE;
    return product32(x1 - x0, y2 - y0) < product32(y1 - y0, x2 - x0);
}

static void draw(const Triangle& t)
{
    drawn++;
    last_drawn = t;
    draw_triangle(t);
}

void draw_buffer(const Triangle* triangles, int count)
{
    // The camera cannot turn during a call: the matrix every triangle would
    // rebuild is built once, and only when a triangle will use it.
    if (viewtranson && count > 0)
        intl_camera_mat = CreateCameraRotationMatrix(camera_rot.x, camera_rot.y, camera_rot.z);
    // A negative count draws nothing rather than running off the array.
    for (int i = 0; i < count; i++) {
        Triangle t = triangles[i];
        if (modtranson)
            model_stage(t.corners);
        if (viewtranson)
            view_stage(t.corners);
        if (projtranson && !projection_stage(t.corners))
            continue;
        if (rejected(t.corners))
            continue;
        if (cb && back_facing(t.corners))
            continue;
        draw(t);
    }
}

void set_camera_position(Fixed x, Fixed y, Fixed z) { camera_pos = Vec3{x, y, z}; }

void set_camera_rotation(int32_t pitch, int32_t yaw, int32_t roll) { camera_rot = Vec3{pitch, yaw, roll}; }

void set_model_offset(Fixed x, Fixed y, Fixed z) { model_offset = Vec3{x, y, z}; }

// The projection's focal length and centre are constants.
void set_projection_fov() {}

static void report(int on, const char* enabled, const char* disabled)
{
    Console_WriteLine(on ? enabled : disabled);
}

void cull_back(int on)
{
    cb = on;
    report(on, "Backface culling ENABLED", "Backface culling DISABLED");
}

void model_transform(int on)
{
    modtranson = on;
    report(on, "Model transform matrix ENABLED", "Model transform matrix DISABLED");
}

void view_transform(int on)
{
    viewtranson = on;
    report(on, "View vector/matrix transform ENABLED", "View vector/matrix transform DISABLED");
}

void projection_transform(int on)
{
    projtranson = on;
    report(on, "Perspective projection ENABLED", "Perspective projection DISABLED");
}

Mat3 Pipeline_CameraMatrix() { return intl_camera_mat; }
uint32_t Pipeline_Drawn() { return drawn; }
Triangle Pipeline_LastDrawn() { return last_drawn; }

} // namespace kern
