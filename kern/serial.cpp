// The first serial port: a 16550 at 0x3F8, 38400 baud 8N1. Output waits
// on the transmitter; input arrives by the received-data interrupt into a
// ring that the frame loop reads.
//
// Input is never dropped from the middle: while the ring is full the
// receive interrupt is off and the bytes wait in the chip (an emulator
// then holds the rest back; real hardware overruns its FIFO). A byte the
// chip lost or garbled is marked in the ring by SERIAL_LOST.
#include "kern/serial.h"
#include "hw/hw.h"
#include "hw/uart.h"
#include "kern/ring.h"

namespace kern {

const uint8_t STANDS_IN_FOR_LOST = SERIAL_LOST - 1;   // a received SERIAL_LOST byte
// Taking input again once the ring has room for a whole FIFO.
const uint32_t RESUME_ROOM = 16;
// The line status bits that say a byte was lost (overrun) or arrived
// garbled (parity, framing, break); garbled ones are the FIFO's oldest.
const uint8_t LSR_GARBLED = uart::LSR_PARITY_ERROR | uart::LSR_FRAMING_ERROR | uart::LSR_BREAK;

// Set once the chip passed its loopback test: only then is the receiver
// real (a missing chip reads 0xFF, data ready included, for ever).
static uint32_t chip_ok;
static ByteRing received;   // the interrupt side puts, Serial_GetCh takes
static volatile uint32_t receiving;
// Written by the interrupt side to 1 when it turns the receive interrupt
// off on a full ring, by the reader to 0 before it turns it on again: the
// chip raises no interrupt in between, so the two never race.
static volatile uint32_t paused;
// Interrupt side only: a loss seen, its mark not yet in the ring.
static uint32_t lost_pending;

void Serial_Reset()
{
    chip_ok = 0;
    ring_reset(received);
    receiving = 0;
    paused = 0;
    lost_pending = 0;
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

void Serial_Write(const char* text)
{
    for (const char* p = text; *p != 0; p++)
        Serial_Outb(static_cast<uint8_t>(*p));
}

void Serial_EnableReceive()
{
    if (chip_ok == 0)
        return;
    receiving = 1;
    outb_delayed(uart::IER, uart::IER_RECEIVED_DATA);
}

// A NUL stands for nothing to the console and reads as an empty ring, so it
// is not kept.
static void keep(uint8_t byte)
{
    if (byte != 0)
        ring_put(received, byte == SERIAL_LOST ? STANDS_IN_FOR_LOST : byte);
}

static void mark_lost()
{
    if (ring_has_room(received, 1)) {
        ring_put(received, SERIAL_LOST);
        lost_pending = 0;
    }
}

// Moves one waiting byte, or notes a loss; false when the chip holds none.
static bool take_one()
{
    uint8_t status = inb_delayed(uart::LSR);
    if ((status & LSR_GARBLED) != 0) {
        lost_pending = 1;
        mark_lost();
        inb_delayed(uart::DATA);   // the garbled byte itself
        return true;
    }
    if ((status & uart::LSR_OVERRUN) != 0)
        lost_pending = 1;          // lost after what the FIFO holds: marked once it is read
    if ((status & uart::LSR_DATA_READY) == 0)
        return false;
    keep(inb_delayed(uart::DATA));
    return true;
}

// Every waiting byte is read while the ring has room, so the chip drops its
// interrupt line before the acknowledgement and the next byte raises a
// fresh edge. On a full ring the interrupt goes off instead, with the rest
// left in the chip. The bound only guards against a receiver that never
// runs dry.
void Serial_Interrupt()
{
    if (receiving == 0)
        return;
    for (uint32_t n = 0; n < RING_SIZE; n++) {
        if (!ring_has_room(received, 2)) {   // a byte and a loss mark
            paused = 1;
            outb_delayed(uart::IER, uart::IER_NONE);
            return;
        }
        if (!take_one())
            break;
    }
    if (lost_pending != 0)
        mark_lost();
}

uint8_t Serial_GetCh()
{
    uint8_t byte = ring_get(received);
    if (paused != 0 && ring_has_room(received, RESUME_ROOM)) {
        paused = 0;
        outb_delayed(uart::IER, uart::IER_RECEIVED_DATA);   // raises the line again if bytes wait
    }
    return byte;
}

} // namespace kern
