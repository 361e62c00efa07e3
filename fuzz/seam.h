// The hardware seam (hw/hw.h) for the fuzz target, built for speed: the
// drive serves the fuzzer's input in place, sector by sector as the loader
// asks for them, with no copy of the volume; every port the loader touches
// is one switch away. Device behaviour is the host double's (hw/host) where
// the loader can see it: a READ SECTORS past the disk's end fails with ERR,
// a sector the image only starts reads as zeros after its end, the UART
// echoes in loopback and is always ready to send.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>

namespace seam {

// Thrown by hlt(): the loader stopped. Records the interrupt flag.
struct Halt {
    bool interrupts_enabled;
};

// Thrown by call_entry(): the loader jumped into the kernel.
struct Entry {
    uint32_t address;
};

// A fresh machine whose primary ATA master holds `disk` (not copied: it must
// outlive the run).
void attach(const uint8_t* disk, size_t size);
// Bytes the UART sent on the line since attach().
const std::string& serial_output();

} // namespace seam
