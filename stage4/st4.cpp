// The stage-4 loader's main sequence.
#include "stage4/st4.h"
#include "hw/ata.h"
#include "hw/hw.h"
#include "hw/machine.h"
#include "stage4/biosdisk.h"
#include "stage4/disk.h"
#include "stage4/serial.h"
#include "stage4/term.h"

namespace loader {

// Primary ATA channel, task-file registers (machine.h).
using machine::ATA_DATA;
using machine::ATA_FEATURES;
using machine::ATA_COUNT;
using machine::ATA_LBA_LOW;
using machine::ATA_LBA_MID;
using machine::ATA_LBA_HIGH;
using machine::ATA_DRIVE;
using machine::ATA_STATUS;

const int DIR_ENTRY_SIZE = 32;
const uint32_t FIRST_CLUSTER = 2;
// A volume of 4085 clusters or more is FAT16 by definition.
const uint32_t FAT12_MAX_CLUSTERS = 4084;
const uint32_t FAT12_END_FIRST = 0xFF8;         // 0xFF8-0xFFF end a chain
const uint32_t FAT12_END_LAST = 0xFFF;
// The media descriptors the format defines: 0xF0, and 0xF8 to 0xFF.
const uint32_t MEDIA_REMOVABLE = 0xF0;
const uint32_t MEDIA_LOWEST_OTHER = 0xF8;

// Directory entry attributes: a volume label (long-name entries carry it
// too) or a directory is not a file.
const uint8_t ATTR_VOLUME_ID = 0x08;
const uint8_t ATTR_DIRECTORY = 0x10;

const uint32_t ELF_HEADER_SIZE = 52;
const uint32_t EV_CURRENT = 1;
const uint32_t ET_EXEC = 2;
const uint32_t ELF_PHDR_SIZE = 32;
const uint32_t ELFCLASS32 = 1;
const uint32_t ELFDATA2LSB = 1;
const uint32_t EM_386 = 3;
const uint32_t PT_LOAD = 1;
const uint32_t PT_DYNAMIC = 2;
const uint32_t PT_INTERP = 3;
const uint32_t PF_X = 1;

uint32_t bpbBuffer = BPB_BUFFER;
uint32_t pBpb;

static uint8_t* at(uint32_t address) { return reinterpret_cast<uint8_t*>(address); }
// The loader's addresses are 32-bit, also where the host's pointers are wider.
static uint32_t addressOf(const uint8_t* p)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

// The one way a load fails: "ERROR: ", what went wrong and the value at
// fault (written by `put`), then the halt.
[[noreturn]] void fail(const char* what, uint32_t value, void (*put)(uint32_t) = putint)
{
    puts("ERROR: ");
    puts(what);
    putch(' ');
    put(value);
    putch('\n');
    stop();
}

[[noreturn]] static void fail(const char* what)
{
    puts("ERROR: ");
    writeLine(what);
    stop();
}

uint16_t rd16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t rd32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Polls the status at least ata::SETTLE_READS times until BSY is clear and
// the `ready` bits are set. The other bits mean nothing while BSY is set; a
// drive that then shows one of the `faults` bits, or never gets there, ends
// the load at `lba`.
static void ata_wait(uint8_t ready, uint8_t faults, uint32_t lba)
{
    for (uint32_t reads = 1; reads <= ATA_WAIT_READS; reads++) {
        uint8_t status = inb_delayed(ATA_STATUS);
        if (reads < ata::SETTLE_READS || (status & ata::BSY))
            continue;
        if (status & faults)
            fail("DISK FAULT AT LBA", lba);
        if ((status & ready) == ready)
            return;
    }
    fail("DISK TIMEOUT AT LBA", lba);
}

void ReadSectors(uint32_t lba, uint32_t count, uint8_t* buffer)
{
    if (biosDiskInUse()) {
        biosReadSectors(lba, count, buffer);
        return;
    }
    inb_delayed(ATA_STATUS);
    // ERR before the command belongs to an earlier one (the firmware's, say);
    // only a device fault stops the drive from taking this one.
    ata_wait(0, ata::DF, lba);
    outb_delayed(ATA_DRIVE, static_cast<uint8_t>(ata::DRIVE_LBA_MASTER | ((lba >> 24) & 0x0F)));
    outb_delayed(ATA_FEATURES, 0x00);
    outb_delayed(ATA_COUNT, static_cast<uint8_t>(count));
    outb_delayed(ATA_LBA_LOW, static_cast<uint8_t>(lba));
    outb_delayed(ATA_LBA_MID, static_cast<uint8_t>(lba >> 8));
    outb_delayed(ATA_LBA_HIGH, static_cast<uint8_t>(lba >> 16));
    outb_delayed(ATA_STATUS, ata::CMD_READ_SECTORS);
    uint32_t sectors = count & 0xFF;
    for (uint32_t s = 0; s < sectors; s++) {
        inb_delayed(ATA_STATUS);
        ata_wait(ata::DRQ, ata::ERR | ata::DF, lba + s);
        uint8_t* dst = buffer + SECTOR_SIZE * s;
        for (int w = 0; w < 256; w++) {
            uint16_t word = inw(ATA_DATA);
            io_delay();
            dst[2 * w] = static_cast<uint8_t>(word);
            dst[2 * w + 1] = static_cast<uint8_t>(word >> 8);
        }
    }
}

void readSectorRun(uint32_t lba, uint32_t count, uint8_t* buffer)
{
    while (count > 0) {
        uint32_t sectors = count < MAX_TRANSFER ? count : MAX_TRANSFER;
        ReadSectors(lba, sectors, buffer);
        lba += sectors;
        count -= sectors;
        buffer += sectors * SECTOR_SIZE;
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
    b.media = s[0x15];
    b.totalSectors = rd16(s + 0x13);
    if (b.totalSectors == 0)
        b.totalSectors = rd32(s + 0x20);
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

static bool powerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

void checkBpb(const Bpb& b)
{
    if (b.bytesPerSector != SECTOR_SIZE)
        fail("BAD BYTES PER SECTOR", b.bytesPerSector);
    if (!powerOfTwo(b.sectorsPerCluster))
        fail("BAD SECTORS PER CLUSTER", b.sectorsPerCluster);
    if (b.reservedSectors == 0)
        fail("BAD RESERVED SECTORS", b.reservedSectors);
    if (b.fats == 0)
        fail("BAD NUMBER OF FATS", b.fats);
    // Another byte, 0x00 among them, marks no FAT volume or a damaged one,
    // whatever the other fields look like.
    if (b.media != MEDIA_REMOVABLE && b.media < MEDIA_LOWEST_OTHER)
        fail("BAD MEDIA BYTE", b.media, putintx);
    if (b.sectorsPerFat == 0)
        fail("BAD SECTORS PER FAT", b.sectorsPerFat);
    uint32_t rootBytes = b.rootEntries * DIR_ENTRY_SIZE;
    if (rootBytes == 0 || rootBytes % SECTOR_SIZE != 0)
        fail("BAD ROOT DIR ENTRIES", b.rootEntries);
    // FATs and root directory, read to FAT_SCRATCH onward, end below the kernel.
    if (b.fats * b.sectorsPerFat + rootDirSectors(b) > (KERNEL_BASE - FAT_SCRATCH) / SECTOR_SIZE)
        fail("FAT AREA TOO LARGE", b.fats * b.sectorsPerFat);
    if (b.totalSectors < dataSector(b) + b.sectorsPerCluster)
        fail("BAD TOTAL SECTORS", b.totalSectors);
    uint32_t clusters = dataClusters(b);
    if (clusters > FAT12_MAX_CLUSTERS)
        fail("TOO MANY CLUSTERS FOR FAT12", clusters);
    // 12 bits an entry, for clusters 0 to the highest, within the first FAT.
    if ((3 * (clusters + FIRST_CLUSTER) + 1) / 2 > b.sectorsPerFat * b.bytesPerSector)
        fail("FAT TOO SMALL FOR CLUSTERS", clusters);
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

uint32_t dataSector(const Bpb& b) { return rootDirSector(b) + rootDirSectors(b); }

uint32_t dataClusters(const Bpb& b)
{
    return (b.totalSectors - dataSector(b)) / b.sectorsPerCluster;
}

uint32_t highestCluster(const Bpb& b) { return FIRST_CLUSTER - 1 + dataClusters(b); }

// Writes up to `max` bytes of a space-padded name field, each as its glyph:
// a control byte in a name must not move the cursor.
static void putfield(const uint8_t* field, int max)
{
    for (int i = 0; i < max && field[i] != ' ' && field[i] != 0; i++)
        putglyph(static_cast<char>(field[i]));
}

static const char KERNEL_NAME[] = "KRNL    VOX";

// A regular file of the kernel's name; deleted entries never match, as
// their first byte is 0xE5.
static bool isKernel(const uint8_t* entry)
{
    if (entry[0x0B] & (ATTR_VOLUME_ID | ATTR_DIRECTORY))
        return false;
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
        if (!scan.kernel && isKernel(dir)) {
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
    return dataSector(b) + (cluster - FIRST_CLUSTER) * b.sectorsPerCluster;
}

// An entry that crosses into the next FAT sector needs a FAT of two sectors
// or more (checkBpb keeps every cluster's entry inside the first FAT), so the two
// scratch sectors never reach the root directory buffer behind the FATs.
uint32_t nextCluster(const Bpb& b, uint32_t cluster)
{
    uint32_t offset = cluster + cluster / 2;
    uint32_t within = offset % b.bytesPerSector;
    uint32_t sectors = within == b.bytesPerSector - 1 ? 2 : 1;
    ReadSectors(b.reservedSectors + offset / b.bytesPerSector, sectors, at(FAT_SCRATCH));
    uint16_t word = rd16(at(FAT_SCRATCH) + within);
    return cluster & 1 ? word >> 4 : word & 0x0FFF;
}

static bool endOfChain(uint32_t cluster)
{
    return cluster >= FAT12_END_FIRST && cluster <= FAT12_END_LAST;
}

// One bit a cluster: a chain that comes back to a cluster loops.
static uint8_t visited[(FAT12_MAX_CLUSTERS + FIRST_CLUSTER + 7) / 8];

static bool visit(uint32_t cluster)
{
    uint8_t bit = static_cast<uint8_t>(1u << (cluster & 7));
    bool seen = visited[cluster >> 3] & bit;
    visited[cluster >> 3] |= bit;
    return seen;
}

void loadChain(const Bpb& b, uint32_t first, uint32_t size, uint8_t* image)
{
    uint32_t clusterBytes = b.sectorsPerCluster * b.bytesPerSector;
    if (size == 0)
        fail("KERNEL FILE EMPTY");
    uint32_t clusters = (size - 1) / clusterBytes + 1;
    if (clusters > (KERNEL_BASE - addressOf(image)) / clusterBytes)
        fail("KERNEL FILE TOO LARGE");
    for (uint32_t i = 0; i < sizeof visited; i++)
        visited[i] = 0;
    uint32_t highest = highestCluster(b);
    uint32_t cluster = first;
    for (uint32_t n = 0; n < clusters; n++) {
        if (n > 0)
            cluster = nextCluster(b, cluster);
        if (endOfChain(cluster))
            fail("CLUSTER CHAIN SHORTER THAN FILE SIZE", size);
        if (cluster < FIRST_CLUSTER || cluster > highest)
            fail("BAD CLUSTER", cluster);
        if (visit(cluster))
            fail("CLUSTER CHAIN LOOPS");
        ReadSectors(clusterSector(b, cluster), b.sectorsPerCluster, image + n * clusterBytes);
    }
}

// A loadable segment: its sizes, its bytes in the image, its place in the
// kernel range. One that takes no memory places nothing, so where it points
// does not matter; its file size still may not exceed its memory size.
// False for such a segment, which the later checks pass over.
static bool checkSegment(const uint8_t* ph, uint32_t length)
{
    uint32_t offset = rd32(ph + 0x04), vaddr = rd32(ph + 0x08);
    uint32_t filesz = rd32(ph + 0x10), memsz = rd32(ph + 0x14);
    if (filesz > memsz)
        fail("SEGMENT FILE SIZE ABOVE MEMORY SIZE AT", vaddr, putintx);
    if (memsz == 0)
        return false;
    if (offset > length || filesz > length - offset)
        fail("SEGMENT OUTSIDE FILE AT", vaddr, putintx);
    if (vaddr < KERNEL_BASE || vaddr > BOOT_STACK_BOTTOM || memsz > BOOT_STACK_BOTTOM - vaddr)
        fail("SEGMENT OUTSIDE KERNEL RANGE AT", vaddr, putintx);
    return true;
}

// The header fields that make this an i386 executable the loader can place.
static void checkElfHeader(const uint8_t* image, uint32_t length)
{
    if (length < ELF_HEADER_SIZE)
        fail("ELF HEADER TRUNCATED");
    if (image[4] != ELFCLASS32)
        fail("BAD ELF CLASS", image[4]);
    if (image[5] != ELFDATA2LSB)
        fail("BAD ELF BYTE ORDER", image[5]);
    if (image[6] != EV_CURRENT)
        fail("BAD ELF IDENT VERSION", image[6]);
    if (rd16(image + 0x10) != ET_EXEC)
        fail("BAD ELF TYPE", rd16(image + 0x10));
    if (rd16(image + 0x12) != EM_386)
        fail("BAD ELF MACHINE", rd16(image + 0x12));
    if (rd32(image + 0x14) != EV_CURRENT)
        fail("BAD ELF VERSION", rd32(image + 0x14));
}

// Where the loadable segments checked so far end: the last one's range.
struct Placed {
    uint32_t start, end;
};

// Loadable segments must come in ascending address order, as the ELF format
// asks of every executable. Then a segment that starts at or after the end
// of the one before it overlaps none of them, and one look back suffices:
// the check stays linear in the number of headers, where comparing every
// pair took over a minute for 65,534 of them, and it needs neither memory
// for sorting nor a bound on how many segments a kernel may have.
static Placed checkOrder(const uint8_t* ph, Placed last)
{
    uint32_t vaddr = rd32(ph + 0x08), end = vaddr + rd32(ph + 0x14);
    if (vaddr < last.end)
        fail(end > last.start ? "SEGMENTS OVERLAP AT" : "SEGMENTS OUT OF ORDER AT", vaddr, putintx);
    return {vaddr, end};
}

void checkElf(const uint8_t* image, uint32_t length)
{
    checkElfHeader(image, length);
    uint32_t phoff = rd32(image + 0x1C);
    uint32_t phentsize = rd16(image + 0x2A);
    uint32_t phnum = rd16(image + 0x2C);
    if (phnum != 0 && phentsize != ELF_PHDR_SIZE)
        fail("BAD PROGRAM HEADER SIZE", phentsize);
    if (phoff > length || phnum * ELF_PHDR_SIZE > length - phoff)
        fail("PROGRAM HEADERS OUTSIDE FILE");
    uint32_t entry = rd32(image + 0x18);
    bool entryLoaded = false;
    Placed last = {KERNEL_BASE, KERNEL_BASE};
    // Fields are read byte by byte: a table at an odd offset is read as well.
    for (uint32_t i = 0; i < phnum; i++) {
        const uint8_t* ph = image + phoff + i * ELF_PHDR_SIZE;
        uint32_t type = rd32(ph);
        // Nothing here resolves symbols or runs an interpreter.
        if (type == PT_DYNAMIC || type == PT_INTERP)
            fail("KERNEL NEEDS DYNAMIC LINKING, HEADER TYPE", type);
        if (type != PT_LOAD)
            continue;
        if (!checkSegment(ph, length))
            continue;
        last = checkOrder(ph, last);
        // The entry must be in bytes the file gives, not in the zero tail.
        if ((rd32(ph + 0x18) & PF_X) && entry - rd32(ph + 0x08) < rd32(ph + 0x10))
            entryLoaded = true;
    }
    if (!entryLoaded)
        fail("ENTRY OUTSIDE CODE SEGMENTS", entry, putintx);
}

// After checkElf, which holds every program header to ELF_PHDR_SIZE.
void placeSegments(const uint8_t* image)
{
    uint32_t phoff = rd32(image + 0x1C);
    uint32_t phnum = rd16(image + 0x2C);
    for (uint32_t i = 0; i < phnum; i++) {
        const uint8_t* ph = image + phoff + i * ELF_PHDR_SIZE;
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
    chooseDisk();
    ReadSectors(0, 1, at(bpbBuffer));
    pBpb = bpbBuffer;
    Bpb b = readBpb(at(pBpb));
    printGeometry(b);
    checkBpb(b);

    readSectorRun(rootDirSector(b), rootDirSectors(b), rootDirBuffer(b));
    writeLine("\nRoot Directory Listing:");
    DirScan scan = listDirectory(rootDirBuffer(b), b.rootEntries);
    if (!scan.kernel) {
        writeLine("ERROR: KERN.VOX NOT FOUND");
        stop();
    }

    writeLine("\nLoading Kernel to temp location. Reloc 0xC0000000");
    uint8_t* image = scan.end;
    uint32_t size = rd32(scan.kernel + 0x1C);
    loadChain(b, rd16(scan.kernel + 0x1A), size, image);

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
    putintx(addressOf(image));
    putch('\n');

    checkElf(image, size);
    placeSegments(image);
    serialFlush();
    call_entry(rd32(image + 0x18));
    stop();
}
