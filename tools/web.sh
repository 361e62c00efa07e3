#!/usr/bin/env bash
# Builds the disk image and the web page that boots it in the browser (the
# v86 emulator). Without arguments it puts the page in build/web/ and serves
# it on 127.0.0.1, port $PORT (8000 when unset): open the printed address;
# Ctrl-C stops the server. With --build DIR it writes the page into DIR and
# stops: a folder to publish on any static web host as it is (every path in
# it is relative; it needs nothing from outside).
#
#   tools/web.sh
#   tools/web.sh --build DIR
set -euo pipefail
out="" serve=1
if [ "${1:-}" = --build ]; then
    [ $# -eq 2 ] || { echo "usage: tools/web.sh [--build DIR]" >&2; exit 2; }
    out=$(realpath -m "$2") serve=0
elif [ $# -ne 0 ]; then
    echo "usage: tools/web.sh [--build DIR]" >&2
    exit 2
fi
cd "$(dirname "$0")/.."
out=${out:-$PWD/build/web}
tools/deps.sh boot web
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target disk_image
web/build.sh "$out" build/npm build/disk.img
if [ $serve = 1 ]; then
    exec node web/serve.js "$out" "${PORT:-8000}"
fi
echo "The page is in $out: copy the folder to any static web host, or try it with"
echo "  python3 -m http.server --bind 127.0.0.1 --directory $out 8000"
