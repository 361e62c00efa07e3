// The running system in QEMU: the serial transcript, the frames on the
// display against the host's own render, keys, the console and its
// commands, and that the machine keeps running.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "elf.h"
#include "png.h"
#include "qemu.h"
#include "render.h"
#include "transcript.h"

using namespace testing_support;

namespace {


const kern::Fixed START_Z = -4096 * kern::FIXED_ONE;
const kern::Fixed STEP = 256 * kern::FIXED_ONE;

const Bytes& kernel() { static Bytes k = read_file(KERNEL_FILE); return k; }
uint32_t symbol(const std::string& name) { return find_symbol(kernel(), name).value; }

qemu::Machine boot_running(bool paused = false)
{
    qemu::Machine m = qemu::start({DISK_IMAGE, paused, {}});
    return m;
}

uint32_t read_word(qemu::Machine& m, uint32_t address)
{
    return get32(qemu::virtual_memory(m, address, 4), 0);
}

// Waits until the frame loop has shown `n` more frames. A busy host runs
// the instruction-counted machine slower than the wall clock, so this
// counts frames instead of trusting a time.
bool wait_frames(qemu::Machine& m, int n)
{
    uint32_t shown = symbol("kern::framesShown");
    uint32_t until = read_word(m, shown) + n;
    for (int i = 0; i < 3000; i++) {
        if (static_cast<int32_t>(read_word(m, shown) - until) >= 0)
            return true;
        qemu::sleep_ms(5);
    }
    return false;
}

bool wait_started(qemu::Machine& m)
{
    return qemu::wait_serial(m, "Also 8MiB of allocable memory after the stack!\n", 30) && wait_frames(m, 2);
}

// The guest's 320x200 frame as palette indices, read back from the display
// (each guest pixel is 2x2 in the 640x400 dump); -1 where a colour is not
// the palette's.
std::vector<int> displayed(qemu::Machine& m)
{
    qemu::Screen s = qemu::screendump(m);
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 400);
    std::vector<int> frame(kern::SCREEN_BYTES, -1);
    for (int y = 0; y < kern::SCREEN_HEIGHT; y++)
        for (int x = 0; x < kern::SCREEN_WIDTH; x++) {
            const uint8_t* p = &s.rgb[3 * (static_cast<size_t>(2 * y) * s.width + 2 * x)];
            for (int i = 0; i < 256; i++) {
                const Rgb6& c = vga_palette.colour[i];
                if (p[0] == dac_to_8bit(c.r) && p[1] == dac_to_8bit(c.g) && p[2] == dac_to_8bit(c.b)) {
                    frame[y * kern::SCREEN_WIDTH + x] = i;
                    break;
                }
            }
        }
    return frame;
}

int differing(const std::vector<int>& shown, const render::Frame& expected, int first_row = 0)
{
    int n = 0;
    for (size_t i = static_cast<size_t>(first_row) * kern::SCREEN_WIDTH; i < expected.size(); i++)
        n += shown[i] != expected[i];
    return n;
}

render::Frame view(kern::Fixed z, int32_t yaw = 0)
{
    static bool mapped = render::map_back_buffer();
    EXPECT_TRUE(mapped);
    return render::render_frame({{0, 0, z}, 0, yaw}, render::all_on());
}

// The first k of 1..most whose frame is the one shown, or -1.
int steps_shown(const std::vector<int>& shown, int most, render::Frame (*frame_after)(int k))
{
    for (int k = 1; k <= most; k++)
        if (differing(shown, frame_after(k)) == 0)
            return k;
    return -1;
}

// Holds a key for a few frames, then lets the loop show the result.
void hold(qemu::Machine& m, const std::string& qcode, int frames)
{
    qemu::key(m, qcode, true);
    wait_frames(m, frames);
    qemu::key(m, qcode, false);
    wait_frames(m, 3);
}

std::string after_startup(qemu::Machine& m)
{
    // The loader's lines come first.
    std::string s = qemu::serial(m);
    size_t start = s.find(STARTUP_LINES);
    return start == std::string::npos ? s : s.substr(start + STARTUP_LINES.size());
}

void open_console(qemu::Machine& m)
{
    qemu::key(m, "grave_accent", true);
    wait_frames(m, 2);
    qemu::key(m, "grave_accent", false);
    wait_frames(m, 11);
}

} // namespace

