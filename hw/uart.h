// The first serial port's 16550 and its set-up, the same for the loader and
// the kernel: 38400 baud 8N1, FIFOs on and cleared, then a byte sent in
// loopback to tell a working chip from a missing or faulty one. Every
// access is followed by the I/O delay.
#pragma once
#include <stdint.h>
#include "hw/hw.h"
#include "hw/machine.h"

namespace uart {

const uint16_t DATA = machine::COM1 + 0;   // THR / RBR; divisor low with DLAB
const uint16_t IER = machine::COM1 + 1;    // interrupt enable; divisor high with DLAB
const uint16_t FCR = machine::COM1 + 2;
const uint16_t LCR = machine::COM1 + 3;
const uint16_t MCR = machine::COM1 + 4;
const uint16_t LSR = machine::COM1 + 5;

const uint8_t IER_NONE = 0x00;
const uint8_t IER_RECEIVED_DATA = 0x01;    // also raised by the FIFO's character timeout
const uint8_t LCR_DLAB = 0x80;
const uint8_t LCR_8N1 = 0x03;              // 8 data bits, no parity, 1 stop bit
// 115200 / 3 = 38400 baud.
const uint8_t DIVISOR_LOW = 0x03;
const uint8_t DIVISOR_HIGH = 0x00;
// FIFOs on, both cleared, receive trigger at 14 bytes.
const uint8_t FCR_ENABLE_CLEAR_14 = 0xC7;
// Modem control bits: DTR 0x01, RTS 0x02, OUT1 0x04, OUT2 0x08, LOOP 0x10.
const uint8_t MCR_DTR_RTS_OUT2 = 0x0B;
const uint8_t MCR_LOOP = 0x10;             // what is sent comes back; nothing reaches the line
const uint8_t MCR_LOOPBACK_TEST = 0x1E;    // loopback with RTS, OUT1, OUT2
const uint8_t MCR_NORMAL = 0x0F;           // DTR, RTS, OUT1, OUT2
const uint8_t LOOPBACK_BYTE = 0xAE;
const uint8_t LSR_DATA_READY = 0x01;
const uint8_t LSR_OVERRUN = 0x02;          // a byte came while the FIFO was full: it is lost
const uint8_t LSR_PARITY_ERROR = 0x04;     // these three: the FIFO's oldest byte is garbled
const uint8_t LSR_FRAMING_ERROR = 0x08;
const uint8_t LSR_BREAK = 0x10;
const uint8_t LSR_THR_EMPTY = 0x20;
const uint8_t LSR_TRANSMITTER_EMPTY = 0x40;

// Programs the chip; true when it echoed its byte in loopback, and then it
// is out of loopback. One that did not stays there, so that nothing garbled
// reaches the line.
inline bool set_up()
{
    outb_delayed(IER, IER_NONE);
    outb_delayed(LCR, LCR_DLAB);
    outb_delayed(DATA, DIVISOR_LOW);
    outb_delayed(IER, DIVISOR_HIGH);
    outb_delayed(LCR, LCR_8N1);
    outb_delayed(FCR, FCR_ENABLE_CLEAR_14);
    outb_delayed(MCR, MCR_DTR_RTS_OUT2);
    outb_delayed(MCR, MCR_LOOPBACK_TEST);
    outb_delayed(DATA, LOOPBACK_BYTE);
    if (inb_delayed(DATA) != LOOPBACK_BYTE)
        return false;
    outb_delayed(MCR, MCR_NORMAL);
    return true;
}

} // namespace uart
