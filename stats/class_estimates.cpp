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

// The bins of h that hold a sample; the bin of the single value `no_lines`
// (the value of a class without lines) is held against the exact share
// without lines.
template <class Histogram>
Distribution distribution_of(const Histogram& h, double no_lines,
                             const std::optional<double>& exact_no_lines) {
    Distribution d;
    for (const HistogramBin& bin : h.seen()) {
        const bool is_no_lines = bin.at_most == no_lines && bin.above == no_lines - 1;
        d.push_back({bin.above, bin.at_most,
                     share_of(bin.count, h.total, is_no_lines ? exact_no_lines : std::nullopt)});
    }
    return d;
}

}  // namespace

ClassEstimates estimate_classes(const RunEstimates& run, const ClassAccumulator& c) {
    ClassEstimates e;
    std::optional<double> exact_size;
    if (run.dags_per_class.exact && !run.over_dags) {  // a(n) / EG(n), over classes only
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
    e.size_median = h.quantile(0.5);
    e.size_90th = h.quantile(0.9);
    e.size_99th = h.quantile(0.99);

    // A class without lines has s = 1, no line, no chain component of 2 or
    // more vertices and a largest chain component of 1 vertex.
    const std::optional<double>& none = run.no_lines.exact;
    e.size_distribution = distribution_of(h.values, 1, none);
    e.line_distribution = distribution_of(c.line_counts, 0, none);
    e.largest_chain_component_distribution = distribution_of(c.largest_chain_components, 1, none);
    e.chain_component_distribution = distribution_of(c.chain_component_counts, 0, none);
    e.vee_distribution = distribution_of(c.vee_counts, -1, std::nullopt);
    return e;
}

}  // namespace pellimor
