#include "driver/progress.hpp"

#include <gtest/gtest.h>

namespace pellimor {
namespace {

TEST(ProgressLine, ShowsSeedFirstThenCountsRateAndTimes) {
    EXPECT_EQ(format_progress(250, 1000, 125.0, 42),
              "seed 42, 250/1000 samples, 2.0/s, 0:02:05 elapsed, 0:06:15 left");
    EXPECT_EQ(format_progress(0, 10, 0.0, 7),
              "seed 7, 0/10 samples, 0.0/s, 0:00:00 elapsed, ? left");
    EXPECT_EQ(format_progress(1, 2, 7322.0, 18446744073709551615ULL),
              "seed 18446744073709551615, 1/2 samples, 0.0/s, 2:02:02 elapsed, 2:02:02 left");
}

TEST(ProgressLine, CountsUpToTheLargestSampleCount) {
    EXPECT_EQ(format_progress(2147483646, 2147483647, 2147483646.0, 1),
              "seed 1, 2147483646/2147483647 samples, 1.0/s, 596523:14:06 elapsed, 0:00:01 left");
}

}  // namespace
}  // namespace pellimor
