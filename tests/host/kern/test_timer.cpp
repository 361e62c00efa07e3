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
    std::vector<Access> expected = {out8(machine::PIT_COMMAND, 0x36), delay(), out8(machine::PIT_CHANNEL0, 0x14), delay(),
                                    out8(machine::PIT_CHANNEL0, 0x00), delay()};
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

// Channel 2 runs as a rate generator over all 16 bits with its gate on and
// the speaker off; channel 0, the kernel's tick, is never written.
TEST(Clock, StartsChannel2AsAFreeRunningCounterAndLeavesChannel0Alone)
{
    hwsim::reset();
    hwsim::clock_attach({});
    Clock_Init();
    std::vector<Access> writes;
    for (const Access& a : hwsim::trace_without_delays())
        if (a.op == hwsim::Op::Out8)
            writes.push_back(a);
    EXPECT_EQ(writes, (std::vector<Access>{out8(machine::SYSTEM_CONTROL, 0x01), out8(machine::PIT_COMMAND, 0xB4), out8(machine::PIT_CHANNEL2, 0x00),
                                            out8(machine::PIT_CHANNEL2, 0x00), out8(machine::PIT_COMMAND, 0x80)}));
    std::vector<Access> set_up = hwsim::trace();
    set_up.resize(10);   // the set-up's five accesses, each delayed; the reads are not
    EXPECT_TRUE(hwsim::every_access_delayed(set_up));
    EXPECT_EQ(Clock_Rate(), 1193182u);
    EXPECT_EQ(Clock_Counts(1000000), 1193182u);
    EXPECT_EQ(Clock_Counts(14126), 16854u);
    EXPECT_EQ(Clock_Counts(4000000000u), 4772728000ull);   // 4000 s: no overflow
}

// Read every 40 ms for ten seconds, across 183 turns of the channel, the
// clock keeps the timer's count to the clock.
TEST(Clock, CountsTimerClocksAcrossTurnsOfTheChannel)
{
    hwsim::reset();
    hwsim::clock_attach({});
    Clock_Init();
    uint64_t start = hwsim::clock_ns();
    for (int i = 0; i < 250; i++) {
        hwsim::clock_advance(40000000);
        uint64_t expected = hwsim::clock_timer_clocks(hwsim::clock_ns() - start);
        uint64_t now = Clock_Now();
        ASSERT_LE(now, expected + 4) << i;
        ASSERT_GE(now + 4, expected) << i;
    }
}

// A frame longer than a turn (54.9 ms): the whole turns come back from the
// ticks that arrived, and are never more than the ticks prove.
TEST(Clock, MakesUpWholeTurnsOfALongGapFromTheTicksThatArrived)
{
    const uint64_t GAP_NS = 150000000;   // 178977 clocks: two turns and 47905
    const uint32_t GAP_TICKS = 8948;     // every tick of the gap
    for (uint32_t delivered : {GAP_TICKS, GAP_TICKS / 2, 0u}) {
        hwsim::reset();
        hwsim::clock_attach({});
        Timer_SetCount(0);
        Clock_Init();
        uint64_t before = Clock_Now();
        hwsim::clock_advance(GAP_NS);
        ticks(delivered);
        uint64_t counted = Clock_Now() - before;
        uint64_t turns = delivered == GAP_TICKS ? 2 : delivered == 0 ? 0 : 1;
        EXPECT_NEAR(static_cast<double>(counted), 47905.0 + turns * 65536, 8) << delivered;
    }
}
