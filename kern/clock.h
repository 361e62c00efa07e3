// The kernel's clock: channel 2 of the interval timer, counting down at
// 1193182 Hz and read back through its latch. Its count comes from the
// machine's own timebase (emulators compute it from their clock), so unlike
// the tick count it loses nothing when an emulator drops timer interrupts.
#pragma once
#include <stdint.h>

namespace kern {

// Starts channel 2 running for good (its gate on, the speaker kept silent).
// Leaves channel 0, the kernel's tick, alone.
void Clock_Init();
// Timer clocks since Clock_Init. Frame loop only: it keeps the count of
// whole turns of the channel, so call it at least every 54.9 ms (one turn);
// longer gaps are made up from the tick count, as far as its ticks arrived.
uint64_t Clock_Now();
// Counts per second: the timer's input clock.
uint64_t Clock_Rate();
// Counts in `micros` microseconds.
uint64_t Clock_Counts(uint32_t micros);

// For tests: back to the state at load, before any set-up.
void Clock_Reset();

} // namespace kern
