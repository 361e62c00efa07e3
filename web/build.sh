#!/usr/bin/env bash
# Puts the page, the emulator, the BIOS images and a disk image into one
# directory, ready to serve. The npm packages are installed from the lock file
# into NPM_DIR (once per version of the lock file).
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
cp "$web/index.html" "$web/page.js" "$npm_dir/node_modules/v86/build/libv86.js" \
   "$npm_dir/node_modules/v86/build/v86.wasm" "$seabios/bios.bin" \
   "$seabios/vgabios-stdvga.bin" "$out/"
cp "$disk" "$out/disk.img"
