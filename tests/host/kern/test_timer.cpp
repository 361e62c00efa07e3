// The interval timer's programming, tick count and per-frame delta, and
// the clock measured against its channel 2.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fake_clock.h"
#include "hw_host.h"
#include "kern/clock.h"
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

// The counter's rate comes out within 0.01% whatever it is; channel 0, the
// kernel's tick, is never written, and the speaker is never switched on.
TEST(Clock, MeasuresTheCountersRateAgainstChannel2AndLeavesChannel0Alone)
{
    for (uint64_t hz : {25000000ull, 1000000000ull, 3600000000ull}) {
        hwsim::reset();
        hwsim::ClockOptions o;
        o.tsc_hz = hz;
        hwsim::clock_attach(o);
        Clock_Init();
        EXPECT_NEAR(static_cast<double>(Clock_Rate()), static_cast<double>(hz), hz / 10000.0);
        EXPECT_EQ(Clock_Counts(1000000), Clock_Rate());
        EXPECT_EQ(Clock_Counts(4000000000u), Clock_Rate() * 4000);   // no overflow
        for (const Access& a : hwsim::trace()) {
            EXPECT_NE(a.port, 0x40);
            bool speaker = a == out8(0x61, a.value) && (a.value & 0x02) != 0;
            EXPECT_FALSE(speaker);
        }
    }
}

// An emulator's host that stops it for 2 ms in one countdown stretches that
// round; the median of five rounds ignores it.
TEST(Clock, OneStretchedCountdownDoesNotSkewTheRate)
{
    hwsim::reset();
    hwsim::ClockOptions o;
    o.stall_at_read = 20000;   // in the second countdown
    o.stall_ns = 2000000;
    hwsim::clock_attach(o);
    EXPECT_NEAR(static_cast<double>(Clock_MeasureRate(5)), 1e9, 1e5);
}

TEST(Clock, AChannel2ThatNeverRunsOutLeavesTheClockUnmeasured)
{
    hwsim::reset();
    hwsim::ClockOptions o;
    o.channel2_stuck = true;
    hwsim::clock_attach(o);
    Clock_Init();
    EXPECT_EQ(Clock_Rate(), 0u);
    EXPECT_EQ(Clock_Counts(14126), 0u);
}
