// Unsound volumes and kernel files booted in QEMU: each ends in its
// "ERROR:" line and the loader's own halt, on the screen and the serial line,
// where the loader used to divide by zero, loop over a cycle, overwrite
// itself, read past the disk or run what a file's slack or a zero tail held.
// And sound ones at the loader's limits, which boot: a root directory larger
// than one disk command reads, a program header table at an odd offset,
// 65,534 program headers.
#include <gtest/gtest.h>

#include <cstdio>

#include "hw/machine.h"
#include "elf.h"
#include "qemu.h"
#include "transcript.h"
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

void set_ph(Bytes& elf, int i, size_t field, uint32_t value)
{
    put32(elf, get32(elf, 0x1C) + 32 * i + field, value);
}

// The real kernel on a system volume, one field of its changed.
std::string real_kernel_with(const std::string& name, void (*change)(Bytes&))
{
    Bytes kernel = read_file(KERNEL_FILE);
    change(kernel);
    return volume_with_kernel(kernel, name);
}

struct KernelHalt {
    bool halted = false;
    uint32_t eip = 0;
    Rows rows;
};

// Boots a volume whose kernel must halt in its first 16 bytes at 0xC0000000;
// `halted` says whether it did.
KernelHalt boot_to_kernel_halt(const std::string& disk, double seconds)
{
    qemu::Machine m = qemu::start({disk, false, {}});
    KernelHalt k;
    bool stopped = false;
    for (int polls = 0; polls < seconds * 10 && !stopped; polls++) {
        qemu::Cpu cpu = qemu::cpu(m);
        k.eip = cpu.eip;
        k.halted = cpu.halted && cpu.eip >= machine::KERNEL_BASE && cpu.eip < machine::KERNEL_BASE + 0x10;
        // The loader's own halt (an "ERROR:" line) ends the wait too.
        stopped = k.halted || (cpu.halted && cpu.eip >= machine::LOADER_BASE && cpu.eip < machine::BPB_BUFFER);
        if (!stopped)
            qemu::sleep_ms(100);
    }
    k.rows = system_volumes::text_screen(m);
    qemu::stop(m);
    return k;
}

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
        make_elf(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 0x100, code}, {1, machine::KERNEL_BASE + 0x80, 0x100, code, 6}}),
        "overlap");
    EXPECT_EQ(last_rows_at_halt(overlap), ending("ERROR: SEGMENTS OVERLAP AT 0xC0000080"));
    std::string tail = volume_with_kernel(make_elf(machine::KERNEL_BASE + 0x100, {{1, machine::KERNEL_BASE, 0x200, code}}), "tail");
    EXPECT_EQ(last_rows_at_halt(tail), ending("ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0000100"));
    Bytes relocatable = tiny_kernel(machine::KERNEL_BASE);
    put16(relocatable, 0x10, 1);
    EXPECT_EQ(last_rows_at_halt(volume_with_kernel(relocatable, "rel")), ending("ERROR: BAD ELF TYPE 1"));
}

TEST(LoaderErrors, ASegmentOverTheLoaderIsRefused)
{
    std::string disk = volume_with_kernel(tiny_kernel(machine::LOADER_BASE), "overloader");
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

TEST(LoaderErrors, AProgramHeaderSizeOtherThan32IsRefused)
{
    // Read with a stride of 40, the real kernel's data segment used to be
    // skipped and a broken kernel ran.
    std::string disk = real_kernel_with("phentsize", [](Bytes& k) { put16(k, 0x2A, 40); });
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: BAD PROGRAM HEADER SIZE 40"));
}

TEST(LoaderErrors, AFileSizeAboveAZeroMemorySizeIsRefused)
{
    std::string disk = real_kernel_with("memsz0", [](Bytes& k) {
        set_ph(k, 1, 0x10, 0x100);
        set_ph(k, 1, 0x14, 0);
    });
    char line[80];
    std::snprintf(line, sizeof line, "ERROR: SEGMENT FILE SIZE ABOVE MEMORY SIZE AT 0x%X",
                  program_headers(read_file(KERNEL_FILE)).at(1).vaddr);
    EXPECT_EQ(last_rows_at_halt(disk), ending(line));
}

TEST(LoaderErrors, AMediaByteOfZeroIsRefused)
{
    std::string disk = volume_with_kernel(read_file(KERNEL_FILE), "media0");
    system_volumes::patch(disk, 0x15, Bytes{0x00});
    EXPECT_EQ(last_rows_at_halt(disk), ending("ERROR: BAD MEDIA BYTE 0x0"));
}

TEST(LoaderErrors, KernelsAskingForDynamicLinkingOrOutOfOrderAreRefused)
{
    Bytes code(0x100, 0xF4);   // hlt
    const Bytes interpreter = {'/', 'l', 'i', 'b', '/', 'l', 'd', '.', 's', 'o', 0};
    std::string interp = volume_with_kernel(
        make_elf(machine::KERNEL_BASE, {{3, 0, 11, interpreter, 4}, {1, machine::KERNEL_BASE, 0x100, code}}), "interp");
    EXPECT_EQ(last_rows_at_halt(interp), ending("ERROR: KERNEL NEEDS DYNAMIC LINKING, HEADER TYPE 3"));
    std::string dynamic = volume_with_kernel(
        make_elf(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE, 0x100, code}, {2, machine::KERNEL_BASE + 0x100, 8, Bytes(8, 0), 6}}),
        "dynamic");
    EXPECT_EQ(last_rows_at_halt(dynamic), ending("ERROR: KERNEL NEEDS DYNAMIC LINKING, HEADER TYPE 2"));
    std::string order = volume_with_kernel(
        make_elf(machine::KERNEL_BASE, {{1, machine::KERNEL_BASE + 0x1000, 0x100, code, 6}, {1, machine::KERNEL_BASE, 0x100, code}}), "order");
    EXPECT_EQ(last_rows_at_halt(order), ending("ERROR: SEGMENTS OUT OF ORDER AT 0xC0000000"));
}

