// The loader's choice of disk and its reads through the BIOS: the probe of
// the primary ATA master against the drives and buses it may find there,
// and whole loads from a fake BIOS disk (extended reads, and cylinder-head-
// sector reads as for a floppy), with the ATA path's error lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "elf.h"
#include "fake_ata.h"
#include "fake_bios_disk.h"
#include "fixed_memory.h"
#include "hw/machine.h"
#include "hw_host.h"
#include "loader_run.h"
#include "stage4/biosdisk.h"
#include "stage4/disk.h"
#include "stage4/st4.h"
#include "stage4/term.h"
#include "text_screen.h"
#include "volume.h"

using namespace testing_support;

namespace {

// A disk whose every byte tells its sector.
Bytes numbered_disk(uint32_t sectors)
{
    Bytes disk(512 * sectors);
    for (size_t i = 0; i < disk.size(); i++)
        disk[i] = static_cast<uint8_t>(i / 512);
    return disk;
}

hwsim::BiosDiskOptions floppy()
{
    hwsim::BiosDiskOptions o;
    o.extensions = false;
    return o;
}

// Boots the loader with no ATA drive and `disk` as BIOS drive `drive`, the
// machine's boot drive; returns the entry address, or 0 when it halted.
uint32_t boot_bios(const Bytes& disk, hwsim::BiosDiskOptions options = {}, uint8_t drive = 0x80)
{
    hwsim::reset();
    hwsim::set_tracing(false);
    hwsim::bios_disk_attach(drive, disk, options);
    *fixed(machine::BOOT_DRIVE) = drive;
    return run_loader();
}

// Reads through ReadSectors with the BIOS path open on `drive`; returns the
// error line, or "" when the read ended.
std::string read_bios(uint32_t lba, uint32_t count, uint8_t drive = 0x80)
{
    loader::clearScreen();
    try {
        loader::biosDiskOpen(drive);
        loader::ReadSectors(lba, count, fixed(loader::FAT_SCRATCH));
    } catch (const hwsim::Halt&) {
        return error_line();
    }
    return "";
}

std::vector<std::pair<uint32_t, uint32_t>> reads()
{
    std::vector<std::pair<uint32_t, uint32_t>> r;
    for (const hwsim::BiosDiskCall& c : hwsim::bios_disk_calls())
        if (c.function == 0x02 || c.function == 0x42)
            r.push_back({c.lba, c.count});
    return r;
}

size_t alt_status_reads()
{
    size_t n = 0;
    for (const hwsim::Access& a : hwsim::trace())
        n += a.port == machine::ATA_ALT_STATUS;
    return n;
}

struct ProbeCase {
    const char* what;
    std::function<void()> attach;
    bool answers;
    int identifies;
    size_t alt_reads;
};

void attach_ata(hwsim::AtaOptions o) { hwsim::ata_attach(Bytes(512 * 4, 0), o); }

} // namespace

