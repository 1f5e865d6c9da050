#include "cluster/rank_worker.hpp"

#include <array>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cluster/messages.hpp"

namespace pellimor::cluster {

namespace {

using Clock = std::chrono::steady_clock;

// The batches a rank has sent and rank 0 has not yet acknowledged: a ring of
// buffers, each kept alive until its send completed.
class OutgoingBatches {
  public:
    OutgoingBatches() {
        for (auto& slot : slots_) {
            slot.results.reserve(batch_results);
        }
    }

    bool has_credit() const { return unacknowledged_ < batches_in_flight; }
    bool any_unacknowledged() const { return unacknowledged_ > 0; }

    void send(const std::vector<SampleResult>& batch) {
        Slot& slot = slots_[static_cast<std::size_t>(next_)];
        slot.results = batch;
        MPI_Isend(slot.results.data(), static_cast<int>(slot.results.size() * sizeof(SampleResult)),
                  MPI_BYTE, 0, TAG_BATCH, MPI_COMM_WORLD, &slot.request);
        next_ = (next_ + 1) % batches_in_flight;
        ++unacknowledged_;
    }

    void acknowledge() {
        const int oldest = (next_ - unacknowledged_ + batches_in_flight) % batches_in_flight;
        MPI_Wait(&slots_[static_cast<std::size_t>(oldest)].request, MPI_STATUS_IGNORE);
        --unacknowledged_;
    }

    // Waits, until `deadline`, for every send to be received (rank 0 drains
    // whatever is left once it ends the run).
    void complete(Clock::time_point deadline) {
        for (auto& slot : slots_) {
            int done = 0;
            while (MPI_Test(&slot.request, &done, MPI_STATUS_IGNORE) == MPI_SUCCESS && done == 0 &&
                   Clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }

  private:
    struct Slot {
        std::vector<SampleResult> results;
        MPI_Request request = MPI_REQUEST_NULL;
    };
    std::array<Slot, batches_in_flight> slots_;
    int next_ = 0;
    int unacknowledged_ = 0;
};

// Takes the control messages rank 0 sent; once it ended the run, the number
// of results it consumed.
std::optional<std::int64_t> read_control(OutgoingBatches& outgoing) {
    MPI_Status status;
    while (message_waiting(0, status)) {
        const std::string bytes = receive_bytes(status);
        if (status.MPI_TAG == TAG_ACK) {
            outgoing.acknowledge();
        } else if (status.MPI_TAG == TAG_END) {
            return control_value(bytes);
        }
    }
    return std::nullopt;
}

void send_failure(const std::exception_ptr& failure) {
    std::string text;
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        text = out_of_memory_text;
    } catch (const std::exception& error) {
        text = std::string("failed: ") + error.what();
    } catch (...) {
        text = "failed";
    }
    MPI_Send(text.data(), static_cast<int>(text.size()), MPI_BYTE, 0, TAG_FAILURE, MPI_COMM_WORLD);
}

}  // namespace

std::int64_t run_rank_share(const WorkerFactory& factory, SampleNumbering share, int threads,
                            const std::function<bool(std::int64_t done)>& poll) {
    OutgoingBatches outgoing;
    std::vector<SampleResult> batch;
    batch.reserve(batch_results);
    Clock::time_point batch_start;
    std::int64_t taken = 0;
    std::int64_t sent = 0;
    std::optional<std::int64_t> consumed;  // by rank 0, once it ended the run
    bool told_rank_0 = false;              // of a stop or a failure; then only wait for the end
    try {
        SampleScheduler scheduler(factory, share, threads, 64 * threads);
        while (!consumed) {
            consumed = read_control(outgoing);
            if (consumed) {
                break;
            }
            if (!told_rank_0 && poll(sent)) {
                scheduler.stop();
                send_control(TAG_STOPPED, 0);
                told_rank_0 = true;
            }
            const bool full = static_cast<int>(batch.size()) == batch_results;
            const bool last = taken == share.count;
            if (!batch.empty() && outgoing.has_credit() &&
                (full || last || Clock::now() - batch_start >= batch_age_limit)) {
                outgoing.send(batch);
                sent += static_cast<std::int64_t>(batch.size());
                batch.clear();
                continue;
            }
            if (told_rank_0 || full || last) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (const auto result = scheduler.next(std::chrono::milliseconds(10))) {
                if (batch.empty()) {
                    batch_start = Clock::now();
                }
                batch.push_back(*result);
                ++taken;
            }
        }
    } catch (...) {
        if (!told_rank_0) {
            send_failure(std::current_exception());
        }
        while (!(consumed = read_control(outgoing))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    outgoing.complete(Clock::now() + end_deadline);
    send_control(TAG_BYE, 0);
    return *consumed;
}

}  // namespace pellimor::cluster
