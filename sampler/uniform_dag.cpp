#include "sampler/uniform_dag.hpp"

#include <algorithm>
#include <numeric>

namespace pellimor {

namespace {

// The bits of vertices lo .. hi-1 that fall into word w.
Word range_mask(int w, int lo, int hi) {
    const int base = w * word_bits;
    const int a = std::max(lo - base, 0);
    const int b = std::min(hi - base, word_bits);
    if (a >= b) {
        return 0;
    }
    const Word below_b = b == word_bits ? ~Word{0} : bit_of(b) - 1;
    return below_b & ~(bit_of(a) - 1);
}

// Fills the rows of vertices first .. first+count-1, a layer whose layer
// before holds the vertices p0 .. p1-1: each vertex below p0 is a parent
// independently with probability 1/2, and the parents among p0 .. p1-1 form a
// uniform non-empty subset. All bits below p1 are drawn as whole words; when
// the previous layer's bits come out empty, only they are drawn again, which
// leaves the other bits as they were, independent and uniform.
void fill_layer(Xoshiro256StarStar& generator, OrderedDag& dag, int first, int count, int p0,
                int p1) {
    // A copy of the generator in registers: the caller's could alias the
    // rows written, so that every draw would load and store its state.
    Xoshiro256StarStar rng = generator;
    const int used = (p1 - 1) / word_bits + 1;
    const int wa = p0 / word_bits;
    const int wb = used - 1;
    // The bits below p1 in the last word drawn, and those of the layer
    // before when it lies in one word.
    const Word last_mask = p1 % word_bits == 0 ? ~Word{0} : bit_of(p1) - 1;
    const Word before = last_mask & ~(bit_of(p0) - 1);
    Word* row = dag.parents(first);
    const std::size_t stride = static_cast<std::size_t>(dag.words());
    for (int v = first; v < first + count; ++v, row += stride) {
        Word* const last = row + (used - 1);
        for (Word* w = row; w != last; ++w) {
            *w = rng();
        }
        *last = rng() & last_mask;
        // Words from v / 64 + 1 on can hold no parent of v: they are zero in
        // every OrderedDag and are left alone. Those between the drawn ones
        // and v's own word (one at most while layers are narrower than a
        // word) may hold an earlier draw's bits.
        for (int w = used; w <= v / word_bits; ++w) {
            row[w] = 0;
        }
        if (wa == wb) {
            while ((row[wa] & before) == 0) {
                row[wa] |= rng() & before;
            }
        } else {
            // A layer wider than one word, or one that straddles a boundary.
            auto meets_before = [&] {
                return any_word(wb - wa + 1,
                                [&](int i) { return row[wa + i] & range_mask(wa + i, p0, p1); });
            };
            while (!meets_before()) {
                for (int w = wa; w <= wb; ++w) {
                    row[w] |= rng() & range_mask(w, p0, p1);
                }
            }
        }
    }
    generator = rng;
}

// The same draw for n <= 64, where every row is one word: each vertex's
// parents are one draw masked to the vertices before its layer, redrawn on
// the layer just before as fill_layer() does, so the stream is read alike.
void draw_one_word(const DagCounts& counts, Xoshiro256StarStar& rng, OrderedDag& dag) {
    const int n = counts.size();
    Word* rows = dag.parents(0);  // row v is rows[v]
    const int sources = counts.first_layer_size(unit_interval(rng));
    for (int v = 0; v < sources; ++v) {
        rows[v] = 0;
    }
    int p0 = 0;
    int p1 = sources;
    while (p1 < n) {
        const int s = counts.next_layer_size(n - p1, p1 - p0, unit_interval(rng));
        const Word below = bit_of(p1) - 1;  // p1 < n <= 64
        const Word before = below & ~(bit_of(p0) - 1);
        for (int v = p1; v < p1 + s; ++v) {
            Word row = rng() & below;
            while ((row & before) == 0) {
                row |= rng() & before;
            }
            rows[v] = row;
        }
        p0 = p1;
        p1 += s;
    }
}

}  // namespace

UniformDag::UniformDag(const DagCounts& counts)
    : counts_(counts), label_(static_cast<std::size_t>(counts.size())) {}

std::size_t UniformDag::bytes_per_worker(int n) {
    return sizeof(UniformDag) + sizeof(int) * static_cast<std::size_t>(n);
}

void UniformDag::draw(Xoshiro256StarStar& rng, OrderedDag& dag) const {
    // A local copy of the generator stays in registers: the caller's one
    // could alias the rows written, so every draw would reload its state.
    Xoshiro256StarStar local = rng;
    if (dag.words() == 1) {
        draw_one_word(counts_, local, dag);
        rng = local;
        return;
    }
    const int n = counts_.size();
    const int sources = counts_.first_layer_size(unit_interval(local));
    for (int v = 0; v < sources; ++v) {
        // Only the words that can hold a parent of v (see fill_layer).
        std::fill(dag.parents(v), dag.parents(v) + v / word_bits + 1, Word{0});
    }
    int p0 = 0;
    int p1 = sources;
    while (p1 < n) {
        const int s = counts_.next_layer_size(n - p1, p1 - p0, unit_interval(local));
        fill_layer(local, dag, p1, s, p0, p1);
        p0 = p1;
        p1 += s;
    }
    rng = local;
}

std::span<const int> UniformDag::draw_relabelling(Xoshiro256StarStar& rng) {
    // Fisher-Yates from the identity; the draw % (i + 1) bias is below
    // n / 2^64.
    std::iota(label_.begin(), label_.end(), 0);
    for (std::size_t i = label_.size(); i > 1; --i) {
        const std::size_t j = rng() % i;
        std::swap(label_[i - 1], label_[j]);
    }
    return label_;
}

void UniformDag::draw_labelled(Xoshiro256StarStar& rng, OrderedDag& dag, EdgeMatrix& m) {
    draw(rng, dag);
    const std::span<const int> label = draw_relabelling(rng);
    const int n = size();
    for (int r = 0; r < n; ++r) {
        std::fill(m[r], m[r] + n, EDGE_NONE);
    }
    for (int v = 0; v < n; ++v) {
        all_bits(
            dag.words(), [&](int w) { return dag.parents(v)[w]; },
            [&](int u) {
                m[label[u]][label[v]] = EDGE_ARROW;
                return true;
            });
    }
}

}  // namespace pellimor
