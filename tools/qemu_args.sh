#!/bin/sh
# The machine the system runs on, as QEMU's arguments, one a line: a PC
# with 64 MiB, no network card, a triple fault ends the run instead of
# rebooting, the disk image as the first IDE disk with its writes discarded.
# The clock: "realtime" (plain TCG, as a user boots it) or "icount" (virtual
# time from instruction counts, 32 ns an instruction: the machine's clock,
# and so its frames, advance with the guest's own work, not with the host's
# load, and every timer tick arrives; the system tests and benchmarks that
# need repeatable time run so). Display, serial line and monitor are the
# caller's.
#
#   tools/qemu_args.sh DISK [realtime|icount]
set -eu
disk=$1
clock=${2:-realtime}
printf '%s\n' -machine pc -m 64 -nic none -no-reboot \
    -drive "file=$disk,format=raw,if=ide,index=0,media=disk,snapshot=on"
case $clock in
    realtime) ;;
    icount) printf '%s\n' -icount shift=5 ;;
    *) echo "qemu_args.sh: no clock '$clock' (realtime or icount)" >&2; exit 2 ;;
esac
