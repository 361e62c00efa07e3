// The kernel's start-up and frame loop, run on the host: the retrace port's
// fake ends each frame, moves time on by one 70 Hz frame of timer ticks,
// and lets the test press keys between frames as the keyboard line would.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>

#include "fake_clock.h"
#include "fake_uart.h"
#include "fixed_memory.h"
#include "fresh_state.h"
#include "hw_host.h"
#include "kern/camera.h"
#include "kern/ckern.h"
#include "kern/commands.h"
#include "kern/console.h"
#include "kern/idt.h"
#include "kern/keyboard.h"
#include "kern/redraw.h"
#include "kern/timer.h"
#include "kern/video/video.h"
#include "render.h"
#include "transcript.h"

using namespace kern;
using testing_support::STARTUP_LINES;

namespace {

struct LoopStopped {};


uint8_t scancode;
bool full_path;   // run_kmain's frames cleared, drawn and copied whole

// Delivers one byte on the keyboard line: the handler reads port 0x60.
void press(uint8_t code)
{
    scancode = code;
    irq1_handler();
}

void tap(uint8_t make)
{
    press(make);
    press(static_cast<uint8_t>(make | 0x80));
}

// Runs kmain until `frames` frames are drawn; after frame n is drawn (before
// it is shown), between(n) may press keys. Returns with frame `frames` in
// the back buffer.
void run_kmain(int frames, std::function<void(int)> between = [](int) {})
{
    testing_support::clear_fixed_ranges();   // a test may boot more than once
    testing_support::reset_modules();
    Redraw_Everything(full_path);
    hwsim::reset();
    hwsim::uart_attach();
    hwsim::ClockOptions clock;
    clock.ns_per_read = 20000;   // a frame's hold in a few hundred reads
    hwsim::clock_attach(clock);
    hwsim::on_in(machine::KBC_DATA, [](uint16_t) { return scancode; });
    static int reads;
    static int drawn;
    reads = 0;
    drawn = 0;
    hwsim::on_in(machine::VGA_INPUT_STATUS, [frames, between](uint16_t) -> uint16_t {
        if (reads++ % 2 == 1)                         // the retrace begins
            return 0x08;
        drawn++;                                      // frame `drawn` is in the back buffer
        if (drawn == frames)
            throw LoopStopped{};
        between(drawn);
        return 0x00;
    });
    EXPECT_THROW(kmain(), LoopStopped);
}

render::Frame back_buffer_copy()
{
    render::Frame f;
    std::memcpy(f.data(), back_buffer(), f.size());
    return f;
}

render::Frame view_at(Fixed x, Fixed y, Fixed z, int32_t pitch = 0, int32_t yaw = 0)
{
    return render::render_frame({{x, y, z}, pitch, yaw}, render::all_on());
}

int differing_pixels(const render::Frame& a, const render::Frame& b, int first_row = 0)
{
    int n = 0;
    for (size_t i = static_cast<size_t>(first_row) * SCREEN_WIDTH; i < a.size(); i++)
        n += a[i] != b[i];
    return n;
}

const Fixed STEP = 256 * FIXED_ONE;
const Fixed START_Z = -4096 * FIXED_ONE;

// Bytes arriving on the serial line: the line's handler reads the UART.
void serial_in(const std::string& bytes)
{
    hwsim::uart_receive(bytes);
    irq4_handler();
}

std::string serial_after_startup() { return hwsim::uart_output().substr(STARTUP_LINES.size()); }

} // namespace

TEST(Kmain, StartUpWritesTheBannerTheSwitchesAndTheReminder)
{
    run_kmain(1);
    EXPECT_EQ(hwsim::uart_output(), STARTUP_LINES + ">");   // and the prompt, ready for input
    EXPECT_TRUE(hwsim::interrupts_enabled());
}

