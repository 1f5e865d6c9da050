#include "sampler/layered_states.hpp"

#include <algorithm>
#include <cmath>

namespace pellimor {

namespace {

constexpr long double none = SignedLogSum::none;
// The sum over f stops once its terms are below this of the largest.
constexpr long double term_cut = 70 * 0.6931471805599453L;
// Shapes whose weight is below this share of the state's are left out: they
// would be drawn less than once in 10^18 draws.
constexpr long double shape_cut = 1e-18L;

bool same_pieces(const PieceShape& a, const PieceShape& b) {
    return a.vertices == b.vertices && a.pieces == b.pieces;
}

std::uint64_t key_of(const PieceShape& shape) {
    std::uint64_t key = 1469598103934665603ULL ^ static_cast<std::uint64_t>(shape.vertices);
    for (const std::int16_t count : shape.pieces) {
        key = (key ^ static_cast<std::uint16_t>(count)) * 1099511628211ULL;
    }
    return key;
}

}  // namespace

LayeredStates::LayeredStates(const LayeredTable& table)
    : table_(table),
      log_y_(std::log(static_cast<long double>(table.y()))),
      log_q1_(table.log_q_of_piece(1)) {
    const int n = table.size();
    row_start_.assign(static_cast<std::size_t>(n) + 2, 0);
    for (int m = 0; m <= n; ++m) {
        row_start_[static_cast<std::size_t>(m) + 1] =
            row_start_[static_cast<std::size_t>(m)] +
            static_cast<std::size_t>(table.highest_top(m) - table.lowest_top(m) + 1);
    }
    slot_.assign(row_start_.back(), -1);
    length_.assign(row_start_.back(), 0);
}

void LayeredStates::start_afresh() {
    std::fill(slot_.begin(), slot_.end(), -1);
    choices_.clear();
    top_slot_.clear();
    top_first_.clear();
    top_length_.clear();
    tops_.clear();
    notes_.clear();
    shapes_.clear();
    q_slot_.clear();
    q_logs_.clear();
    known_.clear();
}

std::uint32_t LayeredStates::intern(const PieceShape& shape) {
    // Equal keys of different shapes go to the next key.
    std::uint64_t key = key_of(shape);
    for (;;) {
        const auto [it, fresh] = known_.emplace(key, static_cast<std::uint32_t>(shapes_.size()));
        if (fresh) {
            shapes_.push_back(shape);
            q_slot_.push_back(-1);
            return it->second;
        }
        if (same_pieces(shapes_[it->second], shape)) {
            return it->second;
        }
        ++key;
    }
}

void LayeredStates::compute(int vertices, int k) {
    const int m = vertices - k;
    table_.shape_terms(m, k, terms_);
    logs_.assign(terms_.size(), none);
    long double largest = none;
    for (std::size_t s = 0; s < terms_.size(); ++s) {
        const PieceShape& shape = terms_[s].shape;
        const int j1 = shape.singles();
        sum_.reset();
        // f = 0 is the shape's term in V(m, k).
        sum_.add(terms_[s].log_term - shape.log_weight + table_.log_total(m), false);
        for (int f = 1; f <= std::min(j1, m); ++f) {
            const long double a = table_.log_binomial(j1, f) + table_.log_factorial(f) +
                                  f * log_y_ + table_.log_binomial(m, f) + table_.log_total(m - f) +
                                  table_.log_cover_sum(m - f, shape.log_q - f * log_q1_);
            sum_.add(a, f % 2 == 1);
            if (f >= 2 && a < sum_.largest() - term_cut) {
                break;
            }
        }
        const long double log_w1 = sum_.log_value();
        logs_[s] = log_w1 == none ? none : shape.log_weight + log_w1;
        largest = std::max(largest, logs_[s]);
    }
    const std::size_t state = state_of(vertices, k);
    slot_[state] = static_cast<std::int64_t>(choices_.size());
    const long double floor = largest + std::log(shape_cut);
    long double total = 0;
    for (std::size_t s = 0; s < terms_.size(); ++s) {
        if (logs_[s] == none || logs_[s] < floor) {
            continue;
        }
        total += std::exp(logs_[s] - largest);
        choices_.push_back({intern(terms_[s].shape), static_cast<double>(total)});
        top_slot_.push_back(-1);
        top_first_.push_back(0);
        top_length_.push_back(0);
    }
    length_[state] =
        static_cast<std::uint32_t>(choices_.size() - static_cast<std::size_t>(slot_[state]));
}

std::span<const LayeredStates::Choice> LayeredStates::choices(int vertices, int k) {
    const int low = table_.lowest_top(vertices);
    if (k < low || k > table_.highest_top(vertices) || k >= vertices) {
        return {};
    }
    const std::size_t state = state_of(vertices, k);
    if (slot_[state] < 0) {
        if (bytes() > capacity_bytes) {
            start_afresh();
        }
        compute(vertices, k);
    }
    return {choices_.data() + slot_[state], length_[state]};
}

std::span<const long double> LayeredStates::tops(int vertices, int k, std::size_t choice,
                                                 int* first_top) {
    const std::size_t index = static_cast<std::size_t>(slot_[state_of(vertices, k)]) + choice;
    if (top_slot_[index] < 0) {
        top_slot_[index] = static_cast<std::int64_t>(tops_.size());
        compute_tops(vertices - k, shapes_[choices_[index].shape]);
        top_first_[index] = first_top_;
        top_length_[index] =
            static_cast<std::uint32_t>(tops_.size() - static_cast<std::size_t>(top_slot_[index]));
    }
    *first_top = top_first_[index];
    return {tops_.data() + top_slot_[index], top_length_[index]};
}

void LayeredStates::compute_tops(int m, const PieceShape& shape) {
    // W_(1)(pi, k') = sum_f' (-1)^f' e^(base_f') t(m - f', k' - f') x_f'^(k' - f'),
    // x_f' = 1 - 1/Q_f', base_f' = log [C(j1, f') f'! y^f' C(m, f')
    // sum_k T(m - f', k) Q_f'^(m - f')]: for each f' a run of products over
    // k', and one exponential. f' runs up to m: at f' = m every vertex below
    // is a root matched to a one-vertex piece (k' = m, t(0, 0) = 1), and
    // where Q_f' = 1 (every piece a marked one-vertex piece) x_f' = 0 leaves
    // only k' = f'. Both are terms of V's sum in compute() too; without them
    // the top sizes drawn here would not follow the shapes' weights.
    const int j1 = shape.singles();
    int low = m;
    int high = 1;
    int f_end = 0;
    bases_.clear();
    long double largest_base = none;
    for (int f = 0; f <= std::min(j1, m); ++f) {
        const long double log_q = std::max(shape.log_q - f * log_q1_, 0.0L);
        const long double base = table_.log_binomial(j1, f) + table_.log_factorial(f) + f * log_y_ +
                                 table_.log_binomial(m, f) + table_.log_total(m - f) +
                                 (m - f) * log_q;
        if (f >= 2 && base < largest_base - term_cut) {
            break;
        }
        bases_.push_back(base);
        largest_base = std::max(largest_base, base);
        low = std::min(low, table_.lowest_top(m - f) + f);
        high = std::max(high, table_.highest_top(m - f) + f);
        f_end = f + 1;
    }
    low = std::max(low, 1);
    high = std::min(high, m);
    first_top_ = low;
    const std::size_t start = tops_.size();
    const auto width = static_cast<std::size_t>(std::max(high - low + 1, 1));
    tops_.resize(start + width, 0);
    notes_.resize(start + width, 0);
    long double* terms = tops_.data() + start;
    for (int f = 0; f < f_end; ++f) {
        const long double log_q = std::max(shape.log_q - f * log_q1_, 0.0L);
        const long double x = -std::expm1(-log_q);
        const long double scale = std::exp(bases_[static_cast<std::size_t>(f)] - largest_base);
        const int row = m - f;
        const int row_low = table_.lowest_top(row);
        long double power = std::pow(x, static_cast<long double>(row_low));
        for (int kb = row_low + f; kb <= table_.highest_top(row) + f; ++kb, power *= x) {
            if (kb >= low && kb <= high) {
                const long double term = scale * table_.top_share_precise(row, kb - f) * power;
                terms[kb - low] += f % 2 == 0 ? term : -term;
            }
        }
    }
    long double total = 0;
    for (std::size_t i = 0; i < width; ++i) {
        total += std::max(terms[i], 0.0L);
        terms[i] = total;
    }
}

std::span<const long double> LayeredStates::log_q_minus_one(std::uint32_t index) {
    const PieceShape& shape = shapes_[index];
    const auto size = static_cast<std::size_t>(shape.singles()) + 1;
    if (q_slot_[index] < 0) {
        q_slot_[index] = static_cast<std::int64_t>(q_logs_.size());
        for (int g = 0; g <= shape.singles(); ++g) {
            const long double log_q = shape.log_q - g * log_q1_;
            q_logs_.push_back(log_q > 0 ? std::log(std::expm1(log_q)) : none);
        }
    }
    return {q_logs_.data() + q_slot_[index], size};
}

std::span<const ShapeTerm> LayeredStates::bottom(int k) {
    if (bottom_size_ != k) {
        table_.shape_terms(0, k, bottom_);
        bottom_size_ = k;
    }
    return bottom_;
}

std::size_t LayeredStates::bytes() const {
    return sizeof(*this) + choices_.capacity() * (sizeof(Choice) + 16) +
           tops_.capacity() * sizeof(long double) + notes_.capacity() * sizeof(std::uint64_t) +
           shapes_.capacity() * sizeof(PieceShape) + q_slot_.capacity() * sizeof(std::int64_t) +
           q_logs_.capacity() * sizeof(long double) + known_.size() * 32 +
           (row_start_.capacity() + slot_.capacity()) * sizeof(std::int64_t) +
           length_.capacity() * sizeof(std::uint32_t) +
           (terms_.capacity() + bottom_.capacity()) * sizeof(ShapeTerm);
}

std::size_t LayeredStates::bytes_at_most(int n) {
    // The state index (about n * 200 states at most) and the cap, doubled
    // for the growth of a vector (notes_ grows with tops_ and is counted in
    // the cap).
    return 2 * capacity_bytes + static_cast<std::size_t>(n + 2) * 200 * 24;
}

}  // namespace pellimor
