// The camera rotation, view and projection matrices.
#include <gtest/gtest.h>
#include <stdint.h>

#include "kern/math.h"

using namespace kern;

namespace {

const Fixed ONE = 4096;

void expect_mat3(const Mat3& m, const Fixed (&rows)[9])
{
    for (int k = 0; k < 9; k++)
        EXPECT_EQ(m.m[k], rows[k]) << "element (" << k / 3 << ", " << k % 3 << ")";
}

void expect_mat4(const Mat4& m, const Fixed (&rows)[16])
{
    for (int k = 0; k < 16; k++)
        EXPECT_EQ(m.m[k], rows[k]) << "element (" << k / 4 << ", " << k % 4 << ")";
}

const Fixed IDENTITY3[9] = {ONE, 0, 0, 0, ONE, 0, 0, 0, ONE};

} // namespace

TEST(CreateCameraRotationMatrix, TurnsByAQuarterAboutEachAxis)
{
    expect_mat3(CreateCameraRotationMatrix(0, 0, 0), IDENTITY3);
    expect_mat3(CreateCameraRotationMatrix(2048, 0, 0), {ONE, 0, 0, 0, 0, ONE, 0, -ONE, 0});
    expect_mat3(CreateCameraRotationMatrix(0, 2048, 0), {0, 0, -ONE, 0, ONE, 0, ONE, 0, 0});
    expect_mat3(CreateCameraRotationMatrix(0, 0, 2048), {0, ONE, 0, -ONE, 0, 0, 0, 0, ONE});
}

TEST(CreateCameraRotationMatrix, GroupsTheProductsAsXTimesYZ)
{
    expect_mat3(CreateCameraRotationMatrix(1024, 1024, 1024),
                {2047, 2047, -2896, -600, 3494, 2047, 3494, -600, 2047});
    // (X * Y) * Z would give -359 at (1, 1) and -361 at (2, 0).
    expect_mat3(CreateCameraRotationMatrix(3898, 2136, 6061),
                {17, 275, -4086, -4078, -360, -41, -362, 4068, 272});
}

// Without roll the matrix is formed from four products instead of two
// matrix products: the very same bits, for pitches and yaws all round.
TEST(CreateCameraRotationMatrix, WithoutRollIsTheFullProductToTheBit)
{
    for (int32_t pitch = -8192; pitch < 8192; pitch += 37) {
        for (int32_t yaw = -8192; yaw < 8192; yaw += 41) {
            const Fixed sp = sin(pitch), cp = sin(pitch + 2048), sy = sin(yaw), cy = sin(yaw + 2048);
            const Mat3 x = {{ONE, 0, 0, 0, cp, sp, 0, -sp, cp}};
            const Mat3 y = {{cy, 0, -sy, 0, ONE, 0, sy, 0, cy}};
            const Mat3 full = Mat3Mat3Mul(x, Mat3Mat3Mul(y, Mat3{{ONE, 0, 0, 0, ONE, 0, 0, 0, ONE}}));
            const Mat3 m = CreateCameraRotationMatrix(pitch, yaw, 0);
            for (int k = 0; k < 9; k++)
                ASSERT_EQ(m.m[k], full.m[k]) << "pitch " << pitch << " yaw " << yaw << " element " << k;
        }
    }
}

TEST(CreateCameraRotationMatrix, UsesTheAnglesModuloAFullTurn)
{
    expect_mat3(CreateCameraRotationMatrix(8192, -8192, 16384), IDENTITY3);
    expect_mat3(CreateCameraRotationMatrix(1024 - 8192, 1024 + 3 * 8192, 1024 + 8192),
                {2047, 2047, -2896, -600, 3494, 2047, 3494, -600, 2047});
    expect_mat3(CreateCameraRotationMatrix(INT32_MIN, INT32_MIN, INT32_MIN), IDENTITY3);
    // INT32_MAX - 2047 is three quarters of a turn; its cosine index passes 2^31.
    expect_mat3(CreateCameraRotationMatrix(INT32_MAX - 2047, 0, 0), {ONE, 0, 0, 0, 0, -ONE, 0, ONE, 0});
}

// The camera's forward direction (sin yaw, 0, cos yaw) comes out along +z
// for every yaw: the three truncations cost at most four raw units.
TEST(CreateCameraRotationMatrix, CarriesTheForwardDirectionOntoPlusZ)
{
    for (int32_t yaw = 0; yaw < 8192; yaw++) {
        const Vec3 forward{kern::sin(yaw), 0, kern::sin(yaw + 2048)};
        const Vec3 v = Vec3Mat3Mul(forward, CreateCameraRotationMatrix(0, yaw, 0));
        EXPECT_EQ(v.x, 0) << "yaw " << yaw;
        EXPECT_EQ(v.y, 0) << "yaw " << yaw;
        EXPECT_GE(v.z, ONE - 4) << "yaw " << yaw;
        EXPECT_LE(v.z, ONE) << "yaw " << yaw;
    }
}

