// The loader's whole sequence against a fake ATA disk serving mtools-made
// volumes, with the loader's buffers and the kernel range at their real
// addresses: the system's own kernel and a small one are placed and entered.
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

TEST(Loader, LoadsAndEntersTheKernelOnTheStandardLayout)
{
    Bytes kernel = paged_kernel();
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

TEST(Loader, AKernelEntryThatReturnsEndsInTheHalt)
{
    Bytes disk = volume_with({{"KRNL.VOX", paged_kernel()}});
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
