// A block of text rows over the back buffer, as the console is: a
// background SCREEN_HEIGHT rows high and the full width of the screen from
// pixel row `top` (which may lie above the screen) down, row i's text at
// top + GLYPH_HEIGHT * i, and on the last row a tag at the right end,
// drawn the other way round (the background's colour on the text's).
//
// Painted whole, or brought up to date from what it showed: the block slid
// by whole pixel rows, and its first rows scrolled by whole text rows, move
// as pixels (a scrolled row only as far as its text or the one it takes
// reaches); only the rows whose text changed, or that come on screen, are
// painted again (the background only as far as what they showed reaches).
// Nothing else may draw over the block's rows in between.
#pragma once
#include <stdint.h>

namespace kern {

const int BLOCK_ROWS = 25;   // GLYPH_HEIGHT pixel rows each: SCREEN_HEIGHT in all

struct TextBlock {
    int top;
    const char* rows[BLOCK_ROWS];
    const char* tag;      // "" for none
    uint8_t background;
    uint8_t colour;
};

// Paints the whole block: the background, each row, the tag.
void PaintBlock(const TextBlock& block);
// The same picture, from what the block's rows hold since the last paint:
// rows 0 to scrolling - 1 show the texts that rows `shift` further down
// showed then (further up for a negative shift), give or take new text.
// The first repaint, and one after ForgetBlock, paints the whole block.
void RepaintBlock(const TextBlock& block, int scrolling, int shift);
// Something else holds the block's rows now.
void ForgetBlock();

// For tests: back to the state at load.
void TextBlock_Reset();

} // namespace kern
