#include "graph/class_size.hpp"

#include <bit>
#include <cmath>
#include <stdexcept>

#include "graph/rooted_orientations.hpp"

namespace pellimor {

namespace {

double factorial(int k) {
    double value = 1.0;
    for (int i = 2; i <= k; ++i) {
        value *= i;  // exact while the value fits 53 bits (k <= 18), then rounded
    }
    return value;
}

}  // namespace

ClassSizeCounter::ClassSizeCounter(int n, ClassSizeOptions options)
    : n_(n),
      words_(words_for(n)),
      options_(options),
      memo_(options.memo_limit),
      picker_(CliquePickingOptions{options.memo_limit, options.shortcuts}) {
    if (n < 0) {
        throw std::invalid_argument("ClassSizeCounter: negative vertex count");
    }
    lines_.assign(static_cast<std::size_t>(n) * words_, 0);
    touched_.assign(words_, 0);
    component_.assign(words_, 0);
    frontier_.assign(words_, 0);
    members_.assign(n, 0);
    local_.assign(OrientationMemo::max_limit, 0);
    index_.assign(n, -1);
}

double ClassSizeCounter::class_size(const EssentialGraph& eg) {
    if (eg.line_count() == 0) {
        return 1.0;
    }
    const int words = words_;
    // Symmetric line rows of the vertices that have lines, and the set of them.
    all_bits(words, [&](int w) { return eg.line_heads()[w]; }, [&](int v) {
        const Word* rev = eg.reversible(v);
        Word* row = lines_.data() + static_cast<std::size_t>(v) * words;
        for (int w = 0; w < words; ++w) {
            row[w] |= rev[w];
            touched_[w] |= rev[w];
        }
        set_bit(touched_.data(), v);
        all_bits(words, [&](int w) { return rev[w]; }, [&](int u) {
            set_bit(lines_.data() + static_cast<std::size_t>(u) * words, v);
            return true;
        });
        return true;
    });
    return count_touched();
}

double ClassSizeCounter::count_orientations(const Word* lines) {
    const int words = words_;
    for (int v = 0; v < n_; ++v) {
        const Word* in = lines + static_cast<std::size_t>(v) * words;
        Word* row = lines_.data() + static_cast<std::size_t>(v) * words;
        bool any = false;
        for (int w = 0; w < words; ++w) {
            row[w] = in[w];
            any = any || in[w] != 0;
        }
        if (any) {
            set_bit(touched_.data(), v);
        }
    }
    return count_touched();
}

// Splits the touched vertices into the components of lines_, multiplies their
// counts, and clears lines_ and touched_ again.
double ClassSizeCounter::count_touched() {
    const int words = words_;
    double size = 1.0;
    for (int start_word = 0; start_word < words; ++start_word) {
        while (touched_[start_word] != 0) {
            const int start = start_word * word_bits + std::countr_zero(touched_[start_word]);
            // Grow the component of start word by word.
            for (int w = 0; w < words; ++w) {
                component_[w] = 0;
                frontier_[w] = 0;
            }
            set_bit(component_.data(), start);
            set_bit(frontier_.data(), start);
            int k = 0;
            std::int64_t degree_sum = 0;
            for (int w = 0; w < words;) {
                if (frontier_[w] == 0) {
                    ++w;
                    continue;
                }
                const int u = w * word_bits + std::countr_zero(frontier_[w]);
                frontier_[w] &= frontier_[w] - 1;
                members_[k++] = u;
                const Word* row = lines_.data() + static_cast<std::size_t>(u) * words;
                int lowest = w;
                for (int x = 0; x < words; ++x) {
                    const Word fresh = row[x] & ~component_[x];
                    component_[x] |= fresh;
                    frontier_[x] |= fresh;
                    degree_sum += std::popcount(row[x]);
                    if (fresh != 0 && x < lowest) {
                        lowest = x;
                    }
                }
                w = lowest;
            }
            const std::int64_t edges = degree_sum / 2;
            size *= count_component(k, edges);
            for (int w = 0; w < words; ++w) {
                touched_[w] &= ~component_[w];
            }
            for (int i = 0; i < k; ++i) {
                Word* row = lines_.data() + static_cast<std::size_t>(members_[i]) * words;
                for (int w = 0; w < words; ++w) {
                    row[w] = 0;
                }
            }
        }
    }
    return size;
}

double ClassSizeCounter::count_small(const AdjacencyLists& h) {
    const int k = static_cast<int>(h.size());
    std::int64_t edges = 0;
    for (const auto& neighbours : h) {
        edges += static_cast<std::int64_t>(neighbours.size());
    }
    edges /= 2;
    if (options_.shortcuts && edges == k - 1) {
        return k;
    }
    if (options_.shortcuts && edges == static_cast<std::int64_t>(k) * (k - 1) / 2) {
        return factorial(k);
    }
    std::vector<std::uint32_t> local(static_cast<std::size_t>(k), 0);
    for (int i = 0; i < k; ++i) {
        for (const int j : h[static_cast<std::size_t>(i)]) {
            local[static_cast<std::size_t>(i)] |= std::uint32_t{1} << j;
        }
    }
    return static_cast<double>(memo_.count(local));
}

double ClassSizeCounter::count_component(int k, std::int64_t edges) {
    if (k <= 1) {
        return 1.0;
    }
    if (options_.shortcuts) {
        if (edges == k - 1) {
            return k;  // a tree: one AMO per root
        }
        if (edges == static_cast<std::int64_t>(k) * (k - 1) / 2) {
            return factorial(k);  // a clique: every vertex order
        }
    }
    if (k <= options_.memo_limit) {
        // Relabel the members 0 .. k-1 (members_ is in increasing order of
        // discovery; any order will do).
        for (int i = 0; i < k; ++i) {
            const Word* row = lines_.data() + static_cast<std::size_t>(members_[i]) * words_;
            std::uint32_t mask = 0;
            for (int j = 0; j < k; ++j) {
                if (test_bit(row, members_[j])) {
                    mask |= std::uint32_t{1} << j;
                }
            }
            local_[i] = mask;
        }
        return static_cast<double>(memo_.count(std::span<const std::uint32_t>(local_.data(), k)));
    }
    if (options_.clique_picking) {
        // A large component: clique-picking, whose small subproblems go back
        // to the memoised count.
        for (int i = 0; i < k; ++i) {
            index_[members_[i]] = i;
        }
        csr_offsets_.assign(1, 0);
        csr_targets_.clear();
        for (int i = 0; i < k; ++i) {
            const Word* row = lines_.data() + static_cast<std::size_t>(members_[i]) * words_;
            all_bits(words_, [&](int w) { return row[w]; }, [&](int u) {
                csr_targets_.push_back(index_[u]);
                return true;
            });
            csr_offsets_.push_back(static_cast<int>(csr_targets_.size()));
        }
        for (int i = 0; i < k; ++i) {
            index_[members_[i]] = -1;
        }
        return picker_.count(k, csr_offsets_.data(), csr_targets_.data(), &memo_);
    }
    // The root decomposition, whose small components go back to the
    // memoised count.
    AdjacencyLists g(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) {
        const Word* row = lines_.data() + static_cast<std::size_t>(members_[i]) * words_;
        for (int j = 0; j < k; ++j) {
            if (test_bit(row, members_[j])) {
                g[static_cast<std::size_t>(i)].push_back(j);
            }
        }
    }
    return count_rooted_orientations(g, options_.memo_limit, [this](const AdjacencyLists& h) {
        return count_small(h);
    });
}

}  // namespace pellimor
