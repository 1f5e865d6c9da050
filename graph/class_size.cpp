#include "graph/class_size.hpp"

#include <algorithm>
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

// Room made at the start for this many vertices with lines; a random DAG's
// essential graph has more only rarely, and then the room doubles.
constexpr int first_local_room = 64;

template <typename T>
[[gnu::noinline]] void grow(std::vector<T>& v, std::size_t size) {
    v.resize(std::max(size, 2 * v.size()));
}

template <typename T>
inline void make_room(std::vector<T>& v, std::size_t size) {
    if (v.size() < size) {
        grow(v, size);
    }
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
    touched_.assign(words_, 0);
    local_of_.assign(n, -1);
    vertex_of_.assign(first_local_room, 0);
    local_rows_.assign(first_local_room * words_for(first_local_room), 0);
    component_.assign(words_for(first_local_room), 0);
    frontier_.assign(words_for(first_local_room), 0);
    members_.assign(first_local_room, 0);
    local_.assign(OrientationMemo::max_limit, 0);
    known_counts_.assign(std::size_t{1} << known_count_bits, KnownCount{});
}

std::size_t ClassSizeCounter::bytes_needed(int n) {
    const std::size_t room = first_local_room;
    const std::size_t local_words = static_cast<std::size_t>(words_for(first_local_room));
    const std::size_t memo = (std::size_t{1} << ClassSizeOptions{}.memo_limit) *
                             (sizeof(std::uint64_t) + sizeof(std::uint32_t));
    return sizeof(ClassSizeCounter) + static_cast<std::size_t>(words_for(n)) * sizeof(Word) +
           static_cast<std::size_t>(n) * sizeof(int) + 2 * room * sizeof(int) +
           (room + 2) * local_words * sizeof(Word) +
           OrientationMemo::max_limit * sizeof(std::uint32_t) +
           (std::size_t{1} << known_count_bits) * sizeof(KnownCount) + memo;
}

void ClassSizeCounter::number_touched() {
    // A count cut short by an exception may have left numbers behind.
    for (int i = 0; i < k_; ++i) {
        local_of_[vertex_of_[i]] = -1;
    }
    int k = 0;
    for (int w = 0; w < words_; ++w) {
        for (Word bits = touched_[w]; bits != 0; bits &= bits - 1) {
            const int v = w * word_bits + std::countr_zero(bits);
            make_room(vertex_of_, static_cast<std::size_t>(k) + 1);
            local_of_[v] = k;
            vertex_of_[k++] = v;
        }
        touched_[w] = 0;
    }
    k_ = k;
    local_words_ = words_for(k);
    const std::size_t local_words = static_cast<std::size_t>(local_words_);
    make_room(local_rows_, static_cast<std::size_t>(k) * local_words);
    make_room(component_, local_words);
    make_room(frontier_, local_words);
    make_room(members_, static_cast<std::size_t>(k));
    std::fill(local_rows_.begin(),
              local_rows_.begin() + static_cast<std::ptrdiff_t>(k * local_words), Word{0});
}

void ClassSizeCounter::link(int u, int v) {
    Word* rows = local_rows_.data();
    const std::size_t lw = static_cast<std::size_t>(local_words_);
    set_bit(rows + static_cast<std::size_t>(u) * lw, v);
    set_bit(rows + static_cast<std::size_t>(v) * lw, u);
}

double ClassSizeCounter::class_size(const EssentialGraph& eg) {
    if (eg.line_count() == 0) {
        return 1.0;
    }
    // The vertices with lines: the heads and their reversible parents, whose
    // rows have bits below the head only.
    const Word* heads = eg.line_heads();
    all_bits(
        words_, [&](int w) { return heads[w]; },
        [&](int v) {
            const Word* rev = eg.reversible(v);
            for (int w = 0; w <= v / word_bits; ++w) {
                touched_[w] |= rev[w];
            }
            set_bit(touched_.data(), v);
            return true;
        });
    number_touched();
    all_bits(
        words_, [&](int w) { return heads[w]; },
        [&](int v) {
            const int i = local_of_[v];
            const Word* rev = eg.reversible(v);
            all_bits(
                v / word_bits + 1, [&](int w) { return rev[w]; },
                [&](int u) {
                    link(i, local_of_[u]);
                    return true;
                });
            return true;
        });
    return count_numbered();
}

double ClassSizeCounter::count_orientations(const Word* lines) {
    const int words = words_;
    for (int v = 0; v < n_; ++v) {
        if (any_bit(lines + static_cast<std::size_t>(v) * words, words)) {
            set_bit(touched_.data(), v);
        }
    }
    number_touched();
    for (int i = 0; i < k_; ++i) {
        const Word* row = lines + static_cast<std::size_t>(vertex_of_[i]) * words;
        all_bits(
            words, [&](int w) { return row[w]; },
            [&](int u) {
                link(i, local_of_[u]);
                return true;
            });
    }
    return count_numbered();
}

