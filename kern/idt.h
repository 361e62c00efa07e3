// The interrupt table, the two 8259 controllers and the interrupt handlers.
#pragma once
#include <stdint.h>

namespace kern {

const int IDT_GATES = 286;
const int IDT_BYTES = IDT_GATES * 8;

// Remaps the controllers to vectors 32-47, fills and loads the table, and
// enables interrupts (through load_idt, the only place that does).
void idt_init();
void load_idt(const void* descriptor);

// The table as the processor sees it (for checks).
const uint8_t* idt_table();

} // namespace kern

// Entry stubs (krnasm.S), entered by the processor through the gates, and
// the handlers they call.
extern "C" {
void idivzero();
void ifatal();
void irq0(); void irq1(); void irq2(); void irq3();
void irq4(); void irq5(); void irq6(); void irq7();
void irq8(); void irq9(); void irq10(); void irq11();
void irq12(); void irq13(); void irq14(); void irq15();

void idivzero_handler();
void ifatal_handler();
void irq0_handler(); void irq1_handler(); void irq2_handler(); void irq3_handler();
void irq4_handler(); void irq5_handler(); void irq6_handler(); void irq7_handler();
void irq8_handler(); void irq9_handler(); void irq10_handler(); void irq11_handler();
void irq12_handler(); void irq13_handler(); void irq14_handler(); void irq15_handler();
}
