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

const uint16_t DATA = machine::COM1, IER = DATA + 1, FCR = DATA + 2, LCR = DATA + 3, MCR = DATA + 4, LSR = DATA + 5;

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

namespace {

// A working UART, set up and receiving, with an empty trace.
void receiving_uart()
{
    hwsim::reset();
    hwsim::uart_attach();
    ASSERT_EQ(Serial_Initialize(), 0);
    kern::Serial_EnableReceive();
    hwsim::clear_trace();
}

std::string drain_ring()
{
    std::string s;
    for (uint8_t c = kern::Serial_GetCh(); c != 0; c = kern::Serial_GetCh())
        s.push_back(static_cast<char>(c));
    return s;
}

} // namespace

TEST(SerialReceive, EnablingTurnsOnTheReceivedDataInterruptOnly)
{
    hwsim::reset();
    hwsim::uart_attach();
    ASSERT_EQ(Serial_Initialize(), 0);
    hwsim::clear_trace();
    kern::Serial_EnableReceive();
    EXPECT_EQ(hwsim::trace_without_delays(), std::vector<Access>{out8(IER, 0x01)});
    EXPECT_TRUE(hwsim::every_access_delayed(hwsim::trace()));
}

TEST(SerialReceive, AChipThatFailedItsLoopbackIsNeverEnabledNorRead)
{
    hwsim::reset();   // no chip: every read is 0xFF, data ready included
    EXPECT_EQ(Serial_Initialize(), 1);
    hwsim::clear_trace();
    kern::Serial_EnableReceive();
    kern::Serial_Interrupt();
    EXPECT_TRUE(hwsim::trace().empty());
    EXPECT_EQ(kern::Serial_GetCh(), 0);
}

TEST(SerialReceive, TheInterruptTakesEveryWaitingByteInOrder)
{
    receiving_uart();
    hwsim::uart_receive("help\r");
    kern::Serial_Interrupt();
    EXPECT_EQ(hwsim::uart_unread(), 0u);
    std::vector<Access> expected;
    for (char c : std::string("help\r")) {
        expected.push_back(in8(LSR, 0x61));
        expected.push_back(in8(DATA, static_cast<uint8_t>(c)));
    }
    expected.push_back(in8(LSR, 0x60));
    EXPECT_EQ(hwsim::trace_without_delays(), expected);
    EXPECT_TRUE(hwsim::every_access_delayed(hwsim::trace()));
    EXPECT_EQ(drain_ring(), "help\r");
    EXPECT_EQ(kern::Serial_GetCh(), 0);   // each byte is read once
}

TEST(SerialReceive, NulBytesAreNotKept)
{
    receiving_uart();
    hwsim::uart_receive(std::string("a\0b", 3));
    kern::Serial_Interrupt();
    EXPECT_EQ(drain_ring(), "ab");
}

TEST(SerialReceive, AFullRingTurnsTheInterruptOffUntilItHasRoomAndLosesNothing)
{
    receiving_uart();
    std::string sent;
    for (int i = 0; i < 300; i++)
        sent.push_back(static_cast<char>('a' + i % 26));
    hwsim::uart_receive(sent);
    kern::Serial_Interrupt();
    // 254 taken (room is kept for a loss mark), the rest waits in the chip.
    EXPECT_EQ(hwsim::uart_unread(), 46u);
    EXPECT_EQ(hwsim::uart_register(1), 0x00);
    kern::Serial_Interrupt();                 // a stray call takes nothing more
    EXPECT_EQ(hwsim::uart_unread(), 46u);

    std::string got;
    for (int i = 0; i < 14; i++)
        got.push_back(static_cast<char>(kern::Serial_GetCh()));
    EXPECT_EQ(hwsim::uart_register(1), 0x00); // not yet a FIFO's worth of room
    got.push_back(static_cast<char>(kern::Serial_GetCh()));
    EXPECT_EQ(hwsim::uart_register(1), 0x01); // on again: the chip raises its line
    for (int reads = 0; got.size() < sent.size() && reads < 1000; reads++) {
        if (hwsim::uart_register(1) == 0x01)
            kern::Serial_Interrupt();
        got.push_back(static_cast<char>(kern::Serial_GetCh()));
    }
    EXPECT_EQ(got, sent);
    EXPECT_EQ(hwsim::uart_unread(), 0u);
}

TEST(SerialReceive, LostAndGarbledBytesAreMarkedWhereTheyWere)
{
    receiving_uart();
    // An overrun loses a byte after what the FIFO holds: marked after it.
    hwsim::uart_receive("ab");
    hwsim::uart_overrun();
    kern::Serial_Interrupt();
    // A garbled byte is dropped and marked in its place.
    hwsim::uart_receive("c");
    hwsim::uart_receive_garbled('?', 0x08);
    hwsim::uart_receive("d");
    kern::Serial_Interrupt();
    // A 0xFF that arrives whole is no mark.
    hwsim::uart_receive("\xff");
    kern::Serial_Interrupt();
    EXPECT_EQ(drain_ring(), "ab\xff" "c\xff" "d\xfe");
}

TEST(SerialReceive, KeepsOrderAcrossTheEndOfTheRing)
{
    receiving_uart();
    std::string got;
    for (int round = 0; round < 40; round++) {
        std::string chunk = std::to_string(round) + "abcdefghi";
        hwsim::uart_receive(chunk);
        kern::Serial_Interrupt();
        got += drain_ring();
        ASSERT_EQ(got.substr(got.size() - chunk.size()), chunk) << round;
    }
}
