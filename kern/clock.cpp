// The time-stamp counter and its rate, measured against channel 2 of the
// interval timer. Channel 2's count is computed from the machine's own
// clock, by emulators too, and is never lost. Its gate is bit 0 of port
// 0x61 and its output reads back as bit 5 of the same port.
#include "kern/clock.h"
#include "hw/hw.h"

namespace kern {

const uint16_t PIT_CHANNEL2 = 0x42;
const uint16_t PIT_COMMAND = 0x43;
const uint16_t SYSTEM_CONTROL = 0x61;
// 10 11 000 0: channel 2, low byte then high byte, mode 0 (interrupt on
// terminal count: the output goes low when the count is written and high
// when it reaches zero), binary.
const uint8_t PIT_CH2_LOHI_MODE0 = 0xB0;
const uint8_t GATE2 = 0x01;        // port 0x61 bit 0: channel 2 counts while set
const uint8_t SPEAKER_ON = 0x02;   // port 0x61 bit 1: kept clear, the speaker stays silent
const uint8_t OUT2 = 0x20;         // port 0x61 bit 5: channel 2's output
// 16384 timer clocks, 13.7 ms: five rounds cost start-up 69 ms.
const uint32_t COUNTDOWN = 0x4000;
const int START_ROUNDS = 5;
// A countdown takes about 14000 reads of port 0x61 at a microsecond each;
// a timer whose output never rises must not hang the start-up.
const uint32_t POLL_LIMIT = 2000000;
const uint64_t PIT_HZ = 1193182;
const uint64_t MICROS_PER_SECOND = 1000000;

static uint64_t rate;

static void out_delayed(uint16_t port, uint8_t value)
{
    outb(port, value);
    io_delay();
}

// The counter's counts over one countdown, or 0 if it never ended.
static uint64_t countdown_counts()
{
    out_delayed(SYSTEM_CONTROL, static_cast<uint8_t>((inb(SYSTEM_CONTROL) & ~SPEAKER_ON) | GATE2));
    out_delayed(PIT_COMMAND, PIT_CH2_LOHI_MODE0);
    out_delayed(PIT_CHANNEL2, static_cast<uint8_t>(COUNTDOWN));
    outb(PIT_CHANNEL2, static_cast<uint8_t>(COUNTDOWN >> 8));   // counting starts: no delay
    uint64_t start = rdtsc();
    for (uint32_t i = 0; i < POLL_LIMIT; i++)
        if (inb(SYSTEM_CONTROL) & OUT2)
            return rdtsc() - start;
    return 0;
}

uint64_t Clock_MeasureRate(int rounds)
{
    if (rounds < 1)
        rounds = 1;
    if (rounds > CLOCK_MAX_ROUNDS)
        rounds = CLOCK_MAX_ROUNDS;
    uint64_t counts[CLOCK_MAX_ROUNDS];
    for (int i = 0; i < rounds; i++) {
        uint64_t c = countdown_counts();
        if (c == 0)
            return 0;   // a timer that never ran out once will not the next time
        int j = i;
        for (; j > 0 && counts[j - 1] > c; j--)
            counts[j] = counts[j - 1];
        counts[j] = c;
    }
    return counts[rounds / 2] * PIT_HZ / COUNTDOWN;
}

void Clock_Init() { rate = Clock_MeasureRate(START_ROUNDS); }
uint64_t Clock_Now() { return rdtsc(); }
uint64_t Clock_Rate() { return rate; }

// Whole seconds apart, so that the product cannot overflow at any rate.
uint64_t Clock_Counts(uint32_t micros)
{
    uint64_t us = micros;
    return rate * (us / MICROS_PER_SECOND) + rate * (us % MICROS_PER_SECOND) / MICROS_PER_SECOND;
}

} // namespace kern
