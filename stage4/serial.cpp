// The loader's serial copy: a 16550 at 0x3F8, transmit only, every port
// access followed by the I/O delay.
#include "stage4/serial.h"
#include "hw/hw.h"
#include "hw/uart.h"

namespace loader {

static bool serialInUse;

void serialReset() { serialInUse = false; }

bool serialInit()
{
    serialInUse = uart::set_up();
    return serialInUse;
}

// Polls the line status until all of `bits` are set; a UART that never
// gets there is dropped.
static void wait_status(uint8_t bits)
{
    for (uint32_t reads = 0; reads < SERIAL_WAIT_READS; reads++)
        if ((inb_delayed(uart::LSR) & bits) == bits)
            return;
    serialInUse = false;
}

void serialPut(uint8_t byte)
{
    if (!serialInUse)
        return;
    wait_status(uart::LSR_THR_EMPTY);
    if (serialInUse)
        outb_delayed(uart::DATA, byte);
}

void serialFlush()
{
    if (serialInUse)
        wait_status(uart::LSR_THR_EMPTY | uart::LSR_TRANSMITTER_EMPTY);
}

} // namespace loader
