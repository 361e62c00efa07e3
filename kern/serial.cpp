// The first serial port: a 16550 at 0x3F8, 38400 baud 8N1. Output waits
// on the transmitter; input arrives by the received-data interrupt into a
// ring that the frame loop reads.
#include "kern/serial.h"
#include "hw/machine.h"
#include "hw/hw.h"
#include "kern/ring.h"

namespace kern {

const uint16_t COM1 = machine::COM1;
const uint16_t UART_DATA = COM1 + 0;      // THR / RBR; divisor low with DLAB
const uint16_t UART_IER = COM1 + 1;       // interrupt enable; divisor high with DLAB
const uint16_t UART_FCR = COM1 + 2;
const uint16_t UART_LCR = COM1 + 3;
const uint16_t UART_MCR = COM1 + 4;
const uint16_t UART_LSR = COM1 + 5;

const uint8_t IER_NONE = 0x00;
const uint8_t IER_RECEIVED_DATA = 0x01;   // also raised by the FIFO's character timeout
const uint8_t LCR_DLAB = 0x80;
const uint8_t LCR_8N1 = 0x03;             // 8 data bits, no parity, 1 stop bit
// 115200 / 3 = 38400 baud.
const uint8_t DIVISOR_LOW = 0x03;
const uint8_t DIVISOR_HIGH = 0x00;
// FIFOs on, both cleared, receive trigger at 14 bytes.
const uint8_t FCR_ENABLE_CLEAR_14 = 0xC7;
// Modem control bits: DTR 0x01, RTS 0x02, OUT1 0x04, OUT2 0x08, LOOP 0x10.
const uint8_t MCR_DTR_RTS_OUT2 = 0x0B;
const uint8_t MCR_LOOPBACK_TEST = 0x1E;   // loopback with RTS, OUT1, OUT2
const uint8_t MCR_NORMAL = 0x0F;          // DTR, RTS, OUT1, OUT2
const uint8_t LOOPBACK_BYTE = 0xAE;
const uint8_t LSR_DATA_READY = 0x01;
const uint8_t LSR_THR_EMPTY = 0x20;

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
    outb_delayed(UART_IER, IER_NONE);
    outb_delayed(UART_LCR, LCR_DLAB);
    outb_delayed(UART_DATA, DIVISOR_LOW);
    outb_delayed(UART_IER, DIVISOR_HIGH);
    outb_delayed(UART_LCR, LCR_8N1);
    outb_delayed(UART_FCR, FCR_ENABLE_CLEAR_14);
    outb_delayed(UART_MCR, MCR_DTR_RTS_OUT2);

    // A chip that does not echo its own byte in loopback is missing or
    // faulty; it stays in loopback so nothing garbled reaches the line.
    outb_delayed(UART_MCR, MCR_LOOPBACK_TEST);
    outb_delayed(UART_DATA, LOOPBACK_BYTE);
    if (inb_delayed(UART_DATA) != LOOPBACK_BYTE)
        return 1;

    outb_delayed(UART_MCR, MCR_NORMAL);
    chip_ok = 1;
    return 0;
}

void Serial_Outb(uint8_t byte)
{
    while ((inb_delayed(UART_LSR) & LSR_THR_EMPTY) == 0) {
    }
    outb_delayed(UART_DATA, byte);
}

void Serial_EnableReceive()
{
    if (chip_ok == 0)
        return;
    receiving = 1;
    outb_delayed(UART_IER, IER_RECEIVED_DATA);
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
    for (uint32_t n = 0; n < RING_SIZE && (inb_delayed(UART_LSR) & LSR_DATA_READY) != 0; n++)
        keep(inb_delayed(UART_DATA));
}

uint8_t Serial_GetCh() { return ring_get(received); }

} // namespace kern
