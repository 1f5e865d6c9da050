#pragma once

// The lines of an essential graph one by one, for writers that list them.

#include "graph/bit_rows.hpp"
#include "graph/essential_graph.hpp"

namespace pellimor {

// Calls visit(u, v) for every line u - v of eg, u < v, by line head v (each
// vertex with lines, in increasing order) and then by u.
template <class Visit>
void for_each_line(const EssentialGraph& eg, Visit visit) {
    const Word* heads = eg.line_heads();
    all_bits(
        eg.words(), [&](int i) { return heads[i]; },
        [&](int v) {
            const Word* tails = eg.reversible(v);
            all_bits(
                eg.words(), [&](int i) { return tails[i]; },
                [&](int u) {
                    visit(u, v);
                    return true;
                });
            return true;
        });
}

}  // namespace pellimor
