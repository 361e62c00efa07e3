// The fixed addresses the system uses, mapped into the (32-bit) test process
// so the very code that boots runs unchanged on the host.
#pragma once
#include <stdint.h>

namespace testing_support {

// Maps the fixed ranges of machine.h, zero filled (hwsim::map_fixed_ranges).
// Exits the process when any of them cannot be had.
void map_fixed_ranges();
// The same ranges, zero filled again.
void clear_fixed_ranges();

inline uint8_t* fixed(uint32_t address) { return reinterpret_cast<uint8_t*>(address); }

} // namespace testing_support
