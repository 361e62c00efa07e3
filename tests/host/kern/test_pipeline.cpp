// The 3D pipeline: model offset, view, perspective projection, off-screen
// reject and back-face cull, what reaches the rasteriser, and the switches.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "fake_uart.h"
#include "hw_host.h"
#include "kern/commands.h"
#include "kern/console.h"
#include "kern/video/pipeline.h"
#include "kern/video/video.h"

using kern::Fixed;
using kern::Mat3;
using kern::Triangle;
using kern::Vec3;

namespace {

const Fixed ONE = 4096;   // 1.0, and one pixel on screen
const uint8_t INK = 12;
const uint8_t PAPER = 0x55;

Fixed real(int v) { return v * ONE; }

Vec3 at(int x, int y, int z) { return Vec3{real(x), real(y), real(z)}; }

void expect_vec(const Vec3& got, Fixed x, Fixed y, Fixed z)
{
    EXPECT_EQ(got.x, x);
    EXPECT_EQ(got.y, y);
    EXPECT_EQ(got.z, z);
}

void switches(int cull, int model, int view, int projection)
{
    kern::cull_back(cull);
    kern::model_transform(model);
    kern::view_transform(view);
    kern::projection_transform(projection);
}

bool untouched()
{
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        if (kern::back_buffer()[i] != PAPER)
            return false;
    return true;
}

// Draws one triangle; true if it reached the rasteriser.
bool drawn(const Vec3& a, const Vec3& b, const Vec3& c)
{
    uint32_t before = kern::Pipeline_Drawn();
    Triangle t = {{a, b, c}, INK};
    kern::draw_buffer(&t, 1);
    return kern::Pipeline_Drawn() == before + 1;
}

Vec3 last_corner(int i) { return kern::Pipeline_LastDrawn().corners[i]; }

bool same_matrix(const Mat3& a, const Mat3& b) { return memcmp(a.m, b.m, sizeof a.m) == 0; }

const Mat3 IDENTITY = {{ONE, 0, 0, 0, ONE, 0, 0, 0, ONE}};

class Pipeline : public ::testing::Test {
protected:
    void SetUp() override
    {
        hwsim::reset();
        hwsim::uart_attach();
        memset(kern::back_buffer(), PAPER, kern::SCREEN_BYTES);
    }
};

// Camera at the origin, unturned, so camera space is model space.
class Projection : public Pipeline {
protected:
    void SetUp() override
    {
        Pipeline::SetUp();
        switches(0, 1, 1, 1);   // cull off: every winding reaches the rasteriser
    }
};

// Screen coordinates straight in: only the reject and the cull act.
class Screen : public Pipeline {
protected:
    void SetUp() override
    {
        Pipeline::SetUp();
        switches(1, 0, 0, 0);
    }
};

} // namespace

TEST_F(Projection, CornerOnTheAxisLandsOnTheCentreWhateverItsDepth)
{
    for (int z : {128, 129, 1000, 300000, 524287}) {
        ASSERT_TRUE(drawn(at(0, 0, z), at(20, 0, 128), at(0, 20, 128))) << z;
        expect_vec(last_corner(0), real(160), real(100), real(z));
    }
}

TEST_F(Projection, ScalesByFocalLengthOverDepthWithoutFlippingY)
{
    ASSERT_TRUE(drawn(at(128, 0, 128), at(256, -128, 512), at(0, 64, 256)));
    expect_vec(last_corner(0), real(288), real(100), real(128));
    expect_vec(last_corner(1), real(224), real(68), real(512));   // s = 1024
    expect_vec(last_corner(2), real(160), real(132), real(256));
}

TEST_F(Projection, ScaleIsTruncatedFixedDivideAndProducts)
{
    // s = 2^31 / 3000.0 = raw 174 (0.0425); x: 100.0 * s = raw 17400.
    ASSERT_TRUE(drawn(at(100, -100, 3000), at(20, 0, 128), at(0, 20, 128)));
    expect_vec(last_corner(0), real(160) + 17400, real(100) - 17400, real(3000));
}

TEST_F(Projection, CornersNearerThan128AreClampedWithScaleOne)
{
    ASSERT_TRUE(drawn(at(10, 0, 0), at(20, 0, 256), Vec3{real(-30), real(7), 0x7FFFF}));
    expect_vec(last_corner(0), real(170), real(100), real(128));
    expect_vec(last_corner(1), real(170), real(100), real(256));
    expect_vec(last_corner(2), real(130), real(107), real(128));
}

TEST_F(Projection, TriangleWhollyBehindTheCameraIsSkipped)
{
    EXPECT_FALSE(drawn(at(10, 0, 0), at(20, 0, -5), at(0, 20, -1000)));
    EXPECT_FALSE(drawn(at(0, 0, 0), at(1, 0, 0), at(0, 1, 0)));
    EXPECT_TRUE(untouched());
}

TEST_F(Projection, OneCornerInFrontCarriesTheOthersClamped)
{
    ASSERT_TRUE(drawn(at(10, 0, -50), at(20, 0, 0), at(0, 20, 256)));
    expect_vec(last_corner(0), real(170), real(100), real(128));
    expect_vec(last_corner(1), real(180), real(100), real(128));
    expect_vec(last_corner(2), real(160), real(110), real(256));
}

