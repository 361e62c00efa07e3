#include "elf.h"

#include <cxxabi.h>
#include <cstdlib>
#include <stdexcept>

namespace testing_support {

const uint32_t EHDR_SIZE = 52;
const uint32_t PHDR_SIZE = 32;

Bytes make_elf(uint32_t entry, const std::vector<Segment>& segments)
{
    uint32_t phnum = static_cast<uint32_t>(segments.size());
    Bytes b(EHDR_SIZE + PHDR_SIZE * phnum, 0);
    const uint8_t ident[] = {0x7F, 'E', 'L', 'F', 1, 1, 1};   // 32-bit, little-endian, version 1
    for (size_t i = 0; i < sizeof ident; i++)
        b[i] = ident[i];
    put16(b, 0x10, 2);            // ET_EXEC
    put16(b, 0x12, 3);            // EM_386
    put32(b, 0x14, 1);
    put32(b, 0x18, entry);
    put32(b, 0x1C, EHDR_SIZE);    // e_phoff
    put16(b, 0x28, EHDR_SIZE);
    put16(b, 0x2A, PHDR_SIZE);
    put16(b, 0x2C, static_cast<uint16_t>(phnum));
    for (uint32_t i = 0; i < phnum; i++) {
        const Segment& s = segments[i];
        size_t ph = EHDR_SIZE + PHDR_SIZE * i;
        put32(b, ph + 0x00, s.type);
        put32(b, ph + 0x04, static_cast<uint32_t>(b.size()));
        put32(b, ph + 0x08, s.vaddr);
        put32(b, ph + 0x0C, s.vaddr);
        put32(b, ph + 0x10, static_cast<uint32_t>(s.data.size()));
        put32(b, ph + 0x14, s.memsz);
        put32(b, ph + 0x18, s.flags);
        put32(b, ph + 0x1C, 1);
        b.insert(b.end(), s.data.begin(), s.data.end());
    }
    return b;
}

std::vector<ProgramHeader> program_headers(const Bytes& elf)
{
    std::vector<ProgramHeader> out;
    uint32_t phoff = get32(elf, 0x1C);
    uint16_t size = get16(elf, 0x2A), count = get16(elf, 0x2C);
    for (uint32_t i = 0; i < count; i++) {
        size_t p = phoff + i * size;
        out.push_back({get32(elf, p), get32(elf, p + 4), get32(elf, p + 8),
                       get32(elf, p + 0x10), get32(elf, p + 0x14), get32(elf, p + 0x18)});
    }
    return out;
}

uint32_t elf_entry(const Bytes& elf) { return get32(elf, 0x18); }

static std::string demangled(const char* name)
{
    int status = 0;
    char* d = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string s = status == 0 && d ? d : name;
    std::free(d);
    return s;
}

Symbol find_symbol(const Bytes& elf, const std::string& name)
{
    const uint32_t SHT_SYMTAB = 2;
    uint32_t shoff = get32(elf, 0x20);
    uint16_t shentsize = get16(elf, 0x2E), shnum = get16(elf, 0x30);
    for (uint32_t i = 0; i < shnum; i++) {
        size_t sh = shoff + i * shentsize;
        if (get32(elf, sh + 4) != SHT_SYMTAB)
            continue;
        uint32_t offset = get32(elf, sh + 0x10), size = get32(elf, sh + 0x14);
        size_t strtab = shoff + get32(elf, sh + 0x18) * shentsize;
        uint32_t strings = get32(elf, strtab + 0x10);
        for (uint32_t at = offset; at + 16 <= offset + size; at += 16) {
            const char* sym = reinterpret_cast<const char*>(&elf.at(strings + get32(elf, at)));
            if (demangled(sym) == name)
                return {get32(elf, at + 4), get32(elf, at + 8)};
        }
    }
    throw std::runtime_error("no symbol " + name);
}

} // namespace testing_support
