#include "sampler/sparse_exact_sampler.hpp"

#include <algorithm>
#include <numeric>

#include "sampler/exact_sampler.hpp"  // skeleton_connected, weigh_and_keep

namespace pellimor {

SparseSetup make_sparse_setup(int n, EdgeBound bound, const std::atomic<bool>* stop) {
    const double pairs = 0.5 * n * (n - 1.0);
    const std::int64_t edges = bound.edges;
    SparseSetup setup;
    setup.bound = bound;
    // Any y gives exact draws; the one whose mean is E makes E most likely.
    // At the ends (E = 0, all pairs, n = 1) aim half an edge inside.
    double y = 1;
    if (pairs >= 1) {
        const double aim = std::clamp(static_cast<double>(edges), 0.5, pairs - 0.5);
        y = weight_for_mean_edges(n, aim, stop);
    }
    if (bound.kind == EdgeBoundKind::AT_MOST) {
        y = std::min(y, 1.0);
    }
    setup.tables = std::make_unique<WeightedDagTables>(n, y, stop);
    return setup;
}

SparseExactSampler::SparseExactSampler(const SparseSetup& setup)
    : dags_(*setup.tables, setup.bound),
      essential_(setup.tables->size()),
      counter_(setup.tables->size()),
      reached_(static_cast<std::size_t>(words_for(setup.tables->size()))),
      label_(static_cast<std::size_t>(setup.tables->size())) {}

std::size_t SparseExactSampler::bytes_per_worker(int n, std::int64_t edges) {
    const std::size_t row_words = static_cast<std::size_t>(n) * words_for(n);
    const std::size_t counter = 4 * row_words * sizeof(Word) + (std::size_t{1} << 16) * 12;
    return sizeof(SparseExactSampler) + EdgeBoundedDag::bytes_per_worker(n, edges) +
           2 * row_words * sizeof(Word) + counter + static_cast<std::size_t>(n) * sizeof(int);
}

template <bool every_dag>
bool SparseExactSampler::draw(Xoshiro256StarStar& rng, SampleResult& result,
                              const std::atomic<bool>* stop) {
    result.dags_drawn = 0;
    result.inverse_size_sum = 0;
    result.single_dag_count = 0;
    result.connected_weight = 0;
    for (;;) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
            return false;
        }
        ++proposals_;
        if (!dags_.propose(rng)) {
            continue;
        }
        const OrderedDag& dag = dags_.dag();
        essential_.build(dag);
        const double s = counter_.class_size(essential_);
        const bool connected = skeleton_connected(dag, reached_.data());
        if (every_dag) {
            weigh(result, s, connected);
        } else if (!weigh_and_keep(result, s, connected, rng)) {
            continue;
        }
        result.lines = essential_.line_count();
        result.no_lines = result.lines == 0 ? 1 : 0;
        result.connected = connected ? 1 : 0;
        result.classes.edges = dags_.edges();
        kept_size_ = s;
        return true;
    }
}

bool SparseExactSampler::draw_class(Xoshiro256StarStar& rng, SampleResult& result,
                                    const std::atomic<bool>* stop) {
    return draw<false>(rng, result, stop);
}

bool SparseExactSampler::draw_dag(Xoshiro256StarStar& rng, SampleResult& result,
                                  const std::atomic<bool>* stop) {
    return draw<true>(rng, result, stop);
}

SparseExactSampler::Pilot SparseExactSampler::pilot(Xoshiro256StarStar& rng,
                                                    std::int64_t proposals) {
    Pilot result;
    for (; result.proposals < proposals; ++result.proposals) {
        if (dags_.propose(rng)) {
            essential_.build(dags_.dag());
            ++result.dags;
            result.inverse_size_sum += 1 / counter_.class_size(essential_);
        }
    }
    return result;
}

std::span<const int> SparseExactSampler::draw_relabelling(Xoshiro256StarStar& rng) {
    // Fisher-Yates from the identity; the draw % (i + 1) bias is below n / 2^64.
    std::iota(label_.begin(), label_.end(), 0);
    for (std::size_t i = label_.size(); i > 1; --i) {
        std::swap(label_[i - 1], label_[rng() % i]);
    }
    return label_;
}

void SparseExactSampler::kept_essential_graph(Xoshiro256StarStar& rng, EdgeMatrix& m) {
    write_essential_graph(essential_, draw_relabelling(rng), m);
}

}  // namespace pellimor
