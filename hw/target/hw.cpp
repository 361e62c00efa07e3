// Target backend of the hardware seam: one instruction each (the ports
// are inline, in port_io.h).
#include "hw.h"
#include "machine.h"

void cli() { asm volatile("cli" : : : "memory"); }
void sti() { asm volatile("sti" : : : "memory"); }
void hlt() { asm volatile("hlt" : : : "memory"); }

void lidt(const void* descriptor)
{
    asm volatile("lidt (%0)" : : "r"(descriptor) : "memory");
}

void fninit() { asm volatile("fninit" : : : "memory"); }

void call_entry(uint32_t address)
{
    reinterpret_cast<void (*)()>(address)();
}
