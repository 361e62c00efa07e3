#include "fake_uart.h"
#include "hw/uart.h"
#include "hw_host.h"

#include <deque>
#include <memory>

namespace hwsim {
namespace {

struct Received {
    uint8_t byte;
    uint8_t errors;   // line status bits shown while it is the oldest
};

struct Uart {
    UartOptions options;
    uint8_t regs[10] = {};
    uint8_t rx = 0;
    int busy = 0;
    std::string line;
    std::deque<Received> received;
    bool overrun = false;
};

std::shared_ptr<Uart> uart;

void write(uint16_t port, uint8_t v)
{
    Uart& u = *uart;
    int reg = port - machine::COM1;
    bool dlab = u.regs[3] & uart::LCR_DLAB;
    if (reg <= 1 && dlab) {
        u.regs[reg == 0 ? UART_DLL : UART_DLM] = v;
        return;
    }
    u.regs[reg] = v;
    if (reg != 0)
        return;
    if (u.regs[4] & uart::MCR_LOOP)
        u.rx = u.options.broken_loopback ? static_cast<uint8_t>(v ^ 0x55) : v;
    else
        u.line.push_back(static_cast<char>(v));
    u.busy = u.options.busy_reads;
}

uint16_t read(uint16_t port)
{
    Uart& u = *uart;
    switch (port - machine::COM1) {
    case 0:
        if (!(u.regs[4] & uart::MCR_LOOP) && !u.received.empty()) {
            u.rx = u.received.front().byte;
            u.received.pop_front();
        }
        return u.rx;
    case 5: {
        uint8_t ready = 0;
        if (!(u.regs[4] & uart::MCR_LOOP) && !u.received.empty())
            ready = uart::LSR_DATA_READY | u.received.front().errors;
        if (u.overrun)
            ready |= uart::LSR_OVERRUN;
        u.overrun = false;
        if (u.busy > 0) {
            u.busy--;
            return ready;
        }
        return uart::LSR_THR_EMPTY | uart::LSR_TRANSMITTER_EMPTY | ready;
    }
    default:
        return u.regs[port - machine::COM1];
    }
}

} // namespace

void uart_attach(UartOptions options)
{
    uart = std::make_shared<Uart>();
    uart->options = options;
    for (uint16_t p = machine::COM1; p <= machine::COM1 + 7; p++) {
        on_out(p, write);
        on_in(p, read);
    }
}

const std::string& uart_output() { return uart->line; }

void uart_receive(const std::string& bytes)
{
    for (char c : bytes)
        uart->received.push_back({static_cast<uint8_t>(c), 0});
}

void uart_receive_garbled(uint8_t byte, uint8_t lsr_bits) { uart->received.push_back({byte, lsr_bits}); }
void uart_overrun() { uart->overrun = true; }

size_t uart_unread() { return uart->received.size(); }
uint8_t uart_register(int offset) { return uart->regs[offset]; }

} // namespace hwsim
