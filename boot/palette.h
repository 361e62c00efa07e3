// The standard VGA 256-colour palette (the one the BIOS loads for mode 13h),
// as 6-bit DAC values. Shared by the boot hand-over, which loads it, and the
// host tools and tests, which turn frames into pictures with it.
#pragma once
#include <stdint.h>

struct Rgb6 {
    uint8_t r, g, b;
};

struct Palette {
    Rgb6 colour[256];
};

extern const Palette vga_palette;

// The DAC's 6-bit value widened to 8 bits the way the display shows it:
// (v << 2) | ((v & 1) * 3), so 42 shows as 168 and 63 as 255.
inline uint8_t dac_to_8bit(uint8_t v)
{
    return static_cast<uint8_t>((v << 2) | ((v & 1) * 3));
}
