#pragma once

// What a run was asked to do and how it went, as its summary states it.

#include <cstdint>
#include <string>

#include "graph/edge_bound.hpp"

namespace pellimor {

enum SampleMethod : int {
    METHOD_WALK = 0,   // random walks of n_its moves
    METHOD_EXACT = 1,  // the exact sampler
    METHOD_DAGS = 2,   // uniform DAGs, each with its class (--dags)
};

// Where a result comes from, so that it can be traced and cited.
struct Provenance {
    std::string version;       // the program's version with its commit
    std::string command_line;  // the whole command line, quoted for a shell
    std::string started_at;    // UTC, ISO 8601: "2026-12-09T09:27:59Z"
};

struct RunInfo {
    SampleMethod method = METHOD_WALK;
    std::string start = "empty";  // where each walk starts: "empty" or "exact"
    int n_vars = 1;
    int n_its = 0;               // unused by the exact method
    std::int64_t n_samples = 0;  // samples asked for
    std::uint64_t seed = 0;
    int threads = 1;
    double seconds = 0;    // wall-clock time of the run
    bool complete = true;  // false when the run was stopped early
    Provenance provenance;
    EdgeBound edge_bound = {};  // exactly E: the exact method; at most E: the walk
};

// "walk", "exact" or "dags".
const char* method_name(SampleMethod method);

}  // namespace pellimor
