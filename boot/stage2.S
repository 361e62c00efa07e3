# Stage 2 of the boot environment (outside the system proper).
#
# Loaded by the boot sector at MAP_BOOT_LOAD together with the stage-4 image
# right behind it (STAGE4_LOAD), and entered with the boot drive in DL, which
# it keeps for the loader at MAP_BOOT_DRIVE. It leaves the display in
# 80x25 text mode, enables A20, sets a flat GDT (code 0x08, data 0x10), turns
# on paging with 4 MiB pages:
#   0x00000000-0x003FFFFF -> identity (this code, 0xA0000, 0xB8000)
#   0xBFC00000-0xC0BFFFFF -> physical 0x00400000-0x013FFFFF
# copies stage 4 to MAP_LOADER_BASE (the copy is zero-padded, so it also clears
# stage 4's zero-initialised data), sets up the stack MAP_STACK_BOTTOM-MAP_STACK_TOP
# (ESP at the top, growing down; the loader keeps kernel segments below it) and
# enters stage 4's start with interrupts off.

#include "hw/machine.h"

# A page directory entry of a present, writable 4 MiB page; the page's size.
#define PDE_4M          0x83
#define PAGE_4M         0x400000
#define STAGE4_SIZE     (MAP_LOADER_LIMIT - MAP_LOADER_BASE)

        .code16
        .text
        .globl _start
_start:
        movw    $(MAP_BOOT_DRIVE >> 4), %ax
        movw    %ax, %es
        movb    %dl, %es:(MAP_BOOT_DRIVE & 0xF)
        xorw    %ax, %ax
        movw    %ax, %es

        movw    $0x0003, %ax            # 80x25 colour text mode
        int     $0x10
        cli

        inb     $PORT_FAST_A20, %al     # A20 through the system control port
        orb     $0x02, %al
        andb    $0xFE, %al              # bit 0 would reset the machine
        outb    %al, $PORT_FAST_A20

        lgdtl   gdt_descriptor
        movl    %cr0, %eax
        orl     $0x01, %eax             # PE
        movl    %eax, %cr0
        ljmpl   $0x08, $protected

        .code32
protected:
        movw    $0x10, %ax
        movw    %ax, %ds
        movw    %ax, %es
        movw    %ax, %fs
        movw    %ax, %gs
        movw    %ax, %ss
        movl    $MAP_BOOT_LOAD, %esp

        cld                             # page directory: 1024 entries
        movl    $MAP_PAGE_DIRECTORY, %edi
        xorl    %eax, %eax
        movl    $1024, %ecx
        rep stosl
        movl    $(0 | PDE_4M), MAP_PAGE_DIRECTORY   # the first 4 MiB, identity
        # The high window, a 4 MiB page an entry.
        movl    $(MAP_PAGE_DIRECTORY + (MAP_HIGH_WINDOW / PAGE_4M) * 4), %edi
        movl    $(MAP_HIGH_WINDOW_PHYSICAL | PDE_4M), %eax
        movl    $(MAP_HIGH_WINDOW_BYTES / PAGE_4M), %ecx
1:      stosl
        addl    $PAGE_4M, %eax
        loop    1b

        movl    %cr4, %eax
        orl     $0x10, %eax             # PSE: 4 MiB pages
        movl    %eax, %cr4
        movl    $MAP_PAGE_DIRECTORY, %eax
        movl    %eax, %cr3
        movl    %cr0, %eax
        orl     $0x80000000, %eax       # PG
        movl    %eax, %cr0

        movl    $STAGE4_LOAD, %esi
        movl    $MAP_LOADER_BASE, %edi
        movl    $(STAGE4_SIZE / 4), %ecx
        rep movsl

        movl    $MAP_STACK_TOP, %esp
        xorl    %ebp, %ebp
        movl    $MAP_LOADER_BASE, %eax
        jmp     *%eax

        .balign 8
gdt:
        .quad   0                       # null
        .quad   0x00CF9A000000FFFF      # 0x08: code, base 0, 4 GiB, 32-bit
        .quad   0x00CF92000000FFFF      # 0x10: data, base 0, 4 GiB
gdt_descriptor:
        .word   gdt_descriptor - gdt - 1
        .long   gdt
