// The back buffer, its copy to display memory, the retrace wait with its
// frame pacing, and the clipped fills.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "hw_host.h"
#include "kern/timer.h"
#include "kern/video.h"

using kern::back_buffer;

namespace {

const uint16_t INPUT_STATUS = 0x3DA;
const uint8_t RETRACE = 0x08;
const uint32_t TICKS_PER_FRAME = 852;
const uint8_t PAPER = 0x33;

uint8_t* video() { return reinterpret_cast<uint8_t*>(0xA0000); }

void fill_buffer(uint8_t colour)
{
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        back_buffer()[i] = colour;
}

uint8_t pixel(int x, int y) { return back_buffer()[y * 320 + x]; }

// Every pixel is `colour` inside [x0, x1] x [y0, y1] and PAPER outside.
void expect_only_rect(int x0, int x1, int y0, int y1, uint8_t colour)
{
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 320; x++) {
            bool inside = x >= x0 && x <= x1 && y >= y0 && y <= y1;
            ASSERT_EQ(pixel(x, y), inside ? colour : PAPER) << x << "," << y;
        }
}

void expect_untouched()
{
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        ASSERT_EQ(back_buffer()[i], PAPER) << i;
}

void advance_ticks(uint32_t n)
{
    for (uint32_t i = 0; i < n; i++)
        kern::TimerInterrupt();
}

// The emulated display: bit 3 flips on every read. Counts the reads.
void attach_flipping_status(int& reads)
{
    hwsim::on_in(INPUT_STATUS, [&reads](uint16_t) -> uint16_t { return reads++ % 2 ? RETRACE : 0; });
}

} // namespace

TEST(ClearScreen, ZeroesTheWholeBackBufferAndNothingElse)
{
    fill_buffer(PAPER);
    back_buffer()[kern::SCREEN_BYTES] = PAPER;
    kern::ClearScreen();
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        ASSERT_EQ(back_buffer()[i], 0) << i;
    EXPECT_EQ(back_buffer()[kern::SCREEN_BYTES], PAPER);
}

TEST(Blit, CopiesTheBackBufferToDisplayMemoryAndKeepsIt)
{
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        back_buffer()[i] = static_cast<uint8_t>(i * 7 + i / 320);
    video()[kern::SCREEN_BYTES] = 0xEE;
    kern::Blit();
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++) {
        ASSERT_EQ(video()[i], static_cast<uint8_t>(i * 7 + i / 320)) << i;
        ASSERT_EQ(back_buffer()[i], static_cast<uint8_t>(i * 7 + i / 320)) << i;
    }
    EXPECT_EQ(video()[kern::SCREEN_BYTES], 0xEE);

    kern::ClearScreen();
    kern::Blit();
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        ASSERT_EQ(video()[i], 0) << i;
}

TEST(WaitForVBlank, LetsARunningRetraceEndThenWaitsForTheNextWithoutDelays)
{
    hwsim::reset();
    advance_ticks(TICKS_PER_FRAME);   // a frame's worth since start: no pacing wait
    const uint8_t script[] = {RETRACE, RETRACE, 0, 0, 0, RETRACE, 0};
    size_t next = 0;
    hwsim::on_in(INPUT_STATUS, [&](uint16_t) -> uint16_t { return script[next++]; });
    kern::WaitForVBlank();
    EXPECT_EQ(next, 6u);
    std::vector<hwsim::Access> expected;
    for (size_t i = 0; i < 6; i++)
        expected.push_back(hwsim::in8(INPUT_STATUS, script[i]));
    EXPECT_EQ(hwsim::trace(), expected);   // no I/O delay writes
}

