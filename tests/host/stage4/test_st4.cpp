// The loader's whole sequence against a fake ATA disk serving mtools-made
// volumes, with the loader's buffers and the kernel range at their real
// addresses.
#include <gtest/gtest.h>

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

const uint32_t ROOT_DIR_144 = 0xBFC12400;   // 0xBFC10000 + 2 FATs * 9 * 512
const size_t ROOT_DIR_OFFSET_144 = 19 * 512;

Bytes pattern(size_t n, uint8_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
    return b;
}

// A small kernel: code at 0xC0000000, data with a zero-filled tail.
Bytes small_kernel()
{
    return make_elf(0xC0000010, {{1, 0xC0000000, 3000, pattern(3000, 1)},
                                 {1, 0xC0002000, 0x288C, pattern(0x50, 9), 6}});
}

Bytes volume_with(const std::vector<std::pair<std::string, Bytes>>& files, int reserved = 1)
{
    std::vector<VolumeFile> list;
    for (size_t i = 0; i < files.size(); i++)
        list.push_back({write_file("file" + std::to_string(i), files[i].second), files[i].first});
    return make_volume(list, reserved);
}

// Boots the loader on `disk`; returns the entry address it jumped to, or 0
// when it halted.
uint32_t boot(const Bytes& disk, hwsim::AtaOptions options = {})
{
    hwsim::reset();
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

Rows geometry_144()
{
    return {"Quillon's Rattlebox Bootloader II", "", "FAT12 Filesystem Info",
            "Reserved Sectors: 1", "Sectors Per FAT: 9", "Number of FATs: 2",
            "Max Root Dir Entries: 224", "", "Root Directory Listing:"};
}

Rows concat(Rows a, const Rows& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Checks every PT_LOAD segment of `elf` landed at its address, tail zeroed.
void expect_segments_placed(const Bytes& elf)
{
    for (const ProgramHeader& ph : program_headers(elf)) {
        if (ph.type != 1 || ph.memsz == 0)
            continue;
        const uint8_t* at = fixed(ph.vaddr);
        ASSERT_EQ(std::memcmp(at, &elf[ph.offset], ph.filesz), 0) << std::hex << ph.vaddr;
        for (uint32_t i = ph.filesz; i < ph.memsz; i++)
            ASSERT_EQ(at[i], 0) << std::hex << ph.vaddr + i;
    }
}

void rename_entry(Bytes& disk, size_t dir_offset, int index, const char name11[12])
{
    std::memcpy(&disk[dir_offset + 32 * index], name11, 11);
}

} // namespace

TEST(Loader, LoadsAndEntersTheKernelOnTheStandardLayout)
{
    Bytes kernel = small_kernel();
    Bytes disk = volume_with({{"KRNL.VOX", kernel}});
    std::memset(fixed(0xC0002000), 0xAA, 0x3000);

    EXPECT_EQ(boot(disk), 0xC0000010u);

    expect_segments_placed(kernel);
    EXPECT_EQ(*fixed(0xC0002000 + 0x288C), 0xAA);   // nothing past the memory size
    EXPECT_EQ(screen_rows(), concat(geometry_144(), {
        "KRNL.VOX " + std::to_string(kernel.size()) + " <-- KERNEL",
        "",
        "Loading Kernel to temp location. Reloc 0xC0000000",
        "",
        "KRNL.VOX loaded at 0xBFC12420",
    }));
}

TEST(Loader, ReadsBootSectorDirectoryAndClustersAtTheStandardSectors)
{
    Bytes kernel = small_kernel();   // 3 clusters: 2, 3, 4
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

TEST(Loader, EveryPortAccessIsFollowedByTheDelay)
{
    Bytes disk = volume_with({{"KRNL.VOX", small_kernel()}});
    boot(disk);
    ASSERT_GT(hwsim::trace().size(), 1000u);
    EXPECT_TRUE(hwsim::every_access_delayed(hwsim::trace()));
}

TEST(Loader, StatusIsReadFifteenTimesBeforeEachStepEvenWhenReady)
{
    hwsim::reset();
    hwsim::ata_attach(Bytes(512 * 4, 0x5A), {0});   // never busy
    loader::ReadSectors(2, 1, fixed(0xBFC10000));
    std::vector<hwsim::Access> t = hwsim::trace_without_delays();
    // One status read ignored, fifteen polled, seven task-file writes,
    // then again one ignored and fifteen polled, then 256 data words.
    ASSERT_EQ(t.size(), 16u + 7 + 16 + 256);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(t[i].port, 0x1F7) << i;
    std::vector<hwsim::Access> taskfile(t.begin() + 16, t.begin() + 23);
    std::vector<hwsim::Access> expected = {
        hwsim::out8(0x1F6, 0xE0), hwsim::out8(0x1F1, 0x00), hwsim::out8(0x1F2, 1),
        hwsim::out8(0x1F3, 2), hwsim::out8(0x1F4, 0), hwsim::out8(0x1F5, 0),
        hwsim::out8(0x1F7, 0x20),
    };
    EXPECT_EQ(taskfile, expected);
    for (int i = 23; i < 39; i++)
        EXPECT_EQ(t[i].port, 0x1F7) << i;
    EXPECT_EQ(t[39], hwsim::in16(0x1F0, 0x5A5A));
    EXPECT_EQ(*fixed(0xBFC10000 + 511), 0x5A);
}

TEST(Loader, WaitsOutABusyDriveAndSplitsTheLbaOverTheTaskFile)
{
    hwsim::reset();
    hwsim::ata_attach(Bytes(512 * 8, 0), {40});   // busy for 40 reads
    loader::ReadSectors(0x0ABCDEF1 & 0x3, 2, fixed(0xBFC10000));
    ASSERT_EQ(hwsim::ata_commands().size(), 1u);
    EXPECT_EQ(hwsim::ata_commands()[0].count, 2);

    hwsim::reset();
    hwsim::ata_attach(Bytes(512, 0), {0});
    try {
        loader::ReadSectors(0x0ABCDEF1, 0, fixed(0xBFC10000));   // 0: no words read
    } catch (...) {
    }
    std::vector<hwsim::Access> t = hwsim::trace_without_delays();
    ASSERT_EQ(t.size(), 16u + 7);
    EXPECT_EQ(t[16], hwsim::out8(0x1F6, 0xEA));
    EXPECT_EQ(t[18], hwsim::out8(0x1F2, 0));
    EXPECT_EQ(t[19], hwsim::out8(0x1F3, 0xF1));
    EXPECT_EQ(t[20], hwsim::out8(0x1F4, 0xDE));
    EXPECT_EQ(t[21], hwsim::out8(0x1F5, 0xBC));
}

TEST(Loader, ListsEveryEntryWithItsSizeAndMarksTheKernel)
{
    Bytes kernel = small_kernel();
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

TEST(Loader, DeletedEntriesAreListedToo)
{
    Bytes disk = volume_with({{"OLD.TXT", Bytes(5, 'o')}, {"KRNL.VOX", small_kernel()}});
    disk[ROOT_DIR_OFFSET_144] = 0xE5;   // as a delete marks it
    boot(disk);
    EXPECT_EQ(screen_row(9), "\xE5LD.TXT 5");
}

TEST(Loader, AnEmptyDirectoryEndsInTheNotFoundErrorAndHalts)
{
    Bytes disk = volume_with({});
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(screen_rows(), concat(geometry_144(), {
        "ERROR: KERN.VOX NOT FOUND",
        "",
        "Nothing left to do. Halt.",
    }));
}

TEST(Loader, ALowerCaseNameIsNotTheKernel)
{
    Bytes disk = volume_with({{"KRNL.VOX", small_kernel()}});
    rename_entry(disk, ROOT_DIR_OFFSET_144, 0, "krnl    vox");
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(screen_row(9), "krnl.vox " + std::to_string(small_kernel().size()));
    EXPECT_EQ(screen_row(10), "ERROR: KERN.VOX NOT FOUND");
}

TEST(Loader, ACaseFlaggedLowerCaseCopyIsTheKernel)
{
    // mcopy stores "krnl.vox" as the upper-case short name with a case flag.
    Bytes disk = volume_with({{"krnl.vox", small_kernel()}});
    EXPECT_EQ(boot(disk), 0xC0000010u);
}

TEST(Loader, AFileThatIsNotElfShowsTheWordItFound)
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

TEST(Loader, TheFirstMatchingEntryIsTheKernelAndTheOnlyOneMarked)
{
    Bytes disk = volume_with({{"FIRST.BIN", small_kernel()}, {"SECOND.BIN", Bytes(100, 'x')}});
    rename_entry(disk, ROOT_DIR_OFFSET_144, 0, "KRNL    VOX");
    rename_entry(disk, ROOT_DIR_OFFSET_144, 1, "KRNL    VOX");
    EXPECT_EQ(boot(disk), 0xC0000010u);
    EXPECT_EQ(screen_row(9), "KRNL.VOX " + std::to_string(small_kernel().size()) + " <-- KERNEL");
    EXPECT_EQ(screen_row(10), "KRNL.VOX 100");
}

TEST(Loader, OnlyARegularFileIsTheKernel)
{
    // A volume label, a long-name entry and a directory of the kernel's name
    // are listed but never loaded, before the kernel or after it.
    const uint8_t attributes[] = {0x08, 0x0F, 0x10, 0x28};
    for (uint8_t attribute : attributes) {
        Bytes disk = volume_with({{"A.BIN", Bytes(10, 'a')}, {"KRNL.VOX", small_kernel()},
                                  {"B.BIN", Bytes(20, 'b')}});
        for (int slot : {0, 2}) {
            rename_entry(disk, ROOT_DIR_OFFSET_144, slot, "KRNL    VOX");
            disk[ROOT_DIR_OFFSET_144 + 32 * slot + 0x0B] = attribute;
        }
        EXPECT_EQ(boot(disk), 0xC0000010u) << int{attribute};
        Rows rows = screen_rows();
        ASSERT_GE(rows.size(), 12u);
        EXPECT_EQ(Rows(rows.begin() + 9, rows.begin() + 12), (Rows{
            "KRNL.VOX 10",
            "KRNL.VOX " + std::to_string(small_kernel().size()) + " <-- KERNEL",
            "KRNL.VOX 20",
        })) << int{attribute};
        disk[ROOT_DIR_OFFSET_144 + 32 + 0x0B] = attribute;
        EXPECT_EQ(boot(disk), 0u);
        EXPECT_EQ(screen_row(12), "ERROR: KERN.VOX NOT FOUND") << int{attribute};
    }
}

TEST(Loader, ControlBytesInANameShowAsGlyphsAndKeepTheListingInPlace)
{
    Bytes disk = volume_with({{"AB.TXT", Bytes(7, 'a')}, {"KRNL.VOX", small_kernel()}});
    const uint8_t odd[] = {'\n', '\r', 0x08, 0x1B, 0x01};
    std::memcpy(&disk[ROOT_DIR_OFFSET_144 + 2], odd, sizeof odd);
    disk[ROOT_DIR_OFFSET_144 + 8] = '\n';
    EXPECT_EQ(boot(disk), 0xC0000010u);
    EXPECT_EQ(screen_rows(), concat(geometry_144(), {
        std::string("AB\n\r\x08\x1B\x01.\nXT 7"),
        "KRNL.VOX " + std::to_string(small_kernel().size()) + " <-- KERNEL",
        "",
        "Loading Kernel to temp location. Reloc 0xC0000000",
        "",
        "KRNL.VOX loaded at 0xBFC12440",
    }));
}

TEST(Loader, AFullRootDirectoryWithoutAnEndMarkIsListedAndTheImageFollowsIt)
{
    // 223 files and the kernel in the last of the 224 slots.
    Bytes disk = volume_with({{"KRNL.VOX", small_kernel()}});
    std::memcpy(&disk[ROOT_DIR_OFFSET_144 + 32 * 223], &disk[ROOT_DIR_OFFSET_144], 32);
    for (int i = 0; i < 223; i++) {
        std::string name = "F" + std::to_string(1000 + i).substr(1) + "    TXT";
        Bytes entry(32, 0);
        std::memcpy(entry.data(), name.data(), 11);
        entry[0x0B] = 0x20;
        std::copy(entry.begin(), entry.end(), disk.begin() + ROOT_DIR_OFFSET_144 + 32 * i);
    }
    EXPECT_EQ(boot(disk), 0xC0000010u);
    Rows rows = screen_rows();
    ASSERT_EQ(rows.size(), 24u);   // scrolled, the last row empty
    EXPECT_EQ(rows[18], "F222.TXT 0");
    EXPECT_EQ(rows[19], "KRNL.VOX " + std::to_string(small_kernel().size()) + " <-- KERNEL");
    EXPECT_EQ(rows[23], "KRNL.VOX loaded at 0xBFC14000");   // 0xBFC12400 + 224 * 32
    expect_segments_placed(small_kernel());
}

TEST(Loader, AChainStartingAtAnEndMarkIsShorterThanTheFile)
{
    Bytes disk = volume_with({{"KRNL.VOX", small_kernel()}});
    put16(disk, ROOT_DIR_OFFSET_144 + 0x1A, 0xFF8);
    EXPECT_EQ(boot(disk), 0u);
    EXPECT_EQ(hwsim::ata_commands().size(), 2u);   // boot sector and directory only
    EXPECT_EQ(screen_row(12),
              "ERROR: CLUSTER CHAIN SHORTER THAN FILE SIZE " + std::to_string(small_kernel().size()));
}

TEST(Loader, SkipsHeadersThatAreNotLoadableOrEmpty)
{
    Bytes kernel = make_elf(0xC0000000, {{4, 0xC0100000, 16, pattern(16, 3)},    // a note
                                         {1, 0xC0101000, 0, {}},                 // empty
                                         {1, 0xC0000000, 64, pattern(64, 5)}});
    std::memset(fixed(0xC0100000), 0xCC, 0x2000);
    Bytes disk = volume_with({{"KRNL.VOX", kernel}});
    EXPECT_EQ(boot(disk), 0xC0000000u);
    for (uint32_t i = 0; i < 0x2000; i++)
        ASSERT_EQ(*fixed(0xC0100000 + i), 0xCC) << i;
    expect_segments_placed(kernel);
}

TEST(Loader, FollowsAFatEntryThatCrossesIntoTheNextFatSector)
{
    // Cluster 341's entry starts at byte 511 of the FAT: a pad file takes
    // clusters 2-340 so that the kernel runs through it.
    Bytes kernel = make_elf(0xC0000000, {{1, 0xC0000000, 20000, pattern(20000, 11)}});
    Bytes disk = volume_with({{"PAD.BIN", Bytes(339 * 512, 'p')}, {"KRNL.VOX", kernel}});
    EXPECT_EQ(boot(disk), 0xC0000000u);
    expect_segments_placed(kernel);
    bool crossed = false;
    for (const hwsim::AtaCommand& c : hwsim::ata_commands())
        crossed |= c.lba == 1 && c.count == 2;
    EXPECT_TRUE(crossed);
}

TEST(Loader, AKernelEntryThatReturnsEndsInTheHalt)
{
    Bytes disk = volume_with({{"KRNL.VOX", small_kernel()}});
    hwsim::reset();
    hwsim::ata_attach(disk);
    hwsim::set_entry_returns(true);
    EXPECT_THROW(st4main(), hwsim::Halt);
    EXPECT_EQ(hwsim::entered(), 0xC0000010u);
    Rows rows = screen_rows();
    EXPECT_EQ(rows.back(), "Nothing left to do. Halt.");
}

TEST(Loader, LoadsTheRealKernelFromTheSystemImage)
{
    Bytes elf = read_file(kernel_elf_path());
    Bytes disk = read_file(std::string(DISK_IMAGE));
    EXPECT_EQ(boot(disk), elf_entry(elf));
    expect_segments_placed(elf);
    Rows rows = screen_rows();
    ASSERT_GE(rows.size(), 14u);
    EXPECT_EQ(rows[3], "Reserved Sectors: 32");
    EXPECT_EQ(rows[9].substr(0, 9), "KRNL.VOX ");
    EXPECT_EQ(rows[9].substr(rows[9].size() - 11), " <-- KERNEL");
    EXPECT_EQ(rows[4], "Sectors Per FAT: 2");   // 4 KiB clusters
    EXPECT_EQ(rows[13], "KRNL.VOX loaded at 0xBFC10820");
}

TEST(Loader, CompareHelperMatchesByteRuns)
{
    EXPECT_EQ(loader::strcmps("KRNL", "KRNX", 3), 1);
    EXPECT_EQ(loader::strcmps("KRNL", "KRNX", 4), 0);
    EXPECT_EQ(loader::strcmps("a", "b", 0), 1);
    EXPECT_EQ(loader::strcmps("ab\0c", "ab\0d", 3), 1);   // no terminator handling
    EXPECT_EQ(loader::strcmps("ab\0c", "ab\0d", 4), 0);
}
