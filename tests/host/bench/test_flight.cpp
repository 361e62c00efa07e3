// The benchmark's flight, and flights of random keys and cameras, through
// the frame loop's own path (only what changed cleared, drawn and copied)
// and through the full path (every frame cleared, drawn and copied whole):
// the back buffer once drawn, and the display once shown, are the same
// every frame. (After the copy the frame loop may clear what it copied.)
#include <gtest/gtest.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "bench/flight.h"
#include "bench/scenes.h"
#include "fixed_memory.h"
#include "fresh_state.h"
#include "hw_host.h"
#include "kern/commands.h"
#include "kern/console.h"
#include "kern/keyboard.h"
#include "kern/camera.h"
#include "kern/redraw.h"
#include "kern/startup.h"
#include "kern/video/video.h"

namespace {

const uint32_t FRAME = kern::SCREEN_BYTES;
uint8_t* video() { return reinterpret_cast<uint8_t*>(kern::VIDEO_MEMORY); }

struct Flown {
    std::vector<std::vector<uint8_t>> display, buffer;   // each frame shown, and drawn
    std::vector<uint64_t> bytes;                         // written to the display by each frame
    std::vector<bench::ConsoleState> state;
};

// Frames 0..frames - 1 from start-up as the benchmark image has it, the
// display showing something else at first; `draw(n)` hands over frame n's
// keys and runs it up to the copy to the display.
Flown fly(bool everything, int frames, const std::function<void(int)>& draw)
{
    testing_support::clear_fixed_ranges();
    hwsim::reset();
    testing_support::reset_modules();
    kern::start_modules();
    kern::Commands_RegisterAll();
    bench::switches_on();
    kern::Console_WriteLine("Also 8MiB of allocable memory after the stack!");
    kern::Redraw_Everything(everything);
    memset(video(), 0xEE, FRAME);
    Flown run;
    for (int n = 0; n < frames; n++) {
        uint64_t before = kern::VideoBytesWritten();
        draw(n);
        run.buffer.emplace_back(kern::back_buffer(), kern::back_buffer() + FRAME);
        kern::frame_show();
        run.bytes.push_back(kern::VideoBytesWritten() - before);
        run.display.emplace_back(video(), video() + FRAME);
        run.state.push_back(bench::console_state());
    }
    return run;
}

void expect_same_frames(const Flown& full, const Flown& changed)
{
    ASSERT_EQ(full.display.size(), changed.display.size());
    for (size_t n = 0; n < full.display.size(); n++) {
        ASSERT_TRUE(full.display[n] == changed.display[n]) << "the display after frame " << n;
        ASSERT_TRUE(full.buffer[n] == changed.buffer[n]) << "the back buffer drawn in frame " << n;
    }
}

kern::Triangle cube[bench::CUBE_TRIANGLES];

void flight_draw(int n)
{
    bench::flight_keys(n);
    bench::flight_draw(cube, n);
}

// xorshift32, seeded: the same flight on every run.
uint32_t next(uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

void tap(uint8_t code)
{
    kern::KeyboardInterrupt(code);
    kern::KeyboardInterrupt(static_cast<uint8_t>(code | 0x80));
}

std::string repeated(const std::string& keys, int times)
{
    std::string all;
    for (int i = 0; i < times; i++)
        all += keys;
    return all;
}

// Scancodes (0xE0 pairs for paging), so many tapped a frame.
struct Typing {
    std::string keys;
    size_t a_frame;
};

// Keys from a stream of typings; the camera now still, now on the orbit,
// now at one of the benchmark's views, near ones and ones behind the cube
// among them.
struct RandomFlight {
    explicit RandomFlight(uint32_t s) : seed(s) {}
    uint32_t seed;
    std::string keys;
    size_t a_frame = 1;
    size_t at = 0;
    int32_t angle = 0;
    int view = -1;

    // Of the 84 keys of the long line the input keeps 79, and the echo
    // fills its row to the screen's edge.
    void choose()
    {
        static const Typing typed[] = {
            {"\x2e\x26\x12\x1e\x13\x1c", 1},                 // clear
            {"\x2e\x16\x26\x26\x1c", 1},                     // cull
            {"\x23\x12\x26\x19\x1c", 1},                     // help
            {"\x14\x12\x1f\x14\x1c", 1},                     // test
            {"\x1e\x30\x2e\x0e\x0e", 1},                     // ab c, erased
            {"\xe0\x49", 1}, {"\xe0\x51", 1},                 // page up, page down
            {"\x29", 1}, {"\x01", 1},                         // backquote, Escape
            {repeated("\x1e", 10) + "\x1c", 1},                // a short line that says nothing found
            {repeated("\x1e", 84) + "\x1c", 12},               // a line as wide as the screen
        };
        const Typing& t = typed[next(seed) % (sizeof typed / sizeof typed[0])];
        keys = t.keys;
        a_frame = t.a_frame;
        at = 0;
    }

    void draw(int)
    {
        if (at == keys.size() && next(seed) % 3 == 0)
            choose();
        for (size_t n = 0; n < a_frame && at < keys.size(); n++) {
            uint8_t code = static_cast<uint8_t>(keys[at++]);
            if (code == 0xE0) {
                kern::KeyboardInterrupt(code);
                kern::KeyboardInterrupt(static_cast<uint8_t>(keys[at++]));
            } else {
                tap(code);
            }
        }
        uint32_t r = next(seed) % 16;
        if (r < 6)
            angle += kern::ORBIT_STEP;
        else if (r == 6)
            view = static_cast<int>(next(seed) % (bench::CUBE_VIEW_COUNT + 1)) - 1;
        kern::Camera c = kern::orbit_camera(angle);
        if (view >= 0) {
            const bench::CubeView& v = bench::cube_view(view);
            c.position = v.position;
            c.pitch = v.pitch;
            c.yaw = v.yaw;
        }
        kern::frame_begin();
        kern::frame_draw(cube, bench::CUBE_TRIANGLES, c.position, c.pitch, c.yaw);
    }
};

} // namespace

TEST(Flight, EveryFrameIsTheFullPathsBitForBit)
{
    bench::build_cube(cube);
    Flown full = fly(true, bench::FLIGHT_FRAMES, flight_draw);
    Flown changed = fly(false, bench::FLIGHT_FRAMES, flight_draw);
    expect_same_frames(full, changed);

    // Every state of the console is flown through, and the frame loop's
    // path writes far less to the display: the first frame all of it.
    uint64_t total = 0;
    int frames_in[bench::CONSOLE_STATES] = {};
    for (int n = 0; n < bench::FLIGHT_FRAMES; n++) {
        EXPECT_EQ(full.bytes[n], FRAME);
        total += changed.bytes[n];
        frames_in[changed.state[n]]++;
    }
    for (int s = 0; s < bench::CONSOLE_STATES; s++)
        EXPECT_GE(frames_in[s], 10) << bench::console_state_name(static_cast<bench::ConsoleState>(s));
    EXPECT_EQ(changed.bytes[0], FRAME);
    EXPECT_LT(total / bench::FLIGHT_FRAMES, 16000u);
}

TEST(Flight, RandomKeysAndCamerasGiveTheFullPathsFrames)
{
    bench::build_cube(cube);
    for (uint32_t seed : {0x1234567u, 0x9E3779B9u, 0xC0FFEEu}) {
        RandomFlight a(seed), b(seed);
        Flown full = fly(true, 400, [&a](int n) { a.draw(n); });
        Flown changed = fly(false, 400, [&b](int n) { b.draw(n); });
        expect_same_frames(full, changed);
    }
}
