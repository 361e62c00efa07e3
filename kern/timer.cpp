// The interval timer: channel 0 of the 8253/8254 and its tick count.
#include "kern/timer.h"
#include "hw/machine.h"
#include "hw/hw.h"

namespace kern {

// Channel 0, low byte then high byte, mode 3 (square wave), binary.
const uint8_t PIT_CH0_LOHI_MODE3 = 0x36;

// 1193182 Hz / 20: a tick about every 16.8 microseconds.
static const uint32_t divisor = 20;
// Ticks per unit of delta time; deliberately not the tick rate.
static const uint32_t frequency = 596591;
static volatile uint32_t currentTimer; // written only by TimerInterrupt
static uint32_t lastTimer;
static float deltaTime;

void Timer_Reset()
{
    currentTimer = 0;
    lastTimer = 0;
    deltaTime = 0;
}

void InitTimer()
{
    outb_delayed(machine::PIT_COMMAND, PIT_CH0_LOHI_MODE3);
    outb_delayed(machine::PIT_CHANNEL0, static_cast<uint8_t>(divisor));
    outb_delayed(machine::PIT_CHANNEL0, static_cast<uint8_t>(divisor >> 8));
}

// Interrupt context: integer work only, the stubs keep no x87 state.
void TimerInterrupt() { currentTimer = currentTimer + 1; }

void UpdateTimer()
{
    uint32_t t = currentTimer;
    uint32_t elapsed = t - lastTimer;   // unsigned: right across the wrap
    lastTimer = t;
    // Divided in the x87's extended precision, rounded once to float.
    deltaTime = static_cast<float>(static_cast<long double>(elapsed) /
                                   static_cast<long double>(frequency));
}

uint32_t GetTimer() { return lastTimer; }
uint32_t GetFrequency() { return frequency; }
uint32_t GetDivisor() { return divisor; }
float GetDeltaTime() { return deltaTime; }
uint32_t GetCurrentTimer() { return currentTimer; }

void Timer_SetCount(uint32_t ticks) { currentTimer = ticks; }

} // namespace kern
