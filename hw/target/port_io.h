// Target backend of the hardware seam's port accesses: one instruction
// each, inline.
#pragma once
#include <stdint.h>
#include "../machine.h"

inline uint8_t inb(uint16_t port)
{
    uint8_t value;
    asm volatile("inb %1, %0" : "=a"(value) : "Nd"(port) : "memory");
    return value;
}

inline uint16_t inw(uint16_t port)
{
    uint16_t value;
    asm volatile("inw %1, %0" : "=a"(value) : "Nd"(port) : "memory");
    return value;
}

inline void outb(uint16_t port, uint8_t value)
{
    asm volatile("outb %0, %1" : : "a"(value), "Nd"(port) : "memory");
}

// The I/O delay: a write of 0x00 to the unused POST-code port 0x80, which
// takes about a microsecond on the ISA bus and lets slow devices settle.
inline void io_delay()
{
    outb(machine::IO_DELAY, 0x00);
}
