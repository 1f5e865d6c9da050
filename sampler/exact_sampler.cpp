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

bool skeleton_connected(const OrderedDag& dag, const Word* sources, int source_count,
                        Word* reached) {
    if (source_count <= 1) {
        return true;
    }
    const int n = dag.size();
    const int words = dag.words();
    std::fill(reached, reached + words, Word{0});
    reached[0] = 1;  // vertex 0 has no parents: a source
    int reached_sources = 1;
    for (bool upward = true;; upward = !upward) {
        bool grew = false;
        for (int i = 0; i < n; ++i) {
            const int v = upward ? i : n - 1 - i;
            const Word* parents = dag.parents(v);
            const int top = v / word_bits + 1;  // words that can hold a parent of v
            const bool in = test_bit(reached, v);
            if (!in && !any_word(top, [&](int w) { return parents[w] & reached[w]; })) {
                continue;
            }
            if (!in) {
                set_bit(reached, v);  // v has a parent, so it is no source
                grew = true;
            }
            for (int w = 0; w < top; ++w) {
                const Word fresh = parents[w] & ~reached[w];
                if (fresh != 0) {
                    reached[w] |= fresh;
                    reached_sources += std::popcount(fresh & sources[w]);
                    grew = true;
                }
            }
            if (reached_sources == source_count) {
                return true;
            }
        }
        if (!grew) {
            return false;  // closed under adjacency: the component of vertex 0
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
    // The DAG's rows and the reached set; the essential graph and the class
    // counter hold a few words per vertex and rows for a few vertices with
    // lines, and the counter a memo of small components.
    const std::size_t row_words = static_cast<std::size_t>(n) * words_for(n);
    return sizeof(ExactSampler) + UniformDag::bytes_per_worker(n) + row_words * sizeof(Word) +
           words_for(n) * sizeof(Word) + EssentialGraph::bytes_needed(n) +
           ClassSizeCounter::bytes_needed(n);
}

bool ExactSampler::dag_connected() {
    return skeleton_connected(dag_, essential_.sources(), essential_.source_count(),
                              reached_.data());
}

template <bool every_dag>
bool ExactSampler::draw_one(Xoshiro256StarStar& rng, SampleResult& result) {
    // No relabelling: nothing below depends on the vertices' names.
    dags_.draw(rng, dag_);
    essential_.build(dag_);
    const double s = counter_.class_size(essential_);
    const bool connected = dag_connected();
    if (every_dag) {
        weigh(result, s, connected);
    } else if (!weigh_and_keep(result, s, connected, rng)) {
        return false;
    }
    result.lines = essential_.line_count();
    result.no_lines = result.lines == 0 ? 1 : 0;
    result.connected = connected ? 1 : 0;
    kept_size_ = s;
    return true;
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
        if (draw_one<false>(rng, result)) {
            return true;
        }
    }
}

bool ExactSampler::draw_dag(Xoshiro256StarStar& rng, SampleResult& result,
                            const std::atomic<bool>* /*stop*/) {
    result.dags_drawn = 0;
    result.inverse_size_sum = 0;
    result.single_dag_count = 0;
    result.connected_weight = 0;
    return draw_one<true>(rng, result);
}

void ExactSampler::kept_essential_graph(Xoshiro256StarStar& rng, EdgeMatrix& m) {
    write_essential_graph(essential_, dags_.draw_relabelling(rng), m);
}

}  // namespace pellimor
