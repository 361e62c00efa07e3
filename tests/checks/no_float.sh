#!/bin/sh
# Fails when the kernel image holds a floating-point or vector instruction
# where none belongs. The timer's delta time is the kernel's one float
# computation (kern::UpdateTimer, x87); everything else is integer code, so
# an x87, MMX or SSE instruction elsewhere means float arithmetic crept in,
# and with it FPU state that the interrupt stubs do not save.
#
# Allowed outside UpdateTimer, because the x87 must be reset and a float
# result travels in st(0) under the i386 calling convention:
#   start               fninit   (the x87 reset before kmain)
#   fninit()            fninit   (the same reset through the hardware seam)
#   kern::GetDeltaTime  fld      (hands the stored delta back in st(0))
#
# usage: no_float.sh OBJDUMP KERNEL_ELF
#        no_float.sh --listing FILE   (an objdump -d -C listing, for testing)
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 OBJDUMP KERNEL_ELF | --listing FILE" >&2
    exit 2
fi

listing=$(mktemp)
trap 'rm -f "$listing"' EXIT
if [ "$1" = "--listing" ]; then
    cat "$2" >"$listing"
else
    "$1" -d -C --no-show-raw-insn "$2" >"$listing"
fi

awk '
# A function label: "c0000940 <kern::UpdateTimer()>:"
/^[0-9a-f]+ <.*>:$/ {
    fn = $0
    sub(/^[0-9a-f]+ </, "", fn)
    sub(/>:$/, "", fn)
    next
}
# An instruction: "c0000960:<tab>fildll (%esp)"
/^ *[0-9a-f]+:\t/ {
    insn = $0
    sub(/^ *[0-9a-f]+:\t/, "", insn)
    n = split(insn, w, /[ \t]+/)
    i = 1
    while (i < n && w[i] ~ /^(lock|rep|repz|repnz|repe|repne|data16|addr16|addr32|[c-gs]s|notrack|bnd)$/)
        i++
    op = w[i]
    float = op ~ /^f/ || op ~ /^(wait|emms|ldmxcsr|stmxcsr)$/ ||
            insn ~ /%(st|mm[0-7]|xmm[0-9]|ymm[0-9]|zmm[0-9])/
    if (!float)
        next
    seen++
    if (fn == "kern::UpdateTimer()")
        next
    if ((fn == "start" || fn == "fninit()") && op == "fninit")
        next
    if (fn == "kern::GetDeltaTime()" && op ~ /^flds?$/)
        next
    bad++
    printf "float instruction outside the timer: %s: %s\n", fn, insn
}
END {
    if (bad) {
        printf "%d float or vector instruction(s) where only integer code belongs\n", bad
        exit 1
    }
    if (!seen) {
        # The timer always has its division: a listing without it is not
        # the kernel (or objdump printed nothing we understood).
        print "no x87 instruction found at all, not even the timer division"
        exit 1
    }
    printf "no floating point outside the timer (%d allowed x87 instructions)\n", seen
}' "$listing"
