#!/usr/bin/env bash
# Makes the loader's fuzz corpus: small mtools-made FAT12 volumes holding a
# tiny kernel, sound ones and ones with one fault patched in, one volume of
# the system disk's layout with a 60 KB kernel, and volumes of other legal
# layouts made by mkfs.fat and filled by mcopy, each cut off after its last
# used cluster. Writes fuzz/corpus/*.img and fuzz/corpus.txt, one line per
# volume: its name, a tab, and either the "ERROR:" line the loader must end
# with or "ENTER" and the entry address it must call. Volumes the fuzzer
# found and that are kept (fuzz/corpus/found-*.img, listed with their ends
# in fuzz/found.txt) stay and are listed last. Needs mtools and dosfstools.
#
#   fuzz/make_corpus.sh
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=$here/corpus
list=$here/corpus.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The map's addresses (hw/memmap.h) the kernels and patches use.
KERNEL_BASE=$("$here/../tools/map_value.sh" MAP_KERNEL_BASE)
LOADER_BASE=$("$here/../tools/map_value.sh" MAP_LOADER_BASE)
hex() { printf '0x%X' $(($1)); }

# Fixed dates and serial number, so that a rerun makes the same bytes.
export MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=0 SOURCE_DATE_EPOCH=946684800
EPOCH=@$SOURCE_DATE_EPOCH

# Volumes are mformat's 160 KB layout unless FORMAT says otherwise: 512-byte
# sectors, 1 sector per cluster, 1 reserved sector, 2 FATs of 1 sector, 64
# root entries (sectors 3-6), data from sector 7, 320 sectors: clusters 2 to
# 314, cluster c at sector c + 5.
FORMAT=160
CLUSTER=
RESERVED=
FAT=512
ROOT=1536
DATA_SECTOR=7

# --- The tiny kernel: code at the kernel's base, data with a zero tail, and a
# non-loadable stack header, like the real kernel's; WORDS words of data.
cat >"$work/kernel.S" <<'EOF'
        .text
        .globl start
start:  cli
1:      hlt
        jmp     1b
        .data
        .fill   WORDS, 4, 0x12345678
        .bss
        .space  0x400
        .section .note.GNU-stack, "", @progbits
EOF
cat >"$work/kernel.ld" <<EOF
ENTRY(start)
PHDRS { text PT_LOAD FLAGS(5); data PT_LOAD FLAGS(6); stack PT_GNU_STACK FLAGS(6); }
SECTIONS {
    . = $KERNEL_BASE;
    .text : { *(.text) } :text
    . = $(hex KERNEL_BASE+0x1000);
    .data : { *(.data) } :data
    .bss : { *(.bss) } :data
}
EOF
kernel_elf() {   # kernel_elf NAME WORDS
    sed "s/WORDS/$2/" "$work/kernel.S" | as --32 -o "$work/$1.o"
    ld -m elf_i386 -n -T "$work/kernel.ld" --build-id=none -o "$work/$1.elf" "$work/$1.o"
    strip "$work/$1.elf"
}
kernel_elf kernel 300
kernel_elf kernel-60k 15000

# --- Byte patching.
poke8() { printf "\\x$(printf %02x $(($3)))" | dd of="$1" bs=1 seek=$(($2)) conv=notrunc status=none; }
poke16() { poke8 "$1" "$2" $(($3 & 0xFF)); poke8 "$1" $(($2 + 1)) $((($3 >> 8) & 0xFF)); }
poke32() { poke16 "$1" "$2" $(($3 & 0xFFFF)); poke16 "$1" $(($2 + 2)) $((($3 >> 16) & 0xFFFF)); }
peek8() { od -An -t u1 -j "$2" -N 1 "$1" | tr -d ' '; }
peek16() { od -An -t u2 -j "$2" -N 2 "$1" | tr -d ' '; }

# Sets FAT12 entry `cluster` to `value` in both FATs.
fat_set() {
    local img=$1 cluster=$2 value=$3 fat at word
    for fat in $FAT $((FAT + 512 * $(peek16 "$img" 0x16))); do
        at=$((fat + cluster + cluster / 2))
        word=$(peek16 "$img" $at)
        if ((cluster & 1)); then
            word=$(((word & 0x000F) | (value << 4)))
        else
            word=$(((word & 0xF000) | value))
        fi
        poke16 "$img" $at $word
    done
}

