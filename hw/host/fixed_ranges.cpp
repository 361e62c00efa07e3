#include "fixed_ranges.h"
#include "machine.h"

#include <sys/mman.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace hwsim {
namespace {

struct Range {
    uintptr_t base;
    size_t length;
};

const Range RANGES[] = {
    {machine::BIOS_AREA, machine::BIOS_AREA_BYTES},
    {machine::VGA_GRAPHICS, machine::VGA_GRAPHICS_BYTES},
    {machine::TEXT_SCREEN, machine::TEXT_SCREEN_BYTES},
    {machine::HIGH_WINDOW, machine::HIGH_WINDOW_BYTES},
};

bool map(const Range& r)
{
    void* want = reinterpret_cast<void*>(r.base);
    void* got = mmap(want, r.length, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (got == want)
        return true;
    int error = errno;
    if (got != MAP_FAILED)
        munmap(got, r.length);   // a Linux without the no-replace flag put it elsewhere
    else if (error == EEXIST)
        return true;
    std::fprintf(stderr, "cannot map %#zx bytes at %#zx: %s\n", r.length, static_cast<size_t>(r.base),
                 got == MAP_FAILED ? std::strerror(error) : "placed elsewhere");
    return false;
}

} // namespace

bool map_fixed_ranges()
{
    for (const Range& r : RANGES)
        if (!map(r))
            return false;
    return true;
}

bool remap_fixed_ranges()
{
    for (const Range& r : RANGES)
        munmap(reinterpret_cast<void*>(r.base), r.length);
    return map_fixed_ranges();
}

} // namespace hwsim
