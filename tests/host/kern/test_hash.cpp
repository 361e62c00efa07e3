// The command-name hash against its check values: no bytes, whole blocks,
// and tails of one, two and three bytes.
#include <gtest/gtest.h>

#include <string.h>

#include "kern/hash.h"

namespace {

uint32_t hash_of(const char* text) { return kern::CreateHash(text, static_cast<uint32_t>(::strlen(text))); }

} // namespace

TEST(CreateHash, MatchesTheCheckValues)
{
    EXPECT_EQ(hash_of(""), 0x0DE5C6A9u);
    EXPECT_EQ(hash_of("a"), 0x8872DBC8u);
    EXPECT_EQ(hash_of("ab"), 0xD2BA8C7Du);
    EXPECT_EQ(hash_of("abc"), 0xD201576Fu);
    EXPECT_EQ(hash_of("help"), 0x52DF4AF5u);
    EXPECT_EQ(hash_of("clear"), 0x21B6C7E8u);
    EXPECT_EQ(hash_of("meminfo"), 0xF0F3C182u);
    EXPECT_EQ(hash_of("memregion"), 0x333A479Fu);
    EXPECT_EQ(hash_of("test"), 0xAA22D41Au);
}

TEST(CreateHash, ReadsBytesUnsignedAndOnlyLengthBytes)
{
    // Bytes above 0x7F, in a whole block and in a 3-byte tail, must not
    // sign-extend (the value was computed apart from this code).
    const uint8_t high[] = {0xFF, 0x80, 0xC3, 0xE9, 0xFE, 0x81, 0xAA};
    EXPECT_EQ(kern::CreateHash(high, sizeof high), 0x90B14309u);
    // The length decides: what follows is never read.
    EXPECT_EQ(kern::CreateHash("helpXYZ", 4), 0x52DF4AF5u);
    // An unaligned start hashes the same bytes the same way.
    char buffer[] = "_meminfo";
    EXPECT_EQ(kern::CreateHash(buffer + 1, 7), 0xF0F3C182u);
}
