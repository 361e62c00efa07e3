// The loader against unsound kernel files: the ELF header, the program
// header table and every loadable segment are checked against the loaded
// image and the kernel range before anything is placed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "elf.h"
#include "fake_ata.h"
#include "fixed_memory.h"
#include "hw_host.h"
#include "stage4/st4.h"
#include "stage4/term.h"
#include "text_screen.h"
#include "volume.h"

using namespace testing_support;
typedef std::vector<std::string> Rows;

namespace {

const uint32_t SCRATCH = 0xBFC20000;   // where checkElf reads the images from
const size_t PH = 52;                  // the first program header
const std::string HALT = "Nothing left to do. Halt.";

Bytes bytes(size_t n, uint8_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = static_cast<uint8_t>(seed + i * 3);
    return b;
}

// Code at 0xC0000000 (entry 0xC0000010), data with a zero tail.
Bytes kernel()
{
    return make_elf(0xC0000010, {{1, 0xC0000000, 0x200, bytes(0x200, 1)},
                                 {1, 0xC0001000, 0x400, bytes(0x80, 7), 6}});
}

// Runs checkElf on the first `length` bytes of `elf` (all of it by default);
// returns "" when it passes silently, else the "ERROR:" line it ended with.
std::string check(const Bytes& elf, uint32_t length = 0xFFFFFFFF)
{
    std::memset(fixed(SCRATCH), 0, 0x10000);
    std::memcpy(fixed(SCRATCH), elf.data(), elf.size());
    hwsim::reset();
    loader::clearScreen();
    try {
        loader::checkElf(fixed(SCRATCH), std::min<uint32_t>(length, static_cast<uint32_t>(elf.size())));
    } catch (const hwsim::Halt&) {
        Rows rows = screen_rows();
        if (rows.size() == 3 && rows[1].empty() && rows[2] == HALT)
            return rows[0];
        return "(unexpected screen)";
    }
    return screen_rows().empty() ? "" : "(output)";
}

// The kernel with one program header field of header i replaced.
Bytes with_ph(Bytes elf, int i, size_t field, uint32_t value)
{
    put32(elf, PH + 32 * i + field, value);
    return elf;
}

Bytes with_segments(uint32_t entry, const std::vector<Segment>& segments)
{
    return make_elf(entry, segments);
}

uint32_t boot(const Bytes& disk)
{
    hwsim::reset();
    hwsim::ata_attach(disk);
    loader::clearScreen();
    try {
        st4main();
    } catch (const hwsim::Entry& e) {
        return e.address;
    } catch (const hwsim::Halt&) {
        return 0;
    }
    return 0;
}

} // namespace

TEST(LoaderElf, ASoundKernelPassesWithoutOutput)
{
    EXPECT_EQ(check(kernel()), "");
    EXPECT_EQ(check(make_elf(0xC0000000, {{1, 0xC0000000, 1, {0x90}}})), "");
}

TEST(LoaderElf, TheHeaderMustBeA32BitLittleEndian386One)
{
    Bytes elf = kernel();
    EXPECT_EQ(check(elf, 51), "ERROR: ELF HEADER TRUNCATED");
    Bytes b = elf;
    b[4] = 2;
    EXPECT_EQ(check(b), "ERROR: BAD ELF CLASS 2");
    b = elf;
    b[5] = 2;
    EXPECT_EQ(check(b), "ERROR: BAD ELF BYTE ORDER 2");
    b = elf;
    put16(b, 0x12, 62);
    EXPECT_EQ(check(b), "ERROR: BAD ELF MACHINE 62");
    b = elf;
    put16(b, 0x2A, 16);
    EXPECT_EQ(check(b), "ERROR: BAD ELF PHENTSIZE 16");
}

