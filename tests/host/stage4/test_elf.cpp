// The loader against kernel files: the ELF header, the program header table
// and every loadable segment are checked against the loaded image and the
// kernel range before anything is placed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "elf.h"
#include "fake_ata.h"
#include "fixed_memory.h"
#include "hw/machine.h"
#include "hw_host.h"
#include "loader_run.h"
#include "stage4/st4.h"
#include "stage4/term.h"
#include "text_screen.h"
#include "volume.h"

using namespace testing_support;

namespace {
const uint32_t SCRATCH = machine::FAT_SCRATCH + 0x10000;   // where checkElf reads the images from
const size_t PH = 52;                                       // the first program header

// Code at the kernel's base (entry 0x10 in), data with a zero tail.
Bytes kernel()
{
    return make_elf(machine::KERNEL_BASE + 0x10, {{1, machine::KERNEL_BASE, 0x200, pattern(0x200, 1)},
                                                  {1, machine::KERNEL_BASE + 0x1000, 0x400, pattern(0x80, 7), 6}});
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

} // namespace

TEST(LoaderElf, ASoundKernelPassesWithoutOutput)
{
    EXPECT_EQ(check(kernel()), "");
    EXPECT_EQ(check(make_elf(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 1, {0x90}}})), "");
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
}

TEST(LoaderElf, AProgramHeaderIsExactly32Bytes)
{
    // Read with another stride, the table would skip or misread segments
    // and a broken kernel would run.
    Bytes elf = kernel();
    for (uint16_t size : {0, 16, 31, 33, 40, 64, 0xFFFF}) {
        Bytes b = elf;
        put16(b, 0x2A, size);
        EXPECT_EQ(check(b), "ERROR: BAD PROGRAM HEADER SIZE " + std::to_string(size));
    }
    // Without headers the size says nothing; nothing then holds the entry.
    Bytes none = make_elf(machine::KERNEL_BASE, {});
    put16(none, 0x2A, 40);
    EXPECT_EQ(check(none), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0000000");
}

TEST(LoaderElf, ATableAtAnOddOffsetIsReadAsWell)
{
    // The table copied behind the file, one byte past its end.
    Bytes elf = kernel();
    uint32_t phoff = static_cast<uint32_t>(elf.size()) + 1;
    Bytes moved = elf;
    moved.push_back(0xCC);
    moved.insert(moved.end(), elf.begin() + PH, elf.begin() + PH + 2 * 32);
    put32(moved, 0x1C, phoff);
    std::memset(&moved[PH], 0xCC, 2 * 32);   // the old table is gone
    EXPECT_EQ(check(moved), "");
    put32(moved, phoff + 32 + 0x08, machine::KERNEL_BASE + 0x1FF);   // and its fields are the ones read
    EXPECT_EQ(check(moved), "ERROR: SEGMENTS OVERLAP AT 0xC00001FF");
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

    // One byte of code after the header and the table.
    Bytes one = make_elf(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 0x100, {0xF4}}});
    ASSERT_EQ(one.size(), 85u);
    EXPECT_EQ(check(one, 85), "");
    EXPECT_EQ(check(one, 84), "ERROR: SEGMENT OUTSIDE FILE AT 0xC0000000");
    EXPECT_EQ(check(one, 83), "ERROR: PROGRAM HEADERS OUTSIDE FILE");
    // No headers at all: nothing holds the entry.
    Bytes none = make_elf(machine::KERNEL_BASE, {});
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
        {machine::LOADER_BASE, "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xBFC01000"},   // the loader
        {machine::FAT_SCRATCH + 0x3EFFFF, "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xBFFFFFFF"},
        {machine::KERNEL_BASE + 0x3EFC01, "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xC03EFC01"},   // one byte into the stack
        {machine::STACK_BOTTOM, "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xC03F0000"},
        {0xFFFFFF00, "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xFFFFFF00"},   // would wrap
    };
    for (const auto& c : outside)
        EXPECT_EQ(check(with_ph(elf, 1, 0x08, c.first)), c.second);
    // 0x400 bytes ending right below the stack.
    EXPECT_EQ(check(with_ph(elf, 1, 0x08, loader::BOOT_STACK_BOTTOM - 0x400)), "");
    EXPECT_EQ(check(with_ph(elf, 1, 0x14, loader::BOOT_STACK_BOTTOM - (machine::KERNEL_BASE + 0x1000))), "");
    EXPECT_EQ(check(with_ph(elf, 1, 0x14, loader::BOOT_STACK_BOTTOM - (machine::KERNEL_BASE + 0x1000) + 1)),
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
    EXPECT_EQ(entry(machine::KERNEL_BASE), "");
    EXPECT_EQ(entry(machine::KERNEL_BASE + 0x1FF), "");
    EXPECT_EQ(entry(machine::KERNEL_BASE + 0x200), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0000200");
    EXPECT_EQ(entry(machine::FAT_SCRATCH + 0x3EFFFF), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xBFFFFFFF");
    EXPECT_EQ(entry(machine::KERNEL_BASE + 0x1000), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0001000");   // data
    // An executable header that is not loadable holds no entry.
    Bytes note = with_segments(machine::KERNEL_BASE, {{4, machine::KERNEL_BASE, 0x10, pattern(0x10, 2), 5}});
    EXPECT_EQ(check(note), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0000000");
}

TEST(LoaderElf, HeadersThatPlaceNothingAreSkippedUnchecked)
{
    Bytes elf = with_segments(machine::KERNEL_BASE, {
        {0x6474E551, 0, 0, {}, 6},                     // PT_GNU_STACK
        {4, 0, 0x10, pattern(0x10, 3), 4},               // a note at 0
        {1, machine::LOADER_BASE, 0, {}},                        // loadable, but empty
        {1, machine::KERNEL_BASE, 0x40, pattern(0x40, 5)},
    });
    put32(elf, PH + 32 * 1 + 0x04, 0xFFFFFFFF);        // the note's bytes nowhere
    EXPECT_EQ(check(elf), "");
}

TEST(LoaderElf, EveryLoadableHeadersFileSizeIsWithinItsMemorySize)
{
    // Also when the memory size is 0 and the header places nothing else.
    for (uint32_t filesz : {1u, 0x100u}) {
        Bytes elf = with_segments(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 0x100, pattern(0x100, 1)},
                                               {1, machine::LOADER_BASE, 0, pattern(filesz, 2)}});
        EXPECT_EQ(check(elf), "ERROR: SEGMENT FILE SIZE ABOVE MEMORY SIZE AT 0xBFC01000") << filesz;
    }
    Bytes first = with_segments(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE + 0x100000, 0, pattern(0x100, 2)},
                                             {1, machine::KERNEL_BASE, 0x100, pattern(0x100, 1)}});
    EXPECT_EQ(check(first), "ERROR: SEGMENT FILE SIZE ABOVE MEMORY SIZE AT 0xC0100000");
    // A header that is not loadable places nothing and is not checked.
    Bytes note = with_segments(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 0x100, pattern(0x100, 1)},
                                            {4, machine::KERNEL_BASE + 0x100000, 0, pattern(0x100, 2), 4}});
    EXPECT_EQ(check(note), "");
}

