// Fake 16550 UART at 0x3F8 for the host double: divisor latch, line and
// modem control, loopback, a transmit line the test can read back and a
// receive line it can feed.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>

namespace hwsim {

struct UartOptions {
    bool broken_loopback = false; // loopback returns a different byte
    int busy_reads = 0;           // line-status reads without THRE before each byte
};

void uart_attach(UartOptions options = {});
// Bytes sent on the line (not those sent in loopback mode).
const std::string& uart_output();
// Bytes arriving on the line: the receiver holds them (line status bit 0
// set) until the data register is read, oldest first.
void uart_receive(const std::string& bytes);
// A byte that arrives garbled: `lsr_bits` (parity 0x04, framing 0x08,
// break 0x10) show in the line status while it is the oldest unread.
void uart_receive_garbled(uint8_t byte, uint8_t lsr_bits);
// A byte lost after those received so far: the next line-status read
// shows the overrun bit (0x02), and clears it.
void uart_overrun();
// Received bytes not read yet.
size_t uart_unread();
// Last value written to a register: 0 THR/DLL ... 7, DLAB-aware for 0 and 1
// (use UART_DLL / UART_DLM for the latch).
uint8_t uart_register(int offset);
enum { UART_DLL = 8, UART_DLM = 9 };

} // namespace hwsim
