// The map of the machine: the fixed address ranges the system and its host
// programs rely on, and the I/O ports that more than one program or module
// touches. Each module names the registers only it uses itself.
#pragma once
#include <stdint.h>

namespace machine {

// Memory, as the boot environment leaves it mapped.
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
const uint16_t CRTC_INDEX = 0x3D4;             // data at CRTC_INDEX + 1
const uint16_t VGA_INPUT_STATUS = 0x3DA;       // bit 3 in retrace; a read resets the attribute flip-flop
const uint16_t COM1 = 0x3F8;                   // the first serial port's 16550

} // namespace machine