TEST(Kmain, StartUpProgramsSerialFirstThenTimerThenClockThenControllers)
{
    run_kmain(2);
    std::vector<hwsim::Access> t = hwsim::trace_without_delays();
    auto first = [&](hwsim::Access a) {
        for (size_t i = 0; i < t.size(); i++)
            if (t[i] == a)
                return static_cast<long>(i);
        return -1L;
    };
    ASSERT_EQ(t[0], hwsim::out8(0x3F9, 0x00));       // UART interrupts off, the very first access
    long timer = first(hwsim::out8(machine::PIT_COMMAND, 0x36));
    long clock = first(hwsim::out8(machine::PIT_COMMAND, 0xB4));     // channel 2 runs as the clock
    long pic = first(hwsim::out8(machine::PIC1_COMMAND, 0x11));
    long retrace = first(hwsim::in8(machine::VGA_INPUT_STATUS, 0x00));
    EXPECT_GT(timer, 0);
    EXPECT_GT(clock, timer);
    EXPECT_GT(pic, clock);
    EXPECT_GT(retrace, pic);
    EXPECT_EQ(hwsim::lidt_count(), 1);
}

TEST(Kmain, TheFirstFrameShowsTheCubeFromTheStartCamera)
{
    run_kmain(1);
    render::Frame shown = back_buffer_copy();
    EXPECT_EQ(differing_pixels(shown, view_at(0, 0, START_Z)), 0);
}

TEST(Kmain, TheFrameIsCopiedToTheDisplayAfterTheRetrace)
{
    run_kmain(2);   // frame 1 has been shown, frame 2 is drawn
    render::Frame first = view_at(0, 0, START_Z);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const void*>(VIDEO_MEMORY), first.data(), first.size()), 0);
}

TEST(Kmain, HoldingWMovesForwardOneStepAFrame)
{
    run_kmain(3, [](int frame) {
        if (frame == 1)
            press(KEY_W);
    });
    EXPECT_EQ(differing_pixels(back_buffer_copy(), view_at(0, 0, START_Z + 2 * STEP)), 0);
}

TEST(Kmain, AMovesTowardMinusXFromTheSecondFrameOn)
{
    run_kmain(2, [](int frame) {
        if (frame == 1)
            press(KEY_A);
    });
    EXPECT_EQ(differing_pixels(back_buffer_copy(), view_at(-STEP, 0, START_Z)), 0);
}

TEST(Kmain, HoldingLTurnsTheView)
{
    run_kmain(4, [](int frame) {
        if (frame == 1)
            press(KEY_L);
    });
    EXPECT_EQ(differing_pixels(back_buffer_copy(), view_at(0, 0, START_Z, 0, 3 * 64)), 0);
}

TEST(Kmain, TheConsoleRunsTypedCommandsAndLocksTheCamera)
{
    run_kmain(14, [](int frame) {
        if (frame == 1)
            press(KEY_BACKQUOTE);   // held: the console opens in frame 2
        if (frame == 2) {
            press(KEY_W);           // typed, not a camera key any more
            for (uint8_t code : {0x14, 0x12, 0x1F, 0x14, 0x1C})   // t e s t Enter
                tap(code);
        }
    });
    std::string out = hwsim::uart_output();
    EXPECT_EQ(out.substr(STARTUP_LINES.size()), ">wtest\nCommand not found.\n>");
    // Ten frames after opening the console covers rows 0-99, and the camera
    // has not moved: below the console the scene is the start view.
    render::Frame shown = back_buffer_copy();
    EXPECT_EQ(Console_Offset(), -100 * FIXED_ONE);
    EXPECT_EQ(shown[99 * SCREEN_WIDTH + 319], 8);
    EXPECT_EQ(shown[100 * SCREEN_WIDTH + 319], 0);
    EXPECT_EQ(differing_pixels(shown, view_at(0, 0, START_Z), 100), 0);
}

TEST(Kmain, TestSaysHello)
{
    run_kmain(4, [](int frame) {
        if (frame == 1)
            press(KEY_BACKQUOTE);
        if (frame == 2)
            for (uint8_t code : {0x14, 0x12, 0x1F, 0x14, 0x1C})
                tap(code);
    });
    EXPECT_EQ(hwsim::uart_output().substr(STARTUP_LINES.size()), ">test\nHello!\n>");
}