// One WaitForVBlank while a slow clock in another thread ticks, as the
// timer interrupt would. Returns the port reads it made.
static int wait_with_slow_clock(const int& reads)
{
    std::atomic<bool> stop{false};
    std::thread clock([&] {
        while (!stop) {
            kern::TimerInterrupt();
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    });
    int before = reads;
    kern::WaitForVBlank();
    stop = true;
    clock.join();
    return reads - before;
}

TEST(WaitForVBlank, PacesAFlippingStatusBitToOneFrameOfTicks)
{
    hwsim::reset();
    int reads = 0;
    attach_flipping_status(reads);
    advance_ticks(TICKS_PER_FRAME);
    kern::WaitForVBlank();
    uint32_t first = kern::GetCurrentTimer();   // the clock is still: this is when it returned
    EXPECT_LE(wait_with_slow_clock(reads), 3);  // the port wait itself returned at once
    EXPECT_GE(kern::GetCurrentTimer() - first, TICKS_PER_FRAME);
}

TEST(WaitForVBlank, PacingHoldsAcrossTheWrapOfTheTickCount)
{
    hwsim::reset();
    int reads = 0;
    attach_flipping_status(reads);
    kern::Timer_SetCount(0xFFFFFF00u);
    kern::WaitForVBlank();
    wait_with_slow_clock(reads);
    EXPECT_LT(kern::GetCurrentTimer(), 0x1000u);   // the count did wrap
    EXPECT_GE(kern::GetCurrentTimer() - 0xFFFFFF00u, TICKS_PER_FRAME);
}

TEST(WaitForVBlank, AddsNoWaitAfterAFrameLongerThan70Hz)
{
    hwsim::reset();
    int reads = 0;
    attach_flipping_status(reads);
    advance_ticks(TICKS_PER_FRAME);
    kern::WaitForVBlank();
    advance_ticks(TICKS_PER_FRAME + 48);   // a slow frame

    // Guard against a hang: should the wait want more ticks, give them late
    // and fail.
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::atomic<bool> guardTicked{false};
    std::thread guard([&] {
        std::unique_lock<std::mutex> lock(m);
        if (cv.wait_for(lock, std::chrono::seconds(10), [&] { return done; }))
            return;
        guardTicked = true;
        lock.unlock();
        for (;;) {
            {
                std::lock_guard<std::mutex> l(m);
                if (done)
                    return;
            }
            kern::TimerInterrupt();
        }
    });
    uint32_t before = kern::GetCurrentTimer();
    kern::WaitForVBlank();
    {
        std::lock_guard<std::mutex> lock(m);
        done = true;
    }
    cv.notify_all();
    guard.join();
    EXPECT_FALSE(guardTicked);
    EXPECT_EQ(kern::GetCurrentTimer(), before);
}

TEST(PutRect, ClipsEachPixelAgainstTheScreen)
{
    fill_buffer(PAPER);
    kern::PutRect(-5, 10, 10, 2, 9);
    expect_only_rect(0, 4, 10, 11, 9);

    fill_buffer(PAPER);
    kern::PutRect(0, -100, 320, 200, 9);
    expect_only_rect(0, 319, 0, 99, 9);

    fill_buffer(PAPER);
    kern::PutRect(315, 195, 100, 100, 9);
    expect_only_rect(315, 319, 195, 199, 9);

    fill_buffer(PAPER);
    kern::PutRect(-1000, -1000, 3000, 3000, 9);
    expect_only_rect(0, 319, 0, 199, 9);
}

TEST(PutRect, EmptyOrOffScreenRectanglesDrawNothing)
{
    fill_buffer(PAPER);
    kern::PutRect(10, 10, 0, 5, 9);
    kern::PutRect(10, 10, 5, 0, 9);
    kern::PutRect(10, 10, -5, 5, 9);
    kern::PutRect(10, 10, 5, -5, 9);
    kern::PutRect(320, 0, 10, 10, 9);
    kern::PutRect(0, 200, 10, 10, 9);
    kern::PutRect(-10, 0, 10, 10, 9);
    kern::PutRect(2147483647, 2147483647, 2147483647, 2147483647, 9);
    kern::PutRect(-2147483647 - 1, 0, 2147483647, 1, 9);   // ends at column -2
    expect_untouched();
}

TEST(PutRect, OneByOneFillsOnePixelInAnyColour)
{
    fill_buffer(PAPER);
    kern::PutRect(319, 199, 1, 1, 0);
    expect_only_rect(319, 319, 199, 199, 0);
}

TEST(HorizontalLine, FillsFromTheSmallerToTheLargerEndInclusive)
{
    fill_buffer(PAPER);
    kern::horizontal_line(330, 300, 10, 4);
    expect_only_rect(300, 319, 10, 10, 4);

    fill_buffer(PAPER);
    kern::horizontal_line(20, 5, 0, 4);
    expect_only_rect(5, 20, 0, 0, 4);

    fill_buffer(PAPER);
    kern::horizontal_line(-50, 400, 199, 4);
    expect_only_rect(0, 319, 199, 199, 4);

    fill_buffer(PAPER);
    kern::horizontal_line(7, 7, 7, 4);
    expect_only_rect(7, 7, 7, 7, 4);
}

TEST(HorizontalLine, OffScreenRowsAndSpansChangeNothing)
{
    fill_buffer(PAPER);
    kern::horizontal_line(0, 319, -1, 4);
    kern::horizontal_line(0, 319, 200, 4);
    kern::horizontal_line(-2147483647 - 1, 2147483647, -2147483647 - 1, 4);
    kern::horizontal_line(-20, -1, 50, 4);
    kern::horizontal_line(320, 2147483647, 50, 4);
    kern::horizontal_line(-1, -1, 50, 4);
    expect_untouched();
}
