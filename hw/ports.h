/* The map of I/O ports: every device register the system, its boot stages,
   its benchmarks and its host fakes reach, as plain numbers, so that C++
   and assembly read this one file. C++ code reads them through
   hw/machine.h; a device's registers past its base (the UART's) are named
   by its own header as offsets from here. */
#pragma once

#define PORT_PIC1_COMMAND       0x20        /* 8259 master: ICW1, OCW2 */
#define PORT_PIC1_DATA          0x21        /* ICW2-4, the mask */
#define PORT_PIT_CHANNEL0       0x40        /* 8253/8254: the system timer */
#define PORT_PIT_CHANNEL2       0x42        /* ... the frame clock */
#define PORT_PIT_COMMAND        0x43        /* ... the mode register */
#define PORT_KBC_DATA           0x60        /* 8042: the output buffer */
#define PORT_SYSTEM_CONTROL     0x61        /* bit 0 gates timer channel 2, bit 5 its output */
#define PORT_KBC_STATUS         0x64
#define PORT_IO_DELAY           0x80        /* written only to wait one bus cycle */
#define PORT_FAST_A20           0x92        /* system control port A, bit 1 enables A20 */
#define PORT_PIC2_COMMAND       0xA0        /* 8259 slave */
#define PORT_PIC2_DATA          0xA1
#define PORT_DEBUG_EXIT         0xF4        /* QEMU's isa-debug-exit, in the benchmark machine only */
/* The primary ATA channel's task file and its alternate status, which reads
   like the status without acknowledging anything. */
#define PORT_ATA_DATA           0x1F0
#define PORT_ATA_FEATURES       0x1F1
#define PORT_ATA_COUNT          0x1F2
#define PORT_ATA_LBA_LOW        0x1F3
#define PORT_ATA_LBA_MID        0x1F4
#define PORT_ATA_LBA_HIGH       0x1F5
#define PORT_ATA_DRIVE          0x1F6
#define PORT_ATA_STATUS         0x1F7       /* read: status; write: command */
#define PORT_ATA_ALT_STATUS     0x3F6
/* VGA */
#define PORT_VGA_ATTRIBUTE      0x3C0       /* index and data alternate on one port */
#define PORT_VGA_MISC_OUTPUT    0x3C2
#define PORT_VGA_SEQ_INDEX      0x3C4       /* data at index + 1, as for the next two */
#define PORT_VGA_DAC_WRITE_INDEX 0x3C8
#define PORT_VGA_DAC_DATA       0x3C9
#define PORT_VGA_GC_INDEX       0x3CE
#define PORT_VGA_CRTC_INDEX     0x3D4
#define PORT_VGA_INPUT_STATUS   0x3DA       /* bit 3 in retrace; a read resets the attribute flip-flop */
#define PORT_COM1               0x3F8       /* the first serial port's 16550 */
