// The benchmark scenes are what the benchmarks say they are: the kernel's
// own cube drawn as the kernel draws it, random scenes of the stated sizes
// made the same on every call, and frames identical to the per-pixel rule.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "bench/scenes.h"
#include "kern/scene.h"
#include "kern/video/video.h"
#include "render.h"

using bench::SceneId;
using kern::Triangle;

namespace {

const uint32_t FRAME = kern::SCREEN_BYTES;

uint8_t* video() { return reinterpret_cast<uint8_t*>(kern::VIDEO_MEMORY); }

std::vector<Triangle> scene(SceneId id)
{
    std::vector<Triangle> t(bench::MAX_SCENE_TRIANGLES);
    t.resize(bench::make_scene(id, t.data()));
    return t;
}

uint32_t pixels(SceneId id)
{
    std::vector<Triangle> t = scene(id);
    return bench::pixels_written(t.data(), static_cast<int>(t.size()));
}

bool same_triangle(const Triangle& a, const Triangle& b)
{
    for (int i = 0; i < 3; i++)
        if (a.corners[i].x != b.corners[i].x || a.corners[i].y != b.corners[i].y || a.corners[i].z != b.corners[i].z)
            return false;
    return a.colour == b.colour;
}

// Square pixels covered by the triangle's snapped corners.
double area(const Triangle& t) { return bench::double_area(t) / 2.0; }

} // namespace

TEST(BenchCube, IsTheKernelsOwnScene)
{
    Triangle mine[bench::CUBE_TRIANGLES], kernels[kern::SCENE_TRIANGLES];
    ASSERT_EQ(bench::CUBE_TRIANGLES, kern::SCENE_TRIANGLES);
    bench::build_cube(mine);
    kern::build_scene(kernels);
    for (int i = 0; i < bench::CUBE_TRIANGLES; i++)
        EXPECT_TRUE(same_triangle(mine[i], kernels[i])) << "triangle " << i;
}

// The frame shown is the one the host renderer (and the golden images) give
// for the same camera.
TEST(BenchCube, FramesMatchTheHostRendererForEveryView)
{
    Triangle cube[bench::CUBE_TRIANGLES];
    bench::build_cube(cube);
    for (int v = 0; v < bench::CUBE_VIEW_COUNT; v++) {
        const bench::CubeView& view = bench::cube_view(v);
        render::Frame want = render::render_frame(render::View{view.position, view.pitch, view.yaw}, render::all_on());
        memset(video(), 0xEE, FRAME);
        bench::cube_frame(cube, view);
        EXPECT_EQ(memcmp(video(), want.data(), FRAME), 0) << view.name;
        EXPECT_EQ(memcmp(kern::back_buffer(), want.data(), FRAME), 0) << view.name;
    }
}

TEST(BenchScenes, AreTheSameOnEveryCall)
{
    for (int i = 0; i < bench::SCENE_COUNT; i++) {
        std::vector<Triangle> a = scene(static_cast<SceneId>(i)), b = scene(static_cast<SceneId>(i));
        ASSERT_EQ(a.size(), b.size());
        for (size_t k = 0; k < a.size(); k++)
            ASSERT_TRUE(same_triangle(a[k], b[k])) << bench::scene_info(static_cast<SceneId>(i)).letter << k;
    }
}

// The figures of two runs compare only while the scenes stay the same: a
// change to a scene shows here first (and needs new figures everywhere).
TEST(BenchScenes, HaveTheStatedSizesExactly)
{
    EXPECT_EQ(scene(bench::SCENE_A).size(), 50u);
    EXPECT_EQ(scene(bench::SCENE_B).size(), 1920u);
    EXPECT_EQ(scene(bench::SCENE_C).size(), 16u);
    EXPECT_EQ(scene(bench::SCENE_D).size(), 4000u);
    EXPECT_EQ(scene(bench::SCENE_E).size(), 50u);
    EXPECT_EQ(pixels(bench::SCENE_A), 281425u);    // about 278k
    EXPECT_EQ(pixels(bench::SCENE_B), 3076298u);   // about 1600 a triangle
    EXPECT_EQ(pixels(bench::SCENE_C), 513544u);    // 8 screens and the diagonals
    EXPECT_EQ(pixels(bench::SCENE_D), 32313u);     // about 8 a triangle
    EXPECT_EQ(pixels(bench::SCENE_E), 1192425u);
}

// Each pair of scene C fills every pixel of the screen.
TEST(BenchScenes, FillRatePairsEachCoverTheWholeScreen)
{
    std::vector<Triangle> c = scene(bench::SCENE_C);
    for (size_t k = 0; k + 1 < c.size(); k += 2) {
        memset(kern::back_buffer(), 0, FRAME);
        kern::draw_triangle(c[k]);
        kern::draw_triangle(c[k + 1]);
        EXPECT_EQ(memchr(kern::back_buffer(), 0, FRAME), nullptr) << "pair " << k / 2;
    }
}

// The triangles of scene E cover far more than the screen shows.
TEST(BenchScenes, LargeTrianglesAreMostlyClipped)
{
    std::vector<Triangle> e = scene(bench::SCENE_E);
    double total = 0;
    for (const Triangle& t : e)
        total += area(t);
    EXPECT_GE(total / e.size(), 1.6 * FRAME);   // twice the screen, give or take
    EXPECT_LE(total / e.size(), 2.4 * FRAME);
    EXPECT_LT(pixels(bench::SCENE_E), total / 2);
}

TEST(BenchScenes, FramesMatchThePerPixelRule)
{
    static uint8_t want_buffer[FRAME], want_video[FRAME];
    for (int i = 0; i < bench::SCENE_COUNT; i++) {
        SceneId id = static_cast<SceneId>(i);
        std::vector<Triangle> t = scene(id);
        memset(kern::back_buffer(), 0x5A, FRAME);
        memset(video(), 0xA5, FRAME);
        bench::reference_frame(id, t.data(), static_cast<int>(t.size()));
        memcpy(want_buffer, kern::back_buffer(), FRAME);
        memcpy(want_video, video(), FRAME);
        memset(kern::back_buffer(), 0x5A, FRAME);
        memset(video(), 0xA5, FRAME);
        bench::scene_frame(id, t.data(), static_cast<int>(t.size()));
        EXPECT_EQ(memcmp(want_buffer, kern::back_buffer(), FRAME), 0) << bench::scene_info(id).letter;
        EXPECT_EQ(memcmp(want_video, video(), FRAME), 0) << bench::scene_info(id).letter;
    }
}
