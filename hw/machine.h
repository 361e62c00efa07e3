// The map of the machine for C++: every fixed address range (hw/memmap.h)
// and every device's ports (hw/ports.h), as typed constants. Those two
// headers are the one place a number is written; the boot stages' assembly,
// the linker scripts and CMake read them directly.
#pragma once
#include "memmap.h"
#include "ports.h"

#ifndef __ASSEMBLER__
#include <stdint.h>

namespace machine {

// Memory.
const uint32_t PAGE_DIRECTORY = MAP_PAGE_DIRECTORY;
const uint32_t BOOT_SECTOR = MAP_BOOT_SECTOR;
const uint32_t BOOT_LOAD = MAP_BOOT_LOAD;
const uint32_t BIOS_AREA = MAP_BIOS_AREA;
const uint32_t BIOS_AREA_BYTES = MAP_BIOS_AREA_BYTES;
const uint32_t BOOT_DRIVE = MAP_BOOT_DRIVE;
const uint32_t BIOS_PACKET = MAP_BIOS_PACKET;
const uint32_t BIOS_THUNK = MAP_BIOS_THUNK;
const uint32_t BIOS_THUNK_BYTES = MAP_BIOS_THUNK_BYTES;
const uint32_t BIOS_STACK_TOP = MAP_BIOS_STACK_TOP;
const uint32_t BIOS_BUFFER = MAP_BIOS_BUFFER;
const uint32_t BIOS_BUFFER_BYTES = MAP_BIOS_BUFFER_BYTES;
const uint32_t VGA_GRAPHICS = MAP_VGA_GRAPHICS;
const uint32_t VGA_GRAPHICS_BYTES = MAP_VGA_GRAPHICS_BYTES;
const uint32_t TEXT_SCREEN = MAP_TEXT_SCREEN;
const uint32_t TEXT_SCREEN_BYTES = MAP_TEXT_SCREEN_BYTES;
const uint32_t HIGH_WINDOW = MAP_HIGH_WINDOW;
const uint32_t HIGH_WINDOW_BYTES = MAP_HIGH_WINDOW_BYTES;
const uint32_t HIGH_WINDOW_PHYSICAL = MAP_HIGH_WINDOW_PHYSICAL;
const uint32_t LOADER_BASE = MAP_LOADER_BASE;
const uint32_t LOADER_LIMIT = MAP_LOADER_LIMIT;
const uint32_t BPB_BUFFER = MAP_BPB_BUFFER;
const uint32_t FAT_SCRATCH = MAP_FAT_SCRATCH;
const uint32_t KERNEL_BASE = MAP_KERNEL_BASE;
const uint32_t KERNEL_LIMIT = MAP_KERNEL_LIMIT;
const uint32_t BACK_BUFFER = MAP_BACK_BUFFER;
const uint32_t BACK_BUFFER_BYTES = MAP_BACK_BUFFER_BYTES;
const uint32_t STACK_BOTTOM = MAP_STACK_BOTTOM;
const uint32_t STACK_TOP = MAP_STACK_TOP;
const uint32_t HEAP_FIRST = MAP_HEAP_FIRST;
const uint32_t HEAP_LAST = MAP_HEAP_LAST;

// Ports.
const uint16_t PIC1_COMMAND = PORT_PIC1_COMMAND;
const uint16_t PIC1_DATA = PORT_PIC1_DATA;
const uint16_t PIT_CHANNEL0 = PORT_PIT_CHANNEL0;
const uint16_t PIT_CHANNEL2 = PORT_PIT_CHANNEL2;
const uint16_t PIT_COMMAND = PORT_PIT_COMMAND;
const uint16_t KBC_DATA = PORT_KBC_DATA;
const uint16_t SYSTEM_CONTROL = PORT_SYSTEM_CONTROL;
const uint16_t KBC_STATUS = PORT_KBC_STATUS;
const uint16_t IO_DELAY = PORT_IO_DELAY;
const uint16_t FAST_A20 = PORT_FAST_A20;
const uint16_t PIC2_COMMAND = PORT_PIC2_COMMAND;
const uint16_t PIC2_DATA = PORT_PIC2_DATA;
const uint16_t DEBUG_EXIT = PORT_DEBUG_EXIT;
const uint16_t ATA_DATA = PORT_ATA_DATA;
const uint16_t ATA_FEATURES = PORT_ATA_FEATURES;
const uint16_t ATA_COUNT = PORT_ATA_COUNT;
const uint16_t ATA_LBA_LOW = PORT_ATA_LBA_LOW;
const uint16_t ATA_LBA_MID = PORT_ATA_LBA_MID;
const uint16_t ATA_LBA_HIGH = PORT_ATA_LBA_HIGH;
const uint16_t ATA_DRIVE = PORT_ATA_DRIVE;
const uint16_t ATA_STATUS = PORT_ATA_STATUS;
const uint16_t ATA_ALT_STATUS = PORT_ATA_ALT_STATUS;
const uint16_t VGA_ATTRIBUTE = PORT_VGA_ATTRIBUTE;
const uint16_t VGA_MISC_OUTPUT = PORT_VGA_MISC_OUTPUT;
const uint16_t VGA_SEQ_INDEX = PORT_VGA_SEQ_INDEX;
const uint16_t VGA_DAC_WRITE_INDEX = PORT_VGA_DAC_WRITE_INDEX;
const uint16_t VGA_DAC_DATA = PORT_VGA_DAC_DATA;
const uint16_t VGA_GC_INDEX = PORT_VGA_GC_INDEX;
const uint16_t VGA_CRTC_INDEX = PORT_VGA_CRTC_INDEX;
const uint16_t VGA_INPUT_STATUS = PORT_VGA_INPUT_STATUS;
const uint16_t COM1 = PORT_COM1;

} // namespace machine
#endif