TEST(LoaderElf, TheProgramHeaderTableLiesInsideTheFile)
{
    Bytes elf = kernel();
    Bytes b = elf;
    put16(b, 0x2C, 65535);
    EXPECT_EQ(check(b), "ERROR: PROGRAM HEADERS OUTSIDE FILE");
    b = elf;
    put32(b, 0x1C, 0xFFFFFFF0);   // the end would wrap past 2^32
    EXPECT_EQ(check(b), "ERROR: PROGRAM HEADERS OUTSIDE FILE");
    b = elf;
    put32(b, 0x1C, static_cast<uint32_t>(elf.size()) + 1);
    EXPECT_EQ(check(b), "ERROR: PROGRAM HEADERS OUTSIDE FILE");

    // A bss-only segment: the file is the header and the table, no more.
    Bytes bss = make_elf(0xC0000000, {{1, 0xC0000000, 0x100, {}}});
    ASSERT_EQ(bss.size(), 84u);
    EXPECT_EQ(check(bss, 84), "");
    EXPECT_EQ(check(bss, 83), "ERROR: PROGRAM HEADERS OUTSIDE FILE");
    // No headers at all: nothing holds the entry.
    Bytes none = make_elf(0xC0000000, {});
    EXPECT_EQ(check(none), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0000000");
}

TEST(LoaderElf, ASegmentsFileBytesLieInsideTheFile)
{
    Bytes elf = kernel();
    EXPECT_EQ(check(elf, static_cast<uint32_t>(elf.size()) - 1),
              "ERROR: SEGMENT OUTSIDE FILE AT 0xC0001000");
    EXPECT_EQ(check(with_ph(elf, 0, 0x04, 0xFFFFFFFF)), "ERROR: SEGMENT OUTSIDE FILE AT 0xC0000000");
    EXPECT_EQ(check(with_ph(elf, 0, 0x04, static_cast<uint32_t>(elf.size()) + 1)),
              "ERROR: SEGMENT OUTSIDE FILE AT 0xC0000000");
    EXPECT_EQ(check(with_ph(with_ph(elf, 1, 0x10, 0x400), 1, 0x14, 0x400)),
              "ERROR: SEGMENT OUTSIDE FILE AT 0xC0001000");
    EXPECT_EQ(check(with_ph(elf, 1, 0x10, 0x401)),
              "ERROR: SEGMENT FILE SIZE ABOVE MEMORY SIZE AT 0xC0001000");
}

TEST(LoaderElf, ASegmentLiesBetweenTheKernelBaseAndTheBootStack)
{
    Bytes elf = kernel();
    const std::pair<uint32_t, std::string> outside[] = {
        {0, "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0x0"},
        {0xBFC01000, "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xBFC01000"},   // the loader
        {0xBFFFFFFF, "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xBFFFFFFF"},
        {0xC03EFC01, "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xC03EFC01"},   // one byte into the stack
        {0xC03F0000, "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xC03F0000"},
        {0xFFFFFF00, "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xFFFFFF00"},   // would wrap
    };
    for (const auto& c : outside)
        EXPECT_EQ(check(with_ph(elf, 1, 0x08, c.first)), c.second);
    // 0x400 bytes ending right below the stack.
    EXPECT_EQ(check(with_ph(elf, 1, 0x08, loader::BOOT_STACK_BOTTOM - 0x400)), "");
    EXPECT_EQ(check(with_ph(elf, 1, 0x14, loader::BOOT_STACK_BOTTOM - 0xC0001000)), "");
    EXPECT_EQ(check(with_ph(elf, 1, 0x14, loader::BOOT_STACK_BOTTOM - 0xC0001000 + 1)),
              "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xC0001000");
}

TEST(LoaderElf, TheEntryLiesInALoadedExecutableSegment)
{
    Bytes elf = kernel();   // code 0xC0000000-0xC00001FF, data from 0xC0001000
    auto entry = [&](uint32_t e) {
        Bytes b = elf;
        put32(b, 0x18, e);
        return check(b);
    };
    EXPECT_EQ(entry(0xC0000000), "");
    EXPECT_EQ(entry(0xC00001FF), "");
    EXPECT_EQ(entry(0xC0000200), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0000200");
    EXPECT_EQ(entry(0xBFFFFFFF), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xBFFFFFFF");
    EXPECT_EQ(entry(0xC0001000), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0001000");   // data
    // An executable header that is not loadable holds no entry.
    Bytes note = with_segments(0xC0000000, {{4, 0xC0000000, 0x10, bytes(0x10, 2), 5}});
    EXPECT_EQ(check(note), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0000000");
}

TEST(LoaderElf, HeadersThatPlaceNothingAreSkippedUnchecked)
{
    Bytes elf = with_segments(0xC0000000, {
        {0x6474E551, 0, 0, {}, 6},                     // PT_GNU_STACK
        {4, 0, 0x10, bytes(0x10, 3), 4},               // a note at 0
        {1, 0xBFC01000, 0, bytes(0x10, 4)},            // loadable, but empty
        {1, 0xC0000000, 0x40, bytes(0x40, 5)},
    });
    put32(elf, PH + 32 * 1 + 0x04, 0xFFFFFFFF);        // the note's bytes nowhere
    EXPECT_EQ(check(elf), "");
}

TEST(LoaderElf, NothingIsPlacedWhenALaterSegmentIsUnsound)
{
    Bytes elf = with_segments(0xC0000000, {{1, 0xC0000000, 0x100, bytes(0x100, 1)},
                                           {1, 0xBFC01000, 0x100, bytes(0x100, 2), 6}});
    Bytes disk = make_volume({{write_file("kernel", elf), "KRNL.VOX"}});
    std::memset(fixed(0xC0000000), 0xAA, 0x1000);
    std::memset(fixed(0xBFC01000), 0x55, 0x3000);
    EXPECT_EQ(boot(disk), 0u);
    Rows rows = screen_rows();
    ASSERT_EQ(rows.size(), 17u);
    EXPECT_EQ(Rows(rows.begin() + 13, rows.end()), (Rows{
        "KRNL.VOX loaded at 0xBFC12420",
        "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xBFC01000",
        "",
        HALT,
    }));
    for (uint32_t i = 0; i < 0x1000; i++)
        ASSERT_EQ(*fixed(0xC0000000 + i), 0xAA) << i;
    for (uint32_t i = 0; i < 0x3000; i++)
        ASSERT_EQ(*fixed(0xBFC01000 + i), 0x55) << i;
}

TEST(LoaderElf, TheImageIsWholeClustersSoATruncatedFileFailsOnlyPastThem)
{
    Bytes elf = kernel();   // 756 bytes of headers and data: two clusters
    Bytes cut(elf.begin(), elf.begin() + 600);
    Bytes disk = make_volume({{write_file("kernel", cut), "KRNL.VOX"}});
    EXPECT_EQ(boot(disk), 0xC0000010u);   // the rest of cluster 2 reads as zeros

    Bytes big = make_elf(0xC0000000, {{1, 0xC0000000, 0x600, bytes(0x600, 1)}});
    Bytes big_cut(big.begin(), big.begin() + 1000);
    disk = make_volume({{write_file("kernel", big_cut), "KRNL.VOX"}});
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(screen_row(14), "ERROR: SEGMENT OUTSIDE FILE AT 0xC0000000");
}
