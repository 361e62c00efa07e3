#include "mutate.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "hw/machine.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

namespace mutate {
namespace {

const size_t SECTOR = 512;

std::minstd_rand rng;

uint32_t below(uint32_t n) { return n ? static_cast<uint32_t>(rng() % n) : 0; }

template <size_t N>
uint32_t pick(const uint32_t (&values)[N])
{
    return values[below(N)];
}

struct Volume {
    uint8_t* data;
    size_t size;
    size_t reserved, fats, spf, root, rootEntries, data_start, spc;
};

void put(const Volume& v, size_t at, uint32_t value, int width)
{
    for (int i = 0; i < width && at + i < v.size; i++)
        v.data[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t get(const Volume& v, size_t at, int width)
{
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; i--)
        value = value << 8 | (at + i < v.size ? v.data[at + i] : 0);
    return value;
}

Volume layout(uint8_t* data, size_t size)
{
    Volume v = {data, size, 0, 0, 0, 0, 0, 0, 0};
    v.reserved = get(v, 0x0E, 2), v.fats = get(v, 0x10, 1), v.spf = get(v, 0x16, 2);
    v.rootEntries = get(v, 0x11, 2), v.spc = std::max<size_t>(get(v, 0x0D, 1), 1);
    v.root = (v.reserved + v.fats * v.spf) * SECTOR;
    v.data_start = v.root + v.rootEntries * 32;
    return v;
}

// A number near a boundary the loader or the rules care about.
uint32_t interesting(uint32_t old)
{
    static const uint32_t values[] = {0, 1, 2, 3, 4, 0x7F, 0x80, 0xFF, 0x100, 0x1FF, 0x200,
                                      0xFF6, 0xFF7, 0xFF8, 0xFFF, 0x1000, 0xFFFF, 0x10000,
                                      0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, machine::LOADER_BASE,
                                      machine::KERNEL_BASE, machine::KERNEL_BASE + 0x1000,
                                      machine::STACK_BOTTOM - 1, machine::STACK_BOTTOM};
    switch (below(4)) {
    case 0: return pick(values);
    case 1: return old + below(9) - 4;
    case 2: return old ^ (1u << below(32));
    default: return static_cast<uint32_t>(rng());
    }
}

void boot_sector(const Volume& v)
{
    static const uint32_t fields[][2] = {{0x0B, 2}, {0x0D, 1}, {0x0E, 2}, {0x10, 1}, {0x11, 2},
                                         {0x13, 2}, {0x15, 1}, {0x16, 2}, {0x20, 4}};
    const uint32_t* f = fields[below(sizeof fields / sizeof fields[0])];
    put(v, f[0], interesting(get(v, f[0], f[1])), f[1]);
}

void fat_entry(const Volume& v)
{
    uint32_t clusters = static_cast<uint32_t>(std::min<size_t>(v.spf * SECTOR * 2 / 3, 4096));
    uint32_t cluster = below(clusters);
    uint32_t value = below(2) ? interesting(cluster) & 0xFFF : cluster + below(5) - 2;
    size_t at = v.reserved * SECTOR + cluster * 3 / 2;
    uint32_t word = get(v, at, 2);
    word = cluster & 1 ? (word & 0x000F) | (value & 0xFFF) << 4 : (word & 0xF000) | (value & 0xFFF);
    put(v, at, word, 2);
}

void directory_entry(const Volume& v)
{
    size_t entries = std::min<size_t>(v.rootEntries, 16);
    if (entries == 0)
        return;
    size_t e = v.root + 32 * below(static_cast<uint32_t>(entries));
    static const uint32_t attributes[] = {0x00, 0x01, 0x08, 0x0F, 0x10, 0x20, 0x28, 0x30};
    switch (below(5)) {
    case 0: put(v, e + 0x0B, pick(attributes), 1); break;
    case 1: put(v, e + 0x1A, interesting(get(v, e + 0x1A, 2)), 2); break;
    case 2: put(v, e + 0x1C, interesting(get(v, e + 0x1C, 4)), 4); break;
    case 3:
        for (int i = 0; i < 11 && e + i < v.size; i++)
            v.data[e + i] = static_cast<uint8_t>("KRNL    VOX"[i]);
        break;
    default: put(v, e + below(11), pick(attributes) | below(2) * 0xE5, 1); break;
    }
}

// The first cluster of the first file named like the kernel: its ELF headers.
size_t kernel_file(const Volume& v)
{
    for (size_t e = v.root; e < v.data_start && e + 32 <= v.size; e += 32)
        if (std::memcmp(v.data + e, "KRNL    VOX", 11) == 0)
            return v.data_start + (get(v, e + 0x1A, 2) - 2) * v.spc * SECTOR;
    return v.data_start;
}

void elf_field(const Volume& v)
{
    size_t file = kernel_file(v);
    static const uint32_t header[][2] = {{0x04, 1}, {0x05, 1}, {0x06, 1}, {0x10, 2}, {0x12, 2},
                                         {0x14, 4}, {0x18, 4}, {0x1C, 4}, {0x2A, 2}, {0x2C, 2}};
    if (below(3) == 0) {
        const uint32_t* f = header[below(sizeof header / sizeof header[0])];
        put(v, file + f[0], interesting(get(v, file + f[0], f[1])), f[1]);
        return;
    }
    size_t phoff = get(v, file + 0x1C, 4), entsize = get(v, file + 0x2A, 2);
    size_t ph = file + phoff + entsize * below(std::min<uint32_t>(get(v, file + 0x2C, 2), 4));
    size_t field = 4 * below(8);
    // Often one segment's field set from another's, to make overlaps.
    uint32_t value = below(3) == 0 ? get(v, file + phoff + field, 4) + below(0x2000)
                                   : interesting(get(v, ph + field, 4));
    put(v, ph + field, value, 4);
}

// A window of libFuzzer's own mutations over a region the layout names.
void window(const Volume& v)
{
    static const size_t spans[] = {64, 256, 1024};
    size_t regions[] = {0, v.reserved * SECTOR, v.root, kernel_file(v), below(static_cast<uint32_t>(v.size))};
    size_t at = regions[below(5)], span = spans[below(3)];
    if (at >= v.size)
        return;
    span = std::min(span, v.size - at);
    std::vector<uint8_t> w(v.data + at, v.data + at + span);
    size_t n = LLVMFuzzerMutate(w.data(), w.size(), w.size());
    std::copy(w.begin(), w.begin() + n, v.data + at);
}

} // namespace

size_t volume(uint8_t* data, size_t size, size_t max_size, unsigned seed)
{
    rng.seed(seed);
    if (size < SECTOR || below(20) == 0)
        return LLVMFuzzerMutate(data, size, max_size);
    Volume v = layout(data, size);
    switch (below(6)) {
    case 0: boot_sector(v); break;
    case 1: fat_entry(v); break;
    case 2: directory_entry(v); break;
    case 3: elf_field(v); break;
    case 4: window(v); break;
    default: {   // the disk's length, in whole sectors
        size_t sectors = size / SECTOR + below(9) - 4;
        size_t length = std::min(std::max<size_t>(sectors, 1) * SECTOR, max_size);
        if (length > size)
            std::memset(data + size, 0, length - size);
        return length;
    }
    }
    return size;
}

} // namespace mutate
