# Boot sector of the system volume (outside the system proper).
#
# The BIOS loads it at 0x7C00 and jumps here with the boot drive in DL.
# mformat writes the volume's BPB over bytes 3-0x3D, so the code starts at
# 0x3E. It reads the boot stages from fixed sectors of the reserved area
# (BOOT_FIRST_SECTOR onward, BOOT_SECTORS of them) to MAP_BOOT_LOAD and jumps
# to stage 2 with the boot drive in DL. Where the BIOS has the LBA extensions
# for the drive it reads them in one extended read; where it has not (a
# floppy), by cylinder, head and sector in the geometry the BIOS gives for
# the drive, a track at most a read, each read tried three times with a
# reset between (a floppy's first read after its motor starts may fail). It
# reads no field of the BPB.

#include "hw/machine.h"

        .code16
        .text
        .globl _start
_start:
        .byte   0xEB, 0x3C, 0x90        # jmp short 0x3E; nop
        .fill   0x3E - 3, 1, 0          # BPB, filled in by mformat

code:
        cli
        xorw    %ax, %ax
        movw    %ax, %ds
        movw    %ax, %es
        movw    %ax, %ss
        movw    $MAP_BOOT_SECTOR, %sp
        ljmp    $0, $normalised         # some BIOSes enter at 07C0:0000
normalised:
        sti
        movb    %dl, boot_drive

        movb    $0x41, %ah              # LBA extensions present?
        movw    $0x55AA, %bx
        int     $0x13
        jc      chs
        cmpw    $0xAA55, %bx
        jne     chs
        testb   $0x01, %cl              # ... with the extended read among them
        jz      chs

        movw    $dap, %si               # extended read (int 13h, ah = 42h)
        movb    $0x42, %ah
        movb    boot_drive, %dl
        int     $0x13
        jc      fail
        jmp     loaded

chs:
        movb    $0x08, %ah              # drive parameters
        movb    boot_drive, %dl
        xorw    %di, %di                # ES:DI 0:0, as some BIOSes want
        int     $0x13
        jc      fail
        andb    $0x3F, %cl              # sectors per track
        jz      fail
        movb    %cl, sectors_per_track
        movzbw  %dh, %ax                # heads: DH is the last one, up to 255
        incw    %ax
        movw    %ax, heads
        xorw    %ax, %ax
        movw    %ax, %es                # the BIOS may have changed ES

next_read:
        movw    lba, %ax                # sector within the track, and the track
        xorw    %dx, %dx
        movzbw  sectors_per_track, %cx
        divw    %cx
        movw    %cx, %bx                # sectors left on the track: the read's count
        subw    %dx, %bx
        cmpw    left, %bx
        jbe     1f
        movw    left, %bx
1:      movb    %bl, count
        incb    %dl
        movb    %dl, sector
        xorw    %dx, %dx                # track: cylinder and head
        movw    heads, %cx
        divw    %cx
        movb    %dl, head
        movb    %al, %ch                # cylinder bits 0-7 in CH, 8-9 in CL's top
        shlb    $6, %ah
        orb     sector, %ah
        movb    %ah, %cl
        movb    $3, tries

try_read:
        pushw   %cx
        movb    head, %dh
        movb    boot_drive, %dl
        movw    dap + 4, %bx            # destination, as the packet has it
        movb    count, %al
        movb    $0x02, %ah
        int     $0x13
        jnc     advance
        xorb    %ah, %ah                # reset the drive, then again
        movb    boot_drive, %dl
        int     $0x13
        popw    %cx
        decb    tries
        jnz     try_read
        jmp     fail

advance:
        popw    %cx
        movzbw  count, %ax
        addw    %ax, lba
        subw    %ax, left
        shlw    $9, %ax
        addw    %ax, dap + 4
        cmpw    $0, left
        jne     next_read

loaded:
        movb    boot_drive, %dl
        ljmp    $0, $MAP_BOOT_LOAD

fail:
        movw    $message, %si
1:      lodsb
        testb   %al, %al
        jz      2f
        movb    $0x0E, %ah              # teletype output
        movw    $0x0007, %bx
        int     $0x10
        jmp     1b
2:      cli
        hlt
        jmp     2b

        .balign 4
dap:                                    # disk address packet
        .byte   0x10, 0                 # size, reserved
        .word   BOOT_SECTORS            # sectors to read
        .word   MAP_BOOT_LOAD, 0       # destination offset, segment
        .long   BOOT_FIRST_SECTOR, 0    # first LBA (64 bits)

# The CHS reads' state: where the next one starts, what is left.
lba:
        .word   BOOT_FIRST_SECTOR
left:
        .word   BOOT_SECTORS
boot_drive:
        .byte   0
sectors_per_track:
        .byte   0
heads:
        .word   0
sector:
        .byte   0
head:
        .byte   0
count:
        .byte   0
tries:
        .byte   0
message:
        .asciz  "Boot: cannot read the boot stages"

        .org    510
        .word   0xAA55