TEST(Running, TheSerialLineCarriesTheStartUpLines)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    qemu::wait_serial(m, STARTUP_LINES + ">", 10);
    std::string serial = qemu::serial(m);
    size_t start = serial.find(STARTUP_LINES);
    ASSERT_NE(start, std::string::npos) << serial;
    EXPECT_EQ(serial.substr(start), STARTUP_LINES + ">");   // the prompt: ready for input
    qemu::stop(m);
}

TEST(Running, TheDisplayShowsTheHostsFrameOfTheStartCamera)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    std::vector<int> shown = displayed(m);
    EXPECT_EQ(differing(shown, view(START_Z)), 0);

    qemu::stop(m);
}

// The image from a disk that is no IDE disk, with none on the IDE channel:
// the loader says it reads through the BIOS, for the boot drive, on a line
// of its own after its banner, and the rest is as from the IDE disk, the
// listing, the start-up lines and the first frame.
static void expect_boot_through_the_bios(const std::string& medium, const std::string& drive)
{
    qemu::Machine m = qemu::start({DISK_IMAGE, false, {}, false, medium});
    bool started = wait_started(m);
    std::vector<int> shown = displayed(m);
    std::string serial = qemu::serial(m);
    qemu::stop(m);
    ASSERT_TRUE(started) << serial;
    EXPECT_EQ(differing(shown, view(START_Z)), 0);
    std::string head = "Quillon's Rattlebox Bootloader II\n\nNo ATA drive answers: reading BIOS drive " +
                       drive + "\nFAT12 Filesystem Info\nReserved Sectors: 32\n";
    EXPECT_EQ(serial.substr(0, head.size()), head);
    std::string tail = " <-- KERNEL\n\nLoading Kernel to temp location. Reloc 0xC0000000\n\n"
                       "KRNL.VOX loaded at 0xBFC10820\n" + STARTUP_LINES;
    EXPECT_NE(serial.find(tail), std::string::npos) << serial;
}

TEST(Running, FromAUsbStickThroughTheBios) { expect_boot_through_the_bios("usb", "0x80"); }
TEST(Running, FromAnAhciDiskThroughTheBios) { expect_boot_through_the_bios("ahci", "0x80"); }
TEST(Running, FromAFloppyThroughTheBios) { expect_boot_through_the_bios("floppy", "0x0"); }

TEST(Running, AScreenshotOfAFlight)
{
    // The README's picture, taken through the same screendump path.
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    hold(m, "q", 12);   // down, right and back: the cube below the console
    hold(m, "d", 20);
    hold(m, "s", 24);
    hold(m, "i", 1);
    hold(m, "j", 7);
    open_console(m);
    qemu::type(m, "help\n");
    ASSERT_TRUE(qemu::wait_serial(m, "Nobody is coming to help you.\n", 10));
    wait_frames(m, 2);
    std::vector<int> shown = displayed(m);
    qemu::stop(m);

    std::set<int> scene, console;
    for (int y = 0; y < kern::SCREEN_HEIGHT; y++)
        for (int x = 0; x < kern::SCREEN_WIDTH; x++) {
            int p = shown[y * kern::SCREEN_WIDTH + x];
            ASSERT_GE(p, 0) << "not a palette colour at " << x << "," << y;
            (y < 100 ? console : scene).insert(p);
        }
    EXPECT_EQ(console, (std::set<int>{8, 15}));   // background and text
    EXPECT_GE(scene.size(), 3u);                   // black and at least two faces

    png::Image image{2 * kern::SCREEN_WIDTH, 2 * kern::SCREEN_HEIGHT, {}};
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++)
            image.pixels.push_back(static_cast<uint8_t>(shown[(y / 2) * kern::SCREEN_WIDTH + x / 2]));
    EXPECT_TRUE(png::write_indexed(SCREENSHOT_DIR "/screenshot.png", image));
}

TEST(Running, HoldingLTurnsTheViewByWholeYawSteps)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    hold(m, "l", 5);
    EXPECT_GT(steps_shown(displayed(m), 200, [](int k) { return view(START_Z, 64 * k); }), 0)
        << "no whole number of yaw steps gives the frame shown";
    qemu::stop(m);
}

