# The kernel's entry and its interrupt entry stubs.

        .section .text.start, "ax"
        .code32
        .globl start
# Reached from the boot hand-over on the loader's stack, interrupts off.
start:
        cli
        fninit
        call    kmain
halt:   cli                             # should kmain ever return
        hlt
        jmp     halt

        .section .note.GNU-stack, "", @progbits
