// Name hash of the command registry (MurmurHash3, x86 32-bit, seed 0xDEADBEEF).
#pragma once
#include <stdint.h>

namespace kern {

uint32_t CreateHash(const void* data, uint32_t length);

} // namespace kern
