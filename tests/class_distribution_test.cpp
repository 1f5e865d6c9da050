// The samples' class statistics against exact truth: the mean number of
// edges (from the counts of classes by edges), the share of size 1, and the
// whole distribution of class sizes on 4 vertices (brute force), for the
// sampling engine's workers of both methods.

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <vector>

#include "dag_classes.hpp"
#include "exact_counts.hpp"
#include "sampler/sample_methods.hpp"
#include "stats/class_estimates.hpp"
#include "stats/run_statistics.hpp"

namespace pellimor {
namespace {

RunStatistics run_workers(const WorkerFactory& workers, std::int64_t samples) {
    RunStatistics statistics;
    run_in_order(
        workers, SampleNumbering{samples}, 2, [&](const SampleResult& r) { statistics.add(r); },
        [](std::int64_t) { return false; });
    return statistics;
}

// A value and its derivative in y at y = 1.
struct Dual {
    mpz_class value;
    mpz_class slope;
};
Dual operator*(const Dual& a, const Dual& b) {
    return {a.value * b.value, a.slope * b.value + a.value * b.slope};
}

mpz_class binomial(int n, int k) {
    mpz_class c;
    mpz_bin_uiui(c.get_mpz_t(), static_cast<unsigned long>(n), static_cast<unsigned long>(k));
    return c;
}

// EG_n(1) and EG_n'(1), where the coefficient of y^e in EG_n(y) is the
// number of classes on n vertices with e edges:
//   EG_n(y) = sum_k (-1)^(k+1) C(n,k) W_{k,n-k}(y) EG_{n-k}(y),
//   W_{k,m}(y) = sum_b C(k-1,b-1) y^C(b,2) (1 + y^b)^m W_{k-b,m}(y)
// (b the size of the block that holds the first of k vertices), so the
// mean number of edges of a uniform class is EG_n'(1) / EG_n(1).
Dual classes_by_edges_at_one(int n) {
    std::vector<Dual> eg{{1, 0}};
    for (int size = 1; size <= n; ++size) {
        Dual total{0, 0};
        for (int k = 1; k <= size; ++k) {
            const int m = size - k;
            std::vector<Dual> w{{1, 0}};
            for (int j = 1; j <= k; ++j) {
                Dual sum{0, 0};
                for (int b = 1; b <= j; ++b) {
                    const mpz_class power = mpz_class(1) << m;  // (1 + 1^b)^m
                    const Dual block{power, (b * (b - 1) / 2) * power +
                                                (m == 0 ? mpz_class(0) : m * b * (power / 2))};
                    const Dual term = block * w[static_cast<std::size_t>(j - b)];
                    const mpz_class ways = binomial(j - 1, b - 1);
                    sum.value += ways * term.value;
                    sum.slope += ways * term.slope;
                }
                w.push_back(sum);
            }
            const Dual term = w[static_cast<std::size_t>(k)] * eg[static_cast<std::size_t>(m)];
            const mpz_class sign_ways = (k % 2 == 1 ? 1 : -1) * binomial(size, k);
            total.value += sign_ways * term.value;
            total.slope += sign_ways * term.slope;
        }
        eg.push_back(total);
    }
    return eg.back();
}

double edge_mean_by_derivative(int n) {
    const Dual d = classes_by_edges_at_one(n);
    return mpq_class(d.slope, d.value).get_d();
}

TEST(ClassDistribution, EdgeRecurrenceReproducesThePublishedCounts) {
    // Rows 4 and 5 of the published triangle of classes by edges.
    EXPECT_DOUBLE_EQ(edge_mean_by_derivative(4),
                     (6 + 2 * 27 + 3 * 60 + 4 * 66 + 5 * 24 + 6) / 185.0);
    EXPECT_DOUBLE_EQ(edge_mean_by_derivative(5), (10 + 2 * 75 + 3 * 350 + 4 * 1120 + 5 * 2130 +
                                                  6 * 2595 + 7 * 1730 + 8 * 690 + 9 * 80 + 10) /
                                                     8782.0);
    for (int n = 1; n <= testing::exact_counts_max_n; ++n) {
        EXPECT_EQ(classes_by_edges_at_one(n).value.get_str(),
                  testing::exact_counts_for(n).essential_graphs)
            << n;
    }
}

TEST(ClassDistribution, ExactSamplerMeanEdgesAtTwenty) {
    const int n = 20;
    const DagCounts tables(n);
    const RunStatistics s = run_workers(exact_workers(tables, 2020), 20000);
    const MeanAccumulator edges = s.classes.edges();
    const double exact = edge_mean_by_derivative(n);
    EXPECT_LT(std::abs(edges.mean - exact), 4 * edges.standard_error())
        << "mean " << edges.mean << ", exact " << exact << ", se " << edges.standard_error();
    // The summary holds it against the same exact mean, from the counts.
    RunInfo info;
    info.method = METHOD_EXACT;
    info.n_vars = n;
    const ClassEstimates e =
        estimate_classes(estimate_run(info, s, make_exact_values(n, {})), s.classes);
    ASSERT_TRUE(e.edges.exact);
    EXPECT_NEAR(*e.edges.exact, exact, 1e-9 * exact);
    // Every edge is a line or an arrow.
    EXPECT_NEAR(s.classes.lines().mean + s.classes.arrows().mean, edges.mean, 1e-9);
}

TEST(ClassDistribution, ExactSamplerShareOfSizeOneAtEight) {
    const int n = 8;
    const DagCounts tables(n);
    const RunStatistics s = run_workers(exact_workers(tables, 88), 20000);
    const auto& counts = testing::exact_counts_for(n);
    const double exact =
        testing::as_double(counts.essential_dags) / testing::as_double(counts.essential_graphs);
    const double share = static_cast<double>(s.classes.sizes.count_of(1)) / 20000;
    EXPECT_LT(std::abs(share - exact), 4 * std::sqrt(exact * (1 - exact) / 20000))
        << "share " << share << ", exact " << exact;
}

// chi^2 of the sampled class sizes on 4 vertices against the brute-force
// share of classes of each size, for both methods.
TEST(ClassDistribution, ClassSizesOnFourVerticesMatchBruteForce) {
    const int n = 4;
    const auto classes = testing::group_classes(testing::all_dags(n));
    std::map<int, double> expected;  // size -> share of classes
    for (const auto& c : classes) {
        expected[static_cast<int>(c.members.size())] += 1.0 / static_cast<double>(classes.size());
    }
    ASSERT_LE(expected.rbegin()->first, SizeHistogram::exact_limit);
    const DagCounts tables(n);
    const Settings walk{n, 2000, false};
    const std::int64_t samples = 6000;
    for (const auto& [method, workers] : std::vector<std::pair<const char*, WorkerFactory>>{
             {"exact", exact_workers(tables, 44)}, {"walk", walk_workers(walk, 44, nullptr)}}) {
        const SizeHistogram& h = run_workers(workers, samples).classes.sizes;
        double chi2 = 0;
        std::int64_t seen = 0;
        for (const auto& [size, share] : expected) {
            const double e = share * static_cast<double>(samples);
            const double o = static_cast<double>(h.count_of(size));
            chi2 += (o - e) * (o - e) / e;
            seen += h.count_of(size);
        }
        EXPECT_EQ(seen, samples) << method << ": a size no class on 4 vertices has";
        // The chi^2 quantile at 1 - 1e-4 (Wilson-Hilferty).
        const double df = static_cast<double>(expected.size() - 1);
        const double limit = df * std::pow(1 - 2 / (9 * df) + 3.719 * std::sqrt(2 / (9 * df)), 3);
        EXPECT_LT(chi2, limit) << method << ", " << df << " degrees of freedom";
    }
}

// The DAG a record gives for its class is a uniform member of it: over all
// samples, each labelled DAG D on 3 vertices comes with probability
// 1 / (classes * s(class of D)).
TEST(ClassDistribution, RecordedDagIsAUniformMemberOfItsClass) {
    const int n = 3;
    const auto dags = testing::all_dags(n);
    const auto classes = testing::group_classes(dags);
    std::map<std::vector<std::uint32_t>, double> expected;
    for (const auto& c : classes) {
        for (const int i : c.members) {
            expected[dags[static_cast<std::size_t>(i)].parents] =
                1.0 / static_cast<double>(classes.size() * c.members.size());
        }
    }
    const DagCounts tables(n);
    const std::int64_t samples = 11000;
    RecordQueue records;
    std::map<std::vector<std::uint32_t>, double> seen;
    run_in_order(
        exact_workers(tables, 3, SampleExtras{false, &records}), SampleNumbering{samples}, 2,
        [&](const SampleResult&) {
            std::vector<std::uint32_t> parents(n, 0);
            const auto record = nlohmann::json::parse(records.take());
            for (const auto& arrow : record["dag"]) {
                parents[arrow[1].get<std::size_t>()] |= std::uint32_t{1} << arrow[0].get<int>();
            }
            seen[parents] += 1;
        },
        [](std::int64_t) { return false; });
    ASSERT_EQ(seen.size(), expected.size());
    double chi2 = 0;
    for (const auto& [dag, share] : expected) {
        const double e = share * static_cast<double>(samples);
        chi2 += (seen[dag] - e) * (seen[dag] - e) / e;
    }
    const double df = static_cast<double>(expected.size() - 1);
    EXPECT_LT(chi2, df * std::pow(1 - 2 / (9 * df) + 3.719 * std::sqrt(2 / (9 * df)), 3));
}

// The whole distributions the summary gives, at n = 6 against the brute
// force over all 3781503 DAGs: for each statistic, chi^2 of the shares the
// estimates list (cells pooled to an expected count of at least 5).
TEST(ClassDistribution, WholeDistributionsAtSixMatchBruteForce) {
    const int n = 6;
    const std::vector<testing::ClassShape> shapes = testing::all_class_shapes(n);
    ASSERT_EQ(shapes.size(), 1067825u);
    const std::int64_t samples = 20000;
    const DagCounts tables(n);
    const RunStatistics s = run_workers(exact_workers(tables, 66, SampleExtras{true}), samples);
    RunInfo info;
    info.method = METHOD_EXACT;
    info.n_vars = n;
    const ClassEstimates estimates =
        estimate_classes(estimate_run(info, s, make_exact_values(n, {})), s.classes);
    const struct {
        const char* name;
        int testing::ClassShape::*value;
        const Distribution& distribution;
    } cases[] = {
        {"s", &testing::ClassShape::size, estimates.size_distribution},
        {"lines", &testing::ClassShape::lines, estimates.line_distribution},
        {"largest chain component", &testing::ClassShape::largest_chain_component,
         estimates.largest_chain_component_distribution},
        {"chain components", &testing::ClassShape::chain_components,
         estimates.chain_component_distribution},
        {"vees", &testing::ClassShape::vees, estimates.vee_distribution},
    };
    for (const auto& c : cases) {
        std::map<int, double> expected;  // value -> share of classes
        for (const auto& shape : shapes) {
            expected[shape.*c.value] += 1.0 / static_cast<double>(shapes.size());
        }
        std::map<int, double> observed;
        for (const BinShare& bin : c.distribution) {
            ASSERT_EQ(bin.at_most, bin.above + 1) << c.name << ": n = 6 has no value above 1000";
            ASSERT_TRUE(expected.count(static_cast<int>(bin.at_most)))
                << c.name << " = " << bin.at_most << ": no class on 6 vertices has it";
            EXPECT_EQ(bin.share.of, samples) << c.name;
            observed[static_cast<int>(bin.at_most)] = static_cast<double>(bin.share.count);
        }
        double chi2 = 0;
        int cells = 0;
        double e = 0;
        double o = 0;
        for (const auto& [value, share] : expected) {
            e += share * static_cast<double>(samples);
            o += observed[value];
            if (e >= 5 || value == expected.rbegin()->first) {
                chi2 += (o - e) * (o - e) / e;
                ++cells;
                e = o = 0;
            }
        }
        const double df = cells - 1;
        const double limit = df * std::pow(1 - 2 / (9 * df) + 3.719 * std::sqrt(2 / (9 * df)), 3);
        EXPECT_LT(chi2, limit) << c.name << ", " << df << " degrees of freedom, seed 66";
    }
}

TEST(ClassDistribution, PercentilesOfLog10SizeFromTheHistogram) {
    SizeHistogram h;
    for (int i = 0; i < 50; ++i) {
        h.add(1, 0);
    }
    for (int i = 0; i < 40; ++i) {
        h.add(6, std::log10(6.0));
    }
    for (int i = 0; i < 9; ++i) {
        h.add(1e6, 6);  // in the bin [6, 6.01)
    }
    h.add(INFINITY, 5000);  // beyond the last bin
    EXPECT_EQ(h.log10_quantile(0.5), 0);
    EXPECT_EQ(h.log10_quantile(0.51), std::log10(6.0));
    EXPECT_EQ(h.log10_quantile(0.9), std::log10(6.0));
    EXPECT_NEAR(h.log10_quantile(0.99), 6.005, 1e-12);
    EXPECT_EQ(h.log10_quantile(1), INFINITY);
    EXPECT_EQ(h.count_above(10), 10);
    // The same percentiles of s: whole numbers up to 1000, 10^(bin middle) above.
    EXPECT_EQ(h.quantile(0.5), 1);
    EXPECT_EQ(h.quantile(0.9), 6);
    EXPECT_NEAR(h.quantile(0.99), std::pow(10, 6.005), 1e-3);
    EXPECT_EQ(h.quantile(1), INFINITY);
}

// Every value up to 1000 on its own, then bins (2^(k-1), 2^k] (the first
// from 1000), and the values past the last bin.
TEST(ClassDistribution, WholeNumberBinsEndAtPowersOfTwo) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    SizeHistogram h;
    for (const double s :
         {1000.0, 1001.0, 1024.0, 1025.0, 0x1p60, 0x1p60 + 0x1p8, 0x1p1023, 1e308, inf}) {
        h.add(s, std::log10(s));
    }
    std::vector<std::pair<double, double>> bins;
    std::vector<std::int64_t> counts;
    for (const HistogramBin& bin : h.values.seen()) {
        bins.emplace_back(bin.above, bin.at_most);
        counts.push_back(bin.count);
    }
    const std::vector<std::pair<double, double>> expected = {
        {999, 1000},      {1000, 1024},         {1024, 2048},   {0x1p59, 0x1p60},
        {0x1p60, 0x1p61}, {0x1p1022, 0x1p1023}, {0x1p1023, inf}};
    EXPECT_EQ(bins, expected);
    EXPECT_EQ(counts, (std::vector<std::int64_t>{1, 2, 1, 1, 1, 1, 2}));
    CountHistogram lines;
    lines.add(0);
    lines.add(std::uint64_t{1} << 63);
    EXPECT_EQ(lines.seen().size(), 2u);
    EXPECT_EQ(lines.seen().back().at_most, 0x1p63);
}

}  // namespace
}  // namespace pellimor
