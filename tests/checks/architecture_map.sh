#!/bin/sh
# The memory map in docs/ARCHITECTURE.md says what hw/memmap.h says: every
# address the header defines has its row, with the same number.
#
# usage: architecture_map.sh SOURCE_DIR
set -eu
cd "$1"
status=0
# The header's addresses (not its sizes) come in as a here-document, so that
# the loop runs in this shell and its status stays.
while read -r name value; do
    row=$(grep -E "^\| \`$name\` \|" docs/ARCHITECTURE.md || true)
    if [ -z "$row" ]; then
        echo "docs/ARCHITECTURE.md has no row for $name"; status=1; continue
    fi
    shown=$(echo "$row" | awk -F'|' '{gsub(/ /, "", $3); print $3}')
    if [ $((shown)) -ne $((value)) ]; then
        echo "docs/ARCHITECTURE.md gives $name as $shown, hw/memmap.h as $value"; status=1
    fi
done <<EOF
$(grep -E '^#define MAP_[A-Z0-9_]+ +0x' hw/memmap.h | grep -v '_BYTES ' | awk '{print $2, $3}')
EOF
[ $status -eq 0 ] && echo "the architecture's memory map is hw/memmap.h's"
exit $status