TEST(LookAt, BuildsRightUpAndForwardRowsWithTheEyeOffsets)
{
    expect_mat4(LookAt(Vec3{ONE, 2 * ONE, -10 * ONE}, Vec3{0, 0, 0}, Vec3{0, ONE, 0}),
                {-4076, 0, -406, 16, -79, 4016, 795, -3, -399, -799, 3997, 41967, 0, 0, 0, ONE});
}

TEST(LookAt, RightIsForwardCrossUp)
{
    expect_mat4(LookAt(Vec3{0, 0, 0}, Vec3{0, 0, ONE}, Vec3{0, ONE, 0}),
                {-ONE, 0, 0, 0, 0, ONE, 0, 0, 0, 0, ONE, 0, 0, 0, 0, ONE});
}

TEST(LookAt, ATargetAtTheEyeGivesOnlyTheCornerOne)
{
    const Vec3 eye{3 * ONE, -2 * ONE, 7 * ONE};
    expect_mat4(LookAt(eye, eye, Vec3{0, ONE, 0}),
                {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, ONE});
}

TEST(LookAt, AnUpAlongTheViewLeavesOnlyTheForwardRow)
{
    const Vec3 eye{0, 0, -2 * ONE};
    const Fixed forward_row[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, ONE, 2 * ONE, 0, 0, 0, ONE};
    expect_mat4(LookAt(eye, Vec3{0, 0, 3 * ONE}, Vec3{0, 0, ONE}), forward_row);
    expect_mat4(LookAt(eye, Vec3{0, 0, 3 * ONE}, Vec3{0, 0, 0}), forward_row);
}

TEST(Perspective, ProjectsSixtyDegreesAtSixteenByTen)
{
    const Mat4 m = Perspective(1365, 409, 100 * ONE, 320, 200);
    expect_mat4(m, {4440, 0, 0, 0, 0, 7102, 0, 0, 0, 0, 4104, -818, 0, 0, ONE, 0});
}

TEST(Perspective, AQuarterTurnOfViewIsOneToOne)
{
    // tan(45 degrees) is exactly 1.0 in the table; a square aspect keeps it.
    const Mat4 m = Perspective(2048, ONE, 3 * ONE, 1, 1);
    expect_mat4(m, {ONE, 0, 0, 0, 0, ONE, 0, 0, 0, 0, 2 * ONE, -3 * ONE, 0, 0, ONE, 0});
}

TEST(Perspective, AZeroDivisorGivesItsElementZero)
{
    // Half the view on the quarter turn: cosine 0, so t, q and both scales are 0.
    expect_mat4(Perspective(4096, ONE, 3 * ONE, 1, 1),
                {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2 * ONE, -3 * ONE, 0, 0, ONE, 0});
    // No field of view: t is 0.
    expect_mat4(Perspective(0, ONE, 3 * ONE, 1, 1),
                {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2 * ONE, -3 * ONE, 0, 0, ONE, 0});
    // Zero height: the aspect, and with it q, is 0.
    expect_mat4(Perspective(2048, ONE, 3 * ONE, 1, 0),
                {0, 0, 0, 0, 0, ONE, 0, 0, 0, 0, 2 * ONE, -3 * ONE, 0, 0, ONE, 0});
    // near = far: both depth elements are 0.
    expect_mat4(Perspective(2048, 2 * ONE, 2 * ONE, 1, 1),
                {ONE, 0, 0, 0, 0, ONE, 0, 0, 0, 0, 0, 0, 0, 0, ONE, 0});
    expect_mat4(Perspective(2048, INT32_MIN, INT32_MIN, 1, 1),
                {ONE, 0, 0, 0, 0, ONE, 0, 0, 0, 0, 0, 0, 0, 0, ONE, 0});
}

// Every combination of extreme arguments runs without a fault or an
// overflow (the sanitizer would stop the test) and keeps the fixed elements.
TEST(Perspective, NeverFaultsOnExtremeArguments)
{
    const int32_t values[] = {INT32_MIN, INT32_MIN + 1, -8192, -4096, -1, 0, 1, 2, 2048, 4096,
                              6144, 8191, INT32_MAX - 1, INT32_MAX};
    for (int32_t fov : values)
        for (int32_t near : values)
            for (int32_t far : values)
                for (int32_t width : values)
                    for (int32_t height : values) {
                        const Mat4 m = Perspective(fov, near, far, width, height);
                        ASSERT_EQ(m.m[14], ONE);
                        ASSERT_EQ(m.m[15], 0);
                        if (near == far) {
                            ASSERT_EQ(m.m[10] | m.m[11], 0);
                        }
                    }
}
