#include "stats/class_estimates.hpp"

#include <cmath>
#include <limits>
#include <string>

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

ClassEstimates estimate_classes(const RunEstimates& run, const ClassAccumulator& c) {
    ClassEstimates e;
    std::optional<double> exact_size;
    if (run.dags_per_class.exact) {
        exact_size = run.dags_per_class.exact_value;
    }
    std::optional<double> exact_edges;
    if (!run.mean_edges.text.empty() && !run.bounded) {  // the mean over all classes
        exact_edges = run.mean_edges.value;
    }
    e.edges = mean_of(c.edges(), exact_edges);
    e.lines = mean_of(c.lines(), std::nullopt);
    e.arrows = mean_of(c.arrows(), std::nullopt);
    e.vees = mean_of(c.vees(), std::nullopt);
    e.chain_components = mean_of(c.chain_components(), std::nullopt);
    e.largest_chain_component = mean_of(c.largest_chain_component(), std::nullopt);
    e.size = mean_of(c.size(), exact_size);
    e.log10_size = mean_of(c.log10_size(), std::nullopt);

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
