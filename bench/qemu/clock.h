// Time in the benchmark image: the processor's time-stamp counter, its rate
// measured against channel 2 of the 8254 interval timer.
#pragma once
#include <stdint.h>

namespace bench {

uint64_t read_tsc();

// Counts the time-stamp counter over `rounds` one-shot countdowns of timer
// channel 2 (65535 timer clocks, about 55 ms, each) and returns its rate in
// counts per second. Leaves channel 0, the kernel's tick, alone.
uint64_t tsc_rate(int rounds);

// Nanoseconds in `counts` of the time-stamp counter at `rate` per second.
uint64_t tsc_to_ns(uint64_t counts, uint64_t rate);

} // namespace bench