TEST(DiskProbe, AnAtaDiskAnswersAndEveryOtherMasterLeavesItToTheBios)
{
    const uint32_t bound = loader::ATA_PROBE_READS;
    hwsim::AtaOptions plain, busy40, stuck, fault, packet, silent;
    plain.busy_reads = 0;
    busy40.busy_reads = 40;
    stuck.stuck_busy = true;
    fault.stale_bits = 0x20;
    packet.packet = true;
    silent.silent = true;
    const ProbeCase cases[] = {
        {"a disk", [&] { attach_ata(plain); }, true, 1, 15 + 15},
        {"a disk busy for a while after IDENTIFY", [&] { attach_ata(busy40); }, true, 1, 15 + 40 + 1},
        {"a disk that stays busy: its reads time out", [&] { attach_ata(stuck); }, true, 0, bound},
        {"a disk showing a fault: its reads say so", [&] { attach_ata(fault); }, true, 0, 15},
        {"no controller: the bus floats", [] {}, false, -1, 15},
        {"a controller that reads 0x7F", [] { hwsim::on_in(machine::ATA_ALT_STATUS, [](uint16_t) { return 0x7F; }); },
         false, -1, 15},
        {"a controller with no drive", [] { hwsim::on_in(machine::ATA_ALT_STATUS, [](uint16_t) { return 0x00; }); },
         false, -1, 15},
        {"a packet device (a CD drive)", [&] { attach_ata(packet); }, false, 1, 15 + 15},
        {"a drive that never answers IDENTIFY", [&] { attach_ata(silent); }, false, 1, 15 + bound},
    };
    for (const ProbeCase& c : cases) {
        hwsim::reset();
        c.attach();
        EXPECT_EQ(loader::ataDriveAnswers(), c.answers) << c.what;
        if (c.identifies >= 0) {
            EXPECT_EQ(hwsim::ata_identifies(), c.identifies) << c.what;
            // The status port's reads and their side effects belong to the ATA path.
            EXPECT_EQ(hwsim::ata_status_reads(), 0u) << c.what;
        }
        EXPECT_EQ(alt_status_reads(), c.alt_reads) << c.what;
        EXPECT_TRUE(hwsim::every_access_delayed(hwsim::trace())) << c.what;
        EXPECT_EQ(hwsim::trace()[0], hwsim::out8(machine::ATA_DRIVE, 0xA0)) << c.what;   // the master, first
    }
}

TEST(DiskProbe, TheAnswerToIdentifyIsTakenWholeBeforeTheFirstRead)
{
    hwsim::reset();
    attach_ata({0});
    ASSERT_TRUE(loader::ataDriveAnswers());
    size_t words = 0;
    for (const hwsim::Access& a : hwsim::trace())
        words += a.port == machine::ATA_DATA;
    EXPECT_EQ(words, 256u);
    // The drive offers nothing more, and takes a read next.
    EXPECT_EQ(inb(machine::ATA_ALT_STATUS) & 0x08, 0);
}

TEST(DiskProbe, TheSlowestDecisionStaysWithinAHundredMilliseconds)
{
    // Busy until the first wait's last read, then ready but silent after
    // IDENTIFY: both waits run to their bound. A poll is two port accesses,
    // each under 1.25 us even on the ISA bus.
    hwsim::reset();
    uint32_t busy = loader::ATA_PROBE_READS - 1;
    hwsim::on_in(machine::ATA_ALT_STATUS, [&](uint16_t) -> uint16_t { return busy > 0 ? (busy--, 0x80) : 0x50; });
    EXPECT_FALSE(loader::ataDriveAnswers());
    EXPECT_EQ(alt_status_reads(), 2 * size_t{loader::ATA_PROBE_READS});
    EXPECT_LT(hwsim::trace().size() * 1.25, 100000.0);
}

TEST(BiosDisk, WithNoAtaDriveTheLoaderSaysSoAndLoadsThroughExtendedReads)
{
    Bytes disk = kernel_volume();
    EXPECT_EQ(boot_bios(disk), (machine::KERNEL_BASE + 0x10));
    expect_segments_placed(small_kernel());
    size_t size = small_kernel().size();
    EXPECT_EQ(screen_rows(), (Rows{
        "Quillon's Rattlebox Bootloader II", "",
        "No ATA drive answers: reading BIOS drive 0x80",
        "FAT12 Filesystem Info", "Reserved Sectors: 1", "Sectors Per FAT: 9", "Number of FATs: 2",
        "Max Root Dir Entries: 224", "", "Root Directory Listing:",
        "KRNL.VOX " + std::to_string(size) + " <-- KERNEL",
        "", "Loading Kernel to temp location. Reloc 0xC0000000", "",
        "KRNL.VOX loaded at 0xBFC12420",
    }));
    // The reads the ATA path makes: boot sector, directory, clusters and FAT.
    EXPECT_EQ(reads(), (std::vector<std::pair<uint32_t, uint32_t>>{
        {0, 1}, {19, 14}, {33, 1}, {1, 1}, {34, 1}, {1, 1}, {35, 1}}));
    for (const hwsim::BiosDiskCall& c : hwsim::bios_disk_calls())
        if (c.function == 0x42) {
            EXPECT_EQ(c.buffer, machine::BIOS_BUFFER);
        }
    EXPECT_EQ(hwsim::bios_disk_calls()[0].function, 0x41);
}