TEST(Running, HoldingWMovesForward)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    hold(m, "w", 3);
    // 16 steps would put the camera inside the cube.
    EXPECT_GT(steps_shown(displayed(m), 15, [](int k) { return view(START_Z + k * STEP); }), 0)
        << "no whole number of forward steps gives the frame shown";
    qemu::stop(m);
}

TEST(Running, KeysReachTheKeyTableThroughTheKeyboardInterrupt)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    uint32_t w = symbol("kern::keys") + 4 * 0x11;
    auto becomes = [&](uint32_t want) {
        for (int i = 0; i < 400; i++, qemu::sleep_ms(5))
            if (read_word(m, w) == want)
                return true;
        return false;
    };
    EXPECT_TRUE(becomes(0));
    qemu::key(m, "w", true);
    EXPECT_TRUE(becomes(1));
    qemu::key(m, "w", false);
    EXPECT_TRUE(becomes(0));
    qemu::stop(m);
}

TEST(Running, TimerTicksAdvance)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    uint32_t ticks = symbol("kern::currentTimer");
    uint32_t t0 = read_word(m, ticks);
    qemu::sleep_ms(200);
    uint32_t t1 = read_word(m, ticks);
    // Programmed for 59659 a second; an emulator delivers fewer (measured
    // here: about a third when idle), never more.
    EXPECT_GT(t1 - t0, 100u);
    EXPECT_LT(t1 - t0, 59659u * 2 / 5);
    qemu::stop(m);
}

TEST(Running, TheConsoleSlidesDownTenPixelsAFrame)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    uint32_t offset = symbol("kern::console_offset");
    EXPECT_EQ(static_cast<int32_t>(read_word(m, offset)), -819200);
    // Held until the loop has seen it: a tap between two frames is missed.
    qemu::key(m, "grave_accent", true);
    std::set<int32_t> seen;
    for (int i = 0; i < 5000 && !seen.count(-409600); i++)
        seen.insert(static_cast<int32_t>(read_word(m, offset)));
    qemu::key(m, "grave_accent", false);
    ASSERT_TRUE(seen.count(-409600));
    EXPECT_GE(seen.size(), 3u);   // some of the slide caught on the way
    for (int32_t v : seen) {
        EXPECT_GE(v, -819200);
        EXPECT_LE(v, -409600);
        EXPECT_EQ((v + 819200) % 40960, 0) << v;
    }
    // Open: rows 0-99 are the console, the scene below is untouched.
    wait_frames(m, 2);
    std::vector<int> shown = displayed(m);
    EXPECT_EQ(differing(shown, view(START_Z), 100), 0);
    for (int x = 0; x < kern::SCREEN_WIDTH; x++)
        EXPECT_TRUE(shown[99 * kern::SCREEN_WIDTH + x] == 8 || shown[99 * kern::SCREEN_WIDTH + x] == 15);
    qemu::stop(m);
}

TEST(Running, CommandsAnswerOnTheSerialLine)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    open_console(m);
    qemu::type(m, "meminfo\nmemregion\nhelp\ntest\nwhat\nclear\n");
    // The prompt comes once clear has run: wait for it, not the echo.
    ASSERT_TRUE(qemu::wait_serial(m, ">clear\n>", 60)) << after_startup(m);
    EXPECT_EQ(after_startup(m),
              ">meminfo\n"
              "Heap Size / Used / Free / Regions\n"
              "8388608 / 1061376 / 7327232 / 2\n"
              ">memregion\n"
              "12288b by ./kern/command:28\n"
              "1049088b by ./kern/texture:13\n"
              ">help\n"
              "Nobody is coming to help you.\n"
              ">test\n"
              "Hello!\n"
              ">what\n"
              "Command not found.\n"
              ">clear\n>");
    qemu::stop(m);
}

TEST(Running, CameraKeysDoNothingWhileTheConsoleIsOpenAndEscapeClosesIt)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    open_console(m);
    hold(m, "w", 3);
    hold(m, "l", 3);
    qemu::tap(m, "esc");
    wait_frames(m, 12);
    EXPECT_EQ(static_cast<int32_t>(read_word(m, symbol("kern::console_offset"))), -819200);
    EXPECT_EQ(differing(displayed(m), view(START_Z)), 0);
    qemu::stop(m);
}

