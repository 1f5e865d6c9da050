#pragma once

// The sampling engine spread over the ranks of an MPI run. Rank r of P runs
// every P-th sample of the run on its own worker threads; rank 0 gathers the
// results and hands them on in sample order, exactly as run_in_order does in
// one process. Since a sample draws from its own stream, where it runs changes
// nothing it yields.
//
// Ranks send their results to rank 0 in batches and may have only a few
// batches unacknowledged, so ranks that run ahead wait and rank 0's memory
// stays bounded. Every exchange is non-blocking and polled, so a stop or a
// failed rank ends the run on every rank instead of hanging it.

#include <cstdint>
#include <functional>
#include <new>

#include "cluster/mpi_session.hpp"
#include "sampler/sample_scheduler.hpp"

namespace pellimor {

// The samples of `whole` that rank `rank` of `size` runs: indices rank,
// rank + size, ... of `whole`.
SampleNumbering rank_share(SampleNumbering whole, int rank, int size);

// Thrown on rank 0 when the workers of another rank ran out of memory: a
// std::bad_alloc, as when rank 0's own did.
struct RankOutOfMemory : std::bad_alloc {
    explicit RankOutOfMemory(int r) : rank(r) {}
    int rank;
};

// On rank 0: runs rank 0's share, gathers the others' and passes every
// result of `whole_run`, in order, to `consume`; `poll` as in run_in_order.
// Throws std::runtime_error naming the rank when another rank failed or was
// stopped on its own (RankOutOfMemory when its workers ran out of memory),
// and rethrows a failure of its own workers.
// On the other ranks: runs that rank's share and sends the results to rank 0;
// `consume` is never called and `poll` is called as rank 0 calls it (true
// stops this rank and, through rank 0, the run). A failure is sent to rank 0
// rather than thrown.
// Returns, on every rank alike, the number of results rank 0 consumed before
// it ended the run: less than whole_run.count when it ended early, whatever
// the reason, so that every rank knows whether the run is complete and all
// take the same way on.
// Every rank must call it with the same `whole_run`.

std::int64_t distributed_run_in_order(const WorkerFactory& factory, SampleNumbering whole_run,
                                      int threads,
                                      const std::function<void(const SampleResult&)>& consume,
                                      const std::function<bool(std::int64_t done)>& poll);

}  // namespace pellimor