# The highest cluster whose FAT entry is in use.
last_cluster() {
    od -An -v -t u1 -j $FAT -N 512 "$1" | awk '
        { for (i = 1; i <= NF; i++) b[n++] = $i }
        END {
            last = 1
            for (c = 2; c + c / 2 + 1 < 512; c++) {
                at = int(c + c / 2)
                w = b[at] + 256 * b[at + 1]
                e = c % 2 ? int(w / 16) : w % 4096
                if (e) last = c
            }
            print last
        }'
}

# A program header field of an ELF file: header i, byte offset within it.
ph_field() { echo $(($(od -An -t u4 -j 28 -N 4 "$1") + 32 * $2 + $3)); }

# Cuts a volume off after its last used cluster.
cut_after_last_cluster() {
    local img=$1 spc reserved fats spf root data
    spc=$(peek8 "$img" 13) reserved=$(peek16 "$img" 14) fats=$(peek8 "$img" 16)
    root=$(peek16 "$img" 17) spf=$(peek16 "$img" 22)
    data=$((reserved + fats * spf + root * 32 / 512))
    local FAT=$((reserved * 512))
    truncate -s $(((data + ($(last_cluster "$img") - 1) * spc) * 512)) "$img"
}

# --- Volumes.
# volume NAME [FILE:NAME]...: a fresh volume in the work directory.
volume() {
    local img=$work/$1.img
    shift
    rm -f "$img"
    mformat -C -f "$FORMAT" ${CLUSTER:+-c "$CLUSTER"} ${RESERVED:+-R "$RESERVED"} -N 12345678 -i "$img" ::
    fill "$img" "$@"
}

# fill IMAGE [FILE:NAME]...: copies the files in, with fixed dates, and cuts
# the image off after its last used cluster.
fill() {
    local img=$1 entry
    shift
    for entry in "$@"; do
        touch -d "$EPOCH" "${entry%%:*}"
        mcopy -m -i "$img" "${entry%%:*}" "::${entry#*:}"
    done
    cut_after_last_cluster "$img"
}

# mkfs_volume NAME "MKFS.FAT OPTIONS" KILOBYTES [FILE:NAME]...: a fresh
# volume made by mkfs.fat (FAT12, fixed volume id and dates) instead.
mkfs_volume() {
    local img=$work/$1.img options=$2 size=$3
    shift 3
    rm -f "$img"
    # shellcheck disable=SC2086
    mkfs.fat -C --invariant -F 12 $options "$img" "$size" >/dev/null
    fill "$img" "$@"
}

# keep NAME EXPECTED: puts the volume into the corpus with its outcome.
keep() {
    cp "$work/$1.img" "$out/$1.img"
    printf '%s\t%s\n' "$1.img" "$2" >>"$list"
}

# An ELF variant of the tiny kernel: elf NAME, then patch it.
elf() { cp "$work/kernel.elf" "$work/$1.elf"; echo "$work/$1.elf"; }

printf 'seed volume\n' >"$work/readme"
printf 'hello' >"$work/notelf"
: >"$work/empty"
K=$work/kernel.elf

mkdir -p "$out"
find "$out" -name '*.img' ! -name 'found-*' -delete
: >"$list"

# Sound volumes. The kernel takes clusters 3-6 after README's cluster 2.
volume valid "$work/readme:README" "$K:KRNL.VOX"
keep valid "ENTER 0xC0000000"
volume valid-kernel-only "$K:KRNL.VOX"
keep valid-kernel-only "ENTER 0xC0000000"
# 360 KB: 2 sectors per cluster, FATs of 2 sectors, 112 root entries.
FORMAT=360 volume valid-360 "$work/readme:README" "$work/notelf:HELLO.TXT" "$K:KRNL.VOX"
keep valid-360 "ENTER 0xC0000000"
# The system disk's layout: 1.44 MB, 32 reserved sectors, 4 KiB clusters.
FORMAT=1440 CLUSTER=8 RESERVED=32 volume valid-system-layout "$work/readme:README" \
    "$work/kernel-60k.elf:KRNL.VOX"
