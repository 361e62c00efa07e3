// The loader's disk reads over ATA PIO against a fake drive: the commands and
// the port accesses they take, waits on a busy drive, the bounds on every
// wait, and the errors a failing drive ends in.
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

TEST(LoaderAta, ReadsBootSectorDirectoryAndClustersAtTheStandardSectors)
{
    Bytes kernel = paged_kernel();   // 3 clusters: 2, 3, 4
    ASSERT_GT(kernel.size(), 1024u);
    ASSERT_LE(kernel.size(), 1536u + 3000);
    Bytes disk = volume_with({{"KRNL.VOX", kernel}});
    boot(disk);

    std::vector<hwsim::AtaCommand> c = hwsim::ata_commands();
    size_t clusters = (kernel.size() + 511) / 512;
    // The last cluster's FAT entry is not needed: the file's size ends it.
    ASSERT_EQ(c.size(), 2 + 2 * clusters - 1);
    EXPECT_EQ(c[0].lba, 0u);
    EXPECT_EQ(c[0].count, 1);
    EXPECT_EQ(c[1].lba, 19u);    // 1 reserved + 2 * 9
    EXPECT_EQ(c[1].count, 14);   // 224 entries * 32 / 512
    for (size_t i = 0; i < clusters; i++) {
        uint32_t cluster = static_cast<uint32_t>(2 + i);
        EXPECT_EQ(c[2 + 2 * i].lba, cluster + 31) << "cluster " << cluster;
        EXPECT_EQ(c[2 + 2 * i].count, 1);
        if (i + 1 < clusters) {
            EXPECT_EQ(c[3 + 2 * i].lba, 1u) << "FAT sector of cluster " << cluster;
        }
    }
}

TEST(LoaderAta, EveryPortAccessIsFollowedByTheDelay)
{
    Bytes disk = volume_with({{"KRNL.VOX", paged_kernel()}});
    boot(disk);
    ASSERT_GT(hwsim::trace().size(), 1000u);
    EXPECT_TRUE(hwsim::every_access_delayed(hwsim::trace()));
}

TEST(LoaderAta, StatusIsReadFifteenTimesBeforeEachStepEvenWhenReady)
{
    hwsim::reset();
    hwsim::ata_attach(Bytes(512 * 4, 0x5A), {0});   // never busy
    loader::ReadSectors(2, 1, fixed(machine::FAT_SCRATCH));
    std::vector<hwsim::Access> t = hwsim::trace_without_delays();
    // One status read ignored, fifteen polled, seven task-file writes,
    // then again one ignored and fifteen polled, then 256 data words.
    ASSERT_EQ(t.size(), 16u + 7 + 16 + 256);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(t[i].port, machine::ATA_STATUS) << i;
    std::vector<hwsim::Access> taskfile(t.begin() + 16, t.begin() + 23);
    std::vector<hwsim::Access> expected = {
        hwsim::out8(machine::ATA_DRIVE, 0xE0), hwsim::out8(machine::ATA_FEATURES, 0x00), hwsim::out8(machine::ATA_COUNT, 1),
        hwsim::out8(machine::ATA_LBA_LOW, 2), hwsim::out8(machine::ATA_LBA_MID, 0), hwsim::out8(machine::ATA_LBA_HIGH, 0),
        hwsim::out8(machine::ATA_STATUS, 0x20),
    };
    EXPECT_EQ(taskfile, expected);
    for (int i = 23; i < 39; i++)
        EXPECT_EQ(t[i].port, machine::ATA_STATUS) << i;
    EXPECT_EQ(t[39], hwsim::in16(machine::ATA_DATA, 0x5A5A));
    EXPECT_EQ(*fixed(machine::FAT_SCRATCH + 511), 0x5A);
}

TEST(LoaderAta, WaitsOutABusyDriveAndSplitsTheLbaOverTheTaskFile)
{
    hwsim::reset();
    hwsim::ata_attach(Bytes(512 * 8, 0), {40});   // busy for 40 reads
    loader::ReadSectors(0x0ABCDEF1 & 0x3, 2, fixed(machine::FAT_SCRATCH));
    ASSERT_EQ(hwsim::ata_commands().size(), 1u);
    EXPECT_EQ(hwsim::ata_commands()[0].count, 2);

    hwsim::reset();
    hwsim::ata_attach(Bytes(512, 0), {0});
    try {
        loader::ReadSectors(0x0ABCDEF1, 0, fixed(machine::FAT_SCRATCH));   // 0: no words read
    } catch (...) {
    }
    std::vector<hwsim::Access> t = hwsim::trace_without_delays();
    ASSERT_EQ(t.size(), 16u + 7);
    EXPECT_EQ(t[16], hwsim::out8(machine::ATA_DRIVE, 0xEA));
    EXPECT_EQ(t[18], hwsim::out8(machine::ATA_COUNT, 0));
    EXPECT_EQ(t[19], hwsim::out8(machine::ATA_LBA_LOW, 0xF1));
    EXPECT_EQ(t[20], hwsim::out8(machine::ATA_LBA_MID, 0xDE));
    EXPECT_EQ(t[21], hwsim::out8(machine::ATA_LBA_HIGH, 0xBC));
}

