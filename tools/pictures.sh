#!/usr/bin/env bash
# Makes the README's pictures of the demo flight from the build (the
# kernel's own pipeline on the host) and puts them in docs/.
#
#   tools/pictures.sh [BUILD_DIR]     (build when unset)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target flight_pictures
cp "$build/pictures/flight.png" "$build/pictures/flight_still.png" docs/
echo "docs/flight.png and docs/flight_still.png made from $build"
