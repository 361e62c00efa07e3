// The interrupt controllers' set-up, the gate table and the handlers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "elf.h"
#include "fake_kbc.h"
#include "fake_uart.h"
#include "hw/hw.h"
#include "hw_host.h"
#include "kern/idt.h"
#include "kern/keyboard.h"
#include "kern/serial.h"
#include "kern/timer.h"
#include "volume.h"

using hwsim::Access;
using hwsim::delay;
using hwsim::in8;
using hwsim::out8;
using namespace kern;

namespace {

typedef void (*Stub)();

struct Line {
    int vector;
    Stub stub;
    Stub handler;
    const char* name;
};

const Line LINES[] = {
    {0, idivzero, idivzero_handler, "idivzero"}, {8, ifatal, ifatal_handler, "ifatal"},
    {32, irq0, irq0_handler, "irq0"},    {33, irq1, irq1_handler, "irq1"},
    {34, irq2, irq2_handler, "irq2"},    {35, irq3, irq3_handler, "irq3"},
    {36, irq4, irq4_handler, "irq4"},    {37, irq5, irq5_handler, "irq5"},
    {38, irq6, irq6_handler, "irq6"},    {39, irq7, irq7_handler, "irq7"},
    {40, irq8, irq8_handler, "irq8"},    {41, irq9, irq9_handler, "irq9"},
    {42, irq10, irq10_handler, "irq10"}, {43, irq11, irq11_handler, "irq11"},
    {44, irq12, irq12_handler, "irq12"}, {45, irq13, irq13_handler, "irq13"},
    {46, irq14, irq14_handler, "irq14"}, {47, irq15, irq15_handler, "irq15"},
};

uint32_t address(Stub f) { return reinterpret_cast<uint32_t>(f); }

uint32_t get32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t gate_offset(const uint8_t* gate)
{
    return gate[0] | gate[1] << 8 | gate[6] << 16 | static_cast<uint32_t>(gate[7]) << 24;
}

const Line* line_of(int vector)
{
    for (const Line& l : LINES)
        if (l.vector == vector)
            return &l;
    return nullptr;
}

const std::vector<Access> MASTER_EOI = {out8(machine::PIC1_COMMAND, 0x20), delay()};
const std::vector<Access> SLAVE_EOI = {out8(machine::PIC2_COMMAND, 0x20), delay(), out8(machine::PIC1_COMMAND, 0x20), delay()};

} // namespace

// Enter pressed and released while the loader ran: both bytes still wait
// in the keyboard controller, which would hold its line up for good.
TEST(IdtInit, RemapsBothControllersEmptiesTheKeyboardControllerAndOnlyThenEnablesInterrupts)
{
    hwsim::reset();
    hwsim::kbc_attach({0x1C, 0x9C});
    std::vector<bool> enabled_during_accesses;
    for (uint16_t port : {0x20, 0x21, 0xA0, 0xA1})
        hwsim::on_out(port, [&](uint16_t, uint8_t) {
            enabled_during_accesses.push_back(hwsim::interrupts_enabled());
        });
    hwsim::on_out(machine::IO_DELAY, [&](uint16_t, uint8_t) {
        enabled_during_accesses.push_back(hwsim::interrupts_enabled());
    });
    idt_init();

    std::vector<Access> expected = {
        out8(machine::PIC1_COMMAND, 0x11), delay(), out8(machine::PIC2_COMMAND, 0x11), delay(), out8(machine::PIC1_DATA, 0x20), delay(),
        out8(machine::PIC2_DATA, 0x28), delay(), out8(machine::PIC1_DATA, 0x04), delay(), out8(machine::PIC2_DATA, 0x02), delay(),
        out8(machine::PIC1_DATA, 0x01), delay(), out8(machine::PIC2_DATA, 0x01), delay(), out8(machine::PIC1_DATA, 0x00), delay(),
        out8(machine::PIC2_DATA, 0x00), delay(),
        in8(machine::KBC_STATUS, 0x01), delay(), in8(machine::KBC_DATA, 0x1C), delay(),
        in8(machine::KBC_STATUS, 0x01), delay(), in8(machine::KBC_DATA, 0x9C), delay(),
        in8(machine::KBC_STATUS, 0x00), delay()};
    EXPECT_EQ(hwsim::trace(), expected);
    EXPECT_EQ(enabled_during_accesses, std::vector<bool>(10 + 10 + 5, false));
    EXPECT_EQ(hwsim::kbc_waiting(), 0u);
    EXPECT_TRUE(hwsim::interrupts_enabled());
    EXPECT_EQ(hwsim::lidt_count(), 1);
}

