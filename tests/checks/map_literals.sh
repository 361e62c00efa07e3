#!/bin/sh
# Every fixed address and port number is written once, in the map headers
# (hw/memmap.h, hw/ports.h): this fails naming each source line elsewhere
# that writes one of their numbers as a literal. Addresses and ports of
# three or more hex digits are looked for everywhere; the small port
# numbers (0x20, 0x60, ...), which are also common masks and characters,
# only where a port is meant (a port access, a uint16_t port constant).
# The map's own test and the prose are passed over.
#
# usage: map_literals.sh SOURCE_DIR
set -eu
cd "$1"
# Sizes (MAP_..._BYTES) are no addresses; 0x1000 and 0x10000 are also page
# and segment sizes, and are passed over.
values=$(grep -hoE '^#define (MAP|PORT)_[A-Z0-9_]+ +0x[0-9A-Fa-f]+' hw/memmap.h hw/ports.h \
         | grep -v '_BYTES ' | awk '{print $3}')
wide=$(for v in $values; do case $v in 0x1000|0x10000|0x??) ;; *) printf '%s|' "$v" ;; esac; done)
small=$(for v in $values; do case $v in 0x??) printf '%s|' "$v" ;; esac; done)
wide=${wide%|} small=${small%|}
# A literal, or a port number in a place that takes a port.
any="\\b($wide)\\b"
port="((inb|outb|inw|in8|out8|in16|on_in|on_out|inb_delayed|outb_delayed)\\W*\\(?\\s*|(inb|outb).*\\\$|uint16_t [A-Za-z_0-9]+ = |iobase=)($small)\\b"
files=$(git ls-files -- '*.cpp' '*.h' '*.S' '*.cmake' 'CMakeLists.txt' '*/CMakeLists.txt' '*.sh' '*.py' '*.js' '*.html' \
        | grep -vE '^hw/(memmap|ports)\.h$|^tests/host/boot/test_map\.cpp$|/package-lock')
# Quoted texts (the system's own lines, which may name an address) and
# comment lines are passed over.
bad=$(for f in $files; do
          sed -E 's/"([^"\\]|\\.)*"/""/g; s|//.*$||; s/(^|[[:space:]])#[[:space:]].*$//' "$f" \
              | grep -nHiE --label="$f" "$any|$port" | grep -vE '^[^:]+:[0-9]+:\s*(#|/?\*)'
      done || true)
if [ -n "$bad" ]; then
    echo "fixed addresses or ports written outside the map:"
    echo "$bad"
    exit 1
fi
echo "every fixed address and port is written in the map headers only"
