// Channel 2 of the 8253/8254 as a free-running clock. Its gate is bit 0 of
// port 0x61; bit 1 would connect its output to the speaker and stays clear.
#include "kern/clock.h"
#include "hw/machine.h"
#include "hw/hw.h"
#include "kern/timer.h"

namespace kern {

// 10 11 010 0: channel 2, low byte then high byte, mode 2 (rate generator:
// counts down to 1 and reloads, for ever), binary.
const uint8_t PIT_CH2_LOHI_MODE2 = 0xB4;
// 10 00 0000: latch channel 2's count for the next two reads.
const uint8_t PIT_CH2_LATCH = 0x80;
const uint8_t GATE2 = 0x01;
const uint8_t SPEAKER_ON = 0x02;
const uint8_t RELOAD_65536 = 0x00;    // a reload of 0 counts the whole 16 bits
const uint32_t TURN = 65536;          // timer clocks per turn of the channel, 54.9 ms
const uint64_t CLOCK_HZ = 1193182;
const uint64_t MICROS_PER_SECOND = 1000000;

// What the clock read last: the channel's count and the tick count then,
// and the timer clocks counted since it started.
struct ClockReading {
    uint16_t count;
    uint32_t ticks;
    uint64_t now;
};
static ClockReading last;

void Clock_Reset()
{
    last = ClockReading{};
}

// Three port accesses and no I/O delays: the frame loop polls this, and
// every access is a trip out of an emulator's translated code.
static uint16_t read_count()
{
    outb(machine::PIT_COMMAND, PIT_CH2_LATCH);
    uint8_t low = inb(machine::PIT_CHANNEL2);
    uint8_t high = inb(machine::PIT_CHANNEL2);
    return static_cast<uint16_t>(low | high << 8);
}

void Clock_Init()
{
    uint8_t control = inb_delayed(machine::SYSTEM_CONTROL);
    outb_delayed(machine::SYSTEM_CONTROL, static_cast<uint8_t>((control & ~SPEAKER_ON) | GATE2));
    outb_delayed(machine::PIT_COMMAND, PIT_CH2_LOHI_MODE2);
    outb_delayed(machine::PIT_CHANNEL2, RELOAD_65536);
    outb_delayed(machine::PIT_CHANNEL2, RELOAD_65536);
    Clock_Reset();
    last.count = read_count();
    last.ticks = GetCurrentTimer();
}

// The channel counts down, so the clocks since the last read are the
// count's drop, modulo one turn. Whole turns missed in a longer gap show in
// the ticks, GetDivisor() clocks each: the nearest whole number of turns.
// Ticks can only have been lost, never added, so this never counts a turn
// that did not pass.
uint64_t Clock_Now()
{
    uint16_t count = read_count();
    uint32_t ticks = GetCurrentTimer();
    uint64_t clocks = static_cast<uint16_t>(last.count - count);
    uint64_t tick_clocks = static_cast<uint64_t>(ticks - last.ticks) * GetDivisor();
    if (tick_clocks > clocks)
        clocks += (tick_clocks - clocks + TURN / 2) / TURN * TURN;
    last.count = count;
    last.ticks = ticks;
    last.now += clocks;
    return last.now;
}

uint64_t Clock_Rate() { return CLOCK_HZ; }

uint64_t Clock_Counts(uint32_t micros)
{
    return CLOCK_HZ * micros / MICROS_PER_SECOND;
}

} // namespace kern
