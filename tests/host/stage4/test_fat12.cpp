// The loader's reading of FAT12 volumes: the boot sector's fields, the
// cluster chain, and the root directory's listing and choice of the kernel,
// against volumes made by mtools and changed byte by byte.
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
// Commands that read the data area (sector 33 on), in order.
std::vector<uint32_t> cluster_reads()
{
    std::vector<uint32_t> lbas;
    for (const hwsim::AtaCommand& c : hwsim::ata_commands())
        if (c.lba >= 33)
            lbas.push_back(c.lba);
    return lbas;
}

// Where the loader reads the standard layout's root directory to: after the
// two FATs of 9 sectors in its FAT scratch.
const uint32_t ROOT_DIR_144 = machine::FAT_SCRATCH + 2 * 9 * 512;

loader::Bpb bpb(uint32_t spc, uint32_t reserved, uint32_t fats, uint32_t root, uint32_t spf,
                uint32_t total)
{
    return {512, spc, reserved, fats, root, spf, total, 0xF0};
}

// Runs checkBpb; returns "" when it passes, else the error line it wrote.
std::string check(const loader::Bpb& b)
{
    hwsim::reset();
    loader::clearScreen();
    try {
        loader::checkBpb(b);
    } catch (const hwsim::Halt&) {
        return error_line();
    }
    return screen_rows().empty() ? "" : "(output)";
}

struct FieldCase {
    size_t offset;
    int width;
    uint32_t value;
    std::string line;
};

} // namespace

TEST(LoaderBootSector, AnUnsoundFieldEndsInItsErrorBeforeAnyOtherRead)
{
    const FieldCase cases[] = {
        {0x0B, 16, 0, "ERROR: BAD BYTES PER SECTOR 0"},
        {0x0B, 16, 4096, "ERROR: BAD BYTES PER SECTOR 4096"},
        {0x0B, 16, 256, "ERROR: BAD BYTES PER SECTOR 256"},
        {0x0D, 8, 0, "ERROR: BAD SECTORS PER CLUSTER 0"},
        {0x0D, 8, 3, "ERROR: BAD SECTORS PER CLUSTER 3"},
        {0x0D, 8, 255, "ERROR: BAD SECTORS PER CLUSTER 255"},
        {0x0E, 16, 0, "ERROR: BAD RESERVED SECTORS 0"},
        {0x10, 8, 0, "ERROR: BAD NUMBER OF FATS 0"},
        {0x15, 8, 0, "ERROR: BAD MEDIA BYTE 0x0"},
        {0x15, 8, 0xF7, "ERROR: BAD MEDIA BYTE 0xF7"},
        {0x16, 16, 0, "ERROR: BAD SECTORS PER FAT 0"},
        {0x11, 16, 0, "ERROR: BAD ROOT DIR ENTRIES 0"},
        {0x11, 16, 17, "ERROR: BAD ROOT DIR ENTRIES 17"},
        {0x11, 16, 65535, "ERROR: BAD ROOT DIR ENTRIES 65535"},
        {0x16, 16, 65535, "ERROR: FAT AREA TOO LARGE 131070"},
        {0x13, 16, 0, "ERROR: BAD TOTAL SECTORS 0"},     // and the 32-bit count is 0 too
        {0x13, 16, 33, "ERROR: BAD TOTAL SECTORS 33"},   // no room for one cluster
    };
    Bytes sound = kernel_volume();
    for (const FieldCase& c : cases) {
        Bytes disk = sound;
        if (c.width == 8)
            disk[c.offset] = static_cast<uint8_t>(c.value);
        else
            put16(disk, c.offset, static_cast<uint16_t>(c.value));
        EXPECT_EQ(boot(disk, {}, false), 0u) << c.line;
        EXPECT_EQ(error_line(), c.line);
        EXPECT_EQ(hwsim::ata_commands().size(), 1u) << c.line;
    }
}

TEST(LoaderBootSector, TheErrorFollowsTheGeometryLines)
{
    Bytes disk = kernel_volume();
    disk[0x10] = 0;
    boot(disk, {}, false);
    EXPECT_EQ(screen_rows(), (Rows{
        "Quillon's Rattlebox Bootloader II", "", "FAT12 Filesystem Info",
        "Reserved Sectors: 1", "Sectors Per FAT: 9", "Number of FATs: 0",
        "Max Root Dir Entries: 224", "ERROR: BAD NUMBER OF FATS 0", "", HALT,
    }));
}

