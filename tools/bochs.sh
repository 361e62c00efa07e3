#!/usr/bin/env bash
# Builds the disk image and boots it in Bochs (tools/bochsrc; with --floppy,
# tools/bochsrc.floppy: from the floppy drive, no hard disk): in a window
# where there is a display, under Xvfb otherwise. COM1 is this terminal:
# its lines are the serial line, what you type goes to the system. Ctrl-]
# quits (closing the window too), and the terminal is left as it was.
# Without a terminal, COM1 goes to standard output. Bochs's log:
# build/bochs/bochs.log.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh boot bochs
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target disk_image

# Bochs writes to the image it runs and locks it: it gets a copy of its own.
mkdir -p build/bochs
cp build/disk.img build/bochs/disk.img
rm -f build/bochs/disk.img.lock
export BOCHS_DISK=$PWD/build/bochs/disk.img BOCHS_LOG=$PWD/build/bochs/bochs.log

rc=tools/bochsrc
[ "${1:-}" = --floppy ] && rc=tools/bochsrc.floppy
run=(bochs -q -f "$rc" -rc tools/bochs.rc)
[ -n "${DISPLAY:-}" ] || run=(xvfb-run -a "${run[@]}")

if ! [ -t 0 ] || ! [ -t 1 ]; then
    export BOCHS_SERIAL_MODE=file BOCHS_SERIAL_DEV=/dev/stdout
    exec "${run[@]}"
fi

# On a terminal, Bochs serves COM1 on a local socket and socat joins it to
# the terminal: keys go out raw (Ctrl-C too, as a byte), line feeds come
# back as new lines, Ctrl-] (0x1d) ends the session, and socat puts the
# terminal's settings back when it ends.
port=$((20000 + RANDOM % 20000))
export BOCHS_SERIAL_MODE=socket-server BOCHS_SERIAL_DEV=127.0.0.1:$port
setsid "${run[@]}" >build/bochs/bochs.out 2>&1 </dev/null &
bochs_pid=$!
stop_bochs() { kill -- -"$bochs_pid" 2>/dev/null || true; wait "$bochs_pid" 2>/dev/null || true; }
trap stop_bochs EXIT

echo "Bochs is starting; Ctrl-] quits."
if ! socat STDIO,rawer,opost=1,onlcr=1,escape=0x1d TCP:127.0.0.1:"$port",retry=300,interval=0.1; then
    echo "Bochs did not take the terminal; its output (build/bochs/bochs.out):" >&2
    tail -n 20 build/bochs/bochs.out >&2
    exit 1
fi
echo
