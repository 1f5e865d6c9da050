#include "stats/class_estimates.hpp"

#include <cmath>
#include <limits>
#include <string>

#include "counts/edge_counts.hpp"

namespace pellimor {

namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

MeanEstimate mean_of(const MeanAccumulator& a, std::optional<double> exact) {
    MeanEstimate m;
    m.count = a.count;
    m.mean = a.count > 0 ? a.mean : not_a_number;
    m.standard_error = a.standard_error();
    m.interval = a.count > 0 ? a.interval() : Interval{not_a_number, not_a_number, not_a_number};
    m.exact = exact;
    m.z = exact && a.count > 0 ? z_score(m.mean, m.standard_error, *exact, 0) : not_a_number;
    return m;
}

ShareEstimate share_of(std::int64_t count, std::int64_t of, std::optional<double> exact) {
    ShareEstimate s{count, of, wilson_interval(count, of), exact, not_a_number};
    if (exact && of > 0) {
        const double se = std::sqrt(*exact * (1 - *exact) / static_cast<double>(of));
        s.z = z_score(s.interval.estimate, se, *exact, 0);
    }
    return s;
}

}  // namespace

std::optional<double> exact_edge_mean(int n_vars) {
    // sum_e e EG_n[e] / EG(n), from the counts of classes by edges; the whole
    // triangle up to n costs O(n^7) (40 ms at n = 24, seconds at 40), so
    // only up to edge_mean_limit.
    if (n_vars < 1 || n_vars > edge_mean_limit) {
        return std::nullopt;
    }
    const EdgeTriangle triangle = essential_graphs_by_edges(n_vars);
    const auto& row = triangle[static_cast<std::size_t>(n_vars)];
    mpz_class classes = 0;
    mpz_class edges = 0;
    for (std::size_t e = 0; e < row.size(); ++e) {
        classes += row[e];
        edges += row[e] * static_cast<unsigned long>(e);
    }
    return mpq_class(edges, classes).get_d();
}

ClassEstimates estimate_classes(const RunEstimates& run, const ClassAccumulator& c,
                                int n_vars) {
    ClassEstimates e;
    std::optional<double> exact_size;
    if (run.dags_per_class.exact) {
        exact_size = std::stod(*run.dags_per_class.exact);
    }
    e.edges = mean_of(c.edges, exact_edge_mean(n_vars));
    e.lines = mean_of(c.lines, std::nullopt);
    e.arrows = mean_of(c.arrows, std::nullopt);
    e.vees = mean_of(c.vees, std::nullopt);
    e.chain_components = mean_of(c.chain_components, std::nullopt);
    e.largest_chain_component = mean_of(c.largest_chain_component, std::nullopt);
    e.size = mean_of(c.size, exact_size);
    e.log10_size = mean_of(c.log10_size, std::nullopt);

    const SizeHistogram& h = c.sizes;
    for (int s = 1; s <= ClassEstimates::listed_sizes; ++s) {
        e.size_share[s] =
            share_of(h.count_of(s), h.total, s == 1 ? run.no_lines.exact : std::nullopt);
    }
    e.size_above = share_of(h.count_above(ClassEstimates::listed_sizes), h.total, std::nullopt);
    e.log10_size_median = h.log10_quantile(0.5);
    e.log10_size_90th = h.log10_quantile(0.9);
    e.log10_size_99th = h.log10_quantile(0.99);
    return e;
}

}  // namespace pellimor
