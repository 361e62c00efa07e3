#include "seam.h"

#include <cstring>

#include "hw/ata.h"
#include "hw/hw.h"
#include "hw/machine.h"
#include "hw/uart.h"

namespace seam {
namespace {

using machine::ATA_ALT_STATUS;
using machine::ATA_DATA;
using machine::ATA_STATUS;
using machine::COM1;
using ata::DRDY;
using ata::DRQ;
using ata::ERR;

struct Drive {
    const uint8_t* disk;
    size_t size;
    uint8_t regs[8];      // last values written to the task file, by offset
    uint64_t at;          // byte offset of the next data word
    uint32_t words;       // data words left in the command
    uint8_t error;
    bool identifying;     // the words are IDENTIFY DEVICE's (all zero), not sectors
};

struct Uart {
    uint8_t regs[8];
    uint8_t rx;
    std::string line;
};

Drive drive;
Uart uart;
bool interrupts;

// A drive that answers IDENTIFY DEVICE, so the loader takes the ATA path.
void command(uint8_t value)
{
    drive.identifying = value == ata::CMD_IDENTIFY_DEVICE;
    if (drive.identifying) {
        drive.words = ata::IDENTIFY_WORDS;
        drive.error = 0;
        return;
    }
    if (value != ata::CMD_READ_SECTORS)
        return;
    const uint8_t* r = drive.regs;
    uint64_t lba = r[3] | r[4] << 8 | r[5] << 16 | (r[6] & 0x0F) << 24;
    uint64_t count = r[2] ? r[2] : 256;
    uint64_t sectors = (drive.size + 511) / 512;
    drive.at = lba * 512;
    drive.words = static_cast<uint32_t>(count * 256);
    drive.error = lba + count > sectors ? ERR : 0;   // ID not found
}

uint16_t data_word()
{
    if (drive.words == 0 || drive.error)
        return 0xFFFF;
    drive.words--;
    if (drive.identifying)
        return 0;
    uint64_t at = drive.at;
    drive.at += 2;
    if (at + 1 < drive.size)
        return static_cast<uint16_t>(drive.disk[at] | drive.disk[at + 1] << 8);
    return at < drive.size ? drive.disk[at] : 0;
}

void uart_write(int reg, uint8_t value)
{
    if (reg <= 1 && (uart.regs[3] & uart::LCR_DLAB))
        return;   // the divisor latch: no effect on what is sent
    uart.regs[reg] = value;
    if (reg != 0)
        return;
    if (uart.regs[4] & uart::MCR_LOOP)
        uart.rx = value;
    else
        uart.line.push_back(static_cast<char>(value));
}

uint8_t uart_read(int reg)
{
    switch (reg) {
    case 0: return uart.rx;
    case 5: return uart::LSR_THR_EMPTY | uart::LSR_TRANSMITTER_EMPTY;
    default: return uart.regs[reg];
    }
}

} // namespace

void attach(const uint8_t* disk, size_t size)
{
    drive = Drive{disk, size, {}, 0, 0, 0, false};
    uart.line.clear();
    std::memset(uart.regs, 0, sizeof uart.regs);
    uart.rx = 0;
    interrupts = false;
}

const std::string& serial_output() { return uart.line; }

} // namespace seam

using namespace seam;

uint8_t inb(uint16_t port)
{
    if (port == ATA_STATUS || port == ATA_ALT_STATUS)
        return static_cast<uint8_t>(DRDY | drive.error | (drive.words && !drive.error ? DRQ : 0));
    if (port >= COM1 && port < COM1 + 8)
        return uart_read(port - COM1);
    return 0xFF;
}

uint16_t inw(uint16_t port) { return port == ATA_DATA ? data_word() : 0xFFFF; }

void outb(uint16_t port, uint8_t value)
{
    if (port > ATA_DATA && port < ATA_STATUS)
        drive.regs[port - ATA_DATA] = value;
    else if (port == ATA_STATUS)
        command(value);
    else if (port >= COM1 && port < COM1 + 8)
        uart_write(port - COM1, value);
}

void io_delay() {}
void cli() { interrupts = false; }
void sti() { interrupts = true; }
void hlt() { throw Halt{interrupts}; }
void lidt(const void*) {}
void fninit() {}
void call_entry(uint32_t address) { throw Entry{address}; }
// The ATA drive always answers, so the BIOS is never asked; should it be,
// it fails.
void bios_disk(BiosRegs& regs) { regs.eflags |= BIOS_CARRY; }
