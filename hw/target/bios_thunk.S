# The real-mode half of the BIOS call (bios.cpp copies it to
# MAP_BIOS_THUNK and calls bios_thunk_entry there, from protected mode
# with paging on).
#
# It runs from its copy in low memory, which the boot stages map one to one,
# so paging can go off under it. Addresses are those of the copy: LOW(x) in
# the flat 32-bit segments, RM(x) in real mode, whose segment (REAL_SEG)
# starts at the BIOS area. The caller's stack lies above 4 MiB: while paging
# is off the thunk runs on its own, below MAP_BIOS_STACK_TOP.

#include "machine.h"

#define LOW(x) (MAP_BIOS_THUNK + ((x) - bios_thunk_start))
#define RM(x) (LOW(x) - MAP_BIOS_AREA)
#define REAL_SEG (MAP_BIOS_AREA >> 4)
#define REAL_SP (MAP_BIOS_STACK_TOP - MAP_BIOS_AREA)

# Selectors of the thunk's table. 0x08 and 0x10 are the flat code and data
# of the boot stages' table, which the loader and the kernel run on; 0x18 and
# 0x20 are 16-bit segments of 64 KiB at the BIOS area, whose limits real mode
# then keeps.
#define CODE32 0x08
#define DATA32 0x10
#define CODE16 0x18
#define DATA16 0x20

#define CR0_PE 0x00000001
#define CR0_PG 0x80000000

        .section .rodata.bios_thunk, "a"
        .globl  bios_thunk_start, bios_thunk_entry, bios_thunk_regs, bios_thunk_end
        .code32
# Data first, so that the copy's alignment is the table's.
bios_thunk_start:
gdt:
        .quad   0
        .quad   0x00CF9A000000FFFF      # CODE32: base 0, 4 GiB, 32-bit
        .quad   0x00CF92000000FFFF      # DATA32
        # CODE16, DATA16: limit 0xFFFF, base MAP_BIOS_AREA, byte
        # granular, 16-bit; access 0x9A (code, readable) and 0x92 (data, writable).
        .word   0xFFFF, MAP_BIOS_AREA & 0xFFFF
        .byte   (MAP_BIOS_AREA >> 16) & 0xFF, 0x9A, 0x00, MAP_BIOS_AREA >> 24
        .word   0xFFFF, MAP_BIOS_AREA & 0xFFFF
        .byte   (MAP_BIOS_AREA >> 16) & 0xFF, 0x92, 0x00, MAP_BIOS_AREA >> 24
gdt_descriptor:
        .word   gdt_descriptor - gdt - 1
        .long   LOW(gdt)
real_idt:
        .word   0x3FF                   # 256 four-byte vectors
        .long   0
saved_gdt:
        .word   0
        .long   0
saved_idt:
        .word   0
        .long   0
saved_esp:
        .long   0
saved_cr0:
        .long   0
saved_cr3:
        .long   0
# BiosRegs (hw.h), field for field.
bios_thunk_regs:
r_eax:  .long   0
r_ebx:  .long   0
r_ecx:  .long   0
r_edx:  .long   0
r_esi:  .long   0
r_edi:  .long   0
r_ds:   .word   0
r_es:   .word   0
r_eflags:
        .long   0

# void entry(void): the registers in bios_thunk_regs in, the BIOS's out.
bios_thunk_entry:
        pushl   %ebp                    # what the C caller keeps
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        movl    %esp, LOW(saved_esp)
        movl    %cr3, %eax
        movl    %eax, LOW(saved_cr3)
        movl    %cr0, %eax
        movl    %eax, LOW(saved_cr0)
        sgdt    LOW(saved_gdt)
        sidt    LOW(saved_idt)
        lgdt    LOW(gdt_descriptor)
        movl    $MAP_BIOS_STACK_TOP, %esp
        andl    $(~CR0_PG & 0xFFFFFFFF), %eax  # paging off: this code is where it was
        movl    %eax, %cr0
        ljmp    $CODE16, $RM(protected16)

        .code16
protected16:
        movw    $DATA16, %ax
        movw    %ax, %ds
        movw    %ax, %es
        movw    %ax, %fs
        movw    %ax, %gs
        movw    %ax, %ss
        movl    %cr0, %eax
        andl    $(~CR0_PE & 0xFFFFFFFF), %eax  # protection off
        movl    %eax, %cr0
        ljmp    $REAL_SEG, $RM(real)

real:
        movw    $REAL_SEG, %ax
        movw    %ax, %ds
        movw    %ax, %ss
        movl    $REAL_SP, %esp          # the upper half too: BIOS code may use ESP
        xorw    %ax, %ax
        movw    %ax, %fs
        movw    %ax, %gs
        lidt    RM(real_idt)            # the BIOS's vectors at 0
        movl    RM(r_ebx), %ebx
        movl    RM(r_ecx), %ecx
        movl    RM(r_edx), %edx
        movl    RM(r_esi), %esi
        movl    RM(r_edi), %edi
        movw    RM(r_es), %ax
        movw    %ax, %es
        pushw   RM(r_ds)
        movl    RM(r_eax), %eax
        popw    %ds
        sti                             # a floppy's completion and timeout need IRQ 6 and 0
        int     $0x13
        pushfl
        cli
        pushw   %ds
        pushl   %eax
        movw    $REAL_SEG, %ax
        movw    %ax, %ds
        popl    RM(r_eax)
        popw    RM(r_ds)
        popl    RM(r_eflags)
        movl    %ebx, RM(r_ebx)
        movl    %ecx, RM(r_ecx)
        movl    %edx, RM(r_edx)
        movl    %esi, RM(r_esi)
        movl    %edi, RM(r_edi)
        movw    %es, RM(r_es)
        cld
        # The BIOS may have loaded tables of its own (it runs 32-bit code too).
        lgdtl   RM(gdt_descriptor)
        movl    %cr0, %eax
        orl     $CR0_PE, %eax
        movl    %eax, %cr0
        ljmpl   $CODE32, $LOW(protected32)

        .code32
protected32:
        movw    $DATA32, %ax
        movw    %ax, %ds
        movw    %ax, %es
        movw    %ax, %fs
        movw    %ax, %gs
        movw    %ax, %ss
        movl    LOW(saved_cr3), %eax    # also empties the TLB
        movl    %eax, %cr3
        movl    LOW(saved_cr0), %eax    # paging back on
        movl    %eax, %cr0
        # The caller's table: its 0x08 and 0x10 are the segments just loaded.
        lgdt    LOW(saved_gdt)
        lidt    LOW(saved_idt)
        movl    LOW(saved_esp), %esp
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret
bios_thunk_end:

        .if     bios_thunk_end - bios_thunk_start > MAP_BIOS_THUNK_BYTES
        .error  "the BIOS thunk outgrew its place in low memory"
        .endif

        .section .note.GNU-stack, "", @progbits
