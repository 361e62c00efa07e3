// The built-in font: its image layout, the glyphs fixed by design, and the
// rules every glyph keeps.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "kern/video/font.h"

namespace {

// A glyph as eight rows of '#' and '.', read through GetFontCharacter.
std::vector<std::string> glyph_rows(uint8_t code)
{
    uint8_t glyph[kern::GLYPH_BYTES];
    kern::GetFontCharacter(code, glyph);
    std::vector<std::string> rows;
    for (int r = 0; r < kern::GLYPH_HEIGHT; r++) {
        std::string row;
        for (int col = 0; col < kern::GLYPH_WIDTH; col++)
            row += glyph[r * 4 + col] ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

bool column_blank(uint8_t code, int col)
{
    for (const std::string& row : glyph_rows(code))
        if (row[col] == '#')
            return false;
    return true;
}

bool row_blank(uint8_t code, int r) { return glyph_rows(code)[r] == "...."; }

bool is_letter_or_digit(int c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

const std::string DESCENDERS = "gjpqy";

} // namespace

TEST(Font, HoldsTheGlyphsFixedByDesign)
{
    using Rows = std::vector<std::string>;
    EXPECT_EQ(glyph_rows('A'), (Rows{"....", ".#..", "#.#.", "#.#.", "###.", "#.#.", "#.#.", "...."}));
    EXPECT_EQ(glyph_rows('0'), (Rows{"....", ".#..", "#.#.", "###.", "#.#.", "#.#.", ".#..", "...."}));
    EXPECT_EQ(glyph_rows('a'), (Rows{"....", "....", "##..", "..#.", ".##.", "#.#.", ".##.", "...."}));
    EXPECT_EQ(glyph_rows('g'), (Rows{"....", "....", ".##.", "#.#.", "#.#.", ".##.", "..#.", "##.."}));
    EXPECT_EQ(glyph_rows('>'), (Rows{"....", "....", "#...", ".#..", "..#.", ".#..", "#...", "...."}));
    EXPECT_EQ(glyph_rows('_'), (Rows{"....", "....", "....", "....", "....", "....", "....", "####"}));
    EXPECT_EQ(glyph_rows(1), (Rows{"....", "..#.", ".###", "####", ".###", "..#.", "....", "...."}));
}

TEST(Font, ImageIsFourBandsOfThirtyTwoCells)
{
    // Glyph k's pixel (col, r) sits at (k / 32) * 1024 + r * 128 + (k % 32) * 4 + col.
    for (int k = 0; k < 128; k++) {
        uint8_t glyph[kern::GLYPH_BYTES];
        kern::GetFontCharacter(static_cast<uint8_t>(k), glyph);
        for (int r = 0; r < 8; r++)
            for (int col = 0; col < 4; col++)
                ASSERT_EQ(glyph[r * 4 + col], kern::font8x4[k / 32 * 1024 + r * 128 + k % 32 * 4 + col])
                    << k << " " << col << "," << r;
    }
    // 'A' is cell 1 of band 2: its row-1 ink at image column 4 * 1 + 1.
    EXPECT_EQ(kern::font8x4[2 * 1024 + 1 * 128 + 4 + 1], 1);
    EXPECT_EQ(kern::font8x4[2 * 1024 + 1 * 128 + 4 + 0], 0);
}

TEST(Font, HoldsOnlyZeroAndOne)
{
    for (int i = 0; i < 4096; i++)
        ASSERT_LE(kern::font8x4[i], 1) << i;
}

TEST(Font, BlankCodesAreBlankAndEveryOtherHasInk)
{
    for (int k = 0; k < 128; k++) {
        bool blank = glyph_rows(static_cast<uint8_t>(k)) == std::vector<std::string>(8, "....");
        EXPECT_EQ(blank, k == 0 || k == 32 || k == 127) << k;
    }
}

TEST(Font, RowZeroIsTheGapAboveEveryGlyph)
{
    for (int k = 0; k < 128; k++)
        EXPECT_TRUE(row_blank(static_cast<uint8_t>(k), 0)) << k;
}

TEST(Font, PrintableCharactersLeaveColumnThreeAsTheGap)
{
    for (int k = 33; k < 127; k++) {
        if (k == '_')
            continue;
        EXPECT_TRUE(column_blank(static_cast<uint8_t>(k), 3)) << static_cast<char>(k);
    }
}

TEST(Font, CapitalsAndDigitsStandOnRowsOneToSix)
{
    for (int k = 0; k < 128; k++)
        if ((k >= '0' && k <= '9') || (k >= 'A' && k <= 'Z')) {
            EXPECT_FALSE(row_blank(static_cast<uint8_t>(k), 1)) << static_cast<char>(k);
            EXPECT_FALSE(row_blank(static_cast<uint8_t>(k), 6)) << static_cast<char>(k);
            EXPECT_TRUE(row_blank(static_cast<uint8_t>(k), 7)) << static_cast<char>(k);
        }
}

TEST(Font, OnlyDescendersReachRowSevenAmongLetters)
{
    for (int k = 'a'; k <= 'z'; k++) {
        bool descends = DESCENDERS.find(static_cast<char>(k)) != std::string::npos;
        EXPECT_EQ(!row_blank(static_cast<uint8_t>(k), 7), descends) << static_cast<char>(k);
        EXPECT_FALSE(row_blank(static_cast<uint8_t>(k), 6) && !descends) << static_cast<char>(k);
    }
}

TEST(Font, NoTwoCharactersShareAGlyph)
{
    // Legibility starts with being told apart: every glyph with ink differs.
    std::set<std::vector<std::string>> seen;
    for (int k = 1; k < 127; k++) {
        if (k == 32)
            continue;
        EXPECT_TRUE(seen.insert(glyph_rows(static_cast<uint8_t>(k))).second) << k;
    }
}

TEST(Font, LettersAndDigitsAreThreeColumnsWide)
{
    for (int k = 0; k < 128; k++)
        if (is_letter_or_digit(k)) {
            EXPECT_FALSE(column_blank(static_cast<uint8_t>(k), 0)) << static_cast<char>(k);
            EXPECT_FALSE(column_blank(static_cast<uint8_t>(k), 2)) << static_cast<char>(k);
        }
}

TEST(GetFontCharacter, LeavesTheBufferUntouchedAboveCode127)
{
    for (int k = 128; k < 256; k++) {
        uint8_t glyph[kern::GLYPH_BYTES];
        std::fill(glyph, glyph + sizeof glyph, 0xAB);
        kern::GetFontCharacter(static_cast<uint8_t>(k), glyph);
        for (uint8_t b : glyph)
            ASSERT_EQ(b, 0xAB) << k;
    }
}
