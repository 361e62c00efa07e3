// libFuzzer target: the loader's whole sequence, st4main(), on the host
// double with the fake ATA drive serving the input as the disk.
//
// The ranges the loader may write are mapped at their real addresses and
// nothing else of the process lies below 4 GiB, so any write the loader makes
// outside them faults. Each run must end in one of two ways: the kernel's
// entry, at an address in the kernel range, or the halt after an "ERROR:"
// line with nothing written to the kernel range.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "fake_ata.h"
#include "hw_host.h"
#include "stage4/st4.h"
#include "stage4/term.h"

namespace {

struct Range {
    uint64_t base;
    uint64_t length;
};

const uint32_t TEXT_SCREEN = 0xB8000;
const uint32_t PAGE = 0x1000;
const uint64_t LOW_LIMIT = 1ull << 32;

// The text screen, the boot sector buffer's page, and from the FAT scratch
// sectors through the root directory, the temporary image and the kernel up
// to the boot stack. The loader's own image range and the boot stack stay
// unmapped: on the host nothing of the loader lives there.
const Range RANGES[] = {
    {TEXT_SCREEN, PAGE},
    {loader::BPB_BUFFER, PAGE},
    {loader::FAT_SCRATCH, loader::BOOT_STACK_BOTTOM - loader::FAT_SCRATCH},
};
const Range KERNEL = {loader::KERNEL_BASE, loader::BOOT_STACK_BOTTOM - loader::KERNEL_BASE};

[[noreturn]] void die(const char* what)
{
    std::fprintf(stderr, "fuzz_loader: %s\n", what);
    std::abort();
}

void* pointer(uint64_t address) { return reinterpret_cast<void*>(address); }

void map_ranges()
{
    for (const Range& r : RANGES)
        if (mmap(pointer(r.base), r.length, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0) != pointer(r.base))
            die("cannot map a fixed range");
}

// Every mapping below 4 GiB must be one of RANGES.
void check_low_memory()
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        uint64_t start = std::stoull(line, nullptr, 16);
        uint64_t end = std::stoull(line.substr(line.find('-') + 1), nullptr, 16);
        if (start >= LOW_LIMIT)
            continue;
        bool fixed = false;
        for (const Range& r : RANGES)
            fixed |= start >= r.base && end <= r.base + r.length;
        if (!fixed) {
            std::fprintf(stderr, "fuzz_loader: mapped below 4 GiB: %s\n", line.c_str());
            std::abort();
        }
    }
}

// Zero pages again, so that no run sees what an earlier one left.
void clear_ranges()
{
    for (const Range& r : RANGES)
        if (madvise(pointer(r.base), r.length, MADV_DONTNEED) != 0)
            die("madvise failed");
}

bool screen_shows_error()
{
    const volatile uint8_t* screen = static_cast<const volatile uint8_t*>(pointer(TEXT_SCREEN));
    const char ERROR[] = "ERROR:";
    for (int row = 0; row < loader::TERM_ROWS; row++) {
        const volatile uint8_t* cell = screen + 2 * loader::TERM_COLS * row;
        int i = 0;
        while (ERROR[i] && cell[2 * i] == static_cast<uint8_t>(ERROR[i]))
            i++;
        if (!ERROR[i])
            return true;
    }
    return false;
}

// True when no page of the kernel range was written since clear_ranges():
// pages never touched are not resident; a resident one must still be zero.
bool kernel_range_untouched()
{
    static std::vector<unsigned char> resident(KERNEL.length / PAGE);
    if (mincore(pointer(KERNEL.base), KERNEL.length, resident.data()) != 0)
        die("mincore failed");
    for (size_t p = 0; p < resident.size(); p++) {
        if (!(resident[p] & 1))
            continue;
        const uint8_t* page = static_cast<const uint8_t*>(pointer(KERNEL.base + p * PAGE));
        for (uint32_t i = 0; i < PAGE; i++)
            if (page[i] != 0)
                return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    map_ranges();
    check_low_memory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static uint64_t runs = 0;
    if (++runs % 65536 == 0)
        check_low_memory();
    clear_ranges();
    hwsim::reset();
    hwsim::set_tracing(false);
    hwsim::ata_attach(std::vector<uint8_t>(data, data + size));
    loader::clearScreen();
    try {
        st4main();
    } catch (const hwsim::Entry& e) {
        if (e.address < KERNEL.base || e.address >= KERNEL.base + KERNEL.length)
            die("entered outside the kernel range");
        return 0;
    } catch (const hwsim::Halt& h) {
        if (h.interrupts_enabled)
            die("halted with interrupts enabled");
        if (!screen_shows_error())
            die("halted without an ERROR line");
        if (!kernel_range_untouched())
            die("halted after writing the kernel range");
        return 0;
    }
    die("st4main returned");
}
