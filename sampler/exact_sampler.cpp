#include "sampler/exact_sampler.hpp"

#include <algorithm>
#include <bit>

namespace pellimor {

bool skeleton_connected(const OrderedDag& dag, Word* reached) {
    const int n = dag.size();
    const int words = dag.words();
    if (n <= 1) {
        return true;
    }
    std::fill(reached, reached + words, Word{0});
    reached[0] = 1;
    int count = 1;
    // Sweeps in one direction propagate along any path that is monotone in
    // the numbering; alternating directions catches the rest. A random DAG
    // is mostly done after the first upward sweep.
    for (bool upward = true;; upward = !upward) {
        const int before = count;
        for (int i = 0; i < n; ++i) {
            const int v = upward ? i : n - 1 - i;
            const Word* parents = dag.parents(v);
            const int top = v / word_bits + 1;  // words that can hold a parent of v
            const bool in = test_bit(reached, v);
            if (!in && !any_word(top, [&](int w) { return parents[w] & reached[w]; })) {
                continue;
            }
            if (!in) {
                set_bit(reached, v);
                ++count;
            }
            for (int w = 0; w < top; ++w) {
                const Word fresh = parents[w] & ~reached[w];
                if (fresh != 0) {
                    reached[w] |= fresh;
                    count += std::popcount(fresh);
                }
            }
        }
        if (count == n) {
            return true;
        }
        if (count == before) {
            return false;
        }
    }
}

ExactSampler::ExactSampler(const DagCounts& tables)
    : dags_(tables),
      dag_(tables.size()),
      essential_(tables.size()),
      counter_(tables.size()),
      reached_(static_cast<std::size_t>(words_for(tables.size()))) {}

std::size_t ExactSampler::bytes_per_worker(int n) {
    const std::size_t row_words = static_cast<std::size_t>(n) * words_for(n);
    // The DAG's rows, the essential graph's two sets of rows, the reached
    // set; the class counter keeps a few rows of its own and a memo of 2^16
    // counts with their 32-bit stamps.
    const std::size_t counter = 4 * row_words * sizeof(Word) + (std::size_t{1} << 16) * 12;
    return sizeof(ExactSampler) + UniformDag::bytes_per_worker(n) + 3 * row_words * sizeof(Word) +
           words_for(n) * sizeof(Word) + counter;
}

bool ExactSampler::dag_connected() {
    return skeleton_connected(dag_, reached_.data());
}

bool ExactSampler::draw_class(Xoshiro256StarStar& rng, SampleResult& result,
                              const std::atomic<bool>* stop) {
    result.dags_drawn = 0;
    result.inverse_size_sum = 0;
    result.single_dag_count = 0;
    result.connected_weight = 0;
    for (;;) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
            return false;
        }
        // No relabelling: nothing below depends on the vertices' names.
        dags_.draw(rng, dag_);
        essential_.build(dag_);
        const double s = counter_.class_size(essential_);
        const double inverse = 1 / s;  // 0 for a class past the double range
        const bool connected = dag_connected();
        ++result.dags_drawn;
        result.inverse_size_sum += inverse;
        if (s == 1) {
            result.single_dag_count += 1;
        }
        if (connected) {
            result.connected_weight += inverse;
        }
        // u < 1/s with u uniform in [0, 1); s == 1 is always kept, no draw.
        if (s == 1 || unit_interval(rng) < inverse) {
            result.lines = essential_.line_count();
            result.no_lines = result.lines == 0 ? 1 : 0;
            result.connected = connected ? 1 : 0;
            kept_size_ = s;
            return true;
        }
    }
}

void ExactSampler::kept_essential_graph(Xoshiro256StarStar& rng, EdgeMatrix& m) {
    write_essential_graph(essential_, dags_.draw_relabelling(rng), m);
}

}  // namespace pellimor
