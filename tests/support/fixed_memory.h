// The fixed addresses the system uses, mapped into the (32-bit) test process
// so the very code that boots runs unchanged on the host.
#pragma once
#include <stdint.h>

namespace testing_support {

// Maps 0xA0000-0xAFFFF, 0xB8000-0xB8FFF and 0xBFC00000-0xC0BFFFFF, zero
// filled. Exits the process when any of them cannot be had.
void map_fixed_ranges();
// The same ranges, zero filled again.
void clear_fixed_ranges();

inline uint8_t* fixed(uint32_t address) { return reinterpret_cast<uint8_t*>(address); }

} // namespace testing_support