TEST(Running, TheKernelNeverHaltsNorFaultsWhileFlown)
{
    qemu::Machine m = boot_running(true);
    for (const char* name : {"halt", "idivzero_handler", "ifatal_handler"})
        qemu::break_at(m, symbol(name));
    qemu::resume(m);
    ASSERT_TRUE(wait_started(m));
    for (const char* k : {"w", "a", "s", "d", "q", "e", "i", "j", "k", "l"})
        hold(m, k, 3);
    open_console(m);
    qemu::type(m, "meminfo\n");
    qemu::tap(m, "esc");
    EXPECT_FALSE(qemu::wait_stop(m, 0.5)) << "stopped at " << std::hex << qemu::stopped_eip(m);
    EXPECT_FALSE(qemu::cpu(m).halted);
    qemu::stop(m);
}

// Boots to the kernel's entry with Enter pressed and released while the
// loader ran. True when the keyboard's line (1) was raised before the kernel
// began; a busy host may deliver the key only after the machine stopped.
bool boot_with_a_key_in_the_loader(qemu::Machine& m)
{
    uint32_t loader = find_symbol(read_file(STAGE4_ELF), "st4main").value;
    uint32_t kernel_start = symbol("start");
    qemu::break_at(m, loader);
    qemu::resume(m);
    if (!qemu::wait_stop(m, 20))
        return false;
    qemu::clear_break(m, loader);
    qemu::break_at(m, kernel_start);
    qemu::resume(m);
    qemu::key(m, "ret", true);   // a stopped machine takes no input: send while it loads
    qemu::key(m, "ret", false);
    if (!qemu::wait_stop(m, 20))
        return false;
    qemu::clear_break(m, kernel_start);
    std::string pic = qemu::hmp(m, "info pic");
    size_t irr = pic.find("pic0: irr=");
    return irr != std::string::npos && (std::stoul(pic.substr(irr + 10, 2), nullptr, 16) & 0x02);
}

// Enter let go while the loader runs, as after picking a boot device: the
// byte waits in the keyboard controller with interrupts off, and the
// controllers' set-up forgets the request. The keyboard must still work.
TEST(Running, AKeyPressedWhileTheLoaderRunsLeavesTheKeyboardWorking)
{
    const int ATTEMPTS = 3;
    qemu::Machine m;
    bool pending = false;
    for (int i = 0; i < ATTEMPTS && !pending; i++) {
        if (i > 0)
            qemu::stop(m);
        m = boot_running(true);
        pending = boot_with_a_key_in_the_loader(m);
    }
    ASSERT_TRUE(pending) << "the key never arrived while the loader ran";
    qemu::resume(m);
    ASSERT_TRUE(wait_started(m));
    open_console(m);
    qemu::type(m, "test\n");
    EXPECT_TRUE(qemu::wait_serial(m, ">test\nHello!\n", 60)) << after_startup(m);
    qemu::stop(m);
}

namespace {

const std::string REMINDER_END = "Also 8MiB of allocable memory after the stack!\n";

qemu::Machine boot_typing()
{
    return qemu::start({DISK_IMAGE, false, {}, true});
}

// What the kernel wrote after its start-up lines.
std::string after_reminder(qemu::Machine& m)
{
    std::string s = qemu::serial(m);
    size_t at = s.find(REMINDER_END);
    return at == std::string::npos ? "" : s.substr(at + REMINDER_END.size());
}

render::Frame start_view_with(const render::Switches& switches)
{
    view(START_Z);   // maps the back buffer
    return render::render_frame(render::start_view(), switches);
}

// PgUp on the open console changes the picture; PgDn gives the same one back.
void expect_paging_changes_and_restores_the_picture(qemu::Machine& m)
{
    wait_frames(m, 2);
    std::vector<int> newest = displayed(m);
    qemu::tap(m, "pgup");
    wait_frames(m, 3);
    std::vector<int> older = displayed(m);
    qemu::tap(m, "pgdn");
    wait_frames(m, 3);
    EXPECT_FALSE(older == newest);
    EXPECT_TRUE(displayed(m) == newest);
}

} // namespace

