#include "volume.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testing_support {

std::string scratch_dir()
{
    static std::string dir;
    if (dir.empty()) {
        dir = std::string(TEST_SCRATCH_DIR) + "/" + std::to_string(getpid());
        std::string cmd = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
        if (std::system(cmd.c_str()) != 0)
            throw std::runtime_error("cannot make " + dir);
    }
    return dir;
}

std::string write_file(const std::string& name, const Bytes& content)
{
    std::string path = scratch_dir() + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content.data()), content.size());
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes make_volume(const std::vector<VolumeFile>& files, int reserved)
{
    static int serial = 0;
    std::string image = scratch_dir() + "/volume" + std::to_string(serial++) + ".img";
    std::string cmd = std::string(MKVOLUME) + " -o '" + image + "' -R " + std::to_string(reserved);
    for (const VolumeFile& f : files)
        cmd += " '" + f.path + ":" + f.name + "'";
    if (std::system(cmd.c_str()) != 0)
        throw std::runtime_error("mkvolume failed: " + cmd);
    return read_file(image);
}

void put16(Bytes& b, size_t at, uint16_t v)
{
    b.at(at) = static_cast<uint8_t>(v);
    b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

void put32(Bytes& b, size_t at, uint32_t v)
{
    put16(b, at, static_cast<uint16_t>(v));
    put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

uint16_t get16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8); }
uint32_t get32(const Bytes& b, size_t at) { return get16(b, at) | static_cast<uint32_t>(get16(b, at + 2)) << 16; }

std::string kernel_elf_path() { return KERNEL_ELF; }

} // namespace testing_support
