// Vector and matrix operations.
#include <gtest/gtest.h>
#include <stdint.h>

#include "kern/math.h"

using namespace kern;

namespace {

const Fixed ONE = 4096;

void expect_vec(const Vec3& v, Fixed x, Fixed y, Fixed z)
{
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

void expect_mat(const Mat3& m, const Fixed (&rows)[9])
{
    for (int k = 0; k < 9; k++)
        EXPECT_EQ(m.m[k], rows[k]) << "element (" << k / 3 << ", " << k % 3 << ")";
}

} // namespace

TEST(Vec2Ops, WorkComponentWise)
{
    const Vec2 a{-3, 6 * ONE}, b{4095, 3 * ONE};
    const Vec2 sum = Vec2Vec2Add(a, b), diff = Vec2Vec2Sub(a, b);
    const Vec2 prod = Vec2Vec2Mul(a, b), quot = Vec2Vec2Div(a, b);
    EXPECT_EQ(sum.x, 4092);
    EXPECT_EQ(sum.y, 9 * ONE);
    EXPECT_EQ(diff.x, -4098);
    EXPECT_EQ(diff.y, 3 * ONE);
    EXPECT_EQ(prod.x, -2);
    EXPECT_EQ(prod.y, 18 * ONE);
    EXPECT_EQ(quot.x, -3);  // -3 * 4096 / 4095 = -3.0007, truncated
    EXPECT_EQ(quot.y, 2 * ONE);
}

TEST(Vec2Ops, WrapAndDivideByZeroToZero)
{
    const Vec2 big{INT32_MAX, INT32_MIN}, one{1, 1};
    const Vec2 sum = Vec2Vec2Add(big, one), diff = Vec2Vec2Sub(big, Vec2{-1, 1});
    EXPECT_EQ(sum.x, INT32_MIN);
    EXPECT_EQ(sum.y, INT32_MIN + 1);
    EXPECT_EQ(diff.x, INT32_MIN);
    EXPECT_EQ(diff.y, INT32_MAX);
    const Vec2 q = Vec2Vec2Div(Vec2{ONE, ONE}, Vec2{0, 2 * ONE});
    EXPECT_EQ(q.x, 0);
    EXPECT_EQ(q.y, ONE / 2);
}

TEST(Vec3Arithmetic, AddsAndSubtractsFirstMinusSecondWithWrap)
{
    const Vec3 a{ONE, -2 * ONE, INT32_MAX}, b{3 * ONE, 5, 1};
    expect_vec(Vec3Vec3Add(a, b), 4 * ONE, -2 * ONE + 5, INT32_MIN);
    expect_vec(Vec3Vec3Sub(a, b), -2 * ONE, -2 * ONE - 5, INT32_MAX - 1);
    expect_vec(Vec3Vec3Sub(Vec3{INT32_MIN, 0, 0}, Vec3{1, INT32_MIN, 0}), INT32_MAX, INT32_MIN, 0);
}

TEST(Vec3Arithmetic, MultipliesComponentWiseTruncatingTowardZero)
{
    const Vec3 a{-3, 5, -4097};
    expect_vec(Vec3Vec3Mul(a, Vec3{4095, -ONE, 4097}), -2, -5, -4098);
    expect_vec(Vec3ScaMul(a, 4095), -2, 4, -4095);
    expect_vec(Vec3ScaMul(Vec3{ONE, -2 * ONE, 3}, 2 * ONE), 2 * ONE, -4 * ONE, 6);
}

TEST(Vec3Arithmetic, DividesComponentWiseTruncatingTowardZero)
{
    expect_vec(Vec3Vec3Div(Vec3{-1, 1, -ONE}, Vec3{3 * ONE, 3 * ONE, 3 * ONE}), 0, 0, -1365);
    expect_vec(Vec3Vec3Div(Vec3{ONE, -ONE, 5 * ONE}, Vec3{0, 0, 2 * ONE}), 0, 0, 5 * ONE / 2);
}

TEST(Vec3Dot, SumsSeparatelyTruncatedProducts)
{
    EXPECT_EQ(Vec3Vec3Dot(Vec3{ONE, 2 * ONE, 3 * ONE}, Vec3{4 * ONE, 5 * ONE, 6 * ONE}), 32 * ONE);
    // Each of -3 * 4095 truncates to -2 by itself; a sum taken first would give -5.
    EXPECT_EQ(Vec3Vec3Dot(Vec3{-3, -3, -3}, Vec3{4095, 4095, 4095}), -6);
    // 3 * (512.0 * 512.0) = 786432.0, which wraps in 32 bits.
    EXPECT_EQ(Vec3Vec3Dot(Vec3{512 * ONE, 512 * ONE, 512 * ONE}, Vec3{512 * ONE, 512 * ONE, 512 * ONE}),
              static_cast<Fixed>(0xC0000000u));
}

TEST(Vec3Magnitude, IsTheRoundedDownLengthOfTheTruncatedSquares)
{
    EXPECT_EQ(Vec3Magnitude(Vec3{ONE, 0, 0}), ONE);
    EXPECT_EQ(Vec3Magnitude(Vec3{ONE, ONE, ONE}), 7094);
    EXPECT_EQ(Vec3Magnitude(Vec3{3 * ONE, 4 * ONE, 0}), 5 * ONE);
    EXPECT_EQ(Vec3Magnitude(Vec3{0, -3 * ONE, -4 * ONE}), 5 * ONE);
    EXPECT_EQ(Vec3Magnitude(Vec3{64, 0, 0}), 64);
    EXPECT_EQ(Vec3Magnitude(Vec3{63, 0, 0}), 0);
    EXPECT_EQ(Vec3Magnitude(Vec3{1, 1, 1}), 0);
    EXPECT_EQ(Vec3Magnitude(Vec3{0, 0, 0}), 0);
}

TEST(Vec3Magnitude, WrapsBeyondTheSquaredRange)
{
    // The last length whose square still fits; truncating the square costs a unit.
    EXPECT_EQ(Vec3Magnitude(Vec3{2965820, 0, 0}), 2965819);
    EXPECT_EQ(Vec3Magnitude(Vec3{2965821, 0, 0}), 589824);
}

TEST(Vec3Normalized, DividesByTheLengthOrGivesZero)
{
    expect_vec(Vec3Normalized(Vec3{3 * ONE, 4 * ONE, 0}), 2457, 3276, 0);
    expect_vec(Vec3Normalized(Vec3{ONE, ONE, ONE}), 2364, 2364, 2364);
    expect_vec(Vec3Normalized(Vec3{-ONE, ONE, -ONE}), -2364, 2364, -2364);
    expect_vec(Vec3Normalized(Vec3{64, 0, 0}), ONE, 0, 0);
    expect_vec(Vec3Normalized(Vec3{63, 0, 0}), 0, 0, 0);
    expect_vec(Vec3Normalized(Vec3{0, 0, 0}), 0, 0, 0);
}

TEST(Vec3Mat3Mul, RowIGivesComponentI)
{
    const Mat3 m = {{0, ONE, 0, 0, 0, ONE, ONE, 0, 0}};
    expect_vec(Vec3Mat3Mul(Vec3{ONE, 2 * ONE, 3 * ONE}, m), 2 * ONE, 3 * ONE, ONE);
}

TEST(Vec3Mat3Mul, TruncatesEachProductBeforeTheSum)
{
    const Mat3 m = {{4095, 4095, 4095, -ONE, 0, 0, 0, 0, 2 * ONE}};
    expect_vec(Vec3Mat3Mul(Vec3{-3, -3, -3}, m), -6, 3, -6);
}

TEST(Vec3Mat3Mul, TheIdentityLeavesAnyVectorAlone)
{
    const Mat3 id = {{ONE, 0, 0, 0, ONE, 0, 0, 0, ONE}};
    expect_vec(Vec3Mat3Mul(Vec3{-3, INT32_MAX, INT32_MIN}, id), -3, INT32_MAX, INT32_MIN);
}

TEST(Vec3Mat4Mul, AddsTheTranslationColumnAndIgnoresRow3)
{
    const Mat4 m = {{ONE, 0, 0, 10 * ONE, 0, ONE, 0, 20 * ONE, 0, 0, ONE, 30 * ONE, 7, 8, 9, 0}};
    expect_vec(Vec3Mat4Mul(Vec3{ONE, 2 * ONE, 3 * ONE}, m), 11 * ONE, 22 * ONE, 33 * ONE);
}

TEST(Vec3Mat4Mul, ReadsEveryColumnOfRows0To2)
{
    // Row i, column j holds a distinct value, so a wrong stride shows.
    const Mat4 m = {{ONE, 2 * ONE, 3 * ONE, 4, 5 * ONE, 6 * ONE, 7 * ONE, 8, 9 * ONE, 10 * ONE, 11 * ONE,
                     12, -1, -1, -1, -1}};
    expect_vec(Vec3Mat4Mul(Vec3{ONE, 10 * ONE, 100 * ONE}, m), 321 * ONE + 4, 765 * ONE + 8,
               1209 * ONE + 12);
}

TEST(Mat3Mat3Mul, IsTheRowMajorProduct)
{
    const Mat3 a = {{ONE, 2 * ONE, 0, 0, ONE, 0, 0, 0, ONE}};
    const Mat3 b = {{ONE, 0, 0, 3 * ONE, ONE, 0, 0, 0, ONE}};
    expect_mat(Mat3Mat3Mul(a, b), {7 * ONE, 2 * ONE, 0, 3 * ONE, ONE, 0, 0, 0, ONE});
    expect_mat(Mat3Mat3Mul(b, a), {ONE, 2 * ONE, 0, 3 * ONE, 7 * ONE, 0, 0, 0, ONE});
}

TEST(Mat3Mat3Mul, AcceptsTheSameMatrixAsBothOperands)
{
    const Mat3 a = {{ONE, 2 * ONE, 0, 0, ONE, 0, 0, 0, ONE}};
    expect_mat(Mat3Mat3Mul(a, a), {ONE, 4 * ONE, 0, 0, ONE, 0, 0, 0, ONE});
}

TEST(Mat3Mat3Mul, AppliesTheRightOperandFirst)
{
    // a swaps x and y; b doubles x. (a * b) v doubles x, then swaps.
    const Mat3 a = {{0, ONE, 0, ONE, 0, 0, 0, 0, ONE}};
    const Mat3 b = {{2 * ONE, 0, 0, 0, ONE, 0, 0, 0, ONE}};
    expect_vec(Vec3Mat3Mul(Vec3{ONE, 3 * ONE, 5 * ONE}, Mat3Mat3Mul(a, b)), 3 * ONE, 2 * ONE, 5 * ONE);
}
