// The kernel's clock: the processor's time-stamp counter, its rate measured
// once at start-up against channel 2 of the interval timer. Unlike the tick
// count it loses nothing when an emulator drops timer interrupts, and it
// costs no port access to read.
#pragma once
#include <stdint.h>

namespace kern {

// Measures the counter's rate. Uses channel 2 (the speaker's timer, kept
// silent) and leaves channel 0, the kernel's tick, alone.
void Clock_Init();
uint64_t Clock_Now();
// Counts per second; 0 until measured, or where channel 2 never ran out.
uint64_t Clock_Rate();
// Counts in `micros` microseconds at the measured rate.
uint64_t Clock_Counts(uint32_t micros);

// One measurement: the median rate over `rounds` countdowns of channel 2
// (at most CLOCK_MAX_ROUNDS), so that one round stretched by an emulator's
// host cannot skew it.
uint64_t Clock_MeasureRate(int rounds);
const int CLOCK_MAX_ROUNDS = 9;

} // namespace kern
