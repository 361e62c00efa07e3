// The log line's UART: set-up order, loopback check and transmit wait.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_uart.h"
#include "hw_host.h"
#include "kern/serial.h"

using hwsim::Access;
using hwsim::in8;
using hwsim::out8;
using kern::Serial_Initialize;
using kern::Serial_Outb;

namespace {

const uint16_t DATA = 0x3F8, IER = 0x3F9, FCR = 0x3FA, LCR = 0x3FB, MCR = 0x3FC, LSR = 0x3FD;

std::vector<Access> setup_writes()
{
    return {out8(IER, 0x00), out8(LCR, 0x80), out8(DATA, 0x03), out8(IER, 0x00),
            out8(LCR, 0x03), out8(FCR, 0xC7), out8(MCR, 0x0B), out8(MCR, 0x1E),
            out8(DATA, 0xAE)};
}

} // namespace

TEST(SerialInitialize, ProgramsTheUartInOrderAndLeavesLoopbackOnSuccess)
{
    hwsim::reset();
    hwsim::uart_attach();
    EXPECT_EQ(Serial_Initialize(), 0);

    std::vector<Access> expected = setup_writes();
    expected.push_back(in8(DATA, 0xAE));
    expected.push_back(out8(MCR, 0x0F));
    EXPECT_EQ(hwsim::trace_without_delays(), expected);
    EXPECT_TRUE(hwsim::every_access_delayed(hwsim::trace()));

    EXPECT_EQ(hwsim::uart_register(4), 0x0F);
    EXPECT_EQ(hwsim::uart_register(3), 0x03);
    EXPECT_EQ(hwsim::uart_register(hwsim::UART_DLL), 0x03);
    EXPECT_EQ(hwsim::uart_register(hwsim::UART_DLM), 0x00);
    EXPECT_EQ(hwsim::uart_output(), "");   // the test byte stayed inside the chip
}

TEST(SerialInitialize, AWrongEchoReturnsOneAndStaysInLoopback)
{
    hwsim::reset();
    hwsim::UartOptions broken;
    broken.broken_loopback = true;
    hwsim::uart_attach(broken);
    EXPECT_EQ(Serial_Initialize(), 1);
    EXPECT_EQ(hwsim::uart_register(4), 0x1E);

    std::vector<Access> expected = setup_writes();
    expected.push_back(in8(DATA, 0xAE ^ 0x55));
    EXPECT_EQ(hwsim::trace_without_delays(), expected);
    EXPECT_TRUE(hwsim::every_access_delayed(hwsim::trace()));

    // Output still returns, but nothing reaches the line.
    Serial_Outb('x');
    EXPECT_EQ(hwsim::uart_output(), "");
}

TEST(SerialInitialize, NoChipAtAllFailsTheLoopbackTest)
{
    hwsim::reset();   // an empty bus reads 0xFF
    EXPECT_EQ(Serial_Initialize(), 1);
}

TEST(SerialOutb, WritesNothingUntilTheHoldingRegisterIsEmptyThenOneByte)
{
    hwsim::reset();
    int polls = 0;
    hwsim::on_in(LSR, [&](uint16_t) -> uint16_t { return ++polls < 4 ? 0xDF : 0x20; });
    Serial_Outb('Z');

    std::vector<Access> expected = {in8(LSR, 0xDF), in8(LSR, 0xDF), in8(LSR, 0xDF),
                                    in8(LSR, 0x20), out8(DATA, 'Z')};
    EXPECT_EQ(hwsim::trace_without_delays(), expected);
    EXPECT_TRUE(hwsim::every_access_delayed(hwsim::trace()));
}

TEST(SerialOutb, SendsBytesInOrderOnABusyLine)
{
    hwsim::reset();
    hwsim::UartOptions busy;
    busy.busy_reads = 3;
    hwsim::uart_attach(busy);
    ASSERT_EQ(Serial_Initialize(), 0);
    for (char c : std::string("ok\n"))
        Serial_Outb(static_cast<uint8_t>(c));
    EXPECT_EQ(hwsim::uart_output(), "ok\n");
}
