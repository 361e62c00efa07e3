// Text in the built-in font, drawn over the back buffer: only ink pixels are
// written, so whatever lies beneath shows between the strokes.
#include "kern/font.h"
#include "kern/video.h"

namespace kern {

const uint8_t FIRST_NO_GLYPH = 128;
const char NEWLINE = 0x0A;

// Pixel coordinates wrap as the 32-bit sums they are; the clip rejects any
// that wrapped.
static int wrap_add(int a, int b)
{
    return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

void PutChar(uint8_t code, int x, int y, uint8_t colour)
{
    if (code >= FIRST_NO_GLYPH)
        return;
    uint8_t glyph[GLYPH_BYTES];
    GetFontCharacter(code, glyph);
    for (int r = 0; r < GLYPH_HEIGHT; r++) {
        uint32_t py = static_cast<uint32_t>(wrap_add(y, r));
        for (int col = 0; col < GLYPH_WIDTH; col++) {
            uint8_t v = glyph[r * GLYPH_WIDTH + col];
            uint32_t px = static_cast<uint32_t>(wrap_add(x, col));
            if (v != 0 && px <= SCREEN_WIDTH - 1u && py <= SCREEN_HEIGHT - 1u)
                back_buffer()[py * SCREEN_WIDTH + px] = static_cast<uint8_t>(v * colour);
        }
    }
}

void PutString(const char* text, int x, int y, uint8_t colour)
{
    int penX = x, penY = y;
    for (const char* p = text; *p != 0; p++) {
        if (*p == NEWLINE) {
            penX = x;
            penY = wrap_add(penY, GLYPH_HEIGHT);
            continue;
        }
        PutChar(static_cast<uint8_t>(*p), penX, penY, colour);
        penX = wrap_add(penX, GLYPH_WIDTH);
    }
}

} // namespace kern