TEST(LoaderAta, ADriveThatStaysBusyEndsInATimeoutAtTheBound)
{
    hwsim::AtaOptions stuck;
    stuck.stuck_busy = true;
    EXPECT_EQ(boot(kernel_volume(), stuck, false), 0u);
    EXPECT_EQ(screen_rows(), (Rows{"Quillon's Rattlebox Bootloader II", "",
                                   "ERROR: DISK TIMEOUT AT LBA 0", "", HALT}));
    EXPECT_TRUE(hwsim::ata_commands().empty());
    EXPECT_EQ(hwsim::ata_status_reads(), 1 + uint64_t{loader::ATA_WAIT_READS});
}

TEST(LoaderAta, ADriveThatNeverOffersDataEndsInATimeout)
{
    hwsim::AtaOptions options;
    options.no_drq = true;
    boot(kernel_volume(), options, false);
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
    loader::ReadSectors(0, 1, fixed(machine::FAT_SCRATCH));
    EXPECT_EQ(*fixed(machine::FAT_SCRATCH + 511), 0x3C);

    hwsim::reset();
    hwsim::set_tracing(false);
    hwsim::ata_attach(Bytes(512, 0x3C), {static_cast<int>(loader::ATA_WAIT_READS) + 1});
    loader::clearScreen();
    EXPECT_THROW(loader::ReadSectors(0, 1, fixed(machine::FAT_SCRATCH)), hwsim::Halt);
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
            ASSERT_NE(a.port, machine::ATA_DATA);
    }
}

TEST(LoaderAta, AnErrorLeftByAnEarlierCommandDoesNotStopTheLoad)
{
    // ERR describes the drive's last command, which may be the firmware's;
    // a device fault before the command does stop the load.
    hwsim::AtaOptions stale;
    stale.stale_bits = 0x01;
    EXPECT_NE(boot(kernel_volume(), stale, false), 0u);

    stale.stale_bits = 0x20;
    EXPECT_EQ(boot(kernel_volume(), stale, false), 0u);
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
    std::memset(fixed(machine::FAT_SCRATCH), 0xEE, 14 * 512);
    EXPECT_THROW(loader::ReadSectors(19, 14, fixed(machine::FAT_SCRATCH)), hwsim::Halt);
    EXPECT_EQ(error_line(), "ERROR: DISK FAULT AT LBA 21");
    EXPECT_EQ(*fixed(machine::FAT_SCRATCH), 19);
    EXPECT_EQ(*fixed(machine::FAT_SCRATCH + 1023), 20);
    EXPECT_EQ(*fixed(machine::FAT_SCRATCH + 1024), 0xEE);
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
        std::memset(fixed(machine::FAT_SCRATCH), 0xEE, 512 * 513);
        loader::readSectorRun(3, run.first, fixed(machine::FAT_SCRATCH));
        std::vector<uint32_t> counts, lbas, expected_lbas;
        for (const hwsim::AtaCommand& c : hwsim::ata_commands()) {
            counts.push_back(c.count);
            lbas.push_back(c.lba);
        }
        for (uint32_t i = 0, lba = 3; i < run.second.size(); lba += run.second[i++])
            expected_lbas.push_back(lba);
        EXPECT_EQ(counts, run.second) << run.first;
        EXPECT_EQ(lbas, expected_lbas) << run.first;
        EXPECT_EQ(std::memcmp(fixed(machine::FAT_SCRATCH), &disk[3 * 512], 512 * run.first), 0) << run.first;
        EXPECT_EQ(*fixed(machine::FAT_SCRATCH + 512 * run.first), 0xEE) << run.first;
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
    EXPECT_EQ(boot(disk, {}, false), (machine::KERNEL_BASE + 0x10));
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
    EXPECT_EQ(boot(kernel_volume(), options, false), 0u);
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
    EXPECT_EQ(boot(disk, {}, false), 0u);
    EXPECT_EQ(error_line(), "ERROR: DISK FAULT AT LBA 2931");
}
