// The fuzz target's mutator of whole volumes: one change a call, chosen
// among the boot sector's fields, a FAT entry, a directory entry, the
// kernel file's ELF header and program headers, the volume's length, and
// libFuzzer's own byte mutations of a small window.
#pragma once
#include <stddef.h>
#include <stdint.h>

namespace mutate {

size_t volume(uint8_t* data, size_t size, size_t max_size, unsigned seed);

} // namespace mutate
