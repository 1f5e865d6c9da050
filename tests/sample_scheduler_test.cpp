#include "sampler/sample_scheduler.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <new>
#include <thread>

#include "sampler/sample_methods.hpp"

namespace pellimor {
namespace {

using namespace std::chrono_literals;

bool same(const SampleResult& a, const SampleResult& b) {
    for (int k = 0; k < move_kind_count; ++k) {
        if (a.rates[k] != b.rates[k]) {
            return false;
        }
    }
    return a.no_lines == b.no_lines && a.connected == b.connected && a.lines == b.lines;
}

WorkerFactory walk_workers(const Settings& settings, std::uint64_t seed) {
    return pellimor::walk_workers(settings, seed, nullptr);
}

TEST(SampleScheduler, ResultsComeInSampleOrderForAnyThreadCount) {
    const Settings settings{6, 700, false};
    const int n_samples = 60;
    for (int threads : {1, 2, 3, 7}) {
        // A window smaller than the thread count keeps workers waiting.
        for (int window : {1, 4, 64}) {
            SampleScheduler scheduler(walk_workers(settings, 99), SampleNumbering{n_samples},
                                      threads, window);
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

TEST(SampleScheduler, RunsExactlyTheNumberedSamplesInOrder) {
    // Each result records its sample number; samples that take uneven times
    // must still arrive in order, each once.
    const WorkerFactory numbered = []() -> SampleFunction {
        return [](std::uint64_t sample, SampleResult& result, const std::atomic<bool>&) {
            std::this_thread::sleep_for(std::chrono::microseconds((sample * 7919) % 300));
            result.lines = static_cast<std::int64_t>(sample);
            return true;
        };
    };
    const SampleNumbering numbering{50, 3, 4};  // 3, 7, 11, ...
    std::vector<std::int64_t> seen;
    const std::int64_t done = run_in_order(
        numbered, numbering, 3, [&](const SampleResult& r) { seen.push_back(r.lines); },
        [](std::int64_t) { return false; });
    ASSERT_EQ(done, 50);
    ASSERT_EQ(seen.size(), 50u);
    for (std::int64_t j = 0; j < 50; ++j) {
        EXPECT_EQ(seen[static_cast<std::size_t>(j)], 3 + 4 * j);
    }
}

TEST(SampleScheduler, QuickSamplesArriveInBatches) {
    // Samples of a fraction of a millisecond each, slower than the caller
    // takes them: it must still not be woken for every one, but for a
    // batch of a quarter of the window (or at the deadline of a partial one,
    // some 20 ms).
    const WorkerFactory quick = []() -> SampleFunction {
        return [](std::uint64_t sample, SampleResult& result, const std::atomic<bool>&) {
            std::this_thread::sleep_for(200us);
            result.lines = static_cast<std::int64_t>(sample);
            return true;
        };
    };
    constexpr int n_samples = 400;
    SampleScheduler scheduler(quick, SampleNumbering{n_samples}, 1, 256);
    int batches = 0;
    std::int64_t expected = 1;
    while (expected <= n_samples) {
        const auto batch = scheduler.next_batch(1000ms);
        batches += batch.empty() ? 0 : 1;
        for (const SampleResult& result : batch) {
            ASSERT_EQ(result.lines, expected++);
        }
    }
    // (A worker files up to 8 quick results at once: a caller woken for each
    // filing would see at least 50 batches.)
    EXPECT_LT(batches, n_samples / 16);
}

TEST(SampleScheduler, WorkerFailureReachesTheCaller) {
    // A failure in a sample and a failure while building a worker's state.
    SampleScheduler failing_sample(walk_workers(Settings{INT_MAX, 10, false}, 1),
                                   SampleNumbering{5}, 2, 8);
    EXPECT_THROW(
        {
            for (int tries = 0; tries < 100; ++tries) {
                failing_sample.next(100ms);
            }
        },
        std::bad_alloc);
    const WorkerFactory failing_setup = []() -> SampleFunction { throw std::bad_alloc(); };
    EXPECT_THROW(run_in_order(
                     failing_setup, SampleNumbering{5}, 2, [](const SampleResult&) {},
                     [](std::int64_t) { return false; }),
                 std::bad_alloc);
}

TEST(SampleScheduler, StopsLongWalksWhenDestroyed) {
    // Far more work than the test could wait for: destruction must cut the
    // walks short instead of finishing them.
    const auto begin = std::chrono::steady_clock::now();
    {
        SampleScheduler scheduler(walk_workers(Settings{40, 2000000000, true}, 1),
                                  SampleNumbering{1000}, 2, 4);
        EXPECT_FALSE(scheduler.next(50ms));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 30s);
}

// A stopped run builds its summary only once the workers have stopped, so
// that it has the CPUs to itself; and no more threads start than samples.
TEST(SampleScheduler, StopHookRunsAfterTheWorkersHaveStopped) {
    std::atomic<int> running{0};
    std::atomic<int> started{0};
    const WorkerFactory busy = [&]() -> SampleFunction {
        ++started;
        return [&](std::uint64_t, SampleResult&, const std::atomic<bool>& stop) {
            ++running;
            while (!stop.load()) {
                std::this_thread::sleep_for(1ms);
            }
            std::this_thread::sleep_for(20ms);  // the rest of a long draw
            --running;
            return false;
        };
    };
    int running_at_hook = -1;
    run_in_order(
        busy, SampleNumbering{1000}, 4, [](const SampleResult&) {},
        [&](std::int64_t) { return running.load() == 4; },
        [&] { running_at_hook = running.load(); }, 60s);  // a grace no loaded machine outlasts
    EXPECT_EQ(running_at_hook, 0);
    EXPECT_EQ(started.load(), 4);

    started = 0;
    const WorkerFactory counted = [&]() -> SampleFunction {
        ++started;
        return [](std::uint64_t, SampleResult&, const std::atomic<bool>&) { return true; };
    };
    run_in_order(
        counted, SampleNumbering{2}, 8, [](const SampleResult&) {},
        [](std::int64_t) { return false; });
    EXPECT_EQ(started.load(), 2);
}

TEST(UsableCpuCount, AtLeastOne) {
    EXPECT_GE(usable_cpu_count(), 1);
}

}  // namespace
}  // namespace pellimor
