#include "stats/estimates.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "counts/exact_counts.hpp"
#include "sampler/sample_run.hpp"

namespace pellimor {
namespace {

// Over many short seeded walk runs at n = 4, the 95% Wilson interval of the
// share without lines covers the exact share 59 / 185 about 95% of the time.
TEST(Estimates, WalkNoLineIntervalCoversExactShare) {
    const Settings settings{4, 2000, false};
    const RunInfo info{METHOD_WALK, "empty", 4, 2000, 100, 0, 1, 0, true, {}, {}};
    const int runs = 200;
    int covered = 0;
    for (int run = 0; run < runs; ++run) {
        RunStatistics statistics;
        const auto seed = static_cast<std::uint64_t>(1000 + run);
        for (int i = 1; i <= 100; ++i) {
            statistics.add(run_sample(settings, seed, static_cast<std::uint64_t>(i)));
        }
        const ShareEstimate s =
            estimate_run(info, statistics, make_exact_values(info.n_vars, {})).no_lines;
        ASSERT_NEAR(*s.exact, 59.0 / 185.0, 1e-15);
        covered += s.interval.low <= *s.exact && *s.exact <= s.interval.high ? 1 : 0;
    }
    EXPECT_GE(covered, 180) << "seeds 1000 to 1199";
    EXPECT_LE(covered, 198) << "seeds 1000 to 1199";
}

// Every DAG on 3 vertices with 3 edges is complete, in the one class of 6
// DAGs: an exact run bounded by 3 edges estimates classes per DAG as sums
// that are 1/6 but for rounding, with no spread. Its counts agree with the
// exact ones, z = 0 (not an infinity, and not -0).
TEST(Estimates, CountsThatAgreeToRoundingHaveZeroZ) {
    const RunInfo info{METHOD_EXACT, "empty", 3, 0, 100, 0, 1, 0, true, {}, EdgeBound::exactly(3)};
    RunStatistics statistics;
    for (int i = 1; i <= 100; ++i) {
        SampleResult r;
        r.connected = 1;
        r.dags_drawn = i % 11 + 1;
        for (int dag = 0; dag < r.dags_drawn; ++dag) {
            r.inverse_size_sum += 1.0 / 6;  // as the sampler sums them
        }
        r.connected_weight = r.inverse_size_sum;
        statistics.add(r);
    }
    const RunEstimates e =
        estimate_run(info, statistics, make_exact_values(info.n_vars, info.edge_bound));
    for (const CountEstimate* count :
         {&e.classes_per_dag, &e.dags_per_class, &e.essential_graphs}) {
        EXPECT_EQ(count->z, 0.0);
        EXPECT_FALSE(std::signbit(count->z));
    }
}

// The exact method at n = 3, simulated from its 25 DAGs: 1 empty (class of
// 1), 6 with one edge (classes of 2, one line), 3 colliders (classes of 1,
// connected), 9 other paths (classes of 3, two lines, connected), 6 complete
// (class of 6, three lines, connected). Draw uniform DAGs, keep with 1/s.
TEST(Estimates, ExactMethodWeightedEstimatesFindTheTruth) {
    struct Dag {
        int size;
        int connected;
        int lines;
    };
    std::vector<Dag> dags = {{1, 0, 0}};
    dags.insert(dags.end(), 6, Dag{2, 0, 1});
    dags.insert(dags.end(), 3, Dag{1, 1, 0});
    dags.insert(dags.end(), 9, Dag{3, 1, 2});
    dags.insert(dags.end(), 6, Dag{6, 1, 3});
    const std::uint64_t seed = 77;
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<std::size_t> pick(0, dags.size() - 1);
    std::uniform_real_distribution<double> keep(0, 1);
    RunStatistics statistics;
    for (int i = 0; i < 4000; ++i) {
        SampleResult r;
        for (;;) {
            const Dag d = dags[pick(rng)];
            ++r.dags_drawn;
            r.inverse_size_sum += 1.0 / d.size;
            r.single_dag_count += d.size == 1 ? 1 : 0;
            r.connected_weight += d.connected / static_cast<double>(d.size);
            if (keep(rng) * d.size < 1) {
                r.lines = d.lines;
                r.no_lines = d.lines == 0 ? 1 : 0;
                r.connected = d.connected;
                break;
            }
        }
        statistics.add(r);
    }
    const RunInfo info{METHOD_EXACT, "empty", 3, 0, 4000, seed, 1, 0, true, {}, {}};
    const RunEstimates e = estimate_run(info, statistics, make_exact_values(info.n_vars, {}));
    ASSERT_TRUE(e.has_weighted);
    EXPECT_NEAR(*e.weighted_no_lines.exact, 4.0 / 11.0, 1e-15);
    EXPECT_NEAR(*e.weighted_connected.exact, 7.0 / 11.0, 1e-15);
    EXPECT_LT(std::abs(e.weighted_no_lines.z), 4) << "seed " << seed;
    EXPECT_LT(std::abs(e.weighted_connected.z), 4) << "seed " << seed;
    EXPECT_LT(std::abs(e.essential_graphs.z), 4) << "seed " << seed;
    // 11 classes: the interval around the estimate is a few percent wide.
    EXPECT_EQ(*e.essential_graphs.exact, "11");
    EXPECT_LT(std::pow(10, e.essential_graphs.log10_low), 11);
    EXPECT_GT(std::pow(10, e.essential_graphs.log10_high), 11);
    EXPECT_LT(e.essential_graphs.log10_high - e.essential_graphs.log10_low, 0.05);
    EXPECT_NEAR(e.dags_per_class.log10_estimate, -e.classes_per_dag.log10_estimate, 1e-15);
}

// A weighted share with no event seen (every sample connected, as at n >= 20)
// gets Wilson's interval over the effective number of samples, not the
// delta method's zero width; a walk with no samples has no move-rate mean.
TEST(Estimates, ShareWithNoEventSeenIsNotCertain) {
    RunStatistics s;
    for (int i = 0; i < 300; ++i) {
        SampleResult r;
        r.dags_drawn = 1 + i % 5;
        r.inverse_size_sum = 0.2 + 0.1 * (i % 3);  // the weight w of the sample
        r.connected_weight = r.inverse_size_sum;   // every DAG connected
        r.single_dag_count = 0.1;
        r.connected = 1;
        s.add(r);
    }
    const RunInfo info{METHOD_EXACT, "empty", 20, 0, 300, 1, 1, 0, true, {}, {}};
    const RunEstimates e = estimate_run(info, s, make_exact_values(info.n_vars, {}));
    EXPECT_EQ(e.dags_drawn, 900);
    const RatioEstimate& c = e.weighted_connected;
    EXPECT_EQ(c.interval.estimate, 1.0);
    EXPECT_EQ(c.interval.high, 1.0);
    // Weights 0.2, 0.3, 0.4 in turn: n_eff = 300 * 0.3^2 / (0.29 / 3) = 279.3.
    const double n_eff = 300 * 0.09 / (0.29 / 3);
    EXPECT_NEAR(c.interval.low, n_eff / (n_eff + z_95 * z_95), 1e-9);
    EXPECT_TRUE(c.no_event_seen);
    EXPECT_FALSE(e.weighted_no_lines.no_event_seen);

    const RunInfo walk{METHOD_WALK, "empty", 6, 100, 0, 1, 1, 0, true, {}, {}};
    EXPECT_TRUE(std::isnan(
        estimate_run(walk, RunStatistics{}, make_exact_values(walk.n_vars, {})).rate_mean[0]));
}

// A weighted share near 0 or 1 with few events: the delta method's interval,
// share +- 1.96 se, would leave [0, 1]; the interval given never does, in
// runs of every kind (bounded by edges: no exact share).
// The parameter: the edge bound (exactly that many edges), or -1 for none.
class WeightedShareInterval : public ::testing::TestWithParam<int> {};

TEST_P(WeightedShareInterval, StaysWithinZeroAndOne) {
    RunStatistics s;
    for (int i = 0; i < 300; ++i) {
        SampleResult r;
        r.dags_drawn = 100;
        r.inverse_size_sum = 0.01;
        // One sample of 300 holds the only DAG alone in its class, and one
        // the only disconnected DAGs.
        r.single_dag_count = i == 7 ? 0.005 : 0;
        r.connected_weight = i == 8 ? 0 : r.inverse_size_sum;
        s.add(r);
    }
    const EdgeBound bound = GetParam() < 0 ? EdgeBound{} : EdgeBound::exactly(GetParam());
    const RunInfo info{METHOD_EXACT, "empty", 50, 0, 300, 1, 1, 0, true, {}, bound};
    const RunEstimates e = estimate_run(info, s, make_exact_values(info.n_vars, info.edge_bound));
    for (const RatioEstimate* r : {&e.weighted_no_lines, &e.weighted_connected}) {
        EXPECT_TRUE(r->beyond_delta_method);
        EXPECT_GE(r->interval.low, 0);
        EXPECT_LE(r->interval.high, 1);
        EXPECT_LT(r->interval.low, r->interval.estimate);
        EXPECT_GT(r->interval.high, r->interval.estimate);
    }
    EXPECT_NEAR(e.weighted_no_lines.interval.estimate, 0.005 / 3, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(Runs, WeightedShareInterval, ::testing::Values(-1, 50),
                         [](const auto& info) {
                             return info.param < 0 ? "AllClasses" : "FiftyEdges";
                         });

TEST(Estimates, LargeCountsPrintWithFiveSignificantDigits) {
    // a(30) = 2.71485...e158; a(10000) is far beyond double.
    EXPECT_EQ(format_log10(log10_of(exact_counts_up_to(30).dags[30])), "2.7149e+158");
    EXPECT_EQ(format_log10(log10_dag_count(30)), "2.7149e+158");
    EXPECT_EQ(format_log10(std::log10(185.0)), "185.00");
    EXPECT_EQ(format_log10(1000.0 + std::log10(9.999996)), "1.0000e+1001");
    EXPECT_FALSE(from_log10(400));
    const RunInfo info{METHOD_WALK, "empty", 1000, 10, 0, 0, 1, 0, true, {}, {}};
    const RunEstimates e = estimate_run(info, RunStatistics{}, make_exact_values(info.n_vars, {}));
    EXPECT_FALSE(e.dags.decimal);
    // a(n) ~ n! 2^(n(n-1)/2) / (0.574 * 1.488^n): log10 a(1000) = 152759.9.
    EXPECT_EQ(format_log10(e.dags.log10).substr(6), "e+152759");
}

}  // namespace
}  // namespace pellimor
