#pragma once

// The side of a distributed run that every rank but 0 plays: run this rank's
// share of the samples and stream the results to rank 0 in batches, within
// the credit rank 0 grants, until rank 0 ends the run.

#include <cstdint>
#include <functional>

#include "sampler/sample_scheduler.hpp"

namespace pellimor::cluster {

// Runs `share` on `threads` workers and sends the results to rank 0. Returns
// the number of results of the whole run that rank 0 consumed before it ended
// the run.
std::int64_t run_rank_share(const WorkerFactory& factory, SampleNumbering share, int threads,
                            const std::function<bool(std::int64_t done)>& poll);

}  // namespace pellimor::cluster