TEST(RunningSerial, CommandsTypedOnTheSerialLineAnswerThereWithTheConsoleClosed)
{
    qemu::Machine m = boot_typing();
    ASSERT_TRUE(wait_started(m));
    std::string pasted;
    for (int i = 0; i < 79; i++)
        pasted.push_back(static_cast<char>('!' + i));
    // Sent at once: the guest's receiver takes what the socket holds as its
    // FIFO drains, as a pasted line arrives on a real line.
    qemu::serial_send(m, "test\rmemregion\r\ncull\rcull\rperspective\rview\rmodel\r"
                         "hxx\x7f\x08" "elp\r" + pasted + "\r\x1b[A\x1b[A\x1b[A\r");
    // Erasures show as they happen, and each recalled command is drawn in
    // place of the one before it.
    const std::string expected = ">test\nHello!\n"
                                 ">memregion\n12288b by ./kern/command:28\n1049088b by ./kern/texture:13\n"
                                 ">cull\nBackface culling DISABLED\n"
                                 ">cull\nBackface culling ENABLED\n"
                                 ">perspective\nPerspective projection DISABLED\n"
                                 ">view\nView vector/matrix transform DISABLED\n"
                                 ">model\nModel transform matrix DISABLED\n"
                                 ">hxx\b \b\b \belp\nNobody is coming to help you.\n"
                                 ">" + pasted + "\nCommand not found.\n"
                                 ">" + pasted + "\r\x1b[K>help\r\x1b[K>model\nModel transform matrix ENABLED\n>";
    ASSERT_TRUE(qemu::wait_serial(m, REMINDER_END + expected, 60)) << after_reminder(m);
    EXPECT_EQ(after_reminder(m), expected);

    // The rate is whatever this host manages, once a second has been
    // measured; the camera has not moved.
    wait_frames(m, 80);
    qemu::serial_send(m, "fps\r");
    ASSERT_TRUE(qemu::wait_serial(m, "yaw 0\n>", 30)) << after_reminder(m);
    std::string fps = after_reminder(m).substr(expected.size());
    std::smatch rate;
    ASSERT_TRUE(std::regex_match(fps, rate, std::regex("fps\n([0-9]+) fps, x 0.0 y 0.0 z -4096.0, pitch 0 yaw 0\n>")))
        << fps;
    EXPECT_GT(std::stoi(rate[1]), 0);
    wait_frames(m, 2);
    EXPECT_EQ(static_cast<int32_t>(read_word(m, symbol("kern::console_offset"))), -819200);
    std::vector<int> shown = displayed(m);
    qemu::stop(m);
    EXPECT_EQ(differing(shown, start_view_with({1, 1, 0, 0})), 0);
}

TEST(RunningSerial, HomeAfterTurningShowsTheStartFrameAgain)
{
    qemu::Machine m = boot_typing();
    ASSERT_TRUE(wait_started(m));
    hold(m, "l", 5);
    EXPECT_NE(differing(displayed(m), view(START_Z)), 0);
    qemu::serial_send(m, "home\r");
    ASSERT_TRUE(qemu::wait_serial(m, ">home\nCamera back at the start\n>", 30)) << after_reminder(m);
    wait_frames(m, 3);
    EXPECT_EQ(differing(displayed(m), view(START_Z)), 0);
    qemu::stop(m);
}

TEST(Running, UpTwiceRerunsTheCommandBeforeLastAndPageKeysMoveTheView)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    open_console(m);
    qemu::type(m, "test\nhelp\n");
    for (const char* key : {"up", "up", "ret"})
        qemu::tap(m, key);
    ASSERT_TRUE(qemu::wait_serial(m, "help you.\n>test\nHello!\n>", 30)) << after_reminder(m);
    EXPECT_EQ(after_reminder(m), ">test\nHello!\n>help\nNobody is coming to help you.\n>test\nHello!\n>");

    expect_paging_changes_and_restores_the_picture(m);
    qemu::stop(m);
}

