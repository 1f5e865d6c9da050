#include "cluster/distributed_run.hpp"

#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "cluster/messages.hpp"
#include "cluster/rank_worker.hpp"

namespace pellimor {

SampleNumbering rank_share(SampleNumbering whole, int rank, int size) {
    const std::int64_t count = whole.count > rank ? (whole.count - rank + size - 1) / size : 0;
    return SampleNumbering{count, whole.first + static_cast<std::uint64_t>(rank) * whole.stride,
                           whole.stride * static_cast<std::uint64_t>(size)};
}

namespace {

using Clock = std::chrono::steady_clock;
using namespace cluster;

// Rank 0's side: the results that arrived from every rank, in each rank's
// order, and the run's bookkeeping with the other ranks.
class Gatherer {
  public:
    explicit Gatherer(int size) : queues_(static_cast<std::size_t>(size)) {}

    std::deque<SampleResult>& queue(int rank) { return queues_[static_cast<std::size_t>(rank)]; }

    // Takes every message waiting. A failure or a stop of another rank is
    // recorded, not thrown, so that the caller can first end the run.
    void receive() {
        MPI_Status status;
        while (message_waiting(MPI_ANY_SOURCE, status)) {
            const std::string data = receive_bytes(status);
            const int source = status.MPI_SOURCE;
            if (status.MPI_TAG == TAG_BATCH) {
                const std::size_t n = data.size() / sizeof(SampleResult);
                auto& q = queue(source);
                for (std::size_t i = 0; i < n; ++i) {
                    SampleResult result;
                    std::memcpy(&result, data.data() + i * sizeof(SampleResult), sizeof result);
                    q.push_back(result);
                }
                batch_sizes_[source].push_back(static_cast<int>(n));
            } else if (status.MPI_TAG == TAG_FAILURE && failure_.empty()) {
                failure_ = "rank " + std::to_string(source) + " " + data;
                out_of_memory_ = data == out_of_memory_text;
                failed_rank_ = source;
            } else if (status.MPI_TAG == TAG_STOPPED && stopped_rank_ < 0) {
                stopped_rank_ = source;
            }
        }
    }

    // Counts one result of `rank` as consumed; acknowledges its batch once
    // the batch is used up.
    void consumed(int rank) {
        auto& sizes = batch_sizes_[rank];
        if (--sizes.front() == 0) {
            sizes.pop_front();
            send_control(TAG_ACK, rank);
        }
    }

    const std::string& failure() const { return failure_; }
    // The failure was a rank's running out of memory.
    bool out_of_memory() const { return out_of_memory_; }
    int failed_rank() const { return failed_rank_; }
    int stopped_rank() const { return stopped_rank_; }

    // Tells every other rank the run is over, after `consumed` results, and
    // takes what they still send until each has said goodbye.
    void end_run(std::int64_t consumed) {
        const int size = static_cast<int>(queues_.size());
        for (int rank = 1; rank < size; ++rank) {
            send_control(TAG_END, rank, consumed);
        }
        int goodbyes = 0;
        const auto deadline = Clock::now() + end_deadline;
        MPI_Status status;
        while (goodbyes < size - 1) {
            if (message_waiting(MPI_ANY_SOURCE, status)) {
                receive_bytes(status);
                goodbyes += status.MPI_TAG == TAG_BYE ? 1 : 0;
            } else if (Clock::now() > deadline) {
                std::fprintf(stderr,
                             "pellimor: %d of %d ranks did not answer at the end of the run; "
                             "ending them all\n",
                             size - 1 - goodbyes, size - 1);
                MPI_Abort(MPI_COMM_WORLD, 1);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }

  private:
    std::vector<std::deque<SampleResult>> queues_;  // queue 0 is rank 0's own
    std::map<int, std::deque<int>> batch_sizes_;    // results left per batch
    std::string failure_;
    bool out_of_memory_ = false;
    int failed_rank_ = -1;
    int stopped_rank_ = -1;
};

}  // namespace

std::int64_t distributed_run_in_order(const WorkerFactory& factory, SampleNumbering whole_run,
                                      int threads,
                                      const std::function<void(const SampleResult&)>& consume,
                                      const std::function<bool(std::int64_t done)>& poll) {
    const MpiSession* session = MpiSession::current();
    const int size = session != nullptr ? session->size() : 1;
    const int rank = session != nullptr ? session->rank() : 0;
    if (size == 1) {
        return run_in_order(factory, whole_run, threads, consume, poll);
    }
    const SampleNumbering own = rank_share(whole_run, rank, size);
    if (rank != 0) {
        return cluster::run_rank_share(factory, own, threads, poll);
    }

    Gatherer gatherer(size);
    std::deque<SampleResult>& own_queue = gatherer.queue(0);
    const std::size_t own_limit = std::size_t{batch_results} * batches_in_flight;
    std::int64_t own_taken = 0;
    std::int64_t done = 0;
    std::exception_ptr own_failure;
    try {
        SampleScheduler scheduler(factory, own, threads, 64 * threads);
        while (done < whole_run.count) {
            if (poll(done)) {
                break;
            }
            gatherer.receive();
            if (!gatherer.failure().empty()) {
                break;
            }
            if (gatherer.stopped_rank() >= 0) {
                // Stopped by a signal sent to every rank, most likely: give
                // this rank's own stop a moment to show.
                const auto until = Clock::now() + std::chrono::milliseconds(300);
                while (!poll(done) && Clock::now() < until) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
                break;
            }
            bool progressed = false;
            while (own_queue.size() < own_limit && own_taken < own.count) {
                const auto result = scheduler.next(std::chrono::milliseconds(0));
                if (!result) {
                    break;
                }
                own_queue.push_back(*result);
                ++own_taken;
                progressed = true;
            }
            const int owner = static_cast<int>(done % size);
            auto& q = gatherer.queue(owner);
            if (!q.empty()) {
                consume(q.front());
                q.pop_front();
                if (owner != 0) {
                    gatherer.consumed(owner);
                }
                ++done;
                continue;
            }
            if (progressed) {
                continue;
            }
            if (owner == 0) {
                if (const auto result = scheduler.next(std::chrono::milliseconds(5))) {
                    own_queue.push_back(*result);
                    ++own_taken;
                }
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    } catch (...) {
        own_failure = std::current_exception();
    }
    gatherer.end_run(done);
    if (own_failure) {
        std::rethrow_exception(own_failure);
    }
    if (gatherer.out_of_memory()) {
        throw RankOutOfMemory(gatherer.failed_rank());
    }
    if (!gatherer.failure().empty()) {
        throw std::runtime_error(gatherer.failure());
    }
    if (gatherer.stopped_rank() >= 0 && done < whole_run.count && !poll(done)) {
        throw std::runtime_error("rank " + std::to_string(gatherer.stopped_rank()) +
                                 " was stopped by a signal");
    }
    return done;
}

}  // namespace pellimor