TEST(Kmain, SwitchCommandsOnTheSerialLineFlipTheirStages)
{
    run_kmain(3, [](int frame) {
        if (frame == 1)
            serial_in("cull\rcull\rperspective\rview\rmodel\r");
    });
    EXPECT_EQ(serial_after_startup(),
              ">cull\nBackface culling DISABLED\n"
              ">cull\nBackface culling ENABLED\n"
              ">perspective\nPerspective projection DISABLED\n"
              ">view\nView vector/matrix transform DISABLED\n"
              ">model\nModel transform matrix DISABLED\n>");
    EXPECT_EQ(Console_IsOpen(), 0);
    render::Frame shown = back_buffer_copy();
    render::Frame expected = render::render_frame(render::start_view(), {1, 0, 0, 0});
    EXPECT_EQ(differing_pixels(shown, expected), 0);
    EXPECT_NE(differing_pixels(shown, view_at(0, 0, START_Z)), 0);
}

TEST(Kmain, HomeAfterTurningShowsTheStartFrameAgain)
{
    static render::Frame turned;
    run_kmain(6, [](int frame) {
        if (frame == 1)
            press(KEY_L);
        if (frame == 3)
            press(KEY_W);
        if (frame == 4) {
            press(KEY_L | 0x80);
            press(KEY_W | 0x80);
            turned = back_buffer_copy();
            serial_in("home\r");
        }
    });
    EXPECT_EQ(serial_after_startup(), ">home\nCamera back at the start\n>");
    render::Frame shown = back_buffer_copy();
    EXPECT_NE(differing_pixels(turned, view_at(0, 0, START_Z)), 0);
    EXPECT_EQ(differing_pixels(shown, view_at(0, 0, START_Z)), 0);
}

TEST(Kmain, FpsReportsThePositionAndAnglesTheCameraHasNow)
{
    run_kmain(8, [](int frame) {
        if (frame == 1)
            press(KEY_W);
        if (frame == 3) {
            press(KEY_W | 0x80);
            press(KEY_I);
            press(KEY_J);
        }
        if (frame == 5) {
            press(KEY_I | 0x80);
            press(KEY_J | 0x80);
        }
        if (frame == 6)
            serial_in("fps\r");
    });
    // No clock rate is measured here, so no second has been counted.
    EXPECT_EQ(serial_after_startup(), ">fps\n0 fps, x 0.0 y 0.0 z -3584.0, pitch 128 yaw -128\n>");
}

render::Frame view_of(const Camera& c)
{
    return render::render_frame({c.position, c.pitch, c.yaw}, render::all_on());
}

// Typed on the serial line after frame 1: frame n then shows the flight's
// camera n - 1 steps round from the start camera's yaw.
TEST(Orbit, FliesRoundTheCubeOneStepAFrameFromTheCamerasYaw)
{
    static render::Frame second;
    run_kmain(5, [](int frame) {
        if (frame == 1)
            serial_in("orbit\r");
        if (frame == 2)
            second = back_buffer_copy();
    });
    render::Frame fifth = back_buffer_copy();   // before the host renders into the same buffer
    EXPECT_EQ(serial_after_startup(), ">orbit\nCamera orbit ENABLED\n>");
    EXPECT_EQ(differing_pixels(second, view_of(orbit_camera(ORBIT_STEP))), 0);
    EXPECT_EQ(differing_pixels(fifth, view_of(orbit_camera(4 * ORBIT_STEP))), 0);
    EXPECT_NE(differing_pixels(fifth, second), 0);
}

// A held camera key ends the flight and moves the camera on from where the
// flight had brought it; letting go leaves it there. The line that says so
// comes from the frame loop, so on the serial line it takes the waiting
// prompt off first, and the prompt comes back after it.
TEST(Orbit, ACameraKeyTakesOverWhereTheFlightIs)
{
    static render::Frame afterRelease;
    run_kmain(8, [](int frame) {
        if (frame == 1)
            serial_in("orbit\r");
        if (frame == 3)
            press(KEY_W);            // frames 4 and 5 step forward
        if (frame == 5)
            press(KEY_W | 0x80);
        if (frame == 6)
            afterRelease = back_buffer_copy();
    });
    EXPECT_EQ(serial_after_startup(), ">orbit\nCamera orbit ENABLED\n>\r\x1b[KCamera orbit DISABLED\n>");
    CameraKeys w = {};
    w.ahead = true;
    Camera moved = camera_step(camera_step(orbit_camera(2 * ORBIT_STEP), w), w);
    EXPECT_EQ(differing_pixels(back_buffer_copy(), afterRelease), 0);
    EXPECT_EQ(differing_pixels(afterRelease, view_of(moved)), 0);
}