TEST(BiosDisk, TheBootDriveIsTheOneRead)
{
    EXPECT_EQ(boot_bios(kernel_volume(), {}, 0x81), (machine::KERNEL_BASE + 0x10));
    EXPECT_EQ(screen_row(2), "No ATA drive answers: reading BIOS drive 0x81");
}

TEST(BiosDisk, TheSystemImageLoadsOffAFloppyTrackByTrack)
{
    // 4 KiB clusters: each cluster's read of 8 sectors stops at a track's end
    // where it crosses one (18 sectors a track); the fake refuses any read
    // that crosses a track or a 64 KiB page, as floppy BIOSes do.
    Bytes elf = read_file(kernel_elf_path());
    Bytes disk = read_file(std::string(DISK_IMAGE));
    EXPECT_EQ(boot_bios(disk, floppy(), 0x00), elf_entry(elf));
    expect_segments_placed(elf);
    EXPECT_EQ(screen_row(2), "No ATA drive answers: reading BIOS drive 0x0");
    bool split = false;
    for (const auto& r : reads()) {
        EXPECT_LE(r.first % 18 + r.second, 18u) << r.first;
        split |= r.second < 8 && r.first >= 37;
    }
    EXPECT_TRUE(split);
    std::vector<uint8_t> functions;
    for (const hwsim::BiosDiskCall& c : hwsim::bios_disk_calls())
        functions.push_back(c.function);
    EXPECT_EQ(functions[0], 0x41);
    EXPECT_EQ(std::count(functions.begin(), functions.end(), 0x42), 0);
}

TEST(BiosDisk, RequestsAreSplitAtTheBounceBufferAndAtTracks)
{
    hwsim::reset();
    hwsim::bios_disk_attach(0x80, numbered_disk(400));
    EXPECT_EQ(read_bios(100, 200), "");
    EXPECT_EQ(reads(), (std::vector<std::pair<uint32_t, uint32_t>>{{100, 64}, {164, 64}, {228, 64}, {292, 8}}));
    for (uint32_t s = 0; s < 200; s++)
        ASSERT_EQ(*fixed(loader::FAT_SCRATCH + 512 * s + 7), static_cast<uint8_t>(100 + s)) << s;

    hwsim::reset();
    hwsim::bios_disk_attach(0x00, numbered_disk(2880), floppy());
    EXPECT_EQ(read_bios(10, 30 + 0x100, 0x00), "");   // the count's low 8 bits, as on the ATA path
    EXPECT_EQ(reads(), (std::vector<std::pair<uint32_t, uint32_t>>{{10, 8}, {18, 18}, {36, 4}}));
    for (uint32_t s = 0; s < 30; s++)
        ASSERT_EQ(*fixed(loader::FAT_SCRATCH + 512 * s), static_cast<uint8_t>(10 + s)) << s;
}

TEST(BiosDisk, AShortReadGoesOnFromWhereTheBiosStopped)
{
    hwsim::BiosDiskOptions five;
    five.most_per_read = 5;
    EXPECT_EQ(boot_bios(kernel_volume(), five), (machine::KERNEL_BASE + 0x10));
    expect_segments_placed(small_kernel());
    EXPECT_EQ(reads()[1], (std::pair<uint32_t, uint32_t>{19, 14}));
    EXPECT_EQ(reads()[2], (std::pair<uint32_t, uint32_t>{24, 9}));
    EXPECT_EQ(reads()[3], (std::pair<uint32_t, uint32_t>{29, 4}));
}

