#include "util/check.hpp"

#include <gtest/gtest.h>

namespace pellimor {
namespace {

TEST(CheckDeathTest, FailedCheckNamesItsPlaceAndConditionAndAborts) {
    const int two = 2;
    EXPECT_DEATH(CHECK(two == 3), "check_test.cpp:[0-9]+: check failed: two == 3");
    CHECK(two == 2);
}

TEST(CheckDeathTest, DebugCheckRunsOnlyInBuildsWithDebugChecks) {
    int evaluated = 0;
    auto fails = [&] {
        ++evaluated;
        return false;
    };
    if constexpr (debug_checks) {
        EXPECT_DEATH(DCHECK(fails()), "check failed: fails\\(\\)");
    } else {
        DCHECK(fails());
        EXPECT_EQ(evaluated, 0);
    }
}

}  // namespace
}  // namespace pellimor