TEST(LoaderBootSector, TheLimitsThemselvesAreSound)
{
    // 4084 clusters of 64 KiB behind 65535 reserved sectors and 255 FATs of
    // 12 sectors (6144 bytes, 6129 of them entries); 4085 make FAT16.
    const uint32_t data = 65535 + 255 * 12 + 1;
    EXPECT_EQ(check(bpb(128, 65535, 255, 16, 12, data + 4084 * 128 + 127)), "");
    EXPECT_EQ(check(bpb(128, 65535, 255, 16, 12, data + 4085 * 128)),
              "ERROR: TOO MANY CLUSTERS FOR FAT12 4085");
    EXPECT_EQ(check(bpb(128, 65535, 255, 16, 1, 0xFFFFFFFF)),
              "ERROR: TOO MANY CLUSTERS FOR FAT12 33553918");
    // One FAT sector holds the entries of clusters 0 to 340 (bytes 510-511):
    // 339 data clusters.
    EXPECT_EQ(check(bpb(1, 1, 2, 224, 1, 17 + 339)), "");
    EXPECT_EQ(check(bpb(1, 1, 2, 224, 1, 17 + 340)), "ERROR: FAT TOO SMALL FOR CLUSTERS 340");
    // Every whole number of root directory sectors, up to 4095 (65520
    // entries), whatever one command can read.
    EXPECT_EQ(check(bpb(1, 1, 2, 4080, 9, 2880)), "");
    EXPECT_EQ(check(bpb(1, 1, 2, 4096, 9, 2880)), "");
    EXPECT_EQ(check(bpb(1, 1, 2, 65520, 12, 4119 + 4084)), "");
    EXPECT_EQ(check(bpb(1, 1, 2, 65535, 12, 65535)), "ERROR: BAD ROOT DIR ENTRIES 65535");
    // The largest directory behind FATs that end it right at 0xC0000000.
    EXPECT_EQ(check(bpb(1, 1, 2, 65520, 1984, 8065)), "");
    EXPECT_EQ(check(bpb(1, 1, 2, 65520, 1985, 8067)), "ERROR: FAT AREA TOO LARGE 3970");
    // FATs and directory ending right at 0xC0000000: 8050 + 14 sectors.
    EXPECT_EQ(check(bpb(1, 1, 1, 224, 8050, 8065 + 4084)), "");
    EXPECT_EQ(check(bpb(1, 1, 1, 224, 8051, 65535)), "ERROR: FAT AREA TOO LARGE 8051");
    EXPECT_EQ(check(bpb(1, 1, 255, 224, 65535, 65535)), "ERROR: FAT AREA TOO LARGE 16711425");
    // Room for exactly one cluster after sector 33.
    EXPECT_EQ(check(bpb(4, 1, 2, 224, 9, 37)), "");
    EXPECT_EQ(check(bpb(4, 1, 2, 224, 9, 36)), "ERROR: BAD TOTAL SECTORS 36");
}

TEST(LoaderBootSector, TheMediaByteIsOneTheFormatDefines)
{
    for (uint32_t media = 0; media <= 0xFF; media++) {
        loader::Bpb b = bpb(1, 1, 2, 224, 9, 2880);
        b.media = media;
        bool defined = media == 0xF0 || media >= 0xF8;
        char line[32];
        std::snprintf(line, sizeof line, "ERROR: BAD MEDIA BYTE 0x%X", media);
        EXPECT_EQ(check(b), defined ? "" : line);
    }
    Bytes disk = kernel_volume();
    EXPECT_EQ(loader::readBpb(disk.data()).media, 0xF0u);
}

TEST(LoaderBootSector, TheTotalIsTheShortCountOrElseTheLongOne)
{
    Bytes disk = kernel_volume();
    EXPECT_EQ(loader::readBpb(disk.data()).totalSectors, 2880u);
    put16(disk, 0x13, 0);
    put32(disk, 0x20, 70000);
    EXPECT_EQ(loader::readBpb(disk.data()).totalSectors, 70000u);
}

TEST(LoaderBootSector, TheHighestClusterIsTheDataAreasLast)
{
    EXPECT_EQ(loader::highestCluster(bpb(1, 1, 2, 224, 9, 2880)), HIGHEST_144);
    EXPECT_EQ(loader::highestCluster(bpb(8, 32, 2, 224, 2, 2880)), 354u);   // 2830 / 8 + 1
    EXPECT_EQ(loader::highestCluster(bpb(4, 1, 2, 224, 9, 37)), 2u);
}

