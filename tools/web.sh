#!/usr/bin/env bash
# Builds the disk image and the web page that boots it in the browser (the v86
# emulator) into build/web/, and serves it on 127.0.0.1, port $PORT (8000 when
# unset). Open the printed address; Ctrl-C stops the server.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh boot web
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target disk_image
web/build.sh build/web build/npm build/disk.img
exec node web/serve.js build/web "${PORT:-8000}"
