# Stage 2 of the boot environment (outside the system proper).
#
# Loaded by the boot sector at BOOT_LOAD_ADDR together with the stage-4 image
# right behind it (STAGE4_LOAD), and entered with the boot drive in DL, which
# it keeps for the loader at MACHINE_BOOT_DRIVE. It leaves the display in
# 80x25 text mode, enables A20, sets a flat GDT (code 0x08, data 0x10), turns
# on paging with 4 MiB pages:
#   0x00000000-0x003FFFFF -> identity (this code, 0xA0000, 0xB8000)
#   0xBFC00000-0xC0BFFFFF -> physical 0x00400000-0x013FFFFF
# copies stage 4 to STAGE4_BASE (the copy is zero-padded, so it also clears
# stage 4's zero-initialised data), sets up the stack 0xC03F0000-BOOT_STACK_TOP
# (ESP at the top, growing down; the loader keeps kernel segments below it) and
# enters stage 4's start with interrupts off.

#include "hw/machine.h"

        .code16
        .text
        .globl _start
_start:
        movw    $(MACHINE_BOOT_DRIVE >> 4), %ax
        movw    %ax, %es
        movb    %dl, %es:(MACHINE_BOOT_DRIVE & 0xF)
        xorw    %ax, %ax
        movw    %ax, %es

        movw    $0x0003, %ax            # 80x25 colour text mode
        int     $0x10
        cli

        inb     $0x92, %al              # A20 through the system control port
        orb     $0x02, %al
        andb    $0xFE, %al              # bit 0 would reset the machine
        outb    %al, $0x92

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
        movl    $BOOT_LOAD_ADDR, %esp

        cld                             # page directory: 1024 entries
        movl    $PAGE_DIRECTORY, %edi
        xorl    %eax, %eax
        movl    $1024, %ecx
        rep stosl
        movl    $PAGE_DIRECTORY, %edi
        movl    $(0x00000000 | PDE_4M), 0(%edi)
        movl    $(0x00400000 | PDE_4M), 0x2FF*4(%edi)   # 0xBFC00000
        movl    $(0x00800000 | PDE_4M), 0x300*4(%edi)   # 0xC0000000
        movl    $(0x00C00000 | PDE_4M), 0x301*4(%edi)   # 0xC0400000
        movl    $(0x01000000 | PDE_4M), 0x302*4(%edi)   # 0xC0800000

        movl    %cr4, %eax
        orl     $0x10, %eax             # PSE: 4 MiB pages
        movl    %eax, %cr4
        movl    $PAGE_DIRECTORY, %eax
        movl    %eax, %cr3
        movl    %cr0, %eax
        orl     $0x80000000, %eax       # PG
        movl    %eax, %cr0

        movl    $STAGE4_LOAD, %esi
        movl    $STAGE4_BASE, %edi
        movl    $(STAGE4_SIZE / 4), %ecx
        rep movsl

        movl    $BOOT_STACK_TOP, %esp
        xorl    %ebp, %ebp
        movl    $STAGE4_BASE, %eax
        jmp     *%eax

        .balign 8
gdt:
        .quad   0                       # null
        .quad   0x00CF9A000000FFFF      # 0x08: code, base 0, 4 GiB, 32-bit
        .quad   0x00CF92000000FFFF      # 0x10: data, base 0, 4 GiB
gdt_descriptor:
        .word   gdt_descriptor - gdt - 1
        .long   gdt
