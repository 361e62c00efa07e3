// The built-in 4x8 font: 128 glyphs in one 128x32 image, one byte a pixel.
#pragma once
#include <stdint.h>

namespace kern {

const int GLYPH_WIDTH = 4;
const int GLYPH_HEIGHT = 8;
const int GLYPH_BYTES = GLYPH_WIDTH * GLYPH_HEIGHT;

// Glyph k's pixel (col, r) is byte (k / 32) * 1024 + r * 128 + (k % 32) * 4 + col;
// 0 is background, 1 ink.
extern const uint8_t font8x4[4096];

void LoadFont();
// Fills glyph (row by row, 4 bytes a row); codes 128-255 leave it untouched.
void GetFontCharacter(uint8_t code, uint8_t glyph[GLYPH_BYTES]);

} // namespace kern
