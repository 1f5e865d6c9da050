// The layered method's figures, one thread:
//
//   layered_bench classes N DEGREE CLASSES SEED
//       classes with E = round(DEGREE N / 2) edges: the setup (y and the
//       table: seconds of CPU, peak memory), then CLASSES classes, each from
//       its own stream (seconds, proposals per class, the canonical share of
//       the proposals with E edges, the draws per level of the top-down
//       step, and how many of them were new to their level), and the
//       classes' statistics: share without lines, mean
//       lines, largest chain component, and log10 s percentiles;
//   layered_bench table N Y
//       the table alone at weight Y: seconds of CPU, peak memory, the
//       largest estimated relative error of its entries, or why it refused;
//   layered_bench wide N Y BITS CUT
//       the multiprecision table at BITS bits cut at 2^-CUT: seconds of CPU, peak memory,
//       its error bound and largest cancellation, and how far the long double
//       table's shares and totals are from it (or why that one refused);
//   layered_bench share N DEGREE PROPOSALS SEED
//       the kept share EG_N(y) / sum_k T(N, k) at the y whose classes have a
//       mean of DEGREE N / 2 edges (from the weighted class count: minutes
//       at N = 500), and the share kept among PROPOSALS proposals;
//   layered_bench wide-share N DEGREE BITS CUT
//       the same kept share with T from the multiprecision table, where the
//       long double one refuses.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "counts/layered_table.hpp"
#include "counts/weighted_class_count.hpp"
#include "counts/wide_layered_table.hpp"
#include "graph/class_statistics.hpp"
#include "sampler/layered_sampler.hpp"

