#include "run/run_request.hpp"

#include <stdexcept>
#include <string>

namespace pellimor {

namespace {

void require(bool holds, const std::string& what) {
    if (!holds) {
        throw std::invalid_argument(what);
    }
}

}  // namespace

void check_request(const RunRequest& r) {
    require(r.n_vars >= 1, "n_vars must be at least 1, got " + std::to_string(r.n_vars));
    require(r.n_its >= 0, "n_its must be at least 0, got " + std::to_string(r.n_its));
    require(r.n_samples >= 0, "n_samples must be at least 0, got " + std::to_string(r.n_samples));
    require(r.threads >= 1, "threads must be at least 1, got " + std::to_string(r.threads));
    const std::int64_t pairs = static_cast<std::int64_t>(r.n_vars) * (r.n_vars - 1) / 2;
    const EdgeBound& bound = r.edge_bound;
    require(!bound.bounded() || (bound.edges >= 0 && bound.edges <= pairs),
            "the edge bound must be from 0 to " + std::to_string(pairs) + " (the pairs of " +
                std::to_string(r.n_vars) + " vertices), got " + std::to_string(bound.edges));
    switch (r.method) {
        case METHOD_WALK:
            require(bound.kind != EdgeBoundKind::EXACTLY,
                    "a walk cannot keep exactly E edges; bound it by at most E");
            require(!(bound.bounded() && r.start == WalkStart::EXACT &&
                      r.n_vars > max_edge_bounded_exact_vars),
                    "walks bounded by edges start from exact draws up to n_vars = " +
                        std::to_string(max_edge_bounded_exact_vars));
            break;
        case METHOD_EXACT:
        case METHOD_DAGS:
            require(r.start == WalkStart::EMPTY && !r.full_check,
                    "where walks start and how their moves are judged apply to the walk only");
            require(
                bound.kind != EdgeBoundKind::AT_MOST,
                "the exact method draws classes (and DAGs) with exactly E edges, not at most E");
            require(
                r.n_vars <= (bound.bounded() ? max_edge_bounded_exact_vars : max_exact_vars),
                "the exact method goes up to n_vars = " +
                    std::to_string(bound.bounded() ? max_edge_bounded_exact_vars : max_exact_vars) +
                    (bound.bounded() ? " with an edge bound" : "") + ", got " +
                    std::to_string(r.n_vars));
            break;
    }
}

}  // namespace pellimor
