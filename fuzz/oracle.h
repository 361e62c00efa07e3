// What the loader must make of a disk image, worked out from the FAT12 and
// ELF rules and the loader's memory map alone, without the loader's code:
// whether the volume and its kernel are sound, and if so the entry and the
// bytes of the kernel file the segments take.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

namespace oracle {

struct Segment {
    uint32_t offset, vaddr, filesz, memsz;
};

struct Verdict {
    bool sound = false;
    std::string why;                // the first rule broken, for reports
    uint32_t entry = 0;
    std::vector<uint8_t> file;      // the kernel file, exactly its recorded size
    std::vector<Segment> segments;  // loadable, non-empty
};

Verdict judge(const uint8_t* disk, size_t size);

} // namespace oracle