keep valid-system-layout "ENTER 0xC0000000"

# Other legal layouts, made by mkfs.fat and filled by mcopy. 4096 root
# entries: 256 sectors, more than one ATA command reads; 32 reserved
# sectors, room for the boot stages.
mkfs_volume mkfs-root-4096 "-R 32 -r 4096" 1440 "$work/readme:README" "$K:KRNL.VOX"
keep mkfs-root-4096 "ENTER 0xC0000000"
# 2.88 MB, one FAT, 2 sectors per cluster.
mkfs_volume mkfs-2880-one-fat "-f 1 -s 2 -r 240" 2880 "$work/readme:README" "$K:KRNL.VOX"
keep mkfs-2880-one-fat "ENTER 0xC0000000"
# 720 KB, 7 reserved sectors, 2 sectors per cluster, 112 root entries.
mkfs_volume mkfs-720-reserved-7 "-R 7 -s 2 -r 112" 720 "$work/readme:README" "$K:KRNL.VOX"
keep mkfs-720-reserved-7 "ENTER 0xC0000000"
# 32 KiB clusters: the whole kernel in one cluster, read in one command.
mkfs_volume mkfs-1440-32k-clusters "-s 64" 1440 "$work/readme:README" "$K:KRNL.VOX"
keep mkfs-1440-32k-clusters "ENTER 0xC0000000"
# A fragmented kernel: two of its clusters in the hole a deleted file left,
# the rest after the file behind it.
printf '%1200s' pad >"$work/pad2"
printf '%700s' pad >"$work/pad1"
mkfs_volume mkfs-fragmented "" 1440 "$work/readme:README" "$work/pad2:PAD2" "$work/pad1:PAD1"
mdel -i "$work/mkfs-fragmented.img" ::PAD2
mcopy -m -i "$work/mkfs-fragmented.img" "$K" ::KRNL.VOX
cut_after_last_cluster "$work/mkfs-fragmented.img"
keep mkfs-fragmented "ENTER 0xC0000000"
# A root directory full to its last slot, without an end mark: 16 entries
# (one sector), 15 files and the kernel last. The image follows it.
files=()
for i in $(seq -w 1 15); do
    printf '%s' "$i" >"$work/f$i"
    files+=("$work/f$i:F$i.TXT")
done
mkfs_volume mkfs-root-full "-r 16" 1440 "${files[@]}" "$K:KRNL.VOX"
keep mkfs-root-full "ENTER 0xC0000000"

# On the 360 KB layout (data from sector 12, 2 sectors a cluster) the
# kernel's first cluster moved from 3 to 341, whose FAT entry starts at the
# first FAT sector's last byte: its link is read from two FAT sectors.
FORMAT=360 volume fat-entry-crosses-sectors "$work/readme:README" "$K:KRNL.VOX"
f=$work/fat-entry-crosses-sectors.img
dd if="$f" of="$f" bs=512 skip=14 seek=690 count=2 conv=notrunc status=none
poke16 "$f" $((5 * 512 + 32 + 0x1A)) 341
fat_set "$f" 341 4
fat_set "$f" 3 0
truncate -s $((692 * 512)) "$f"
keep fat-entry-crosses-sectors "ENTER 0xC0000000"

KERNEL_ENTRY=$((ROOT + 32))   # the kernel's directory entry on "valid"
KERNEL_SIZE=$(stat -c %s "$K")

# A directory entry at slot SLOT of a volume's root: NAME (11 bytes), ATTR.
dir_entry() {   # dir_entry IMG SLOT NAME ATTR
    local at=$((ROOT + 32 * $2)) i code
    for ((i = 0; i < 11; i++)); do
        printf -v code %d "'${3:i:1}"
        poke8 "$1" $((at + i)) "$code"
    done
    poke8 "$1" $((at + 11)) "$4"
}

