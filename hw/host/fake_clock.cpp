#include "fake_clock.h"
#include "machine.h"
#include "hw_host.h"

#include <memory>

namespace hwsim {
namespace {

const uint8_t CHANNEL_BITS = 0xC0;
const uint8_t CHANNEL2 = 0x80;
const uint8_t ACCESS_BITS = 0x30;     // 00: latch command
const uint8_t RETRACE = 0x08;
const uint64_t PIT_HZ = 1193182;
const uint64_t NS_PER_SECOND = 1000000000;

struct Clock {
    ClockOptions options;
    uint64_t ns = 0;
    uint8_t control = 0;        // port 0x61 as written
    uint32_t reload = 0;        // channel 2's, 65536 for a written 0
    bool low_written = false;
    uint64_t load_ns = 0;       // when the reload's high byte came
    uint16_t latched = 0;
    int latched_bytes = 0;      // still to be read
    int status_reads = 0;
};

std::shared_ptr<Clock> clock;

uint64_t tick()
{
    clock->ns += clock->options.ns_per_read;
    return clock->ns;
}

// Mode 2 counts reload, reload - 1, ..., 1, then reload again.
uint16_t count()
{
    const Clock& c = *clock;
    if (c.reload == 0)
        return 0;
    uint64_t clocks = clock_timer_clocks(c.ns - c.load_ns);
    return static_cast<uint16_t>(c.reload - clocks % c.reload);
}

void write(uint16_t port, uint8_t v)
{
    Clock& c = *clock;
    if (port == machine::SYSTEM_CONTROL) {
        c.control = v;
    } else if (port == machine::PIT_COMMAND) {
        if ((v & CHANNEL_BITS) != CHANNEL2)
            return;
        if ((v & ACCESS_BITS) == 0) {
            c.latched = count();
            c.latched_bytes = 2;
        } else {
            c.low_written = false;
            c.reload = 0;
        }
    } else if (!c.low_written) {
        c.reload = v;
        c.low_written = true;
    } else {
        c.reload |= v << 8;
        if (c.reload == 0)
            c.reload = 65536;
        c.load_ns = c.ns;
    }
}

uint16_t read(uint16_t port)
{
    uint64_t now = tick();
    Clock& c = *clock;
    if (port == machine::SYSTEM_CONTROL)
        return c.control;
    if (port == machine::PIT_CHANNEL2) {
        if (c.latched_bytes == 0)
            return 0xFF;
        return static_cast<uint8_t>(c.latched >> (8 * (2 - c.latched_bytes--)));
    }
    if (!c.options.timed_retrace)
        return c.status_reads++ % 2 ? RETRACE : 0;
    return now % c.options.refresh_ns < c.options.retrace_ns ? RETRACE : 0;
}

} // namespace

void clock_attach(ClockOptions options)
{
    clock = std::make_shared<Clock>();
    clock->options = options;
    for (uint16_t p : {machine::PIT_CHANNEL2, machine::PIT_COMMAND, machine::SYSTEM_CONTROL})
        on_out(p, write);
    for (uint16_t p : {machine::PIT_CHANNEL2, machine::SYSTEM_CONTROL, machine::VGA_INPUT_STATUS})
        on_in(p, read);
}

uint64_t clock_ns() { return clock->ns; }
void clock_advance(uint64_t ns) { clock->ns += ns; }
uint64_t clock_refresh_index(uint64_t ns) { return ns / clock->options.refresh_ns; }

uint64_t clock_timer_clocks(uint64_t ns)
{
    return ns / NS_PER_SECOND * PIT_HZ + ns % NS_PER_SECOND * PIT_HZ / NS_PER_SECOND;
}

} // namespace hwsim
