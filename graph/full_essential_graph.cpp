#include "graph/full_essential_graph.hpp"

#include <bit>
#include <stdexcept>

namespace pellimor {

FullEssentialGraph::FullEssentialGraph(int n) : n_(n), words_(words_for(n)) {
    if (n < 0) {
        throw std::invalid_argument("FullEssentialGraph: negative vertex count");
    }
    compelled_.assign(static_cast<std::size_t>(n) * words_, 0);
    reversible_.assign(static_cast<std::size_t>(n) * words_, 0);
    line_heads_.assign(static_cast<std::size_t>(words_), 0);
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
void FullEssentialGraph::build(const OrderedDag& dag) {
    const int words = words_;
    std::int64_t lines = 0;
    for (int w = 0; w < words; ++w) {
        line_heads_[w] = 0;
    }
    for (int y = 0; y < n_; ++y) {
        const Word* parents = dag.parents(y);
        Word* comp = compelled_.data() + static_cast<std::size_t>(y) * words;
        Word* rev = reversible_.data() + static_cast<std::size_t>(y) * words;
        // The highest parent x: scan words from the top (every parent < y).
        int top = y / word_bits;
        while (top >= 0 && parents[top] == 0) {
            --top;
        }
        for (int w = top + 1; w < words; ++w) {
            comp[w] = 0;
            rev[w] = 0;
        }
        if (top < 0) {
            continue;
        }
        const int x = top * word_bits + (word_bits - 1 - std::countl_zero(parents[top]));
        const Word* x_comp = compelled_.data() + static_cast<std::size_t>(x) * words;
        const Word* x_parents = dag.parents(x);
        // Rows of x have bits below x only, so words above top of x's rows are
        // zero; the tests run over words 0 .. top.
        bool all_compelled = any_word(top + 1, [&](int w) { return x_comp[w] & ~parents[w]; });
        if (!all_compelled) {
            all_compelled = any_word(top + 1, [&](int w) {
                Word allowed = x_parents[w];
                if (w == top) {
                    allowed |= bit_of(x);
                }
                return parents[w] & ~allowed;
            });
        }
        if (all_compelled) {
            for (int w = 0; w <= top; ++w) {
                comp[w] = parents[w];
                rev[w] = 0;
            }
        } else {
            for (int w = 0; w <= top; ++w) {
                comp[w] = x_comp[w];
                rev[w] = parents[w] & ~x_comp[w];
                lines += std::popcount(rev[w]);
            }
            set_bit(line_heads_.data(), y);  // x -> y itself is reversible
        }
    }
    line_count_ = lines;
}

}  // namespace pellimor
