// Volumes for tests, made by the project's mkvolume.sh (mtools) in a
// scratch directory, and byte-level patches of them.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

namespace testing_support {

typedef std::vector<uint8_t> Bytes;

// A fresh directory under the build tree, unique to this test process.
std::string scratch_dir();
std::string write_file(const std::string& name, const Bytes& content);
Bytes read_file(const std::string& path);

struct VolumeFile {
    std::string path;   // host file
    std::string name;   // name on the volume
};

// Runs mkvolume.sh: standard 1.44 MB layout with `reserved` reserved sectors.
Bytes make_volume(const std::vector<VolumeFile>& files, int reserved = 1);

// Little-endian field access in a byte image.
void put16(Bytes& b, size_t at, uint16_t v);
void put32(Bytes& b, size_t at, uint32_t v);
uint16_t get16(const Bytes& b, size_t at);
uint32_t get32(const Bytes& b, size_t at);

// The kernel ELF the build made (with symbols).
std::string kernel_elf_path();

} // namespace testing_support
