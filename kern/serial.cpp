// The first serial port: a 16550 at 0x3F8, 38400 baud 8N1. Output waits
// on the transmitter; input arrives by the received-data interrupt into a
// ring that the frame loop reads.
#include "kern/serial.h"
#include "hw/hw.h"
#include "hw/uart.h"
#include "kern/ring.h"

namespace kern {

// Set once the chip passed its loopback test: only then is the receiver
// real (a missing chip reads 0xFF, data ready included, for ever).
static uint32_t chip_ok;
static ByteRing received;   // the interrupt side puts, Serial_GetCh takes
static volatile uint32_t receiving;

void Serial_Reset()
{
    chip_ok = 0;
    ring_reset(received);
    receiving = 0;
}

int32_t Serial_Initialize()
{
    chip_ok = 0;
    receiving = 0;
    if (!uart::set_up())
        return 1;
    chip_ok = 1;
    return 0;
}

void Serial_Outb(uint8_t byte)
{
    while ((inb_delayed(uart::LSR) & uart::LSR_THR_EMPTY) == 0) {
    }
    outb_delayed(uart::DATA, byte);
}

void Serial_EnableReceive()
{
    if (chip_ok == 0)
        return;
    receiving = 1;
    outb_delayed(uart::IER, uart::IER_RECEIVED_DATA);
}

// A NUL stands for nothing to the console and reads as an empty ring, so it
// is not kept; a full ring drops the newest byte and keeps the queue.
static void keep(uint8_t byte)
{
    if (byte != 0)
        ring_put(received, byte);
}

// Every waiting byte is read, so the chip drops its interrupt line before
// the acknowledgement and the next byte raises a fresh edge. The bound only
// guards against a receiver that never runs dry.
void Serial_Interrupt()
{
    if (receiving == 0)
        return;
    for (uint32_t n = 0; n < RING_SIZE && (inb_delayed(uart::LSR) & uart::LSR_DATA_READY) != 0; n++)
        keep(inb_delayed(uart::DATA));
}

uint8_t Serial_GetCh() { return ring_get(received); }

} // namespace kern
