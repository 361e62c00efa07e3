// Recording double of the hardware seam.
#include "hw.h"
#include "hw_host.h"

#include <cstring>
#include <map>

namespace hwsim {
namespace {

struct State {
    std::vector<Access> trace;
    std::map<uint16_t, InHandler> in;
    std::map<uint16_t, OutHandler> out;
    BiosHandler bios;
    bool tracing = true;
    bool interrupts = false;
    bool entry_returns = false;
    uint32_t entered = 0;
    int fninits = 0;
    int lidts = 0;
    uint8_t descriptor[6] = {};
};

State& state()
{
    static State s;
    return s;
}

void record(Op op, uint16_t port, uint16_t value)
{
    if (state().tracing)
        state().trace.push_back({op, port, value});
}

uint16_t answer(uint16_t port)
{
    auto it = state().in.find(port);
    return it == state().in.end() ? 0xFFFF : it->second(port);
}

} // namespace

void reset() { state() = State(); }
void on_in(uint16_t port, InHandler handler) { state().in[port] = std::move(handler); }
void on_out(uint16_t port, OutHandler handler) { state().out[port] = std::move(handler); }
void on_bios_disk(BiosHandler handler) { state().bios = std::move(handler); }
void set_tracing(bool on) { state().tracing = on; }
const std::vector<Access>& trace() { return state().trace; }
void clear_trace() { state().trace.clear(); }

std::vector<Access> trace_without_delays()
{
    std::vector<Access> t;
    for (const Access& a : state().trace)
        if (!(a == delay()))
            t.push_back(a);
    return t;
}

bool every_access_delayed(const std::vector<Access>& t)
{
    if (t.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < t.size(); i += 2)
        if (t[i] == delay() || !(t[i + 1] == delay()))
            return false;
    return true;
}

void set_entry_returns(bool on) { state().entry_returns = on; }
uint32_t entered() { return state().entered; }
bool interrupts_enabled() { return state().interrupts; }
int fninit_count() { return state().fninits; }
const uint8_t* idt_descriptor() { return state().descriptor; }
int lidt_count() { return state().lidts; }

} // namespace hwsim

using namespace hwsim;

uint8_t inb(uint16_t port)
{
    uint8_t v = static_cast<uint8_t>(answer(port));
    record(Op::In8, port, v);
    return v;
}

uint16_t inw(uint16_t port)
{
    uint16_t v = answer(port);
    record(Op::In16, port, v);
    return v;
}

void outb(uint16_t port, uint8_t value)
{
    record(Op::Out8, port, value);
    auto it = state().out.find(port);
    if (it != state().out.end())
        it->second(port, value);
}

void io_delay() { outb(machine::IO_DELAY, 0x00); }
void cli() { state().interrupts = false; }
void sti() { state().interrupts = true; }
void hlt() { throw Halt{state().interrupts}; }

void lidt(const void* descriptor)
{
    std::memcpy(state().descriptor, descriptor, 6);
    state().lidts++;
}

void fninit() { state().fninits++; }

void bios_disk(BiosRegs& regs)
{
    if (state().bios) {
        state().bios(regs);
        return;
    }
    regs.eax = (regs.eax & 0xFFFF00FF) | 0x0100;
    regs.eflags |= BIOS_CARRY;
}

void call_entry(uint32_t address)
{
    state().entered = address;
    if (!state().entry_returns)
        throw Entry{address};
}
