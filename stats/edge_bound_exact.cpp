#include "stats/edge_bound_exact.hpp"

#include "counts/edge_counts.hpp"
#include "counts/exact_counts.hpp"

namespace pellimor {

namespace {

double ratio(const mpz_class& a, const mpz_class& b) {
    return mpq_class(a, b).get_d();
}

EdgeBoundExact compute(int n, EdgeBound bound) {
    const EdgeTriangle classes = essential_graphs_by_edges(n);
    const EdgeTriangle dags = dags_by_edges(n);
    const std::vector<mpz_class>& c = classes[static_cast<std::size_t>(n)];
    const std::vector<mpz_class>& d = dags[static_cast<std::size_t>(n)];
    const auto top = static_cast<std::size_t>(bound.edges);
    mpz_class class_total = 0;
    mpz_class dag_total = 0;
    mpz_class weighted = 0;  // sum of e times the classes with e edges
    const std::size_t first = bound.kind == EdgeBoundKind::AT_MOST ? 0 : top;
    for (std::size_t e = first; e <= top; ++e) {
        class_total += c[e];
        dag_total += d[e];
        weighted += c[e] * static_cast<unsigned long>(e);
    }
    EdgeBoundExact exact;
    exact.classes = class_total.get_str();
    exact.log10_classes = log10_of(class_total);
    exact.dags = dag_total.get_str();
    exact.log10_dags = log10_of(dag_total);
    exact.classes_per_dag = ratio(class_total, dag_total);
    for (std::size_t e = first; e <= top; ++e) {
        exact.edge_shares.push_back(ratio(c[e], class_total));
    }
    exact.mean_edges = ratio(weighted, class_total);
    exact.share_at_bound = ratio(c[top], class_total);
    return exact;
}

}  // namespace

std::optional<EdgeBoundExact> edge_bound_exact(int n, EdgeBound bound) {
    if (!bound.bounded() || n < 1 || n > edge_counts_run_limit || bound.edges < 0 ||
        bound.edges > static_cast<std::int64_t>(n) * (n - 1) / 2) {
        return std::nullopt;
    }
    return compute(n, bound);
}

std::string describe_edge_bound(EdgeBound bound) {
    switch (bound.kind) {
        case EdgeBoundKind::EXACTLY:
            return "exactly " + std::to_string(bound.edges) + " edges";
        case EdgeBoundKind::AT_MOST:
            return "at most " + std::to_string(bound.edges) + " edges";
        case EdgeBoundKind::NONE:
            break;
    }
    return "any number of edges";
}

}  // namespace pellimor