TEST(LoaderBootSector, FourThousandEightyFourClustersWithTheKernelInTheHighestBoot)
{
    // 512-byte clusters, 2 FATs of 12 sectors: data from sector 39, clusters
    // 2 to 4085; the kernel's three clusters moved to 4083, 4084 and 4085.
    Bytes disk = kernel_volume();
    const uint32_t data = 1 + 2 * 12 + 14, highest = 4085;
    Bytes grown(512 * (data + 4084));
    std::copy(disk.begin(), disk.begin() + 512, grown.begin());
    put16(grown, 0x16, 12);
    put16(grown, 0x13, static_cast<uint16_t>(data + 4084));
    std::copy(disk.begin() + ROOT_OFFSET, disk.begin() + ROOT_OFFSET + 14 * 512,
              grown.begin() + 25 * 512);
    put16(grown, 25 * 512 + 0x1A, highest - 2);
    for (uint32_t i = 0; i < 3; i++)
        std::copy(disk.begin() + (33 + i) * 512, disk.begin() + (34 + i) * 512,
                  grown.begin() + (data + highest - 4 + i) * 512);
    set_fat(grown, highest - 2, highest - 1);
    set_fat(grown, highest - 1, highest);
    set_fat(grown, highest, 0xFFF);
    EXPECT_EQ(boot(grown, {}, false), (machine::KERNEL_BASE + 0x10));
    EXPECT_EQ(hwsim::ata_commands().back().lba, data + highest - 2);

    put16(grown, 0x13, static_cast<uint16_t>(data + 4085));
    EXPECT_EQ(boot(grown, {}, false), 0u);
    EXPECT_EQ(error_line(), "ERROR: TOO MANY CLUSTERS FOR FAT12 4085");
}

TEST(LoaderBootSector, LargestClustersLoadTheKernel)
{
    // 64 KiB clusters: cluster 2 still starts at sector 33 and now holds the
    // whole file, read in one command of 128 sectors; its link is not read.
    Bytes disk = kernel_volume();
    disk[0x0D] = 128;
    EXPECT_EQ(boot(disk, {}, false), (machine::KERNEL_BASE + 0x10));
    EXPECT_EQ(cluster_reads(), (std::vector<uint32_t>{33}));
    EXPECT_EQ(hwsim::ata_commands().size(), 3u);
    EXPECT_EQ(hwsim::ata_commands()[2].count, 128);
}

TEST(LoaderChain, ALinkOutOfRangeEndsInItsError)
{
    const std::pair<uint16_t, std::string> cases[] = {
        {0, "ERROR: BAD CLUSTER 0"},          // a free cluster
        {1, "ERROR: BAD CLUSTER 1"},
        {HIGHEST_144 + 1, "ERROR: BAD CLUSTER 2849"},
        {0xFF7, "ERROR: BAD CLUSTER 4087"},   // marked bad
    };
    Bytes sound = kernel_volume();
    for (const auto& c : cases) {
        Bytes disk = sound;
        set_fat(disk, 3, c.first);
        EXPECT_EQ(boot(disk, {}, false), 0u);
        EXPECT_EQ(error_line(), c.second);
        EXPECT_EQ(cluster_reads(), (std::vector<uint32_t>{33, 34})) << c.second;
    }
}

TEST(LoaderChain, TheLastClusterIsSoundAndTheFilesSizeEndsTheChain)
{
    Bytes sound = kernel_volume();
    uint32_t size = get32(sound, ROOT_OFFSET + 0x1C);
    ASSERT_EQ((size + 511) / 512, 3u);
    Bytes disk = sound;
    set_fat(disk, 3, HIGHEST_144);
    std::copy(sound.begin() + 35 * 512, sound.begin() + 36 * 512, disk.begin() + (HIGHEST_144 + 31) * 512);
    set_fat(disk, HIGHEST_144, 0);   // a free link after the last cluster is never read
    EXPECT_EQ(boot(disk, {}, false), (machine::KERNEL_BASE + 0x10));
    EXPECT_EQ(cluster_reads(), (std::vector<uint32_t>{33, 34, HIGHEST_144 + 31}));
    for (uint16_t end = 0xFF8; end <= 0xFFF; end++) {
        disk = sound;
        set_fat(disk, 3, end);
        EXPECT_EQ(boot(disk, {}, false), 0u) << end;
        EXPECT_EQ(error_line(), "ERROR: CLUSTER CHAIN SHORTER THAN FILE SIZE " + std::to_string(size));
        EXPECT_EQ(cluster_reads(), (std::vector<uint32_t>{33, 34})) << end;
    }
}

