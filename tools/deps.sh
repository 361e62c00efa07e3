#!/usr/bin/env bash
# Makes sure the tools a task needs are here, and installs the Debian
# packages that are missing.
#
#   tools/deps.sh GROUP...
#
#   boot   build the disk image and boot it in QEMU: CMake, make, g++ with
#          32-bit support (multilib), QEMU, mtools
#   gui    QEMU's window
#   bochs  Bochs (under Xvfb without a display) and socat for its terminal
#   web    node and npm, SeaBIOS's images for the page
#   test   everything the tests need: the groups above and GoogleTest,
#          Google Benchmark, nlohmann-json, qemu-user, clang, valgrind, Chromium,
#          Python (the web test serves the page with its static server)
#
# A group whose tools are all found needs nothing, on any Linux, as any
# user. Otherwise, as root on Debian or a derivative, apt-get installs the
# group's packages; as another user it names them and stops.
set -euo pipefail

declare -A packages=(
    [boot]="cmake make g++ gcc-multilib g++-multilib binutils qemu-system-x86 mtools"
    [gui]="qemu-system-gui"
    [bochs]="bochs bochsbios vgabios bochs-x xvfb xauth socat"
    [web]="nodejs seabios"
    [test]="googletest nlohmann-json3-dev libbenchmark-dev qemu-user clang libclang-rt-14-dev
            valgrind chromium python3 dosfstools"
)

have() { command -v "$1" >/dev/null 2>&1; }

# What a group needs, looked for by command and file; "" when all is here.
absent() {
    local missing=() c
    case $1 in
    boot)
        for c in cmake make g++ objcopy qemu-system-i386 mformat mcopy; do
            have "$c" || missing+=("$c")
        done
        # The kernel links the 32-bit libgcc (64-bit division).
        if have g++ && ! [ -f "$(g++ -m32 -print-libgcc-file-name 2>/dev/null)" ]; then
            missing+=("32-bit libgcc (g++ -m32)")
        fi ;;
    gui)
        have qemu-system-i386 && qemu-system-i386 -display help 2>/dev/null | grep -qE '^(gtk|sdl)$' ||
            missing+=("QEMU's gtk or sdl display") ;;
    bochs)
        for c in bochs socat; do have "$c" || missing+=("$c"); done
        [ -n "${DISPLAY:-}" ] || have xvfb-run || missing+=(xvfb-run) ;;
    web)
        for c in node npm; do have "$c" || missing+=("$c"); done
        [ -f /usr/share/seabios/bios.bin ] || missing+=("SeaBIOS's images") ;;
    test)
        missing+=("the test suite's packages") ;;   # known by package only
    *)
        echo "deps.sh: no group '$1'" >&2; exit 2 ;;
    esac
    echo "${missing[*]}"
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(boot)
# The tests run everything.
[[ " ${groups[*]} " == *" test "* ]] && groups=(boot bochs web test)

wanted=() lacking=()
for g in "${groups[@]}"; do
    gone=$(absent "$g")
    [ -z "$gone" ] && continue
    lacking+=("$gone")
    wanted+=(${packages[$g]})
done
[ ${#wanted[@]} -eq 0 ] && exit 0

if ! have dpkg-query || ! have apt-get; then
    echo "Not found: ${lacking[*]}." >&2
    echo "This is not Debian or a derivative: install these with your system's packages" >&2
    echo "(on Debian they are: ${wanted[*]})." >&2
    exit 1
fi
missing=()
for p in "${wanted[@]}"; do
    installed "$p" || missing+=("$p")
done
# npm comes with some builds of nodejs and is a package of its own with Debian's.
[[ " ${wanted[*]} " == *" nodejs "* ]] && ! have npm && ! installed npm && missing+=(npm)
if [ ${#missing[@]} -eq 0 ]; then
    [[ " ${groups[*]} " == *" test "* ]] && exit 0
    echo "Not found: ${lacking[*]}, though its Debian packages are installed." >&2
    exit 1
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "Not found: ${lacking[*]}. Install them as root with:" >&2
    echo "  apt-get install -y ${missing[*]}" >&2
    exit 1
fi
# g++-i686-linux-gnu would remove the multilib packages: never install it.
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
