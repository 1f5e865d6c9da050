// The DAG tables against exact big-integer counts, and the DAG draw against
// the uniform distribution: over every labelled DAG on 3 and 4 vertices, and
// by its mean arc count on many vertices.

#include "sampler/uniform_dag.hpp"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "exact_counts.hpp"

namespace pellimor {
namespace {

mpz_class binomial(unsigned long n, unsigned long k) {
    mpz_class c;
    mpz_bin_uiui(c.get_mpz_t(), n, k);
    return c;
}

mpz_class power_of_two(unsigned long e) {
    mpz_class p = 1;
    mpz_mul_2exp(p.get_mpz_t(), p.get_mpz_t(), e);
    return p;
}

double log_of(const mpz_class& x) {
    long exponent = 0;
    const double mantissa = mpz_get_d_2exp(&exponent, x.get_mpz_t());
    return std::log(mantissa) + static_cast<double>(exponent) * std::numbers::ln2;
}

double relative_error(double value, double exact) {
    return std::abs(value - exact) / std::abs(exact);
}

// For logarithms, which are 0 for a single DAG.
double log_error(double value, double exact) {
    return std::abs(value - exact) / std::max(1.0, std::abs(exact));
}

// a(0 .. n) by Robinson's inclusion-exclusion over the sources, a recurrence
// unlike the one the tables use: a(m) = sum_k (-1)^{k+1} C(m, k) 2^{k(m-k)}
// a(m-k). With arcs true it yields instead the total arc count over all
// DAGs, the derivative at x = 1 of the same recurrence with 2 replaced by
// 1 + x.
std::vector<mpz_class> robinson(int n, bool arcs = false) {
    std::vector<mpz_class> a(static_cast<std::size_t>(n) + 1, 0);
    std::vector<mpz_class> d(static_cast<std::size_t>(n) + 1, 0);
    a[0] = 1;
    for (int m = 1; m <= n; ++m) {
        for (int k = 1; k <= m; ++k) {
            const unsigned long e = static_cast<unsigned long>(k) * (m - k);
            const mpz_class c = binomial(m, k);
            mpz_class term = c * power_of_two(e) * a[m - k];
            mpz_class arc_term = c * power_of_two(e) * d[m - k];
            if (e > 0) {
                arc_term += c * e * power_of_two(e - 1) * a[m - k];
            }
            if (k % 2 == 0) {
                term = -term;
                arc_term = -arc_term;
            }
            a[m] += term;
            d[m] += arc_term;
        }
    }
    return arcs ? d : a;
}

TEST(DagCounts, DagCountsMatchExactCounts) {
    constexpr int n = 300;
    const std::vector<mpz_class> a = robinson(n);
    for (int m = 1; m <= testing::exact_counts_max_n; ++m) {
        ASSERT_EQ(a[m], mpz_class(testing::exact_counts_for(m).dags)) << "m = " << m;
    }
    const DagCounts counts(n);
    for (int m = 1; m <= n; ++m) {
        const double exact = log_of(a[m]);
        if (m <= testing::exact_counts_max_n) {
            // The count itself to 12 digits.
            EXPECT_NEAR(counts.log_dag_count(m), exact, 1e-12) << "m = " << m;
        }
        EXPECT_LT(log_error(counts.log_dag_count(m), exact), 1e-12) << "m = " << m;
    }
}

// a(m, k) by the source recurrence itself, in exact integers.
std::vector<std::vector<mpz_class>> source_counts(int n) {
    std::vector<std::vector<mpz_class>> a(static_cast<std::size_t>(n) + 1);
    for (int m = 1; m <= n; ++m) {
        a[m].assign(static_cast<std::size_t>(m) + 1, 0);
        a[m][m] = 1;
        for (int k = 1; k < m; ++k) {
            mpz_class sum = 0;
            for (int s = 1; s <= m - k; ++s) {
                mpz_class ways;
                mpz_ui_pow_ui(ways.get_mpz_t(), (1ul << k) - 1, static_cast<unsigned long>(s));
                sum +=
                    ways * power_of_two(static_cast<unsigned long>(k) * (m - k - s)) * a[m - k][s];
            }
            a[m][k] = binomial(m, k) * sum;
        }
    }
    return a;
}

TEST(DagCounts, LayerDistributionsMatchExactCounts) {
    constexpr int n = 40;
    const auto a = source_counts(n);
    std::vector<mpz_class> total(n + 1, 0);
    for (int m = 1; m <= n; ++m) {
        for (const auto& count : a[m]) {
            total[m] += count;
        }
    }
    const DagCounts counts(n);
    for (int m = 1; m <= n; ++m) {
        for (int k = 1; k <= std::min(m, counts.max_layer()); ++k) {
            const double share = mpq_class(a[m][k], total[m]).get_d();
            EXPECT_LT(relative_error(counts.source_share(m, k), share), 1e-12)
                << "m = " << m << ", k = " << k;
            if (m + k <= n) {
                // Z(m, k) = a(m+k, k) / (C(m+k, k) 2^{km} a(m)).
                const mpq_class norm(
                    a[m + k][k], binomial(m + k, k) *
                                     power_of_two(static_cast<unsigned long>(k) * m) * total[m]);
                EXPECT_LT(relative_error(counts.next_layer_norm(m, k), norm.get_d()), 1e-12)
                    << "m = " << m << ", k = " << k;
            }
        }
    }
}

TEST(DagCounts, TruncationChangesNothingADoubleResolves) {
    constexpr int n = 300;
    const DagCounts truncated(n);
    const DagCounts full(n, nullptr, n);
    ASSERT_EQ(truncated.max_layer(), DagCounts::default_max_layer);
    ASSERT_EQ(full.max_layer(), n);
    EXPECT_EQ(full.dropped_mass_bound(), 0);
    EXPECT_GT(truncated.dropped_mass_bound(), 0);
    for (int m = 1; m <= n; ++m) {
        EXPECT_LT(log_error(truncated.log_dag_count(m), full.log_dag_count(m)), 1e-14);
        for (int k = 1; k <= std::min(m, truncated.max_layer()); ++k) {
            EXPECT_LT(relative_error(truncated.source_share(m, k), full.source_share(m, k)), 1e-12)
                << "m = " << m << ", k = " << k;
            EXPECT_LT(relative_error(truncated.next_layer_norm(m, k), full.next_layer_norm(m, k)),
                      1e-12)
                << "m = " << m << ", k = " << k;
        }
    }
    // The bound the draw promises at the largest size: n^2 delta < 1e-40.
    const DagCounts largest(10000);
    EXPECT_LT(largest.dropped_mass_bound() * 1e8, 1e-40);
}

// The layer sizes against a plain walk over s that adds the weights one by
// one: the same s for every u, at targets on a grid and on the running sums
// themselves (where rounding decides), for tables that keep only layers of
// up to 16 and for ones that keep all (layers of 5 or more take the walk).
TEST(DagCounts, LayerSizeIsTheFirstRunningSumAboveTheTarget) {
    for (const auto& [n, max_layer] :
         {std::pair{1, 16}, {2, 16}, {3, 16}, {5, 16}, {40, 16}, {40, 40}}) {
        const DagCounts counts(n, nullptr, max_layer);
        const int K = counts.max_layer();
        auto walk = [&](int m, double target, auto weight) {
            const int last = std::min(m, K);
            double sum = 0;
            for (int s = 1; s < last; ++s) {
                sum += weight(s);
                if (target < sum) {
                    return s;
                }
            }
            return last;
        };
        auto targets = [](double norm, auto weight, int last) {
            std::vector<double> u;
            for (int i = 0; i < 1000; ++i) {
                u.push_back((i + 0.5) / 1000);
            }
            double sum = 0;
            for (int s = 1; s <= last; ++s) {
                sum += weight(s);
                for (const double at : {sum / norm, std::nextafter(sum / norm, 0.0),
                                        std::nextafter(sum / norm, 1.0)}) {
                    if (at < 1) {
                        u.push_back(at);
                    }
                }
            }
            return u;
        };
        double first_norm = 0;
        for (int s = 1; s <= K; ++s) {
            first_norm += counts.source_share(n, s);
        }
        auto share = [&](int s) { return counts.source_share(n, s); };
        for (const double u : targets(first_norm, share, std::min(n, K))) {
            ASSERT_EQ(counts.first_layer_size(u), walk(n, u * first_norm, share))
                << "n = " << n << ", u = " << u;
        }
        for (int m = 1; m <= n; ++m) {
            for (int k = 1; k <= K; ++k) {
                // (1 - 2^-k)^s as the tables form it, by repeated products.
                std::vector<double> power(static_cast<std::size_t>(K) + 1, 1.0);
                for (int s = 1; s <= K; ++s) {
                    power[s] = power[s - 1] * (1 - std::ldexp(1.0, -k));
                }
                auto weight = [&](int s) { return power[s] * counts.source_share(m, s); };
                const double norm = counts.next_layer_norm(m, k);
                for (const double u : targets(norm, weight, std::min(m, K))) {
                    ASSERT_EQ(counts.next_layer_size(m, k, u), walk(m, u * norm, weight))
                        << "n = " << n << ", m = " << m << ", k = " << k << ", u = " << u;
                }
            }
        }
    }
}

TEST(DagCounts, StopFlagEndsTheBuild) {
    const std::atomic<bool> stop{true};
    EXPECT_THROW(DagCounts(1000, &stop), SetupStopped);
}

// Every labelled DAG on n vertices equally often: a chi-square test over all
// of them, with the bits of the off-diagonal cells as the key.
class UniformDagOnFew : public ::testing::TestWithParam<int> {};

TEST_P(UniformDagOnFew, EveryLabelledDagEquallyLikely) {
    const int n = GetParam();
    const int dag_total = std::stoi(testing::exact_counts_for(n).dags);
    const int draws = 200 * dag_total;
    const std::uint64_t seed = 20260 + static_cast<std::uint64_t>(n);
    const DagCounts counts(n);
    UniformDag sampler(counts);
    OrderedDag dag(n);
    EdgeMatrix m(n);
    Xoshiro256StarStar rng(seed);
    std::vector<int> seen(std::size_t{1} << (n * (n - 1)), 0);
    for (int i = 0; i < draws; ++i) {
        sampler.draw_labelled(rng, dag, m);
        std::uint32_t key = 0;
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) {
                if (r != c) {
                    key = key << 1 | (m[r][c] == EDGE_ARROW ? 1u : 0u);
                }
            }
        }
        ++seen[key];
    }
    const double expected = static_cast<double>(draws) / dag_total;
    double chi_square = 0;
    int distinct = 0;
    for (int count : seen) {
        if (count > 0) {
            ++distinct;
            chi_square += (count - expected) * (count - expected) / expected;
        }
    }
    // Any graph outside the DAGs would make distinct exceed the count.
    EXPECT_EQ(distinct, dag_total) << "seed " << seed;
    const double freedom = dag_total - 1;
    EXPECT_LT(chi_square, freedom + 4 * std::sqrt(2 * freedom)) << "seed " << seed;
}

