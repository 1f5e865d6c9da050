// The walk must sample essential graphs uniformly: its moves are proposed
// symmetrically and rejected moves stay, so after enough moves every
// admissible graph is equally likely. Compare the sampled shares at n = 4
// with the exact shares over all 185 admissible graphs.

#include <gtest/gtest.h>

#include <cmath>

#include "mixed_graphs.hpp"
#include "sampler/sample_run.hpp"

namespace pellimor {
namespace {

struct Shares {
    double no_lines = 0;
    double connected = 0;
    double both = 0;
};

Shares exact_shares(int n) {
    const auto graphs = testing::admissible_graphs(n);
    Shares shares;
    for (const auto& m : graphs) {
        const int no_lines = has_no_lines(m);
        const int connected = is_connected(m);
        shares.no_lines += no_lines;
        shares.connected += connected;
        shares.both += no_lines * connected;
    }
    const double count = static_cast<double>(graphs.size());
    return {shares.no_lines / count, shares.connected / count, shares.both / count};
}

void expect_within_four_standard_errors(double sampled, double exact, int samples, const char* what,
                                        std::uint64_t seed) {
    const double standard_error = std::sqrt(exact * (1 - exact) / samples);
    EXPECT_NEAR(sampled, exact, 4 * standard_error)
        << what << " share, seed " << seed << ", " << samples << " samples";
}

void check_uniform(const Settings& settings, int samples, std::uint64_t seed) {
    const Shares exact = exact_shares(settings.n_vars);
    Shares sampled;
    for (int i = 1; i <= samples; ++i) {
        const SampleResult r = run_sample(settings, seed, static_cast<std::uint64_t>(i));
        sampled.no_lines += r.no_lines;
        sampled.connected += r.connected;
        sampled.both += r.no_lines * r.connected;
    }
    expect_within_four_standard_errors(sampled.no_lines / samples, exact.no_lines, samples,
                                       "no-line", seed);
    expect_within_four_standard_errors(sampled.connected / samples, exact.connected, samples,
                                       "connected", seed);
    expect_within_four_standard_errors(sampled.both / samples, exact.both, samples, "both", seed);
}

TEST(Uniformity, ExactSharesOnFourVertices) {
    // 185 graphs: the shares are fractions of 185 and none is trivial.
    const Shares exact = exact_shares(4);
    EXPECT_GT(exact.no_lines, 0.2);
    EXPECT_LT(exact.no_lines, 0.8);
    EXPECT_GT(exact.connected, 0.2);
    EXPECT_LT(exact.connected, 0.9);
    EXPECT_LT(exact.both, exact.no_lines);
}

TEST(Uniformity, WalkSamplesEssentialGraphsUniformly) {
    check_uniform(Settings{4, 2000, false}, 4000, 20261208);
}

TEST(Uniformity, FullCheckWalkSamplesUniformlyToo) {
    check_uniform(Settings{4, 1000, true}, 1500, 7);
}

}  // namespace
}  // namespace pellimor
