// The table of layered objects, in long double and in multiprecision,
// against every M1 object enumerated by brute force for n <= 6; the two
// builds against each other where the sums over split pairs cancel; the
// refusal where they lose the long double's precision, and the weighted
// class count against the counts by edges.

#include "counts/layered_table.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <map>
#include <ostream>
#include <utility>
#include <vector>

#include "counts/edge_counts.hpp"
#include "counts/weighted_class_count.hpp"
#include "counts/wide_layered_table.hpp"

namespace pellimor {
namespace {

using Mask = std::uint32_t;
using ByEdges = std::vector<std::int64_t>;  // count of objects by number of edges

void add_shifted(ByEdges& into, const ByEdges& from, int shift) {
    if (into.size() < from.size() + static_cast<std::size_t>(shift)) {
        into.resize(from.size() + static_cast<std::size_t>(shift), 0);
    }
    for (std::size_t e = 0; e < from.size(); ++e) {
        into[e + static_cast<std::size_t>(shift)] += from[e];
    }
}

// Every M1 object on the vertex set `vertices`, by (top level, its roots).
// Straight from the definitions: a top set, a set partition of it into
// pieces, an object below, and for every piece any row among the vertices
// below; kept when the rows cover the top of the object below and no root
// there is touched by one one-vertex piece alone whose row is that root.
class Enumeration {
  public:
    using Profiles = std::map<std::pair<Mask, Mask>, ByEdges>;

    const Profiles& objects(Mask vertices) {
        if (auto it = memo_.find(vertices); it != memo_.end()) {
            return it->second;
        }
        Profiles result;
        for (Mask top = vertices; top != 0; top = (top - 1) & vertices) {
            const Mask rest = vertices & ~top;
            std::vector<Mask> pieces;
            partitions(top, pieces, [&] {
                if (rest == 0) {
                    int edges = 0;
                    Mask roots = 0;
                    for (Mask p : pieces) {
                        const int b = std::popcount(p);
                        edges += b * (b - 1) / 2;
                        roots |= b == 1 ? p : 0;
                    }
                    ByEdges one(static_cast<std::size_t>(edges) + 1, 0);
                    one[static_cast<std::size_t>(edges)] = 1;
                    add_shifted(result[{top, roots}], one, 0);
                    return;
                }
                for (const auto& [profile, counts] : objects(rest)) {
                    std::vector<Mask> rows(pieces.size(), 0);
                    choose_rows(rest, pieces, rows, 0, profile, counts, top, result);
                }
            });
        }
        return memo_[vertices] = std::move(result);
    }

  private:
    // Calls done() for every set partition of `set` (in pieces).
    template <class Done>
    void partitions(Mask set, std::vector<Mask>& pieces, Done&& done) {
        if (set == 0) {
            done();
            return;
        }
        const Mask first = set & (~set + 1);
        const Mask others = set & ~first;
        for (Mask with = others;; with = (with - 1) & others) {
            pieces.push_back(first | with);
            partitions(set & ~(first | with), pieces, done);
            pieces.pop_back();
            if (with == 0) {
                break;
            }
        }
    }

    void choose_rows(Mask rest, const std::vector<Mask>& pieces, std::vector<Mask>& rows,
                     std::size_t i, const std::pair<Mask, Mask>& below, const ByEdges& counts,
                     Mask top, Profiles& result) {
        if (i == pieces.size()) {
            Mask covered = 0;
            for (Mask r : rows) {
                covered |= r;
            }
            if ((below.first & ~covered) != 0) {
                return;
            }
            for (Mask roots = below.second; roots != 0; roots &= roots - 1) {
                const Mask r = roots & (~roots + 1);
                int touchers = 0;
                std::size_t toucher = 0;
                for (std::size_t p = 0; p < pieces.size(); ++p) {
                    if ((rows[p] & r) != 0) {
                        ++touchers;
                        toucher = p;
                    }
                }
                if (touchers == 1 && std::popcount(pieces[toucher]) == 1 && rows[toucher] == r) {
                    return;  // a split pair
                }
            }
            int edges = 0;
            Mask roots = 0;
            for (std::size_t p = 0; p < pieces.size(); ++p) {
                const int b = std::popcount(pieces[p]);
                edges += b * (b - 1) / 2 + b * std::popcount(rows[p]);
                roots |= b == 1 && rows[p] == 0 ? pieces[p] : 0;
            }
            add_shifted(result[{top, roots}], counts, edges);
            return;
        }
        for (Mask row = rest;; row = (row - 1) & rest) {
            rows[i] = row;
            choose_rows(rest, pieces, rows, i + 1, below, counts, top, result);
            if (row == 0) {
                break;
            }
        }
    }

