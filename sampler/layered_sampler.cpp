#include "sampler/layered_sampler.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

#include "sampler/exact_sampler.hpp"  // skeleton_connected
#include "sampler/layered_states.hpp"

namespace pellimor {

namespace {

// Proposals in each pilot that sets y: their mean edge count is then known
// to a tenth of the edges' standard deviation.
constexpr std::int64_t weight_pilot = 100;

}  // namespace

LayeredSetup make_layered_setup(int n, std::int64_t edges, const std::atomic<bool>* stop) {
    const double pairs = 0.5 * n * (n - 1.0);
    if (n < 2 || edges < 1 || static_cast<double>(edges) >= pairs) {
        throw std::invalid_argument("the layered method needs 1 <= E < n(n-1)/2");
    }
    const double degree = 2.0 * static_cast<double>(edges) / n;
    double log_y = std::log(std::min((0.4 + 0.05 * degree) * degree / n, 0.5));
    LayeredSetup setup;
    setup.edges = edges;
    setup.table = std::make_unique<LayeredTable>(n, std::exp(log_y), stop);
    auto rng = Xoshiro256StarStar(
        SplitMix64::mix(static_cast<std::uint64_t>(n) << 40 ^ static_cast<std::uint64_t>(edges)));
    for (int step = 0; step < 2; ++step) {
        LayeredSampler sampler(setup);
        const LayeredSampler::Pilot p = sampler.pilot(rng, weight_pilot);
        const double count = static_cast<double>(p.proposals);
        const double mean = p.edge_sum / count;
        const double variance = std::max(p.edge_square_sum / count - mean * mean, 1.0);
        const double gap = static_cast<double>(edges) - mean;
        if (std::abs(gap) < 0.5 * std::sqrt(variance)) {
            break;
        }
        log_y += std::clamp(gap / variance, -1.0, 1.0);
        setup.table = std::make_unique<LayeredTable>(n, std::exp(log_y), stop);
    }
    return setup;
}

LayeredSampler::LayeredSampler(const LayeredSetup& setup)
    : edges_(setup.edges),
      proposal_(*setup.table),
      dag_(setup.table->size()),
      essential_(setup.table->size()),
      counter_(setup.table->size()),
      reached_(static_cast<std::size_t>(words_for(setup.table->size()))),
      label_(static_cast<std::size_t>(setup.table->size())) {}

std::size_t LayeredSampler::bytes_per_worker(int n) {
    const auto size = static_cast<std::size_t>(n);
    const std::size_t row_words = size * static_cast<std::size_t>(words_for(n));
    // The proposal: per vertex a few ints in the levels, rows and graph (its
    // line lists and rows grow with the edges, a few per vertex when sparse),
    // and the states the draws have met.
    const std::size_t proposal = size * 40 * sizeof(int) + LayeredStates::bytes_at_most(n);
    return sizeof(LayeredSampler) + proposal + row_words * sizeof(Word) +
           EssentialGraph::bytes_needed(n) + ClassSizeCounter::bytes_needed(n) + size * sizeof(int);
}

bool LayeredSampler::draw_class(Xoshiro256StarStar& rng, SampleResult& result,
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
        if (proposal_.propose(rng) != edges_ || !proposal_.build()) {
            continue;
        }
        proposal_.graph().write_dag(dag_);
        essential_.build(dag_);
        kept_size_ = counter_.class_size(essential_);
        const bool connected = skeleton_connected(dag_, reached_.data());
        result.lines = essential_.line_count();
        result.no_lines = result.lines == 0 ? 1 : 0;
        result.connected = connected ? 1 : 0;
        result.classes.edges = edges_;
        return true;
    }
}

LayeredSampler::Pilot LayeredSampler::pilot(Xoshiro256StarStar& rng, std::int64_t proposals) {
    Pilot result;
    for (; result.proposals < proposals; ++result.proposals) {
        const std::int64_t e = proposal_.propose(rng);
        result.edge_sum += static_cast<double>(e);
        result.edge_square_sum += static_cast<double>(e) * static_cast<double>(e);
        if (e == edges_) {
            ++result.with_edges;
            result.kept += proposal_.build() ? 1 : 0;
        }
    }
    return result;
}

std::span<const int> LayeredSampler::draw_relabelling(Xoshiro256StarStar& rng) {
    // Fisher-Yates from the identity; the draw % (i + 1) bias is below n / 2^64.
    std::iota(label_.begin(), label_.end(), 0);
    for (std::size_t i = label_.size(); i > 1; --i) {
        std::swap(label_[i - 1], label_[rng() % i]);
    }
    return label_;
}

void LayeredSampler::kept_essential_graph(Xoshiro256StarStar& rng, EdgeMatrix& m) {
    write_essential_graph(essential_, draw_relabelling(rng), m);
}

}  // namespace pellimor
