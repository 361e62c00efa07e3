// libFuzzer target: the loader's whole sequence, st4main(), on the fuzz
// target's own seam (seam.h) with its ATA drive serving the input, in place,
// as the disk.
//
// The ranges the loader may write are mapped at their real addresses and
// nothing else of the process lies below 4 GiB, so any write the loader makes
// outside them faults. Each run must end as the oracle (oracle.h), which
// knows nothing of the loader's code, says: the kernel's entry for a sound
// volume and kernel, with the kernel range holding exactly the segments made
// from the file's recorded bytes; otherwise the halt after an "ERROR:" line,
// on the screen and as the serial line's last lines, with nothing written to
// the kernel range.
//
// Inputs are whole volumes; the mutator (mutate.h) changes one field of the
// boot sector, a FAT entry, a directory entry or the kernel's ELF headers at
// a time, so that most runs get deep into the loader.
//
// A run costs what the loader reads and writes, not what the volume holds:
// the drive reads the sectors the loader asks for straight from the input,
// pages of the fixed ranges are zeroed by dropping them, and the checks look
// only at pages the run touched and at the bytes the segments take.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "hw/machine.h"
#include "mutate.h"
#include "oracle.h"
#include "seam.h"
#include "stage4/serial.h"
#include "stage4/st4.h"
#include "stage4/term.h"

namespace {

struct Range {
    uint64_t base;
    uint64_t length;
};

const uint32_t TEXT_SCREEN = machine::TEXT_SCREEN;
const uint32_t PAGE = 0x1000;
const uint64_t LOW_LIMIT = 1ull << 32;

// The text screen, the boot sector buffer's page, and from the FAT scratch
// sectors through the root directory, the temporary image and the kernel up
// to the boot stack. The loader's own image range and the boot stack stay
// unmapped: on the host nothing of the loader lives there. This is narrower
// than the tests' map (hw/host/fixed_ranges.cpp) on purpose: a stray write
// anywhere else below 4 GiB faults at once instead of landing unseen.
const Range RANGES[] = {
    {TEXT_SCREEN, PAGE},
    {loader::BPB_BUFFER, PAGE},
    {loader::FAT_SCRATCH, loader::BOOT_STACK_BOTTOM - loader::FAT_SCRATCH},
};
const Range KERNEL = {loader::KERNEL_BASE, loader::BOOT_STACK_BOTTOM - loader::KERNEL_BASE};

[[noreturn]] void die(const char* what, const std::string& detail = "")
{
    std::fprintf(stderr, "fuzz_loader: %s %s\n", what, detail.c_str());
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

// The pages of the kernel range written since clear_ranges(): pages never
// touched are not resident.
const std::vector<unsigned char>& resident_pages()
{
    static std::vector<unsigned char> resident(KERNEL.length / PAGE);
    if (mincore(pointer(KERNEL.base), KERNEL.length, resident.data()) != 0)
        die("mincore failed");
    return resident;
}

const uint8_t* kernel_page(size_t p)
{
    return static_cast<const uint8_t*>(pointer(KERNEL.base + p * PAGE));
}

// True when no page of the kernel range was written: a resident one must
// still be zero.
bool kernel_range_untouched()
{
    const std::vector<unsigned char>& resident = resident_pages();
    for (size_t p = 0; p < resident.size(); p++)
        if (resident[p] & 1)
            for (uint32_t i = 0; i < PAGE; i++)
                if (kernel_page(p)[i] != 0)
                    return false;
    return true;
}

// The kernel range as the oracle's segments make it from the file's bytes,
// the rest zero, as clear_ranges() leaves it: every page the run touched
// compared whole, and any page it did not touch must hold no file byte
// other than 0.
void check_placed(const oracle::Verdict& v)
{
    static std::vector<uint8_t> expected(KERNEL.length);   // zero between runs
    static std::vector<uint8_t> filled(KERNEL.length / PAGE);
    for (const oracle::Segment& s : v.segments) {
        uint64_t at = s.vaddr - KERNEL.base;
        std::copy(v.file.begin() + s.offset, v.file.begin() + s.offset + s.filesz,
                  expected.begin() + at);
        for (uint64_t p = at / PAGE; s.filesz && p <= (at + s.filesz - 1) / PAGE; p++)
            filled[p] = 1;
    }
    const std::vector<unsigned char>& resident = resident_pages();
    for (size_t p = 0; p < resident.size(); p++) {
        const uint8_t* want = expected.data() + p * PAGE;
        bool differs = (resident[p] & 1) ? std::memcmp(kernel_page(p), want, PAGE) != 0
                       : filled[p] && !std::all_of(want, want + PAGE, [](uint8_t b) { return b == 0; });
        if (differs)
            die("kernel range differs from the file's segments at page", std::to_string(p));
    }
    for (const oracle::Segment& s : v.segments) {
        uint64_t at = s.vaddr - KERNEL.base;
        std::fill(expected.begin() + at, expected.begin() + at + s.filesz, 0);
        for (uint64_t p = at / PAGE; s.filesz && p <= (at + s.filesz - 1) / PAGE; p++)
            filled[p] = 0;
    }
}

bool ends_with(const std::string& s, const std::string& end)
{
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// The serial copy ends with the ERROR line, an empty line and the halt line.
bool serial_ends_in_error()
{
    const std::string& out = seam::serial_output();
    const std::string halt = "\n\nNothing left to do. Halt.\n";
    if (!ends_with(out, halt))
        return false;
    size_t line = out.rfind('\n', out.size() - halt.size() - 1);
    line = line == std::string::npos ? 0 : line + 1;
    if (out.compare(line, 6, "ERROR:") == 0)
        return true;
    // A bad magic has the line of what was found after its ERROR line.
    size_t before = out.rfind('\n', line - 2);
    return out.compare(before == std::string::npos ? 0 : before + 1, 23, "ERROR: ELF_MAGIC BORKED") == 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    map_ranges();
    check_low_memory();
    return 0;
}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size, unsigned seed)
{
    return mutate::volume(data, size, max_size, seed);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static uint64_t runs = 0;
    if (++runs % 65536 == 0)
        check_low_memory();
    // The loader's modules as the boot environment's zero-filled copy of its
    // image leaves them; the screen's page is zero again, cells blank.
    clear_ranges();
    seam::attach(data, size);
    loader::termReset();
    loader::serialReset();
    oracle::Verdict verdict = oracle::judge(data, size);
    try {
        st4main();
    } catch (const seam::Entry& e) {
        if (!verdict.sound)
            die("entered the kernel of an unsound volume:", verdict.why);
        if (e.address != verdict.entry)
            die("entered at another address than the ELF entry");
        check_placed(verdict);
        return 0;
    } catch (const seam::Halt& h) {
        if (h.interrupts_enabled)
            die("halted with interrupts enabled");
        if (!screen_shows_error())
            die("halted without an ERROR line");
        if (!serial_ends_in_error())
            die("the serial line does not end in the ERROR and halt lines");
        if (!kernel_range_untouched())
            die("halted after writing the kernel range");
        if (verdict.sound)
            die("refused a sound volume and kernel");
        return 0;
    }
    die("st4main returned");
}
