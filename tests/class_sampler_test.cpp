// Uniform DAGs of a class: a chi-square test against the exact class on
// classes of 10 to 120 members, and draws that depend on their stream only.

#include "sampler/class_sampler.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

#include "graph/equivalence_class.hpp"
#include "user_graphs.hpp"

namespace pellimor {
namespace {

// Chain components with 10 to 120 AMOs, among them general ones whose
// cliques have forbidden prefixes, and classes with arrows.
std::vector<MixedGraph> classes_to_test() {
    std::vector<MixedGraph> classes;
    std::mt19937_64 rng(21);
    while (classes.size() < 8) {
        const bool chordal = classes.size() % 2 == 0;
        const MixedGraph g = chordal ? testing::random_chordal(rng, 5 + static_cast<int>(rng() % 4),
                                                               static_cast<int>(rng() % 6))
                                     : testing::random_essential_graph(rng, 7, 0.5);
        const mpz_class size = EquivalenceClass(g).size();
        if (size >= 10 && size <= 120) {
            classes.push_back(g);
        }
    }
    return classes;
}

// Each class: 200 draws per member; the chi-square statistic over the
// members, with s - 1 degrees of freedom, must stay within 4 of its
// standard deviations, sqrt(2 (s - 1)), of its mean.
TEST(ClassSampler, DrawsAreUniformByChiSquare) {
    for (const MixedGraph& g : classes_to_test()) {
        const EquivalenceClass members(g);
        const auto expected = testing::members_by_brute_force(g);
        const auto s = static_cast<double>(expected.size());
        ASSERT_EQ(members.size(), static_cast<unsigned long>(expected.size()));
        ClassSampler sampler(members);
        Xoshiro256StarStar rng(12345);
        std::map<testing::ArrowSet, long> seen;
        std::vector<VertexPair> arrows;
        const long draws = 200 * static_cast<long>(s);
        for (long i = 0; i < draws; ++i) {
            sampler.draw(rng);
            members.orient(sampler.position(), arrows);
            ++seen[testing::arrow_set(arrows)];
        }
        double chi_square = 0;
        for (const auto& member : expected) {
            const double observed = static_cast<double>(seen.count(member) ? seen[member] : 0);
            chi_square += (observed - 200) * (observed - 200) / 200;
        }
        EXPECT_EQ(seen.size(), expected.size()) << "a draw outside the class";
        EXPECT_LT(std::abs(chi_square - (s - 1)), 4 * std::sqrt(2 * (s - 1)))
            << "s = " << s << ", seed 12345";
    }
}

TEST(ClassSampler, ADrawDependsOnItsStreamOnly) {
    std::mt19937_64 rng(6);
    const EquivalenceClass members(testing::random_chordal(rng, 30, 40));
    ClassSampler first(members);
    ClassSampler second(members);
    Xoshiro256StarStar other(99);
    second.draw(other);  // a draw before must leave nothing behind
    Xoshiro256StarStar a(7);
    Xoshiro256StarStar b(7);
    first.draw(a);
    second.draw(b);
    EXPECT_TRUE(
        std::equal(first.position().begin(), first.position().end(), second.position().begin()));
}

}  // namespace
}  // namespace pellimor
