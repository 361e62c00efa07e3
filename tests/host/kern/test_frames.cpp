// Whole frames of the cube, rendered by the kernel's pipeline and compared
// pixel for pixel with golden images. The goldens were made by render_scene
// with the arguments in the table (and looked at); a mismatch writes the
// frame that was rendered to the test's temporary directory.
#include <gtest/gtest.h>

#include <string>

#include "kern/console.h"
#include "png.h"
#include "render.h"

namespace {

const kern::Fixed ONE = 4096;
const int32_t TURN = 8192;

struct Golden {
    const char* name;
    render::View view;
    render::Switches switches;
};

render::View view(int x, int y, int z, int32_t pitch, int32_t yaw)
{
    return render::View{kern::Vec3{x * ONE, y * ONE, z * ONE}, pitch, yaw};
}

const render::Switches ALL = {1, 1, 1, 1};

const Golden GOLDENS[] = {
    {"cube_start", view(0, 0, -4096, 0, 0), ALL},                 // (default arguments)
    {"cube_far_yaw", view(0, 0, -12000, 0, 300), ALL},            // --pos 0,0,-12000 --yaw 300
    {"cube_above_right", view(6000, -4500, -9000, -514, -767), ALL},
    {"cube_below_right", view(3000, 2500, -9000, -400, -600), ALL},
    {"cube_behind", view(1500, 0, 7000, 0, 3900), ALL},
    {"cube_edge_near", view(-2100, -300, -2100, 0, 1024), ALL},   // near corners clamped
    {"cube_no_cull", view(0, 0, -8000, 0, 0), {0, 1, 1, 1}},      // --switches 0111
    {"cube_no_projection", view(1900, 1950, -4096, 0, 0), {1, 1, 1, 0}},
};

::testing::AssertionResult matches_golden(const render::Frame& frame, const std::string& name)
{
    png::Image golden;
    std::string path = std::string(GOLDEN_DIR) + "/" + name + ".png";
    if (!png::read_indexed(path, golden))
        return ::testing::AssertionFailure() << "cannot read " << path;
    if (golden.width != kern::SCREEN_WIDTH || golden.height != kern::SCREEN_HEIGHT)
        return ::testing::AssertionFailure() << path << " is " << golden.width << "x" << golden.height;
    int differ = 0;
    for (size_t i = 0; i < frame.size(); i++)
        differ += frame[i] != golden.pixels[i];
    if (differ == 0)
        return ::testing::AssertionSuccess();
    png::Image got{kern::SCREEN_WIDTH, kern::SCREEN_HEIGHT, {frame.begin(), frame.end()}};
    std::string out = ::testing::TempDir() + name + "_rendered.png";
    png::write_indexed(out, got);
    return ::testing::AssertionFailure() << differ << " pixels differ from " << path << "; see " << out;
}

class Frames : public ::testing::TestWithParam<Golden> {};

} // namespace

TEST_P(Frames, MatchTheGoldenImageExactly)
{
    const Golden& g = GetParam();
    EXPECT_TRUE(matches_golden(render::render_frame(g.view, g.switches), g.name));
}

INSTANTIATE_TEST_SUITE_P(Cube, Frames, ::testing::ValuesIn(GOLDENS),
                         [](const ::testing::TestParamInfo<Golden>& info) { return std::string(info.param.name); });

TEST(Frames, StartFrameShowsTheFrontFaceFromColumn32To288)
{
    render::Frame f = render::render_frame(render::start_view(), render::all_on());
    for (int y = 0; y < kern::SCREEN_HEIGHT; y++)
        for (int x = 0; x < kern::SCREEN_WIDTH; x++)
            ASSERT_EQ(f[y * kern::SCREEN_WIDTH + x], x >= 32 && x <= 288 ? 3 : 0) << x << "," << y;
}

TEST(Frames, WholeTurnsOfTheAnglesGiveTheSameFrame)
{
    render::Frame once = render::render_frame(view(0, 0, -12000, 0, 300), ALL);
    render::Frame turned = render::render_frame(view(0, 0, -12000, -TURN, 300 + 3 * TURN), ALL);
    EXPECT_TRUE(once == turned);
}

TEST(Frames, RenderingClearsThePreviousFrameAndItsSwitches)
{
    render::render_frame(view(0, 0, -8000, 0, 0), {0, 1, 1, 1});
    render::Frame f = render::render_frame(render::start_view(), render::all_on());
    EXPECT_TRUE(matches_golden(f, "cube_start"));
}