TEST(LoaderChain, TheRecordedSizeSaysHowManyClustersAreRead)
{
    Bytes sound = kernel_volume();
    Bytes disk = sound;
    put32(disk, ROOT_OFFSET + 0x1C, 0);
    EXPECT_EQ(boot(disk, {}, false), 0u);
    EXPECT_EQ(error_line(), "ERROR: KERNEL FILE EMPTY");
    EXPECT_TRUE(cluster_reads().empty());
    // 1,000,000 bytes on a chain of three clusters.
    put32(disk, ROOT_OFFSET + 0x1C, 1000000);
    EXPECT_EQ(boot(disk, {}, false), 0u);
    EXPECT_EQ(error_line(), "ERROR: CLUSTER CHAIN SHORTER THAN FILE SIZE 1000000");
    EXPECT_EQ(cluster_reads(), (std::vector<uint32_t>{33, 34, 35}));
}

TEST(LoaderChain, AFirstClusterOutOfRangeEndsInItsError)
{
    Bytes empty = make_volume({{write_file("empty", {}), "KRNL.VOX"}});
    EXPECT_EQ(boot(empty, {}, false), 0u);
    EXPECT_EQ(screen_row(9), "KRNL.VOX 0 <-- KERNEL");
    EXPECT_EQ(error_line(), "ERROR: KERNEL FILE EMPTY");

    Bytes disk = kernel_volume();
    put16(disk, ROOT_OFFSET + 0x1A, 1);
    boot(disk, {}, false);
    EXPECT_EQ(error_line(), "ERROR: BAD CLUSTER 1");
    put16(disk, ROOT_OFFSET + 0x1A, 0x1000);   // not a 12-bit end mark
    boot(disk, {}, false);
    EXPECT_EQ(error_line(), "ERROR: BAD CLUSTER 4096");
    EXPECT_TRUE(cluster_reads().empty());
}

TEST(LoaderChain, AChainThatComesBackToAClusterLoops)
{
    Bytes disk = kernel_volume();
    set_fat(disk, 3, 2);
    EXPECT_EQ(boot(disk, {}, false), 0u);
    EXPECT_EQ(error_line(), "ERROR: CLUSTER CHAIN LOOPS");
    EXPECT_EQ(cluster_reads(), (std::vector<uint32_t>{33, 34}));
    // A file as large as the volume, its chain running through every
    // cluster and back to the first: found at the last link.
    disk = kernel_volume();
    put32(disk, ROOT_OFFSET + 0x1C, 512 * (HIGHEST_144 - 1) + 1);
    for (uint32_t c = 4; c < HIGHEST_144; c++)
        set_fat(disk, c, static_cast<uint16_t>(c + 1));
    set_fat(disk, HIGHEST_144, 2);
    EXPECT_EQ(boot(disk, {}, false), 0u);
    EXPECT_EQ(error_line(), "ERROR: CLUSTER CHAIN LOOPS");
    EXPECT_EQ(cluster_reads().size(), HIGHEST_144 - 1);
}

TEST(LoaderChain, AFileThatWouldReachTheKernelRangeIsRefusedBeforeAnyRead)
{
    // One entry: the image starts at 0xBFC12420, 0x3EDBE0 bytes below the
    // kernel range, room for 8045 clusters of 512 bytes and a part of one.
    Bytes disk = kernel_volume();
    std::memset(fixed(loader::KERNEL_BASE), 0xAA, 0x10000);
    const std::pair<uint32_t, std::string> cases[] = {
        {8045 * 512, "ERROR: CLUSTER CHAIN SHORTER THAN FILE SIZE 4119040"},
        {8045 * 512 + 1, "ERROR: KERNEL FILE TOO LARGE"},
        {0xFFFFFFFF, "ERROR: KERNEL FILE TOO LARGE"},
    };
    for (const auto& c : cases) {
        put32(disk, ROOT_OFFSET + 0x1C, c.first);
        EXPECT_EQ(boot(disk, {}, false), 0u);
        EXPECT_EQ(error_line(), c.second);
    }
    EXPECT_TRUE(cluster_reads().empty());
    for (uint32_t i = 0; i < 0x10000; i++)
        ASSERT_EQ(*fixed(loader::KERNEL_BASE + i), 0xAA) << i;
}

