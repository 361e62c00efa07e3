// The back buffer, its copy to display memory, the retrace wait with its
// frame pacing by the clock, and the clipped fills.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "fake_clock.h"
#include "hw_host.h"
#include "kern/clock.h"
#include "kern/video/raster.h"
#include "kern/video/video.h"

using kern::back_buffer;

namespace {

const uint16_t INPUT_STATUS = machine::VGA_INPUT_STATUS;
const uint8_t RETRACE = 0x08;
const uint64_t REFRESH_NS = 14268477;   // 70.086 Hz
const uint64_t FRAME_NS = 20000000;
const uint8_t PAPER = 0x33;

uint8_t* video() { return reinterpret_cast<uint8_t*>(machine::VGA_GRAPHICS); }

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

// The machine's clock with its counter measured, as at start-up.
void start_clock(hwsim::ClockOptions options)
{
    hwsim::clock_attach(options);
    kern::Clock_Init();
    hwsim::clear_trace();
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
    start_clock({});
    hwsim::clock_advance(FRAME_NS);   // a frame's worth since the last wait: no hold
    const uint8_t script[] = {RETRACE, RETRACE, 0, 0, 0, RETRACE, 0};
    size_t next = 0;
    hwsim::on_in(INPUT_STATUS, [&](uint16_t) -> uint16_t { return script[next++]; });
    kern::WaitForVBlank();
    EXPECT_EQ(next, 6u);
    std::vector<hwsim::Access> expected;
    for (size_t i = 0; i < 6; i++)
        expected.push_back(hwsim::in8(INPUT_STATUS, script[i]));
    std::vector<hwsim::Access> t = hwsim::trace();
    t.resize(6);
    EXPECT_EQ(t, expected);   // no I/O delay writes; then only the clock's reads
}

// An emulated VGA flips the retrace bit on every read: the clock alone
// paces the loop, at 70.8 frames a second of the machine's own time,
// whatever the frame's work below a frame; frames longer than that (an
// emulator's host that ran something else) are made up by the next.
TEST(WaitForVBlank, HoldsFramesOfAFlippingStatusBitTo70ASecondOfTheClock)
{
    hwsim::reset();
    start_clock({});
    hwsim::set_tracing(false);
    // A long frame first: the window ends on the short one that makes it up.
    const std::vector<std::vector<uint64_t>> patterns = {{1}, {7}, {13}, {17, 2}, {20, 1, 1}};
    for (const std::vector<uint64_t>& work_ms : patterns) {
        kern::WaitForVBlank();
        uint64_t start = hwsim::clock_ns();
        uint32_t shown = kern::FramesShown();
        for (int i = 0; i < 210; i++) {
            hwsim::clock_advance(work_ms[i % work_ms.size()] * 1000000);
            kern::WaitForVBlank();
        }
        double seconds = (hwsim::clock_ns() - start) / 1e9;
        EXPECT_NEAR(210 / seconds, 70.8, 0.1) << work_ms[0] << " ms of work first, " << work_ms.size() << " frames a round";
        EXPECT_EQ(kern::FramesShown() - shown, 210u);
    }
}

// A display that times its retrace: every wait returns at the start of the
// next retrace, whatever the work before it, over half a
// minute of frames; a display 0.8% faster than the standard (a clock 0.8%
// off) misses none either.
TEST(WaitForVBlank, ReturnsAtEveryRetraceOfARealDisplayAndMissesNone)
{
    for (uint64_t refresh : {REFRESH_NS, REFRESH_NS * 992 / 1000}) {
        hwsim::reset();
        hwsim::ClockOptions o;
        o.timed_retrace = true;
        o.ns_per_read = 5000;
        o.refresh_ns = refresh;
        start_clock(o);
        hwsim::set_tracing(false);
        uint32_t seed = 12345;
        int late = 0, missed = 0;
        for (int frame = 0; frame < 2100; frame++) {
            seed = seed * 1103515245u + 12345u;
            uint64_t work = (seed >> 8) % (refresh + refresh / 2);   // up to 1.5 refreshes
            hwsim::clock_advance(work);
            // A retrace already running at the wait's first read is let run out.
            uint64_t first_read = hwsim::clock_ns() + o.ns_per_read;
            kern::WaitForVBlank();
            uint64_t now = hwsim::clock_ns();
            missed += hwsim::clock_refresh_index(now) != hwsim::clock_refresh_index(first_read) + 1;
            late += now % refresh > o.retrace_ns;
        }
        EXPECT_EQ(missed, 0) << refresh;
        EXPECT_EQ(late, 0) << refresh;
    }
}

// No timer behind port 0x42 (a floating bus reads 0xFF): the clock stands
// still, and the retrace alone paces the loop instead of holding it for ever.
TEST(WaitForVBlank, WithAClockThatStandsStillWaitsForTheRetraceAlone)
{
    hwsim::reset();
    kern::Clock_Init();
    int reads = 0;
    hwsim::on_in(INPUT_STATUS, [&reads](uint16_t) -> uint16_t { return reads++ % 2 ? RETRACE : 0; });
    for (int i = 0; i < 3; i++)
        kern::WaitForVBlank();
    EXPECT_EQ(reads, 6);
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

namespace {

// xorshift32: the same draws on every run.
uint32_t next(uint32_t& s)
{
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}

int between(uint32_t& s, int lo, int hi) { return lo + static_cast<int>(next(s) % static_cast<uint32_t>(hi - lo + 1)); }

// Fills of every kind, in colour 1-255, partly or wholly off screen too:
// triangles (rows clipped or not, columns on screen or not), rectangles,
// spans, characters and strings with line breaks.
void draw_anything(uint32_t& s)
{
    for (int i = 0; i < 6; i++) {
        kern::Triangle t;
        for (kern::Vec3& c : t.corners)
            c = kern::Vec3{between(s, -100, 420) * 4096 + between(s, 0, 4095), between(s, -80, 280) * 4096, 0};
        t.colour = static_cast<uint8_t>(between(s, 1, 255));
        kern::draw_triangle(t);
    }
    kern::PutRect(between(s, -50, 330), between(s, -50, 210), between(s, -10, 200), between(s, -10, 120), 7);
    kern::horizontal_line(between(s, -50, 370), between(s, -50, 370), between(s, -5, 205), 9);
    kern::PutChar(static_cast<uint8_t>(between(s, 33, 126)), between(s, -6, 322), between(s, -9, 201), 15);
    kern::PutString("line one\nand two", between(s, -40, 330), between(s, -20, 205), 14);
}

bool display_shows_back_buffer() { return memcmp(video(), back_buffer(), kern::SCREEN_BYTES) == 0; }

} // namespace

// Every fill marks what it stores: clearing every row's drawn span leaves
// nothing of it, whatever was drawn where.
TEST(ClearDrawnRows, LeavesNothingOfAnyFill)
{
    uint32_t s = 0xBADC0DE;
    kern::ClearScreen();
    for (int round = 0; round < 200; round++) {
        draw_anything(s);
        kern::ClearDrawnRows(0, kern::SCREEN_HEIGHT - 1);
        for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
            ASSERT_EQ(back_buffer()[i], 0) << "round " << round << ", byte " << i;
    }
}

namespace {

// The copy that clears: the display shows what the back buffer held, and
// the back buffer is 0 from row `first` down and as it was above.
void blit_and_clear(int first)
{
    std::vector<uint8_t> before(back_buffer(), back_buffer() + kern::SCREEN_BYTES);
    kern::BlitChangedRowsAndClear(first);
    ASSERT_EQ(memcmp(video(), before.data(), kern::SCREEN_BYTES), 0) << first;
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        ASSERT_EQ(back_buffer()[i], i < static_cast<uint32_t>(first) * 320 ? before[i] : 0) << first << " " << i;
}

} // namespace

// From load, and after each round of fills, clears of some rows and rows
// moved, the copy of what changed leaves the display showing the back
// buffer, and so does the copy that clears, with whatever the rounds
// before it left held and changed; a frame that changed nothing copies
// nothing.
TEST(BlitChangedRows, BringsTheDisplayToTheBackBuffer)
{
    uint32_t s = 0x5EED;
    memset(back_buffer(), PAPER, kern::SCREEN_BYTES);
    memset(video(), 0xEE, kern::SCREEN_BYTES);
    kern::BlitChangedRows();   // at load nothing is known: all of it
    EXPECT_TRUE(display_shows_back_buffer());
    EXPECT_EQ(kern::VideoBytesWritten(), kern::SCREEN_BYTES);
    for (int round = 0; round < 200; round++) {
        int first = between(s, 0, 199);
        kern::ClearDrawnRows(first, between(s, first, 199));
        draw_anything(s);
        int from = between(s, 0, 150), to = between(s, 0, 150);
        kern::MoveRows(from, to, between(s, 0, 49));
        if (round % 3 == 2) {
            ASSERT_NO_FATAL_FAILURE(blit_and_clear(between(s, 0, 210)));
            continue;
        }
        kern::BlitChangedRows();
        ASSERT_TRUE(display_shows_back_buffer()) << round;
    }
    uint64_t shown = kern::VideoBytesWritten();
    kern::BlitChangedRows();
    EXPECT_EQ(kern::VideoBytesWritten(), shown);
}

// Whole rows, and the first 13 columns of rows, which move as the four
// words that hold them (16 columns) while the rest of each row stays.
TEST(MoveRows, MovesRowsThatOverlapAsMemmoveDoes)
{
    for (int columns : {320, 13}) {
        int moved = columns == 320 ? 320 : 16;
        for (int by : {-7, 7, 0, 120}) {
            for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
                back_buffer()[i] = static_cast<uint8_t>(i * 13 + i / 320);
            std::vector<uint8_t> was(back_buffer(), back_buffer() + kern::SCREEN_BYTES), want = was;
            for (int k = 0; k < 30; k++)
                memcpy(want.data() + (40 + by + k) * 320, was.data() + (40 + k) * 320, moved);
            if (columns == 320)
                kern::MoveRows(40, 40 + by, 30);
            else
                kern::MoveColumns(40, 40 + by, 30, columns);
            EXPECT_EQ(memcmp(back_buffer(), want.data(), kern::SCREEN_BYTES), 0) << columns << " " << by;
        }
    }
}

// The scene's band: rows outside it are passed over as rows off screen
// are; rows inside get the very pixels of a draw without the band.
TEST(SetSceneRows, TheRasteriserFillsTheBandAlone)
{
    const kern::Triangle big = {{{-50 * 4096, -30 * 4096, 0}, {400 * 4096, 20 * 4096, 0}, {100 * 4096, 260 * 4096, 0}}, 5};
    memset(back_buffer(), PAPER, kern::SCREEN_BYTES);
    kern::draw_triangle(big);
    std::vector<uint8_t> whole(back_buffer(), back_buffer() + kern::SCREEN_BYTES);
    memset(back_buffer(), PAPER, kern::SCREEN_BYTES);
    kern::SetSceneRows(37, 150);
    kern::draw_triangle(big);
    for (int y = 0; y < kern::SCREEN_HEIGHT; y++)
        for (int x = 0; x < kern::SCREEN_WIDTH; x++)
            ASSERT_EQ(pixel(x, y), y >= 37 && y <= 150 ? whole[y * 320 + x] : PAPER) << x << "," << y;
}
