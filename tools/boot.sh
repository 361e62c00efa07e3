#!/usr/bin/env bash
# Builds the disk image and boots it in QEMU: in a window where there is a
# display, headless otherwise. The serial line (every console line) is on
# this terminal either way; Ctrl-A X quits a headless run.
#
#   tools/boot.sh          build and boot
#   tools/boot.sh --gdb    ... stopped at the first instruction, gdb stub on :1234
#   tools/boot.sh --usb    ... from a USB stick, with no IDE disk (--ahci: a
#                          SATA disk on AHCI; --floppy: the floppy drive)
set -euo pipefail
cd "$(dirname "$0")/.."

gdb=()
medium=ide
for arg in "$@"; do
    case $arg in
    --gdb) gdb=(-s -S) ;;
    --usb | --ahci | --floppy) medium=${arg#--} ;;
    *) echo "usage: tools/boot.sh [--gdb] [--usb | --ahci | --floppy]" >&2; exit 2 ;;
    esac
done
display=(-display none)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    tools/deps.sh gui
    display=()
else
    tools/deps.sh
fi

cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target disk_image

# TCG only: the paravirtual KVM here triple-faults a 32-bit guest that turns
# paging on. Real time: the kernel paces its frames by timer channel 2,
# which follows the host's clock, so the cube flies at 70 frames a
# wall-clock second however many timer interrupts the emulator drops.
mapfile -t machine < <(tools/qemu_args.sh build/disk.img realtime "$medium")
exec qemu-system-i386 "${display[@]}" "${machine[@]}" -serial mon:stdio "${gdb[@]}"
