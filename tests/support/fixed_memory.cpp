#include "fixed_memory.h"

#include <cstdlib>

#include "fixed_ranges.h"

namespace testing_support {

void map_fixed_ranges()
{
    if (!hwsim::map_fixed_ranges())
        std::exit(3);
}

void clear_fixed_ranges()
{
    if (!hwsim::remap_fixed_ranges())
        std::exit(3);
}

} // namespace testing_support
