// The 3D pipeline: every triangle of a model goes through the model offset,
// the camera's view, the perspective projection, the off-screen reject and
// the back-face cull before the rasteriser fills it. Triangles are painted
// in array order; there is no depth buffer.
#include "kern/video/pipeline.h"
#include "kern/video/video.h"

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

// fixed_div(FOCAL, z) for z >= NEAREST: 2^31 / z. Both are positive and
// 2^31 fits an unsigned word, so one 32-bit division gives the same quotient.
static Fixed scale(Fixed z)
{
    const uint32_t focal_shifted = static_cast<uint32_t>(FOCAL) << FIXED_SHIFT;
    return static_cast<Fixed>(focal_shifted / static_cast<uint32_t>(z));
}

// One corner through the model and view stages that are on, into camera
// space. The view stage uses intl_camera_mat as draw_buffer built it.
static Vec3 to_camera(Vec3 c)
{
    if (modtranson)
        c = Vec3Vec3Add(c, model_offset);
    if (viewtranson)
        c = Vec3Mat3Mul(Vec3Vec3Sub(c, camera_pos), intl_camera_mat);
    return c;
}

// One camera-space corner onto the screen; a corner nearer than NEAREST
// (behind the camera too) is drawn as if it lay at NEAREST.
static Vec3 to_screen(Vec3 c)
{
    Fixed s = FIXED_ONE;
    if (c.z < NEAREST)
        c.z = NEAREST;
    else
        s = scale(c.z);
    c.x = fixed_add(fixed_mul(c.x, s), CENTRE_X);
    c.y = fixed_add(fixed_mul(c.y, s), CENTRE_Y);
    return c;
}

// Every stage is the same for all corners of one draw_buffer call, so a
// corner that several triangles share (a vertex of a mesh) comes out the
// same each time: it is transformed once a call and then looked up.
const uint32_t CORNER_SLOTS = 32;   // a power of two
const int SLOT_SHIFT = 27;          // 32 - log2(CORNER_SLOTS)

struct CornerSlot {
    Vec3 model;
    Vec3 camera;
    Vec3 screen;
    uint32_t call;   // the call that filled the slot; 0: none
};

static CornerSlot corner_slots[CORNER_SLOTS];
static uint32_t call_number;

void Pipeline_Reset()
{
    model_offset = Vec3{};
    camera_pos = Vec3{};
    camera_rot = Vec3{};
    intl_camera_mat = Mat3{{FIXED_ONE, 0, 0, 0, FIXED_ONE, 0, 0, 0, FIXED_ONE}};
    modtranson = 0;
    viewtranson = 0;
    projtranson = 0;
    cb = 0;
    drawn = 0;
    last_drawn = Triangle{};
    __builtin_memset(corner_slots, 0, sizeof corner_slots);
    call_number = 0;
}

static void next_call()
{
    if (++call_number != 0)
        return;
    for (uint32_t i = 0; i < CORNER_SLOTS; i++)
        corner_slots[i].call = 0;   // the count wrapped: forget every slot
    call_number = 1;
}

// Folds a coordinate into the slot number: multiplying by an odd constant
// carries every bit upwards, the shift brings high bits (all a coordinate
// of whole units has) back down for the next. XOR alone would not do: the
// negated whole-unit values of a cube's corners differ by one fixed mask.
static uint32_t mix(uint32_t hash, uint32_t v, uint32_t odd) { return ((hash ^ (hash >> 16)) + v) * odd; }

// Inline in draw_buffer's loop: it runs for every corner of every triangle.
__attribute__((always_inline)) static inline const CornerSlot& transformed(const Vec3& c)
{
    uint32_t hash = mix(mix(static_cast<uint32_t>(c.x) * 0x9E3779B1u, static_cast<uint32_t>(c.y), 0x85EBCA77u),
                        static_cast<uint32_t>(c.z), 0xC2B2AE3Du);
    CornerSlot& slot = corner_slots[hash >> SLOT_SHIFT];
    if (slot.call == call_number && slot.model.x == c.x && slot.model.y == c.y && slot.model.z == c.z)
        return slot;
    slot.model = c;
    slot.camera = to_camera(c);
    slot.screen = projtranson ? to_screen(slot.camera) : slot.camera;
    slot.call = call_number;
    return slot;
}

static Triangle screen_triangle(const Triangle& model)
{
    Triangle t = model;
    for (int k = 0; k < 3; k++)
        t.corners[k] = transformed(model.corners[k]).screen;
    return t;
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

void draw_buffer(const Triangle* triangles, int count)
{
    if (count <= 0)
        return;   // a negative count draws nothing rather than running off the array
    // The camera cannot turn during a call: the matrix every triangle would
    // rebuild is built once.
    if (viewtranson)
        intl_camera_mat = CreateCameraRotationMatrix(camera_rot.x, camera_rot.y, camera_rot.z);
    next_call();
    Triangle t;
    int last = -1;
    for (int i = 0; i < count; i++) {
        bool behind = true;   // every corner at z <= 0 before the clamp
        for (int k = 0; k < 3; k++) {
            const CornerSlot& slot = transformed(triangles[i].corners[k]);
            behind = behind && slot.camera.z <= 0;
            t.corners[k] = slot.screen;
        }
        if (projtranson && behind)
            continue;
        if (rejected(t.corners))
            continue;
        if (cb && back_facing(t.corners))
            continue;
        t.colour = triangles[i].colour;
        drawn++;
        last = i;
        draw_triangle(t);
    }
    // Kept once a call, not once a triangle: a corner transforms the same
    // all through a call.
    if (last >= 0)
        last_drawn = screen_triangle(triangles[last]);
}

void set_camera_position(Fixed x, Fixed y, Fixed z) { camera_pos = Vec3{x, y, z}; }

void set_camera_rotation(int32_t pitch, int32_t yaw, int32_t roll) { camera_rot = Vec3{pitch, yaw, roll}; }

void set_model_offset(Fixed x, Fixed y, Fixed z) { model_offset = Vec3{x, y, z}; }

// The projection's focal length and centre are constants.
void set_projection_fov() {}

// The switches only switch: whoever turns one says so (kern/commands).
void cull_back(int on) { cb = on; }
void model_transform(int on) { modtranson = on; }
void view_transform(int on) { viewtranson = on; }
void projection_transform(int on) { projtranson = on; }

PipelineSwitches Pipeline_Switches() { return PipelineSwitches{cb, modtranson, viewtranson, projtranson}; }

Mat3 Pipeline_CameraMatrix() { return intl_camera_mat; }
uint32_t Pipeline_Drawn() { return drawn; }
Triangle Pipeline_LastDrawn() { return last_drawn; }

} // namespace kern
