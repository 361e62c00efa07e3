/* The kernel image, linked at MAP_KERNEL_BASE with start as its first byte.
   The ELF entry is the boot environment's hand-over (kernel_handover),
   which sets the display mode and goes on to start. The image must end
   below the back buffer. */
#include "hw/memmap.h"

OUTPUT_FORMAT(elf32-i386)
ENTRY(kernel_handover)

PHDRS
{
    text PT_LOAD FLAGS(5);   /* R X */
    data PT_LOAD FLAGS(6);   /* R W */
}

SECTIONS
{
    . = MAP_KERNEL_BASE;
    .text : { KEEP(*(.text.start)) *(.text .text.*) } :text
    /* The rasteriser's row loops, on a page of their own (see raster.cpp). */
    .text_rows ALIGN(4096) : { __rows_start = .; *(.text_rows) __rows_end = .; } :text
    .rodata : { *(.rodata .rodata.*) } :text
    . = ALIGN(4096);
    .data : { *(.data .data.*) } :data
    .init_array : { *(.init_array*) *(.ctors*) } :data
    .bss : { *(.bss .bss.*) *(COMMON) } :data
    __kernel_end = .;
    /DISCARD/ : { *(.note*) *(.comment) *(.eh_frame*) }
}

ASSERT(__kernel_end <= MAP_KERNEL_LIMIT, "the kernel image reaches the back buffer")
ASSERT(__rows_end - __rows_start <= 4096, "the row loops no longer fit on one page")
/* Nothing runs global constructors in the kernel. */
ASSERT(SIZEOF(.init_array) == 0, "the kernel must not have global constructors")
