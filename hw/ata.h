// The primary ATA channel's commands and status bits, the same for the
// loader, its probe for a drive, and the fakes that answer them. The ports
// are the map's (hw/ports.h).
#pragma once
#include <stdint.h>

namespace ata {

// Status: busy, ready, device fault, data request, error.
const uint8_t BSY = 0x80, DRDY = 0x40, DF = 0x20, DRQ = 0x08, ERR = 0x01;
// Drive/head register: the master, with LBA (0xE0) or without (0xA0); bits
// 7 and 5 set as old drives want them.
const uint8_t DRIVE_LBA_MASTER = 0xE0, SELECT_MASTER = 0xA0;
const uint8_t CMD_READ_SECTORS = 0x20, CMD_IDENTIFY_DEVICE = 0xEC;
const int IDENTIFY_WORDS = 256;
// What a packet device leaves in LBA mid and high when it refuses IDENTIFY
// DEVICE: ATAPI's signature, and the one SATA bridges give.
const uint8_t ATAPI_MID = 0x14, ATAPI_HIGH = 0xEB;
const uint8_t SATAPI_MID = 0x69, SATAPI_HIGH = 0x96;
// A status is valid 400 ns after a selection or a command: fifteen reads.
const int SETTLE_READS = 15;

} // namespace ata
