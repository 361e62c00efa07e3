#!/usr/bin/env bash
# Makes the loader's fuzz corpus: small mtools-made FAT12 volumes holding a
# tiny kernel, sound ones and ones with one fault patched in, each cut off
# after its last used cluster. Writes fuzz/corpus/*.img and fuzz/corpus.txt,
# one line per volume: its name, a tab, and either the "ERROR:" line the
# loader must end with or "ENTER" and the entry address it must call.
#
#   fuzz/make_corpus.sh
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=$here/corpus
list=$here/corpus.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Fixed dates and serial number, so that a rerun makes the same bytes.
export MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=0 SOURCE_DATE_EPOCH=946684800
EPOCH=@$SOURCE_DATE_EPOCH

# Volumes are mformat's 160 KB layout unless FORMAT says otherwise: 512-byte
# sectors, 1 sector per cluster, 1 reserved sector, 2 FATs of 1 sector, 64
# root entries (sectors 3-6), data from sector 7, 320 sectors: clusters 2 to
# 314, cluster c at sector c + 5.
FORMAT=160
FAT=512
ROOT=1536
DATA_SECTOR=7

# --- The tiny kernel: code at 0xC0000000, data with a zero tail, and a
# non-loadable stack header, like the real kernel's.
cat >"$work/kernel.S" <<'EOF'
        .text
        .globl start
start:  cli
1:      hlt
        jmp     1b
        .data
        .fill   300, 4, 0x12345678
        .bss
        .space  0x400
        .section .note.GNU-stack, "", @progbits
EOF
cat >"$work/kernel.ld" <<'EOF'
ENTRY(start)
PHDRS { text PT_LOAD FLAGS(5); data PT_LOAD FLAGS(6); stack PT_GNU_STACK FLAGS(6); }
SECTIONS {
    . = 0xC0000000;
    .text : { *(.text) } :text
    . = 0xC0001000;
    .data : { *(.data) } :data
    .bss : { *(.bss) } :data
}
EOF
as --32 -o "$work/kernel.o" "$work/kernel.S"
ld -m elf_i386 -n -T "$work/kernel.ld" --build-id=none -o "$work/kernel.elf" "$work/kernel.o"
strip "$work/kernel.elf"

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
    truncate -s $(((data + ($(last_cluster "$img") - 1) * spc) * 512)) "$img"
}

