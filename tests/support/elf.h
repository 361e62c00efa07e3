// Minimal 32-bit little-endian ELF executables for loader tests, and a reader
// of the program headers of real ones.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

#include "volume.h"

namespace testing_support {

struct Segment {
    uint32_t type;      // 1 = PT_LOAD
    uint32_t vaddr;
    uint32_t memsz;     // at least data.size() for a sound segment
    Bytes data;         // the file part
    uint32_t flags = 5; // R X
};

// An executable with the given entry and segments, headers first, each
// segment's data after them in order.
Bytes make_elf(uint32_t entry, const std::vector<Segment>& segments);

struct ProgramHeader {
    uint32_t type, offset, vaddr, filesz, memsz, flags;
};

std::vector<ProgramHeader> program_headers(const Bytes& elf);

struct Symbol {
    uint32_t value;
    uint32_t size;
};

// The symbol whose demangled name is `name` (for example "kern::keys" or
// "start"); throws std::runtime_error when the symbol table has none.
Symbol find_symbol(const Bytes& elf, const std::string& name);
uint32_t elf_entry(const Bytes& elf);

} // namespace testing_support