TEST(Orbit, EveryCameraKeyEndsTheFlight)
{
    for (uint8_t key : {KEY_S, KEY_W, KEY_A, KEY_D, KEY_Q, KEY_E, KEY_I, KEY_K, KEY_J, KEY_L}) {
        static uint8_t held;
        held = key;
        run_kmain(4, [](int frame) {
            if (frame == 1)
                serial_in("orbit\r");
            if (frame == 2)
                press(held);
            if (frame == 3)
                press(static_cast<uint8_t>(held | 0x80));
        });
        EXPECT_EQ(serial_after_startup(), ">orbit\nCamera orbit ENABLED\n>\r\x1b[KCamera orbit DISABLED\n>")
            << "key " << int(key);
    }
}

TEST(Orbit, TypedAgainItStopsWhereItIsAndHomeBringsTheStartCamera)
{
    static render::Frame stopped;
    run_kmain(7, [](int frame) {
        if (frame == 1)
            serial_in("orbit\r");
        if (frame == 3)
            serial_in("orbit\r");  // frames 2 and 3 flew
        if (frame == 5) {
            stopped = back_buffer_copy();
            serial_in("orbit\r");  // on again from where it stopped
        }
    });
    render::Frame last = back_buffer_copy();
    EXPECT_EQ(differing_pixels(stopped, view_of(orbit_camera(2 * ORBIT_STEP))), 0);
    EXPECT_EQ(differing_pixels(last, view_of(orbit_camera(4 * ORBIT_STEP))), 0);

    run_kmain(6, [](int frame) {
        if (frame == 1)
            serial_in("orbit\r");
        if (frame == 3)
            serial_in("home\r");
    });
    EXPECT_EQ(serial_after_startup(),
              ">orbit\nCamera orbit ENABLED\n>home\nCamera orbit DISABLED\nCamera back at the start\n>");
    last = back_buffer_copy();
    EXPECT_EQ(differing_pixels(last, view_at(0, 0, START_Z)), 0);
}

// The path, against the real-number geometry: every camera on it is the
// orbit's distance from the cube's centre, at the orbit's height, and sees
// the centre straight ahead, whatever the angle (some past a whole turn).
// The sine table's truncation leaves the fixed-point values a few units
// (of 8192) short; a wrong sign or axis would be thousands off.
TEST(Orbit, ThePathCirclesTheCentreAndLooksAtIt)
{
    const double pi = 3.14159265358979323846;
    const double d = double(ORBIT_DISTANCE) / FIXED_ONE;
    const double pitch = 2 * pi * ORBIT_PITCH / 8192;
    for (int32_t angle : {0, 16, 1000, 2048, 3000, 4096, 6000, 8191, 8192 + 700, -1500, INT32_MAX}) {
        Camera c = orbit_camera(angle);
        const double yaw = 2 * pi * (angle & ANGLE_MASK) / 8192;
        EXPECT_NEAR(c.position.x / 4096.0, -d * cos(pitch) * std::sin(yaw), 4.0) << angle;
        EXPECT_NEAR(c.position.y / 4096.0, d * std::sin(pitch), 4.0) << angle;
        EXPECT_NEAR(c.position.z / 4096.0, -d * cos(pitch) * cos(yaw), 4.0) << angle;
        EXPECT_EQ(c.pitch, ORBIT_PITCH);
        EXPECT_EQ(c.yaw, angle);
        // The movement vectors follow the yaw, as the keys expect them.
        EXPECT_EQ(c.forward.x, sin(angle));
        EXPECT_EQ(c.right.x, fixed_neg(c.forward.z));

        Vec3 seen = Vec3Mat3Mul(Vec3Vec3Sub(Vec3{0, 0, 0}, c.position), CreateCameraRotationMatrix(c.pitch, c.yaw, 0));
        EXPECT_NEAR(seen.x / 4096.0, 0.0, 8.0) << angle;
        EXPECT_NEAR(seen.y / 4096.0, 0.0, 8.0) << angle;
        EXPECT_NEAR(seen.z / 4096.0, d, 8.0) << angle;
    }
    Orbit o = orbit_begin(orbit_camera(8000));
    EXPECT_TRUE(o.on);
    EXPECT_EQ(o.angle, 8000);
    EXPECT_EQ(orbit_next(o).angle, 8000 + ORBIT_STEP);
    EXPECT_EQ(orbit_next(Orbit{true, INT32_MAX}).angle, INT32_MIN + ORBIT_STEP - 1);
}

