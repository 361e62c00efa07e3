// The benchmark image's kmain: the kernel's own start-up (the interrupt
// table last), then each benchmark scene, the baseline fills and one frame
// of the frame loop's work, timed with the time-stamp counter and reported
// on the serial line; then the emulator is told to exit.
//
// Serial lines, one per result, for the runner script:
//   BENCH rate <counts per second>              (calibration, before and after)
//   BENCH check <name> same|DIFFERENT           (against the per-pixel rule)
//   BENCH time <name> <median ns> <min ns> <frames> <triangles> <pixels>
//   BENCH ticks <timer interrupts taken during the frames timed with them on>
//   BENCH flight <path> <console state> <frames> <mean ns> <worst ns> <worst frame> <mean bytes> <worst bytes>
//   BENCH frame <n> <console state> <ns> <bytes> (each frame of the frame loop's path)
//   BENCH check flight same|DIFFERENT           (each frame's display, both paths)
//   BENCH end <0 = every check passed>
#include "bench/flight.h"
#include "bench/qemu/clock.h"
#include "bench/scenes.h"
#include "hw/hw.h"
#include "hw/machine.h"
#include "kern/ckern.h"
#include "kern/startup.h"
#include "kern/command.h"
#include "kern/commands.h"
#include "kern/console.h"
#include "kern/video/font.h"
#include "kern/hash.h"
#include "kern/idt.h"
#include "kern/keyboard.h"
#include "kern/memory.h"
#include "kern/redraw.h"
#include "kern/video/pipeline.h"
#include "kern/serial.h"
#include "kern/texture.h"
#include "kern/timer.h"
#include "kern/video/video.h"

