// The frame-rate meter against the kernel's clock, and the fps line's
// numbers.
#include <gtest/gtest.h>

#include <string>

#include "fake_clock.h"
#include "hw_host.h"
#include "kern/clock.h"
#include "kern/fps.h"
#include "kern/timer.h"

using namespace kern;

namespace {

const uint64_t SECOND_NS = 1000000000;

// The machine's clock, started as at start-up.
void measured_clock()
{
    hwsim::reset();
    hwsim::clock_attach({});
    Timer_SetCount(0);
    Clock_Init();
}

// `frames` frames `interval` ns apart, the timer's ticks arriving meanwhile.
void frames_at(int frames, uint64_t interval)
{
    for (int i = 0; i < frames; i++) {
        hwsim::clock_advance(interval);
        for (uint64_t t = hwsim::clock_timer_clocks(interval) / GetDivisor(); t > 0; t--)
            TimerInterrupt();
        Fps_Frame();
    }
}

std::string fixed(Fixed v)
{
    char text[FIXED_TEXT_BYTES];
    return fixed_text(v, text);
}

std::string line(uint32_t fps, Vec3 position, int32_t pitch, int32_t yaw)
{
    char text[FPS_LINE_BYTES];
    fps_line(fps, position, pitch, yaw, text);
    return text;
}

} // namespace

TEST(FpsMeter, LatchesOnceASecondOfClockHasPassed)
{
    measured_clock();
    uint64_t frame = SECOND_NS * 1000 / 70086;   // 70.086 frames a second
    Fps_Frame();                            // the first frame opens the window
    frames_at(70, frame);
    EXPECT_EQ(Fps_Latest(), 0u);            // 0.9988 s: not yet a second
    frames_at(1, frame);
    EXPECT_EQ(Fps_Latest(), 70u);
    frames_at(17, 2 * frame);               // half the rate: the latch waits for its second
    EXPECT_EQ(Fps_Latest(), 70u);
    frames_at(19, 2 * frame);
    EXPECT_EQ(Fps_Latest(), 35u);
}

TEST(FpsMeter, ALongFrameLatchesItsOwnRate)
{
    measured_clock();
    Fps_Frame();
    frames_at(1, SECOND_NS * 4);
    EXPECT_EQ(Fps_Latest(), 0u);   // a quarter, rounded
    frames_at(4, SECOND_NS / 3);   // the fourth passes the second: 4 frames in 4/3 s
    EXPECT_EQ(Fps_Latest(), 3u);
}

TEST(FpsMeter, FramesPerSecondRoundsToTheNearest)
{
    EXPECT_EQ(frames_per_second(71, 1013000, 1000000), 70u);   // 70.09
    EXPECT_EQ(frames_per_second(141, 2000000, 1000000), 71u);  // 70.5 rounds up
    EXPECT_EQ(frames_per_second(139, 2000000, 1000000), 70u);  // 69.5 rounds up
    EXPECT_EQ(frames_per_second(69, 1000000, 1000000), 69u);
    EXPECT_EQ(frames_per_second(1000, 3000000000ULL, 3000000000ULL), 1000u);
    EXPECT_EQ(frames_per_second(5, 0, 1000), 0u);
}

TEST(FpsLine, TheExampleLine)
{
    EXPECT_EQ(line(70, Vec3{0, 0, -4096 * FIXED_ONE}, 0, 0), "70 fps, x 0.0 y 0.0 z -4096.0, pitch 0 yaw 0");
}

TEST(FpsLine, CoordinatesTruncateTowardZeroToOneDecimalAndKeepTheirSign)
{
    EXPECT_EQ(fixed(6144), "1.5");
    EXPECT_EQ(fixed(-6144), "-1.5");
    EXPECT_EQ(fixed(409), "0.0");      // 0.0998
    EXPECT_EQ(fixed(410), "0.1");      // 0.1001
    EXPECT_EQ(fixed(-819), "-0.1");    // -0.1999
    EXPECT_EQ(fixed(-100), "-0.0");
    EXPECT_EQ(fixed(0), "0.0");
    EXPECT_EQ(fixed(160000 * FIXED_ONE), "160000.0");
    EXPECT_EQ(fixed(INT32_MAX), "524287.9");
    EXPECT_EQ(fixed(INT32_MIN), "-524288.0");
}

TEST(FpsLine, AnglesShowTheirDirectionFromMinus4096To4095)
{
    EXPECT_EQ(line(0, Vec3{FIXED_ONE, -FIXED_ONE / 2, 0}, -64, 8192),
              "0 fps, x 1.0 y -0.5 z 0.0, pitch -64 yaw 0");
    EXPECT_EQ(line(4294967295u / 2, Vec3{INT32_MIN, INT32_MIN, INT32_MIN}, 12800, 4095),
              "2147483647 fps, x -524288.0 y -524288.0 z -524288.0, pitch -3584 yaw 4095");
    EXPECT_EQ(line(1, Vec3{0, 0, 0}, 4096, -4097), "1 fps, x 0.0 y 0.0 z 0.0, pitch -4096 yaw 4095");
}
