// The time-stamp counter and its calibration against the interval timer.
//
// Counting timer interrupts would be no clock under emulation, which drops
// most of them; channel 2's own count is computed from the emulator's clock
// and is never lost. Channel 2 is the speaker's timer: its gate is bit 0 of
// port 0x61 and its output reads back as bit 5 of the same port.
#include "bench/qemu/clock.h"
#include "hw/hw.h"
#include "hw/machine.h"

namespace bench {

// 10 11 000 0: channel 2, low byte then high byte, mode 0 (interrupt on
// terminal count: the output goes low when the count is written and high
// when it reaches zero), binary.
const uint8_t PIT_CH2_LOHI_MODE0 = 0xB0;
const uint8_t GATE2 = 0x01;        // port 0x61 bit 0: channel 2 counts while set
const uint8_t SPEAKER_ON = 0x02;   // port 0x61 bit 1: kept clear, the speaker stays silent
const uint8_t OUT2 = 0x20;         // port 0x61 bit 5: channel 2's output
const uint32_t COUNTDOWN = 0xFFFF;
const uint64_t PIT_HZ = 1193182;
const uint64_t NS_PER_SECOND = 1000000000;

uint64_t read_tsc()
{
    uint32_t lo, hi;
    asm volatile("rdtsc" : "=a"(lo), "=d"(hi));
    return (static_cast<uint64_t>(hi) << 32) | lo;
}

static void out_delayed(uint16_t port, uint8_t value)
{
    outb(port, value);
    io_delay();
}

// One countdown: counter counts from the write of its high byte to zero.
static uint64_t countdown_tsc()
{
    out_delayed(machine::SYSTEM_CONTROL, static_cast<uint8_t>((inb(machine::SYSTEM_CONTROL) & ~SPEAKER_ON) | GATE2));
    out_delayed(machine::PIT_COMMAND, PIT_CH2_LOHI_MODE0);
    out_delayed(machine::PIT_CHANNEL2, static_cast<uint8_t>(COUNTDOWN));
    outb(machine::PIT_CHANNEL2, static_cast<uint8_t>(COUNTDOWN >> 8));
    uint64_t start = read_tsc();
    while ((inb(machine::SYSTEM_CONTROL) & OUT2) == 0) {
    }
    return read_tsc() - start;
}

uint64_t tsc_rate(int rounds)
{
    uint64_t counts = 0;
    for (int i = 0; i < rounds; i++)
        counts += countdown_tsc();
    return counts * PIT_HZ / (COUNTDOWN * static_cast<uint64_t>(rounds));
}

uint64_t tsc_to_ns(uint64_t counts, uint64_t rate) { return rate == 0 ? 0 : counts * NS_PER_SECOND / rate; }

} // namespace bench