TEST_F(Projection, SwitchedOffHandsCoordinatesOnUnchanged)
{
    switches(0, 0, 0, 0);
    const Fixed z = real(-5000);
    ASSERT_TRUE(drawn(Vec3{40960, 40960, z}, Vec3{81920, 40960, 0}, Vec3{40960, 81920, real(9)}));
    expect_vec(last_corner(0), 40960, 40960, z);
    expect_vec(last_corner(1), 81920, 40960, 0);
    EXPECT_EQ(kern::back_buffer()[10 * 320 + 10], INK);   // pixel (10, 10)
    EXPECT_EQ(kern::back_buffer()[9 * 320 + 10], PAPER);
}

TEST_F(Projection, SetProjectionFovChangesNothing)
{
    ASSERT_TRUE(drawn(at(256, -128, 512), at(20, 0, 128), at(0, 20, 128)));
    kern::set_projection_fov();
    ASSERT_TRUE(drawn(at(256, -128, 512), at(20, 0, 128), at(0, 20, 128)));
    expect_vec(last_corner(0), real(224), real(68), real(512));
}

TEST_F(Screen, ClockwiseIsDrawnCounterClockwiseCulledCollinearKept)
{
    EXPECT_TRUE(drawn(at(0, 0, 0), at(10, 0, 0), at(0, 10, 0)));
    EXPECT_FALSE(drawn(at(0, 0, 0), at(0, 10, 0), at(10, 0, 0)));
    EXPECT_TRUE(drawn(at(0, 0, 0), at(5, 5, 0), at(10, 10, 0)));
}

TEST_F(Screen, CullSwitchedOffDrawsBothWindings)
{
    kern::cull_back(0);
    EXPECT_TRUE(drawn(at(0, 0, 0), at(0, 10, 0), at(10, 0, 0)));
    kern::cull_back(2);   // any non-zero value is on
    EXPECT_FALSE(drawn(at(0, 0, 0), at(0, 10, 0), at(10, 0, 0)));
}

TEST_F(Screen, CullComparesWholePixelsTruncatedTowardZero)
{
    // Counter-clockwise by half a pixel only: zero area in whole pixels.
    EXPECT_TRUE(drawn(at(0, 0, 0), Vec3{real(20), ONE / 2, 0}, at(10, 0, 0)));
    // x = -0.5 px counts as column 0, not -1: all three in one column.
    EXPECT_TRUE(drawn(Vec3{-ONE / 2, 0, 0}, Vec3{-ONE / 2, real(10), 0}, at(0, 20, 0)));
}

TEST_F(Screen, CullProductsAre32Bit)
{
    // 50000 * 50000 wraps negative in 32 bits, so this clockwise triangle
    // compares as counter-clockwise.
    EXPECT_FALSE(drawn(at(0, 0, 0), at(50000, 0, 0), at(0, 50000, 0)));
    EXPECT_TRUE(drawn(at(0, 0, 0), at(40000, 0, 0), at(0, 40000, 0)));
}

TEST_F(Screen, OneCoordinateInRangeLetsATriangleThrough)
{
    // All left of the screen, but y = 50 is in range: drawn, and clipped away.
    EXPECT_TRUE(drawn(at(-10, -10, 0), at(-5, -10, 0), at(-10, 50, 0)));
    EXPECT_TRUE(untouched());
    // Every x and y out of range (negatives compare as huge): rejected,
    // though it would cover most of the screen.
    EXPECT_FALSE(drawn(at(-10, -10, 0), at(400, -10, 0), at(-10, 300, 0)));
    EXPECT_TRUE(untouched());
}

TEST_F(Screen, RejectBoundsAreTheLastOnScreenPositions)
{
    kern::cull_back(0);
    const Fixed far = real(400);
    EXPECT_TRUE(drawn(Vec3{0x13FFFF, far, 0}, Vec3{far, -far, 0}, Vec3{-far, far, 0}));
    EXPECT_FALSE(drawn(Vec3{0x140000, far, 0}, Vec3{far, -far, 0}, Vec3{-far, far, 0}));
    EXPECT_TRUE(drawn(Vec3{far, 0xC7FFF, 0}, Vec3{-far, -far, 0}, Vec3{far, far, 0}));
    EXPECT_FALSE(drawn(Vec3{far, 0xC8000, 0}, Vec3{-far, -far, 0}, Vec3{far, far, 0}));
}

TEST_F(Pipeline, ModelOffsetIsAddedOnlyWhenSwitchedOn)
{
    switches(0, 1, 0, 0);
    kern::set_model_offset(real(5), real(6), real(7));
    ASSERT_TRUE(drawn(at(0, 0, 0), at(10, 0, 1), at(0, 10, 2)));
    expect_vec(last_corner(0), real(5), real(6), real(7));
    expect_vec(last_corner(2), real(5), real(16), real(9));
    kern::model_transform(0);
    ASSERT_TRUE(drawn(at(0, 0, 0), at(10, 0, 1), at(0, 10, 2)));
    expect_vec(last_corner(2), 0, real(10), real(2));
}

