#include "fake_clock.h"
#include "hw_host.h"

#include <memory>

namespace hwsim {
namespace {

const uint16_t PIT_CHANNEL2 = 0x42;
const uint16_t PIT_COMMAND = 0x43;
const uint16_t SYSTEM_CONTROL = 0x61;
const uint16_t INPUT_STATUS = 0x3DA;
const uint8_t OUT2 = 0x20;
const uint8_t GATE2 = 0x01;
const uint8_t RETRACE = 0x08;
const uint64_t PIT_HZ = 1193182;
const uint64_t NS_PER_SECOND = 1000000000;

struct Clock {
    ClockOptions options;
    uint64_t ns = 0;
    uint8_t control = 0;        // port 0x61 as written
    uint16_t count = 0;         // channel 2's reload, low byte first
    bool low_written = false;
    bool counting = false;
    uint64_t count_start = 0;   // ns when the high byte came
    int status_reads = 0;
    uint64_t reads = 0;
};

std::shared_ptr<Clock> clock;

// `n` at `hz` per second over `ns`, in two parts so nothing overflows.
uint64_t scaled(uint64_t ns, uint64_t hz)
{
    return ns / NS_PER_SECOND * hz + ns % NS_PER_SECOND * hz / NS_PER_SECOND;
}

uint64_t tick()
{
    Clock& c = *clock;
    c.ns += c.options.ns_per_read;
    if (++c.reads == c.options.stall_at_read)
        c.ns += c.options.stall_ns;
    return c.ns;
}

bool out2()
{
    const Clock& c = *clock;
    if (c.options.channel2_stuck || !c.counting || !(c.control & GATE2))
        return false;
    return scaled(c.ns - c.count_start, PIT_HZ) >= c.count;
}

void write(uint16_t port, uint8_t v)
{
    Clock& c = *clock;
    if (port == SYSTEM_CONTROL) {
        c.control = v;
    } else if (port == PIT_COMMAND) {
        c.low_written = false;
        c.counting = false;
    } else if (!c.low_written) {
        c.count = v;
        c.low_written = true;
    } else {
        c.count = static_cast<uint16_t>(c.count | v << 8);
        c.counting = true;
        c.count_start = c.ns;
    }
}

uint16_t read(uint16_t port)
{
    uint64_t now = tick();
    Clock& c = *clock;
    if (port == SYSTEM_CONTROL)
        return static_cast<uint8_t>((c.control & ~OUT2) | (out2() ? OUT2 : 0));
    if (!c.options.timed_retrace)
        return c.status_reads++ % 2 ? RETRACE : 0;
    return now % c.options.refresh_ns < c.options.retrace_ns ? RETRACE : 0;
}

} // namespace

void clock_attach(ClockOptions options)
{
    clock = std::make_shared<Clock>();
    clock->options = options;
    for (uint16_t p : {PIT_CHANNEL2, PIT_COMMAND, SYSTEM_CONTROL})
        on_out(p, write);
    for (uint16_t p : {SYSTEM_CONTROL, INPUT_STATUS})
        on_in(p, read);
    on_rdtsc([] { return scaled(tick(), clock->options.tsc_hz); });
}

uint64_t clock_ns() { return clock->ns; }
void clock_advance(uint64_t ns) { clock->ns += ns; }
uint64_t clock_refresh_index(uint64_t ns) { return ns / clock->options.refresh_ns; }

} // namespace hwsim
