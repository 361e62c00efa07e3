/* The stage-4 loader: one flat image at MAP_LOADER_BASE, entered at its
   first byte (start). Code, constants, data and zero-initialised data must
   end below the boot sector buffer. */
#include "hw/memmap.h"

OUTPUT_FORMAT(elf32-i386)
ENTRY(start)

PHDRS { image PT_LOAD FLAGS(7); }

SECTIONS
{
    . = MAP_LOADER_BASE;
    .text : { KEEP(*(.text.start)) *(.text .text.*) } :image
    .rodata : { *(.rodata .rodata.*) } :image
    .data : { *(.data .data.*) } :image
    .init_array : { *(.init_array*) *(.ctors*) } :image
    .bss : { *(.bss .bss.*) *(COMMON) } :image
    __image_end = .;
    /DISCARD/ : { *(.note*) *(.comment) *(.eh_frame*) }
}

ASSERT(__image_end <= MAP_LOADER_LIMIT, "stage4 grew past its range into its boot sector buffer")
ASSERT(SIZEOF(.text) > 0, "stage4 has no code")
/* Nothing runs global constructors in the loader. */
ASSERT(SIZEOF(.init_array) == 0, "stage4 must not have global constructors")
