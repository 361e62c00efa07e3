// Which disk the loader reads: the primary ATA master when an ATA drive
// answers there (ReadSectors' own path), else the drive the machine booted
// from, through the BIOS's disk services (biosdisk.h): a USB stick, a disk
// on an AHCI controller, a floppy.
#pragma once
#include <stdint.h>

namespace loader {

// Alternate-status polls that bound each of the probe's two waits (for a
// busy drive, for the answer to IDENTIFY): a poll is a port read and a
// delay write, under 2.5 us together even on the ISA bus, so the probe is
// decided within 100 ms.
const uint32_t ATA_PROBE_READS = 1u << 14;

// True when a drive is at the primary master that the ATA path can read or
// must report on: one that answers IDENTIFY DEVICE as a disk within the
// bound, or shows BSY or a device fault (ReadSectors then waits and
// reports). False for a floating bus, a controller with no drive (status
// neither ready nor busy), no answer within the bound, or a packet (ATAPI)
// device. Reads only the alternate status, so the status reads of the ATA
// path are its own; every access is followed by the I/O delay.
bool ataDriveAnswers();

// Called once, before the first read: keeps the ATA path when a drive
// answers, else writes a line saying that reads go through the BIOS, for
// which drive, and opens that drive there.
void chooseDisk();

} // namespace loader
