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

# Interrupt entry stubs, entered through 32-bit interrupt gates (IF already
# clear). They sit in the image's first 64 KiB, so every gate's high offset
# half is 0xC000. Only the general registers are saved: no handler touches a
# segment register or the x87. The direction flag is cleared for the
# compiled handler (iret restores the interrupted one).
.macro STUB name, handler
        .globl  \name
        .type   \name, @function
\name:
        pushal
        cld
        call    \handler
        popal
        iretl
        .size   \name, . - \name
.endm

        STUB    idivzero, idivzero_handler
        STUB    ifatal, ifatal_handler
        STUB    irq0, irq0_handler
        STUB    irq1, irq1_handler
        STUB    irq2, irq2_handler
        STUB    irq3, irq3_handler
        STUB    irq4, irq4_handler
        STUB    irq5, irq5_handler
        STUB    irq6, irq6_handler
        STUB    irq7, irq7_handler
        STUB    irq8, irq8_handler
        STUB    irq9, irq9_handler
        STUB    irq10, irq10_handler
        STUB    irq11, irq11_handler
        STUB    irq12, irq12_handler
        STUB    irq13, irq13_handler
        STUB    irq14, irq14_handler
        STUB    irq15, irq15_handler

        .section .note.GNU-stack, "", @progbits
