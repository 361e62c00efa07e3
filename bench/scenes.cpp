// The benchmark scenes: seeded random triangles in screen space, the cube,
// and one frame of each as the kernel draws it.
#include "bench/scenes.h"

#include "lib/raster_reference.h"
#include "kern/video/pipeline.h"
#include "kern/video/video.h"

namespace bench {

using kern::Fixed;
using kern::Triangle;
using kern::Vec3;

namespace {

const Fixed PX = kern::FIXED_ONE;
const int W = kern::SCREEN_WIDTH;
const int H = kern::SCREEN_HEIGHT;

const SceneInfo SCENES[SCENE_COUNT] = {
    {'A', "50 random triangles over the screen", true},
    {'B', "1920 random triangles of about 1600 pixels", true},
    {'C', "8 full-screen triangle pairs, no clear (fill rate)", false},
    {'D', "4000 triangles of about 8 pixels (set-up cost)", true},
    {'E', "50 triangles twice the screen's size, mostly clipped", true},
};

const uint32_t SEEDS[SCENE_COUNT] = {0xFD7046C5, 0x9E3779B9, 0x85EBCA6B, 0xC2B2AE35, 0x27D4EB2F};

const int A_TRIANGLES = 50;
const int B_TRIANGLES = 1920;
const int C_PAIRS = 8;
const int D_TRIANGLES = 4000;
const int E_TRIANGLES = 50;

// Clustered scenes: corners within `reach` pixels of a centre, a triangle
// kept when its area (square pixels, corners snapped) falls in the band.
struct Cluster {
    int left, right, top, bottom;   // where the centre may fall, in pixels
    int reach_x, reach_y;
    int64_t area_low, area_high;
};
// B: on screen, about 1600 pixels written each (edges included).
const int B_REACH = 48;
const Cluster B_CLUSTER = {B_REACH, W - 1 - B_REACH, B_REACH, H - 1 - B_REACH, B_REACH, B_REACH, 1360, 1760};
// D: on screen, a few pixels across, about 8 pixels written each.
const int D_REACH = 4;
const Cluster D_CLUSTER = {D_REACH, W - 1 - D_REACH, D_REACH, H - 1 - D_REACH, D_REACH, D_REACH, 2, 4};
// E: centred on the screen, twice its area (1.6 to 2.4 screens) each.
const int64_t SCREEN_AREA = static_cast<int64_t>(W) * H;
const Cluster E_CLUSTER = {0, W - 1, 0, H - 1, 2 * W, 2 * H, SCREEN_AREA * 8 / 5, SCREEN_AREA * 12 / 5};

const CubeView VIEWS[CUBE_VIEW_COUNT] = {
    {"start", {0, 0, -4096 * PX}, 0, 0},
    {"far_yaw", {0, 0, -12000 * PX}, 0, 300},
    {"above_right", {6000 * PX, -4500 * PX, -9000 * PX}, -514, -767},
    {"edge_near", {-2100 * PX, -300 * PX, -2100 * PX}, 0, 1024},
    {"behind", {1500 * PX, 0, 7000 * PX}, 0, 3900},
};

// xorshift32: a fixed sequence for a fixed seed, on every compiler.
struct Random {
    uint32_t state;
};

uint32_t next(Random& r)
{
    r.state ^= r.state << 13;
    r.state ^= r.state >> 17;
    r.state ^= r.state << 5;
    return r.state;
}

// lo..hi inclusive.
int32_t between(Random& r, int32_t lo, int32_t hi)
{
    uint32_t span = static_cast<uint32_t>(hi) - static_cast<uint32_t>(lo) + 1;
    return static_cast<int32_t>(static_cast<uint32_t>(lo) + (span == 0 ? next(r) : next(r) % span));
}

// A position in pixels lo..hi with a random fraction, as a projected corner has.
Fixed at(Random& r, int lo, int hi) { return between(r, lo * PX, hi * PX + PX - 1); }

uint8_t colour(Random& r) { return static_cast<uint8_t>(between(r, 1, 255)); }

Vec3 corner(Fixed x, Fixed y) { return Vec3{x, y, 0}; }

// The draws are made one statement at a time: the order in which a call's
// arguments are worked out is the compiler's, and every build (host and
// benchmark image) must make the same scene.
Vec3 corner_between(Random& r, int x0, int x1, int y0, int y1)
{
    Fixed x = at(r, x0, x1);
    Fixed y = at(r, y0, y1);
    return corner(x, y);
}

int spread(Random& r, Triangle* out, int count, int x0, int x1, int y0, int y1)
{
    for (int i = 0; i < count; i++) {
        for (Vec3& c : out[i].corners)
            c = corner_between(r, x0, x1, y0, y1);
        out[i].colour = colour(r);
    }
    return count;
}

int clustered(Random& r, Triangle* out, int count, const Cluster& k)
{
    for (int i = 0; i < count;) {
        Fixed cx = at(r, k.left, k.right);
        Fixed cy = at(r, k.top, k.bottom);
        Triangle t;
        for (Vec3& c : t.corners) {
            Fixed dx = between(r, -k.reach_x * PX, k.reach_x * PX);
            Fixed dy = between(r, -k.reach_y * PX, k.reach_y * PX);
            c = corner(cx + dx, cy + dy);
        }
        t.colour = colour(r);
        int64_t area = double_area(t);
        if (area >= 2 * k.area_low && area <= 2 * k.area_high)
            out[i++] = t;
    }
    return count;
}

// Each pair covers the screen, split along one diagonal or the other.
int screen_pairs(Random& r, Triangle* out)
{
    const Fixed right = (W - 1) * PX, bottom = (H - 1) * PX;
    const Vec3 tl = corner(0, 0), tr = corner(right, 0), bl = corner(0, bottom), br = corner(right, bottom);
    int n = 0;
    for (int i = 0; i < C_PAIRS; i++) {
        uint8_t a = colour(r);
        uint8_t b = colour(r);
        if (i % 2 == 0) {
            out[n++] = Triangle{{tl, tr, bl}, a};
            out[n++] = Triangle{{tr, br, bl}, b};
        } else {
            out[n++] = Triangle{{tl, tr, br}, a};
            out[n++] = Triangle{{tl, br, bl}, b};
        }
    }
    return n;
}

void draw_all(const Triangle* triangles, int count)
{
    for (int i = 0; i < count; i++)
        kern::draw_triangle(triangles[i]);
}

} // namespace

const SceneInfo& scene_info(SceneId id) { return SCENES[id]; }

int make_scene(SceneId id, Triangle* out)
{
    Random r{SEEDS[id]};
    switch (id) {
    case SCENE_A: return spread(r, out, A_TRIANGLES, 0, W - 1, 0, H - 1);
    case SCENE_B: return clustered(r, out, B_TRIANGLES, B_CLUSTER);
    case SCENE_C: return screen_pairs(r, out);
    case SCENE_D: return clustered(r, out, D_TRIANGLES, D_CLUSTER);
    case SCENE_E: return clustered(r, out, E_TRIANGLES, E_CLUSTER);
    default: return 0;
    }
}

const CubeView& cube_view(int index) { return VIEWS[index]; }

void build_cube(Triangle out[CUBE_TRIANGLES])
{
    for (int i = 0; i < CUBE_TRIANGLES; i++)
        out[i] = kern::CUBE_SCENE[i];
}

void switches_on()
{
    kern::cull_back(1);
    kern::model_transform(1);
    kern::view_transform(1);
    kern::projection_transform(1);
}

void scene_frame(SceneId id, const Triangle* triangles, int count)
{
    if (SCENES[id].clears)
        kern::ClearScreen();
    draw_all(triangles, count);
    kern::Blit();
}

void reference_frame(SceneId id, const Triangle* triangles, int count)
{
    if (SCENES[id].clears)
        kern::ClearScreen();
    for (int i = 0; i < count; i++)
        raster_reference::triangle(kern::back_buffer(), triangles[i]);
    kern::Blit();
}

void cube_frame(const Triangle cube[CUBE_TRIANGLES], const CubeView& view)
{
    kern::set_camera_rotation(view.pitch, view.yaw, 0);
    kern::set_camera_position(view.position.x, view.position.y, view.position.z);
    kern::set_model_offset(0, 0, 0);
    kern::ClearScreen();
    kern::draw_buffer(cube, CUBE_TRIANGLES);
    kern::Blit();
}

// Only the rows between the highest and the lowest corner can be written.
uint32_t pixels_written(const Triangle* triangles, int count)
{
    kern::ClearScreen();
    uint32_t total = 0;
    for (int i = 0; i < count; i++) {
        Triangle t = triangles[i];
        t.colour = 1;
        kern::draw_triangle(t);
        int top = H - 1, bottom = 0;
        for (const Vec3& c : t.corners) {
            int row = (c.y & ~(PX - 1)) / PX;
            top = row < top ? row : top;
            bottom = row > bottom ? row : bottom;
        }
        top = top < 0 ? 0 : top;
        bottom = bottom > H - 1 ? H - 1 : bottom;
        for (int row = top; row <= bottom; row++) {
            uint8_t* p = kern::back_buffer() + row * W;
            for (int x = 0; x < W; x++) {
                total += p[x];
                p[x] = 0;
            }
        }
    }
    return total;
}

int64_t double_area(const Triangle& t)
{
    int64_t x[3], y[3];
    for (int i = 0; i < 3; i++) {
        x[i] = t.corners[i].x / PX;
        y[i] = t.corners[i].y / PX;
    }
    int64_t a = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    return a < 0 ? -a : a;
}

} // namespace bench
