#include "sampler/edge_bounded_dag.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "sampler/uniform_dag.hpp"  // unit_interval

namespace pellimor {

namespace {

// Uniform in 0 .. bound-1 by a multiply-high; the bias is below bound / 2^64.
inline std::int64_t below(Xoshiro256StarStar& rng, std::int64_t bound) {
    __extension__ typedef unsigned __int128 Wide;
    return static_cast<std::int64_t>((static_cast<Wide>(rng()) * static_cast<Wide>(bound)) >> 64);
}

// Weights below this share of the running sum are left out of the sums over
// b: their total is far below double resolution.
constexpr double negligible = 1e-20;

}  // namespace

EdgeBoundedDag::EdgeBoundedDag(const WeightedDagTables& tables, EdgeBound bound)
    : tables_(tables),
      bound_edges_(bound.edges),
      bound_(bound.kind),
      log_pi_(std::log(tables.edge_probability())),
      log_not_pi_(-std::log1p(tables.y())),
      dag_(tables.size()) {
    const int n = tables.size();
    const std::int64_t pairs = static_cast<std::int64_t>(n) * (n - 1) / 2;
    const std::int64_t edges = bound.edges;
    if (!bound.bounded() || edges < 0 || edges > pairs) {
        throw std::invalid_argument("edge bound out of range");
    }
    if (bound.kind == EdgeBoundKind::AT_MOST && tables.y() > 1) {
        throw std::invalid_argument("at most E edges needs tables with y <= 1");
    }
    layer_start_.assign(static_cast<std::size_t>(n) + 1, 0);
    parents_before_.assign(static_cast<std::size_t>(n), 0);
    slot_start_.assign(static_cast<std::size_t>(n) + 1, 0);
    log_factorial_.assign(static_cast<std::size_t>(pairs) + 1, 0.0);
    for (std::int64_t j = 2; j <= pairs; ++j) {
        log_factorial_[static_cast<std::size_t>(j)] =
            log_factorial_[static_cast<std::size_t>(j - 1)] + std::log(static_cast<double>(j));
    }
    terms_.assign(static_cast<std::size_t>(edges) + 1, 0.0);
    placed_.reserve(static_cast<std::size_t>(edges));
}

std::size_t EdgeBoundedDag::bytes_per_worker(int n, std::int64_t edges) {
    const std::size_t pairs = static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2;
    const std::size_t e = static_cast<std::size_t>(edges) + 1;
    return sizeof(EdgeBoundedDag) +
           static_cast<std::size_t>(n) * static_cast<std::size_t>(words_for(n)) * sizeof(Word) +
           static_cast<std::size_t>(n + 1) * (2 * sizeof(int) + sizeof(std::int64_t)) +
           (pairs + 1) * sizeof(double) + e * (sizeof(double) + 2 * sizeof(int));
}

double EdgeBoundedDag::log_binomial(std::int64_t n, std::int64_t b) const {
    return log_factorial_[static_cast<std::size_t>(n)] -
           log_factorial_[static_cast<std::size_t>(b)] -
           log_factorial_[static_cast<std::size_t>(n - b)];
}

void EdgeBoundedDag::clear_placed() {
    for (const auto& [v, u] : placed_) {
        clear_bit(dag_.parents(v), u);
    }
    placed_.clear();
}

void EdgeBoundedDag::place(int v, int u) {
    set_bit(dag_.parents(v), u);
    placed_.emplace_back(v, u);
}

bool EdgeBoundedDag::accept(Xoshiro256StarStar& rng, std::int64_t t, std::int64_t slots) {
    const std::int64_t room = bound_edges_ - t;  // b may be at most this
    if (bound_ == EdgeBoundKind::EXACTLY) {
        if (room > slots) {
            return false;
        }
        const double log_p =
            log_binomial(slots, room) + room * log_pi_ + (slots - room) * log_not_pi_;
        if (!(unit_interval(rng) < std::exp(log_p))) {
            return false;
        }
        older_ = room;
        return true;
    }
    // At most: weights C(N, b) for b <= B = min(room, N), taken relative to
    // the largest one, at b* = min(B, N / 2), summed outwards from it.
    const std::int64_t top = std::min(room, slots);
    const std::int64_t peak = std::min(top, slots / 2);
    std::int64_t low = peak;
    std::int64_t high = peak;
    double sum = 1;
    terms_[static_cast<std::size_t>(peak)] = 1;
    for (double r = 1; low > 0;) {
        r *= static_cast<double>(low) / static_cast<double>(slots - low + 1);
        if (r < negligible * sum) {
            break;
        }
        --low;
        terms_[static_cast<std::size_t>(low)] = r;
        sum += r;
    }
    for (double r = 1; high < top;) {
        r *= static_cast<double>(slots - high) / static_cast<double>(high + 1);
        if (r < negligible * sum) {
            break;
        }
        ++high;
        terms_[static_cast<std::size_t>(high)] = r;
        sum += r;
    }
    const double log_accept = room * std::log(tables_.y()) + slots * log_not_pi_ +
                              log_binomial(slots, peak) + std::log(sum);
    if (!(unit_interval(rng) < std::exp(log_accept))) {
        return false;
    }
    double target = unit_interval(rng) * sum;
    older_ = high;
    for (std::int64_t b = low; b <= high; ++b) {
        target -= terms_[static_cast<std::size_t>(b)];
        if (target < 0) {
            older_ = b;
            break;
        }
    }
    return true;
}

bool EdgeBoundedDag::propose(Xoshiro256StarStar& rng) {
    const int n = tables_.size();
    // Stage 1: the layers and the parent counts in the layer before.
    int layers = 1;
    layer_start_[0] = 0;
    layer_start_[1] = tables_.first_layer_size(unit_interval(rng));
    std::int64_t before = 0;  // t
    std::int64_t slots = 0;   // N
    slot_start_[0] = 0;
    slot_start_[1] = 0;
    while (layer_start_[static_cast<std::size_t>(layers)] < n) {
        const int p0 = layer_start_[static_cast<std::size_t>(layers - 1)];
        const int p1 = layer_start_[static_cast<std::size_t>(layers)];
        const int k = p1 - p0;
        const int s = tables_.next_layer_size(n - p1, k, unit_interval(rng));
        for (int v = p1; v < p1 + s; ++v) {
            const int c = tables_.parents_in_layer_before(k, unit_interval(rng));
            parents_before_[static_cast<std::size_t>(v)] = c;
            before += c;
        }
        if (before > bound_edges_) {
            return false;
        }
        slots += static_cast<std::int64_t>(s) * p0;
        ++layers;
        layer_start_[static_cast<std::size_t>(layers)] = p1 + s;
        slot_start_[static_cast<std::size_t>(layers)] = slots;
    }
    layers_ = layers;
    // Stage 2.
    if (!accept(rng, before, slots)) {
        return false;
    }
    // Stage 3: the parents.
    clear_placed();
    for (int l = 1; l < layers; ++l) {
        const int p0 = layer_start_[static_cast<std::size_t>(l - 1)];
        const int p1 = layer_start_[static_cast<std::size_t>(l)];
        const int k = p1 - p0;
        for (int v = p1; v < layer_start_[static_cast<std::size_t>(l + 1)]; ++v) {
            // Floyd: a uniform c-subset of 0 .. k-1.
            const int c = parents_before_[static_cast<std::size_t>(v)];
            for (int j = k - c; j < k; ++j) {
                const int pick = static_cast<int>(below(rng, j + 1));
                place(v, test_bit(dag_.parents(v), p0 + pick) ? p0 + j : p0 + pick);
            }
        }
    }
    // Floyd over the older slots; slot i of layer l (l >= 2) is vertex
    // layer_start[l] + i / p, parent i % p, with p = layer_start[l-1].
    for (std::int64_t j = slots - older_; j < slots; ++j) {
        for (std::int64_t slot : {below(rng, j + 1), j}) {
            const auto l = static_cast<int>(
                std::upper_bound(slot_start_.begin(), slot_start_.begin() + layers + 1, slot) -
                slot_start_.begin() - 1);
            const std::int64_t p = layer_start_[static_cast<std::size_t>(l - 1)];
            const std::int64_t offset = slot - slot_start_[static_cast<std::size_t>(l)];
            const int v = layer_start_[static_cast<std::size_t>(l)] + static_cast<int>(offset / p);
            const int u = static_cast<int>(offset % p);
            if (!test_bit(dag_.parents(v), u)) {
                place(v, u);
                break;
            }
        }
    }
    return true;
}

}  // namespace pellimor
