#!/usr/bin/env bash
# Builds the disk image and boots it in Bochs (tools/bochsrc; with --floppy,
# tools/bochsrc.floppy: from the floppy drive, no hard disk): in a window
# where there is a display, under Xvfb otherwise. COM1 is this terminal when
# it is one (its bytes go to the system as console input), standard output
# otherwise. Bochs's log: build/bochs/bochs.log.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target disk_image

# Bochs writes to the image it runs and locks it: it gets a copy of its own.
mkdir -p build/bochs
cp build/disk.img build/bochs/disk.img
rm -f build/bochs/disk.img.lock
export BOCHS_DISK=$PWD/build/bochs/disk.img BOCHS_LOG=$PWD/build/bochs/bochs.log
if [ -t 0 ]; then
    export BOCHS_SERIAL_MODE=term BOCHS_SERIAL_DEV=$(tty)
else
    export BOCHS_SERIAL_MODE=file BOCHS_SERIAL_DEV=/dev/stdout
fi

rc=tools/bochsrc
[ "${1:-}" = --floppy ] && rc=tools/bochsrc.floppy
run=(bochs -q -f "$rc" -rc tools/bochs.rc)
[ -n "${DISPLAY:-}" ] || run=(xvfb-run -a "${run[@]}")
exec "${run[@]}"
