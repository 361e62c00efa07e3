// Target backend of the BIOS call: the real-mode thunk (bios_thunk.S) and
// the registers go to low memory, the thunk runs there, the registers come
// back. Linked into the loader only.
#include <stddef.h>

#include "hw.h"
#include "machine.h"

extern "C" const uint8_t bios_thunk_start[], bios_thunk_entry[], bios_thunk_regs[], bios_thunk_end[];

// The thunk reads and writes the record at these offsets.
static_assert(offsetof(BiosRegs, esi) == 16 && offsetof(BiosRegs, ds) == 24 &&
              offsetof(BiosRegs, es) == 26 && offsetof(BiosRegs, eflags) == 28 &&
              sizeof(BiosRegs) == 32, "BiosRegs no longer matches bios_thunk.S");

static void copy(volatile uint8_t* to, const volatile uint8_t* from, uint32_t n)
{
    for (uint32_t i = 0; i < n; i++)
        to[i] = from[i];
}

void bios_disk(BiosRegs& regs)
{
    uint8_t* low = reinterpret_cast<uint8_t*>(machine::BIOS_THUNK);
    copy(low, bios_thunk_start, static_cast<uint32_t>(bios_thunk_end - bios_thunk_start));
    uint8_t* lowRegs = low + (bios_thunk_regs - bios_thunk_start);
    copy(lowRegs, reinterpret_cast<const uint8_t*>(&regs), sizeof regs);
    reinterpret_cast<void (*)()>(low + (bios_thunk_entry - bios_thunk_start))();
    copy(reinterpret_cast<uint8_t*>(&regs), lowRegs, sizeof regs);
}
