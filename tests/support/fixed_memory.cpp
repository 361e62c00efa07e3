#include "fixed_memory.h"

#include <sys/mman.h>
#include <cstdio>
#include <cstdlib>

namespace testing_support {

namespace {

struct Range {
    uintptr_t base;
    size_t length;
};

const Range RANGES[] = {
    {0xA0000, 0x10000},         // mode 13h framebuffer
    {0xB8000, 0x1000},          // text screen
    {0xBFC00000, 0x01000000},   // loader, its buffers, kernel, back buffer, stack, heap
};

} // namespace

void map_fixed_ranges()
{
    for (const Range& r : RANGES) {
        void* want = reinterpret_cast<void*>(r.base);
        void* got = mmap(want, r.length, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (got != want) {
            std::fprintf(stderr, "cannot map %#zx bytes at %#zx\n", r.length,
                         static_cast<size_t>(r.base));
            std::exit(3);
        }
    }
}

// Fresh anonymous pages are zero: cheaper than clearing 16 MiB by hand.
void clear_fixed_ranges()
{
    for (const Range& r : RANGES)
        munmap(reinterpret_cast<void*>(r.base), r.length);
    map_fixed_ranges();
}

} // namespace testing_support
