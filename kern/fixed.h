// Fixed: signed 32-bit with 12 fraction bits (4096 = 1.0).
//
// Every product and quotient of the system goes through fixed_mul and
// fixed_div: a 64-bit intermediate, truncation toward zero, the low 32 bits
// kept. Sums wrap modulo 2^32; fixed_add/fixed_sub/fixed_neg spell that out
// so that no signed overflow (undefined in C++) is ever evaluated.
#pragma once
#include <stdint.h>

namespace kern {

typedef int32_t Fixed;

const int FIXED_SHIFT = 12;
const Fixed FIXED_ONE = 4096;

// The low 32 bits of a 64-bit value, read as signed.
inline Fixed low32(int64_t v) { return static_cast<Fixed>(static_cast<uint32_t>(v)); }

inline Fixed fixed_add(Fixed a, Fixed b)
{
    return static_cast<Fixed>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

inline Fixed fixed_sub(Fixed a, Fixed b)
{
    return static_cast<Fixed>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

inline Fixed fixed_neg(Fixed a) { return static_cast<Fixed>(0u - static_cast<uint32_t>(a)); }

// a * b / 4096, the division truncating toward zero.
inline Fixed fixed_mul(Fixed a, Fixed b)
{
    return low32(static_cast<int64_t>(a) * b / FIXED_ONE);
}

// a * 4096 / b, truncating toward zero. A zero divisor gives 0 (on the host
// and the target alike) instead of a divide fault.
inline Fixed fixed_div(Fixed a, Fixed b)
{
    if (b == 0)
        return 0;
    return low32(static_cast<int64_t>(a) * FIXED_ONE / b);
}

} // namespace kern
