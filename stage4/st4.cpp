// The stage-4 loader's main sequence.
#include "stage4/st4.h"
#include "hw/hw.h"
#include "stage4/term.h"

namespace loader {

// Primary ATA channel, task-file registers.
const uint16_t ATA_DATA = 0x1F0;
const uint16_t ATA_FEATURES = 0x1F1;
const uint16_t ATA_COUNT = 0x1F2;
const uint16_t ATA_LBA_LOW = 0x1F3;
const uint16_t ATA_LBA_MID = 0x1F4;
const uint16_t ATA_LBA_HIGH = 0x1F5;
const uint16_t ATA_DRIVE = 0x1F6;
const uint16_t ATA_STATUS = 0x1F7; // read: status; write: command
const uint8_t ATA_DRIVE_LBA_MASTER = 0xE0;
const uint8_t ATA_CMD_READ_SECTORS = 0x20;
const uint8_t ATA_BSY = 0x80;
const uint8_t ATA_DRQ = 0x08;
// Fifteen status reads take the 400 ns a drive needs before its status is valid.
const int ATA_SETTLE_READS = 15;

const int DIR_ENTRY_SIZE = 32;
const uint32_t FAT12_LAST_CLUSTER = 0xFF7; // 0xFF8-0xFFF end a chain
const uint32_t PT_LOAD = 1;

uint32_t bpbBuffer = BPB_BUFFER;
uint32_t pBpb;

static uint8_t* at(uint32_t address) { return reinterpret_cast<uint8_t*>(address); }

uint16_t rd16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t rd32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

static uint8_t ata_in(uint16_t port)
{
    uint8_t v = inb(port);
    io_delay();
    return v;
}

static void ata_out(uint16_t port, uint8_t value)
{
    outb(port, value);
    io_delay();
}

// Polls the status at least ATA_SETTLE_READS times, until `done` holds.
static void ata_wait(bool (*done)(uint8_t status))
{
    for (int reads = 1;; reads++)
        if (done(ata_in(ATA_STATUS)) && reads >= ATA_SETTLE_READS)
            return;
}

static bool not_busy(uint8_t status) { return !(status & ATA_BSY); }
static bool data_ready(uint8_t status) { return status & ATA_DRQ; }

void ReadSectors(uint32_t lba, uint32_t count, uint8_t* buffer)
{
    ata_in(ATA_STATUS);
    ata_wait(not_busy);
    ata_out(ATA_DRIVE, static_cast<uint8_t>(ATA_DRIVE_LBA_MASTER | ((lba >> 24) & 0x0F)));
    ata_out(ATA_FEATURES, 0x00);
    ata_out(ATA_COUNT, static_cast<uint8_t>(count));
    ata_out(ATA_LBA_LOW, static_cast<uint8_t>(lba));
    ata_out(ATA_LBA_MID, static_cast<uint8_t>(lba >> 8));
    ata_out(ATA_LBA_HIGH, static_cast<uint8_t>(lba >> 16));
    ata_out(ATA_STATUS, ATA_CMD_READ_SECTORS);
    uint32_t sectors = count & 0xFF;
    for (uint32_t s = 0; s < sectors; s++) {
        ata_in(ATA_STATUS);
        ata_wait(data_ready);
        uint8_t* dst = buffer + 512 * s;
        for (int w = 0; w < 256; w++) {
            uint16_t word = inw(ATA_DATA);
            io_delay();
            dst[2 * w] = static_cast<uint8_t>(word);
            dst[2 * w + 1] = static_cast<uint8_t>(word >> 8);
        }
    }
}

void stop()
{
    writeLine("\nNothing left to do. Halt.");
    for (;;)
        hlt();
}

int strcmps(const char* a, const char* b, uint32_t n)
{
    for (uint32_t i = 0; i < n; i++)
        if (a[i] != b[i])
            return 0;
    return 1;
}

Bpb readBpb(const uint8_t* s)
{
    Bpb b;
    b.bytesPerSector = rd16(s + 0x0B);
    b.sectorsPerCluster = s[0x0D];
    b.reservedSectors = rd16(s + 0x0E);
    b.fats = s[0x10];
    b.rootEntries = rd16(s + 0x11);
    b.sectorsPerFat = rd16(s + 0x16);
    return b;
}

void printGeometry(const Bpb& b)
{
    puts("FAT12 Filesystem Info\nReserved Sectors: ");
    putint(b.reservedSectors);
    puts("\nSectors Per FAT: ");
    putint(b.sectorsPerFat);
    puts("\nNumber of FATs: ");
    putint(b.fats);
    puts("\nMax Root Dir Entries: ");
    putint(b.rootEntries);
    putch('\n');
}

uint32_t rootDirSector(const Bpb& b) { return b.reservedSectors + b.fats * b.sectorsPerFat; }

uint32_t rootDirSectors(const Bpb& b)
{
    return (b.rootEntries * DIR_ENTRY_SIZE) / b.bytesPerSector;
}

uint8_t* rootDirBuffer(const Bpb& b)
{
    return at(FAT_SCRATCH + b.fats * b.sectorsPerFat * b.bytesPerSector);
}

// Writes up to `max` bytes of a space-padded name field.
static void putfield(const uint8_t* field, int max)
{
    for (int i = 0; i < max && field[i] != ' ' && field[i] != 0; i++)
        putch(static_cast<char>(field[i]));
}

static const char KERNEL_NAME[] = "KRNL    VOX";

static bool isKernel(const uint8_t* entry)
{
    for (int i = 0; i < 11; i++)
        if (entry[i] != static_cast<uint8_t>(KERNEL_NAME[i]))
            return false;
    return true;
}

DirScan listDirectory(uint8_t* dir, uint32_t entries)
{
    DirScan scan = {nullptr, dir};
    for (uint32_t i = 0; i < entries && dir[0] != 0; i++, dir += DIR_ENTRY_SIZE) {
        putfield(dir, 8);
        putch('.');
        putfield(dir + 8, 3);
        putch(' ');
        putint(rd32(dir + 0x1C));
        if (isKernel(dir)) {
            puts(" <-- KERNEL");
            scan.kernel = dir;
        }
        putch('\n');
    }
    scan.end = dir;
    return scan;
}

uint32_t clusterSector(const Bpb& b, uint32_t cluster)
{
    return rootDirSector(b) + rootDirSectors(b) + (cluster - 2) * b.sectorsPerCluster;
}

uint32_t nextCluster(const Bpb& b, uint32_t cluster)
{
    uint32_t offset = cluster + cluster / 2;
    uint32_t within = offset % b.bytesPerSector;
    uint32_t sectors = within == b.bytesPerSector - 1 ? 2 : 1;
    ReadSectors(b.reservedSectors + offset / b.bytesPerSector, sectors, at(FAT_SCRATCH));
    uint16_t word = rd16(at(FAT_SCRATCH) + within);
    return cluster & 1 ? word >> 4 : word & 0x0FFF;
}

uint8_t* loadChain(const Bpb& b, uint32_t first, uint8_t* image)
{
    for (uint32_t cluster = first; cluster <= FAT12_LAST_CLUSTER; cluster = nextCluster(b, cluster)) {
        ReadSectors(clusterSector(b, cluster), b.sectorsPerCluster, image);
        image += b.sectorsPerCluster * b.bytesPerSector;
    }
    return image;
}

void placeSegments(const uint8_t* image)
{
    uint32_t phoff = rd32(image + 0x1C);
    uint32_t phentsize = rd16(image + 0x2A);
    uint32_t phnum = rd16(image + 0x2C);
    for (uint32_t i = 0; i < phnum; i++) {
        const uint8_t* ph = image + phoff + i * phentsize;
        uint32_t memsz = rd32(ph + 0x14);
        if (rd32(ph) != PT_LOAD || memsz == 0)
            continue;
        const uint8_t* src = image + rd32(ph + 0x04);
        uint8_t* dst = at(rd32(ph + 0x08));
        uint32_t filesz = rd32(ph + 0x10);
        for (uint32_t k = 0; k < filesz; k++)
            dst[k] = src[k];
        for (uint32_t k = filesz; k < memsz; k++)
            dst[k] = 0;
    }
}

} // namespace loader