    std::map<Mask, Profiles> memo_;
};

double evaluate(const ByEdges& counts, double y) {
    double sum = 0;
    for (std::size_t e = counts.size(); e-- > 0;) {
        sum = sum * y + static_cast<double>(counts[e]);
    }
    return sum;
}

class LayeredTableBruteForce : public ::testing::TestWithParam<int> {};

// T(n, k) at y = 1 and at y = 0.3 from both builds, against the objects
// counted one by one (at y = 1, the sums over k are 1, 2, 17, 331, 17622,
// 2250457).
TEST_P(LayeredTableBruteForce, EveryTopSizeMatchesTheEnumeration) {
    const int n = GetParam();
    Enumeration enumeration;
    std::vector<ByEdges> by_top(static_cast<std::size_t>(n) + 1);
    for (const auto& [profile, counts] : enumeration.objects((Mask{1} << n) - 1)) {
        add_shifted(by_top[static_cast<std::size_t>(std::popcount(profile.first))], counts, 0);
    }
    for (const double y : {1.0, 0.3}) {
        const LayeredTable table(n, y);
        const WideLayeredTable wide(n, y, 128, 96);
        double total = 0;
        for (int k = 1; k <= n; ++k) {
            const double expected = evaluate(by_top[static_cast<std::size_t>(k)], y);
            total += expected;
            const long double found = table.log_count(n, k);
            if (expected == 0) {
                EXPECT_TRUE(std::isinf(found)) << "n = " << n << ", k = " << k << ", y = " << y;
            } else {
                EXPECT_NEAR(static_cast<double>(found), std::log(expected), 1e-12)
                    << "n = " << n << ", k = " << k << ", y = " << y;
            }
            EXPECT_NEAR(wide.count(n, k).get_d(), expected, 1e-13 * expected)
                << "wide, n = " << n << ", k = " << k << ", y = " << y;
        }
        EXPECT_NEAR(static_cast<double>(table.log_total(n)), std::log(total), 1e-12)
            << "n = " << n << ", y = " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(LayeredTable, LayeredTableBruteForce, ::testing::Values(2, 3, 4, 5, 6));

// A sparse weight, where the sums over split pairs cancel by 2e6: the long
// double rows agree with the multiprecision ones (to 6e-12 here), and these
// with a second multiprecision build within their error bounds.
TEST(LayeredTable, SparseRowsAgreeWithTheMultiprecisionBuild) {
    const int n = 80;
    const double y = 0.0066;
    const LayeredTable table(n, y);
    const WideLayeredTable wide(n, y, 128, 96);
    const WideLayeredTable wider(n, y, 160, 112);
    EXPECT_GT(wide.largest_cancellation(), 1e6);
    for (int m = 1; m <= n; ++m) {
        EXPECT_NEAR(static_cast<double>(table.log_total(m)), static_cast<double>(wide.log_total(m)),
                    1e-9)
            << "m = " << m;
        for (int k = 1; k <= m; ++k) {
            const mpf_class& a = wide.count(m, k);
            const mpf_class& b = wider.count(m, k);
            if (sgn(b) == 0) {
                EXPECT_EQ(sgn(a), 0) << "m = " << m << ", k = " << k;
                continue;
            }
            const mpf_class gap = abs(a / b - 1);
            EXPECT_LE(gap.get_d(), wide.relative_error(m, k) + wider.relative_error(m, k))
                << "m = " << m << ", k = " << k;
            if (wide.top_share(m, k) > 1e-6L) {
                EXPECT_NEAR(static_cast<double>(table.top_share_precise(m, k) / wide.top_share(m, k)),
                            1.0, 1e-10)
                    << "m = " << m << ", k = " << k;
            }
        }
    }
}

// Where the sums over split pairs cancel beyond their precision (a sparse
// weight on many vertices) the table says so instead of building.
TEST(LayeredTable, RefusesWhereItsSumsLosePrecision) {
    EXPECT_THROW(LayeredTable(400, 0.002), std::domain_error);
}

// Each class has exactly one canonical layered object, an M1 object of the
// same weight, so EG_n(y) <= sum_k T(n, k); for sparse weights the canonical
// share is near 0.87 (0.86 to 0.88 from n = 100 to 500 at mean degree 4 to
// 8). Rows of a few hundred vertices rest on top sizes far below their
// modes; a table that drops those falls behind EG (share 1.5 here).
TEST(LayeredTable, CanonicalShareOfSparseObjectsIsNearItsValue) {
    const int n = 250;
    const double y = 0.0063;
    const LayeredTable table(n, y);
    const double share =
        std::exp(weighted_class_count(n, y).log_count - static_cast<double>(table.log_total(n)));
    EXPECT_LE(share, 1.0);
    EXPECT_GT(share, 0.8);
}

struct CountCase {
    int n;
    double y;
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << "n " << c.n << ", y " << c.y;
}

class WeightedClassCountCase : public ::testing::TestWithParam<CountCase> {};

// log EG_n(y) and the mean and variance of the edges against the exact
// counts by edges.
TEST_P(WeightedClassCountCase, MatchesTheCountsByEdges) {
    const auto [n, y] = GetParam();
    const EdgeTriangle triangle = essential_graphs_by_edges(n);
    long double sum = 0;
    long double first = 0;
    long double second = 0;
    const auto& row = triangle[static_cast<std::size_t>(n)];
    for (std::size_t e = 0; e < row.size(); ++e) {
        const long double w = row[e].get_d() * std::pow(static_cast<long double>(y), e);
        sum += w;
        first += w * e;
        second += w * e * e;
    }
    const WeightedClassCount c = weighted_class_count(n, y);
    const long double mean = first / sum;
    EXPECT_NEAR(c.log_count, static_cast<double>(std::log(sum)), 1e-12);
    EXPECT_NEAR(c.mean_edges, static_cast<double>(mean), 1e-10 * static_cast<double>(mean));
    EXPECT_NEAR(c.variance_edges, static_cast<double>(second / sum - mean * mean), 1e-8);
}

INSTANTIATE_TEST_SUITE_P(LayeredTable, WeightedClassCountCase,
                         ::testing::Values(CountCase{5, 1.0}, CountCase{9, 0.25},
                                           CountCase{12, 0.05}));

}  // namespace
}  // namespace pellimor
