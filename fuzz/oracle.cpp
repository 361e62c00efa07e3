#include "oracle.h"

#include <algorithm>

#include "hw/machine.h"

namespace oracle {
namespace {

// The loader's memory map: FATs and root directory from FAT_SCRATCH, the
// temporary image right behind the entries in use, all below KERNEL_BASE;
// segments between KERNEL_BASE and the boot stack.
const uint64_t FAT_SCRATCH = machine::FAT_SCRATCH;
const uint64_t KERNEL_BASE = machine::KERNEL_BASE;
const uint64_t BOOT_STACK_BOTTOM = machine::STACK_BOTTOM;
const uint64_t SECTOR = 512;

struct Disk {
    const uint8_t* bytes;
    size_t size;
    // A drive serves whole sectors; one the image only starts counts whole.
    bool holds(uint64_t lba, uint64_t count) const
    {
        return (lba + count) * SECTOR <= (size + SECTOR - 1) / SECTOR * SECTOR;
    }
    uint8_t at(uint64_t offset) const { return offset < size ? bytes[offset] : 0; }
    uint32_t le(uint64_t offset, int width) const
    {
        uint32_t v = 0;
        for (int i = width - 1; i >= 0; i--)
            v = v << 8 | at(offset + i);
        return v;
    }
};

uint32_t le(const std::vector<uint8_t>& b, uint64_t offset, int width)
{
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; i--)
        v = v << 8 | b[offset + i];
    return v;
}

struct Volume {
    uint64_t spc, reserved, fats, spf, rootEntries, rootSectors, dataStart, clusters;
};

Verdict unsound(const std::string& why)
{
    Verdict v;
    v.why = why;
    return v;
}

bool bootSector(const Disk& d, Volume& v, std::string& why)
{
    uint64_t bps = d.le(0x0B, 2), total = d.le(0x13, 2), media = d.at(0x15);
    v.spc = d.at(0x0D), v.reserved = d.le(0x0E, 2), v.fats = d.at(0x10);
    v.rootEntries = d.le(0x11, 2), v.spf = d.le(0x16, 2);
    if (total == 0)
        total = d.le(0x20, 4);
    v.rootSectors = v.rootEntries * 32 / SECTOR;
    v.dataStart = v.reserved + v.fats * v.spf + v.rootSectors;
    if (!d.holds(0, 1))
        why = "no boot sector";
    else if (bps != SECTOR)
        why = "sector size";
    else if (v.spc == 0 || (v.spc & (v.spc - 1)))
        why = "sectors per cluster";
    else if (v.reserved == 0 || v.fats == 0 || v.spf == 0)
        why = "reserved, FATs or FAT size 0";
    else if (media != 0xF0 && media < 0xF8)
        why = "media descriptor";
    else if (v.rootEntries == 0 || v.rootEntries * 32 % SECTOR)
        why = "root directory size";
    else if ((v.fats * v.spf + v.rootSectors) * SECTOR > KERNEL_BASE - FAT_SCRATCH)
        why = "FATs and root directory reach the kernel";
    else if (total < v.dataStart + v.spc)
        why = "no data cluster";
    else if ((v.clusters = (total - v.dataStart) / v.spc) >= 4085)
        why = "FAT16 by its cluster count";
    else if ((3 * (v.clusters + 2) + 1) / 2 > v.spf * SECTOR)
        why = "FAT smaller than its clusters";
    else if (!d.holds(v.reserved + v.fats * v.spf, v.rootSectors))
        why = "root directory past the disk";
    return why.empty();
}

// The next cluster from the first FAT, if the drive holds its sector(s).
bool fatEntry(const Disk& d, const Volume& v, uint64_t cluster, uint64_t& next)
{
    uint64_t offset = cluster * 3 / 2;
    if (!d.holds(v.reserved + offset / SECTOR, offset % SECTOR == SECTOR - 1 ? 2 : 1))
        return false;
    uint32_t word = d.le(v.reserved * SECTOR + offset, 2);
    next = cluster & 1 ? word >> 4 : word & 0xFFF;
    return true;
}

bool readFile(const Disk& d, const Volume& v, uint64_t first, uint64_t size, uint64_t room,
              std::vector<uint8_t>& file, std::string& why)
{
    uint64_t clusterBytes = v.spc * SECTOR;
    uint64_t count = (size + clusterBytes - 1) / clusterBytes;
    if (count * clusterBytes > room) {
        why = "file does not fit below the kernel";
        return false;
    }
    std::vector<bool> seen(4096);
    uint64_t cluster = first;
    for (uint64_t k = 0; k < count; k++) {
        if (k > 0 && !fatEntry(d, v, cluster, cluster)) {
            why = "FAT sector past the disk";
            return false;
        }
        if (cluster >= 0xFF8)
            why = "chain shorter than the file";
        else if (cluster < 2 || cluster > v.clusters + 1)
            why = "cluster out of range";
        else if (seen[cluster])
            why = "chain comes back";
        else if (!d.holds(v.dataStart + (cluster - 2) * v.spc, v.spc))
            why = "cluster past the disk";
        if (!why.empty())
            return false;
        seen[cluster] = true;
        uint64_t at = (v.dataStart + (cluster - 2) * v.spc) * SECTOR;
        uint64_t take = std::min(clusterBytes, size - file.size());
        uint64_t held = at < d.size ? std::min<uint64_t>(take, d.size - at) : 0;
        if (held)
            file.insert(file.end(), d.bytes + at, d.bytes + at + held);
        file.resize(file.size() + take - held, 0);   // past the image: zeros
    }
    return true;
}

void judgeElf(Verdict& out)
{
    const std::vector<uint8_t>& f = out.file;
    uint64_t size = f.size();
    if (size < 52)
        out.why = "ELF header truncated";
    else if (le(f, 0, 4) != 0x464C457F || f[4] != 1 || f[5] != 1 || f[6] != 1)
        out.why = "ELF identification";
    else if (le(f, 0x10, 2) != 2 || le(f, 0x12, 2) != 3 || le(f, 0x14, 4) != 1)
        out.why = "ELF type, machine or version";
    if (!out.why.empty())
        return;
    uint64_t phoff = le(f, 0x1C, 4), entsize = le(f, 0x2A, 2), count = le(f, 0x2C, 2);
    if ((count && entsize != 32) || phoff + count * 32 > size) {
        out.why = "program header table";
        return;
    }
    bool entryInCode = false;
    uint32_t entry = le(f, 0x18, 4);
    for (uint64_t i = 0; i < count; i++) {
        uint64_t ph = phoff + i * 32;
        uint32_t type = le(f, ph, 4);
        Segment s = {le(f, ph + 4, 4), le(f, ph + 8, 4), le(f, ph + 16, 4), le(f, ph + 20, 4)};
        if (type == 2 || type == 3) {
            out.why = "dynamic section or interpreter in a static kernel";
            return;
        }
        if (type != 1)
            continue;
        if (s.filesz > s.memsz) {
            out.why = "segment file size above memory size";
            return;
        }
        if (s.memsz == 0)
            continue;
        if (uint64_t(s.offset) + s.filesz > size || s.vaddr < KERNEL_BASE ||
            uint64_t(s.vaddr) + s.memsz > BOOT_STACK_BOTTOM) {
            out.why = "segment";
            return;
        }
        // Loadable segments ascend by address; then none overlaps when each
        // begins at or after the end of the one before it.
        if (!out.segments.empty()) {
            const Segment& o = out.segments.back();
            if (s.vaddr < o.vaddr) {
                out.why = "segments out of order";
                return;
            }
            if (s.vaddr < uint64_t(o.vaddr) + o.memsz) {
                out.why = "segments overlap";
                return;
            }
        }
        out.segments.push_back(s);
        if ((le(f, ph + 24, 4) & 1) && entry >= s.vaddr && entry - s.vaddr < s.filesz)
            entryInCode = true;
    }
    if (!entryInCode)
        out.why = "entry outside code";
    out.entry = entry;
    out.sound = out.why.empty();
}

} // namespace

