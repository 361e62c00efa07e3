// Fake primary ATA master for the host double: serves 512-byte sectors of a
// disk image over the PIO register protocol (READ SECTORS, 28-bit LBA), and
// answers IDENTIFY DEVICE and reads of the alternate status (which, like the
// status, count down a busy spell but are not counted as status reads).
#pragma once
#include <stdint.h>
#include <vector>

namespace hwsim {

struct AtaOptions {
    int busy_reads = 3;        // status reads showing BSY before each sector
    bool stuck_busy = false;   // BSY never clears
    bool no_drq = false;       // the drive never offers a read's data
    uint8_t fault_bits = 0;    // ERR (0x01) and/or DF (0x20) shown after a command
    uint32_t bad_sector = 0xFFFFFFFF;   // reaching this LBA ends a read with ERR
    uint8_t stale_bits = 0;    // status bits left by an earlier command, until the first one
    bool packet = false;       // a packet (ATAPI) device: refuses IDENTIFY DEVICE and reads
                               // with ERR, leaving its signature (ata::ATAPI_MID, ATAPI_HIGH)
                               // in LBA mid and high
    bool silent = false;       // takes IDENTIFY DEVICE and never answers it
};

struct AtaCommand {
    uint32_t lba;
    uint8_t count;
};

void ata_attach(std::vector<uint8_t> image, AtaOptions options = {});
// READ SECTORS commands issued so far, in order.
const std::vector<AtaCommand>& ata_commands();
// Reads of the status port so far.
uint64_t ata_status_reads();
// IDENTIFY DEVICE commands so far.
int ata_identifies();

} // namespace hwsim
