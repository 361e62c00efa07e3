// The BIOS's disk services (software interrupt 0x13, hw.h's bios_disk()):
// the functions the loader calls and the fake that answers them, and the
// values they pass.
#pragma once
#include <stdint.h>

namespace bios {

// Functions (AH): reset, read by cylinder, head and sector, the drive's
// parameters, the extensions check, the extended read.
const uint8_t RESET = 0x00, READ_CHS = 0x02, PARAMETERS = 0x08;
const uint8_t EXTENSIONS = 0x41, READ_EXTENDED = 0x42;
// The extensions check: BX in, BX back when present, and CX bit 0 when
// the extended read is among them.
const uint16_t EXTENSIONS_ASK = 0x55AA, EXTENSIONS_PRESENT = 0xAA55;
const uint32_t EXTENSIONS_READ = 0x0001;
// The extended read's disk address packet.
const uint8_t PACKET_SIZE = 16;

} // namespace bios