TEST(CameraStep, TheFirstFrameUsesTheStartVectors)
{
    CameraKeys a = {};
    a.left = true;
    Camera c = camera_step(camera_start(), a);
    EXPECT_EQ(c.position.x, STEP);           // right starts as (1.0, 0, 0)
    EXPECT_EQ(c.right.x, -FIXED_ONE);        // forward x up at yaw 0
    c = camera_step(c, a);
    EXPECT_EQ(c.position.x, 0);
}

TEST(CameraStep, OpposingKeysCancel)
{
    CameraKeys k = {true, true, true, true, true, true, true, true, true, true};
    Camera start = camera_start();
    Camera c = camera_step(camera_step(start, k), k);
    EXPECT_EQ(c.position.x, start.position.x);
    EXPECT_EQ(c.position.y, start.position.y);
    EXPECT_EQ(c.position.z, start.position.z);
    EXPECT_EQ(c.pitch, 0);
    EXPECT_EQ(c.yaw, 0);
}

TEST(CameraStep, VectorsFollowTheYawOnlyAndAnglesNeverWrap)
{
    CameraKeys k = {};
    k.yaw_right = true;
    k.pitch_up = true;
    Camera c = camera_start();
    for (int i = 0; i < 200; i++)
        c = camera_step(c, k);
    EXPECT_EQ(c.yaw, 12800);     // past a full turn, not wrapped
    EXPECT_EQ(c.pitch, 12800);
    EXPECT_EQ(c.forward.x, sin(12800));
    EXPECT_EQ(c.forward.y, 0);
    EXPECT_EQ(c.forward.z, sin(12800 + 2048));
    EXPECT_EQ(c.right.x, fixed_neg(c.forward.z));
    EXPECT_EQ(c.right.y, 0);
    EXPECT_EQ(c.right.z, c.forward.x);
    // Height changes only with Q and E, whatever the pitch.
    k = {};
    k.ahead = true;
    c = camera_step(c, k);
    EXPECT_EQ(c.position.y, 0);
}

TEST(CameraStep, ThePositionStopsAtTheLimitOnEveryAxis)
{
    CameraKeys k = {};
    k.ahead = true;
    k.up = true;
    Camera c = camera_start();
    for (int i = 0; i < 700; i++)   // 700 * 256.0 passes 160000.0
        c = camera_step(c, k);
    EXPECT_EQ(c.position.z, POSITION_LIMIT);
    EXPECT_EQ(c.position.y, POSITION_LIMIT);
    k = {};
    k.back = true;
    k.down = true;
    c = camera_step(c, k);
    EXPECT_EQ(c.position.z, POSITION_LIMIT - STEP);
    for (int i = 0; i < 1400; i++)
        c = camera_step(c, k);
    EXPECT_EQ(c.position.z, -POSITION_LIMIT);
    EXPECT_EQ(c.position.y, -POSITION_LIMIT);
    EXPECT_EQ(c.position.x, 0);
}

