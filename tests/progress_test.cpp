#include "driver/progress.hpp"

#include <gtest/gtest.h>

namespace pellimor {
namespace {

TEST(ProgressLine, ShowsCountsRateTimesAndSeed) {
    EXPECT_EQ(format_progress(250, 1000, 125.0, 42),
              "250/1000 samples, 2.0/s, 0:02:05 elapsed, 0:06:15 left, seed 42");
    EXPECT_EQ(format_progress(0, 10, 0.0, 7),
              "0/10 samples, 0.0/s, 0:00:00 elapsed, ? left, seed 7");
    EXPECT_EQ(format_progress(1, 2, 7322.0, 18446744073709551615ULL),
              "1/2 samples, 0.0/s, 2:02:02 elapsed, 2:02:02 left, seed 18446744073709551615");
}

}  // namespace
}  // namespace pellimor
