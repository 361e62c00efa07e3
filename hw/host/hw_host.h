// Host double of the hardware seam (hw.h), for tests and host tools.
//
// Every port access is recorded in order; reads are answered by small device
// fakes registered per port (an unanswered read returns 0xFF, as a floating
// ISA bus does). hlt() and call_entry() throw, so a test catches a halt or a
// kernel entry as an event:
//
//   hwsim::reset();
//   EXPECT_THROW(st4main(), hwsim::Halt);
#pragma once
#include <stdint.h>
#include <functional>
#include <vector>

#include "hw.h"
#include "machine.h"

namespace hwsim {

enum class Op : uint8_t { In8, In16, Out8 };

struct Access {
    Op op;
    uint16_t port;
    uint16_t value;
    bool operator==(const Access& o) const
    {
        return op == o.op && port == o.port && value == o.value;
    }
};

// Thrown by hlt(): the program stopped. Records the interrupt flag.
struct Halt {
    bool interrupts_enabled;
};

// Thrown by call_entry(): the program jumped into a loaded image.
struct Entry {
    uint32_t address;
};

using InHandler = std::function<uint16_t(uint16_t port)>;
using OutHandler = std::function<void(uint16_t port, uint8_t value)>;
using BiosHandler = std::function<void(BiosRegs& regs)>;

// Forgets the trace, every device and the processor state.
void reset();

// Reads of `port` (8- or 16-bit) are answered by `handler`.
void on_in(uint16_t port, InHandler handler);
// Writes to `port` are passed to `handler` after being recorded.
void on_out(uint16_t port, OutHandler handler);

// BIOS disk calls are answered by `handler` (fake_bios_disk.h serves a disk
// image). Without one a call fails as on a BIOS without disk services: carry
// set, AH = 0x01.
void on_bios_disk(BiosHandler handler);

// Recording can be switched off for long runs (frame loops).
void set_tracing(bool on);
const std::vector<Access>& trace();
// The trace with the I/O delays (writes of 0 to port 0x80) left out.
std::vector<Access> trace_without_delays();
void clear_trace();

// Each access in the trace is followed by exactly one I/O delay.
bool every_access_delayed(const std::vector<Access>& t);

// Makes call_entry() return (as a program that returns would) instead of
// throwing; entered() then tells the last address called.
void set_entry_returns(bool on);
uint32_t entered();

bool interrupts_enabled();
int fninit_count();
// The 6 bytes of the last descriptor given to lidt(), and how many loads.
const uint8_t* idt_descriptor();
int lidt_count();

inline Access in8(uint16_t port, uint8_t v) { return {Op::In8, port, v}; }
inline Access in16(uint16_t port, uint16_t v) { return {Op::In16, port, v}; }
inline Access out8(uint16_t port, uint8_t v) { return {Op::Out8, port, v}; }
inline Access delay() { return {Op::Out8, machine::IO_DELAY, 0}; }

} // namespace hwsim
