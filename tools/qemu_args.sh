#!/bin/sh
# The machine the system runs on, as QEMU's arguments, one a line: a PC
# with 64 MiB, no network card, a triple fault ends the run instead of
# rebooting, the disk image as the boot disk with its writes discarded.
# The clock: "realtime" (plain TCG, as a user boots it) or "icount" (virtual
# time from instruction counts, 32 ns an instruction: the machine's clock,
# and so its frames, advance with the guest's own work, not with the host's
# load, and every timer tick arrives; the system tests and benchmarks that
# need repeatable time run so). The disk: "ide" (the first IDE disk, which
# the loader reads itself), or one that the loader reads through the BIOS,
# with no IDE disk: "usb" (a USB stick on an xHCI controller), "ahci" (a
# SATA disk on an AHCI controller) or "floppy". DISK may be any file name
# QEMU takes (blkdebug:CONFIG:IMAGE injects errors). "exit" adds QEMU's
# isa-debug-exit device, through which the benchmark kernel ends the run.
# Display, serial line and monitor are the caller's. Other clocks:
# "icount-aligned" (instruction-counted, held to the wall clock), "486"
# (the same at 256 ns an instruction: a fast 386 or slow 486).
#
#   tools/qemu_args.sh DISK [realtime|icount|icount-aligned|486] [ide|usb|ahci|floppy] [exit]
set -eu
disk=$1
clock=${2:-realtime}
medium=${3:-ide}
exit_device=${4:-}
printf '%s\n' -machine pc -m 64 -nic none -no-reboot
image="file=$disk,format=raw,snapshot=on"
case $medium in
    ide) printf '%s\n' -drive "$image,if=ide,index=0,media=disk" ;;
    usb) printf '%s\n' -device qemu-xhci,id=xhci -drive "$image,if=none,id=stick" \
             -device usb-storage,bus=xhci.0,drive=stick,bootindex=0 ;;
    ahci) printf '%s\n' -device ahci,id=ahci -drive "$image,if=none,id=sata" \
              -device ide-hd,drive=sata,bus=ahci.0,bootindex=0 ;;
    floppy) printf '%s\n' -drive "$image,if=floppy,index=0" -boot a ;;
    *) echo "qemu_args.sh: no disk '$medium' (ide, usb, ahci or floppy)" >&2; exit 2 ;;
esac
case $clock in
    realtime) ;;
    icount) printf '%s\n' -icount shift=5 ;;
    icount-aligned) printf '%s\n' -icount shift=5,align=on ;;
    486) printf '%s\n' -icount shift=8,align=on ;;
    *) echo "qemu_args.sh: no clock '$clock' (realtime, icount, icount-aligned, 486)" >&2; exit 2 ;;
esac
if [ "$exit_device" = exit ]; then
    # Its port is the map's (hw/ports.h).
    port=$("$(dirname "$0")/map_value.sh" PORT_DEBUG_EXIT)
    printf '%s\n' -device "isa-debug-exit,iobase=$port,iosize=0x04"
fi