INSTANTIATE_TEST_SUITE_P(UniformDag, UniformDagOnFew, ::testing::Values(3, 4));

// Rows of several words, layers that straddle word boundaries and (with
// max_layer = n) layers wider than a word: the mean arc count of the draws
// against the exact mean over all DAGs.
struct ArcCase {
    int n;
    int max_layer;
};

class UniformDagArcs : public ::testing::TestWithParam<ArcCase> {};

TEST_P(UniformDagArcs, MeanArcCountIsExact) {
    const auto [n, max_layer] = GetParam();
    const double exact_mean = mpq_class(robinson(n, true)[n], robinson(n)[n]).get_d();
    const DagCounts counts(n, nullptr, max_layer);
    UniformDag sampler(counts);
    OrderedDag dag(n);
    const std::uint64_t seed = 77 + static_cast<std::uint64_t>(n + max_layer);
    Xoshiro256StarStar rng(seed);
    constexpr int draws = 2000;
    double sum = 0;
    double square_sum = 0;
    for (int i = 0; i < draws; ++i) {
        sampler.draw(rng, dag);
        double arcs = 0;
        for (int v = 0; v < n; ++v) {
            for (int w = 0; w < dag.words(); ++w) {
                arcs += std::popcount(dag.parents(v)[w]);
            }
        }
        sum += arcs;
        square_sum += arcs * arcs;
    }
    const double mean = sum / draws;
    const double variance = (square_sum - sum * mean) / (draws - 1);
    EXPECT_NEAR(mean, exact_mean, 4 * std::sqrt(variance / draws))
        << "seed " << seed << ", n = " << n << ", max_layer = " << max_layer;
}

