// The standard VGA palette, built at compile time from its layout:
//   0-15    the sixteen text colours
//   16-31   a grey ramp
//   32-247  a 24-hue colour wheel at three brightnesses (63, 28, 16), each at
//           three saturations, 72 entries per brightness
//   248-255 black
#include "boot/palette.h"

namespace {

const Rgb6 TEXT_COLOURS[16] = {
    {0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},
    {42, 0, 0},   {42, 0, 42},  {42, 21, 0},  {42, 42, 42},
    {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
    {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63},
};

const uint8_t GREYS[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};

// The five levels a channel steps through around the wheel, per brightness
// and saturation: low, two rising steps, high.
const uint8_t WHEEL_LEVELS[3][3][5] = {
    {{0, 16, 31, 47, 63}, {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63}},
    {{0, 7, 14, 21, 28}, {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28}},
    {{0, 4, 8, 12, 16}, {8, 10, 12, 14, 16}, {11, 12, 13, 15, 16}},
};

// Hue h (0-23) from blue through magenta, red, yellow, green and cyan: the
// level index (0-4) of each channel.
constexpr int level(int h, int phase)
{
    int x = (h + phase) % 24;
    if (x < 4) return x;        // rising
    if (x < 12) return 4;       // high
    if (x < 16) return 16 - x;  // falling
    return 0;                   // low
}

constexpr Palette build()
{
    Palette t = {};
    for (int i = 0; i < 16; i++) {
        t.colour[i] = TEXT_COLOURS[i];
        t.colour[16 + i] = {GREYS[i], GREYS[i], GREYS[i]};
    }
    for (int bright = 0; bright < 3; bright++)
        for (int sat = 0; sat < 3; sat++)
            for (int h = 0; h < 24; h++) {
                const uint8_t* l = WHEEL_LEVELS[bright][sat];
                Rgb6& c = t.colour[32 + bright * 72 + sat * 24 + h];
                c.r = l[level(h, 0)];
                c.g = l[level(h, 16)];
                c.b = l[level(h, 8)];
            }
    return t;
}

} // namespace

// A constant expression: built by the compiler, no code runs at start-up.
const Palette vga_palette = build();
