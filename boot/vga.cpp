#include "boot/vga.h"
#include "hw/machine.h"
#include "boot/palette.h"
#include "hw/hw.h"

namespace {


// Colour, 25 MHz dot clock, 400-line sync polarity (doubled to 200 rows).
const uint8_t MISC = 0x63;
// Chain-4 on, all four planes writable, 8-dot characters.
const uint8_t SEQ[5] = {0x03, 0x01, 0x0F, 0x00, 0x0E};
// 320x200 timing; register 0x11 bit 7 write-protects 0-7, so it is cleared first.
const uint8_t CRTC[25] = {0x5F, 0x4F, 0x50, 0x82, 0x54, 0x80, 0xBF, 0x1F, 0x00,
                          0x41, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x9C, 0x0E,
                          0x8F, 0x28, 0x40, 0x96, 0xB9, 0xA3, 0xFF};
const uint8_t CRTC_PROTECT = 0x11;
// 256-colour shift mode, memory map 0xA0000-0xAFFFF.
const uint8_t GC[9] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x05, 0x0F, 0xFF};
// Identity palette map 0-15, graphics mode with 8-bit colour.
const uint8_t ATTR[21] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
                          0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D,
                          0x0E, 0x0F, 0x41, 0x00, 0x0F, 0x00, 0x00};
const uint8_t ATTR_DISPLAY_ON = 0x20;

void indexed(uint16_t index_port, const uint8_t* values, int count)
{
    for (int i = 0; i < count; i++) {
        outb(index_port, static_cast<uint8_t>(i));
        outb(static_cast<uint16_t>(index_port + 1), values[i]);
    }
}

} // namespace

void vga_enter_graphics()
{
    outb(machine::VGA_MISC_OUTPUT, MISC);
    indexed(machine::VGA_SEQ_INDEX, SEQ, 5);
    outb(machine::VGA_CRTC_INDEX, CRTC_PROTECT); // unlock CRTC 0-7
    outb(machine::VGA_CRTC_INDEX + 1, CRTC[CRTC_PROTECT] & 0x7F);
    indexed(machine::VGA_CRTC_INDEX, CRTC, 25);
    indexed(machine::VGA_GC_INDEX, GC, 9);
    inb(machine::VGA_INPUT_STATUS);
    for (int i = 0; i < 21; i++) {
        outb(machine::VGA_ATTRIBUTE, static_cast<uint8_t>(i));
        outb(machine::VGA_ATTRIBUTE, ATTR[i]);
    }
    outb(machine::VGA_ATTRIBUTE, ATTR_DISPLAY_ON);
}

void vga_load_palette()
{
    outb(machine::VGA_DAC_WRITE_INDEX, 0);
    for (int i = 0; i < 256; i++) {
        outb(machine::VGA_DAC_DATA, vga_palette.colour[i].r);
        outb(machine::VGA_DAC_DATA, vga_palette.colour[i].g);
        outb(machine::VGA_DAC_DATA, vga_palette.colour[i].b);
    }
}