# --- Volumes.
# volume NAME [FILE:NAME]...: a fresh volume in the work directory.
volume() {
    local img=$work/$1.img entry
    shift
    rm -f "$img"
    mformat -C -f "$FORMAT" -N 12345678 -i "$img" ::
    for entry in "$@"; do
        touch -d "$EPOCH" "${entry%%:*}"
        mcopy -m -i "$img" "${entry%%:*}" "::${entry#*:}"
    done
    cut_after_last_cluster "$img"
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

rm -rf "$out"
mkdir -p "$out"
: >"$list"

# Sound volumes. The kernel takes clusters 3-6 after README's cluster 2.
volume valid "$work/readme:README" "$K:KRNL.VOX"
keep valid "ENTER 0xC0000000"
volume valid-kernel-only "$K:KRNL.VOX"
keep valid-kernel-only "ENTER 0xC0000000"
# 360 KB: 2 sectors per cluster, FATs of 2 sectors, 112 root entries.
FORMAT=360 volume valid-360 "$work/readme:README" "$work/notelf:HELLO.TXT" "$K:KRNL.VOX"
keep valid-360 "ENTER 0xC0000000"
KERNEL_ENTRY=$((ROOT + 32))   # the kernel's directory entry on "valid"

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
bpb spf-0 16 0x16 0 "ERROR: BAD SECTORS PER FAT 0"
bpb root-17 16 0x11 17 "ERROR: BAD ROOT DIR ENTRIES 17"
bpb root-8176 16 0x11 8176 "ERROR: BAD ROOT DIR ENTRIES 8176"
bpb spf-65535 16 0x16 65535 "ERROR: FAT AREA TOO LARGE 131070"
bpb total-0 16 0x13 0 "ERROR: BAD TOTAL SECTORS 0"

# Directory entry and cluster chain (kernel chain 3 -> 4 -> 5 -> 6).
chain() {   # chain NAME CLUSTER LINK EXPECTED
    volume "$1" "$work/readme:README" "$K:KRNL.VOX"
    fat_set "$work/$1.img" "$2" "$3"
    keep "$1" "$4"
}
chain chain-cycle 6 3 "ERROR: CLUSTER CHAIN LOOPS"
chain chain-to-1 4 1 "ERROR: BAD CLUSTER 1"
chain chain-to-free 4 0 "ERROR: BAD CLUSTER 0"
chain chain-past-end 4 315 "ERROR: BAD CLUSTER 315"
chain chain-bad-mark 4 0xFF7 "ERROR: BAD CLUSTER 4087"
# Cluster 300 is a cluster of the volume, but past the end of this disk.
chain chain-past-disk 4 300 "ERROR: DISK FAULT AT LBA 305"

volume first-cluster-ff8 "$work/readme:README" "$K:KRNL.VOX"
poke16 "$work/first-cluster-ff8.img" $((KERNEL_ENTRY + 0x1A)) 0xFF8
keep first-cluster-ff8 "ERROR: ELF_MAGIC BORKED"
volume first-cluster-big "$work/readme:README" "$K:KRNL.VOX"
poke16 "$work/first-cluster-big.img" $((KERNEL_ENTRY + 0x1A)) 0x1002
keep first-cluster-big "ERROR: BAD CLUSTER 4098"
volume empty-kernel "$work/readme:README" "$work/empty:KRNL.VOX"
keep empty-kernel "ERROR: BAD CLUSTER 0"
volume no-kernel "$work/readme:README"
keep no-kernel "ERROR: KERN.VOX NOT FOUND"
volume not-elf "$work/notelf:KRNL.VOX"
keep not-elf "ERROR: ELF_MAGIC BORKED"

# A chain that would fill memory: 32 KiB clusters, a volume that claims
# 65535 sectors, and cluster 2 linked to itself. 125 clusters fit below
# 0xC0000000 behind the directory, far fewer than the volume's 339.
volume chain-fills-memory "$K:KRNL.VOX"
img=$work/chain-fills-memory.img
poke8 "$img" 0x0D 64
poke16 "$img" 0x13 65535
fat_set "$img" 2 2
truncate -s $(((DATA_SECTOR + 64) * 512)) "$img"
keep chain-fills-memory "ERROR: KERNEL FILE TOO LARGE"

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
f=$(elf elf-machine-62); poke16 "$f" 0x12 62
kernel elf-machine-62 "ERROR: BAD ELF MACHINE 62"
f=$(elf elf-phentsize-0); poke16 "$f" 0x2A 0
kernel elf-phentsize-0 "ERROR: BAD ELF PHENTSIZE 0"
f=$(elf elf-phnum-65535); poke16 "$f" 0x2C 65535
kernel elf-phnum-65535 "ERROR: PROGRAM HEADERS OUTSIDE FILE"
f=$(elf elf-phoff-wraps); poke32 "$f" 0x1C 0xFFFFFFF0
kernel elf-phoff-wraps "ERROR: PROGRAM HEADERS OUTSIDE FILE"
f=$(elf segment-offset-wraps); poke32 "$f" $(ph_field "$f" 0 0x04) 0xFFFFFFF0
kernel segment-offset-wraps "ERROR: SEGMENT OUTSIDE FILE AT 0xC0000000"
f=$(elf segment-over-loader); poke32 "$f" $(ph_field "$f" 0 0x08) 0xBFC01000
kernel segment-over-loader "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xBFC01000"
f=$(elf segment-at-0); poke32 "$f" $(ph_field "$f" 0 0x08) 0
kernel segment-at-0 "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0x0"
f=$(elf segment-into-stack); poke32 "$f" $(ph_field "$f" 1 0x14) 0x3EF001
kernel segment-into-stack "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xC0001000"
f=$(elf segment-wraps); poke32 "$f" $(ph_field "$f" 1 0x08) 0xFFFFFF00
kernel segment-wraps "ERROR: SEGMENT OUTSIDE KERNEL RANGE AT 0xFFFFFF00"
f=$(elf filesz-above-memsz); poke32 "$f" $(ph_field "$f" 1 0x10) 0x1000
kernel filesz-above-memsz "ERROR: SEGMENT FILE SIZE ABOVE MEMORY SIZE AT 0xC0001000"
f=$(elf entry-outside); poke32 "$f" 0x18 0xC0100000
kernel entry-outside "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0100000"
f=$(elf entry-in-data); poke32 "$f" 0x18 0xC0001000
kernel entry-in-data "ERROR: ENTRY OUTSIDE CODE SEGMENTS 0xC0001000"

echo "$(wc -l <"$list") volumes in $out"
