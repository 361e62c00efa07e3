// Text drawing over the back buffer: ink only, per-pixel clipping, the pen's
// moves for characters and newlines; a block of text rows brought up to date.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "kern/video/font.h"
#include "kern/video/textblock.h"
#include "kern/video/video.h"

using kern::back_buffer;

namespace {

const uint8_t PAPER = 0x5A;   // a colour no glyph is drawn in here

void fill_buffer(uint8_t colour)
{
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        back_buffer()[i] = colour;
}

uint8_t pixel(int x, int y) { return back_buffer()[y * 320 + x]; }

bool ink(uint8_t code, int col, int r)
{
    uint8_t glyph[kern::GLYPH_BYTES];
    kern::GetFontCharacter(code, glyph);
    return glyph[r * 4 + col] != 0;
}

int changed_pixels()
{
    int n = 0;
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        n += back_buffer()[i] != PAPER;
    return n;
}

// The cell at (x, y) shows exactly `code` in `colour` over the paper.
void expect_glyph_at(uint8_t code, int x, int y, uint8_t colour)
{
    for (int r = 0; r < 8; r++)
        for (int col = 0; col < 4; col++)
            EXPECT_EQ(pixel(x + col, y + r), ink(code, col, r) ? colour : PAPER)
                << "'" << code << "' at " << x + col << "," << y + r;
}

int ink_count(uint8_t code)
{
    int n = 0;
    for (int r = 0; r < 8; r++)
        for (int col = 0; col < 4; col++)
            n += ink(code, col, r);
    return n;
}

} // namespace

TEST(PutChar, DrawsExactlyTheInkPixels)
{
    fill_buffer(PAPER);
    kern::PutChar('A', 0, 0, 15);
    expect_glyph_at('A', 0, 0, 15);
    EXPECT_EQ(pixel(1, 1), 15);
    EXPECT_EQ(pixel(0, 1), PAPER);
    EXPECT_EQ(changed_pixels(), ink_count('A'));
}

TEST(PutChar, ColourZeroIsDrawnNotSkipped)
{
    fill_buffer(PAPER);
    kern::PutChar('A', 100, 50, 0);
    expect_glyph_at('A', 100, 50, 0);
    EXPECT_EQ(changed_pixels(), ink_count('A'));
}

TEST(PutChar, ClipsAtTheRightAndTopEdges)
{
    fill_buffer(PAPER);
    kern::PutChar('M', 318, 10, 15);   // columns 0 and 1 only
    int expected = 0;
    for (int r = 0; r < 8; r++)
        for (int col = 0; col < 2; col++) {
            EXPECT_EQ(pixel(318 + col, 10 + r), ink('M', col, r) ? 15 : PAPER);
            expected += ink('M', col, r);
        }
    EXPECT_EQ(changed_pixels(), expected);

    fill_buffer(PAPER);
    kern::PutChar('H', 20, -4, 15);    // rows 4-7 only
    expected = 0;
    for (int r = 4; r < 8; r++)
        for (int col = 0; col < 4; col++) {
            EXPECT_EQ(pixel(20 + col, r - 4), ink('H', col, r) ? 15 : PAPER);
            expected += ink('H', col, r);
        }
    EXPECT_EQ(changed_pixels(), expected);
}

TEST(PutChar, OffScreenAndWrappingCoordinatesDrawNothing)
{
    fill_buffer(PAPER);
    for (int x : {-4, 320, 2147483645, -2147483647 - 1})
        kern::PutChar('#', x, 10, 15);
    for (int y : {-8, 200, 2147483645})
        kern::PutChar('#', 10, y, 15);
    kern::PutChar('#', 317, 197, 15);   // corner: 3x3 of the cell at most
    int corner = 0;
    for (int r = 0; r < 3; r++)
        for (int col = 0; col < 3; col++)
            corner += ink('#', col, r);
    EXPECT_EQ(changed_pixels(), corner);
}

TEST(PutChar, BlankCodesAndCodesAbove127DrawNothing)
{
    fill_buffer(PAPER);
    for (int code : {0, 32, 127})
        kern::PutChar(static_cast<uint8_t>(code), 40, 40, 15);
    for (int code = 128; code < 256; code++)
        kern::PutChar(static_cast<uint8_t>(code), 40, 40, 15);
    EXPECT_EQ(changed_pixels(), 0);
}

// The per-pixel rule, one pixel at a time: ink written where its column and
// row, as 32-bit sums, are on screen as unsigned compares.
void put_char_per_pixel(uint8_t* frame, uint8_t code, int x, int y, uint8_t colour)
{
    if (code >= 128)
        return;
    for (int r = 0; r < 8; r++)
        for (int col = 0; col < 4; col++) {
            uint32_t px = static_cast<uint32_t>(x) + col, py = static_cast<uint32_t>(y) + r;
            if (ink(code, col, r) && px < 320 && py < 200)
                frame[py * 320 + px] = colour;
        }
}

