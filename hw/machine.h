// The map of the machine: the fixed address ranges the system and its host
// programs rely on, and the I/O ports that more than one program or module
// touches. Each module names the registers only it uses itself.
//
// The low-memory places the boot stages share with the loader are plain
// numbers first, so that the boot stages' assembly reads them too.
#pragma once

// 64 KiB of conventional memory, below 1 MiB so that real mode reaches it and
// inside the identity-mapped first 4 MiB, so that its addresses are the same
// with paging on or off. Nothing of the BIOS lives there (its data area ends
// at 0x500, its extended data area lies just below 0xA0000) and nothing of
// the boot stages (page directory at 0x1000, stages 0x7C00-0xB5FF).
#define MACHINE_BIOS_AREA 0x10000
#define MACHINE_BIOS_AREA_BYTES 0x10000
// The BIOS drive number the machine booted from (a byte), as the BIOS handed
// it to the boot sector in DL: 0x00 the first floppy, 0x80 the first disk.
#define MACHINE_BOOT_DRIVE 0x10000
// The disk address packet of an extended read (16 bytes).
#define MACHINE_BIOS_PACKET 0x10010
// The real-mode call's code and data, copied there before each call.
#define MACHINE_BIOS_THUNK 0x10100
#define MACHINE_BIOS_THUNK_BYTES 0x0F00
// The real-mode stack during a call: 0x11000 up to here, growing down.
#define MACHINE_BIOS_STACK_TOP 0x18000
// The bounce buffer the BIOS reads sectors into: 32 KiB, inside one 64 KiB
// page, which a floppy's DMA transfer cannot cross.
#define MACHINE_BIOS_BUFFER 0x18000
#define MACHINE_BIOS_BUFFER_BYTES 0x8000

#ifndef __ASSEMBLER__
#include <stdint.h>

namespace machine {

// Memory, as the boot environment leaves it mapped.
const uint32_t BIOS_AREA = MACHINE_BIOS_AREA;
const uint32_t BIOS_AREA_BYTES = MACHINE_BIOS_AREA_BYTES;
const uint32_t BOOT_DRIVE = MACHINE_BOOT_DRIVE;
const uint32_t BIOS_PACKET = MACHINE_BIOS_PACKET;
const uint32_t BIOS_THUNK = MACHINE_BIOS_THUNK;
const uint32_t BIOS_THUNK_BYTES = MACHINE_BIOS_THUNK_BYTES;
const uint32_t BIOS_BUFFER = MACHINE_BIOS_BUFFER;
const uint32_t BIOS_BUFFER_BYTES = MACHINE_BIOS_BUFFER_BYTES;
const uint32_t VGA_GRAPHICS = 0xA0000;         // mode 13h, one byte a pixel
const uint32_t VGA_GRAPHICS_BYTES = 0x10000;
const uint32_t TEXT_SCREEN = 0xB8000;          // 80x25, character and attribute a cell
const uint32_t TEXT_SCREEN_BYTES = 0x1000;
// Paged onto physical 4-20 MiB: the loader and its buffers, the kernel, the
// back buffer, the stack and the heap.
const uint32_t HIGH_WINDOW = 0xBFC00000;
const uint32_t HIGH_WINDOW_BYTES = 0x01000000;
const uint32_t HIGH_WINDOW_PHYSICAL = 0x00400000;   // its first byte's physical address
const uint32_t BACK_BUFFER = 0xC0200000;       // the kernel's 320x200 frame
const uint32_t HEAP_FIRST = 0xC03FFFFF;        // just above the stack's top
const uint32_t HEAP_LAST = HIGH_WINDOW + HIGH_WINDOW_BYTES - 1;

// Ports.
const uint16_t PIT_COMMAND = 0x43;             // the 8253/8254's mode register
// The primary ATA channel's task file (the loader's reads and its probe for a
// drive) and its alternate status, which reads like the status without
// acknowledging anything.
const uint16_t ATA_DATA = 0x1F0;
const uint16_t ATA_FEATURES = 0x1F1;
const uint16_t ATA_COUNT = 0x1F2;
const uint16_t ATA_LBA_LOW = 0x1F3;
const uint16_t ATA_LBA_MID = 0x1F4;
const uint16_t ATA_LBA_HIGH = 0x1F5;
const uint16_t ATA_DRIVE = 0x1F6;
const uint16_t ATA_STATUS = 0x1F7;             // read: status; write: command
const uint16_t ATA_ALT_STATUS = 0x3F6;
const uint16_t CRTC_INDEX = 0x3D4;             // data at CRTC_INDEX + 1
const uint16_t VGA_INPUT_STATUS = 0x3DA;       // bit 3 in retrace; a read resets the attribute flip-flop
const uint16_t COM1 = 0x3F8;                   // the first serial port's 16550

} // namespace machine
#endif