Verdict judge(const uint8_t* bytes, size_t size)
{
    Disk d = {bytes, size};
    Volume v;
    std::string why;
    if (!bootSector(d, v, why))
        return unsound(why);

    uint64_t root = (v.reserved + v.fats * v.spf) * SECTOR;
    uint64_t listed = 0, kernel = 0;
    bool found = false;
    for (; listed < v.rootEntries && d.at(root + 32 * listed) != 0; listed++) {
        uint64_t e = root + 32 * listed;
        bool named = true;
        for (int i = 0; i < 11; i++)
            named &= d.at(e + i) == static_cast<uint8_t>("KRNL    VOX"[i]);
        if (!found && named && !(d.at(e + 11) & 0x18)) {
            found = true;
            kernel = e;
        }
    }
    if (!found)
        return unsound("no kernel file");
    uint64_t fileSize = d.le(kernel + 0x1C, 4);
    if (fileSize == 0)
        return unsound("empty kernel file");
    uint64_t image = FAT_SCRATCH + v.fats * v.spf * SECTOR + 32 * listed;

    Verdict out;
    if (!readFile(d, v, d.le(kernel + 0x1A, 2), fileSize, KERNEL_BASE - image, out.file, why))
        return unsound(why);
    judgeElf(out);
    return out;
}

} // namespace oracle
