// Target backend of the hardware seam: one instruction each.
#include "hw.h"
#include "machine.h"

uint8_t inb(uint16_t port)
{
    uint8_t value;
    asm volatile("inb %1, %0" : "=a"(value) : "Nd"(port) : "memory");
    return value;
}

uint16_t inw(uint16_t port)
{
    uint16_t value;
    asm volatile("inw %1, %0" : "=a"(value) : "Nd"(port) : "memory");
    return value;
}

void outb(uint16_t port, uint8_t value)
{
    asm volatile("outb %0, %1" : : "a"(value), "Nd"(port) : "memory");
}

void io_delay()
{
    outb(machine::IO_DELAY, 0x00);
}

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
