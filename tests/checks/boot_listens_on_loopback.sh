#!/bin/sh
# tools/boot.sh --gdb --vnc opens the gdb stub (1234) and the VNC server
# (5900) on 127.0.0.1 only: no socket of either port listens on any other
# address, IPv4 or IPv6.
#
# usage: boot_listens_on_loopback.sh SOURCE_DIR BUILD_DIR
set -eu
src=$1 build=$2
log=$build/boot_listens.log
BUILD_DIR=$build setsid "$src/tools/boot.sh" --gdb --vnc </dev/null >"$log" 2>&1 &
pid=$!
trap 'kill -- -$pid 2>/dev/null || true' EXIT

GDB=04D2 VNC=170C            # the ports in /proc/net's hex
LOOPBACK=0100007F            # 127.0.0.1, as /proc/net/tcp writes it
listening() { awk 'NR > 1 && $4 == "0A" { print $2 }' /proc/net/tcp /proc/net/tcp6; }

tries=0
until listening | grep -q ":$GDB\$" && listening | grep -q ":$VNC\$"; do
    tries=$((tries + 1))
    if [ $tries -gt 1200 ] || ! kill -0 $pid 2>/dev/null; then
        echo "boot.sh never listened on both ports:"; cat "$log"; exit 1
    fi
    sleep 0.1
done
sleep 0.5                    # whatever else it opens, it has opened
bad=$(listening | grep -E ":($GDB|$VNC)\$" | grep -v "^$LOOPBACK:" || true)
if [ -n "$bad" ]; then
    echo "listening beyond 127.0.0.1: $bad"; exit 1
fi
echo "gdb and VNC listen on 127.0.0.1 only"
