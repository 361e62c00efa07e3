// The interrupt table, the two cascaded 8259s and the interrupt handlers.
#include "kern/idt.h"
#include "hw/hw.h"
#include "hw/machine.h"
#include "kern/keyboard.h"
#include "kern/serial.h"
#include "kern/timer.h"

namespace kern {


// ICW1 0001LA1I: edge triggered (L=0), cascaded, ICW4 follows (I=1).
const uint8_t ICW1_INIT_ICW4 = 0x11;
// ICW2: the vector of line 0 of each controller.
const uint8_t PIC1_VECTOR_BASE = 0x20, PIC2_VECTOR_BASE = 0x28;
// ICW3: the master's mask of lines with a slave (line 2), the slave's own
// cascade number (2).
const uint8_t ICW3_MASTER_SLAVE_ON_2 = 0x04, ICW3_SLAVE_ID_2 = 0x02;
// ICW4: 8086/88 mode, normal end of interrupt, not buffered.
const uint8_t ICW4_8086 = 0x01;
const uint8_t OCW1_UNMASK_ALL = 0x00;
// OCW2 001 00 000: non-specific end of interrupt.
const uint8_t OCW2_EOI = 0x20;

// Bytes 2-5 of a gate: selector 0x0008 (the boot environment's code
// segment), a zero byte, then 0x8E = present, ring 0, 32-bit interrupt gate
// (the processor clears IF on entry).
const uint32_t GATE_SELECTOR_AND_TYPE = 0x8E000008;
const uint16_t IDT_LIMIT = IDT_BYTES - 1;

alignas(8) static uint8_t IDT[IDT_BYTES];

struct Gate {
    int vector;
    void (*stub)();
};

static const Gate gates[] = {
    {0, idivzero}, {8, ifatal},
    {32, irq0}, {33, irq1}, {34, irq2}, {35, irq3},
    {36, irq4}, {37, irq5}, {38, irq6}, {39, irq7},
    {40, irq8}, {41, irq9}, {42, irq10}, {43, irq11},
    {44, irq12}, {45, irq13}, {46, irq14}, {47, irq15},
};

static void remap_pics()
{
    outb_delayed(machine::PIC1_COMMAND, ICW1_INIT_ICW4);
    outb_delayed(machine::PIC2_COMMAND, ICW1_INIT_ICW4);
    outb_delayed(machine::PIC1_DATA, PIC1_VECTOR_BASE);
    outb_delayed(machine::PIC2_DATA, PIC2_VECTOR_BASE);
    outb_delayed(machine::PIC1_DATA, ICW3_MASTER_SLAVE_ON_2);
    outb_delayed(machine::PIC2_DATA, ICW3_SLAVE_ID_2);
    outb_delayed(machine::PIC1_DATA, ICW4_8086);
    outb_delayed(machine::PIC2_DATA, ICW4_8086);
    outb_delayed(machine::PIC1_DATA, OCW1_UNMASK_ALL);
    outb_delayed(machine::PIC2_DATA, OCW1_UNMASK_ALL);
}

static void put32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

static void set_gate(int vector, void (*stub)())
{
    uint32_t offset = reinterpret_cast<uint32_t>(stub);
    uint8_t* gate = IDT + vector * 8;
    gate[0] = static_cast<uint8_t>(offset);
    gate[1] = static_cast<uint8_t>(offset >> 8);
    put32(gate + 2, GATE_SELECTOR_AND_TYPE);
    gate[6] = static_cast<uint8_t>(offset >> 16);
    gate[7] = static_cast<uint8_t>(offset >> 24);
}

void idt_init()
{
    remap_pics();
    // Re-initialising the controllers forgets a pending keyboard request.
    Keyboard_Drain();
    for (const Gate& g : gates)
        set_gate(g.vector, g.stub);
    uint8_t descriptor[6];
    descriptor[0] = static_cast<uint8_t>(IDT_LIMIT);
    descriptor[1] = static_cast<uint8_t>(IDT_LIMIT >> 8);
    put32(descriptor + 2, reinterpret_cast<uint32_t>(IDT));
    load_idt(descriptor);
}

// The one place the kernel turns interrupts on.
void load_idt(const void* descriptor)
{
    lidt(descriptor);
    sti();
}

const uint8_t* idt_table() { return IDT; }

// Each handler acknowledges after its own work. A slave line is
// acknowledged on the slave first, then on the master's cascade line.
static void eoi_master() { outb_delayed(machine::PIC1_COMMAND, OCW2_EOI); }

static void eoi_slave()
{
    outb_delayed(machine::PIC2_COMMAND, OCW2_EOI);
    eoi_master();
}

// A processor fault the kernel cannot return into: one line straight to the
// UART (the console may be what faulted), then stop for good.
[[noreturn]] static void fatal(const char* line)
{
    Serial_Write(line);
    Serial_Outb('\n');
    for (;;) {
        cli();
        hlt();
    }
}

} // namespace kern

using namespace kern;

extern "C" {

void idivzero_handler() { fatal("ERROR: divide error, system halted"); }
void ifatal_handler() { fatal("ERROR: double fault, system halted"); }

void irq0_handler()
{
    TimerInterrupt();
    eoi_master();
}

void irq1_handler()
{
    Keyboard_Read();
    eoi_master();
}

void irq2_handler() { eoi_master(); }
void irq3_handler() { eoi_master(); }
void irq4_handler()
{
    Serial_Interrupt();
    eoi_master();
}
void irq5_handler() { eoi_master(); }
void irq6_handler() { eoi_master(); }
void irq7_handler() { eoi_master(); }
void irq8_handler() { eoi_slave(); }
void irq9_handler() { eoi_slave(); }
void irq10_handler() { eoi_slave(); }
void irq11_handler() { eoi_slave(); }
void irq12_handler() { eoi_slave(); }
void irq13_handler() { eoi_slave(); }
void irq14_handler() { eoi_slave(); }
void irq15_handler() { eoi_slave(); }

} // extern "C"