TEST(RunningSerial, TheTerminalShowsTypingErasuresAndARecallBeforeItRuns)
{
    qemu::Machine m = boot_typing();
    ASSERT_TRUE(wait_started(m));
    ASSERT_TRUE(qemu::wait_serial(m, REMINDER_END + ">", 10));
    qemu::serial_send(m, "fpx");
    ASSERT_TRUE(qemu::wait_serial(m, REMINDER_END + ">fpx", 10)) << after_reminder(m);
    qemu::serial_send(m, "\x08");
    ASSERT_TRUE(qemu::wait_serial(m, ">fpx\b \b", 10)) << after_reminder(m);
    qemu::serial_send(m, "s\r");
    ASSERT_TRUE(qemu::wait_serial(m, "yaw 0\n>", 30)) << after_reminder(m);
    EXPECT_TRUE(std::regex_match(after_reminder(m),
                                 std::regex(">fpx\b \bs\n[0-9]+ fps, x 0.0 y 0.0 z -4096.0, pitch 0 yaw 0\n>")))
        << after_reminder(m);

    std::string before = after_reminder(m);
    qemu::serial_send(m, "\x1b[A");
    ASSERT_TRUE(qemu::wait_serial(m, before + "fps", 10)) << after_reminder(m);
    wait_frames(m, 3);
    EXPECT_EQ(after_reminder(m), before + "fps");   // shown, not run
    qemu::serial_send(m, "\r");
    ASSERT_TRUE(qemu::wait_serial(m, before + "fps\n", 10)) << after_reminder(m);
    qemu::stop(m);
}

TEST(RunningSerial, EightHundredLinesPastedInOneWriteAllAnswerInOrder)
{
    qemu::Machine m = boot_typing();
    ASSERT_TRUE(wait_started(m));
    std::string paste, answers = ">";
    for (int i = 0; i < 800; i++) {
        paste += "test\r";
        answers += "test\nHello!\n>";
    }
    ASSERT_EQ(paste.size(), 4000u);
    qemu::serial_send(m, paste);
    qemu::wait_serial(m, answers, 90);
    EXPECT_EQ(after_reminder(m), answers);
    qemu::stop(m);
}

TEST(RunningSerial, ABurstOfRandomBytesLeavesTheConsoleAnswering)
{
    qemu::Machine m = boot_typing();
    ASSERT_TRUE(wait_started(m));
    std::string burst;
    uint32_t seed = 12345;
    for (int i = 0; i < 3000; i++) {
        seed = seed * 1103515245u + 12345u;
        burst.push_back(static_cast<char>(seed >> 24));
    }
    // The burst's own last line is ended first: what follows is a line of its own.
    qemu::serial_send(m, burst + "\rtest\r");
    EXPECT_TRUE(qemu::wait_serial(m, ">test\nHello!\n>", 60)) << after_reminder(m).size();
    EXPECT_FALSE(qemu::cpu(m).halted);
    qemu::stop(m);
}

TEST(Running, ABackquoteTapInOneEventOpensTheConsoleEveryTime)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    uint32_t offset = symbol("kern::console_offset");
    int opened = 0;
    for (int i = 0; i < 6; i++) {
        qemu::tap_at_once(m, "grave_accent");
        wait_frames(m, 12);
        opened += static_cast<int32_t>(read_word(m, offset)) == -409600;
        qemu::tap_at_once(m, "esc");
        wait_frames(m, 12);
        ASSERT_EQ(static_cast<int32_t>(read_word(m, offset)), -819200) << i;
    }
    EXPECT_EQ(opened, 6);
    qemu::stop(m);
}

TEST(Running, ATappedWMovesTheCameraOneStep)
{
    qemu::Machine m = boot_running();
    ASSERT_TRUE(wait_started(m));
    qemu::tap_at_once(m, "w");
    wait_frames(m, 3);
    EXPECT_EQ(differing(displayed(m), view(START_Z + STEP)), 0);
    qemu::stop(m);
}

TEST(RunningSerial, PageUpChangesThePictureAfterThirtyCommandsAndPageDownRestoresIt)
{
    qemu::Machine m = boot_typing();
    ASSERT_TRUE(wait_started(m));
    open_console(m);
    std::string commands;
    for (int i = 0; i < 30; i++)
        commands += "test\r";
    qemu::serial_send(m, commands);
    std::string answers;
    for (int i = 0; i < 30; i++)
        answers += "test\nHello!\n>";
    ASSERT_TRUE(qemu::wait_serial(m, answers, 30)) << after_reminder(m);
    expect_paging_changes_and_restores_the_picture(m);
    qemu::stop(m);
}