TEST(LoaderElf, LoadableSegmentsComeInAscendingAddressOrder)
{
    // Apart, but the second below the first.
    EXPECT_EQ(check(with_segments(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE + 0x1000, 0x100, pattern(0x100, 1), 6},
                                               {1, machine::KERNEL_BASE, 0x100, pattern(0x100, 2)}})),
              "ERROR: SEGMENTS OUT OF ORDER AT 0xC0000000");
    // Right behind each other, and an empty header between them at any address.
    EXPECT_EQ(check(with_segments(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 0x100, pattern(0x100, 1)},
                                               {1, machine::LOADER_BASE, 0, {}},
                                               {1, machine::KERNEL_BASE + 0x100, 0x100, pattern(0x10, 2), 6}})),
              "");
    // A third that fits the gap between the first two is out of order too.
    EXPECT_EQ(check(with_segments(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 0x100, pattern(0x100, 1)},
                                               {1, machine::KERNEL_BASE + 0x2000, 0x100, pattern(0x10, 2), 6},
                                               {1, machine::KERNEL_BASE + 0x1000, 0x100, pattern(0x10, 3), 6}})),
              "ERROR: SEGMENTS OUT OF ORDER AT 0xC0001000");
}

TEST(LoaderElf, SixtyFiveThousandFiveHundredThirtyFourSegmentsAreCheckedOnce)
{
    // One byte each at every 16th address, the entry in the first; then the
    // last one moved onto the one before it, then below the first.
    std::vector<Segment> segments;
    for (uint32_t i = 0; i < 65534; i++)
        segments.push_back({1, machine::KERNEL_BASE + 16 * i, 1, {static_cast<uint8_t>(i)}, i == 0 ? 5u : 6u});
    Bytes elf = with_segments(machine::KERNEL_BASE, segments);
    ASSERT_EQ(get16(elf, 0x2C), 65534);
    EXPECT_EQ(check(elf), "");
    const size_t last = PH + 32 * 65533 + 0x08;
    put32(elf, last, machine::KERNEL_BASE + 16 * 65532);
    EXPECT_EQ(check(elf), "ERROR: SEGMENTS OVERLAP AT 0xC00FFFC0");
    put32(elf, last, machine::KERNEL_BASE + 0x8);
    EXPECT_EQ(check(elf), "ERROR: SEGMENTS OUT OF ORDER AT 0xC0000008");
}