# Boot sector fields.
bpb() {   # bpb NAME WIDTH OFFSET VALUE EXPECTED
    volume "$1" "$work/readme:README" "$K:KRNL.VOX"
    "poke$2" "$work/$1.img" "$3" "$4"
    keep "$1" "$5"
}
bpb bps-0 16 0x0B 0 "ERROR: BAD BYTES PER SECTOR 0"
bpb bps-4096 16 0x0B 4096 "ERROR: BAD BYTES PER SECTOR 4096"
bpb spc-0 8 0x0D 0 "ERROR: BAD SECTORS PER CLUSTER 0"
bpb spc-3 8 0x0D 3 "ERROR: BAD SECTORS PER CLUSTER 3"
bpb reserved-0 16 0x0E 0 "ERROR: BAD RESERVED SECTORS 0"
bpb fats-0 8 0x10 0 "ERROR: BAD NUMBER OF FATS 0"
# The media descriptors the format defines are 0xF0 and 0xF8-0xFF.
bpb media-0 8 0x15 0 "ERROR: BAD MEDIA BYTE 0x0"
bpb media-f7 8 0x15 0xF7 "ERROR: BAD MEDIA BYTE 0xF7"
bpb media-f8 8 0x15 0xF8 "ENTER 0xC0000000"
bpb spf-0 16 0x16 0 "ERROR: BAD SECTORS PER FAT 0"
bpb root-17 16 0x11 17 "ERROR: BAD ROOT DIR ENTRIES 17"
# 8176 entries take 511 sectors, more than this volume has.
bpb root-8176 16 0x11 8176 "ERROR: BAD TOTAL SECTORS 320"
bpb spf-65535 16 0x16 65535 "ERROR: FAT AREA TOO LARGE 131070"
bpb total-0 16 0x13 0 "ERROR: BAD TOTAL SECTORS 0"
# 4085 clusters make a FAT16 volume; 400 clusters need more than one sector
# of FAT12 (cluster c at sector c + 5).
bpb clusters-4085 16 0x13 $((4085 + DATA_SECTOR)) "ERROR: TOO MANY CLUSTERS FOR FAT12 4085"
bpb fat-too-small 16 0x13 $((400 + DATA_SECTOR)) "ERROR: FAT TOO SMALL FOR CLUSTERS 400"

# Directory entry and cluster chain (kernel chain 3 -> 4 -> 5 -> 6).
chain() {   # chain NAME CLUSTER LINK EXPECTED
    volume "$1" "$work/readme:README" "$K:KRNL.VOX"
    fat_set "$work/$1.img" "$2" "$3"
    keep "$1" "$4"
}
chain chain-cycle 5 3 "ERROR: CLUSTER CHAIN LOOPS"
chain chain-ends-early 5 0xFFF "ERROR: CLUSTER CHAIN SHORTER THAN FILE SIZE $KERNEL_SIZE"
chain chain-to-1 4 1 "ERROR: BAD CLUSTER 1"
chain chain-to-free 4 0 "ERROR: BAD CLUSTER 0"
chain chain-past-end 4 315 "ERROR: BAD CLUSTER 315"
chain chain-bad-mark 4 0xFF7 "ERROR: BAD CLUSTER 4087"
# Cluster 300 is a cluster of the volume, but past the end of this disk.
chain chain-past-disk 4 300 "ERROR: DISK FAULT AT LBA 305"

volume first-cluster-ff8 "$work/readme:README" "$K:KRNL.VOX"
poke16 "$work/first-cluster-ff8.img" $((KERNEL_ENTRY + 0x1A)) 0xFF8
keep first-cluster-ff8 "ERROR: CLUSTER CHAIN SHORTER THAN FILE SIZE $KERNEL_SIZE"
volume first-cluster-big "$work/readme:README" "$K:KRNL.VOX"
poke16 "$work/first-cluster-big.img" $((KERNEL_ENTRY + 0x1A)) 0x1002
keep first-cluster-big "ERROR: BAD CLUSTER 4098"
volume empty-kernel "$work/readme:README" "$work/empty:KRNL.VOX"
keep empty-kernel "ERROR: KERNEL FILE EMPTY"
volume no-kernel "$work/readme:README"
keep no-kernel "ERROR: KERN.VOX NOT FOUND"
volume not-elf "$work/notelf:KRNL.VOX"
keep not-elf "ERROR: ELF_MAGIC BORKED"

