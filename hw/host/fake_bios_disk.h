// Fake BIOS disk services for the host double: software interrupt 0x13 as a
// BIOS answers it for one drive holding a disk image. It serves the
// extensions check (AH = 41h), extended read (42h), drive parameters (08h),
// cylinder-head-sector read (02h) and reset (00h), reading and writing the
// disk address packet and the buffers at their real-mode addresses, which
// must lie in the BIOS area of machine.h (anything else throws).
//
//   hwsim::bios_disk_attach(0x80, image);
#pragma once
#include <stdint.h>
#include <vector>

namespace hwsim {

struct BiosDiskOptions {
    bool extensions = true;           // false: CHS reads only, as for a floppy
    uint32_t sectors_per_track = 18;  // the geometry of CHS reads and of AH = 08h
    uint32_t heads = 2;
    bool no_parameters = false;       // AH = 08h fails
    uint32_t bad_sector = 0xFFFFFFFF; // a read reaching it fails there
    uint8_t error = 0x10;             // AH of that failure (0x10: uncorrectable data)
    int failures = 0;                 // the first reads fail with 0x06, as a floppy's after a media change
    uint32_t most_per_read = 0xFFFFFFFF;  // extended reads move at most this many sectors and
                                          // say so in the packet, carry clear (a short read)
    uint32_t max_request = 127;       // extended reads of more sectors are refused, as many BIOSes do
};

struct BiosDiskCall {
    uint8_t function;                 // AH
    uint32_t lba;                     // for reads: the first sector (CHS reads converted)
    uint32_t count;
    uint32_t buffer;                  // linear address of a read's buffer
};

// Answers BIOS disk calls for `drive` (calls for any other drive fail).
void bios_disk_attach(uint8_t drive, std::vector<uint8_t> image, BiosDiskOptions options = {});
// Calls so far, in order.
const std::vector<BiosDiskCall>& bios_disk_calls();

} // namespace hwsim