TEST(LoaderLimits, AProgramHeaderTableAtAnOddOffsetBoots)
{
    // The real kernel's table copied behind the file, one byte past its end,
    // the old one overwritten.
    Bytes kernel = read_file(KERNEL_FILE);
    uint32_t phoff = get32(kernel, 0x1C), count = get16(kernel, 0x2C);
    uint32_t moved = static_cast<uint32_t>(kernel.size()) + 1;
    Bytes table(kernel.begin() + phoff, kernel.begin() + phoff + 32 * count);
    kernel.push_back(0);
    kernel.insert(kernel.end(), table.begin(), table.end());
    std::fill(kernel.begin() + phoff, kernel.begin() + phoff + 32 * count, 0xFF);
    put32(kernel, 0x1C, moved);
    qemu::Machine m = qemu::start({volume_with_kernel(kernel, "oddphoff"), false, {}});
    bool started = qemu::wait_serial(m, STARTUP_LINES, 30);
    std::string serial = qemu::serial(m);
    qemu::stop(m);
    EXPECT_TRUE(started) << serial;
}

TEST(LoaderLimits, AMkfsVolumeWith4096RootEntriesBoots)
{
    // mkfs.fat -R 32 -r 4096 with the corpus's small kernel: 256 directory
    // sectors, read in two commands.
    testing_support::Bytes volume = read_file(FUZZ_DIR "/corpus/mkfs-root-4096.img");
    ASSERT_EQ(get16(volume, 0x11), 4096);
    std::string written = write_file("root4096.img", volume);
    system_volumes::install_boot(written);
    KernelHalt k = boot_to_kernel_halt(written, 30);
    EXPECT_TRUE(k.halted) << std::hex << k.eip << "\n" << testing::PrintToString(k.rows);
    ASSERT_GE(k.rows.size(), 9u);
    EXPECT_EQ(k.rows[6], "Max Root Dir Entries: 4096");
    EXPECT_EQ(k.rows.back().substr(0, 19), "KRNL.VOX loaded at ");
}

TEST(LoaderLimits, SixtyFiveThousandFiveHundredThirtyFourProgramHeadersAreDecidedAtOnce)
{
    // The code, then 65,533 one-byte segments every 32 bytes after it: a
    // 2.1 MB file on a 2.88 MB volume. It boots; the guest instructions from
    // the ELF checks' start (right after "KRNL.VOX loaded at") to the
    // kernel's entry are printed: under -icount, 32 ns of guest time each.
    // Comparing every pair of segments made that over a minute.
    const Bytes halt = {0xFA, 0xF4, 0xEB, 0xFD};   // cli; hlt; jmp back to hlt
    std::vector<Segment> segments = {{1, machine::KERNEL_BASE, 32, halt}};
    for (uint32_t i = 1; i < 65534; i++)
        segments.push_back({1, machine::KERNEL_BASE + 32 * i, 1, {static_cast<uint8_t>(i)}, 6});
    std::string disk = system_volumes::make(
        {{write_file("phdrs.vox", make_elf(machine::KERNEL_BASE, segments)), "KRNL.VOX"}}, "phdrs.img", 2880);

    uint32_t check = find_symbol(read_file(STAGE4_ELF), "loader::checkElf(unsigned char const*, unsigned int)").value;
    qemu::Machine m = qemu::start({disk, true, {}});
    auto executed = [&] { return qemu::qmp(m, "query-replay")["icount"].get<uint64_t>(); };
    qemu::break_at(m, check);
    qemu::break_at(m, machine::KERNEL_BASE);
    qemu::resume(m);
    bool checking = qemu::wait_stop(m, 60) && qemu::stopped_eip(m) == check;
    uint64_t at_check = executed();
    qemu::resume(m);
    bool entered = qemu::wait_stop(m, 60) && qemu::stopped_eip(m) == machine::KERNEL_BASE;
    uint64_t at_entry = executed();
    Rows rows = system_volumes::text_screen(m);
    qemu::stop(m);
    ASSERT_TRUE(checking);
    ASSERT_TRUE(entered) << testing::PrintToString(rows);
    EXPECT_EQ(rows.back().substr(0, 19), "KRNL.VOX loaded at ");
    std::printf("65534 program headers: %llu guest instructions from checkElf to the kernel's "
                "entry (%.3f s at 32 ns), %llu since reset (%.3f s)\n",
                static_cast<unsigned long long>(at_entry - at_check), (at_entry - at_check) * 32e-9,
                static_cast<unsigned long long>(at_entry), at_entry * 32e-9);
    RecordProperty("instructions_checkElf_to_entry", std::to_string(at_entry - at_check));
}
