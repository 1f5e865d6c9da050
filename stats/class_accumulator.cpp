#include "stats/class_accumulator.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pellimor {

void SizeHistogram::add(double size, double log10_size) {
    ++total;
    values.add_whole(size);
    if (size >= 1 && size <= exact_limit) {
        return;
    }
    if (log10_size < fine_end) {
        const int bin = static_cast<int>((log10_size - fine_start) / fine_width);
        fine[bin < 0 ? 0 : (bin >= fine_bins ? fine_bins - 1 : bin)] += 1;
    } else if (log10_size < coarse_end) {
        const int bin = static_cast<int>(log10_size - fine_end);
        coarse[bin >= coarse_bins ? coarse_bins - 1 : bin] += 1;
    } else {
        beyond += 1;
    }
}

void SizeHistogram::merge(const SizeHistogram& other) {
    total += other.total;
    values.merge(other.values);
    for (int b = 0; b < fine_bins; ++b) {
        fine[b] += other.fine[b];
    }
    for (int b = 0; b < coarse_bins; ++b) {
        coarse[b] += other.coarse[b];
    }
    beyond += other.beyond;
}

std::int64_t SizeHistogram::count_above(int size) const {
    std::int64_t at_most = 0;
    for (int s = 1; s <= size; ++s) {
        at_most += values.exact[s];
    }
    return total - at_most;
}

double SizeHistogram::log10_quantile(double p) const {
    if (total == 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    // The smallest value whose cumulative count reaches p * total (at least
    // one sample, so p near 0 gives the smallest size seen).
    const double needed = std::max(1.0, std::ceil(p * static_cast<double>(total) - 1e-9));
    double seen = 0;
    for (int s = 1; s <= exact_limit; ++s) {
        seen += static_cast<double>(values.exact[s]);
        if (seen >= needed) {
            return std::log10(static_cast<double>(s));
        }
    }
    for (int b = 0; b < fine_bins; ++b) {
        seen += static_cast<double>(fine[b]);
        if (seen >= needed) {
            return fine_start + (b + 0.5) * fine_width;
        }
    }
    for (int b = 0; b < coarse_bins; ++b) {
        seen += static_cast<double>(coarse[b]);
        if (seen >= needed) {
            return fine_end + b + 0.5;
        }
    }
    return std::numeric_limits<double>::infinity();
}

double SizeHistogram::quantile(double p) const {
    const double log10_s = log10_quantile(p);
    const double s = std::pow(10.0, log10_s);
    // log10 of a size up to exact_limit comes back to the size itself.
    return log10_s <= fine_start ? std::round(s) : s;
}

void ClassAccumulator::add(const ClassStatistics& c) {
    const double x[STATISTICS] = {static_cast<double>(c.edges),
                                  static_cast<double>(c.lines),
                                  static_cast<double>(c.arrows),
                                  static_cast<double>(c.chain_components),
                                  static_cast<double>(c.largest_chain_component),
                                  c.size,
                                  c.log10_size};
    ++count;
    const double inverse = 1 / static_cast<double>(count);
    for (int k = 0; k < STATISTICS; ++k) {  // Welford's update, as MeanAccumulator::add
        const double delta = x[k] - mean[k];
        mean[k] += delta * inverse;
        m2[k] += delta * (x[k] - mean[k]);
    }
    if (c.vees >= 0) {
        vee_mean.add(static_cast<double>(c.vees));
        vee_counts.add(static_cast<std::uint64_t>(c.vees));
    }
    sizes.add(c.size, c.log10_size);
    line_counts.add(static_cast<std::uint64_t>(c.lines));
    largest_chain_components.add(static_cast<std::uint64_t>(c.largest_chain_component));
    chain_component_counts.add(static_cast<std::uint64_t>(c.chain_components));
}

void ClassAccumulator::merge(const ClassAccumulator& other) {
    for (int k = 0; k < STATISTICS; ++k) {
        MeanAccumulator merged = of(static_cast<Statistic>(k));
        merged.merge(other.of(static_cast<Statistic>(k)));
        mean[k] = merged.mean;
        m2[k] = merged.m2;
    }
    count += other.count;
    vee_mean.merge(other.vee_mean);
    sizes.merge(other.sizes);
    line_counts.merge(other.line_counts);
    largest_chain_components.merge(other.largest_chain_components);
    chain_component_counts.merge(other.chain_component_counts);
    vee_counts.merge(other.vee_counts);
}

}  // namespace pellimor
