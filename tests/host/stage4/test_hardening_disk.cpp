// The loader against unsound volumes and failing drives: boot sector fields,
// cluster chains and ATA errors end in one "ERROR:" line and the halt.
#include <gtest/gtest.h>

#include <cstdio>
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

// The standard 1.44 MB layout: FAT from byte 512, root directory from
// sector 19, cluster c at sector c + 31, clusters 2 to 2848.
const size_t FAT_OFFSET = 512;
const size_t ROOT_OFFSET = 19 * 512;
const uint32_t HIGHEST_144 = 2848;
const std::string HALT = "Nothing left to do. Halt.";

Bytes pattern(size_t n, uint8_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = static_cast<uint8_t>(seed + i * 5 + (i >> 8));
    return b;
}

// Three clusters: 2, 3 and 4.
Bytes small_kernel()
{
    return make_elf(0xC0000010, {{1, 0xC0000000, 1000, pattern(1000, 1)},
                                 {1, 0xC0001000, 0x400, pattern(0x100, 9), 6}});
}

Bytes kernel_volume(const Bytes& kernel = small_kernel())
{
    return make_volume({{write_file("kernel", kernel), "KRNL.VOX"}});
}

void set_fat(Bytes& disk, uint32_t cluster, uint16_t value)
{
    size_t at = FAT_OFFSET + cluster + cluster / 2;
    uint16_t word = get16(disk, at);
    word = cluster & 1 ? static_cast<uint16_t>((word & 0x000F) | value << 4)
                       : static_cast<uint16_t>((word & 0xF000) | value);
    put16(disk, at, word);
}

// Boots the loader; returns the entry address, or 0 when it halted.
uint32_t boot(const Bytes& disk, hwsim::AtaOptions options = {})
{
    hwsim::reset();
    hwsim::set_tracing(false);
    hwsim::ata_attach(disk, options);
    loader::clearScreen();
    try {
        st4main();
    } catch (const hwsim::Entry& e) {
        return e.address;
    } catch (const hwsim::Halt& h) {
        EXPECT_FALSE(h.interrupts_enabled);
        return 0;
    }
    ADD_FAILURE() << "st4main returned";
    return 0;
}

// The rows from the error line on, when the screen ends in exactly one
// "ERROR:" line, a blank line and the halt line.
std::string error_line()
{
    Rows rows = screen_rows();
    if (rows.size() < 3 || rows.back() != HALT || !rows[rows.size() - 2].empty())
        return "(no halt)";
    int errors = 0;
    for (const std::string& r : rows)
        errors += r.compare(0, 6, "ERROR:") == 0;
    return errors == 1 ? rows[rows.size() - 3] : "(" + std::to_string(errors) + " errors)";
}

// Commands that read the data area (sector 33 on), in order.
std::vector<uint32_t> cluster_reads()
{
    std::vector<uint32_t> lbas;
    for (const hwsim::AtaCommand& c : hwsim::ata_commands())
        if (c.lba >= 33)
            lbas.push_back(c.lba);
    return lbas;
}

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
        EXPECT_EQ(boot(disk), 0u) << c.line;
        EXPECT_EQ(error_line(), c.line);
        EXPECT_EQ(hwsim::ata_commands().size(), 1u) << c.line;
    }
}

TEST(LoaderBootSector, TheErrorFollowsTheGeometryLines)
{
    Bytes disk = kernel_volume();
    disk[0x10] = 0;
    boot(disk);
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
    EXPECT_EQ(boot(grown), 0xC0000010u);
    EXPECT_EQ(hwsim::ata_commands().back().lba, data + highest - 2);

    put16(grown, 0x13, static_cast<uint16_t>(data + 4085));
    EXPECT_EQ(boot(grown), 0u);
    EXPECT_EQ(error_line(), "ERROR: TOO MANY CLUSTERS FOR FAT12 4085");
}

