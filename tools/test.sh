#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the host
# unit tests and the system tests (QEMU, Bochs, the web page in Chromium).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh test
cmake -S . -B build
cmake --build build -j"$(nproc)"
ctest --test-dir build -j"$(nproc)" --output-on-failure
