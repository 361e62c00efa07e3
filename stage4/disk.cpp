// The probe for a drive at the primary ATA master, and the choice of disk.
#include "stage4/disk.h"
#include "hw/ata.h"
#include "hw/hw.h"
#include "hw/machine.h"
#include "stage4/biosdisk.h"
#include "stage4/term.h"

namespace loader {

// No controller decodes the ports: the bus floats high (some pull bit 7 low).
static bool floating(uint8_t status) { return (status & 0x7F) == 0x7F; }

// Reads the alternate status at least ata::SETTLE_READS and at most
// ATA_PROBE_READS times, until BSY is clear and one of `any` is set (any 0:
// BSY clear is enough) or the bus floats; returns the last status.
static uint8_t probeWait(uint8_t any)
{
    uint8_t status = 0;
    for (uint32_t reads = 1; reads <= ATA_PROBE_READS; reads++) {
        status = inb_delayed(machine::ATA_ALT_STATUS);
        if (reads < static_cast<uint32_t>(ata::SETTLE_READS))
            continue;
        if (floating(status) || (!(status & ata::BSY) && (any == 0 || (status & any))))
            break;
    }
    return status;
}

static bool packetSignature()
{
    uint8_t mid = inb_delayed(machine::ATA_LBA_MID);
    uint8_t high = inb_delayed(machine::ATA_LBA_HIGH);
    return (mid == ata::ATAPI_MID && high == ata::ATAPI_HIGH) ||
           (mid == ata::SATAPI_MID && high == ata::SATAPI_HIGH);
}

bool ataDriveAnswers()
{
    outb_delayed(machine::ATA_DRIVE, ata::SELECT_MASTER);
    uint8_t status = probeWait(0);
    if (floating(status))
        return false;
    if (status & (ata::BSY | ata::DF))
        return true;
    if (!(status & ata::DRDY))
        return false;
    outb_delayed(machine::ATA_STATUS, ata::CMD_IDENTIFY_DEVICE);
    status = probeWait(ata::DRQ | ata::ERR | ata::DF);
    if (floating(status) || (status & ata::BSY) || !(status & (ata::DRQ | ata::ERR | ata::DF)))
        return false;
    if (status & ata::DRQ) {
        // The data must be taken before the drive takes another command.
        for (int w = 0; w < ata::IDENTIFY_WORDS; w++) {
            inw(machine::ATA_DATA);
            io_delay();
        }
        return true;
    }
    return !((status & ata::ERR) && packetSignature());
}

void chooseDisk()
{
    biosDiskReset();
    if (ataDriveAnswers())
        return;
    uint8_t drive = *reinterpret_cast<volatile uint8_t*>(machine::BOOT_DRIVE);
    puts("No ATA drive answers: reading BIOS drive ");
    putintx(drive);
    putch('\n');
    biosDiskOpen(drive);
}

} // namespace loader
