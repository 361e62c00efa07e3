// The first serial port (16550 at 0x3F8), transmit only: the log line.
#pragma once
#include <stdint.h>

namespace kern {

// 0 when the UART passed its loopback test, 1 when it did not.
int32_t Serial_Initialize();
// Waits until the transmitter can take a byte, then sends it.
void Serial_Outb(uint8_t byte);

} // namespace kern
