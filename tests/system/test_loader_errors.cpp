// Unsound volumes and kernel files booted in QEMU: each ends in its
// "ERROR:" line and the loader's own halt, on the screen and the serial line,
// where the loader used to divide by zero, loop over a cycle, overwrite
// itself, read past the disk or run what a file's slack or a zero tail held.
#include <gtest/gtest.h>

#include "elf.h"
#include "qemu.h"
#include "volumes.h"

using namespace testing_support;
typedef std::vector<std::string> Rows;

namespace {

// Where things lie on a volume, from its boot sector.
struct Layout {
    size_t fat;          // byte offset of the first FAT
    size_t root;         // byte offset of the root directory
    uint32_t data;       // first sector of the data area (cluster 2)
    uint32_t cluster;    // sectors per cluster
};

Layout layout_of(const std::string& path)
{
    Bytes b = read_file(path);
    uint32_t reserved = get16(b, 0x0E), fats = b.at(0x10), spf = get16(b, 0x16);
    uint32_t root_sectors = get16(b, 0x11) * 32 / 512;
    return {reserved * 512u, (reserved + fats * spf) * 512u,
            reserved + fats * spf + root_sectors, b.at(0x0D)};
}

void patch16(const std::string& path, size_t at, uint16_t v)
{
    system_volumes::patch(path, at, Bytes{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
}

void patch32(const std::string& path, size_t at, uint32_t v)
{
    patch16(path, at, static_cast<uint16_t>(v));
    patch16(path, at + 2, static_cast<uint16_t>(v >> 16));
}

// Sets FAT12 entry `cluster` of the first FAT.
void set_fat(const std::string& path, uint32_t cluster, uint16_t value)
{
    size_t at = layout_of(path).fat + cluster + cluster / 2;
    uint16_t word = get16(read_file(path), at);
    word = cluster & 1 ? static_cast<uint16_t>((word & 0x000F) | value << 4)
                       : static_cast<uint16_t>((word & 0xF000) | value);
    patch16(path, at, word);
}

std::string volume_with_kernel(const Bytes& kernel, const std::string& name)
{
    return system_volumes::make({{write_file(name + ".vox", kernel), "KRNL.VOX"}}, name + ".img");
}

Bytes tiny_kernel(uint32_t vaddr)
{
    Bytes code(0x100, 0xF4);   // hlt
    return make_elf(vaddr, {{1, vaddr, 0x100, code}});
}

// Boots a volume that must end in the loader's halt; returns the screen's
// last three rows.
Rows last_rows_at_halt(const std::string& disk)
{
    Rows rows = system_volumes::boot_to_loader_halt(disk, 20);
    if (rows.size() < 3)
        return rows;
    return Rows(rows.end() - 3, rows.end());
}

Rows ending(const std::string& error) { return {error, "", "Nothing left to do. Halt."}; }

} // namespace

TEST(LoaderErrors, ZeroBytesPerSectorIsReportedInsteadOfDividing)
{
    std::string disk = volume_with_kernel(read_file(KERNEL_FILE), "bps0");
    patch16(disk, 0x0B, 0);
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: BAD BYTES PER SECTOR 0"));
}

TEST(LoaderErrors, AChainThatComesBackToAClusterIsRefused)
{
    // The kernel's second cluster linked back to its first.
    std::string disk = volume_with_kernel(read_file(KERNEL_FILE), "cycle");
    set_fat(disk, 3, 2);
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: CLUSTER CHAIN LOOPS"));
}

TEST(LoaderErrors, TheRecordedSizeBoundsTheKernelFile)
{
    // The real kernel's entry, its size changed: the program header table
    // past 100 bytes, a chain far shorter than 1,000,000 bytes, no bytes.
    std::string disk = volume_with_kernel(read_file(KERNEL_FILE), "size");
    size_t size_field = layout_of(disk).root + 0x1C;
    patch32(disk, size_field, 100);
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: PROGRAM HEADERS OUTSIDE FILE"));
    patch32(disk, size_field, 1000000);
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: CLUSTER CHAIN SHORTER THAN FILE SIZE 1000000"));
    patch32(disk, size_field, 0);
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: KERNEL FILE EMPTY"));
}

TEST(LoaderErrors, ASubdirectoryOfTheKernelsNameIsNotTheKernel)
{
    std::string disk = volume_with_kernel(read_file(KERNEL_FILE), "subdir");
    system_volumes::patch(disk, layout_of(disk).root + 0x0B, Bytes{0x10});
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: KERN.VOX NOT FOUND"));
}

TEST(LoaderErrors, AVolumeOf4085ClustersIsNotFat12)
{
    std::string disk = volume_with_kernel(read_file(KERNEL_FILE), "fat16");
    Layout l = layout_of(disk);
    patch16(disk, 0x13, static_cast<uint16_t>(l.data + 4085 * l.cluster));
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: TOO MANY CLUSTERS FOR FAT12 4085"));
}

TEST(LoaderErrors, KernelsThatWouldRunWhatNoSegmentGivesAreRefused)
{
    Bytes code(0x100, 0xF4);   // hlt
    std::string overlap = volume_with_kernel(
        make_elf(0xC0000000, {{1, 0xC0000000, 0x100, code}, {1, 0xC0000080, 0x100, code, 6}}),
        "overlap");
    EXPECT_EQ(last_rows_at_halt(overlap), ending("ERROR: SEGMENTS OVERLAP AT 0xC0000080"));
    std::string tail = volume_with_kernel(make_elf(0xC0000100, {{1, 0xC0000000, 0x200, code}}), "tail");
    EXPECT_EQ(last_rows_at_halt(tail), ending("ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0000100"));
    Bytes relocatable = tiny_kernel(0xC0000000);
    put16(relocatable, 0x10, 1);
    EXPECT_EQ(last_rows_at_halt(volume_with_kernel(relocatable, "rel")), ending("ERROR: BAD ELF TYPE 1"));
}

TEST(LoaderErrors, ASegmentOverTheLoaderIsRefused)
{
    std::string disk = volume_with_kernel(tiny_kernel(0xBFC01000), "overloader");
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xBFC01000"));
}

TEST(LoaderErrors, SixtyFiveThousandProgramHeadersAreRefused)
{
    Bytes kernel = read_file(KERNEL_FILE);
    put16(kernel, 0x2C, 65535);
    std::string disk = volume_with_kernel(kernel, "phnum");
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: PROGRAM HEADERS OUTSIDE FILE"));
}

TEST(LoaderErrors, AReadErrorThroughTheBiosNamesTheSectorAndHalts)
{
    // QEMU's blkdebug fails every read of one sector of the kernel's second
    // cluster, on a USB stick and on an AHCI disk: the loader's request of
    // the whole cluster fails, and its reads a sector at a time find the one.
    std::string disk = volume_with_kernel(read_file(KERNEL_FILE), "badsector");
    Layout l = layout_of(disk);
    uint32_t sector = l.data + l.cluster + 2;
    std::string text = "[inject-error]\nevent = \"read_aio\"\nerrno = \"5\"\nsector = \"" +
                       std::to_string(sector) + "\"\n";
    std::string config = write_file("badsector.conf", Bytes(text.begin(), text.end()));
    for (const char* medium : {"usb", "ahci"}) {
        Rows rows = system_volumes::boot_to_loader_halt("blkdebug:" + config + ":" + disk, 20, medium);
        ASSERT_GE(rows.size(), 3u) << medium;
        EXPECT_EQ(rows[2], "No ATA drive answers: reading BIOS drive 0x80") << medium;
        EXPECT_EQ(Rows(rows.end() - 3, rows.end()),
                  ending("ERROR: DISK FAULT AT LBA " + std::to_string(sector))) << medium;
    }
}

TEST(LoaderErrors, AClusterPastTheDiskEndsInTheDrivesError)
{
    // The volume claims 100 clusters more than the disk has; the kernel's
    // second cluster is one the disk does not hold.
    std::string disk = volume_with_kernel(read_file(KERNEL_FILE), "pastdisk");
    Layout l = layout_of(disk);
    uint32_t sectors = static_cast<uint32_t>(read_file(disk).size() / 512);
    uint32_t cluster = 2 + (sectors - l.data) / l.cluster + 10;
    patch16(disk, 0x13, static_cast<uint16_t>(sectors + 100 * l.cluster));
    set_fat(disk, 2, static_cast<uint16_t>(cluster));
    uint32_t lba = l.data + (cluster - 2) * l.cluster;
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: DISK FAULT AT LBA " + std::to_string(lba)));
}
