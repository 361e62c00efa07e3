// The stage-4 loader: reads the FAT12 boot volume over ATA PIO, lists its
// root directory, loads the kernel file "KRNL    VOX" and enters its ELF entry.
//
// The steps are small functions over plain records so that each can be
// exercised on its own; st4main() runs them in order and never returns.
#pragma once
#include <stdint.h>

extern "C" {
// Entry stub (st4asm.S): interrupts off, screen fill, st4main, halt loop.
void start();
// Fills the 2000 text cells with character 0, attribute 0x1F; keeps registers.
void ClrScr32();
void st4main();
}

namespace loader {

// Fixed places of the loader's buffers.
const uint32_t BPB_BUFFER = 0xBFC04000;
const uint32_t FAT_SCRATCH = 0xBFC10000;
const uint32_t KERNEL_BASE = 0xC0000000;
const uint32_t ELF_MAGIC = 0x464C457F;

// The boot sector fields the loader uses.
struct Bpb {
    uint32_t bytesPerSector;
    uint32_t sectorsPerCluster;
    uint32_t reservedSectors;
    uint32_t fats;
    uint32_t rootEntries;
    uint32_t sectorsPerFat;
};

// Result of the directory listing: the kernel entry (0 if none matched) and
// the slot right after the last listed entry.
struct DirScan {
    const uint8_t* kernel;
    uint8_t* end;
};

extern uint32_t bpbBuffer;
extern uint32_t pBpb;

void ReadSectors(uint32_t lba, uint32_t count, uint8_t* buffer);
[[noreturn]] void stop();
int strcmps(const char* a, const char* b, uint32_t n);

uint16_t rd16(const uint8_t* p);
uint32_t rd32(const uint8_t* p);

Bpb readBpb(const uint8_t* sector);
void printGeometry(const Bpb& b);
uint32_t rootDirSector(const Bpb& b);
uint32_t rootDirSectors(const Bpb& b);
uint8_t* rootDirBuffer(const Bpb& b);
DirScan listDirectory(uint8_t* dir, uint32_t entries);
uint32_t clusterSector(const Bpb& b, uint32_t cluster);
uint32_t nextCluster(const Bpb& b, uint32_t cluster);
// Reads the chain from `first` into `image`; returns the end of the image.
uint8_t* loadChain(const Bpb& b, uint32_t first, uint8_t* image);
void placeSegments(const uint8_t* image);

} // namespace loader