// No controller at all: the floating bus reads 0xFF, "a byte waits", for
// ever. The start-up must go on.
TEST(IdtInit, GivesUpEmptyingAKeyboardControllerThatNeverEmpties)
{
    hwsim::reset();
    idt_init();
    int data_reads = 0;
    for (const Access& a : hwsim::trace())
        data_reads += a == in8(machine::KBC_DATA, 0xFF);
    EXPECT_EQ(data_reads, 64);
    EXPECT_TRUE(hwsim::interrupts_enabled());
}

TEST(IdtInit, LoadsADescriptorOfLimit2287AndTheTablesBase)
{
    hwsim::reset();
    idt_init();
    const uint8_t* d = hwsim::idt_descriptor();
    EXPECT_EQ(d[0], 0xEF);
    EXPECT_EQ(d[1], 0x08);
    EXPECT_EQ(get32(d + 2), reinterpret_cast<uint32_t>(idt_table()));
    EXPECT_EQ(reinterpret_cast<uint32_t>(idt_table()) % 8, 0u);
}

TEST(IdtInit, FillsGates0And8And32To47WithTheirStubsAndNothingElse)
{
    hwsim::reset();
    idt_init();
    const uint8_t* table = idt_table();
    for (int v = 0; v < IDT_GATES; v++) {
        const uint8_t* gate = table + v * 8;
        const Line* line = line_of(v);
        if (line == nullptr) {
            for (int b = 0; b < 8; b++)
                ASSERT_EQ(gate[b], 0) << "vector " << v << " byte " << b;
            continue;
        }
        EXPECT_EQ(gate[2], 0x08) << v;
        EXPECT_EQ(gate[3], 0x00) << v;
        EXPECT_EQ(gate[4], 0x00) << v;
        EXPECT_EQ(gate[5], 0x8E) << v;
        EXPECT_EQ(gate_offset(gate), address(line->stub)) << line->name;
    }
}

TEST(LoadIdt, LoadsTheDescriptorThenEnablesInterrupts)
{
    hwsim::reset();
    const uint8_t descriptor[6] = {0x34, 0x12, 0x78, 0x56, 0x34, 0x12};
    EXPECT_FALSE(hwsim::interrupts_enabled());
    load_idt(descriptor);
    EXPECT_TRUE(hwsim::interrupts_enabled());
    EXPECT_EQ(std::memcmp(hwsim::idt_descriptor(), descriptor, 6), 0);
    EXPECT_TRUE(hwsim::trace().empty());
}

TEST(EntryStubs, SaveAllCallTheirOwnHandlerRestoreAllAndReturnFromInterrupt)
{
    for (const Line& l : LINES) {
        const uint8_t* code = reinterpret_cast<const uint8_t*>(l.stub);
        // pushal; cld; call rel32; popal; iretl
        ASSERT_EQ(code[0], 0x60) << l.name;
        ASSERT_EQ(code[1], 0xFC) << l.name;
        ASSERT_EQ(code[2], 0xE8) << l.name;
        uint32_t target = address(l.stub) + 7 + get32(code + 3);
        EXPECT_EQ(target, address(l.handler)) << l.name;
        EXPECT_EQ(code[7], 0x61) << l.name;
        EXPECT_EQ(code[8], 0xCF) << l.name;
    }
}

TEST(Handlers, TimerLineCountsATickThenAcknowledgesTheMaster)
{
    hwsim::reset();
    uint32_t before = GetCurrentTimer();
    irq0_handler();
    irq0_handler();
    EXPECT_EQ(GetCurrentTimer(), before + 2);
    std::vector<Access> expected = MASTER_EOI;
    expected.insert(expected.end(), MASTER_EOI.begin(), MASTER_EOI.end());
    EXPECT_EQ(hwsim::trace(), expected);
}