TEST(LoaderDirectory, ListsEveryEntryWithItsSizeAndMarksTheKernel)
{
    Bytes kernel = paged_kernel();
    Bytes disk = volume_with({{"README", Bytes(3, 'r')},
                              {"KRNL.VOX", kernel},
                              {"A.B", Bytes(1234, 'a')},
                              {"LONGNAME.TXT", Bytes(0)}});
    boot(disk);
    Rows rows = screen_rows();
    ASSERT_GE(rows.size(), 13u);
    EXPECT_EQ(Rows(rows.begin() + 9, rows.begin() + 13), (Rows{
        "README. 3",
        "KRNL.VOX " + std::to_string(kernel.size()) + " <-- KERNEL",
        "A.B 1234",
        "LONGNAME.TXT 0",
    }));
    // The image starts at the slot after the last listed entry.
    EXPECT_EQ(rows.back(), "KRNL.VOX loaded at 0xBFC12480");
}

TEST(LoaderDirectory, DeletedEntriesAreListedToo)
{
    Bytes disk = volume_with({{"OLD.TXT", Bytes(5, 'o')}, {"KRNL.VOX", paged_kernel()}});
    disk[ROOT_OFFSET] = 0xE5;   // as a delete marks it
    boot(disk);
    EXPECT_EQ(screen_row(9), "\xE5LD.TXT 5");
}

TEST(LoaderDirectory, AnEmptyDirectoryEndsInTheNotFoundErrorAndHalts)
{
    Bytes disk = volume_with({});
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(screen_rows(), concat(geometry_144(), {
        "ERROR: KERN.VOX NOT FOUND",
        "",
        "Nothing left to do. Halt.",
    }));
}

TEST(LoaderDirectory, ALowerCaseNameIsNotTheKernel)
{
    Bytes disk = volume_with({{"KRNL.VOX", paged_kernel()}});
    rename_entry(disk, ROOT_OFFSET, 0, "krnl    vox");
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(screen_row(9), "krnl.vox " + std::to_string(paged_kernel().size()));
    EXPECT_EQ(screen_row(10), "ERROR: KERN.VOX NOT FOUND");
}

TEST(LoaderDirectory, ACaseFlaggedLowerCaseCopyIsTheKernel)
{
    // mcopy stores "krnl.vox" as the upper-case short name with a case flag.
    Bytes disk = volume_with({{"krnl.vox", paged_kernel()}});
    EXPECT_EQ(boot(disk), (machine::KERNEL_BASE + 0x10));
}

TEST(LoaderDirectory, TheFirstMatchingEntryIsTheKernelAndTheOnlyOneMarked)
{
    Bytes disk = volume_with({{"FIRST.BIN", paged_kernel()}, {"SECOND.BIN", Bytes(100, 'x')}});
    rename_entry(disk, ROOT_OFFSET, 0, "KRNL    VOX");
    rename_entry(disk, ROOT_OFFSET, 1, "KRNL    VOX");
    EXPECT_EQ(boot(disk), (machine::KERNEL_BASE + 0x10));
    EXPECT_EQ(screen_row(9), "KRNL.VOX " + std::to_string(paged_kernel().size()) + " <-- KERNEL");
    EXPECT_EQ(screen_row(10), "KRNL.VOX 100");
}

TEST(LoaderDirectory, OnlyARegularFileIsTheKernel)
{
    // A volume label, a long-name entry and a directory of the kernel's name
    // are listed but never loaded, before the kernel or after it.
    const uint8_t attributes[] = {0x08, 0x0F, 0x10, 0x28};
    for (uint8_t attribute : attributes) {
        Bytes disk = volume_with({{"A.BIN", Bytes(10, 'a')}, {"KRNL.VOX", paged_kernel()},
                                  {"B.BIN", Bytes(20, 'b')}});
        for (int slot : {0, 2}) {
            rename_entry(disk, ROOT_OFFSET, slot, "KRNL    VOX");
            disk[ROOT_OFFSET + 32 * slot + 0x0B] = attribute;
        }
        EXPECT_EQ(boot(disk), (machine::KERNEL_BASE + 0x10)) << int{attribute};
        Rows rows = screen_rows();
        ASSERT_GE(rows.size(), 12u);
        EXPECT_EQ(Rows(rows.begin() + 9, rows.begin() + 12), (Rows{
            "KRNL.VOX 10",
            "KRNL.VOX " + std::to_string(paged_kernel().size()) + " <-- KERNEL",
            "KRNL.VOX 20",
        })) << int{attribute};
        disk[ROOT_OFFSET + 32 + 0x0B] = attribute;
        EXPECT_EQ(boot(disk), 0u);
        EXPECT_EQ(screen_row(12), "ERROR: KERN.VOX NOT FOUND") << int{attribute};
    }
}

