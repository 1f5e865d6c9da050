// Acyclic moral orientations (AMOs) of one large connected chordal graph:
// clique-picking alone (no closed forms, no memo) and the class-size entry
// the program uses (closed forms for trees and cliques, the memo up to 16
// vertices, clique-picking beyond), on random trees, k-trees (k = 2, 5, 10)
// and interval graphs of 50, 200 and 1000 vertices; and, on 16, 20 and 40
// vertices (chain components of sparse classes), the entry against the entry
// as it was before (the memo up to 16 vertices, the root decomposition above).
//
// Each benchmark checks its count before timing: a tree on n vertices has n
// AMOs; a k-tree on n vertices (k + 1)! + (n - k - 1) k k! (clique-picking
// with a clique tree rooted anywhere: the root clique gives (k + 1)!, every
// other clique's only forbidden prefix is its k-separator, k! (k + 1 - k)!
// orders start with it, and every clique-first orientation leaves no line);
// an interval graph's count must agree between the two routes.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "graph/class_size.hpp"
#include "graph/clique_picking.hpp"

namespace pellimor {
namespace {

enum Family { tree = 0, two_tree, five_tree, ten_tree, interval };

int tree_width(Family family) {
    switch (family) {
        case tree:
            return 1;
        case two_tree:
            return 2;
        case five_tree:
            return 5;
        case ten_tree:
            return 10;
        default:
            return 0;
    }
}

const char* family_name(Family family) {
    static const char* names[] = {"tree", "2-tree", "5-tree", "10-tree", "interval"};
    return names[family];
}

// A random k-tree: a (k+1)-clique, then each new vertex joins k vertices of
// a random (k+1)-clique so far (a random tree for k = 1).
AdjacencyLists random_k_tree(std::mt19937_64& rng, int n, int k) {
    AdjacencyLists g(static_cast<std::size_t>(n));
    auto join = [&](int a, int b) {
        g[static_cast<std::size_t>(a)].push_back(b);
        g[static_cast<std::size_t>(b)].push_back(a);
    };
    std::vector<std::vector<int>> cliques(1);
    for (int v = 0; v <= k; ++v) {
        for (int w = 0; w < v; ++w) {
            join(v, w);
        }
        cliques[0].push_back(v);
    }
    for (int v = k + 1; v < n; ++v) {
        std::vector<int> clique = cliques[rng() % cliques.size()];
        clique.erase(clique.begin() + static_cast<std::ptrdiff_t>(rng() % clique.size()));
        for (const int w : clique) {
            join(v, w);
        }
        clique.push_back(v);
        cliques.push_back(std::move(clique));
    }
    return g;
}

// A random connected interval graph: vertex i is the interval [i, i + l_i]
// with l_i = 1 + an exponential of mean 3 (rounded down), so about 7
// neighbours on average.
AdjacencyLists random_interval(std::mt19937_64& rng, int n) {
    std::exponential_distribution<double> extra(1.0 / 3.0);
    std::vector<int> right(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        right[static_cast<std::size_t>(i)] = i + 1 + static_cast<int>(extra(rng));
    }
    AdjacencyLists g(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n && j <= right[static_cast<std::size_t>(i)]; ++j) {
            g[static_cast<std::size_t>(i)].push_back(j);
            g[static_cast<std::size_t>(j)].push_back(i);
        }
    }
    return g;
}

AdjacencyLists make_graph(Family family, int n) {
    std::mt19937_64 rng(1000 * static_cast<std::uint64_t>(family) + static_cast<std::uint64_t>(n));
    return family == interval ? random_interval(rng, n) : random_k_tree(rng, n, tree_width(family));
}

// The known count, or NaN where there is none.
double known_count(Family family, int n) {
    const int k = tree_width(family);
    if (k == 0) {
        return std::nan("");
    }
    const double k_factorial = std::tgamma(k + 1.0);
    return (k + 1) * k_factorial + static_cast<double>(n - k - 1) * k * k_factorial;
}

std::vector<Word> rows_of(const AdjacencyLists& g) {
    const int n = static_cast<int>(g.size());
    const int words = words_for(n);
    std::vector<Word> rows(static_cast<std::size_t>(n) * words, 0);
    for (int v = 0; v < n; ++v) {
        for (const int u : g[static_cast<std::size_t>(v)]) {
            set_bit(rows.data() + static_cast<std::size_t>(v) * words, u);
        }
    }
    return rows;
}

// Sets an error and returns false unless the counts of the two routes agree
// and match the known count where there is one.
bool check(benchmark::State& state, Family family, const AdjacencyLists& g) {
    const int n = static_cast<int>(g.size());
    CliquePicking picking(CliquePickingOptions{0, false});
    const double by_cliques = picking.count(g);
    ClassSizeCounter counter(n);
    const auto rows = rows_of(g);
    const double by_entry = counter.count_orientations(rows.data());
    const double known = known_count(family, n);
    const bool agree = std::abs(by_cliques / by_entry - 1.0) < 1e-12 &&
                       (std::isnan(known) || std::abs(by_cliques / known - 1.0) < 1e-12);
    if (!agree || !(by_cliques >= 1.0)) {
        state.SkipWithError("the two routes or the known count disagree");
        return false;
    }
    state.counters["log10 AMOs"] = std::log10(by_cliques);
    return true;
}

void BM_CliquePicking(benchmark::State& state) {
    const auto family = static_cast<Family>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    state.SetLabel(std::string(family_name(family)));
    const AdjacencyLists g = make_graph(family, n);
    if (!check(state, family, g)) {
        return;
    }
    std::vector<int> offsets{0};
    std::vector<int> targets;
    for (const auto& neighbours : g) {
        targets.insert(targets.end(), neighbours.begin(), neighbours.end());
        offsets.push_back(static_cast<int>(targets.size()));
    }
    CliquePicking picking(CliquePickingOptions{0, false});
    for (auto _ : state) {
        benchmark::DoNotOptimize(picking.count(n, offsets.data(), targets.data()));
    }
}

void BM_ClassSizeEntry(benchmark::State& state) {
    const auto family = static_cast<Family>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    state.SetLabel(std::string(family_name(family)));
    const AdjacencyLists g = make_graph(family, n);
    if (!check(state, family, g)) {
        return;
    }
    const auto rows = rows_of(g);
    ClassSizeCounter counter(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(counter.count_orientations(rows.data()));
    }
}

// The entry as it was before clique-picking: the memo up to 16 vertices, the
// root decomposition above, on components of the sizes sparse classes have.
void BM_RootDecompositionEntry(benchmark::State& state) {
    const auto family = static_cast<Family>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    state.SetLabel(std::string(family_name(family)));
    const AdjacencyLists g = make_graph(family, n);
    if (!check(state, family, g)) {
        return;
    }
    const auto rows = rows_of(g);
    ClassSizeOptions options;
    options.memo_limit = 16;
    options.clique_picking = false;
    ClassSizeCounter counter(n, options);
    const double expected = ClassSizeCounter(n).count_orientations(rows.data());
    if (std::abs(counter.count_orientations(rows.data()) / expected - 1.0) > 1e-12) {
        state.SkipWithError("the root decomposition disagrees");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(counter.count_orientations(rows.data()));
    }
}

void families(benchmark::internal::Benchmark* b, std::initializer_list<int> sizes) {
    for (const int family : {tree, two_tree, five_tree, ten_tree, interval}) {
        for (const int n : sizes) {
            b->Args({family, n});
        }
    }
}
void large(benchmark::internal::Benchmark* b) {
    families(b, {50, 200, 1000});
}
void component_sized(benchmark::internal::Benchmark* b) {
    families(b, {16, 20, 40});
}

BENCHMARK(BM_CliquePicking)->Apply(large)->Apply(component_sized)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClassSizeEntry)->Apply(large)->Apply(component_sized)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RootDecompositionEntry)->Apply(component_sized)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pellimor

BENCHMARK_MAIN();
