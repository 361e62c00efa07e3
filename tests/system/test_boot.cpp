// The boot chain in QEMU: boot sector, stage 2, the stage-4 loader's screen,
// and the jump into the kernel.
#include <gtest/gtest.h>

#include "elf.h"
#include "qemu.h"
#include "transcript.h"
#include "volumes.h"

using namespace testing_support;
typedef std::vector<std::string> Rows;

namespace {

const Rows GEOMETRY = {
    "Quillon's Rattlebox Bootloader II", "", "FAT12 Filesystem Info",
    "Reserved Sectors: 32", "Sectors Per FAT: 2", "Number of FATs: 2",
    "Max Root Dir Entries: 224", "", "Root Directory Listing:",
};

Rows concat(Rows a, const Rows& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string lines(const Rows& rows)
{
    std::string text;
    for (const std::string& row : rows)
        text += row + "\n";
    return text;
}

// Boots a volume that must end in the loader's halt; returns its screen.
Rows boot_to_halt(const std::string& disk) { return system_volumes::boot_to_loader_halt(disk, 10); }

std::string file_of(const std::string& name, const Bytes& content)
{
    return write_file(name, content);
}

} // namespace

TEST(Boot, TheLoaderListsTheVolumeAndEntersTheKernelAtStart)
{
    Bytes kernel = read_file(KERNEL_FILE);
    Symbol handover = find_symbol(kernel, "kernel_handover");
    Symbol start = find_symbol(kernel, "start");
    ASSERT_EQ(elf_entry(kernel), handover.value);
    ASSERT_EQ(start.value, 0xC0000000u);

    qemu::Machine m = qemu::start({DISK_IMAGE, true, {}});
    qemu::break_at(m, handover.value);
    qemu::break_at(m, start.value);
    qemu::resume(m);
    ASSERT_TRUE(qemu::wait_stop(m, 20));
    EXPECT_EQ(qemu::stopped_eip(m), handover.value);
    EXPECT_EQ(system_volumes::text_screen(m), concat(GEOMETRY, {
        "KRNL.VOX " + std::to_string(kernel.size()) + " <-- KERNEL",
        "",
        "Loading Kernel to temp location. Reloc 0xC0000000",
        "",
        "KRNL.VOX loaded at 0xBFC10820"   // 0xBFC10000 + 2 FATs * 2 * 512, one entry,
    }));

    qemu::resume(m);
    ASSERT_TRUE(qemu::wait_stop(m, 10));
    EXPECT_EQ(qemu::stopped_eip(m), start.value);
    qemu::stop(m);
}

TEST(Boot, TheSerialLineCarriesTheLoadersLinesThenTheKernels)
{
    Bytes kernel = read_file(KERNEL_FILE);
    qemu::Machine m = qemu::start({DISK_IMAGE, false, {}});
    bool started = qemu::wait_serial(m, STARTUP_LINES, 30);
    std::string serial = qemu::serial(m);
    qemu::stop(m);
    ASSERT_TRUE(started) << serial;
    EXPECT_EQ(serial.substr(0, serial.find(STARTUP_LINES)) , lines(concat(GEOMETRY, {
        "KRNL.VOX " + std::to_string(kernel.size()) + " <-- KERNEL",
        "",
        "Loading Kernel to temp location. Reloc 0xC0000000",
        "",
        "KRNL.VOX loaded at 0xBFC10820",
    })));
}

TEST(Boot, TheKernelAndTheLabelsNamedLikeItAroundItBoot)
{
    // A volume label of the kernel's name before the kernel and after it.
    Bytes kernel = read_file(KERNEL_FILE);
    std::string disk = system_volumes::make({{file_of("a", Bytes(3, 'a')), "A"},
                                             {KERNEL_FILE, "KRNL.VOX"},
                                             {file_of("b", Bytes(4, 'b')), "B"}}, "labels.img");
    size_t root = system_volumes::root_directory_offset(disk);
    const Bytes label = {'K', 'R', 'N', 'L', ' ', ' ', ' ', ' ', 'V', 'O', 'X', 0x08};
    system_volumes::patch(disk, root, label);
    system_volumes::patch(disk, root + 64, label);
    qemu::Machine m = qemu::start({disk, false, {}});
    bool started = qemu::wait_serial(m, STARTUP_LINES, 30);
    std::string serial = qemu::serial(m);
    qemu::stop(m);
    EXPECT_TRUE(started) << serial;
    EXPECT_NE(serial.find("KRNL.VOX 3\nKRNL.VOX " + std::to_string(kernel.size()) +
                          " <-- KERNEL\nKRNL.VOX 4\n"), std::string::npos) << serial;
}

TEST(Boot, AVolumeWithoutAKernelEndsInTheNotFoundHalt)
{
    std::string disk = system_volumes::make({{file_of("readme", Bytes(3, 'r')), "README"}}, "nokernel.img");
    EXPECT_EQ(boot_to_halt(disk), concat(GEOMETRY, {
        "README. 3",
        "ERROR: KERN.VOX NOT FOUND",
        "",
        "Nothing left to do. Halt.",
    }));
}

TEST(Boot, ALowerCaseKernelNameIsNotFound)
{
    std::string disk = system_volumes::make({{KERNEL_FILE, "KRNL.VOX"}}, "lower.img");
    system_volumes::patch(disk, system_volumes::root_directory_offset(disk),
                          Bytes{'k', 'r', 'n', 'l', ' ', ' ', ' ', ' ', 'v', 'o', 'x'});
    Rows rows = boot_to_halt(disk);
    ASSERT_GE(rows.size(), 11u);
    EXPECT_EQ(rows[9].substr(0, 9), "krnl.vox ");
    EXPECT_EQ(rows[10], "ERROR: KERN.VOX NOT FOUND");
    EXPECT_EQ(rows.back(), "Nothing left to do. Halt.");
}

TEST(Boot, AKernelFileThatIsNotElfEndsInTheMagicHalt)
{
    std::string disk = system_volumes::make({{file_of("notelf", Bytes{'M', 'Z', 0x90, 0}), "KRNL.VOX"}},
                                            "notelf.img");
    EXPECT_EQ(boot_to_halt(disk), concat(GEOMETRY, {
        "KRNL.VOX 4 <-- KERNEL",
        "",
        "Loading Kernel to temp location. Reloc 0xC0000000",
        "",
        "ERROR: ELF_MAGIC BORKED",
        "Expected 0x464C457F got 0x905A4D",
        "",
        "Nothing left to do. Halt.",
    }));
}
