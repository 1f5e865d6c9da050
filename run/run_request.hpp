#pragma once

// What a sampling run is asked to do, whoever asks (the command line, a
// script): the method, where walks start, one edge bound, the sizes, the
// seed and threads, and what to keep of each sample.

#include <cstdint>
#include <optional>

#include "graph/edge_bound.hpp"
#include "run/sparse_method.hpp"
#include "sampler/record_layout.hpp"
#include "stats/run_info.hpp"

namespace pellimor {

// Where each walk starts: the empty graph, or an essential graph drawn
// exactly from the sample's own stream.
enum class WalkStart { EMPTY, EXACT };

struct RunRequest {
    SampleMethod method = METHOD_WALK;
    WalkStart start = WalkStart::EMPTY;  // the walk only
    // Exactly E edges: the exact method; at most E: the walk (whose exact
    // starts and reference are then drawn within the bound too).
    EdgeBound edge_bound;
    // Exactly E edges: the exact sampler that draws the classes (AUTO: the
    // one expected to be faster, see run/sparse_method.hpp).
    SparseMethod sparse_method = SparseMethod::AUTO;
    int n_vars = 1;
    int n_its = 0;  // the walk's moves per sample
    std::int64_t n_samples = 0;
    std::uint64_t seed = 0;
    int threads = 1;          // worker threads
    bool full_check = false;  // the walk: judge every move with the complete test
    bool count_vees = false;  // each class's vees too, which costs more than the rest
    // The run's report (summary, JSON) is wanted: the plan makes the exact
    // values it holds the estimates against. A walk's mixing check needs
    // them anyway.
    bool summary = false;
    // Each sample's record (sampler/sample_record.hpp), in this layout; none
    // when not given. Records are made by the workers, which hold the
    // graphs: the graphs when the layout has them, and the exact class size,
    // which past 2^53 is counted again from the class's lines.
    std::optional<RecordLayout> records;

    bool operator==(const RunRequest&) const = default;
};

// The largest n_vars of the exact method, and of exact draws bounded by edges
// (the exact method with a bound, and walks bounded by edges that start from
// exact draws).
inline constexpr int max_exact_vars = 10000;
inline constexpr int max_edge_bounded_exact_vars = 500;
// The largest n_vars of the layered method (classes with exactly E edges):
// its table takes about 20 s at n_vars = 1000 (see docs/sparse.md).
inline constexpr int max_layered_vars = 2000;

// Throws std::invalid_argument, naming what is wrong, for a request no run
// can carry out: sizes out of range, a bound beyond the pairs of n_vars
// vertices or of the wrong kind for the method, n_vars beyond what its exact
// draws reach.
void check_request(const RunRequest& request);

}  // namespace pellimor
