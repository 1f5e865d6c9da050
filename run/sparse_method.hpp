#pragma once

// Which exact sampler draws the classes with exactly E edges: rejection from
// DAGs with E edges kept with probability 1/s (sampler/sparse_exact_sampler.hpp),
// or layered proposals kept when canonical (sampler/layered_sampler.hpp).
// Both draw every class with E edges with the same probability; they differ
// in cost. Rejection keeps a share of DAGs that falls exponentially with n at
// a fixed mean degree d = 2E/n, while a layered class costs about the same
// number of proposals at every n, each growing with n. Measured on one
// thread, the layered method is the faster one from about n = 40 at d = 2,
// n = 120 at d = 4 and n = 220 at d = 8: about n >= 28 d, i.e. E <= n^2 / 56.
// Beyond n = max_edge_bounded_exact_vars only the layered method runs.

#include <cstdint>
#include <optional>
#include <string_view>

#include "graph/edge_bound.hpp"

namespace pellimor {

enum class SparseMethod : std::int32_t { AUTO, DAG, LAYERED };

// "auto", "dag", "layered", as the command line spells them.
std::string_view sparse_method_name(SparseMethod method);
std::optional<SparseMethod> parse_sparse_method(std::string_view name);

// Whether the layered method can draw classes on n vertices within `bound`:
// exactly E edges, 1 <= E < n(n-1)/2, n within its table's reach.
bool layered_applies(int n, EdgeBound bound);

// The sampler to try first for classes on n vertices within `bound` when the
// caller leaves the choice open: the layered one where it applies and is
// expected to be faster (or is the only one), else rejection from DAGs. The
// same on every process for the same arguments: it depends on n and the
// bound alone, never on timings.
SparseMethod preferred_sparse_method(int n, EdgeBound bound);

}  // namespace pellimor
