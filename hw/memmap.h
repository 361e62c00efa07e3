/* The map of memory: every fixed address range the system, its boot stages
   and its host programs rely on, as plain numbers, so that C++, the boot
   stages' assembly, the linker scripts (preprocessed) and CMake all read
   this one file. C++ code reads them through hw/machine.h.

   Low memory (identity-mapped, physical = virtual): */
#pragma once

#define MAP_PAGE_DIRECTORY      0x1000      /* stage 2's page directory, 4 KiB */
#define MAP_BOOT_SECTOR         0x7C00      /* where the BIOS loads the boot sector */
#define MAP_BOOT_LOAD           0x7E00      /* stage 2, then the stage-4 image, as read from the volume */

/* 64 KiB of conventional memory, below 1 MiB so that real mode reaches it
   and inside the identity-mapped first 4 MiB, so that its addresses are the
   same with paging on or off. Nothing of the BIOS lives there (its data
   area ends at 0x500, its extended data area lies just below 0xA0000) and
   nothing of the boot stages (page directory at 0x1000, stages
   0x7C00-0xB5FF). */
#define MAP_BIOS_AREA           0x10000
#define MAP_BIOS_AREA_BYTES     0x10000
/* The BIOS drive number the machine booted from (a byte), as the BIOS handed
   it to the boot sector in DL: 0x00 the first floppy, 0x80 the first disk. */
#define MAP_BOOT_DRIVE          0x10000
#define MAP_BIOS_PACKET         0x10010     /* the disk address packet of an extended read (16 bytes) */
#define MAP_BIOS_THUNK          0x10100     /* the real-mode call's code and data, copied there before each call */
#define MAP_BIOS_THUNK_BYTES    0x0F00
#define MAP_BIOS_STACK_TOP      0x18000     /* the real-mode stack: 0x11000 up to here, growing down */
/* The bounce buffer the BIOS reads sectors into: 32 KiB, inside one 64 KiB
   page, which a floppy's DMA transfer cannot cross. */
#define MAP_BIOS_BUFFER         0x18000
#define MAP_BIOS_BUFFER_BYTES   0x8000

#define MAP_VGA_GRAPHICS        0xA0000     /* mode 13h, one byte a pixel */
#define MAP_VGA_GRAPHICS_BYTES  0x10000
#define MAP_TEXT_SCREEN         0xB8000     /* 80x25, character and attribute a cell */
#define MAP_TEXT_SCREEN_BYTES   0x1000

/* The high window: 16 MiB paged onto physical 4-20 MiB, in 4 MiB pages. */
#define MAP_HIGH_WINDOW         0xBFC00000
#define MAP_HIGH_WINDOW_BYTES   0x01000000
#define MAP_HIGH_WINDOW_PHYSICAL 0x00400000
#define MAP_LOADER_BASE         0xBFC01000  /* the stage-4 image: code, data, zero-initialised data */
#define MAP_LOADER_LIMIT        0xBFC04000  /* ... which ends below its boot sector buffer */
#define MAP_BPB_BUFFER          0xBFC04000  /* the volume's boot sector, as the loader reads it */
#define MAP_FAT_SCRATCH         0xBFC10000  /* FAT sectors, the root directory, the temporary kernel image */
#define MAP_KERNEL_BASE         0xC0000000  /* the kernel image, entry first */
#define MAP_KERNEL_LIMIT        0xC0200000  /* ... which ends below the back buffer */
#define MAP_BACK_BUFFER         0xC0200000  /* the kernel's 320x200 frame */
#define MAP_BACK_BUFFER_BYTES   64000
#define MAP_STACK_BOTTOM        0xC03F0000  /* the one stack the loader and the kernel run on */
#define MAP_STACK_TOP           0xC03FFFF0  /* ESP's start; it grows down */
#define MAP_HEAP_FIRST          0xC03FFFFF  /* the kernel's heap: 8 MiB from just above the stack */
#define MAP_HEAP_LAST           0xC0BFFFFF
