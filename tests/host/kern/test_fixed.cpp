// The fixed multiply and divide rules and the wrapping sums.
#include <gtest/gtest.h>
#include <stdint.h>

#include "kern/fixed.h"

using kern::Fixed;
using kern::fixed_add;
using kern::fixed_div;
using kern::fixed_mul;
using kern::fixed_neg;
using kern::fixed_sub;
using kern::low32;

namespace {
const Fixed ONE = 4096;
const Fixed MIN = INT32_MIN;
const Fixed MAX = INT32_MAX;
} // namespace

TEST(FixedMul, TruncatesTowardZeroNotDown)
{
    EXPECT_EQ(fixed_mul(-3, 4095), -2);
    EXPECT_EQ(fixed_mul(3, -4095), -2);
    EXPECT_EQ(fixed_mul(3, 4095), 2);
    EXPECT_EQ(fixed_mul(-4097, 4097), -4098);
    EXPECT_EQ(fixed_mul(-1, 1), 0);
    EXPECT_EQ(fixed_mul(ONE, ONE), ONE);
    EXPECT_EQ(fixed_mul(-2 * ONE, 3 * ONE), -6 * ONE);
    EXPECT_EQ(fixed_mul(ONE / 2, ONE / 2), ONE / 4);
}

TEST(FixedMul, KeepsTheLow32BitsOfProductsOutOfRange)
{
    // 2^62 / 4096 = 2^50, whose low 32 bits are 0.
    EXPECT_EQ(fixed_mul(MIN, MIN), 0);
    // -524288.0 * -1.0 is +524288.0, one past the range: it wraps to the minimum.
    EXPECT_EQ(fixed_mul(MIN, -ONE), MIN);
    EXPECT_EQ(fixed_mul(MAX, ONE), MAX);
    // 1024.0 * 1024.0 = 2^20, i.e. raw 2^32: wraps to 0.
    EXPECT_EQ(fixed_mul(1024 * ONE, 1024 * ONE), 0);
    EXPECT_EQ(fixed_mul(1024 * ONE, 1024 * ONE + 1), 1024);
}

TEST(FixedDiv, TruncatesTowardZero)
{
    EXPECT_EQ(fixed_div(-1, 3 * ONE), 0);
    EXPECT_EQ(fixed_div(-ONE, 3 * ONE), -1365);
    EXPECT_EQ(fixed_div(ONE, 3 * ONE), 1365);
    EXPECT_EQ(fixed_div(ONE, -3 * ONE), -1365);
    EXPECT_EQ(fixed_div(6 * ONE, 3 * ONE), 2 * ONE);
    EXPECT_EQ(fixed_div(ONE, 2), 2048 * ONE);
}

TEST(FixedDiv, KeepsTheLow32BitsOfQuotientsOutOfRange)
{
    // 65536.0 / raw 1 is 2^40.
    EXPECT_EQ(fixed_div(65536 * ONE, 1), 0);
    // A 32-bit idiv of the minimum by -1 would fault; here it is 2^43 -> 0.
    EXPECT_EQ(fixed_div(MIN, -1), 0);
    EXPECT_EQ(fixed_div(MIN, -ONE), MIN);
    EXPECT_EQ(fixed_div(MAX, 1), -4096);
}

TEST(FixedDiv, AZeroDivisorGivesZero)
{
    EXPECT_EQ(fixed_div(ONE, 0), 0);
    EXPECT_EQ(fixed_div(-ONE, 0), 0);
    EXPECT_EQ(fixed_div(MIN, 0), 0);
    EXPECT_EQ(fixed_div(0, 0), 0);
}

TEST(FixedSums, WrapModulo2To32)
{
    EXPECT_EQ(fixed_add(MAX, 1), MIN);
    EXPECT_EQ(fixed_add(MIN, -1), MAX);
    EXPECT_EQ(fixed_add(-5, 3), -2);
    EXPECT_EQ(fixed_sub(MIN, 1), MAX);
    EXPECT_EQ(fixed_sub(MAX, -1), MIN);
    EXPECT_EQ(fixed_sub(3, 5), -2);
    EXPECT_EQ(fixed_neg(MIN), MIN);
    EXPECT_EQ(fixed_neg(MAX), MIN + 1);
    EXPECT_EQ(fixed_neg(7), -7);
}

TEST(Low32, ReadsTheLowWordAsSigned)
{
    EXPECT_EQ(low32(INT64_C(0x1FFFFFFFF)), -1);
    EXPECT_EQ(low32(INT64_C(0x180000000)), MIN);
    EXPECT_EQ(low32(INT64_C(-0x100000001)), -1);
    EXPECT_EQ(low32(INT64_C(0x7FFFFFFF)), MAX);
}
