#!/usr/bin/env bash
# Makes a FAT12 volume with mtools, 1.44 MB unless -f says otherwise.
#
#   mkvolume.sh -o IMAGE [-f KILOBYTES] [-R RESERVED] [-c CLUSTER] [-b BOOTSECTOR] [-r STAGES] [FILE[:NAME]]...
#
#   -f  a floppy format mformat knows: 160 ... 1440, 2880 (default 1440)
#   -R  reserved sectors (default 1, the standard layout)
#   -c  sectors per cluster (default 1, the standard layout)
#   -b  boot sector: its first 512 bytes, with mformat writing the BPB in
#   -r  image of the reserved sectors after the boot sector (the boot stages),
#       written from sector 1 on; it must fit in RESERVED - 1 sectors
#   FILE[:NAME]  files copied into the root directory in this order, under
#       NAME if given (mcopy stores a lower-case NAME as upper case with a
#       case flag)
set -euo pipefail

out= boot= stages= reserved=1 cluster=1 format=1440
while getopts "o:f:R:c:b:r:" opt; do
    case $opt in
    o) out=$OPTARG ;;
    f) format=$OPTARG ;;
    R) reserved=$OPTARG ;;
    c) cluster=$OPTARG ;;
    b) boot=$OPTARG ;;
    r) stages=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[ -n "$out" ] || { echo "mkvolume.sh: -o IMAGE is required" >&2; exit 2; }

export MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=0
rm -f "$out"
mformat -C -f "$format" -c "$cluster" -R "$reserved" -N 12345678 ${boot:+-B "$boot"} -i "$out" ::

if [ -n "$stages" ]; then
    size=$(stat -c %s "$stages")
    room=$(( (reserved - 1) * 512 ))
    if [ "$size" -gt "$room" ]; then
        echo "mkvolume.sh: $stages ($size bytes) does not fit in $room bytes of reserved sectors" >&2
        exit 1
    fi
    dd if="$stages" of="$out" bs=512 seek=1 conv=notrunc status=none
fi

for entry in "$@"; do
    src=${entry%%:*}
    name=${entry#*:}
    [ "$name" != "$entry" ] || name=$(basename "$src")
    mcopy -i "$out" "$src" "::$name"
done
