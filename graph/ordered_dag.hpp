#pragma once

// A directed acyclic graph held as bitset rows of parents, with its vertices
// numbered in a topological order: every parent of v is a vertex below v.
// The exact sampler draws DAGs in this form, and the essential graph and the
// class size are computed on it, without any relabelling.

#include <cstddef>
#include <vector>

#include "graph/bit_rows.hpp"

namespace pellimor {

class OrderedDag {
  public:
    OrderedDag() = default;
    explicit OrderedDag(int n) { resize(n); }

    // Makes room for n vertices and clears every row. Allocates; call it
    // outside sampling loops.
    void resize(int n) {
        n_ = n;
        words_ = words_for(n);
        parents_.assign(static_cast<std::size_t>(n) * words_, 0);
    }

    int size() const { return n_; }
    int words() const { return words_; }

    // Row of v's parents: bit u set when u -> v. Only bits u < v may be set.
    Word* parents(int v) { return parents_.data() + static_cast<std::size_t>(v) * words_; }
    const Word* parents(int v) const {
        return parents_.data() + static_cast<std::size_t>(v) * words_;
    }

  private:
    int n_ = 0;
    int words_ = 1;
    std::vector<Word> parents_;
};

}  // namespace pellimor
