// The loader's copy of its text on the first serial port (COM1, 38400 baud,
// 8N1), for a machine without a screen to watch.
//
// A missing or faulty UART costs nothing but its set-up: it fails the
// loopback test, or never shows its transmitter empty within a bounded
// number of polls, and from then on every byte is dropped.
#pragma once
#include <stdint.h>

namespace loader {

// Line-status polls before a byte is given up on and the UART with it: at
// least 2 us a poll, far longer than the 260 us a byte takes at 38400 baud.
const uint32_t SERIAL_WAIT_READS = 1u << 16;

// Programs the UART as the kernel later does; returns whether it answered.
bool serialInit();
// Sends one byte when the UART is in use.
void serialPut(uint8_t byte);
// Waits until every byte sent has left the UART, so that the kernel's own
// set-up, which clears the FIFOs, loses none of them.
void serialFlush();

// For tests: back to the state at load, before any set-up.
void serialReset();

} // namespace loader
