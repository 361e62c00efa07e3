// The interval timer: channel 0 of the 8253/8254, a tick count kept by its
// interrupt, and a per-frame delta time.
#pragma once
#include <stdint.h>

namespace kern {

void InitTimer();
void TimerInterrupt();      // interrupt context: one increment
void UpdateTimer();         // once per frame
uint32_t GetTimer();        // the count sampled by the last UpdateTimer
uint32_t GetFrequency();
uint32_t GetDivisor();      // input clocks of the timer per tick
float GetDeltaTime();
uint32_t GetCurrentTimer(); // the live count, read once

// Tests only: places the live count (the interrupt is its one writer).
void Timer_SetCount(uint32_t ticks);

// For tests: back to the state at load, before any set-up.
void Timer_Reset();

} // namespace kern
