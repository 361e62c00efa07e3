#include "fake_bios_disk.h"
#include "bios_disk.h"
#include "hw_host.h"
#include "machine.h"

#include <cstring>
#include <memory>
#include <stdexcept>

namespace hwsim {
namespace {

// AH on return.
enum : uint8_t { OK = 0x00, BAD_COMMAND = 0x01, NOT_FOUND = 0x04, CHANGED = 0x06, DMA_BOUNDARY = 0x09 };

struct Disk {
    uint8_t drive = 0;
    std::vector<uint8_t> image;
    BiosDiskOptions options;
    std::vector<BiosDiskCall> calls;
    int failures = 0;
};

std::shared_ptr<Disk> disk;

uint8_t ah(const BiosRegs& r) { return static_cast<uint8_t>(r.eax >> 8); }
uint8_t al(const BiosRegs& r) { return static_cast<uint8_t>(r.eax); }

void finish(BiosRegs& r, uint8_t status, uint32_t al_value)
{
    r.eax = (r.eax & 0xFFFF0000) | static_cast<uint32_t>(status) << 8 | (al_value & 0xFF);
    if (status == OK)
        r.eflags &= ~BIOS_CARRY;
    else
        r.eflags |= BIOS_CARRY;
}

// The host address of real-mode `segment`:`offset`, `bytes` long, which
// must lie in the BIOS area.
uint8_t* low(uint16_t segment, uint16_t offset, uint32_t bytes)
{
    uint32_t linear = (static_cast<uint32_t>(segment) << 4) + offset;
    if (linear < machine::BIOS_AREA || linear + bytes > machine::BIOS_AREA + machine::BIOS_AREA_BYTES)
        throw std::logic_error("BIOS disk call names memory outside the BIOS area");
    return reinterpret_cast<uint8_t*>(linear);
}

uint32_t sectors() { return static_cast<uint32_t>(disk->image.size() / 512); }

// Copies up to `count` sectors from `lba`; returns how many, and the status
// that stopped it.
uint32_t transfer(uint32_t lba, uint32_t count, uint8_t* to, uint8_t& status)
{
    status = OK;
    if (disk->failures > 0) {
        disk->failures--;
        status = CHANGED;
        return 0;
    }
    for (uint32_t i = 0; i < count; i++) {
        if (lba + i >= sectors()) {
            status = NOT_FOUND;
            return i;
        }
        if (lba + i == disk->options.bad_sector) {
            status = disk->options.error;
            return i;
        }
        std::memcpy(to + 512 * i, &disk->image[512 * (lba + i)], 512);
    }
    return count;
}

void extensions_check(BiosRegs& r)
{
    if (!disk->options.extensions || (r.ebx & 0xFFFF) != bios::EXTENSIONS_ASK)
        return finish(r, BAD_COMMAND, 0);
    r.ebx = (r.ebx & 0xFFFF0000) | bios::EXTENSIONS_PRESENT;
    r.ecx = (r.ecx & 0xFFFF0000) | bios::EXTENSIONS_READ;   // fixed disk access: AH = 42h and friends
    r.eax = (r.eax & 0xFFFF00FF) | 0x3000;   // version 3.0
    r.eflags &= ~BIOS_CARRY;
}

void extended_read(BiosRegs& r)
{
    uint8_t* packet = low(static_cast<uint16_t>(r.ds), static_cast<uint16_t>(r.esi), bios::PACKET_SIZE);
    uint32_t count = packet[2] | packet[3] << 8;
    uint16_t offset = static_cast<uint16_t>(packet[4] | packet[5] << 8);
    uint16_t segment = static_cast<uint16_t>(packet[6] | packet[7] << 8);
    uint32_t lba, high;
    std::memcpy(&lba, packet + 8, 4);
    std::memcpy(&high, packet + 12, 4);
    disk->calls.push_back({bios::READ_EXTENDED, lba, count,
                           (static_cast<uint32_t>(segment) << 4) + offset});
    if (!disk->options.extensions || packet[0] < bios::PACKET_SIZE || high != 0 || count == 0 ||
        count > disk->options.max_request) {
        packet[2] = packet[3] = 0;
        return finish(r, BAD_COMMAND, 0);
    }
    uint32_t want = count < disk->options.most_per_read ? count : disk->options.most_per_read;
    uint8_t status;
    uint32_t done = transfer(lba, want, low(segment, offset, 512 * count), status);
    packet[2] = static_cast<uint8_t>(done);
    packet[3] = static_cast<uint8_t>(done >> 8);
    finish(r, status, 0);
}

void parameters(BiosRegs& r)
{
    const BiosDiskOptions& o = disk->options;
    if (o.no_parameters)
        return finish(r, BAD_COMMAND, 0);
    uint32_t last_cylinder = sectors() / (o.sectors_per_track * o.heads) - 1;
    r.ecx = (r.ecx & 0xFFFF0000) | (last_cylinder & 0xFF) << 8 | ((last_cylinder >> 2) & 0xC0) |
            o.sectors_per_track;
    r.edx = (r.edx & 0xFFFF0000) | (o.heads - 1) << 8 | 1;
    finish(r, OK, 0);
}

void chs_read(BiosRegs& r)
{
    const BiosDiskOptions& o = disk->options;
    uint32_t count = al(r);
    uint32_t cylinder = (r.ecx >> 8 & 0xFF) | (r.ecx & 0xC0) << 2;
    uint32_t sector = r.ecx & 0x3F, head = r.edx >> 8 & 0xFF;
    uint32_t linear = (r.es << 4) + (r.ebx & 0xFFFF);
    uint32_t lba = (cylinder * o.heads + head) * o.sectors_per_track + sector - 1;
    disk->calls.push_back({bios::READ_CHS, lba, count, linear});
    // A request must stay on its track and in one 64 KiB page (the DMA's).
    if (count == 0 || sector == 0 || sector - 1 + count > o.sectors_per_track || head >= o.heads)
        return finish(r, BAD_COMMAND, 0);
    if (linear >> 16 != (linear + 512 * count - 1) >> 16)
        return finish(r, DMA_BOUNDARY, 0);
    uint8_t status;
    uint32_t done = transfer(lba, count, low(static_cast<uint16_t>(r.es), static_cast<uint16_t>(r.ebx),
                                           512 * count), status);
    finish(r, status, done);
}

void answer(BiosRegs& r)
{
    if ((r.edx & 0xFF) != disk->drive)
        return finish(r, BAD_COMMAND, 0);
    if (ah(r) != bios::READ_CHS && ah(r) != bios::READ_EXTENDED)
        disk->calls.push_back({ah(r), 0, 0, 0});
    switch (ah(r)) {
    case bios::RESET:
        return finish(r, OK, 0);
    case bios::READ_CHS:
        return chs_read(r);
    case bios::PARAMETERS:
        return parameters(r);
    case bios::EXTENSIONS:
        return extensions_check(r);
    case bios::READ_EXTENDED:
        return extended_read(r);
    default:
        return finish(r, BAD_COMMAND, 0);
    }
}

} // namespace

void bios_disk_attach(uint8_t drive, std::vector<uint8_t> image, BiosDiskOptions options)
{
    disk = std::make_shared<Disk>();
    disk->drive = drive;
    disk->image = std::move(image);
    disk->image.resize((disk->image.size() + 511) / 512 * 512);
    disk->options = options;
    disk->failures = options.failures;
    on_bios_disk(answer);
}

const std::vector<BiosDiskCall>& bios_disk_calls() { return disk->calls; }

} // namespace hwsim
