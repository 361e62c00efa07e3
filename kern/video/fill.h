// Runs of one colour stored into the back buffer, inline: the rasteriser's
// row loops and the 2D fills keep them in registers.
#pragma once
#include <stdint.h>

namespace kern {

// Stores `value` into `words` 32-bit words upwards from `at` (word-aligned)
// with one string store: rep stosl stores EAX to [EDI] ECX times, upwards
// (the direction flag is clear in compiled code).
inline void fill_words(uint8_t* at, uint32_t words, uint32_t value)
{
    uintptr_t n = words;
    asm volatile("rep stosl" : "+D"(at), "+c"(n) : "a"(value) : "memory");
}

// Copies `words` 32-bit words upwards from `from` to `to` with one string
// move (rep movsl).
inline void copy_words(uint8_t* to, const uint8_t* from, uint32_t words)
{
    uintptr_t n = words;
    asm volatile("rep movsl" : "+D"(to), "+S"(from), "+c"(n) : : "memory");
}

// Runs are stored a register at a time: FillWord is as wide as the
// processor's general registers (4 bytes on the kernel's i686).
typedef uintptr_t __attribute__((may_alias, aligned(1))) FillWord;
typedef uintptr_t __attribute__((may_alias)) FillAligned;
typedef uint32_t __attribute__((may_alias, aligned(1))) FillWord32;
const uint32_t FILL_WORD = sizeof(FillWord);
const uintptr_t FILL_ALIGN = FILL_WORD - 1;   // the low address bits of a word
const int FILL_PASS = 4;                      // words stored per pass of the loop
// Up to FILL_SHORT bytes a run takes a few stores from either end; from
// FILL_STRING bytes on (rows of the screen one after the other) one string
// store, which starts up slower than a loop but then stores faster.
const uint32_t FILL_SHORT = 2 * FILL_PASS * FILL_WORD;
const uint32_t FILL_STRING = 1024;
const uint32_t FILL_PASS_BYTES = FILL_PASS * FILL_WORD;
// The aligned words of a run fall short of it by up to FILL_SLACK bytes, so
// passes for that many bytes fewer never store past them; they then stop
// at most FILL_TAIL words before the last aligned word (stored below as
// w[0..3] and tail[0..4]).
const uint32_t FILL_SLACK = 2 * FILL_ALIGN;
const int FILL_TAIL = FILL_PASS + 1;
static_assert(FILL_PASS == 4 && FILL_TAIL == 5, "the stores of a pass and of the tail are written out");
const uintptr_t WORD_LANES = ~static_cast<uintptr_t>(0) / 0xFF;   // 0x01 in every byte of a word

// More than FILL_SHORT bytes: the ragged ends, then the aligned words
// between, FILL_PASS a pass and FILL_TAIL ending at the last aligned word,
// over some stored. The passes' count follows the length alone, not where
// the run starts: rows of a triangle, a little longer or shorter each,
// mostly take as many as the row before, and the processor predicts the
// loop's end. Rows of the screen one after the other take one string store.
inline void fill_long(uint8_t* at, uint32_t count, uintptr_t value)
{
    uint8_t* end = at + count;
    *reinterpret_cast<FillWord*>(at) = *(reinterpret_cast<FillWord*>(end) - 1) = value;
    uint8_t* first = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(at) + FILL_ALIGN) & ~FILL_ALIGN);
    FillAligned* w = reinterpret_cast<FillAligned*>(first);
    FillAligned* stop = reinterpret_cast<FillAligned*>(reinterpret_cast<uintptr_t>(end) & ~FILL_ALIGN);
    if (count >= FILL_STRING) {
        fill_words(first, static_cast<uint32_t>(reinterpret_cast<uint8_t*>(stop) - first) / 4,
                   static_cast<uint32_t>(value));
        return;
    }
    for (uint32_t passes = (count - FILL_SLACK) / FILL_PASS_BYTES; passes != 0; passes--, w += FILL_PASS)
        w[0] = w[1] = w[2] = w[3] = value;
    FillAligned* tail = stop - FILL_TAIL;
    tail[0] = tail[1] = tail[2] = tail[3] = tail[4] = value;
}

// A quarter of FILL_SHORT bytes to FILL_SHORT: two or four words from
// either end.
inline void fill_medium(uint8_t* at, uint32_t count, uintptr_t value)
{
    FillWord* head = reinterpret_cast<FillWord*>(at);
    FillWord* tail = reinterpret_cast<FillWord*>(at + count) - 1;
    head[0] = head[1] = value;
    tail[0] = tail[-1] = value;
    if (count > FILL_SHORT / 2) {
        head[2] = head[3] = value;
        tail[-2] = tail[-3] = value;
    }
}

// Up to three bytes: the first, the middle one or the first again, and the
// last; no branch on which.
inline void fill_bytes(uint8_t* at, uint32_t count, uintptr_t value)
{
    uint8_t* end = at + count;
    if (count != 0)
        at[0] = at[count >> 1] = end[-1] = static_cast<uint8_t>(value);
}

// Up to a quarter of FILL_SHORT bytes: one or two stores from either end.
inline void fill_short(uint8_t* at, uint32_t count, uintptr_t value)
{
    uint8_t* end = at + count;
    if (count >= FILL_WORD) {
        *reinterpret_cast<FillWord*>(at) = *(reinterpret_cast<FillWord*>(end) - 1) = value;
    } else if (count >= sizeof(FillWord32)) {
        // Only where a word is wider than four bytes.
        *reinterpret_cast<FillWord32*>(at) = *(reinterpret_cast<FillWord32*>(end) - 1) = static_cast<uint32_t>(value);
    } else {
        fill_bytes(at, count, value);
    }
}

// Where a word is wider than four bytes, runs up to a quarter of FILL_SHORT
// fall in three classes (words, four-byte halves, bytes), and runs of one to
// three bytes, most rows of small triangles, are told apart first, at the
// price of one more test for every longer run. With four-byte words there
// are two classes, the bytes already come second, and the order is kept.
const bool FILL_BYTES_FIRST = FILL_WORD > sizeof(FillWord32);

// Sets `count` bytes from `at` to `colour` with as few stores as it can.
// Clips nothing: the caller has already put the run inside the buffer.
// Stores may overlap (a byte stored twice gets the same colour): that costs
// less than loops whose ends the processor cannot predict. The stores go
// into byte buffers that are also read byte by byte, at any address (the
// processor takes unaligned stores; the compiler is told), or aligned.
inline void fill_run(uint8_t* at, uint32_t count, uint8_t colour)
{
    const uintptr_t value = colour * WORD_LANES;
    if (FILL_BYTES_FIRST && count < sizeof(FillWord32))
        fill_bytes(at, count, value);
    else if (count <= FILL_SHORT / 4)
        fill_short(at, count, value);
    else if (count <= FILL_SHORT)
        fill_medium(at, count, value);
    else
        fill_long(at, count, value);
}

} // namespace kern
