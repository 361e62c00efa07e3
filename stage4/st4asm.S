# Entry stub of the stage-4 loader and its text-screen fill.

#include "hw/memmap.h"

        .section .text.start, "ax"
        .code32
        .globl start
# Entered by the boot stages in protected mode, on their stack.
start:
        cli
        call    ClrScr32
        call    st4main
1:      hlt
        jmp     1b

        .text
        .globl ClrScr32
# Fills the 80x25 text screen with character 0, attribute 0x1F (white on
# blue); every register is preserved.
ClrScr32:
        pushal
        pushfl
        cld
        movl    $MAP_TEXT_SCREEN, %edi
        movl    $0x1F00, %eax
        movl    $2000, %ecx
        rep stosw
        popfl
        popal
        ret

        .section .note.GNU-stack, "", @progbits