TEST_F(Pipeline, ViewMovesThenTurnsIntoCameraSpace)
{
    switches(0, 0, 1, 0);
    // A quarter turn of yaw: rows (0, 0, -1), (0, 1, 0), (1, 0, 0).
    kern::set_camera_position(real(-10), 0, 0);
    kern::set_camera_rotation(0, 2048, 0);
    ASSERT_TRUE(drawn(at(0, 0, -5), at(0, 7, -3), at(1, 0, -8)));
    expect_vec(last_corner(0), real(5), 0, real(10));
    expect_vec(last_corner(1), real(3), real(7), real(10));
    expect_vec(last_corner(2), real(8), 0, real(11));
}

TEST_F(Pipeline, CameraMatrixIsBuiltPerTriangleAndKeptWhenViewIsOff)
{
    switches(0, 0, 1, 0);
    Triangle t = {{at(1, 1, 1), at(2, 1, 1), at(1, 2, 1)}, INK};
    kern::set_camera_rotation(1024, 1024, 1024);
    kern::draw_buffer(&t, 0);
    EXPECT_TRUE(same_matrix(kern::Pipeline_CameraMatrix(), IDENTITY));
    kern::draw_buffer(&t, 1);
    const Mat3 turned = kern::CreateCameraRotationMatrix(1024, 1024, 1024);
    EXPECT_TRUE(same_matrix(kern::Pipeline_CameraMatrix(), turned));

    kern::view_transform(0);
    kern::set_camera_rotation(0, 0, 0);
    kern::set_camera_position(real(100), 0, 0);
    ASSERT_TRUE(drawn(at(1, 1, 1), at(2, 1, 1), at(1, 2, 1)));
    EXPECT_TRUE(same_matrix(kern::Pipeline_CameraMatrix(), turned));
    expect_vec(last_corner(0), real(1), real(1), real(1));
}

TEST_F(Pipeline, CountZeroOrNegativeDrawsNothing)
{
    switches(0, 1, 1, 1);
    Triangle t = {{at(0, 0, 200), at(50, 0, 200), at(0, 50, 200)}, INK};
    kern::set_camera_rotation(64, 0, 0);
    uint32_t before = kern::Pipeline_Drawn();
    kern::draw_buffer(&t, 0);
    kern::draw_buffer(&t, -1);
    EXPECT_EQ(kern::Pipeline_Drawn(), before);
    EXPECT_TRUE(same_matrix(kern::Pipeline_CameraMatrix(), IDENTITY));
    EXPECT_TRUE(untouched());
}

TEST_F(Pipeline, TrianglesArePaintedInArrayOrderFromCopies)
{
    switches(1, 0, 0, 0);
    Triangle scene[2] = {{{at(0, 0, 0), at(10, 0, 0), at(0, 10, 0)}, 3},
                         {{at(0, 0, 0), at(20, 0, 0), at(0, 20, 0)}, 4}};
    const Triangle copy[2] = {scene[0], scene[1]};
    uint32_t before = kern::Pipeline_Drawn();
    kern::draw_buffer(scene, 2);
    EXPECT_EQ(kern::back_buffer()[0], 4);
    EXPECT_EQ(kern::back_buffer()[5 * 320 + 5], 4);
    EXPECT_EQ(memcmp(scene, copy, sizeof scene), 0);
    EXPECT_EQ(kern::Pipeline_Drawn(), before + 2);
}

TEST_F(Pipeline, EverySwitchSetBySayingSoWritesItsLineTheSetterAloneNone)
{
    kern::cull_back(0);
    kern::projection_transform(1);
    EXPECT_EQ(hwsim::uart_output(), "");   // the renderer writes no line itself
    kern::Commands_SetSwitch(kern::SWITCH_CULL, 1);
    kern::Commands_SetSwitch(kern::SWITCH_CULL, 1);
    kern::Commands_SetSwitch(kern::SWITCH_CULL, 0);
    kern::Commands_SetSwitch(kern::SWITCH_MODEL, 2);
    kern::Commands_SetSwitch(kern::SWITCH_MODEL, 0);
    kern::Commands_SetSwitch(kern::SWITCH_VIEW, -1);
    kern::Commands_SetSwitch(kern::SWITCH_VIEW, 0);
    kern::Commands_SetSwitch(kern::SWITCH_PROJECTION, 1);
    kern::Commands_SetSwitch(kern::SWITCH_PROJECTION, 0);
    EXPECT_EQ(hwsim::uart_output(),
              "Backface culling ENABLED\n"
              "Backface culling ENABLED\n"
              "Backface culling DISABLED\n"
              "Model transform matrix ENABLED\n"
              "Model transform matrix DISABLED\n"
              "View vector/matrix transform ENABLED\n"
              "View vector/matrix transform DISABLED\n"
              "Perspective projection ENABLED\n"
              "Perspective projection DISABLED\n");
    EXPECT_STREQ(kern::Console_Line(0), "Perspective projection DISABLED");
    EXPECT_STREQ(kern::Console_Line(8), "Backface culling ENABLED");
}
