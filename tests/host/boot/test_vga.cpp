// The hand-over's display set-up: mode 13h's registers in an order the VGA
// accepts, and the standard palette through the DAC.
#include <gtest/gtest.h>

#include "boot/palette.h"
#include "boot/vga.h"
#include "hw_host.h"

using hwsim::in8;
using hwsim::out8;

namespace {

const size_t SEQ_AT = 1;          // after the miscellaneous output register
const size_t UNLOCK_AT = SEQ_AT + 2 * 5;
const size_t CRTC_AT = UNLOCK_AT + 2;
const size_t GC_AT = CRTC_AT + 2 * 25;
const size_t ATTR_AT = GC_AT + 2 * 9;

} // namespace

TEST(Vga, GraphicsModeUnlocksTheCrtcFirstAndResetsTheAttributeFlipFlop)
{
    vga_enter_graphics();
    const std::vector<hwsim::Access>& t = hwsim::trace();
    ASSERT_EQ(t.size(), ATTR_AT + 1 + 2 * 21 + 1);
    EXPECT_EQ(t[0], out8(machine::VGA_MISC_OUTPUT, 0x63));
    EXPECT_EQ(t[SEQ_AT + 8], out8(machine::VGA_SEQ_INDEX, 4));
    EXPECT_EQ(t[SEQ_AT + 9], out8(0x3C5, 0x0E));   // chain-4
    // Register 0x11 loses its protect bit before registers 0-7 are written,
    // and the table keeps it off.
    EXPECT_EQ(t[UNLOCK_AT], out8(machine::VGA_CRTC_INDEX, 0x11));
    EXPECT_EQ(t[UNLOCK_AT + 1], out8(0x3D5, 0x0E));
    EXPECT_EQ(t[CRTC_AT], out8(machine::VGA_CRTC_INDEX, 0));
    EXPECT_EQ(t[CRTC_AT + 1], out8(0x3D5, 0x5F));
    EXPECT_EQ(t[CRTC_AT + 2 * 0x11 + 1], out8(0x3D5, 0x0E));
    EXPECT_EQ(t[GC_AT + 2 * 6 + 1], out8(0x3CF, 0x05));   // memory map at 0xA0000
    // The read puts the attribute port back to "index next".
    EXPECT_EQ(t[ATTR_AT], in8(machine::VGA_INPUT_STATUS, 0xFF));
    EXPECT_EQ(t[ATTR_AT + 1], out8(machine::VGA_ATTRIBUTE, 0));
    EXPECT_EQ(t[ATTR_AT + 2 * 0x10 + 2], out8(machine::VGA_ATTRIBUTE, 0x41));
    EXPECT_EQ(t.back(), out8(machine::VGA_ATTRIBUTE, 0x20));   // the display back on
}

TEST(Vga, PaletteGoesThroughTheDacFromIndexZero)
{
    vga_load_palette();
    const std::vector<hwsim::Access>& t = hwsim::trace();
    ASSERT_EQ(t.size(), 1u + 3 * 256);
    EXPECT_EQ(t[0], out8(machine::VGA_DAC_WRITE_INDEX, 0));
    EXPECT_EQ(t[1 + 3 * 1 + 2], out8(machine::VGA_DAC_DATA, 42));      // 1: blue
    EXPECT_EQ(t[1 + 3 * 6 + 1], out8(machine::VGA_DAC_DATA, 21));      // 6: brown, green halved
    EXPECT_EQ(t[1 + 3 * 31 + 0], out8(machine::VGA_DAC_DATA, 63));     // the grey ramp ends white
    for (size_t i = 1 + 3 * 248; i < t.size(); i++)
        EXPECT_EQ(t[i], out8(machine::VGA_DAC_DATA, 0)) << i;
}