TEST(LoaderBootSector, LargestClustersLoadTheKernel)
{
    // 64 KiB clusters: cluster 2 still starts at sector 33 and now holds the
    // whole file, read in one command of 128 sectors; its link is not read.
    Bytes disk = kernel_volume();
    disk[0x0D] = 128;
    EXPECT_EQ(boot(disk), 0xC0000010u);
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
        EXPECT_EQ(boot(disk), 0u);
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
    EXPECT_EQ(boot(disk), 0xC0000010u);
    EXPECT_EQ(cluster_reads(), (std::vector<uint32_t>{33, 34, HIGHEST_144 + 31}));
    for (uint16_t end = 0xFF8; end <= 0xFFF; end++) {
        disk = sound;
        set_fat(disk, 3, end);
        EXPECT_EQ(boot(disk), 0u) << end;
        EXPECT_EQ(error_line(), "ERROR: CLUSTER CHAIN SHORTER THAN FILE SIZE " + std::to_string(size));
        EXPECT_EQ(cluster_reads(), (std::vector<uint32_t>{33, 34})) << end;
    }
}

TEST(LoaderChain, TheRecordedSizeSaysHowManyClustersAreRead)
{
    Bytes sound = kernel_volume();
    Bytes disk = sound;
    put32(disk, ROOT_OFFSET + 0x1C, 0);
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(error_line(), "ERROR: KERNEL FILE EMPTY");
    EXPECT_TRUE(cluster_reads().empty());
    // 1,000,000 bytes on a chain of three clusters.
    put32(disk, ROOT_OFFSET + 0x1C, 1000000);
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(error_line(), "ERROR: CLUSTER CHAIN SHORTER THAN FILE SIZE 1000000");
    EXPECT_EQ(cluster_reads(), (std::vector<uint32_t>{33, 34, 35}));
}

TEST(LoaderChain, AFirstClusterOutOfRangeEndsInItsError)
{
    Bytes empty = make_volume({{write_file("empty", {}), "KRNL.VOX"}});
    EXPECT_EQ(boot(empty), 0u);
    EXPECT_EQ(screen_row(9), "KRNL.VOX 0 <-- KERNEL");
    EXPECT_EQ(error_line(), "ERROR: KERNEL FILE EMPTY");

    Bytes disk = kernel_volume();
    put16(disk, ROOT_OFFSET + 0x1A, 1);
    boot(disk);
    EXPECT_EQ(error_line(), "ERROR: BAD CLUSTER 1");
    put16(disk, ROOT_OFFSET + 0x1A, 0x1000);   // not a 12-bit end mark
    boot(disk);
    EXPECT_EQ(error_line(), "ERROR: BAD CLUSTER 4096");
    EXPECT_TRUE(cluster_reads().empty());
}

TEST(LoaderChain, AChainThatComesBackToAClusterLoops)
{
    Bytes disk = kernel_volume();
    set_fat(disk, 3, 2);
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(error_line(), "ERROR: CLUSTER CHAIN LOOPS");
    EXPECT_EQ(cluster_reads(), (std::vector<uint32_t>{33, 34}));
    // A file as large as the volume, its chain running through every
    // cluster and back to the first: found at the last link.
    disk = kernel_volume();
    put32(disk, ROOT_OFFSET + 0x1C, 512 * (HIGHEST_144 - 1) + 1);
    for (uint32_t c = 4; c < HIGHEST_144; c++)
        set_fat(disk, c, static_cast<uint16_t>(c + 1));
    set_fat(disk, HIGHEST_144, 2);
    EXPECT_EQ(boot(disk), 0u);
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
        EXPECT_EQ(boot(disk), 0u);
        EXPECT_EQ(error_line(), c.second);
    }
    EXPECT_TRUE(cluster_reads().empty());
    for (uint32_t i = 0; i < 0x10000; i++)
        ASSERT_EQ(*fixed(loader::KERNEL_BASE + i), 0xAA) << i;
}

TEST(LoaderAta, ADriveThatStaysBusyEndsInATimeoutAtTheBound)
{
    hwsim::AtaOptions stuck;
    stuck.stuck_busy = true;
    EXPECT_EQ(boot(kernel_volume(), stuck), 0u);
    EXPECT_EQ(screen_rows(), (Rows{"Quillon's Rattlebox Bootloader II", "",
                                   "ERROR: DISK TIMEOUT AT LBA 0", "", HALT}));
    EXPECT_TRUE(hwsim::ata_commands().empty());
    EXPECT_EQ(hwsim::ata_status_reads(), 1 + uint64_t{loader::ATA_WAIT_READS});
}

