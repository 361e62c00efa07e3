// The loader's serial copy: a 16550 at 0x3F8, transmit only, every port
// access followed by the I/O delay.
#include "stage4/serial.h"
#include "hw/machine.h"
#include "hw/hw.h"

namespace loader {

const uint16_t COM1 = machine::COM1;
const uint16_t UART_DATA = COM1 + 0;      // THR / RBR; divisor low with DLAB
const uint16_t UART_IER = COM1 + 1;       // interrupt enable; divisor high with DLAB
const uint16_t UART_FCR = COM1 + 2;
const uint16_t UART_LCR = COM1 + 3;
const uint16_t UART_MCR = COM1 + 4;
const uint16_t UART_LSR = COM1 + 5;

const uint8_t IER_NONE = 0x00;
const uint8_t LCR_DLAB = 0x80;
const uint8_t LCR_8N1 = 0x03;
// 115200 / 3 = 38400 baud.
const uint8_t DIVISOR_LOW = 0x03;
const uint8_t DIVISOR_HIGH = 0x00;
const uint8_t FCR_ENABLE_CLEAR_14 = 0xC7;
const uint8_t MCR_DTR_RTS_OUT2 = 0x0B;
const uint8_t MCR_LOOPBACK_TEST = 0x1E;
const uint8_t MCR_NORMAL = 0x0F;
const uint8_t LOOPBACK_BYTE = 0xAE;
const uint8_t LSR_THR_EMPTY = 0x20;
const uint8_t LSR_TRANSMITTER_EMPTY = 0x40;

static bool serialInUse;

void serialReset() { serialInUse = false; }

bool serialInit()
{
    outb_delayed(UART_IER, IER_NONE);
    outb_delayed(UART_LCR, LCR_DLAB);
    outb_delayed(UART_DATA, DIVISOR_LOW);
    outb_delayed(UART_IER, DIVISOR_HIGH);
    outb_delayed(UART_LCR, LCR_8N1);
    outb_delayed(UART_FCR, FCR_ENABLE_CLEAR_14);
    outb_delayed(UART_MCR, MCR_DTR_RTS_OUT2);
    // A chip that does not echo its byte in loopback stays there, so that
    // nothing garbled reaches the line.
    outb_delayed(UART_MCR, MCR_LOOPBACK_TEST);
    outb_delayed(UART_DATA, LOOPBACK_BYTE);
    serialInUse = inb_delayed(UART_DATA) == LOOPBACK_BYTE;
    if (serialInUse)
        outb_delayed(UART_MCR, MCR_NORMAL);
    return serialInUse;
}

// Polls the line status until all of `bits` are set; a UART that never
// gets there is dropped.
static void wait_status(uint8_t bits)
{
    for (uint32_t reads = 0; reads < SERIAL_WAIT_READS; reads++)
        if ((inb_delayed(UART_LSR) & bits) == bits)
            return;
    serialInUse = false;
}

void serialPut(uint8_t byte)
{
    if (!serialInUse)
        return;
    wait_status(LSR_THR_EMPTY);
    if (serialInUse)
        outb_delayed(UART_DATA, byte);
}

void serialFlush()
{
    if (serialInUse)
        wait_status(LSR_THR_EMPTY | LSR_TRANSMITTER_EMPTY);
}

} // namespace loader
