// Random chordal graphs as `edges` files (every edge a line "a -- b"), for
// timing `pellimor --class`:
//
//   chordal_graphs interval N SEED        N random intervals [min(x, y), max(x, y)],
//                                          x, y uniform in [0, 1]; two vertices
//                                          adjacent when their intervals meet
//   chordal_graphs subtree N SEED K       the subtree-intersection method (Şeker,
//                                          Heggernes, Ekim and Taşkın, "Generation of
//                                          random chordal graphs using subtrees of a
//                                          tree"): a random tree on N nodes (node i
//                                          joins a uniform earlier node); for each
//                                          vertex a subtree grown from a uniform node
//                                          to a size uniform in 1 .. 2K-1, each step
//                                          adding a uniform node next to it; vertices
//                                          adjacent when their subtrees share a node
//   chordal_graphs peo N SEED E           a random perfect elimination order: a
//                                          random tree (each vertex, in a random
//                                          order, joins a uniform earlier one) plus E
//                                          uniform random pairs, then the vertices
//                                          eliminated in the order 0 .. N-1, each
//                                          making its later neighbours a clique (its
//                                          fill-in), which makes 0 .. N-1 a perfect
//                                          elimination order
//
// Vertices are named v1 .. vN. The graph is written only when connected
// (else the program says so and exits 1), so that it is one chain
// component. Deterministic for a seed (std::mt19937_64 and integer draws).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using Graph = std::vector<std::set<int>>;

std::uint64_t below(std::mt19937_64& rng, std::uint64_t k) {
    return rng() % k;
}

Graph interval(std::mt19937_64& rng, int n) {
    std::vector<double> left(n), right(n);
    for (int i = 0; i < n; ++i) {
        const double x = static_cast<double>(rng() >> 11) * 0x1.0p-53;
        const double y = static_cast<double>(rng() >> 11) * 0x1.0p-53;
        left[i] = x < y ? x : y;
        right[i] = x < y ? y : x;
    }
    Graph g(n);
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (left[i] <= right[j] && left[j] <= right[i]) {
                g[i].insert(j);
                g[j].insert(i);
            }
        }
    }
    return g;
}

Graph subtree(std::mt19937_64& rng, int n, int k) {
    std::vector<std::vector<int>> tree(n);
    for (int i = 1; i < n; ++i) {
        const int p = static_cast<int>(below(rng, i));
        tree[i].push_back(p);
        tree[p].push_back(i);
    }
    std::vector<std::vector<int>> at(n);  // per node: the vertices whose subtree holds it
    std::vector<int> mark(n, -1);
    for (int v = 0; v < n; ++v) {
        const int size = 1 + static_cast<int>(below(rng, 2 * k - 1));
        const int start = static_cast<int>(below(rng, n));
        std::vector<int> nodes{start};
        mark[start] = v;
        std::vector<int> frontier(tree[start]);
        while (static_cast<int>(nodes.size()) < size && !frontier.empty()) {
            const std::size_t i = below(rng, frontier.size());
            const int w = frontier[i];
            frontier[i] = frontier.back();
            frontier.pop_back();
            if (mark[w] == v) {
                continue;
            }
            mark[w] = v;
            nodes.push_back(w);
            for (const int x : tree[w]) {
                if (mark[x] != v) {
                    frontier.push_back(x);
                }
            }
        }
        for (const int w : nodes) {
            at[w].push_back(v);
        }
    }
    Graph g(n);
    for (const auto& vertices : at) {
        for (std::size_t i = 0; i < vertices.size(); ++i) {
            for (std::size_t j = i + 1; j < vertices.size(); ++j) {
                g[vertices[i]].insert(vertices[j]);
                g[vertices[j]].insert(vertices[i]);
            }
        }
    }
    return g;
}

Graph peo(std::mt19937_64& rng, int n, int extra) {
    // A random tree plus `extra` random pairs, on vertices in a random order.
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i) {
        order[i] = i;
    }
    for (int i = n - 1; i > 0; --i) {
        std::swap(order[i], order[below(rng, i + 1)]);
    }
    const int words = (n + 63) / 64;
    std::vector<std::uint64_t> rows(static_cast<std::size_t>(n) * words, 0);
    auto row = [&](int v) { return rows.data() + static_cast<std::size_t>(v) * words; };
    auto join = [&](int a, int b) {
        if (a != b) {
            row(a)[b / 64] |= std::uint64_t{1} << (b % 64);
            row(b)[a / 64] |= std::uint64_t{1} << (a % 64);
        }
    };
    for (int i = 1; i < n; ++i) {
        join(order[i], order[below(rng, i)]);
    }
    for (int t = 0; t < extra; ++t) {
        join(static_cast<int>(below(rng, n)), static_cast<int>(below(rng, n)));
    }
    // Eliminate 0, 1, ..., n-1: each vertex's later neighbours become a clique.
    std::vector<std::uint64_t> later(words);
    for (int v = 0; v < n; ++v) {
        for (int w = 0; w < words; ++w) {
            const std::uint64_t below_v = w < v / 64   ? 0
                                          : w > v / 64 ? ~std::uint64_t{0}
                                                       : ~((std::uint64_t{2} << (v % 64)) - 1);
            later[w] = row(v)[w] & below_v;
        }
        for (int w = 0; w < words; ++w) {
            for (std::uint64_t bits = later[w]; bits != 0; bits &= bits - 1) {
                const int u = w * 64 + __builtin_ctzll(bits);
                for (int x = 0; x < words; ++x) {
                    row(u)[x] |= later[x];
                }
                row(u)[u / 64] &= ~(std::uint64_t{1} << (u % 64));
            }
        }
    }
    Graph g(n);
    for (int v = 0; v < n; ++v) {
        for (int w = 0; w < words; ++w) {
            for (std::uint64_t bits = row(v)[w]; bits != 0; bits &= bits - 1) {
                g[v].insert(w * 64 + __builtin_ctzll(bits));
            }
        }
    }
    return g;
}

bool connected(const Graph& g) {
    std::vector<char> seen(g.size(), 0);
    std::vector<int> stack{0};
    seen[0] = 1;
    std::size_t count = 1;
    while (!stack.empty()) {
        const int v = stack.back();
        stack.pop_back();
        for (const int u : g[v]) {
            if (seen[u] == 0) {
                seen[u] = 1;
                ++count;
                stack.push_back(u);
            }
        }
    }
    return count == g.size();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind = argc > 1 ? argv[1] : "";
    if (argc < 4 || (kind != "interval" && argc < 5) ||
        (kind != "interval" && kind != "subtree" && kind != "peo")) {
        std::fprintf(stderr,
                     "usage: chordal_graphs interval N SEED | subtree N SEED K | peo N SEED E\n");
        return 2;
    }
    const int n = std::atoi(argv[2]);
    std::mt19937_64 rng(std::strtoull(argv[3], nullptr, 10));
    const Graph g = kind == "interval"  ? interval(rng, n)
                    : kind == "subtree" ? subtree(rng, n, std::atoi(argv[4]))
                                        : peo(rng, n, std::atoi(argv[4]));
    if (n < 1 || !connected(g)) {
        std::fprintf(stderr, "chordal_graphs: the graph is not connected; try another seed\n");
        return 1;
    }
    std::string out;
    for (int v = 0; v < n; ++v) {
        for (const int u : g[v]) {
            if (u > v) {
                out += 'v';  // appended piece by piece: GCC 12 warns (wrongly) on + chains
                out += std::to_string(v + 1);
                out += " -- v";
                out += std::to_string(u + 1);
                out += '\n';
            }
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
