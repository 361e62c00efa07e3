#!/usr/bin/env bash
# Boots the benchmark image (the renderer's scenes, timed inside the guest)
# through the system's own boot chain in QEMU and prints a table, in two
# clocks:
#   real time    plain TCG: the guest's time-stamp counter runs at the host's
#                rate, calibrated in the same run against timer channel 2.
#                What a user of the emulator waits.
#   icount       -icount shift=5, as the system's own runs: virtual time,
#                32 ns a guest instruction (a string instruction counts each
#                repetition), the same on every run.
# Each clock is run RUNS times (default 3); the table shows the median of
# the runs' medians. Then the flight (bench/flight.h), every frame timed with
# the kernel's timer and interrupts on, through the full path (every frame
# cleared, drawn and copied whole) and the frame loop's own: instructions a
# frame by the console's state, icount only, and bytes written to display
# memory a frame; the run fails if any frame's display differs between the
# two. Serial logs and the table stay in BUILD/bench/qemu/.
#
#   bench/qemu_bench.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
runs=${RUNS:-3}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_disk_image >/dev/null
image=$build/bench/bench_disk.img
logs=$build/bench/qemu
rm -rf "$logs"
mkdir -p "$logs"

# The guest ends QEMU through isa-debug-exit: a write of v to its port
# gives exit status (v << 1) | 1, so 1 means every check passed.
boot() {
    local clock=$1 run=$2 status=0
    local machine
    mapfile -t machine < <(tools/qemu_args.sh "$image" "$clock" ide exit)
    timeout 300 qemu-system-i386 -display none "${machine[@]}" \
        -serial "file:$logs/$clock.$run.txt" || status=$?
    if [ "$status" -ne 1 ]; then
        echo "qemu_bench: the $clock run $run ended with status $status:" >&2
        cat "$logs/$clock.$run.txt" >&2
        exit 1
    fi
}

for clock in realtime icount; do
    for run in $(seq "$runs"); do
        boot "$clock" "$run"
    done
done

awk -v runs="$runs" '
function median(list,    n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 2; i <= n; i++)
        for (j = i; j > 1 && a[j] + 0 < a[j - 1] + 0; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
}
FNR == 1 { split(FILENAME, p, "/"); clock = p[length(p)]; sub(/\..*/, "", clock) }
# A prompt (">") of the console may stand before a line of the serial copy.
{ sub(/^.*BENCH /, "BENCH ") }
$1 == "BENCH" && $2 == "time" {
    if (!(($3) in seen)) { seen[$3] = 1; order[++names] = $3 }
    ns[clock, $3] = ns[clock, $3] " " $4
    tri[$3] = $7; px[$3] = $8
}
$1 == "BENCH" && $2 == "rate" { rate[clock] = rate[clock] " " $3 }
$1 == "BENCH" && $2 == "ticks" { ticks[clock] = ticks[clock] " " $3 }
$1 == "BENCH" && $2 == "check" && $4 != "same" { bad = bad " " $3 }
$1 == "BENCH" && $2 == "flight" {
    key = $3 " " $4
    if (!(key in fseen)) { fseen[key] = 1; forder[++fnames] = key }
    fframes[key] = $5
    fmean[clock, key] = fmean[clock, key] " " $6; fworst[clock, key] = fworst[clock, key] " " $7
    fat[key] = $8; fbytes[key] = $9; fbworst[key] = $10
}
function ms(clock, name) { return median(ns[clock, name]) / 1e6 }
END {
    printf "%-34s %12s %12s   %s\n", "benchmark (median of " runs " runs)", "real ms", "icount ms", "notes (real time)"
    base = ms("realtime", "memset64000") + ms("realtime", "memcpy64000")
    for (i = 1; i <= names; i++) {
        n = order[i]; r = ms("realtime", n); v = ms("icount", n)
        note = ""
        if (n ~ /^scene|^cube|^frame/) note = sprintf("%.1f x (memset+memcpy)", r / base)
        if (n == "sceneB") note = note sprintf("; target < 14.3 ms: %s", r < 14.3 ? "met" : "NOT met")
        if (n == "sceneC") note = note sprintf("; %.3f Gpx/s, %.0f%% of memset", px[n] / r / 1e6, 100 * (px[n] / r) / (64000 / ms("realtime", "memset64000")))
        if (n == "sceneD") note = note sprintf("; %.2f Mtriangles/s", tri[n] / r / 1e3)
        if (n == "sceneA_per_pixel") note = sprintf("%.3f Gpx/s; scene A is %.1f x faster", px[n] / r / 1e6, r / ms("realtime", "sceneA"))
        if (n ~ /^mem/) note = sprintf("%.2f GB/s", 64000 / r / 1e6)
        printf "%-34s %12.3f %12.3f   %s\n", n, r, v, note
    }
    if (fnames > 0) {
        # Instruction-counted: 32 ns an instruction (-icount shift=5).
        printf "\nflight, a frame (instructions: icount ns / 32; bytes: written to display memory)\n"
        printf "%-16s %7s %11s %11s %7s %11s %11s\n", "path, console", "frames", "mean instr", "worst instr", "(frame)", "mean bytes", "worst bytes"
        for (i = 1; i <= fnames; i++) {
            k = forder[i]
            printf "%-16s %7d %11.0f %11.0f %7d %11d %11d\n", k, fframes[k], median(fmean["icount", k]) / 32,
                median(fworst["icount", k]) / 32, fat[k], fbytes[k], fbworst[k]
            split(k, pk, " ")
            if (pk[1] == "changed") {
                full = "full " pk[2]
                printf "%-16s %7s %11.2f %11.2f %7s %11.1f   (full path / frame loop)\n", "  ratio", "", median(fmean["icount", full]) / median(fmean["icount", k]),
                    median(fworst["icount", full]) / median(fworst["icount", k]), "", fbytes[full] / (fbytes[k] ? fbytes[k] : 1)
            }
        }
    }
    printf "TSC rate, counts/s (start, end of each run): real time%s; icount%s\n", rate["realtime"], rate["icount"]
    printf "Timer interrupts during the 8 frames with them on: real time%s; icount%s\n", ticks["realtime"], ticks["icount"]
    if (bad != "") { printf "DIFFERENT from the per-pixel rule:%s\n", bad; exit 1 }
}' "$logs"/realtime.*.txt "$logs"/icount.*.txt | tee "$logs/table.txt"