namespace pellimor {
namespace {

double cpu_seconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

double peak_megabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const double position = p * static_cast<double>(values.size() - 1);
    const auto low = static_cast<std::size_t>(std::floor(position));
    const auto high = std::min(low + 1, values.size() - 1);
    return values[low] + (position - static_cast<double>(low)) * (values[high] - values[low]);
}

int classes(int n, double degree, int count, std::uint64_t seed) {
    const auto edges = static_cast<std::int64_t>(std::llround(degree * n / 2));
    const double start = cpu_seconds();
    const LayeredSetup setup = make_layered_setup(n, edges);
    const double setup_seconds = cpu_seconds() - start;
    std::printf("n %d, E %lld, y %.6g: setup %.2f s of CPU, table error below %.1e\n", n,
                static_cast<long long>(edges), setup.table->y(), setup_seconds,
                setup.table->largest_error());
    LayeredSampler sampler(setup);
    ClassStatisticsCounter statistics(n);
    std::vector<double> log10_sizes;
    double no_lines = 0;
    double lines = 0;
    double largest = 0;
    std::int64_t with_edges = 0;
    const double draw_start = cpu_seconds();
    for (int i = 1; i <= count; ++i) {
        auto rng = sample_stream(seed, static_cast<std::uint64_t>(i));
        SampleResult r;
        sampler.draw_class(rng, r);
        statistics.of_dag(sampler.kept_dag(), sampler.kept_essential(), sampler.kept_size(), false,
                          r.classes);
        no_lines += r.no_lines;
        lines += static_cast<double>(r.lines);
        largest += r.classes.largest_chain_component;
        log10_sizes.push_back(r.classes.log10_size);
    }
    const double seconds = cpu_seconds() - draw_start;
    // The canonical share among proposals with E edges, from a pilot.
    auto pilot_rng = sample_stream(seed, std::uint64_t{1} << 62);
    const LayeredSampler::Pilot pilot =
        sampler.pilot(pilot_rng, 20 * sampler.proposals() / count + 200);
    with_edges = pilot.with_edges;
    const LevelDrawer& levels = sampler.proposal().level_drawer();
    std::printf(
        "%d classes in %.2f s of CPU: %.3g classes per second, %.4g proposals per class "
        "(%.3g us each); canonical among proposals with E edges %.4f (%lld of %lld); %.3f "
        "draws per level (%.3f new to their level); peak memory %.1f MB\n",
        count, seconds, count / seconds, static_cast<double>(sampler.proposals()) / count,
        1e6 * seconds / static_cast<double>(sampler.proposals()),
        with_edges > 0 ? static_cast<double>(pilot.kept) / static_cast<double>(with_edges) : 0.0,
        static_cast<long long>(pilot.kept), static_cast<long long>(with_edges),
        static_cast<double>(levels.shape_draws()) /
            std::max<std::int64_t>(levels.shape_draws_kept(), 1),
        static_cast<double>(levels.shape_draws_computed()) /
            std::max<std::int64_t>(levels.shape_draws_kept(), 1),
        peak_megabytes());
    std::printf(
        "share without lines %.4f, mean lines %.3f, largest chain component %.3f, log10 s "
        "percentiles 5/25/50/75/95: %.2f %.2f %.2f %.2f %.2f\n",
        no_lines / count, lines / count, largest / count, percentile(log10_sizes, 0.05),
        percentile(log10_sizes, 0.25), percentile(log10_sizes, 0.5), percentile(log10_sizes, 0.75),
        percentile(log10_sizes, 0.95));
    return 0;
}

int table(int n, double y) {
    const double start = cpu_seconds();
    try {
        const LayeredTable t(n, y);
        std::printf(
            "n %d, y %.6g: table in %.2f s of CPU, peak memory %.1f MB, error below %.1e, "
            "dropped %.1e\n",
            n, y, cpu_seconds() - start, peak_megabytes(), t.largest_error(), t.dropped_share());
    } catch (const std::domain_error& e) {
        std::printf("n %d, y %.6g: refused after %.2f s: %s\n", n, y, cpu_seconds() - start,
                    e.what());
    }
    return 0;
}

// The multiprecision table at `bits` bits; when the long double table
// builds too, the largest relative difference between their shares of top
// sizes above 10^-6 of their row, and their rows' totals.
int wide(int n, double y, int bits, int cut_bits) {
    const double start = cpu_seconds();
    try {
        const WideLayeredTable w(n, y, bits, cut_bits);
        std::printf(
            "n %d, y %.6g, %d bits: table in %.2f s of CPU, peak memory %.1f MB, error below "
            "%.1e, largest cancellation %.2e, dropped %.1e\n",
            n, y, bits, cpu_seconds() - start, peak_megabytes(), w.largest_error(),
            w.largest_cancellation(), w.dropped_share());
        try {
            const LayeredTable t(n, y);
            double shares = 0;
            double totals = 0;
            for (int m = 1; m <= n; ++m) {
                totals = std::max(totals, static_cast<double>(std::abs(
                                              std::expm1(t.log_total(m) - w.log_total(m)))));
                for (int k = 1; k <= m; ++k) {
                    const long double a = w.top_share(m, k);
                    if (a > 1e-6L) {
                        shares = std::max(shares, static_cast<double>(std::abs(
                                                      t.top_share_precise(m, k) / a - 1)));
                    }
                }
            }
            std::printf("long double table: shares above 1e-6 differ by %.2e at most, totals "
                        "by %.2e; it reports an error below %.1e\n",
                        shares, totals, t.largest_error());
        } catch (const std::domain_error& e) {
            std::printf("long double table refused: %s\n", e.what());
        }
    } catch (const std::domain_error& e) {
        std::printf("n %d, y %.6g, %d bits: refused after %.2f s: %s\n", n, y, bits,
                    cpu_seconds() - start, e.what());
    }
    return 0;
}

// The y at which the classes on n vertices have a mean of degree n / 2
// edges (Newton on log y), with EG_n(y).
WeightedClassCount weight_for_degree(int n, double degree, double& y) {
    const double edges = degree * n / 2;
    double t = std::log((0.4 + 0.05 * degree) * degree / n);
    WeightedClassCount c;
    for (int step = 0; step < 20; ++step) {
        c = weighted_class_count(n, std::exp(t));
        const double gap = edges - c.mean_edges;
        if (std::abs(gap) < 1e-3 * std::sqrt(c.variance_edges)) {
            break;
        }
        t += std::clamp(gap / c.variance_edges, -1.0, 1.0);
    }
    y = std::exp(t);
    return c;
}

// The kept share EG_n(y) / sum_k T(n, k) with T from the multiprecision
// table, where the long double one refuses.
int wide_share(int n, double degree, int bits, int cut_bits) {
    double y = 0;
    const WeightedClassCount c = weight_for_degree(n, degree, y);
    std::printf("n %d, degree %g: y %.8g (classes' mean edges %.4f)", n, degree, y, c.mean_edges);
    const double start = cpu_seconds();
    try {
        const WideLayeredTable w(n, y, bits, cut_bits);
        std::printf(": kept share EG/T %.5f (%d bits cut at 2^-%d: %.1f s of CPU, error below "
                    "%.1e, largest cancellation %.2e)\n",
                    std::exp(c.log_count - static_cast<double>(w.log_total(n))), bits, cut_bits,
                    cpu_seconds() - start, w.largest_error(), w.largest_cancellation());
    } catch (const std::domain_error& e) {
        std::printf(": refused after %.1f s: %s\n", cpu_seconds() - start, e.what());
    }
    return 0;
}

int share(int n, double degree, std::int64_t proposals, std::uint64_t seed) {
    double y = 0;
    const WeightedClassCount c = weight_for_degree(n, degree, y);
    const double edges = degree * n / 2;
    std::printf("n %d, degree %g: y %.8g (classes' mean edges %.4f)", n, degree, y, c.mean_edges);
    try {
        LayeredSetup setup;
        setup.edges = static_cast<std::int64_t>(std::llround(edges));
        setup.table = std::make_unique<LayeredTable>(n, y);
        const double kept_share =
            std::exp(c.log_count - static_cast<double>(setup.table->log_total(n)));
        LayeredSampler sampler(setup);
        std::int64_t canonical = 0;
        auto rng = sample_stream(seed, 1);
        LayeredProposal& proposal = sampler.proposal();
        for (std::int64_t i = 0; i < proposals; ++i) {
            proposal.propose(rng);
            canonical += proposal.build() ? 1 : 0;
        }
        const double observed = static_cast<double>(canonical) / static_cast<double>(proposals);
        std::printf(": kept share EG/T %.5f; observed %.4f +- %.4f in %lld proposals\n", kept_share,
                    observed, std::sqrt(observed * (1 - observed) / static_cast<double>(proposals)),
                    static_cast<long long>(proposals));
    } catch (const std::domain_error& e) {
        std::printf(": table refused: %s\n", e.what());
    }
    return 0;
}

}  // namespace
}  // namespace pellimor

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "classes" && argc == 6) {
            return pellimor::classes(std::atoi(argv[2]), std::atof(argv[3]), std::atoi(argv[4]),
                                     std::strtoull(argv[5], nullptr, 10));
        }
        if (mode == "table" && argc == 4) {
            return pellimor::table(std::atoi(argv[2]), std::atof(argv[3]));
        }
        if (mode == "wide" && argc == 6) {
            return pellimor::wide(std::atoi(argv[2]), std::atof(argv[3]), std::atoi(argv[4]),
                                  std::atoi(argv[5]));
        }
        if (mode == "wide-share" && argc == 6) {
            return pellimor::wide_share(std::atoi(argv[2]), std::atof(argv[3]), std::atoi(argv[4]),
                                        std::atoi(argv[5]));
        }
        if (mode == "share" && argc == 6) {
            return pellimor::share(std::atoi(argv[2]), std::atof(argv[3]), std::atoll(argv[4]),
                                   std::strtoull(argv[5], nullptr, 10));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "layered_bench: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: layered_bench classes N DEGREE CLASSES SEED | table N Y | "
                 "wide N Y BITS CUT | share N DEGREE PROPOSALS SEED | wide-share N DEGREE BITS CUT\n");
    return 2;
}
