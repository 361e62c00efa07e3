// The first serial port (16550 at 0x3F8): the console's log line out, and
// console input in through the receive interrupt (line 4).
//
// Serial_Interrupt runs in interrupt context; everything else in start-up
// and the frame loop. The receive ring has one writer per index.
#pragma once
#include <stdint.h>

namespace kern {

// 0 when the UART passed its loopback test, 1 when it did not.
int32_t Serial_Initialize();
// Waits until the transmitter can take a byte, then sends it.
void Serial_Outb(uint8_t byte);
// Every byte of a zero-terminated text, through Serial_Outb.
void Serial_Write(const char* text);
// Turns on the received-data interrupt, unless the chip failed its loopback
// test. Called once interrupts are on: a byte that arrived earlier then
// raises the line afresh instead of leaving it raised unseen.
void Serial_EnableReceive();
// Interrupt side: moves every byte the receiver holds into the ring; on a
// full ring it turns the receive interrupt off and leaves the rest waiting
// in the chip.
void Serial_Interrupt();

// Stands where the chip lost or garbled a byte. A SERIAL_LOST byte that
// arrives is handed on as SERIAL_LOST - 1, which types nothing either.
const uint8_t SERIAL_LOST = 0xFF;
// The oldest received byte, removed from the ring; 0 when none waits.
// Turns the receive interrupt back on once the ring has room again.
uint8_t Serial_GetCh();

// For tests: back to the state at load, before any set-up.
void Serial_Reset();

} // namespace kern
