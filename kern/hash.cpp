// Command-name hash: MurmurHash3, x86 32-bit variant, fixed seed. All sums
// and products are unsigned, so they wrap modulo 2^32 as the hash requires.
#include "kern/hash.h"

namespace kern {

const uint32_t SEED = 0xDEADBEEF;
const uint32_t C1 = 0xCC9E2D51, C2 = 0x1B873593;                 // a block's multipliers
const uint32_t MIX_MUL = 5, MIX_ADD = 0xE6546B64;                // the running hash's step
const uint32_t FINAL1 = 0x85EBCA6B, FINAL2 = 0xC2B2AE35;         // the final mix

static uint32_t rotl(uint32_t x, int r) { return (x << r) | (x >> (32 - r)); }

static uint32_t scramble(uint32_t k)
{
    k *= C1;
    k = rotl(k, 15);
    return k * C2;
}

uint32_t CreateHash(const void* data, uint32_t length)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    uint32_t h = SEED;
    uint32_t blocks = length / 4;
    for (uint32_t i = 0; i < blocks; i++) {
        const uint8_t* b = bytes + i * 4;
        uint32_t k = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
        h ^= scramble(k);
        h = rotl(h, 13);
        h = h * MIX_MUL + MIX_ADD;
    }
    const uint8_t* tail = bytes + blocks * 4;
    uint32_t k = 0;
    switch (length & 3) {
    case 3:
        k ^= static_cast<uint32_t>(tail[2]) << 16;
        [[fallthrough]];
    case 2:
        k ^= static_cast<uint32_t>(tail[1]) << 8;
        [[fallthrough]];
    case 1:
        k ^= tail[0];
        h ^= scramble(k);
    }
    h ^= length;
    h ^= h >> 16;
    h *= FINAL1;
    h ^= h >> 13;
    h *= FINAL2;
    h ^= h >> 16;
    return h;
}

} // namespace kern
