#!/usr/bin/env bash
# Builds the disk image and boots it in QEMU: in a window where there is a
# display, headless otherwise. The serial line (every console line, and a
# prompt to type commands at) is on this terminal either way.
#
#   tools/boot.sh          build and boot
#   tools/boot.sh --vnc    ... the screen on VNC at 127.0.0.1:5900 (display :0)
#   tools/boot.sh --gdb    ... stopped at the first instruction, gdb stub on 127.0.0.1:1234
#   tools/boot.sh --usb    ... from a USB stick, with no IDE disk (--ahci: a
#                          SATA disk on AHCI; --floppy: the floppy drive)
#
# Quit: close the window, or Ctrl-A X on the terminal. BUILD_DIR names the
# build folder (build/ when unset).
set -euo pipefail
cd "$(dirname "$0")/.."

gdb=() vnc=()
medium=ide
for arg in "$@"; do
    case $arg in
    --gdb) gdb=(-gdb tcp:127.0.0.1:1234 -S) ;;
    --vnc) vnc=(-vnc 127.0.0.1:0) ;;
    --usb | --ahci | --floppy) medium=${arg#--} ;;
    *) echo "usage: tools/boot.sh [--vnc] [--gdb] [--usb | --ahci | --floppy]" >&2; exit 2 ;;
    esac
done

display=(-display none)
if [ ${#vnc[@]} -eq 0 ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    tools/deps.sh boot gui
    display=()
else
    tools/deps.sh boot
fi

build=${BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target disk_image

[ ${#vnc[@]} -eq 0 ] || echo "The screen: a VNC viewer on 127.0.0.1:5900 (it also takes the keys)."
[ ${#gdb[@]} -eq 0 ] || echo "Waiting for gdb on 127.0.0.1:1234 (README: Debugging with gdb)."
# TCG only: the paravirtual KVM here triple-faults a 32-bit guest that turns
# paging on. Real time: the kernel paces its frames by timer channel 2,
# which follows the host's clock, so the cube flies at 70 frames a
# wall-clock second however many timer interrupts the emulator drops.
mapfile -t machine < <(tools/qemu_args.sh "$build/disk.img" realtime "$medium")
exec qemu-system-i386 "${display[@]}" "${vnc[@]}" "${machine[@]}" -serial mon:stdio "${gdb[@]}"
