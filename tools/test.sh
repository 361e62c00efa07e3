#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the host
# unit tests and the QEMU system tests.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build
cmake --build build -j"$(nproc)"
ctest --test-dir build -j"$(nproc)" --output-on-failure
