// Running the loader on the host double, for the loader's tests: data and
// kernels to put on volumes, a whole boot over a fake ATA drive, and what
// its screen ended with.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "elf.h"
#include "fake_ata.h"

namespace testing_support {

typedef std::vector<std::string> Rows;

// The loader's last line.
extern const std::string HALT;
// The standard 1.44 MB layout: FAT from byte 512, root directory from
// sector 19, cluster c at sector c + 31, clusters 2 to 2848.
const size_t FAT_OFFSET = 512;
const size_t ROOT_OFFSET = 19 * 512;
const uint32_t HIGHEST_144 = 2848;

// n bytes that differ from their neighbours and from another seed's.
Bytes pattern(size_t n, uint8_t seed);
// A kernel in three clusters of the standard layout (2, 3 and 4): code at
// the kernel's base (entry 0x10 in), data with a zero tail a page above.
Bytes small_kernel();
// A kernel of code over most of a page and data with a zero-filled tail
// two pages up, five clusters of the standard layout.
Bytes paged_kernel();
// A standard 1.44 MB volume holding `kernel` as KRNL.VOX.
Bytes kernel_volume(const Bytes& kernel = small_kernel());
// A volume of `reserved` reserved sectors holding the files (name, bytes)
// in this order.
Bytes volume_with(const std::vector<std::pair<std::string, Bytes>>& files, int reserved = 1);
// Gives root directory entry `index` (at `dir_offset` in the disk) the name.
void rename_entry(Bytes& disk, size_t dir_offset, int index, const char name11[12]);
// The FAT12 entry of `cluster` in the first FAT.
void set_fat(Bytes& disk, uint32_t cluster, uint16_t value);

// The loader's first rows on a standard 1.44 MB volume, up to its listing.
Rows geometry_144();
Rows concat(Rows a, const Rows& b);

// Boots the loader with `disk` as the primary ATA master; returns the entry
// address it jumped to, or 0 when it halted (interrupts off). Without
// `trace` the port accesses are not recorded, which large volumes need.
uint32_t boot(const Bytes& disk, hwsim::AtaOptions options = {}, bool trace = true);
// Runs the loader on whatever disk the double has: the entry address, or 0
// when it halted (interrupts off).
uint32_t run_loader();
// The error line, when the screen ends in exactly one "ERROR:" line, a
// blank line and the halt line; otherwise what is wrong, in parentheses.
std::string error_line();
// Checks every PT_LOAD segment of `elf` landed at its address, tail zeroed.
void expect_segments_placed(const Bytes& elf);

} // namespace testing_support
