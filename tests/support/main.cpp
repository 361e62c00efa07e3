// Test main of the host test binaries: the fixed ranges first, then the tests.
#include <gtest/gtest.h>

#include "fixed_memory.h"

int main(int argc, char** argv)
{
    testing_support::map_fixed_ranges();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
