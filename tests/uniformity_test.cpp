// The walk must sample essential graphs uniformly: its moves are proposed
// symmetrically and rejected moves stay, so after enough moves every
// admissible graph is equally likely. At n = 4 the final graphs of seeded
// walks are counted per graph and compared with the uniform distribution
// over all 185 by a chi-squared test, for both judges.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "mixed_graphs.hpp"
#include "sampler/random_walk.hpp"

namespace pellimor {
namespace {

// The number of the mixed graph m: one base-4 digit per pair a < b (0 none,
// 1 a -> b, 2 b -> a, 3 line).
std::size_t graph_number(const EdgeMatrix& m) {
    std::size_t number = 0;
    for (int a = 0; a < m.size(); ++a) {
        for (int b = a + 1; b < m.size(); ++b) {
            const std::size_t digit = m[a][b] == EDGE_LINE    ? 3
                                      : m[a][b] == EDGE_ARROW ? 1
                                      : m[b][a] == EDGE_ARROW ? 2
                                                              : 0;
            number = number * 4 + digit;
        }
    }
    return number;
}

struct UniformityCase {
    bool full_check;
    int n_its;
    int samples;
    std::uint64_t seed;
};

class Uniformity : public ::testing::TestWithParam<UniformityCase> {};

TEST_P(Uniformity, WalkSamplesEveryEssentialGraphOnFourVerticesEqually) {
    const auto [full_check, n_its, samples, seed] = GetParam();
    const int n = 4;
    const auto graphs = testing::admissible_graphs(n);
    ASSERT_EQ(graphs.size(), 185u);
    // Class of each mixed graph number: its place among the admissible, or -1.
    std::vector<int> place(std::size_t{1} << (2 * n * (n - 1) / 2), -1);
    for (std::size_t g = 0; g < graphs.size(); ++g) {
        place[graph_number(graphs[g])] = static_cast<int>(g);
    }
    std::vector<int> count(graphs.size(), 0);
    for (int i = 1; i <= samples; ++i) {
        EdgeMatrix m(n);
        auto rng = sample_stream(seed, static_cast<std::uint64_t>(i));
        MoveCounts counts;
        run_walk(m, rng, n_its, full_check, counts);
        const int g = place[graph_number(m)];
        ASSERT_GE(g, 0) << "seed " << seed << " sample " << i << ": not admissible";
        ++count[g];
    }
    const double expected = static_cast<double>(samples) / static_cast<double>(graphs.size());
    double chi_squared = 0;
    for (int c : count) {
        chi_squared += (c - expected) * (c - expected) / expected;
    }
    // Chi-squared with 184 degrees of freedom: mean 184, standard deviation
    // sqrt(2 * 184); allow four standard deviations.
    const double freedom = static_cast<double>(graphs.size() - 1);
    EXPECT_LT(chi_squared, freedom + 4 * std::sqrt(2 * freedom))
        << (full_check ? "full check" : "incremental") << ", seed " << seed << ", " << samples
        << " samples of " << n_its << " moves";
}

INSTANTIATE_TEST_SUITE_P(BothJudges, Uniformity,
                         ::testing::Values(UniformityCase{false, 2000, 4000, 20261208},
                                           UniformityCase{true, 1000, 1500, 7}),
                         [](const auto& info) {
                             return info.param.full_check ? "FullCheck" : "Incremental";
                         });

}  // namespace
}  // namespace pellimor
