#include "graph/essential_graph.hpp"

#include <bit>
#include <stdexcept>

namespace pellimor {

namespace {

// Rows for this many vertices with lines are made room for at the start; a
// uniform random DAG has more in a small share of draws only.
constexpr int first_line_rows = 8;

}  // namespace

EssentialGraph::EssentialGraph(int n) : n_(n), words_(words_for(n)) {
    if (n < 0) {
        throw std::invalid_argument("EssentialGraph: negative vertex count");
    }
    compelled_from_.assign(static_cast<std::size_t>(n), 0);
    line_row_.assign(static_cast<std::size_t>(n), -1);
    line_rows_.assign(static_cast<std::size_t>(first_line_rows) * words_, 0);
    zero_row_.assign(static_cast<std::size_t>(words_), 0);
    line_heads_.assign(static_cast<std::size_t>(words_), 0);
    sources_.assign(static_cast<std::size_t>(words_), 0);
}

std::size_t EssentialGraph::bytes_needed(int n) {
    const std::size_t words = static_cast<std::size_t>(words_for(n));
    return sizeof(EssentialGraph) + 2 * sizeof(int) * static_cast<std::size_t>(n) +
           (first_line_rows + 3) * words * sizeof(Word);
}

// Chickering's Find-Compelled with his edge order: heads y in increasing
// topological order, and for one head its tails in decreasing order. The
// first edge into y is then x -> y with x the highest-numbered parent, and
// processing it labels every edge into y at once:
//  - a compelled w -> x with w not a parent of y: every edge into y compelled;
//  - else each compelled w -> x gives w -> y compelled, and
//    - a parent z of y, z != x, that is not a parent of x: all the remaining
//      edges into y (x -> y among them) compelled;
//    - otherwise all the remaining edges into y reversible.
// In the last case compelled(y) = compelled(x) and x -> y is reversible, so y
// has lines; in the others compelled(y) = parents(y).
void EssentialGraph::build(const OrderedDag& dag) {
    dag_ = &dag;
    if (words_ == 1) {
        build_one_word(dag);
        return;
    }
    const int words = words_;
    std::int64_t lines = 0;
    int heads = 0;
    int sources = 0;
    for (int w = 0; w < words; ++w) {
        line_heads_[w] = 0;
        sources_[w] = 0;
    }
    for (int y = 0; y < n_; ++y) {
        const Word* parents = dag.parents(y);
        // The highest parent x: scan words from the top (every parent < y).
        int top = y / word_bits;
        while (top >= 0 && parents[top] == 0) {
            --top;
        }
        line_row_[y] = -1;
        compelled_from_[y] = y;
        if (top < 0) {
            set_bit(sources_.data(), y);
            ++sources;
            continue;
        }
        const int x = top * word_bits + (word_bits - 1 - std::countl_zero(parents[top]));
        const Word* x_comp = dag.parents(compelled_from_[x]);
        const Word* x_parents = dag.parents(x);
        // Rows of x have bits below x only, so words above top of x's rows are
        // zero; the tests run over words 0 .. top.
        const bool all_compelled =
            any_word(top + 1, [&](int w) { return x_comp[w] & ~parents[w]; }) ||
            any_word(top + 1, [&](int w) {
                Word allowed = x_parents[w];
                if (w == top) {
                    allowed |= bit_of(x);
                }
                return parents[w] & ~allowed;
            });
        if (all_compelled) {
            continue;
        }
        if (static_cast<std::size_t>(heads + 1) * words > line_rows_.size()) {
            line_rows_.resize(2 * line_rows_.size());
        }
        Word* rev = line_rows_.data() + static_cast<std::size_t>(heads) * words;
        for (int w = 0; w <= top; ++w) {
            rev[w] = parents[w] & ~x_comp[w];
            lines += std::popcount(rev[w]);
        }
        for (int w = top + 1; w < words; ++w) {
            rev[w] = 0;
        }
        line_row_[y] = heads++;
        compelled_from_[y] = compelled_from_[x];
        set_bit(line_heads_.data(), y);  // x -> y itself is reversible
    }
    line_count_ = lines;
    line_head_count_ = heads;
    source_count_ = sources;
}

// The same pass for n <= 64, where every row is one word.
void EssentialGraph::build_one_word(const OrderedDag& dag) {
    const Word* rows = dag.parents(0);  // row v is rows[v]
    std::int64_t lines = 0;
    int heads = 0;
    Word line_heads = 0;
    Word sources = 0;
    for (int y = 0; y < n_; ++y) {
        const Word parents = rows[y];
        line_row_[y] = -1;
        compelled_from_[y] = y;
        if (parents == 0) {
            sources |= bit_of(y);
            continue;
        }
        const int x = word_bits - 1 - std::countl_zero(parents);
        const Word x_comp = rows[compelled_from_[x]];
        if ((x_comp & ~parents) != 0 || (parents & ~(rows[x] | bit_of(x))) != 0) {
            continue;  // every arrow into y compelled
        }
        if (static_cast<std::size_t>(heads + 1) > line_rows_.size()) {
            line_rows_.resize(2 * line_rows_.size());
        }
        const Word rev = parents & ~x_comp;
        line_rows_[static_cast<std::size_t>(heads)] = rev;
        lines += std::popcount(rev);
        line_row_[y] = heads++;
        compelled_from_[y] = compelled_from_[x];
        line_heads |= bit_of(y);
    }
    line_heads_[0] = line_heads;
    sources_[0] = sources;
    line_count_ = lines;
    line_head_count_ = heads;
    source_count_ = std::popcount(sources);
}

void write_essential_graph(const EssentialGraph& eg, std::span<const int> perm, EdgeMatrix& m) {
    const int n = eg.size();
    for (int r = 0; r < n; ++r) {
        EdgeCode* row = m[r];
        for (int c = 0; c < n; ++c) {
            row[c] = EDGE_NONE;
        }
    }
    for (int v = 0; v < n; ++v) {
        const int pv = perm[v];
        all_bits(
            eg.words(), [&](int w) { return eg.compelled(v)[w]; },
            [&](int u) {
                m[perm[u]][pv] = EDGE_ARROW;
                return true;
            });
        all_bits(
            eg.words(), [&](int w) { return eg.reversible(v)[w]; },
            [&](int u) {
                m[perm[u]][pv] = EDGE_LINE;
                m[pv][perm[u]] = EDGE_LINE;
                return true;
            });
    }
}

void write_essential_graph(const EssentialGraph& eg, EdgeMatrix& m) {
    const int n = eg.size();
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            m[r][c] = EDGE_NONE;
        }
    }
    for (int v = 0; v < n; ++v) {
        all_bits(
            eg.words(), [&](int w) { return eg.compelled(v)[w]; },
            [&](int u) {
                m[u][v] = EDGE_ARROW;
                return true;
            });
        all_bits(
            eg.words(), [&](int w) { return eg.reversible(v)[w]; },
            [&](int u) {
                m[u][v] = m[v][u] = EDGE_LINE;
                return true;
            });
    }
}

}  // namespace pellimor