// Components are found in increasing order of their lowest vertex, and each
// one's members in the order of a search that always goes on from its lowest
// vertex not yet visited; the renumbering keeps the vertices' order, so both
// orders are those of the vertices themselves.
double ClassSizeCounter::count_numbered() {
    const int words = local_words_;
    const int k_all = k_;
    double size = 1.0;
    if (words == 1) {
        // At most 64 vertices with lines, as nearly always: the same search
        // on single words.
        Word seen = 0;
        for (int start = 0; start < k_all; ++start) {
            if ((seen >> start & 1) != 0) {
                continue;
            }
            Word component = bit_of(start);
            Word frontier = component;
            int k = 0;
            std::int64_t degree_sum = 0;
            while (frontier != 0) {
                const int u = std::countr_zero(frontier);
                frontier &= frontier - 1;
                members_[k++] = u;
                const Word row = local_rows_[static_cast<std::size_t>(u)];
                const Word fresh = row & ~component;
                component |= fresh;
                frontier |= fresh;
                degree_sum += std::popcount(row);
            }
            seen |= component;
            size *= count_component(k, degree_sum / 2);
        }
        for (int i = 0; i < k_all; ++i) {
            local_of_[vertex_of_[i]] = -1;
        }
        k_ = 0;
        return size;
    }
    // seen: the vertices of the components found so far and of the current one.
    int start = 0;
    std::vector<Word>& seen = component_;
    std::fill(seen.begin(), seen.begin() + words, Word{0});
    for (;;) {
        while (start < k_all && test_bit(seen.data(), start)) {
            ++start;
        }
        if (start == k_all) {
            break;
        }
        for (int w = 0; w < words; ++w) {
            frontier_[w] = 0;
        }
        set_bit(seen.data(), start);
        set_bit(frontier_.data(), start);
        int k = 0;
        std::int64_t degree_sum = 0;
        for (int w = start / word_bits; w < words;) {
            if (frontier_[w] == 0) {
                ++w;
                continue;
            }
            const int u = w * word_bits + std::countr_zero(frontier_[w]);
            frontier_[w] &= frontier_[w] - 1;
            members_[k++] = u;
            const Word* row = local_row(u);
            int lowest = w;
            for (int x = 0; x < words; ++x) {
                const Word fresh = row[x] & ~seen[x];
                seen[x] |= fresh;
                frontier_[x] |= fresh;
                degree_sum += std::popcount(row[x]);
                if (fresh != 0 && x < lowest) {
                    lowest = x;
                }
            }
            w = lowest;
        }
        size *= count_component(k, degree_sum / 2);
    }
    for (int i = 0; i < k_all; ++i) {
        local_of_[vertex_of_[i]] = -1;
    }
    k_ = 0;
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
            const Word* row = local_row(members_[i]);
            std::uint32_t mask = 0;
            for (int j = 0; j < k; ++j) {
                if (test_bit(row, members_[j])) {
                    mask |= std::uint32_t{1} << j;
                }
            }
            local_[i] = mask;
        }
        if (k <= small_cache_limit) {
            // The pairs i < j of the relabelled component and its size as a
            // key: the same key, the same graph, the same count.
            std::uint32_t key = static_cast<std::uint32_t>(k) << 28;
            int pair = 0;
            for (int i = 0; i < k; ++i) {
                for (int j = i + 1; j < k; ++j, ++pair) {
                    key |= ((local_[i] >> j) & 1u) << pair;
                }
            }
            const std::uint64_t spread = key * std::uint64_t{0x9E3779B97F4A7C15};
            KnownCount& slot = known_counts_[spread >> (64 - known_count_bits)];
            if (slot.key != key) {
                slot.key = key;
                slot.count = memo_.count(std::span<const std::uint32_t>(local_.data(), k));
            }
            return static_cast<double>(slot.count);
        }
        return static_cast<double>(memo_.count(std::span<const std::uint32_t>(local_.data(), k)));
    }
    if (options_.clique_picking) {
        // A large component: clique-picking, whose small subproblems go back
        // to the memoised count.
        make_room(index_, static_cast<std::size_t>(k_));
        for (int i = 0; i < k; ++i) {
            index_[members_[i]] = i;
        }
        csr_offsets_.assign(1, 0);
        csr_targets_.clear();
        for (int i = 0; i < k; ++i) {
            const Word* row = local_row(members_[i]);
            all_bits(local_words_, [&](int w) { return row[w]; }, [&](int u) {
                csr_targets_.push_back(index_[u]);  // u is in the component
                return true;
            });
            csr_offsets_.push_back(static_cast<int>(csr_targets_.size()));
        }
        return picker_.count(k, csr_offsets_.data(), csr_targets_.data(), &memo_);
    }
    // The root decomposition, whose small components go back to the
    // memoised count.
    AdjacencyLists g(static_cast<std::size_t>(k));
    for (int i = 0; i < k; ++i) {
        const Word* row = local_row(members_[i]);
        for (int j = 0; j < k; ++j) {
            if (test_bit(row, members_[j])) {
                g[static_cast<std::size_t>(i)].push_back(j);
            }
        }
    }
    return count_rooted_orientations(g, options_.memo_limit,
                                     [this](const AdjacencyLists& h) { return count_small(h); });
}

}  // namespace pellimor