TEST(Handlers, KeyboardLineReadsTheScancodePassesItOnThenAcknowledges)
{
    hwsim::reset();
    InitKeyboard();
    uint8_t next = 0x11;
    hwsim::on_in(machine::KBC_DATA, [&](uint16_t) -> uint16_t { return next; });
    irq1_handler();
    EXPECT_EQ(GetKey(KEY_W), 1u);
    std::vector<Access> expected = {in8(machine::KBC_DATA, 0x11), delay(), out8(machine::PIC1_COMMAND, 0x20), delay()};
    EXPECT_EQ(hwsim::trace(), expected);
    next = 0x91;
    irq1_handler();
    EXPECT_EQ(GetKey(KEY_W), 0u);
}

TEST(Handlers, SerialLineTakesEveryWaitingByteThenAcknowledges)
{
    hwsim::reset();
    hwsim::uart_attach();
    ASSERT_EQ(Serial_Initialize(), 0);
    Serial_EnableReceive();
    hwsim::uart_receive("ok");
    hwsim::clear_trace();
    irq4_handler();
    std::vector<Access> t = hwsim::trace_without_delays();
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[1], in8(machine::COM1, 'o'));
    EXPECT_EQ(t[3], in8(machine::COM1, 'k'));
    EXPECT_EQ(t[5], out8(machine::PIC1_COMMAND, 0x20));   // after the receiver ran dry
    EXPECT_EQ(Serial_GetCh(), 'o');
    EXPECT_EQ(Serial_GetCh(), 'k');
}

TEST(Handlers, OtherMasterLinesOnlyAcknowledgeTheMaster)
{
    Stub handlers[] = {irq2_handler, irq3_handler, irq4_handler,
                       irq5_handler, irq6_handler, irq7_handler};
    for (Stub h : handlers) {
        hwsim::reset();
        h();
        EXPECT_EQ(hwsim::trace(), MASTER_EOI);
    }
}

TEST(Handlers, SlaveLinesAcknowledgeTheSlaveFirstThenTheMaster)
{
    Stub handlers[] = {irq8_handler,  irq9_handler,  irq10_handler, irq11_handler,
                       irq12_handler, irq13_handler, irq14_handler, irq15_handler};
    for (Stub h : handlers) {
        hwsim::reset();
        h();
        EXPECT_EQ(hwsim::trace(), SLAVE_EOI);
    }
}

TEST(Faults, EachReportsOnTheSerialLineAndHaltsWithInterruptsOff)
{
    const struct {
        void (*handler)();
        const char* line;
    } faults[] = {{idivzero_handler, "ERROR: divide error, system halted\n"},
                  {ifatal_handler, "ERROR: double fault, system halted\n"}};
    for (const auto& fault : faults) {
        hwsim::reset();
        hwsim::uart_attach();
        ASSERT_EQ(Serial_Initialize(), 0);
        sti();
        try {
            fault.handler();
            ADD_FAILURE() << "returned into the fault";
        } catch (const hwsim::Halt& h) {
            EXPECT_FALSE(h.interrupts_enabled);
        }
        EXPECT_EQ(hwsim::uart_output(), fault.line);
    }
}

TEST(Faults, HaltEvenWithoutAWorkingSerialPort)
{
    hwsim::reset();   // no UART: the line-status port reads 0xFF
    EXPECT_THROW(idivzero_handler(), hwsim::Halt);
}

TEST(KernelImage, EveryStubsHighOffsetHalfIsC000AndTheSharedStateIsWhereTestsFindIt)
{
    using namespace testing_support;
    Bytes elf = read_file(kernel_elf_path());
    EXPECT_EQ(find_symbol(elf, "start").value, 0xC0000000u);
    for (const Line& l : LINES)
        EXPECT_EQ(find_symbol(elf, l.name).value >> 16, 0xC000u) << l.name;
    EXPECT_EQ(find_symbol(elf, "kern::IDT").size, 2288u);
    EXPECT_EQ(find_symbol(elf, "kern::IDT").value % 8, 0u);
    EXPECT_EQ(find_symbol(elf, "kern::keys").size, 127u * 4);
    EXPECT_EQ(find_symbol(elf, "kern::currentTimer").size, 4u);
}
