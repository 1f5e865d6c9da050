#include "run/sparse_method.hpp"

#include "counts/layered_table.hpp"
#include "run/run_request.hpp"

namespace pellimor {

std::string_view sparse_method_name(SparseMethod method) {
    switch (method) {
        case SparseMethod::AUTO:
            return "auto";
        case SparseMethod::DAG:
            return "dag";
        case SparseMethod::LAYERED:
            return "layered";
    }
    return "?";
}

std::optional<SparseMethod> parse_sparse_method(std::string_view name) {
    for (const SparseMethod m : {SparseMethod::AUTO, SparseMethod::DAG, SparseMethod::LAYERED}) {
        if (name == sparse_method_name(m)) {
            return m;
        }
    }
    return std::nullopt;
}

bool layered_applies(int n, EdgeBound bound) {
    const double pairs = 0.5 * n * (n - 1.0);
    return bound.kind == EdgeBoundKind::EXACTLY && n >= 2 && n <= LayeredTable::max_vertices &&
           bound.edges >= 1 && static_cast<double>(bound.edges) < pairs;
}

SparseMethod preferred_sparse_method(int n, EdgeBound bound) {
    if (!layered_applies(n, bound)) {
        return SparseMethod::DAG;
    }
    const double nn = static_cast<double>(n) * n;
    return n > max_edge_bounded_exact_vars || 56.0 * static_cast<double>(bound.edges) <= nn
               ? SparseMethod::LAYERED
               : SparseMethod::DAG;
}

}  // namespace pellimor