TEST(LoaderElf, HeadersAskingForDynamicLinkingAreRefused)
{
    // An interpreter or a dynamic section anywhere in the table: nothing
    // here resolves symbols or relocates. Other types are skipped.
    for (uint32_t type : {2u, 3u}) {
        Bytes before = with_segments(machine::KERNEL_BASE, {{type, 0, 0x10, pattern(0x10, 2), 4},
                                                  {1, machine::KERNEL_BASE, 0x100, pattern(0x100, 1)}});
        Bytes after = with_segments(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 0x100, pattern(0x100, 1)},
                                                 {type, 0, 0x10, pattern(0x10, 2), 4}});
        std::string line = "ERROR: KERNEL NEEDS DYNAMIC LINKING, HEADER TYPE " + std::to_string(type);
        EXPECT_EQ(check(before), line);
        EXPECT_EQ(check(after), line);
    }
    for (uint32_t type : {0u, 4u, 6u, 7u, 0x6474E551u}) {
        Bytes other = with_segments(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 0x100, pattern(0x100, 1)},
                                                 {type, 0, 0x10, pattern(0x10, 2), 4}});
        EXPECT_EQ(check(other), "") << type;
    }
}

TEST(LoaderElf, NothingIsPlacedWhenALaterSegmentIsUnsound)
{
    Bytes elf = with_segments(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 0x100, pattern(0x100, 1)},
                                           {1, machine::LOADER_BASE, 0x100, pattern(0x100, 2), 6}});
    Bytes disk = make_volume({{write_file("kernel", elf), "KRNL.VOX"}});
    std::memset(fixed(machine::KERNEL_BASE), 0xAA, 0x1000);
    std::memset(fixed(machine::LOADER_BASE), 0x55, 0x3000);
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
        ASSERT_EQ(*fixed(machine::KERNEL_BASE + i), 0xAA) << i;
    for (uint32_t i = 0; i < 0x3000; i++)
        ASSERT_EQ(*fixed(machine::LOADER_BASE + i), 0x55) << i;
}

TEST(LoaderElf, TheRecordedSizeIsTheFileNotItsLastCluster)
{
    // 756 bytes of headers and data in two clusters; what follows them in
    // the second cluster is not the file's.
    Bytes elf = kernel();
    const size_t size_field = 19 * 512 + 0x1C;   // the kernel's entry, 1.44 MB layout
    Bytes disk = make_volume({{write_file("kernel", elf), "KRNL.VOX"}});
    const std::pair<uint32_t, std::string> cases[] = {
        {600, "ERROR: SEGMENT OUTSIDE FILE AT 0xC0000000"},   // code ends at 628
        {755, "ERROR: SEGMENT OUTSIDE FILE AT 0xC0001000"},   // data at 628-755
        {115, "ERROR: PROGRAM HEADERS OUTSIDE FILE"},         // table at 52-115
        {51, "ERROR: ELF HEADER TRUNCATED"},
    };
    for (const auto& c : cases) {
        put32(disk, size_field, c.first);
        EXPECT_EQ(boot(disk), 0u) << c.first;
        EXPECT_EQ(screen_row(14), c.second);
    }
    put32(disk, size_field, 756);
    EXPECT_EQ(boot(disk), (machine::KERNEL_BASE + 0x10));
}

TEST(LoaderElf, TypeAndVersionsMustBeThoseOfAnExecutable)
{
    struct FieldCase {
        size_t offset;
        int width;
        uint32_t value;
        std::string line;
    };
    const FieldCase cases[] = {
        {0x06, 8, 0, "ERROR: BAD ELF IDENT VERSION 0"},
        {0x06, 8, 2, "ERROR: BAD ELF IDENT VERSION 2"},
        {0x10, 16, 0, "ERROR: BAD ELF TYPE 0"},      // ET_NONE
        {0x10, 16, 1, "ERROR: BAD ELF TYPE 1"},      // ET_REL
        {0x10, 16, 3, "ERROR: BAD ELF TYPE 3"},      // ET_DYN
        {0x14, 32, 0, "ERROR: BAD ELF VERSION 0"},
        {0x14, 32, 0x101, "ERROR: BAD ELF VERSION 257"},
    };
    for (const FieldCase& c : cases) {
        Bytes b = kernel();
        if (c.width == 8)
            b[c.offset] = static_cast<uint8_t>(c.value);
        else if (c.width == 16)
            put16(b, c.offset, static_cast<uint16_t>(c.value));
        else
            put32(b, c.offset, c.value);
        EXPECT_EQ(check(b), c.line);
    }
}