namespace bench {
namespace {

using kern::Triangle;

const int CALIBRATION_ROUNDS = 4;   // about 220 ms of timer clocks
const int FRAMES = 7;               // timed frames per benchmark, after one untimed
const int CONSOLE_SLIDE_FRAMES = 12;  // the console is fully down after ten
const int DIGITS = 24;

const char REMINDER[] = "REMEMBER! You only have 4MiB for your kernel before you clobber the stack!\n"
                        "Also 8MiB of allocable memory after the stack!";

Triangle scene[MAX_SCENE_TRIANGLES];
Triangle cube[CUBE_TRIANGLES];
uint8_t expected_buffer[kern::SCREEN_BYTES];
uint8_t expected_video[kern::SCREEN_BYTES];
uint64_t rate;
int failures;

uint8_t* video() { return reinterpret_cast<uint8_t*>(kern::VIDEO_MEMORY); }

void put(const char* text) { kern::Serial_Write(text); }

void put_number(uint64_t v)
{
    char digits[DIGITS];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0)
        kern::Serial_Outb(static_cast<uint8_t>(digits[--n]));
}

void put_field(uint64_t v)
{
    put(" ");
    put_number(v);
}

void copy(const uint8_t* from, uint8_t* to, uint32_t n)
{
    for (uint32_t i = 0; i < n; i++)
        to[i] = from[i];
}

bool same(const uint8_t* a, const uint8_t* b, uint32_t n)
{
    for (uint32_t i = 0; i < n; i++)
        if (a[i] != b[i])
            return false;
    return true;
}

void fill(uint8_t* at, uint32_t n, uint8_t v)
{
    for (uint32_t i = 0; i < n; i++)
        at[i] = v;
}

// Times `frames` runs of work(), after one untimed run that lets the
// emulator translate the code; reports the median and the fastest.
template <typename Work>
void time(const char* name, uint32_t triangles, uint32_t pixels, Work work)
{
    uint64_t ns[FRAMES];
    work();
    for (int i = 0; i < FRAMES; i++) {
        uint64_t start = read_tsc();
        work();
        ns[i] = tsc_to_ns(read_tsc() - start, rate);
    }
    for (int i = 1; i < FRAMES; i++)
        for (int j = i; j > 0 && ns[j] < ns[j - 1]; j--) {
            uint64_t t = ns[j];
            ns[j] = ns[j - 1];
            ns[j - 1] = t;
        }
    put("BENCH time ");
    put(name);
    put_field(ns[FRAMES / 2]);
    put_field(ns[0]);
    put_field(FRAMES);
    put_field(triangles);
    put_field(pixels);
    put("\n");
}

// Both rasterisers from the same buffers; the back buffer and the display
// memory must come out the same.
void check(const char* name, SceneId id, int count)
{
    const uint8_t PAPER = 0x5A, SCREEN = 0xA5;
    fill(kern::back_buffer(), kern::SCREEN_BYTES, PAPER);
    fill(video(), kern::SCREEN_BYTES, SCREEN);
    reference_frame(id, scene, count);
    copy(kern::back_buffer(), expected_buffer, kern::SCREEN_BYTES);
    copy(video(), expected_video, kern::SCREEN_BYTES);
    fill(kern::back_buffer(), kern::SCREEN_BYTES, PAPER);
    fill(video(), kern::SCREEN_BYTES, SCREEN);
    scene_frame(id, scene, count);
    bool ok = same(expected_buffer, kern::back_buffer(), kern::SCREEN_BYTES) &&
              same(expected_video, video(), kern::SCREEN_BYTES);
    failures += ok ? 0 : 1;
    put("BENCH check ");
    put(name);
    put(ok ? " same\n" : " DIFFERENT\n");
}

void report_rate()
{
    rate = tsc_rate(CALIBRATION_ROUNDS);
    put("BENCH rate");
    put_field(rate);
    put("\n");
}

void baselines()
{
    time("memset64000", 0, kern::SCREEN_BYTES, [] { kern::ClearScreen(); });
    time("memcpy64000", 0, kern::SCREEN_BYTES, [] { kern::Blit(); });
}

void scenes()
{
    char name[] = "sceneX";
    char* letter = name + 5;
    for (int i = 0; i < SCENE_COUNT; i++) {
        SceneId id = static_cast<SceneId>(i);
        int count = make_scene(id, scene);
        uint32_t pixels = pixels_written(scene, count);
        *letter = scene_info(id).letter;
        check(name, id, count);
        time(name, count, pixels, [id, count] { scene_frame(id, scene, count); });
        if (id == SCENE_A)
            time("sceneA_per_pixel", count, pixels, [id, count] { reference_frame(id, scene, count); });
    }
}

void cube_views()
{
    char name[48] = "cube_";
    for (int v = 0; v < CUBE_VIEW_COUNT; v++) {
        const char* view = cube_view(v).name;
        int n = 5;
        for (; *view != 0 && n < 47; view++)
            name[n++] = *view;
        name[n] = 0;
        time(name, CUBE_TRIANGLES, 0, [v] { cube_frame(cube, cube_view(v)); });
    }
}

// The frame loop's work from UpdateTimer to just before WaitForVBlank, the
// cube at the start camera (the camera keys are not read: none is held).
void frame_work()
{
    const CubeView& start = cube_view(0);
    kern::frame_begin();
    kern::frame_draw(cube, CUBE_TRIANGLES, start.position, start.pitch, start.yaw);
}

void frames()
{
    time("frame_console_closed", CUBE_TRIANGLES, 0, frame_work);
    kern::KeyboardInterrupt(kern::KEY_BACKQUOTE);   // as if the key went down
    for (int i = 0; i < CONSOLE_SLIDE_FRAMES; i++)
        frame_work();
    time("frame_console_open", CUBE_TRIANGLES, 0, frame_work);
    // The kernel's timer rate and interrupts, as in the running system.
    kern::InitTimer();
    kern::idt_init();
    uint32_t ticks = kern::GetCurrentTimer();
    time("frame_console_open_interrupts_on", CUBE_TRIANGLES, 0, frame_work);
    put("BENCH ticks");
    put_field(kern::GetCurrentTimer() - ticks);
    put("\n");
}

// ---- the flight: every frame of it timed, interrupts on ----

struct Tally {
    uint32_t frames;
    uint64_t ns, worst_ns, bytes, worst_bytes;
    int worst_frame;
};

uint32_t flight_hashes[FLIGHT_FRAMES];

uint32_t display_hash() { return kern::CreateHash(video(), kern::SCREEN_BYTES); }

// The whole system started again as at boot, interrupts on at the end, so
// that every path flies from the same state.
void restart()
{
    cli();
    kern::reset_modules();
    kern::start_up();
    kern::Commands_RegisterAll();
    switches_on();
    kern::Console_WriteLine(REMINDER);
}

void report_tally(const char* path, const char* state, const Tally& t)
{
    put("BENCH flight ");
    put(path);
    put(" ");
    put(state);
    put_field(t.frames);
    put_field(t.frames ? t.ns / t.frames : 0);
    put_field(t.worst_ns);
    put_field(static_cast<uint64_t>(t.worst_frame));
    put_field(t.frames ? t.bytes / t.frames : 0);
    put_field(t.worst_bytes);
    put("\n");
}

void report_frame(int n, uint64_t ns, uint64_t bytes)
{
    put("BENCH frame");
    put_field(static_cast<uint64_t>(n));
    put(" ");
    put(console_state_name(console_state()));
    put_field(ns);
    put_field(bytes);
    put("\n");
}

void add(Tally& t, int frame, uint64_t ns, uint64_t bytes)
{
    t.frames++;
    t.ns += ns;
    t.bytes += bytes;
    t.worst_frame = ns > t.worst_ns ? frame : t.worst_frame;
    t.worst_ns = ns > t.worst_ns ? ns : t.worst_ns;
    t.worst_bytes = bytes > t.worst_bytes ? bytes : t.worst_bytes;
}

// One untimed frame first, from the flight's first camera (the emulator
// translates the code; the display shows a frame of the flight).
void fly(const char* path, bool everything)
{
    restart();
    kern::Redraw_Everything(everything);
    flight_frame(cube, 0);
    Tally tally[CONSOLE_STATES + 1] = {};
    bool same = true;
    for (int n = 0; n < FLIGHT_FRAMES; n++) {
        flight_keys(n);
        uint64_t bytes = kern::VideoBytesWritten();
        uint64_t start = read_tsc();
        flight_frame(cube, n);
        uint64_t ns = tsc_to_ns(read_tsc() - start, rate);
        bytes = kern::VideoBytesWritten() - bytes;
        add(tally[console_state()], n, ns, bytes);
        if (!everything)
            report_frame(n, ns, bytes);
        add(tally[CONSOLE_STATES], n, ns, bytes);
        uint32_t h = display_hash();
        same = same && (everything || flight_hashes[n] == h);
        flight_hashes[n] = h;
    }
    for (int s = 0; s < CONSOLE_STATES; s++)
        report_tally(path, console_state_name(static_cast<ConsoleState>(s)), tally[s]);
    report_tally(path, "all", tally[CONSOLE_STATES]);
    if (everything)
        return;
    failures += same ? 0 : 1;
    put(same ? "BENCH check flight same\n" : "BENCH check flight DIFFERENT\n");
}

// The full path (every frame cleared, drawn and copied whole) records each
// frame's display; the frame loop's own path must show the very same.
void flight()
{
    fly("full", true);
    fly("changed", false);
}

void start_up()
{
    kern::start_modules();   // interrupts stay off until frames() measures them
    switches_on();
    build_cube(cube);
    kern::Console_WriteLine(REMINDER);
}

} // namespace
} // namespace bench

using namespace bench;

void kmain()
{
    start_up();
    report_rate();
    baselines();
    scenes();
    cube_views();
    frames();
    flight();
    report_rate();
    put("BENCH end");
    put_field(static_cast<uint64_t>(failures));
    put("\n");
    // The emulator's isa-debug-exit device: a write of v ends it with exit
    // status (v << 1) | 1.
    outb(machine::DEBUG_EXIT, failures == 0 ? 0 : 1);
    for (;;) {   // no exit device: stay halted
        cli();
        hlt();
    }
}