INSTANTIATE_TEST_SUITE_P(UniformDag, UniformDagArcs,
                         ::testing::Values(ArcCase{130, DagCounts::default_max_layer},
                                           ArcCase{130, 130}, ArcCase{65, 65}));

// Given its layers, a uniform DAG gives each vertex a uniform non-empty set
// of parents in the layer before. The layers are the depths (longest paths
// from a source), so they can be read off a drawn DAG; a chi-square test over
// the parent patterns within previous layers of 2 and 3 vertices, kept apart
// for layers that straddle a word boundary of the rows.
TEST(UniformDag, ParentsInTheLayerBeforeAreUniform) {
    constexpr int n = 130;  // three words a row, boundaries at 64 and 128
    constexpr int widest = 3;
    const std::uint64_t seed = 4242;
    const DagCounts counts(n);
    UniformDag sampler(counts);
    OrderedDag dag(n);
    Xoshiro256StarStar rng(seed);
    // seen[straddles][k][pattern]
    std::vector<int> seen(2 * (widest + 1) << widest, 0);
    auto cell = [](int straddles, int k, int pattern) {
        return (straddles * (widest + 1) + k) << widest | pattern;
    };
    std::vector<int> depth(n);
    for (int draw = 0; draw < 3000; ++draw) {
        sampler.draw(rng, dag);
        int p0 = 0;  // the layer before is p0 .. p1-1, the current one p1 ..
        int p1 = 0;
        for (int v = 0; v < n; ++v) {
            // Vertices are numbered by layer, so the highest parent is the
            // deepest one.
            int top = -1;
            for (int w = dag.words() - 1; w >= 0 && top < 0; --w) {
                if (dag.parents(v)[w] != 0) {
                    top = w * word_bits + word_bits - 1 - std::countl_zero(dag.parents(v)[w]);
                }
            }
            depth[v] = top < 0 ? 0 : depth[top] + 1;
            ASSERT_TRUE(v == 0 || depth[v] == depth[v - 1] || depth[v] == depth[v - 1] + 1)
                << "vertex " << v << " is out of layer order, seed " << seed;
            if (v > 0 && depth[v] != depth[v - 1]) {
                p0 = p1;
                p1 = v;
            }
            const int k = p1 - p0;
            if (depth[v] == 0 || k > widest) {
                continue;
            }
            int pattern = 0;
            for (int i = 0; i < k; ++i) {
                pattern |= test_bit(dag.parents(v), p0 + i) ? 1 << i : 0;
            }
            const int straddles = p0 / word_bits != (p1 - 1) / word_bits ? 1 : 0;
            ++seen[cell(straddles, k, pattern)];
        }
    }
    double chi_square = 0;
    int freedom = 0;
    for (int straddles = 0; straddles < 2; ++straddles) {
        for (int k = 1; k <= widest; ++k) {
            const int patterns = (1 << k) - 1;
            int total = 0;
            for (int pattern = 0; pattern <= patterns; ++pattern) {
                total += seen[cell(straddles, k, pattern)];
            }
            ASSERT_EQ(seen[cell(straddles, k, 0)], 0) << "a vertex without a parent in the layer "
                                                      << "before, seed " << seed;
            if (k == 1 || total == 0) {
                continue;
            }
            ASSERT_GT(total, 20 * patterns) << "too few layers of " << k;
            const double expected = static_cast<double>(total) / patterns;
            for (int pattern = 1; pattern <= patterns; ++pattern) {
                const double d = seen[cell(straddles, k, pattern)] - expected;
                chi_square += d * d / expected;
            }
            freedom += patterns - 1;
        }
    }
    EXPECT_LT(chi_square, freedom + 4 * std::sqrt(2.0 * freedom)) << "seed " << seed;
}

}  // namespace
}  // namespace pellimor
