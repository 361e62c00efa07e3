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
# paging on. Virtual time from instruction counts (32 ns an instruction)
# delivers every one of the timer's 59659 ticks a second, which real-time
# TCG cannot keep up with, so the tick-paced frames run at about 60 a second.
exec qemu-system-i386 "${display[@]}" -nic none -no-reboot -m 64 -icount shift=5 \
    -serial mon:stdio \
    -drive file=build/disk.img,format=raw,if=ide,index=0,media=disk,snapshot=on \
    "${gdb[@]}"