# The directory entry's recorded size bounds the file.
size() {   # size NAME SIZE EXPECTED
    volume "$1" "$work/readme:README" "$K:KRNL.VOX"
    poke32 "$work/$1.img" $((KERNEL_ENTRY + 0x1C)) "$2"
    keep "$1" "$3"
}
size size-0 0 "ERROR: KERNEL FILE EMPTY"
size size-100 100 "ERROR: PROGRAM HEADERS OUTSIDE FILE"
size size-past-chain 1000000 "ERROR: CLUSTER CHAIN SHORTER THAN FILE SIZE 1000000"
# Ten of the data segment's file bytes in the file.
size size-cuts-segment $(($(od -An -t u4 -j "$(ph_field "$K" 1 0x04)" -N 4 "$K") + 10)) \
    "ERROR: SEGMENT OUTSIDE FILE AT 0xC0001000"
# 4 MiB of 512-byte clusters reach the kernel range behind the directory.
size size-fills-memory 0x400000 "ERROR: KERNEL FILE TOO LARGE"

# Only a regular file is the kernel, the first one of its name.
attr() {   # attr NAME ATTR: the kernel's entry with another attribute
    volume "$1" "$work/readme:README" "$K:KRNL.VOX"
    poke8 "$work/$1.img" $((KERNEL_ENTRY + 0x0B)) "$2"
    keep "$1" "ERROR: KERN.VOX NOT FOUND"
}
attr kernel-is-label 0x08
attr kernel-is-directory 0x10
attr kernel-is-long-name 0x0F
volume label-after-kernel "$work/readme:README" "$K:KRNL.VOX"
dir_entry "$work/label-after-kernel.img" 2 "KRNL    VOX" 0x08
keep label-after-kernel "ENTER 0xC0000000"
volume label-before-kernel "$work/readme:README" "$K:KRNL.VOX"
dir_entry "$work/label-before-kernel.img" 0 "KRNL    VOX" 0x08
keep label-before-kernel "ENTER 0xC0000000"
# Control bytes in another file's name show as glyphs; the kernel still loads.
volume control-in-name "$work/readme:README" "$K:KRNL.VOX"
poke8 "$work/control-in-name.img" $((ROOT + 2)) 0x0A
poke8 "$work/control-in-name.img" $((ROOT + 3)) 0x0D
keep control-in-name "ENTER 0xC0000000"