TEST(BiosDisk, ReadErrorsAndReadsOfNothingEndInTheAtaPathsLines)
{
    struct Case {
        const char* what;
        hwsim::BiosDiskOptions options;
        std::string line;
    };
    hwsim::BiosDiskOptions bad, timeout, nothing, chs_bad;
    bad.bad_sector = 24;   // in the middle of the directory
    timeout.bad_sector = 34;
    timeout.error = 0x80;
    nothing.most_per_read = 0;
    chs_bad = floppy();
    chs_bad.bad_sector = 25;
    const Case cases[] = {
        {"a sector the BIOS cannot read", bad, "ERROR: DISK FAULT AT LBA 24"},
        {"a drive that times out", timeout, "ERROR: DISK TIMEOUT AT LBA 34"},
        {"reads that move nothing", nothing, "ERROR: DISK FAULT AT LBA 0"},
        {"a bad sector on a floppy", chs_bad, "ERROR: DISK FAULT AT LBA 25"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(boot_bios(kernel_volume(), c.options, c.options.extensions ? 0x80 : 0x00), 0u) << c.what;
        EXPECT_EQ(error_line(), c.line) << c.what;
    }
    // The directory's sectors before the bad one were read, in three tries
    // of the whole request and then a sector at a time.
    boot_bios(kernel_volume(), bad);
    EXPECT_EQ(reads(), (std::vector<std::pair<uint32_t, uint32_t>>{
        {0, 1}, {19, 14}, {19, 14}, {19, 14}, {19, 1}, {20, 1}, {21, 1}, {22, 1}, {23, 1},
        {24, 1}, {24, 1}, {24, 1}}));
    int resets = 0;
    for (const hwsim::BiosDiskCall& c : hwsim::bios_disk_calls())
        resets += c.function == 0x00;
    EXPECT_EQ(resets, 6);
}

TEST(BiosDisk, AFloppysFirstFailedReadsAreTriedAgain)
{
    hwsim::BiosDiskOptions o = floppy();
    o.failures = 2;   // media changed, twice
    EXPECT_EQ(boot_bios(kernel_volume(), o, 0x00), (machine::KERNEL_BASE + 0x10));
    std::vector<uint8_t> first;
    for (size_t i = 2; i < 7; i++)   // after the extensions check and the parameters
        first.push_back(hwsim::bios_disk_calls().at(i).function);
    EXPECT_EQ(first, (std::vector<uint8_t>{0x02, 0x00, 0x02, 0x00, 0x02}));
}

TEST(BiosDisk, AClusterPastTheDiskEndsInAFaultAsOnTheAtaPath)
{
    Bytes disk = kernel_volume();
    put16(disk, 0x13, 3000);
    size_t fat = 512 + 3 + 3 / 2;   // cluster 3's entry (odd: the high 12 bits)
    put16(disk, fat, static_cast<uint16_t>((get16(disk, fat) & 0x000F) | 2900 << 4));
    EXPECT_EQ(boot_bios(disk), 0u);
    EXPECT_EQ(error_line(), "ERROR: DISK FAULT AT LBA 2931");
}

TEST(BiosDisk, ADriveWithoutExtensionsOrGeometryEndsTheLoad)
{
    hwsim::BiosDiskOptions o = floppy();
    o.no_parameters = true;
    EXPECT_EQ(boot_bios(kernel_volume(), o, 0x00), 0u);
    EXPECT_EQ(error_line(), "ERROR: NO DISK GEOMETRY FROM THE BIOS FOR DRIVE 0x0");
    // Nothing at all answering: no ATA drive, no BIOS disk services.
    hwsim::reset();
    loader::clearScreen();
    EXPECT_THROW(st4main(), hwsim::Halt);
    EXPECT_EQ(screen_row(2), "No ATA drive answers: reading BIOS drive 0x0");
    EXPECT_EQ(error_line(), "ERROR: NO DISK GEOMETRY FROM THE BIOS FOR DRIVE 0x0");
}
