#include "fake_ata.h"
#include "ata.h"
#include "hw_host.h"

#include <memory>

namespace hwsim {
namespace {

using ata::BSY;
using ata::DRDY;
using ata::DRQ;
using ata::ERR;

struct Drive {
    std::vector<uint8_t> image;
    AtaOptions options;
    uint8_t regs[8] = {};      // last values written to the task file, by offset
    std::vector<AtaCommand> commands;
    uint32_t lba = 0;          // sector being transferred
    uint32_t left = 0;         // sectors still to transfer
    uint32_t word = 0;         // next word within the sector
    int busy = 0;              // status reads left showing BSY
    uint8_t error = 0;
    uint64_t status_reads = 0;
    uint32_t identify_words = 0;   // IDENTIFY data words still to be read
    int identifies = 0;
};

std::shared_ptr<Drive> drive;

uint32_t sectors() { return static_cast<uint32_t>(drive->image.size() / 512); }

uint16_t alt_status(uint16_t)
{
    Drive& d = *drive;
    if (d.options.stuck_busy || d.busy > 0) {
        if (d.busy > 0)
            d.busy--;
        return BSY;
    }
    uint8_t s = DRDY | d.error;
    if ((d.left > 0 && !d.options.no_drq && !d.error) || d.identify_words > 0)
        s |= DRQ;
    return s;
}

uint16_t status(uint16_t port)
{
    drive->status_reads++;
    return alt_status(port);
}

// IDENTIFY DEVICE data: a fixed disk (word 0) of the image's size in
// 28-bit LBA sectors (words 60-61).
uint16_t identify_word(uint32_t word)
{
    switch (word) {
    case 0: return 0x0040;
    case 49: return 0x0200;   // LBA supported
    case 60: return static_cast<uint16_t>(sectors());
    case 61: return static_cast<uint16_t>(sectors() >> 16);
    default: return 0;
    }
}

uint16_t data(uint16_t)
{
    Drive& d = *drive;
    if (d.identify_words > 0 && d.busy == 0)
        return identify_word(ata::IDENTIFY_WORDS - d.identify_words--);
    if (d.left == 0 || d.busy > 0 || d.error)
        return 0xFFFF;
    size_t at = d.lba * 512 + d.word * 2;
    uint16_t v = static_cast<uint16_t>(d.image[at] | d.image[at + 1] << 8);
    if (++d.word == 256) {
        d.word = 0;
        d.lba++;
        if (--d.left > 0) {
            d.busy = d.options.busy_reads;
            if (d.lba == d.options.bad_sector)
                d.error |= ERR;   // uncorrectable data: the transfer stops here
        }
    }
    return v;
}

void identify()
{
    Drive& d = *drive;
    d.identifies++;
    d.left = 0;
    d.busy = d.options.busy_reads;
    d.error = d.options.fault_bits;
    if (d.options.packet) {
        d.error |= ERR;
        d.regs[4] = ata::ATAPI_MID;
        d.regs[5] = ata::ATAPI_HIGH;
    } else if (!d.options.silent && !d.error) {
        d.identify_words = ata::IDENTIFY_WORDS;
    }
}

void command(uint16_t, uint8_t value)
{
    Drive& d = *drive;
    d.identify_words = 0;
    if (value == ata::CMD_IDENTIFY_DEVICE)
        return identify();
    if (value != ata::CMD_READ_SECTORS)
        return;
    uint32_t lba = d.regs[3] | d.regs[4] << 8 | d.regs[5] << 16 |
                   (d.regs[6] & 0x0F) << 24;
    uint32_t count = d.regs[2] ? d.regs[2] : 256;
    d.commands.push_back({lba, d.regs[2]});
    d.lba = lba;
    d.left = count;
    d.word = 0;
    d.busy = d.options.busy_reads;
    d.error = d.options.fault_bits;
    if (lba + count > sectors())
        d.error |= ERR;        // ID not found: past the end of the disk
    if (lba == d.options.bad_sector || d.options.packet)
        d.error |= ERR;
}

} // namespace

void ata_attach(std::vector<uint8_t> image, AtaOptions options)
{
    drive = std::make_shared<Drive>();
    drive->image = std::move(image);
    drive->image.resize((drive->image.size() + 511) / 512 * 512);
    drive->options = options;
    drive->error = options.stale_bits;
    for (uint16_t port = machine::ATA_FEATURES; port <= machine::ATA_DRIVE; port++)
        on_out(port, [](uint16_t p, uint8_t v) { drive->regs[p - machine::ATA_DATA] = v; });
    on_out(machine::ATA_STATUS, command);
    on_in(machine::ATA_STATUS, status);
    on_in(machine::ATA_ALT_STATUS, alt_status);
    on_in(machine::ATA_DATA, data);
    on_in(machine::ATA_LBA_MID, [](uint16_t) -> uint16_t { return drive->regs[machine::ATA_LBA_MID - machine::ATA_DATA]; });
    on_in(machine::ATA_LBA_HIGH, [](uint16_t) -> uint16_t { return drive->regs[machine::ATA_LBA_HIGH - machine::ATA_DATA]; });
}

const std::vector<AtaCommand>& ata_commands() { return drive->commands; }
uint64_t ata_status_reads() { return drive->status_reads; }
int ata_identifies() { return drive->identifies; }

} // namespace hwsim
