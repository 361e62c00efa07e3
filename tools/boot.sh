#!/usr/bin/env bash
# Builds the disk image and boots it in QEMU: in a window where there is a
# display, headless otherwise. The serial line (every console line) is on
# this terminal either way; Ctrl-A X quits a headless run.
#
#   tools/boot.sh          build and boot
#   tools/boot.sh --gdb    ... stopped at the first instruction, gdb stub on :1234
set -euo pipefail
cd "$(dirname "$0")/.."

gdb=()
[ "${1:-}" = --gdb ] && gdb=(-s -S)
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
mapfile -t machine < <(tools/qemu_args.sh build/disk.img realtime)
exec qemu-system-i386 "${display[@]}" "${machine[@]}" -serial mon:stdio "${gdb[@]}"