TEST(LoaderElf, SegmentsThatShareABytePlaceNothing)
{
    // The data segment moved onto the code's last byte, then just past it.
    Bytes elf = kernel();
    EXPECT_EQ(check(with_ph(elf, 1, 0x08, machine::KERNEL_BASE + 0x1FF)), "ERROR: SEGMENTS OVERLAP AT 0xC00001FF");
    EXPECT_EQ(check(with_ph(elf, 1, 0x08, machine::KERNEL_BASE + 0x200)), "");
    // A segment inside another, and one around it.
    EXPECT_EQ(check(with_segments(machine::KERNEL_BASE + 0x10, {{1, machine::KERNEL_BASE, 0x2000, pattern(0x20, 1)},
                                               {1, machine::KERNEL_BASE + 0x1000, 0x10, pattern(0x10, 2), 6}})),
              "ERROR: SEGMENTS OVERLAP AT 0xC0001000");
    EXPECT_EQ(check(with_segments(machine::KERNEL_BASE + 0x1010, {{1, machine::KERNEL_BASE + 0x1000, 0x20, pattern(0x20, 1)},
                                               {1, machine::KERNEL_BASE, 0x2000, pattern(0x10, 2), 6}})),
              "ERROR: SEGMENTS OVERLAP AT 0xC0000000");
    // Empty and non-loadable headers take no memory.
    EXPECT_EQ(check(with_segments(machine::KERNEL_BASE + 0x10, {{1, machine::KERNEL_BASE, 0x100, pattern(0x20, 1)},
                                               {1, machine::KERNEL_BASE, 0, {}, 6},
                                               {4, machine::KERNEL_BASE, 0x10, pattern(0x10, 2), 4}})),
              "");
}

TEST(LoaderElf, TheEntryMustBeInTheFileBytesOfCode)
{
    // Code of 0x100 file bytes and 0x100 of zero tail.
    Bytes elf = with_segments(machine::KERNEL_BASE + 0xFF, {{1, machine::KERNEL_BASE, 0x200, pattern(0x100, 1)}});
    EXPECT_EQ(check(elf), "");
    put32(elf, 0x18, machine::KERNEL_BASE + 0x100);
    EXPECT_EQ(check(elf), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0000100");
    put32(elf, 0x18, machine::KERNEL_BASE + 0x1FF);
    EXPECT_EQ(check(elf), "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC00001FF");
}

TEST(LoaderElf, AFileThatIsNotElfShowsTheWordItFound)
{
    Bytes disk = volume_with({{"KRNL.VOX", Bytes{'h', 'e', 'l', 'l', 'o'}}});
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(screen_rows(), concat(geometry_144(), {
        "KRNL.VOX 5 <-- KERNEL",
        "",
        "Loading Kernel to temp location. Reloc 0xC0000000",
        "",
        "ERROR: ELF_MAGIC BORKED",
        "Expected 0x464C457F got 0x6C6C6568",
        "",
        "Nothing left to do. Halt.",
    }));
}

TEST(LoaderElf, SkipsHeadersThatAreNotLoadableOrEmpty)
{
    Bytes kernel = make_elf(machine::KERNEL_BASE, {{4, machine::KERNEL_BASE + 0x100000, 16, pattern(16, 3)},    // a note
                                         {1, machine::KERNEL_BASE + 0x101000, 0, {}},                 // empty
                                         {1, machine::KERNEL_BASE, 64, pattern(64, 5)}});
    std::memset(fixed(machine::KERNEL_BASE + 0x100000), 0xCC, 0x2000);
    Bytes disk = volume_with({{"KRNL.VOX", kernel}});
    EXPECT_EQ(boot(disk), machine::KERNEL_BASE);
    for (uint32_t i = 0; i < 0x2000; i++)
        ASSERT_EQ(*fixed(machine::KERNEL_BASE + 0x100000 + i), 0xCC) << i;
    expect_segments_placed(kernel);
}
