#include "volumes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "elf.h"
#include "qemu.h"
#include "hw/machine.h"

namespace system_volumes {

std::string make(const std::vector<testing_support::VolumeFile>& files, const std::string& name,
                 int kilobytes)
{
    std::string path = testing_support::scratch_dir() + "/" + name;
    std::string cmd = std::string(MKVOLUME) + " -o '" + path + "' -f " + std::to_string(kilobytes) + " -R " +
                      std::to_string(BOOT_RESERVED_SECTORS) + " -c " +
                      std::to_string(SYSTEM_CLUSTER_SECTORS) + " -b '" BOOT_SECTOR_BIN "' -r '" +
                      BOOT_RESERVED_BIN + "'";
    for (const testing_support::VolumeFile& f : files)
        cmd += " '" + f.path + ":" + f.name + "'";
    if (std::system(cmd.c_str()) != 0)
        throw std::runtime_error("mkvolume failed: " + cmd);
    return path;
}

void patch(const std::string& path, size_t offset, const testing_support::Bytes& bytes)
{
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot patch " + path);
}

void install_boot(const std::string& path)
{
    using namespace testing_support;
    Bytes volume = read_file(path);
    if (get16(volume, 0x0E) < BOOT_RESERVED_SECTORS)
        throw std::runtime_error(path + " has too few reserved sectors for the boot stages");
    // The jump over the BPB, then the code from 0x3E on, as mformat -B merges them.
    Bytes boot = read_file(BOOT_SECTOR_BIN);
    patch(path, 0, Bytes(boot.begin(), boot.begin() + 3));
    patch(path, 0x3E, Bytes(boot.begin() + 0x3E, boot.begin() + 512));
    patch(path, 512, read_file(BOOT_RESERVED_BIN));
}

size_t root_directory_offset(const std::string& path)
{
    testing_support::Bytes b = testing_support::read_file(path);
    size_t reserved = testing_support::get16(b, 0x0E), fats = b.at(0x10);
    size_t sectors_per_fat = testing_support::get16(b, 0x16);
    return (reserved + fats * sectors_per_fat) * 512;
}

std::vector<std::string> text_screen(qemu::Machine& m)
{
    const int ROWS = 25, COLUMNS = 80;   // a character and an attribute a cell
    testing_support::Bytes screen = qemu::physical_memory(m, machine::TEXT_SCREEN, 2 * ROWS * COLUMNS);
    std::vector<std::string> rows;
    for (int r = 0; r < ROWS; r++) {
        std::string row;
        for (int c = 0; c < COLUMNS; c++) {
            uint8_t ch = screen.at(2 * (r * COLUMNS + c));
            row.push_back(ch ? static_cast<char>(ch) : ' ');
        }
        while (!row.empty() && row.back() == ' ')
            row.pop_back();
        rows.push_back(row);
    }
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    return rows;
}

std::vector<std::string> boot_to_loader_halt(const std::string& disk, double seconds,
                                             const std::string& medium)
{
    using namespace testing_support;
    qemu::Machine m = qemu::start({disk, false, {}, false, medium});
    bool halted = qemu::wait_halted(m, seconds);
    std::vector<std::string> rows = text_screen(m);
    std::string serial = qemu::serial(m);
    qemu::Cpu cpu = qemu::cpu(m);
    uint32_t return_address = get32(qemu::virtual_memory(m, cpu.esp, 4), 0);
    qemu::stop(m);
    EXPECT_TRUE(halted);
    // The serial line carries the same text, its ERROR line and the halt
    // line last.
    std::string shown;
    for (const std::string& row : rows)
        shown += row + "\n";
    EXPECT_GE(serial.size(), shown.size());
    if (serial.size() >= shown.size()) {
        EXPECT_EQ(serial.substr(serial.size() - shown.size()), shown);
    }
    Bytes loader = read_file(STAGE4_ELF);
    Symbol hlt = find_symbol(loader, "hlt()"), stop = find_symbol(loader, "loader::stop()");
    EXPECT_GE(cpu.eip, hlt.value);
    EXPECT_LE(cpu.eip, hlt.value + hlt.size);
    EXPECT_GE(return_address, stop.value);
    EXPECT_LT(return_address, stop.value + stop.size);
    return rows;
}

} // namespace system_volumes