using namespace loader;

void st4main()
{
    initTerm();
    ReadSectors(0, 1, at(bpbBuffer));
    pBpb = bpbBuffer;
    Bpb b = readBpb(at(pBpb));
    printGeometry(b);

    ReadSectors(rootDirSector(b), rootDirSectors(b) & 0xFF, rootDirBuffer(b));
    writeLine("\nRoot Directory Listing:");
    DirScan scan = listDirectory(rootDirBuffer(b), b.rootEntries);
    if (!scan.kernel) {
        writeLine("ERROR: KERN.VOX NOT FOUND");
        stop();
    }

    writeLine("\nLoading Kernel to temp location. Reloc 0xC0000000");
    uint8_t* image = scan.end;
    loadChain(b, rd16(scan.kernel + 0x1A), image);

    putch('\n');
    uint32_t magic = rd32(image);
    if (magic != ELF_MAGIC) {
        writeLine("ERROR: ELF_MAGIC BORKED");
        puts("Expected ");
        putintx(ELF_MAGIC);
        puts(" got ");
        putintx(magic);
        putch('\n');
        stop();
    }
    puts("KRNL.VOX loaded at ");
    putintx(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(image)));
    putch('\n');

    placeSegments(image);
    call_entry(rd32(image + 0x18));
    stop();
}
