// The kernel's text routines: source-first copies, the equal-or-not compare
// and decimal formatting that never writes past its size.
#include <gtest/gtest.h>

#include <string>

#include "kern/string.h"

namespace {

const char GUARD = '#';

// A buffer pre-filled with guard bytes, to see exactly what was written.
struct Buffer {
    char bytes[40];
    Buffer() { std::fill(bytes, bytes + sizeof bytes, GUARD); }
    // Bytes written from the start up to the first untouched one.
    int written() const
    {
        int n = 0;
        while (n < static_cast<int>(sizeof bytes) && bytes[n] != GUARD)
            n++;
        return n;
    }
};

} // namespace

TEST(Strlen, CountsBytesBeforeTheTerminator)
{
    EXPECT_EQ(kern::strlen(""), 0);
    EXPECT_EQ(kern::strlen("meminfo"), 7);
    EXPECT_EQ(kern::strlen("\xff\x01"), 2);
}

TEST(Strcmp, AnswersOnlyEqualOrNot)
{
    EXPECT_EQ(kern::strcmp("help", "help"), 0);
    EXPECT_EQ(kern::strcmp("help", "helpme"), 1);
    EXPECT_EQ(kern::strcmp("helpme", "help"), 1);
    EXPECT_EQ(kern::strcmp("help", "HELP"), 1);
    // Not an ordering: both directions of a difference give 1.
    EXPECT_EQ(kern::strcmp("a", "b"), 1);
    EXPECT_EQ(kern::strcmp("b", "a"), 1);
}

TEST(Strcmp, EmptyFirstTextIsNeverEqual)
{
    EXPECT_EQ(kern::strcmp("", ""), 1);
    EXPECT_EQ(kern::strcmp("", "x"), 1);
    EXPECT_EQ(kern::strcmp("x", ""), 1);
}

TEST(Strcpy, TakesTheSourceFirstAndCopiesTheTerminator)
{
    Buffer b;
    kern::strcpy("12345", b.bytes);
    EXPECT_STREQ(b.bytes, "12345");
    EXPECT_EQ(b.written(), 6);

    Buffer e;
    kern::strcpy("", e.bytes);
    EXPECT_EQ(e.bytes[0], 0);
    EXPECT_EQ(e.written(), 1);
}

TEST(Strcat, AppendsTheSourceOverTheTerminator)
{
    Buffer b;
    kern::strcpy("8388608", b.bytes);
    kern::strcat(" / ", b.bytes);
    EXPECT_STREQ(b.bytes, "8388608 / ");
    EXPECT_EQ(b.written(), 11);
    kern::strcat("", b.bytes);
    EXPECT_STREQ(b.bytes, "8388608 / ");
}

TEST(Putint, FormatsDecimalDigitsWithSize32)
{
    struct Case {
        int32_t value;
        const char* text;
    } cases[] = {{0, "0"}, {7, "7"}, {10, "10"}, {8388608, "8388608"}, {1061376, "1061376"},
                 {2147483647, "2147483647"}};
    for (const Case& c : cases) {
        Buffer b;
        EXPECT_EQ(kern::putint(c.value, b.bytes, 32), b.bytes);
        EXPECT_STREQ(b.bytes, c.text);
        EXPECT_EQ(b.written(), static_cast<int>(std::string(c.text).size()) + 1) << c.text;
    }
}

TEST(Putint, NegativeValuesGetAMinusSign)
{
    Buffer a;
    kern::putint(-42, a.bytes, 32);
    EXPECT_STREQ(a.bytes, "-42");
    Buffer b;
    kern::putint(-2147483647 - 1, b.bytes, 32);
    EXPECT_STREQ(b.bytes, "-2147483648");
    EXPECT_EQ(b.written(), 12);
}

TEST(Putint, SizeZeroWritesNothingAndReturnsNull)
{
    for (int32_t v : {0, 5, -5, 2147483647}) {
        Buffer b;
        EXPECT_EQ(kern::putint(v, b.bytes, 0), nullptr);
        EXPECT_EQ(b.written(), 0);
    }
}

TEST(Putint, TooSmallASizeStaysWithinItsBytes)
{
    // "12345" needs 6 bytes: with fewer the text is left empty, never cut.
    for (uint32_t size = 1; size <= 5; size++) {
        Buffer b;
        EXPECT_EQ(kern::putint(12345, b.bytes, size), b.bytes);
        EXPECT_EQ(b.bytes[0], 0) << size;
        EXPECT_LE(b.written(), static_cast<int>(size)) << size;
    }
    Buffer exact;
    kern::putint(12345, exact.bytes, 6);
    EXPECT_STREQ(exact.bytes, "12345");

    Buffer zero;
    kern::putint(0, zero.bytes, 1);
    EXPECT_EQ(zero.bytes[0], 0);
    EXPECT_EQ(zero.written(), 1);

    Buffer negative;
    kern::putint(-7, negative.bytes, 2);
    EXPECT_EQ(negative.bytes[0], 0);
    EXPECT_EQ(negative.written(), 1);
    kern::putint(-7, negative.bytes, 3);
    EXPECT_STREQ(negative.bytes, "-7");
}