TEST(LoaderAta, ADriveThatNeverOffersDataEndsInATimeout)
{
    hwsim::AtaOptions options;
    options.no_drq = true;
    boot(kernel_volume(), options);
    EXPECT_EQ(error_line(), "ERROR: DISK TIMEOUT AT LBA 0");
    EXPECT_EQ(hwsim::ata_commands().size(), 1u);
    // One read ignored and 15 polled before the command, one ignored after.
    EXPECT_EQ(hwsim::ata_status_reads(), 1 + 15 + 1 + uint64_t{loader::ATA_WAIT_READS});
}

TEST(LoaderAta, BusyUpToTheBoundIsWaitedOut)
{
    // The status read ignored after the command takes one busy status of
    // the fake: the last poll of the bound is the first to see the drive ready.
    hwsim::reset();
    hwsim::set_tracing(false);
    hwsim::ata_attach(Bytes(512, 0x3C), {static_cast<int>(loader::ATA_WAIT_READS)});
    loader::ReadSectors(0, 1, fixed(0xBFC10000));
    EXPECT_EQ(*fixed(0xBFC10000 + 511), 0x3C);

    hwsim::reset();
    hwsim::set_tracing(false);
    hwsim::ata_attach(Bytes(512, 0x3C), {static_cast<int>(loader::ATA_WAIT_READS) + 1});
    loader::clearScreen();
    EXPECT_THROW(loader::ReadSectors(0, 1, fixed(0xBFC10000)), hwsim::Halt);
    EXPECT_EQ(error_line(), "ERROR: DISK TIMEOUT AT LBA 0");
}

TEST(LoaderAta, ErrorAndDeviceFaultBitsEndTheLoad)
{
    for (uint8_t bits : {uint8_t{0x01}, uint8_t{0x20}, uint8_t{0x21}}) {
        hwsim::AtaOptions options;
        options.fault_bits = bits;
        hwsim::reset();
        hwsim::ata_attach(kernel_volume(), options);
        loader::clearScreen();
        EXPECT_THROW(st4main(), hwsim::Halt);
        EXPECT_EQ(error_line(), "ERROR: DISK FAULT AT LBA 0") << int{bits};
        EXPECT_TRUE(hwsim::every_access_delayed(hwsim::trace()));
        // Nothing was read from the data port.
        for (const hwsim::Access& a : hwsim::trace())
            ASSERT_NE(a.port, 0x1F0);
    }
}

TEST(LoaderAta, AnErrorLeftByAnEarlierCommandDoesNotStopTheLoad)
{
    // ERR describes the drive's last command, which may be the firmware's;
    // a device fault before the command does stop the load.
    hwsim::AtaOptions stale;
    stale.stale_bits = 0x01;
    EXPECT_NE(boot(kernel_volume(), stale), 0u);

    stale.stale_bits = 0x20;
    EXPECT_EQ(boot(kernel_volume(), stale), 0u);
    EXPECT_EQ(error_line(), "ERROR: DISK FAULT AT LBA 0");
    EXPECT_TRUE(hwsim::ata_commands().empty());
}

TEST(LoaderAta, AFaultNamesTheSectorThatFailed)
{
    Bytes disk(512 * 40);
    for (size_t i = 0; i < disk.size(); i++)
        disk[i] = static_cast<uint8_t>(i / 512);
    hwsim::AtaOptions options;
    options.bad_sector = 21;
    hwsim::reset();
    hwsim::ata_attach(disk, options);
    loader::clearScreen();
    std::memset(fixed(0xBFC10000), 0xEE, 14 * 512);
    EXPECT_THROW(loader::ReadSectors(19, 14, fixed(0xBFC10000)), hwsim::Halt);
    EXPECT_EQ(error_line(), "ERROR: DISK FAULT AT LBA 21");
    EXPECT_EQ(*fixed(0xBFC10000), 19);
    EXPECT_EQ(*fixed(0xBFC10000 + 1023), 20);
    EXPECT_EQ(*fixed(0xBFC10000 + 1024), 0xEE);
}

