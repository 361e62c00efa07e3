#!/usr/bin/env bash
# Puts the page, the emulator, the BIOS images and a disk image into one
# directory, ready to serve from any static web server: every path in it is
# relative. The npm packages are installed from the lock file into NPM_DIR
# (once per version of the lock file).
#
#   web/build.sh OUT_DIR NPM_DIR DISK_IMAGE
set -euo pipefail
web=$(cd "$(dirname "$0")" && pwd)
out=$1 npm_dir=$2 disk=$3
seabios=/usr/share/seabios

mkdir -p "$out" "$npm_dir"
if ! cmp -s "$web/package-lock.json" "$npm_dir/node_modules/.lock-installed"; then
    cp "$web/package.json" "$web/package-lock.json" "$npm_dir/"
    (cd "$npm_dir" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
    cp "$web/package-lock.json" "$npm_dir/node_modules/.lock-installed"
fi
v86=$npm_dir/node_modules/v86
cp "$web/index.html" "$web/page.js" "$v86/build/libv86.js" "$v86/build/v86.wasm" \
   "$seabios/bios.bin" "$seabios/vgabios-stdvga.bin" "$out/"
cp "$disk" "$out/disk.img"
# What the folder passes on: the emulator's licence and the BIOS's terms.
cp "$v86/LICENSE" "$out/LICENSE.v86.txt"
cp /usr/share/doc/seabios/copyright "$out/COPYRIGHT.seabios.txt"

# The page reads the kernel's count of frames shown from the emulated
# machine's memory: the counter's address, from the kernel on the very disk
# image, made physical as the boot environment's paging maps it.
window=$("$web/../tools/map_value.sh" MAP_HIGH_WINDOW)
physical=$("$web/../tools/map_value.sh" MAP_HIGH_WINDOW_PHYSICAL)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mcopy -n -i "$disk" ::KRNL.VOX "$scratch/kernel"
counter=$(nm -C "$scratch/kernel" | awk '$3 == "kern::framesShown" { print $1 }')
if [ -z "$window" ] || [ -z "$physical" ] || [ -z "$counter" ]; then
    echo "web/build.sh: no address for the kernel's frame counter" >&2
    exit 1
fi
printf '// Written by web/build.sh: where the kernel on disk.img counts its frames.\nconst FRAMES_SHOWN_ADDRESS = 0x%08X;\n' \
    $(( 0x$counter - window + physical )) > "$out/kernel.js"