TEST(CameraStep, TheCubeStaysInPlaceAtTheLimit)
{
    // Far out the cube is a speck, but it is where it should be: straight
    // ahead of a camera looking back toward the origin.
    render::Frame f = view_at(0, 0, -POSITION_LIMIT);
    int lit = 0;
    for (uint8_t p : f)
        lit += p != 0;
    EXPECT_GT(lit, 0);
    EXPECT_NE(f[100 * SCREEN_WIDTH + 160], 0);
}

// The display after each frame, the frame loop's path or the full one.
std::vector<render::Frame> shown_frames(bool everything, int frames, std::function<void(int)> between)
{
    static std::vector<render::Frame> shown;
    static std::function<void(int)> script;
    shown.clear();
    script = between;
    full_path = everything;
    run_kmain(frames, [](int frame) {
        render::Frame f;
        std::memcpy(f.data(), reinterpret_cast<const void*>(VIDEO_MEMORY), f.size());
        shown.push_back(f);   // frame - 1, shown
        script(frame);
    });
    full_path = false;
    return shown;
}

// Keys and the serial line fly the camera, open the console over the demo
// flight, flip a switch, clear, page back, bring the camera home, close the
// console; a host delay makes the clock skip frames on the way. Every frame
// shows what the full path shows.
TEST(Kmain, EveryFrameShowsWhatTheFullPathShows)
{
    auto script = [](int frame) {
        switch (frame) {
        case 1: press(KEY_W); break;
        case 3: press(KEY_W | 0x80); serial_in("orbit\r"); break;
        case 6: press(KEY_BACKQUOTE); break;
        case 7: press(KEY_BACKQUOTE | 0x80); break;
        case 9: for (uint8_t code : {0x2E, 0x16, 0x26, 0x26, 0x1C}) tap(code); break;   // cull
        case 13: serial_in("clear\r"); break;
        case 15: press(0xE0); press(0x49); break;   // page up
        case 17: hwsim::clock_advance(5 * 14268477); break;
        case 18: press(0xE0); press(0x51); break;   // page down
        case 20: serial_in("home\r"); break;
        case 22: tap(KEY_ESCAPE); break;
        }
    };
    std::vector<render::Frame> full = shown_frames(true, 40, script);
    std::vector<render::Frame> changed = shown_frames(false, 40, script);
    ASSERT_EQ(full.size(), changed.size());
    for (size_t n = 0; n < full.size(); n++)
        EXPECT_EQ(differing_pixels(full[n], changed[n]), 0) << "frame " << n;
    EXPECT_NE(differing_pixels(full[20], full[30]), 0);   // the flight, the console: frames differ
}

// A frame that changes nothing copies nothing; one typed character copies
// the input row's eight rows of pixels as far as its text reaches, and
// nothing else; a line written while the console is hidden shows nowhere.
TEST(Kmain, AFrameCopiesOnlyWhatChanged)
{
    static std::vector<uint64_t> copied;   // by the frames before each wait
    copied.clear();
    run_kmain(24, [](int frame) {
        copied.push_back(VideoBytesWritten());
        if (frame == 3)
            serial_in("test\r");
        if (frame == 4)
            tap(KEY_BACKQUOTE);
        if (frame == 20)
            tap(0x1E);   // a
    });
    auto frame_copied = [](int frame) { return copied[frame] - copied[frame - 1]; };   // frame `frame`'s copy
    EXPECT_EQ(copied[1], SCREEN_BYTES);   // the first frame: all of it
    for (int frame = 2; frame <= 5; frame++)
        EXPECT_EQ(frame_copied(frame), 0u) << frame;
    EXPECT_EQ(frame_copied(6), 10u * SCREEN_WIDTH);   // the console's first ten rows come down
    EXPECT_EQ(frame_copied(20), 0u);
    EXPECT_EQ(frame_copied(21), 8u * 8);   // ">a": two cells, 8 columns of 8 rows
    EXPECT_EQ(frame_copied(22), 0u);
}

TEST(Testcmd, WritesHello)
{
    hwsim::reset();
    hwsim::uart_attach();
    EXPECT_EQ(testcmd(7, 9), 0u);
    EXPECT_EQ(hwsim::uart_output(), "Hello!\n");
}
