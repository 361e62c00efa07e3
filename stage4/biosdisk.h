// The loader's reads through the BIOS's disk services, for a boot disk that
// is no ATA drive at the primary master. Each read is a real-mode call
// (hw.h) into the bounce buffer in low memory, copied from there.
#pragma once
#include <stdint.h>

#include "hw/machine.h"
#include "stage4/st4.h"

namespace loader {

// Sectors of one read: the bounce buffer's.
const uint32_t BIOS_READ_SECTORS = machine::BIOS_BUFFER_BYTES / SECTOR_SIZE;
// Attempts at a read, with a reset of the drive after each failed one: a
// floppy's first read after its motor started or its disk changed fails.
const int BIOS_READ_TRIES = 3;

// From now on ReadSectors reads `drive` through the BIOS: by extended read
// where the BIOS has the extensions for it, else by cylinder, head and
// sector in the geometry the BIOS gives for it (a load without one ends).
void biosDiskOpen(uint8_t drive);
bool biosDiskInUse();

// ReadSectors through the BIOS: `count` (its low 8 bits) sectors from `lba`
// into `buffer`, in requests of at most BIOS_READ_SECTORS that never cross
// a track on the cylinder-head-sector path. A failed request is tried again;
// one that still fails, or reads short, is read again a sector at a time,
// and the first sector the BIOS cannot read ends the load with the ATA
// path's line: "ERROR: DISK TIMEOUT AT LBA n" when the BIOS says the drive
// timed out, "ERROR: DISK FAULT AT LBA n" otherwise.
void biosReadSectors(uint32_t lba, uint32_t count, uint8_t* buffer);

// Back to the state at load: reads go to the ATA drive.
void biosDiskReset();

} // namespace loader
