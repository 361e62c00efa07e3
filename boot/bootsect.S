# Boot sector of the system volume (outside the system proper).
#
# The BIOS loads it at 0x7C00 and jumps here with the boot drive in DL.
# mformat writes the volume's BPB over bytes 3-0x3D, so the code starts at
# 0x3E. It reads the boot stages from fixed sectors of the reserved area
# (BOOT_FIRST_SECTOR onward, BOOT_SECTORS of them) to BOOT_LOAD_ADDR with the
# BIOS's LBA read, and jumps to stage 2. It reads no field of the BPB.

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
        movw    $0x7C00, %sp
        ljmp    $0, $normalised         # some BIOSes enter at 07C0:0000
normalised:
        sti
        movb    %dl, boot_drive

        movb    $0x41, %ah              # LBA extensions present?
        movw    $0x55AA, %bx
        int     $0x13
        jc      fail
        cmpw    $0xAA55, %bx
        jne     fail

        movw    $dap, %si               # extended read (int 13h, ah = 42h)
        movb    $0x42, %ah
        movb    boot_drive, %dl
        int     $0x13
        jc      fail

        movb    boot_drive, %dl
        ljmp    $0, $BOOT_LOAD_ADDR

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
        .word   BOOT_LOAD_ADDR, 0       # destination offset, segment
        .long   BOOT_FIRST_SECTOR, 0    # first LBA (64 bits)

boot_drive:
        .byte   0
message:
        .asciz  "Boot: cannot read the boot stages"

        .org    510
        .word   0xAA55
