// Test main of the host test binaries: the fixed ranges first, then the
// tests, each from the state at load.
#include <gtest/gtest.h>

#include "fixed_memory.h"
#include "fresh_state.h"
#include "hw_host.h"

namespace {

class FreshState : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override
    {
        testing_support::clear_fixed_ranges();
        hwsim::reset();
        testing_support::reset_modules();
    }
};

} // namespace

int main(int argc, char** argv)
{
    testing_support::map_fixed_ranges();
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshState);
    return RUN_ALL_TESTS();
}
