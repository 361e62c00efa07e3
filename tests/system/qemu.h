// Booting a disk image in qemu-system-i386 (TCG, headless) for system tests,
// and talking to it: QMP on a local socket, the serial line through a file
// (and a FIFO to type on), and the gdb stub for breakpoints.
//
//   qemu::Machine m = qemu::start({DISK_IMAGE});
//   ASSERT_TRUE(qemu::wait_serial(m, "Hello!\n", 5));
//   qemu::stop(m);
#pragma once
#include <stdint.h>
#include <sys/types.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace qemu {

typedef std::vector<uint8_t> Bytes;

struct Options {
    std::string disk;             // raw image (or a blkdebug: name of one)
    bool paused = false;          // start with the CPU stopped (for breakpoints)
    std::vector<std::string> extra;
    bool serial_input = false;    // a FIFO to type on the serial line (still logged to the file)
    std::string medium = "ide";   // how the disk is attached: ide, usb, ahci, floppy (qemu_args.sh)
};

struct Machine {
    pid_t pid = -1;
    int qmp = -1;                 // QMP socket
    int gdb = -1;                 // gdb stub socket
    int serial_in = -1;           // the serial line's input FIFO, with serial_input
    std::string dir;              // scratch directory: sockets, serial file, dumps
    std::string serial_path;
    std::vector<uint32_t> breakpoints;
};

// Starts QEMU and connects QMP and the gdb stub. Throws std::runtime_error.
Machine start(const Options& options);
// Quits QEMU (QMP quit, then a kill if it lingers) and removes its files.
void stop(Machine& m);
bool running(Machine& m);

// QMP: runs a command and returns its "return" value; throws on "error".
nlohmann::json qmp(Machine& m, const std::string& command,
                   const nlohmann::json& arguments = nlohmann::json::object());
// The human monitor, for "info registers" and friends.
std::string hmp(Machine& m, const std::string& command_line);

std::string serial(Machine& m);
// Sends bytes to the guest's serial line (needs serial_input).
void serial_send(Machine& m, const std::string& bytes);
// Waits until the serial output contains `text`.
bool wait_serial(Machine& m, const std::string& text, double seconds);

struct Cpu {
    uint32_t eip = 0;
    uint32_t esp = 0;
    bool halted = false;
};
Cpu cpu(Machine& m);
// Waits until the CPU sits in a halt (HLT=1).
bool wait_halted(Machine& m, double seconds);

Bytes physical_memory(Machine& m, uint32_t address, uint32_t size);
Bytes virtual_memory(Machine& m, uint32_t address, uint32_t size);

// The display as QMP's screendump gives it (PPM, 8-bit RGB).
struct Screen {
    int width = 0;
    int height = 0;
    Bytes rgb;
};
Screen screendump(Machine& m);

// One key event per input-send-event (the PS/2 queue holds 16 bytes).
void key(Machine& m, const std::string& qcode, bool down);
// Down, about 20 ms, up, about 20 ms.
void tap(Machine& m, const std::string& qcode);
// Down and up in one input-send-event: both reach the guest at once, well
// within a frame.
void tap_at_once(Machine& m, const std::string& qcode);
void type(Machine& m, const std::string& text);   // letters, digits, space
void sleep_ms(int ms);

// gdb stub: software breakpoints at virtual addresses, continue, wait.
void break_at(Machine& m, uint32_t address);
void clear_break(Machine& m, uint32_t address);
// Continues; from a breakpoint it first steps over it.
void resume(Machine& m);
// Waits for the CPU to stop (a breakpoint); returns false on timeout, and
// then the CPU is still running.
bool wait_stop(Machine& m, double seconds);
uint32_t stopped_eip(Machine& m);

} // namespace qemu
