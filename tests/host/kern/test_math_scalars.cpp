// The sine table, sine, tangent and the square roots.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include "elf.h"
#include "kern/math.h"
#include "volume.h"

using kern::fixed16_20_12_sin_table;

namespace {

const int TABLE_SIZE = 8193;
const int HALF_TURN = 4096;

int entry(int i) { return fixed16_20_12_sin_table[i]; }

} // namespace

TEST(SinTable, HoldsTheTellingRows)
{
    const int rows[][2] = {{0, 0},       {1, 3},       {8, 25},      {512, 1567},
                           {683, 2048},  {1024, 2896}, {1365, 3546}, {2047, 4095},
                           {2048, 4096}, {2049, 4095}, {4096, 0},    {4097, -3},
                           {6144, -4096}, {8191, -3},  {8192, 0}};
    for (const auto& row : rows)
        EXPECT_EQ(entry(row[0]), row[1]) << "entry " << row[0];
}

TEST(SinTable, ZeroAndFullScaleOnlyAtTheQuarterTurns)
{
    for (int i = 0; i < TABLE_SIZE; i++) {
        EXPECT_EQ(entry(i) == 0, i == 0 || i == 4096 || i == 8192) << "entry " << i;
        EXPECT_EQ(entry(i) == 4096, i == 2048) << "entry " << i;
        EXPECT_EQ(entry(i) == -4096, i == 6144) << "entry " << i;
    }
}

TEST(SinTable, IsSymmetricAboutTheQuarterAndOddAboutTheHalfTurn)
{
    for (int i = 0; i <= HALF_TURN; i++) {
        EXPECT_EQ(entry(HALF_TURN - i), entry(i)) << "entry " << i;
        EXPECT_EQ(entry(i + HALF_TURN), -entry(i)) << "entry " << i;
    }
}

// The slope of 4096 sin is at most 2 pi 4096 / 8192 (about 3.14) a step.
TEST(SinTable, RisesOverTheFirstQuarterByAtMostFourAStep)
{
    for (int i = 1; i <= 2048; i++) {
        EXPECT_GE(entry(i) - entry(i - 1), 0) << "entry " << i;
        EXPECT_LE(entry(i) - entry(i - 1), 4) << "entry " << i;
    }
}

// The kernel image carries the same table, in a segment it cannot write.
TEST(SinTable, IsReadOnlyDataOfTheKernelImage)
{
    using namespace testing_support;
    const Bytes elf = read_file(kernel_elf_path());
    const Symbol table = find_symbol(elf, "kern::fixed16_20_12_sin_table");
    ASSERT_EQ(table.size, sizeof(fixed16_20_12_sin_table));
    bool found = false;
    for (const ProgramHeader& ph : program_headers(elf)) {
        if (ph.type != 1 || table.value < ph.vaddr || table.value >= ph.vaddr + ph.filesz)
            continue;
        found = true;
        EXPECT_EQ(ph.flags & 2, 0u) << "the table's segment is writable";
        const size_t at = ph.offset + (table.value - ph.vaddr);
        ASSERT_LE(at + table.size, elf.size());
        EXPECT_EQ(memcmp(&elf[at], fixed16_20_12_sin_table, table.size), 0);
    }
    EXPECT_TRUE(found);
}

TEST(Sin, ReadsTheTableByTheLow13BitsOfTheAngle)
{
    EXPECT_EQ(kern::sin(0), 0);
    EXPECT_EQ(kern::sin(1), 3);
    EXPECT_EQ(kern::sin(2048), 4096);
    EXPECT_EQ(kern::sin(4096), 0);
    EXPECT_EQ(kern::sin(6144), -4096);
    EXPECT_EQ(kern::sin(8191), -3);
    EXPECT_EQ(kern::sin(8192), 0);
    EXPECT_EQ(kern::sin(-1), -3);
    EXPECT_EQ(kern::sin(10240), 4096);
    EXPECT_EQ(kern::sin(INT32_MIN), 0);
    EXPECT_EQ(kern::sin(INT32_MAX), -3);
}

TEST(Sin, GivesTheCosineAQuarterTurnOn)
{
    EXPECT_EQ(kern::sin(0 + 2048), 4096);
    EXPECT_EQ(kern::sin(2048 + 2048), 0);
    EXPECT_EQ(kern::sin(4096 + 2048), -4096);
}

TEST(Tan, DividesSineByCosine)
{
    EXPECT_EQ(kern::tan(0), 0);
    EXPECT_EQ(kern::tan(512), 1696);
    EXPECT_EQ(kern::tan(1024), 4096);
    EXPECT_EQ(kern::tan(-1024), -4096);
    EXPECT_EQ(kern::tan(1024 + 8192), 4096);
    // Just short of a quarter turn: 4095 * 4096 / 3, truncated.
    EXPECT_EQ(kern::tan(2047), 5591040);
    EXPECT_EQ(kern::tan(2049), -5591040);
    // The cosine index wraps without overflow at the top of the angle range:
    // sine -3 over cosine 4095.
    EXPECT_EQ(kern::tan(INT32_MAX), -3);
}

TEST(Tan, IsZeroWhereTheCosineEntryIsZero)
{
    EXPECT_EQ(kern::tan(2048), 0);
    EXPECT_EQ(kern::tan(6144), 0);
    EXPECT_EQ(kern::tan(-2048), 0);
    EXPECT_EQ(kern::tan(INT32_MIN + 2048), 0);
}

TEST(IntSqrt, RoundsDown)
{
    const int64_t rows[][2] = {{0, 0}, {1, 1}, {2, 1},  {3, 1},  {4, 2},
                               {8, 2}, {9, 3}, {15, 3}, {16, 4}, {1000000, 1000},
                               {INT64_C(1) << 40, INT64_C(1) << 20},
                               {(INT64_C(1) << 40) - 1, (INT64_C(1) << 20) - 1},
                               {INT64_MAX, INT64_C(3037000499)}};
    for (const auto& row : rows)
        EXPECT_EQ(kern::int_sqrt(row[0]), row[1]) << "n = " << row[0];
}

TEST(IntSqrt, GivesTheStartValueForNegativeRadicands)
{
    EXPECT_EQ(kern::int_sqrt(-5), -3);
    EXPECT_EQ(kern::int_sqrt(-1), -1);
    EXPECT_EQ(kern::int_sqrt(-2), -1);
    EXPECT_EQ(kern::int_sqrt(-4096), -2048);
    EXPECT_EQ(kern::int_sqrt(INT64_MIN), INT64_MIN / 2);
}

TEST(FixedSquareRoot, IsTheLargestFixedWhoseSquareFits)
{
    EXPECT_EQ(kern::FixedSquareRoot(0), 0);
    EXPECT_EQ(kern::FixedSquareRoot(1), 64);
    EXPECT_EQ(kern::FixedSquareRoot(4096), 4096);
    EXPECT_EQ(kern::FixedSquareRoot(2 * 4096), 5792);
    EXPECT_EQ(kern::FixedSquareRoot(4 * 4096), 2 * 4096);
    EXPECT_EQ(kern::FixedSquareRoot(INT32_MAX), 2965820);
}

TEST(FixedSquareRoot, ReturnsTheLowBitsOfTheStartValueForNegatives)
{
    EXPECT_EQ(kern::FixedSquareRoot(-4096), -8388608);
    EXPECT_EQ(kern::FixedSquareRoot(-1), -2048);
    // -2^31 * 2048 = -2^42: low 32 bits 0.
    EXPECT_EQ(kern::FixedSquareRoot(INT32_MIN), 0);
}