TEST(LoaderDirectory, ControlBytesInANameShowAsGlyphsAndKeepTheListingInPlace)
{
    Bytes disk = volume_with({{"AB.TXT", Bytes(7, 'a')}, {"KRNL.VOX", paged_kernel()}});
    const uint8_t odd[] = {'\n', '\r', 0x08, 0x1B, 0x01};
    std::memcpy(&disk[ROOT_OFFSET + 2], odd, sizeof odd);
    disk[ROOT_OFFSET + 8] = '\n';
    EXPECT_EQ(boot(disk), (machine::KERNEL_BASE + 0x10));
    EXPECT_EQ(screen_rows(), concat(geometry_144(), {
        std::string("AB\n\r\x08\x1B\x01.\nXT 7"),
        "KRNL.VOX " + std::to_string(paged_kernel().size()) + " <-- KERNEL",
        "",
        "Loading Kernel to temp location. Reloc 0xC0000000",
        "",
        "KRNL.VOX loaded at 0xBFC12440",
    }));
}

TEST(LoaderDirectory, AFullRootDirectoryWithoutAnEndMarkIsListedAndTheImageFollowsIt)
{
    // 223 files and the kernel in the last of the 224 slots.
    Bytes disk = volume_with({{"KRNL.VOX", paged_kernel()}});
    std::memcpy(&disk[ROOT_OFFSET + 32 * 223], &disk[ROOT_OFFSET], 32);
    for (int i = 0; i < 223; i++) {
        std::string name = "F" + std::to_string(1000 + i).substr(1) + "    TXT";
        Bytes entry(32, 0);
        std::memcpy(entry.data(), name.data(), 11);
        entry[0x0B] = 0x20;
        std::copy(entry.begin(), entry.end(), disk.begin() + ROOT_OFFSET + 32 * i);
    }
    EXPECT_EQ(boot(disk), (machine::KERNEL_BASE + 0x10));
    Rows rows = screen_rows();
    ASSERT_EQ(rows.size(), 24u);   // scrolled, the last row empty
    EXPECT_EQ(rows[18], "F222.TXT 0");
    EXPECT_EQ(rows[19], "KRNL.VOX " + std::to_string(paged_kernel().size()) + " <-- KERNEL");
    EXPECT_EQ(rows[23], "KRNL.VOX loaded at 0xBFC14000");   // 0xBFC12400 + 224 * 32
    expect_segments_placed(paged_kernel());
}

TEST(LoaderDirectory, AChainStartingAtAnEndMarkIsShorterThanTheFile)
{
    Bytes disk = volume_with({{"KRNL.VOX", paged_kernel()}});
    put16(disk, ROOT_OFFSET + 0x1A, 0xFF8);
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(hwsim::ata_commands().size(), 2u);   // boot sector and directory only
    EXPECT_EQ(screen_row(12),
              "ERROR: CLUSTER CHAIN SHORTER THAN FILE SIZE " + std::to_string(paged_kernel().size()));
}

TEST(LoaderDirectory, FollowsAFatEntryThatCrossesIntoTheNextFatSector)
{
    // Cluster 341's entry starts at byte 511 of the FAT: a pad file takes
    // clusters 2-340 so that the kernel runs through it.
    Bytes kernel = make_elf(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 20000, pattern(20000, 11)}});
    Bytes disk = volume_with({{"PAD.BIN", Bytes(339 * 512, 'p')}, {"KRNL.VOX", kernel}});
    EXPECT_EQ(boot(disk), machine::KERNEL_BASE);
    expect_segments_placed(kernel);
    bool crossed = false;
    for (const hwsim::AtaCommand& c : hwsim::ata_commands())
        crossed |= c.lba == 1 && c.count == 2;
    EXPECT_TRUE(crossed);
}

TEST(LoaderDirectory, CompareHelperMatchesByteRuns)
{
    EXPECT_EQ(loader::strcmps("KRNL", "KRNX", 3), 1);
    EXPECT_EQ(loader::strcmps("KRNL", "KRNX", 4), 0);
    EXPECT_EQ(loader::strcmps("a", "b", 0), 1);
    EXPECT_EQ(loader::strcmps("ab\0c", "ab\0d", 3), 1);   // no terminator handling
    EXPECT_EQ(loader::strcmps("ab\0c", "ab\0d", 4), 0);
}
