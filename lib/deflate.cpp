#include "deflate.h"

namespace deflate {
namespace {

const size_t MIN_MATCH = 3;
const size_t MAX_MATCH = 258;
const int END_OF_BLOCK = 256;

// Bits go out from the least significant end of each byte.
struct BitWriter {
    std::vector<uint8_t> out;
    uint32_t pending = 0;
    int count = 0;
};

void put_bits(BitWriter& w, uint32_t value, int bits)
{
    for (int i = 0; i < bits; i++) {
        w.pending |= ((value >> i) & 1u) << w.count;
        if (++w.count == 8) {
            w.out.push_back(static_cast<uint8_t>(w.pending));
            w.pending = 0;
            w.count = 0;
        }
    }
}

// Huffman codes are sent from their most significant bit.
void put_code(BitWriter& w, uint32_t code, int bits)
{
    for (int i = bits - 1; i >= 0; i--)
        put_bits(w, (code >> i) & 1u, 1);
}

// The fixed literal/length code: 0-143 in 8 bits from 0x30, 144-255 in 9
// bits from 0x190, 256-279 in 7 bits from 0, 280-287 in 8 bits from 0xC0.
void put_symbol(BitWriter& w, int symbol)
{
    if (symbol < 144)
        put_code(w, 0x30 + symbol, 8);
    else if (symbol < 256)
        put_code(w, 0x190 + symbol - 144, 9);
    else if (symbol < 280)
        put_code(w, symbol - 256, 7);
    else
        put_code(w, 0xC0 + symbol - 280, 8);
}

const uint16_t LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t DISTANCE_BASE[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t DISTANCE_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const size_t MAX_DISTANCE = 32768;

// The last table entry whose base is at most `value`.
template <typename T, size_t N> int bucket(const T (&base)[N], size_t value)
{
    int i = N - 1;
    while (base[i] > value)
        i--;
    return i;
}

void put_match(BitWriter& w, size_t length, size_t distance)
{
    int l = bucket(LENGTH_BASE, length);
    put_symbol(w, 257 + l);
    put_bits(w, static_cast<uint32_t>(length - LENGTH_BASE[l]), LENGTH_EXTRA[l]);
    int d = bucket(DISTANCE_BASE, distance);
    put_code(w, static_cast<uint32_t>(d), 5);   // the fixed distance code: 5 bits
    put_bits(w, static_cast<uint32_t>(distance - DISTANCE_BASE[d]), DISTANCE_EXTRA[d]);
}

size_t match_length(const std::vector<uint8_t>& raw, size_t at, size_t distance)
{
    if (distance == 0 || distance > at || distance > MAX_DISTANCE)
        return 0;
    size_t n = 0;
    while (n < MAX_MATCH && at + n < raw.size() && raw[at + n] == raw[at + n - distance])
        n++;
    return n;
}

} // namespace

std::vector<uint8_t> compress(const std::vector<uint8_t>& raw, size_t row)
{
    BitWriter w;
    put_bits(w, 1, 1);   // the last block
    put_bits(w, 1, 2);   // of the fixed codes
    for (size_t at = 0; at < raw.size();) {
        size_t run = match_length(raw, at, 1);
        size_t above = match_length(raw, at, row);
        size_t length = run >= above ? run : above;
        if (length < MIN_MATCH) {
            put_symbol(w, raw[at]);
            at++;
            continue;
        }
        put_match(w, length, run >= above ? 1 : row);
        at += length;
    }
    put_symbol(w, END_OF_BLOCK);
    if (w.count > 0)
        w.out.push_back(static_cast<uint8_t>(w.pending));
    return w.out;
}

} // namespace deflate
