#!/usr/bin/env bash
# Installs the Debian packages the build, the system and its tests need, the
# ones still missing: among them Bochs and Xvfb, and for the web page and its
# test Chromium, node, npm and SeaBIOS's images. Installing needs root;
# otherwise it names what to install.
#
#   tools/deps.sh [gui]    gui: also the QEMU window front end
set -euo pipefail

packages=(cmake make g++ gcc-multilib g++-multilib binutils googletest
          nlohmann-json3-dev libbenchmark-dev qemu-system-x86 qemu-user mtools
          clang libclang-rt-14-dev valgrind
          bochs bochsbios vgabios bochs-x xvfb xauth chromium nodejs seabios)
# npm comes with some builds of nodejs and is a package of its own with Debian's.
command -v npm >/dev/null || packages+=(npm)
[ "${1:-}" = gui ] && packages+=(qemu-system-gui)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages; install them as root with:" >&2
    echo "  apt-get install -y ${missing[*]}" >&2
    exit 1
fi
# g++-i686-linux-gnu would remove the multilib packages: never install it.
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
