#include "graph/class_statistics.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

namespace pellimor {

namespace {

std::int64_t pairs(std::int64_t k) {
    return k * (k - 1) / 2;
}

// Built for the x86-64 baseline, std::popcount is a library call of some
// twenty instructions; the two loops below get a copy that uses the popcnt
// instruction, chosen once at load time where the processor has it, which
// makes counting a large DAG's edges cost about 1% of drawing it instead of
// 8%, and its vees ten times less than with the library call.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define PELLIMOR_WITH_POPCNT __attribute__((target_clones("popcnt", "default")))
#else
#define PELLIMOR_WITH_POPCNT
#endif

// The set bits of count words.
PELLIMOR_WITH_POPCNT std::int64_t count_bits(const Word* words, int count) {
    std::int64_t a = 0;
    std::int64_t b = 0;
    int w = 0;
    for (; w + 1 < count; w += 2) {
        a += std::popcount(words[w]);
        b += std::popcount(words[w + 1]);
    }
    if (w < count) {
        a += std::popcount(words[w]);
    }
    return a + b;
}

// The vees x -> z <- y of dag with head z. In a topological numbering two
// parents x < y of z are adjacent exactly when x -> y, so the adjacent pairs
// among the k parents of z are the sum over parents y of
// |parents(z) & parents(y)|, and vees(z) = C(k, 2) - adjacent pairs.
PELLIMOR_WITH_POPCNT std::int64_t vees_into(const OrderedDag& dag, int z) {
    const Word* parents = dag.parents(z);
    const int top = z / word_bits + 1;
    std::int64_t k = 0;
    for (int w = 0; w < top; ++w) {
        k += std::popcount(parents[w]);
    }
    if (k < 2) {
        return 0;
    }
    std::int64_t adjacent = 0;
    for (int v = 0; v < top; ++v) {
        for (Word bits = parents[v]; bits != 0; bits &= bits - 1) {
            const int y = v * word_bits + std::countr_zero(bits);
            const Word* of_y = dag.parents(y);
            for (int w = 0; w <= v; ++w) {  // parents of y lie below y
                adjacent += std::popcount(parents[w] & of_y[w]);
            }
        }
    }
    return k * (k - 1) / 2 - adjacent;
}

// The same for the head z of an essential graph given by rows of arrow tails
// and of neighbours: C(k, 2) minus the adjacent pairs among the k tails, each
// seen from both of its ends.
PELLIMOR_WITH_POPCNT std::int64_t vees_into(const Word* tails, const Word* adjacent_rows,
                                            int words) {
    std::int64_t k = 0;
    for (int w = 0; w < words; ++w) {
        k += std::popcount(tails[w]);
    }
    if (k < 2) {
        return 0;
    }
    std::int64_t twice_adjacent = 0;
    for (int v = 0; v < words; ++v) {
        for (Word bits = tails[v]; bits != 0; bits &= bits - 1) {
            const int x = v * word_bits + std::countr_zero(bits);
            const Word* near = adjacent_rows + static_cast<std::size_t>(x) * words;
            for (int w = 0; w < words; ++w) {
                twice_adjacent += std::popcount(tails[w] & near[w]);
            }
        }
    }
    return k * (k - 1) / 2 - twice_adjacent / 2;
}

}  // namespace

ClassStatisticsCounter::ClassStatisticsCounter(int n)
    : n_(n), words_(words_for(n)), parent_(static_cast<std::size_t>(n), -1) {
    touched_.reserve(static_cast<std::size_t>(n));
}

int ClassStatisticsCounter::find(int v) {
    int root = v;
    while (parent_[root] >= 0) {
        root = parent_[root];
    }
    while (parent_[v] >= 0) {  // path compression
        const int next = parent_[v];
        parent_[v] = root;
        v = next;
    }
    return root;
}

// Union by size; a root holds minus its component's size. Every vertex
// leaves the fresh state -1 exactly once, and is listed then, so touched_
// never holds more than n vertices.
void ClassStatisticsCounter::join(int u, int v) {
    int a = find(u);
    int b = find(v);
    if (a == b) {
        return;
    }
    if (parent_[a] > parent_[b]) {
        std::swap(a, b);
    }
    if (parent_[a] == -1) {
        touched_.push_back(a);
    }
    if (parent_[b] == -1) {
        touched_.push_back(b);
    }
    parent_[a] += parent_[b];
    parent_[b] = a;
}

void ClassStatisticsCounter::count_components(ClassStatistics& out) {
    out.chain_components = 0;
    out.largest_chain_component = n_ > 0 ? 1 : 0;
    for (const int v : touched_) {
        if (parent_[v] < 0) {
            ++out.chain_components;
            out.largest_chain_component = std::max(out.largest_chain_component, -parent_[v]);
        }
    }
    for (const int v : touched_) {
        parent_[v] = -1;
    }
    touched_.clear();
}

void ClassStatisticsCounter::of_dag(const OrderedDag& dag, const EssentialGraph& eg, double size,
                                    bool count_vees, ClassStatistics& out) {
    const int n = dag.size();
    std::int64_t edges = 0;
    if (dag.words() == 1) {
        edges = count_bits(dag.parents(0), n);  // one word per row, rows back to back
    } else {
        for (int z = 0; z < n; ++z) {
            edges += count_bits(dag.parents(z), z / word_bits + 1);  // the words below z
        }
    }
    std::int64_t vees = 0;
    for (int z = 0; count_vees && z < n; ++z) {
        vees += vees_into(dag, z);
    }
    out.edges = edges;
    out.lines = eg.line_count();
    out.arrows = edges - out.lines;
    out.vees = count_vees ? vees : -1;
    all_bits(
        eg.words(), [&](int w) { return eg.line_heads()[w]; },
        [&](int v) {
            all_bits(
                eg.words(), [&](int w) { return eg.reversible(v)[w]; },
                [&](int u) {
                    join(u, v);
                    return true;
                });
            return true;
        });
    count_components(out);
    out.size = size;
    out.log10_size = std::log10(size);
}

void ClassStatisticsCounter::of_matrix(const EdgeMatrix& m, ClassSizeCounter& sizes,
                                       bool count_vees, ClassStatistics& out) {
    const int n = m.size();
    const int words = words_;
    const std::size_t cells = static_cast<std::size_t>(n) * words;
    if (parents_.size() != cells) {  // first use: the walk's workers only need these rows
        parents_.assign(cells, 0);
        adjacent_.assign(cells, 0);
        lines_.assign(cells, 0);
    } else {
        std::fill(parents_.begin(), parents_.end(), Word{0});
        std::fill(adjacent_.begin(), adjacent_.end(), Word{0});
        std::fill(lines_.begin(), lines_.end(), Word{0});
    }
    auto row = [words](std::vector<Word>& rows, int v) {
        return rows.data() + static_cast<std::size_t>(v) * words;
    };
    std::int64_t arrows = 0;
    std::int64_t lines = 0;
    for (int r = 0; r < n; ++r) {
        const EdgeCode* cells_of_r = m[r];
        for (int c = 0; c < n; ++c) {
            if (cells_of_r[c] == EDGE_ARROW) {
                ++arrows;
                set_bit(row(parents_, c), r);
            } else if (cells_of_r[c] == EDGE_LINE) {
                set_bit(row(lines_, r), c);
                if (r < c) {
                    ++lines;
                    join(r, c);
                }
            } else {
                continue;
            }
            set_bit(row(adjacent_, r), c);
            set_bit(row(adjacent_, c), r);
        }
    }
    out.edges = arrows + lines;
    out.lines = lines;
    out.arrows = arrows;
    out.vees = -1;
    if (count_vees) {
        std::int64_t vees = 0;
        for (int z = 0; z < n; ++z) {
            vees += vees_into(row(parents_, z), adjacent_.data(), words);
        }
        out.vees = vees;
    }
    out.size = lines == 0 ? 1.0 : sizes.count_orientations(lines_.data());
    out.log10_size =
        std::isfinite(out.size) ? std::log10(out.size) : log10_size_by_components(sizes);
    count_components(out);
}

// log10 s as the sum over the chain components of log10 of each one's count,
// for a class whose size overflowed the double product. A clique of k
// vertices has k! orientations, log10 k! = lgamma(k + 1) / ln 10, also past
// the range of a double; any other component that overflows alone gives +inf.
double ClassStatisticsCounter::log10_size_by_components(ClassSizeCounter& sizes) {
    const int words = words_;
    component_.resize(lines_.size(), 0);  // allocated the first time it is needed
    double sum = 0;
    for (const int root : touched_) {
        if (parent_[root] >= 0) {
            continue;
        }
        std::int64_t k = 0;
        std::int64_t degree_sum = 0;
        for (const int v : touched_) {
            if (find(v) != root) {
                continue;
            }
            ++k;
            const Word* from = lines_.data() + static_cast<std::size_t>(v) * words;
            Word* to = component_.data() + static_cast<std::size_t>(v) * words;
            for (int w = 0; w < words; ++w) {
                to[w] = from[w];
                degree_sum += std::popcount(from[w]);
            }
        }
        double count = sizes.count_orientations(component_.data());
        if (!std::isfinite(count) && degree_sum / 2 == pairs(k)) {
            sum += std::lgamma(static_cast<double>(k) + 1) / std::log(10.0);
        } else {
            sum += std::log10(count);
        }
        for (const int v : touched_) {
            std::fill_n(component_.data() + static_cast<std::size_t>(v) * words, words, Word{0});
        }
    }
    return sum;
}

}  // namespace pellimor