// Every glyph over a noisy picture, wholly on screen and clipped at each
// edge by every amount, at wrapping coordinates too: the whole frame as the
// per-pixel rule leaves it, the bytes around each cell untouched.
TEST(PutChar, EveryGlyphAndEveryClipOfTheCellMatchThePixelRule)
{
    static uint8_t expected[kern::SCREEN_BYTES];
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        back_buffer()[i] = expected[i] = static_cast<uint8_t>(i * 131 + (i >> 7));
    const int xs[] = {-5, -4, -3, -2, -1, 0, 1, 157, 315, 316, 317, 318, 319, 320, INT32_MIN, INT32_MAX - 2, INT32_MAX};
    const int ys[] = {-9, -8, -7, -4, -1, 0, 1, 96, 191, 192, 193, 196, 199, 200, INT32_MIN, INT32_MAX - 6};
    int drawn = 0;
    for (int code = 0; code < 256; code += code < 128 ? 1 : 61)
        for (int x : xs)
            for (int y : ys) {
                uint8_t colour = static_cast<uint8_t>(code * 3 + x + y);
                kern::PutChar(static_cast<uint8_t>(code), x, y, colour);
                put_char_per_pixel(expected, static_cast<uint8_t>(code), x, y, colour);
                ASSERT_EQ(memcmp(back_buffer(), expected, kern::SCREEN_BYTES), 0)
                    << "code " << code << " at " << x << "," << y;
                drawn++;
            }
    EXPECT_EQ(drawn, 131 * 17 * 16);
}

TEST(PutString, MovesThePenFourRightAndNewlinesEightDown)
{
    fill_buffer(PAPER);
    kern::PutString("HI\nOK", 10, 20, 14);
    expect_glyph_at('H', 10, 20, 14);
    expect_glyph_at('I', 14, 20, 14);
    expect_glyph_at('O', 10, 28, 14);
    expect_glyph_at('K', 14, 28, 14);
    EXPECT_EQ(changed_pixels(), ink_count('H') + ink_count('I') + ink_count('O') + ink_count('K'));
}

TEST(PutString, EmptyTextDrawsNothingAndTwoNewlinesMoveSixteenRows)
{
    fill_buffer(PAPER);
    kern::PutString("", 0, 0, 15);
    EXPECT_EQ(changed_pixels(), 0);
    kern::PutString("\n\nZ", 30, 40, 15);
    expect_glyph_at('Z', 30, 56, 15);
    EXPECT_EQ(changed_pixels(), ink_count('Z'));
}

TEST(PutString, OtherControlCodesAreDrawnWithTheirGlyphs)
{
    fill_buffer(PAPER);
    kern::PutString("\t\r\x01", 0, 0, 15);
    expect_glyph_at('\t', 0, 0, 15);
    expect_glyph_at('\r', 4, 0, 15);
    expect_glyph_at(1, 8, 0, 15);
}

TEST(PutString, EightyOneCellsFillTheRowAndTheLastIsClipped)
{
    fill_buffer(PAPER);
    std::string text(80, 'W');
    text += 'W';
    kern::PutString(text.c_str(), 0, 100, 15);
    for (int cell = 0; cell < 80; cell++)
        expect_glyph_at('W', cell * 4, 100, 15);
    EXPECT_EQ(changed_pixels(), 80 * ink_count('W'));
}

namespace {

// The lines from `view` on, the block's top at `top`.
kern::TextBlock block_at(int top, int view, const std::vector<std::string>& lines)
{
    kern::TextBlock b;
    b.top = top;
    for (int row = 0; row < kern::BLOCK_ROWS; row++)
        b.rows[row] = lines[view + row].c_str();
    b.tag = "";
    b.background = 8;
    b.colour = 15;
    return b;
}

} // namespace

// Lines of every length from none to past the screen's edge, each in a
// letter of its own, scrolled up or down by fewer rows than move (each
// row's text wider or narrower than the one it takes) or by more, the
// block whole on screen or its top above it: brought up to date, it shows
// what painting it whole shows.
TEST(TextBlock, ScrolledRowsShowWhatAWholePaintShows)
{
    const int lengths[] = {0, 80, 3, 57, 83, 1, 26, 79, 12, 40, 0, 66};
    std::vector<std::string> lines;
    for (int i = 0; i < kern::BLOCK_ROWS + 13; i++)
        lines.push_back(std::string(lengths[i % 12], static_cast<char>('A' + i % 26)));
    for (int top : {0, -100, -4}) {
        for (int from : {0, 3, 10, 13}) {
            for (int to : {0, 3, 10, 13}) {
                kern::TextBlock_Reset();
                fill_buffer(PAPER);
                kern::PaintBlock(block_at(top, from, lines));
                kern::RepaintBlock(block_at(top, to, lines), kern::BLOCK_ROWS - 1, to - from);
                std::vector<uint8_t> repainted(back_buffer(), back_buffer() + kern::SCREEN_BYTES);
                fill_buffer(PAPER);
                kern::PaintBlock(block_at(top, to, lines));
                ASSERT_EQ(memcmp(back_buffer(), repainted.data(), kern::SCREEN_BYTES), 0)
                    << "top " << top << ", from line " << from << " to " << to;
            }
        }
    }
}
