// The interval timer's programming, tick count and per-frame delta.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "hw_host.h"
#include "kern/timer.h"

using hwsim::Access;
using hwsim::delay;
using hwsim::out8;
using namespace kern;

namespace {

void ticks(uint32_t n)
{
    for (uint32_t i = 0; i < n; i++)
        TimerInterrupt();
}

uint32_t bits(float f)
{
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

// The delta after `elapsed` ticks, starting from a count of `from`.
float delta_after(uint32_t from, uint32_t elapsed)
{
    Timer_SetCount(from);
    UpdateTimer();
    Timer_SetCount(from + elapsed);   // wraps like the count does
    UpdateTimer();
    return GetDeltaTime();
}

} // namespace

TEST(InitTimer, ProgramsChannel0SquareWaveWithReload20)
{
    hwsim::reset();
    InitTimer();
    std::vector<Access> expected = {out8(0x43, 0x36), delay(), out8(0x40, 0x14), delay(),
                                    out8(0x40, 0x00), delay()};
    EXPECT_EQ(hwsim::trace(), expected);
    EXPECT_FALSE(hwsim::interrupts_enabled());
}

TEST(Timer, StartsAtZeroAndFirstUpdateMeasuresFromZero)
{
    EXPECT_EQ(GetTimer(), 0u);
    EXPECT_EQ(GetCurrentTimer(), 0u);
    EXPECT_EQ(GetDeltaTime(), 0.0f);
    EXPECT_EQ(GetFrequency(), 596591u);
    ticks(596591);
    UpdateTimer();
    EXPECT_EQ(GetTimer(), 596591u);
    EXPECT_EQ(GetDeltaTime(), 1.0f);
}

TEST(Timer, SampledCountHoldsBetweenUpdatesLiveCountRuns)
{
    ticks(10);
    UpdateTimer();
    ticks(1234);
    EXPECT_EQ(GetTimer(), 10u);
    EXPECT_EQ(GetCurrentTimer(), 1244u);
    UpdateTimer();
    EXPECT_EQ(GetTimer(), 1244u);
    UpdateTimer();   // no tick in between
    EXPECT_EQ(GetTimer(), 1244u);
    EXPECT_EQ(GetDeltaTime(), 0.0f);
}

TEST(Timer, DeltaIsTicksOverTheFrequency)
{
    // 59659 / 596591, correctly rounded: 0.0999998...
    EXPECT_EQ(bits(delta_after(0, 59659)), 0x3DCCCCB6u);
    EXPECT_NEAR(GetDeltaTime(), 0.1, 1e-6);
    EXPECT_EQ(bits(delta_after(1000, 32)), 0x3860F975u);
}

TEST(Timer, ElapsedCountIsRightAcrossTheWrap)
{
    Timer_SetCount(0xFFFFFFF0u);
    UpdateTimer();
    ticks(0x20);
    EXPECT_EQ(GetCurrentTimer(), 0x10u);
    UpdateTimer();
    EXPECT_EQ(GetTimer(), 0x10u);
    EXPECT_EQ(bits(GetDeltaTime()), 0x3860F975u);   // 32 ticks
    // The longest interval there is: one tick short of a full turn.
    EXPECT_EQ(bits(delta_after(1, 0xFFFFFFFFu)), 0x45E0F975u);
}

TEST(Timer, LargeCountsAreDividedWithoutFirstRoundingToFloat)
{
    // 2^24 + 1 ticks has no float of its own; a float division would give
    // 0x41E0F975, the exact quotient rounds to 0x41E0F976.
    EXPECT_EQ(bits(delta_after(0, 16777217)), 0x41E0F976u);
    EXPECT_EQ(bits(delta_after(5, 16856407)), 0x41E2094Fu);
}