TEST(LoaderAta, ARunOfSectorsIsReadInCommandsOfAtMost255)
{
    Bytes disk(512 * 600);
    for (size_t i = 0; i < disk.size(); i++)
        disk[i] = static_cast<uint8_t>(i / 512 + i % 7);
    const std::pair<uint32_t, std::vector<uint32_t>> runs[] = {
        {0, {}}, {1, {1}}, {255, {255}}, {256, {255, 1}}, {511, {255, 255, 1}},
    };
    for (const auto& run : runs) {
        hwsim::reset();
        hwsim::set_tracing(false);
        hwsim::ata_attach(disk, {0});
        std::memset(fixed(0xBFC10000), 0xEE, 512 * 513);
        loader::readSectorRun(3, run.first, fixed(0xBFC10000));
        std::vector<uint32_t> counts, lbas, expected_lbas;
        for (const hwsim::AtaCommand& c : hwsim::ata_commands()) {
            counts.push_back(c.count);
            lbas.push_back(c.lba);
        }
        for (uint32_t i = 0, lba = 3; i < run.second.size(); lba += run.second[i++])
            expected_lbas.push_back(lba);
        EXPECT_EQ(counts, run.second) << run.first;
        EXPECT_EQ(lbas, expected_lbas) << run.first;
        EXPECT_EQ(std::memcmp(fixed(0xBFC10000), &disk[3 * 512], 512 * run.first), 0) << run.first;
        EXPECT_EQ(*fixed(0xBFC10000 + 512 * run.first), 0xEE) << run.first;
    }
}

TEST(LoaderAta, ARootDirectoryOfMoreThan255SectorsIsListedWhole)
{
    // The standard layout with 4096 root entries (sectors 19 to 274, data
    // from 275) and the kernel in entry 4080, the first of the sector that
    // the second command reads; 4080 files before it.
    Bytes small = kernel_volume();
    const uint32_t root_sectors = 256, data = 19 + root_sectors;
    Bytes disk(512 * 2880);
    std::copy(small.begin(), small.begin() + ROOT_OFFSET, disk.begin());
    put16(disk, 0x11, 4096);
    std::copy(small.begin() + 33 * 512, small.begin() + (33 + 2880 - data) * 512,
              disk.begin() + data * 512);
    for (uint32_t i = 0; i < 4080; i++) {
        char name[12];
        std::snprintf(name, sizeof name, "F%04u   TXT", i);
        std::memcpy(&disk[ROOT_OFFSET + 32 * i], name, 11);
        disk[ROOT_OFFSET + 32 * i + 0x0B] = 0x20;
    }
    std::copy(small.begin() + ROOT_OFFSET, small.begin() + ROOT_OFFSET + 32,
              disk.begin() + ROOT_OFFSET + 32 * 4080);
    EXPECT_EQ(boot(disk), 0xC0000010u);
    const std::vector<hwsim::AtaCommand>& c = hwsim::ata_commands();
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(c[1].lba, 19u);
    EXPECT_EQ(c[1].count, 255);
    EXPECT_EQ(c[2].lba, 274u);
    EXPECT_EQ(c[2].count, 1);
    EXPECT_EQ(c[3].lba, data);   // cluster 2
    Rows rows = screen_rows();
    ASSERT_GE(rows.size(), 6u);
    EXPECT_EQ(rows[rows.size() - 6], "F4079.TXT 0");
    EXPECT_EQ(rows[rows.size() - 5].substr(0, 9), "KRNL.VOX ");
    // The image follows the 4081 entries listed: 0xBFC12400 + 4081 * 32.
    EXPECT_EQ(rows.back(), "KRNL.VOX loaded at 0xBFC32220");
}

TEST(LoaderAta, ABadKernelSectorEndsTheLoadAfterTheListing)
{
    hwsim::AtaOptions options;
    options.bad_sector = 34;   // cluster 3
    EXPECT_EQ(boot(kernel_volume(), options), 0u);
    Rows rows = screen_rows();
    ASSERT_GE(rows.size(), 12u);
    EXPECT_EQ(rows[11], "Loading Kernel to temp location. Reloc 0xC0000000");
    EXPECT_EQ(error_line(), "ERROR: DISK FAULT AT LBA 34");
}

TEST(LoaderAta, AClusterPastTheDiskEndsInAFault)
{
    // The volume claims 2967 clusters, as many as its FAT holds; the disk
    // ends after cluster 2848.
    Bytes disk = kernel_volume();
    put16(disk, 0x13, 3000);
    set_fat(disk, 3, 2900);
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(error_line(), "ERROR: DISK FAULT AT LBA 2931");
}
