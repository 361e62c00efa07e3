#include "loader_run.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fixed_memory.h"
#include "hw_host.h"
#include "hw/machine.h"
#include "stage4/st4.h"
#include "stage4/term.h"
#include "text_screen.h"
#include "volume.h"

namespace testing_support {

const std::string HALT = "Nothing left to do. Halt.";

Bytes pattern(size_t n, uint8_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = static_cast<uint8_t>(seed + i * 5 + (i >> 8));
    return b;
}

Bytes small_kernel()
{
    return make_elf(machine::KERNEL_BASE + 0x10, {{1, machine::KERNEL_BASE, 1000, pattern(1000, 1)},
                                                  {1, machine::KERNEL_BASE + 0x1000, 0x400, pattern(0x100, 9), 6}});
}

Bytes paged_kernel()
{
    return make_elf(machine::KERNEL_BASE + 0x10, {{1, machine::KERNEL_BASE, 3000, pattern(3000, 1)},
                                                  {1, machine::KERNEL_BASE + 0x2000, 0x288C, pattern(0x50, 9), 6}});
}

Bytes volume_with(const std::vector<std::pair<std::string, Bytes>>& files, int reserved)
{
    std::vector<VolumeFile> list;
    for (size_t i = 0; i < files.size(); i++)
        list.push_back({write_file("file" + std::to_string(i), files[i].second), files[i].first});
    return make_volume(list, reserved);
}

void rename_entry(Bytes& disk, size_t dir_offset, int index, const char name11[12])
{
    std::memcpy(&disk[dir_offset + 32 * index], name11, 11);
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

Bytes kernel_volume(const Bytes& kernel) { return make_volume({{write_file("kernel", kernel), "KRNL.VOX"}}); }

void set_fat(Bytes& disk, uint32_t cluster, uint16_t value)
{
    size_t at = FAT_OFFSET + cluster + cluster / 2;
    uint16_t word = get16(disk, at);
    word = cluster & 1 ? static_cast<uint16_t>((word & 0x000F) | value << 4)
                       : static_cast<uint16_t>((word & 0xF000) | value);
    put16(disk, at, word);
}

uint32_t boot(const Bytes& disk, hwsim::AtaOptions options, bool trace)
{
    hwsim::reset();
    hwsim::set_tracing(trace);
    hwsim::ata_attach(disk, options);
    return run_loader();
}

uint32_t run_loader()
{
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

} // namespace testing_support
