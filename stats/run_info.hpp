#pragma once

// What a run was asked to do and how it went, as its summary states it.

#include <cstdint>
#include <string>

namespace pellimor {

enum SampleMethod : int {
    METHOD_WALK = 0,   // random walks of n_its moves
    METHOD_EXACT = 1,  // the exact sampler
};

// Where a result comes from, so that it can be traced and cited.
struct Provenance {
    std::string version;       // the program's version with its commit
    std::string command_line;  // the whole command line, quoted for a shell
    std::string started_at;    // UTC, ISO 8601: "2026-12-09T09:27:59Z"
};

// The edges a run's classes may have: any number, exactly E (the exact
// method with --edges) or at most E (the walk with --max-edges).
enum EdgeBoundKind : int { EDGES_ANY = 0, EDGES_EXACTLY = 1, EDGES_AT_MOST = 2 };

struct EdgeBoundInfo {
    EdgeBoundKind kind = EDGES_ANY;
    std::int64_t edges = 0;
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
    EdgeBoundInfo edge_bound;
};

// "walk" or "exact".
const char* method_name(SampleMethod method);

}  // namespace pellimor
