// Draws the kernel's built-in font as a picture: the 128x32 font image,
// enlarged, white ink on cells of alternating black and dark grey so that
// each glyph's 4x8 box shows.
//
//   font_sheet OUTPUT.png [SCALE]      (SCALE defaults to 4)
#include <stdio.h>
#include <stdlib.h>

#include "kern/video/font.h"
#include "png.h"

namespace {

const int CELLS_PER_ROW = 32;
const int BANDS = 4;
const uint8_t INK = 15;
const uint8_t CELL_EVEN = 0;
const uint8_t CELL_ODD = 8;

png::Image font_image(int scale)
{
    png::Image image;
    image.width = CELLS_PER_ROW * kern::GLYPH_WIDTH * scale;
    image.height = BANDS * kern::GLYPH_HEIGHT * scale;
    image.pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
    for (int code = 0; code < CELLS_PER_ROW * BANDS; code++) {
        uint8_t glyph[kern::GLYPH_BYTES];
        kern::GetFontCharacter(static_cast<uint8_t>(code), glyph);
        int band = code / CELLS_PER_ROW, cell = code % CELLS_PER_ROW;
        uint8_t paper = (band + cell) % 2 ? CELL_ODD : CELL_EVEN;
        for (int y = 0; y < kern::GLYPH_HEIGHT * scale; y++)
            for (int x = 0; x < kern::GLYPH_WIDTH * scale; x++) {
                uint8_t v = glyph[y / scale * kern::GLYPH_WIDTH + x / scale];
                int px = cell * kern::GLYPH_WIDTH * scale + x;
                int py = band * kern::GLYPH_HEIGHT * scale + y;
                image.pixels[static_cast<size_t>(py) * image.width + px] = v ? INK : paper;
            }
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: %s OUTPUT.png [SCALE]\n", argv[0]);
        return 2;
    }
    int scale = argc == 3 ? atoi(argv[2]) : 4;
    if (scale < 1 || scale > 32) {
        fprintf(stderr, "%s: SCALE must be 1 to 32\n", argv[0]);
        return 2;
    }
    if (!png::write_indexed(argv[1], font_image(scale))) {
        fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
