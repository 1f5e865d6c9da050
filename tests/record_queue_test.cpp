#include "sampler/record_queue.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "sampler/sample_scheduler.hpp"

namespace pellimor {
namespace {

using namespace std::chrono_literals;

// A writer held up (by a reader that stalls) leaves the workers waiting once
// the queue is full, for as long as it takes: the records made stay within
// the byte limit and the samples each worker claimed before the queue
// filled (up to 8 at a time while samples are quick). A limit smaller than
// one record still lets every sample through, one at a time.
class StalledWriter : public ::testing::TestWithParam<std::size_t> {};

TEST_P(StalledWriter, BoundsTheRecordsHeld) {
    const std::size_t limit = GetParam();
    constexpr std::size_t record_bytes = 1000;
    constexpr int threads = 4;
    constexpr std::int64_t samples = 300;
    RecordQueue records(1, 1, limit);
    std::atomic<std::int64_t> made{0};
    const WorkerFactory workers = [&]() -> SampleFunction {
        return [&](std::uint64_t sample, SampleResult&, const std::atomic<bool>& stop) {
            made.fetch_add(1);
            return records.put(sample, std::string(record_bytes, 'x'), stop);
        };
    };
    std::int64_t taken = 0;
    std::int64_t made_while_stalled = 0;
    run_in_order(
        workers, SampleNumbering{samples}, threads,
        [&](const SampleResult&) {
            if (taken == 0) {
                std::this_thread::sleep_for(1200ms);
                made_while_stalled = made.load();
            }
            EXPECT_EQ(records.take().size(), record_bytes);
            ++taken;
        },
        [](std::int64_t) { return false; }, nullptr, stop_grace,
        [&](std::uint64_t sample, const std::atomic<bool>& stop) {
            records.wait_for_room(sample, stop);
        });
    EXPECT_EQ(taken, samples);
    EXPECT_EQ(made.load(), samples);
    EXPECT_LE(made_while_stalled, static_cast<std::int64_t>(limit / record_bytes) + threads * 8);
}

INSTANTIATE_TEST_SUITE_P(RecordQueue, StalledWriter, ::testing::Values(10000, 500));

}  // namespace
}  // namespace pellimor
