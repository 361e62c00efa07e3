// The one seam between the system and the processor.
//
// Every port access, interrupt-flag change, halt, table load and jump into a
// loaded program goes through these functions. The target build links the
// inline-assembly backend (hw/target); the host test build links a recording
// double (hw/host) whose halt and entry calls raise events a test can catch.
#pragma once
#include <stdint.h>

#ifdef HW_TARGET
// The ports inline: an interrupt handler's acknowledgement is then two
// instructions, not three calls (the timer's runs 59,659 times a second).
#include "target/port_io.h"
#else
uint8_t inb(uint16_t port);
uint16_t inw(uint16_t port);
void outb(uint16_t port, uint8_t value);

// The I/O delay: a write of 0x00 to the unused POST-code port 0x80, which
// takes about a microsecond on the ISA bus and lets slow devices settle.
void io_delay();
#endif

// A port access followed by the I/O delay, for the devices that want the
// pause after each (timer, interrupt controllers, UART, ATA, CRTC).
inline void outb_delayed(uint16_t port, uint8_t value)
{
    outb(port, value);
    io_delay();
}

inline uint8_t inb_delayed(uint16_t port)
{
    uint8_t value = inb(port);
    io_delay();
    return value;
}

void cli();
void sti();
void hlt();

// Loads the interrupt table descriptor (6 bytes: limit, then base).
void lidt(const void* descriptor);

// Resets the x87 unit to its default control word, empty register stack.
void fninit();

// Calls a loaded program's entry point as a procedure with no arguments.
// Returns only if the program does.
void call_entry(uint32_t address);

// Registers in and out of a BIOS call: what the BIOS is given, and what it
// left in them on return (its flags too: carry, bit 0, set when a service
// failed).
struct BiosRegs {
    uint32_t eax, ebx, ecx, edx, esi, edi;
    uint16_t ds, es;
    uint32_t eflags;
};

const uint32_t BIOS_CARRY = 0x01;

// Calls the BIOS's disk services (software interrupt 0x13) with `regs` and
// returns what it left in them. The target drops to real mode for the call:
// paging and protection off, the BIOS's interrupt table loaded and interrupts
// on while the BIOS runs, the interrupt controllers as the BIOS set them up.
// Every buffer the call names must lie in the first MiB (machine.h: the BIOS
// area). Back in protected mode, interrupts are off again.
void bios_disk(BiosRegs& regs);
