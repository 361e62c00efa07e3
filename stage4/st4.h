// The stage-4 loader: reads the FAT12 boot volume over ATA PIO, lists its
// root directory, loads the kernel file "KRNL    VOX" and enters its ELF entry.
//
// The steps are small functions over plain records so that each can be
// exercised on its own; st4main() runs them in order and never returns.
#pragma once
#include <stdint.h>
#include "hw/machine.h"

extern "C" {
// Entry stub (st4asm.S): interrupts off, screen fill, st4main, halt loop.
void start();
// Fills the 2000 text cells with character 0, attribute 0x1F; keeps registers.
void ClrScr32();
void st4main();
}

namespace loader {

// Fixed places of the loader's buffers (the map's). The FAT scratch
// sectors, the root directory and the temporary kernel image all end below
// KERNEL_BASE; the kernel's segments lie from KERNEL_BASE up to the boot
// stack, which the boot environment sets from BOOT_STACK_BOTTOM up.
const uint32_t BPB_BUFFER = machine::BPB_BUFFER;
const uint32_t FAT_SCRATCH = machine::FAT_SCRATCH;
const uint32_t KERNEL_BASE = machine::KERNEL_BASE;
const uint32_t BOOT_STACK_BOTTOM = machine::STACK_BOTTOM;
const uint32_t ELF_MAGIC = 0x464C457F;

// Every transfer moves 512-byte sectors, at most 255 of them a command.
const uint32_t SECTOR_SIZE = 512;
const uint32_t MAX_TRANSFER = 255;
// Status polls before a drive counts as hung: each poll is a status read and
// a delay write, at least 1 us each on the ISA bus, so this is over 30 s,
// the longest a drive may stay busy spinning up.
const uint32_t ATA_WAIT_READS = 1u << 24;

// The boot sector fields the loader uses.
struct Bpb {
    uint32_t bytesPerSector;
    uint32_t sectorsPerCluster;
    uint32_t reservedSectors;
    uint32_t fats;
    uint32_t rootEntries;
    uint32_t sectorsPerFat;
    uint32_t totalSectors;   // the 16-bit count, or the 32-bit one when that is 0
    uint32_t media;          // the media descriptor byte
};

// Result of the directory listing: the kernel entry (the first regular file
// named "KRNL    VOX", 0 if none) and the slot right after the last listed
// entry.
struct DirScan {
    const uint8_t* kernel;
    uint8_t* end;
};

extern uint32_t bpbBuffer;
extern uint32_t pBpb;

// Reads from the primary ATA master, or through the BIOS once chooseDisk
// (disk.h) has chosen it.
void ReadSectors(uint32_t lba, uint32_t count, uint8_t* buffer);
// Reads `count` sectors, any number of them, in as many commands as needed.
void readSectorRun(uint32_t lba, uint32_t count, uint8_t* buffer);
[[noreturn]] void stop();
// Ends the load: "ERROR: ", `what`, a space, `value` as `put` writes it
// (putint, putintx), a newline, then stop().
[[noreturn]] void fail(const char* what, uint32_t value, void (*put)(uint32_t));
int strcmps(const char* a, const char* b, uint32_t n);

uint16_t rd16(const uint8_t* p);
uint32_t rd32(const uint8_t* p);

Bpb readBpb(const uint8_t* sector);
void printGeometry(const Bpb& b);
// Ends the load with an "ERROR:" line naming the first field that no sound
// FAT12 volume has (a media byte the format does not define, 4085 clusters
// or more, a FAT too small for them), or that would place a buffer at or
// past KERNEL_BASE.
void checkBpb(const Bpb& b);
uint32_t rootDirSector(const Bpb& b);
uint32_t rootDirSectors(const Bpb& b);
uint8_t* rootDirBuffer(const Bpb& b);
uint32_t dataSector(const Bpb& b);
// Clusters of the data area, and the number of the last one.
uint32_t dataClusters(const Bpb& b);
uint32_t highestCluster(const Bpb& b);
DirScan listDirectory(uint8_t* dir, uint32_t entries);
uint32_t clusterSector(const Bpb& b, uint32_t cluster);
uint32_t nextCluster(const Bpb& b, uint32_t cluster);
// Reads the clusters a file of `size` bytes takes, following its chain from
// `first`, into `image`. An empty file, one that would reach KERNEL_BASE, a
// link out of range, a chain that ends early or comes back to a cluster ends
// the load.
void loadChain(const Bpb& b, uint32_t first, uint32_t size, uint8_t* image);
// Ends the load unless the file of `length` bytes is a static 32-bit
// little-endian i386 ELF executable (version 1) whose 32-byte program
// headers and loadable segments lie inside it, whose segments come in
// ascending address order and land between KERNEL_BASE and
// BOOT_STACK_BOTTOM without overlapping each other, and whose entry lies in
// the file bytes of an executable one. Writes nothing for a sound image.
void checkElf(const uint8_t* image, uint32_t length);
void placeSegments(const uint8_t* image);

} // namespace loader
