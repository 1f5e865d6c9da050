#pragma once

// A walk's request of 100 moves per sample, the starting point of the
// memory tests' requests.

#include "run/run_request.hpp"

namespace pellimor::testing {

inline RunRequest walk(int n_vars, int n_samples, int threads) {
    RunRequest request;
    request.n_vars = n_vars;
    request.n_its = 100;
    request.n_samples = n_samples;
    request.threads = threads;
    return request;
}

}  // namespace pellimor::testing