# The kernel file.
kernel() {   # kernel NAME EXPECTED: the patched $work/NAME.elf as the kernel
    volume "$1" "$work/readme:README" "$work/$1.elf:KRNL.VOX"
    keep "$1" "$2"
}
f=$(elf elf-truncated)
truncate -s 600 "$f"
kernel elf-truncated "ERROR: SEGMENT OUTSIDE FILE AT 0xC0001000"
f=$(elf elf-class-64); poke8 "$f" 4 2
kernel elf-class-64 "ERROR: BAD ELF CLASS 2"
f=$(elf elf-big-endian); poke8 "$f" 5 2
kernel elf-big-endian "ERROR: BAD ELF BYTE ORDER 2"
f=$(elf elf-ident-version-0); poke8 "$f" 6 0
kernel elf-ident-version-0 "ERROR: BAD ELF IDENT VERSION 0"
f=$(elf elf-type-rel); poke16 "$f" 0x10 1
kernel elf-type-rel "ERROR: BAD ELF TYPE 1"
f=$(elf elf-version-0); poke32 "$f" 0x14 0
kernel elf-version-0 "ERROR: BAD ELF VERSION 0"
f=$(elf elf-machine-62); poke16 "$f" 0x12 62
kernel elf-machine-62 "ERROR: BAD ELF MACHINE 62"
f=$(elf elf-phentsize-0); poke16 "$f" 0x2A 0
kernel elf-phentsize-0 "ERROR: BAD PROGRAM HEADER SIZE 0"
f=$(elf elf-phentsize-40); poke16 "$f" 0x2A 40
kernel elf-phentsize-40 "ERROR: BAD PROGRAM HEADER SIZE 40"
# The table copied behind the file at an odd offset reads as well.
f=$(elf elf-phoff-odd)
printf '\0' >>"$f"
dd if="$K" bs=1 skip="$(ph_field "$K" 0 0)" count=96 status=none >>"$f"
poke32 "$f" 0x1C $(($(stat -c %s "$K") + 1))
kernel elf-phoff-odd "ENTER 0xC0000000"
# The stack header made an interpreter or a dynamic section.
f=$(elf elf-interp); poke32 "$f" "$(ph_field "$f" 2 0)" 3
kernel elf-interp "ERROR: KERNEL NEEDS DYNAMIC LINKING, HEADER TYPE 3"
f=$(elf elf-dynamic); poke32 "$f" "$(ph_field "$f" 2 0)" 2
kernel elf-dynamic "ERROR: KERNEL NEEDS DYNAMIC LINKING, HEADER TYPE 2"
f=$(elf elf-phnum-65535); poke16 "$f" 0x2C 65535
kernel elf-phnum-65535 "ERROR: PROGRAM HEADERS OUTSIDE FILE"
f=$(elf elf-phoff-wraps); poke32 "$f" 0x1C 0xFFFFFFF0
kernel elf-phoff-wraps "ERROR: PROGRAM HEADERS OUTSIDE FILE"
f=$(elf segment-offset-wraps); poke32 "$f" $(ph_field "$f" 0 0x04) 0xFFFFFFF0
kernel segment-offset-wraps "ERROR: SEGMENT OUTSIDE FILE AT 0xC0000000"
f=$(elf segment-over-loader); poke32 "$f" $(ph_field "$f" 0 0x08) "$LOADER_BASE"
kernel segment-over-loader "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xBFC01000"
f=$(elf segment-at-0); poke32 "$f" $(ph_field "$f" 0 0x08) 0
kernel segment-at-0 "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0x0"
f=$(elf segment-into-stack); poke32 "$f" $(ph_field "$f" 1 0x14) 0x3EF001
kernel segment-into-stack "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xC0001000"
f=$(elf segment-wraps); poke32 "$f" $(ph_field "$f" 1 0x08) 0xFFFFFF00
kernel segment-wraps "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xFFFFFF00"
f=$(elf filesz-above-memsz); poke32 "$f" $(ph_field "$f" 1 0x10) 0x1000
kernel filesz-above-memsz "ERROR: SEGMENT FILE SIZE ABOVE MEMORY SIZE AT 0xC0001000"
f=$(elf filesz-above-memsz-0); poke32 "$f" $(ph_field "$f" 1 0x10) 0x100; poke32 "$f" $(ph_field "$f" 1 0x14) 0
kernel filesz-above-memsz-0 "ERROR: SEGMENT FILE SIZE ABOVE MEMORY SIZE AT 0xC0001000"
f=$(elf entry-outside); poke32 "$f" 0x18 $((KERNEL_BASE + 0x100000))
kernel entry-outside "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0100000"
f=$(elf entry-in-data); poke32 "$f" 0x18 $((KERNEL_BASE + 0x1000))
kernel entry-in-data "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0001000"
# The code segment given a zero tail up to the data, the entry in the tail.
f=$(elf entry-in-zero-tail); poke32 "$f" $(ph_field "$f" 0 0x14) 0x1000; poke32 "$f" 0x18 $((KERNEL_BASE + 0x800))
kernel entry-in-zero-tail "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0000800"
f=$(elf segments-overlap); poke32 "$f" $(ph_field "$f" 1 0x08) "$KERNEL_BASE"
kernel segments-overlap "ERROR: SEGMENTS OVERLAP AT 0xC0000000"
# Code and data headers swapped: the data's first, the code's below it.
f=$(elf segments-out-of-order)
dd if="$K" bs=1 skip="$(ph_field "$K" 0 0)" count=32 of="$f" seek="$(ph_field "$K" 1 0)" conv=notrunc status=none
dd if="$K" bs=1 skip="$(ph_field "$K" 1 0)" count=32 of="$f" seek="$(ph_field "$K" 0 0)" conv=notrunc status=none
kernel segments-out-of-order "ERROR: SEGMENTS OUT OF ORDER AT 0xC0000000"

cat "$here/found.txt" >>"$list"
echo "$(wc -l <"$list") volumes in $out"
