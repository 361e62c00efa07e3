#!/usr/bin/env bash
# Builds and runs the renderer's benchmarks on the host (Google Benchmark),
# keeping the results: BUILD/bench/render_bench.json (Google Benchmark's
# JSON) and BUILD/bench/render_bench_ratios.json (each figure as a ratio to
# memset and memcpy of one frame, and the targets met or not).
#
# The repetitions of all benchmarks run interleaved in random order, so that
# a busy moment of a shared host falls on the baseline and the scenes
# alike instead of on whichever ran then; a later
# --benchmark_enable_random_interleaving=false turns that off.
#
#   bench/host_bench.sh [BUILD_DIR] [Google Benchmark flags...]
#   bench/host_bench.sh build --benchmark_repetitions=5
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
    build=$1
    shift
fi
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target render_bench >/dev/null
exec "$build/bench/render_bench" --benchmark_out="$build/bench/render_bench.json" \
    --benchmark_out_format=json --ratios_out="$build/bench/render_bench_ratios.json" \
    --benchmark_enable_random_interleaving=true "$@"
