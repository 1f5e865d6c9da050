#include "driver/sample_scheduler.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <new>

#include "driver/progress.hpp"

namespace pellimor {
namespace {

using namespace std::chrono_literals;

bool same(const SampleResult& a, const SampleResult& b) {
    for (int k = 0; k < move_kind_count; ++k) {
        if (a.rates[k] != b.rates[k]) {
            return false;
        }
    }
    return a.no_lines == b.no_lines && a.connected == b.connected;
}

TEST(SampleScheduler, ResultsComeInSampleOrderForAnyThreadCount) {
    const Settings settings{6, 700, false};
    const int n_samples = 60;
    for (int threads : {1, 2, 3, 7}) {
        // A window smaller than the thread count keeps workers waiting.
        for (int window : {1, 4, 64}) {
            SampleScheduler scheduler(settings, 99, n_samples, threads, window);
            for (int i = 1; i <= n_samples; ++i) {
                std::optional<SampleResult> result;
                while (!result) {
                    result = scheduler.next(1000ms);
                }
                ASSERT_TRUE(same(*result, run_sample(settings, 99, static_cast<std::uint64_t>(i))))
                    << "sample " << i << ", " << threads << " threads, window " << window;
            }
        }
    }
}

TEST(SampleScheduler, WorkerFailureReachesTheCaller) {
    SampleScheduler scheduler(Settings{INT_MAX, 10, false}, 1, 5, 2, 8);
    EXPECT_THROW(
        {
            for (int tries = 0; tries < 100; ++tries) {
                scheduler.next(100ms);
            }
        },
        std::bad_alloc);
}

TEST(SampleScheduler, StopsLongWalksWhenDestroyed) {
    // Far more work than the test could wait for: destruction must cut the
    // walks short instead of finishing them.
    const auto begin = std::chrono::steady_clock::now();
    {
        SampleScheduler scheduler(Settings{40, 2000000000, true}, 1, 1000, 2, 4);
        EXPECT_FALSE(scheduler.next(50ms));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 30s);
}

TEST(SampleScheduler, NoSamplesNoWork) {
    SampleScheduler scheduler(Settings{6, 100, false}, 1, 0, 3, 8);
}

TEST(UsableCpuCount, AtLeastOne) {
    EXPECT_GE(usable_cpu_count(), 1);
}

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
