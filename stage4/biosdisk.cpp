// Reads through the BIOS's disk services (software interrupt 0x13).
#include "stage4/biosdisk.h"
#include "hw/bios_disk.h"
#include "hw/hw.h"
#include "stage4/term.h"

namespace loader {

// AH after a failure: the drive did not answer in time.
const uint8_t BIOS_TIMED_OUT = 0x80;
// Ten bits of cylinder number, six of sector.
const uint32_t CHS_CYLINDERS = 1024, CHS_SECTOR_MASK = 0x3F;

// The drive, and for one without extensions its geometry.
struct BiosDisk {
    uint8_t drive;
    bool extensions;
    uint32_t sectorsPerTrack;
    uint32_t heads;
};

static bool inUse;
static BiosDisk disk;

static uint8_t* low(uint32_t address) { return reinterpret_cast<uint8_t*>(address); }
static uint16_t segmentOf(uint32_t linear) { return static_cast<uint16_t>(linear >> 4); }
static uint16_t offsetOf(uint32_t linear) { return static_cast<uint16_t>(linear & 0xF); }
static bool failed(const BiosRegs& r) { return r.eflags & BIOS_CARRY; }
static uint8_t errorOf(const BiosRegs& r) { return static_cast<uint8_t>(r.eax >> 8); }

static void put16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// Function `function` for the drive, the other registers from `r`.
static BiosRegs call(uint8_t function, BiosRegs r)
{
    r.eax = (r.eax & 0xFFFF00FF) | static_cast<uint32_t>(function) << 8;
    r.edx = (r.edx & 0xFFFFFF00) | disk.drive;
    bios_disk(r);
    return r;
}

void biosDiskOpen(uint8_t drive)
{
    inUse = true;
    disk = {drive, false, 0, 0};
    BiosRegs r = {};
    r.ebx = bios::EXTENSIONS_ASK;
    r = call(bios::EXTENSIONS, r);
    disk.extensions = !failed(r) && (r.ebx & 0xFFFF) == bios::EXTENSIONS_PRESENT &&
                      (r.ecx & bios::EXTENSIONS_READ);
    if (disk.extensions)
        return;
    r = call(bios::PARAMETERS, BiosRegs{});   // ES:DI 0:0, as some BIOSes want
    disk.sectorsPerTrack = r.ecx & CHS_SECTOR_MASK;
    disk.heads = ((r.edx >> 8) & 0xFF) + 1;
    if (failed(r) || disk.sectorsPerTrack == 0)
        fail("NO DISK GEOMETRY FROM THE BIOS FOR DRIVE", drive, putintx);
}

bool biosDiskInUse() { return inUse; }

void biosDiskReset()
{
    inUse = false;
    disk = {0, false, 0, 0};
}

// An extended read of `n` sectors into the bounce buffer; returns how many
// the BIOS says it read.
static uint32_t readExtended(uint32_t lba, uint32_t n, uint8_t& error)
{
    uint8_t* packet = low(machine::BIOS_PACKET);
    packet[0] = bios::PACKET_SIZE;
    packet[1] = 0;
    put16(packet + 2, n);
    put16(packet + 4, offsetOf(machine::BIOS_BUFFER));
    put16(packet + 6, segmentOf(machine::BIOS_BUFFER));
    put16(packet + 8, lba);
    put16(packet + 10, lba >> 16);
    for (int i = 12; i < bios::PACKET_SIZE; i++)
        packet[i] = 0;
    BiosRegs r = {};
    r.ds = segmentOf(machine::BIOS_PACKET);
    r.esi = offsetOf(machine::BIOS_PACKET);
    r = call(bios::READ_EXTENDED, r);
    error = errorOf(r);
    uint32_t done = rd16(packet + 2);
    return failed(r) || done > n ? 0 : done;
}

// A read of `n` sectors of one track into the bounce buffer; returns n, or
// 0 when it failed.
static uint32_t readChs(uint32_t lba, uint32_t n, uint8_t& error)
{
    uint32_t track = lba / disk.sectorsPerTrack;
    uint32_t cylinder = track / disk.heads;
    error = 0;
    if (cylinder >= CHS_CYLINDERS)
        return 0;
    BiosRegs r = {};
    r.eax = n;
    r.ecx = (cylinder & 0xFF) << 8 | ((cylinder >> 2) & 0xC0) | (lba % disk.sectorsPerTrack + 1);
    r.edx = (track % disk.heads) << 8;
    r.es = segmentOf(machine::BIOS_BUFFER);
    r.ebx = offsetOf(machine::BIOS_BUFFER);
    r = call(bios::READ_CHS, r);
    error = errorOf(r);
    return failed(r) ? 0 : n;
}

static uint32_t readWithRetries(uint32_t lba, uint32_t n, uint8_t& error)
{
    for (int tries = 0; tries < BIOS_READ_TRIES; tries++) {
        uint32_t done = disk.extensions ? readExtended(lba, n, error) : readChs(lba, n, error);
        if (done > 0)
            return done;
        call(bios::RESET, BiosRegs{});
    }
    return 0;
}

// Sectors of the next request: at most `most`, and on the CHS path no
// further than the track's end.
static uint32_t requestSize(uint32_t lba, uint32_t left, uint32_t most)
{
    uint32_t n = left < most ? left : most;
    if (!disk.extensions) {
        uint32_t trackLeft = disk.sectorsPerTrack - lba % disk.sectorsPerTrack;
        n = n < trackLeft ? n : trackLeft;
    }
    return n;
}

void biosReadSectors(uint32_t lba, uint32_t count, uint8_t* buffer)
{
    uint32_t left = count & 0xFF;
    uint32_t most = BIOS_READ_SECTORS;
    while (left > 0) {
        uint32_t n = requestSize(lba, left, most);
        uint8_t error = 0;
        uint32_t done = readWithRetries(lba, n, error);
        if (done == 0 && n > 1) {
            most = 1;   // a sector at a time from here, to name the one that fails
            continue;
        }
        if (done == 0)
            fail(error == BIOS_TIMED_OUT ? "DISK TIMEOUT AT LBA" : "DISK FAULT AT LBA", lba, putint);
        const uint8_t* from = low(machine::BIOS_BUFFER);
        for (uint32_t i = 0; i < done * SECTOR_SIZE; i++)
            buffer[i] = from[i];
        lba += done;
        buffer += done * SECTOR_SIZE;
        left -= done;
    }
}

} // namespace loader
