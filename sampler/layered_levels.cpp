#include "sampler/layered_levels.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sampler/signed_log_sum.hpp"

namespace pellimor {

namespace {

constexpr long double none = SignedLogSum::none;
// A signed sum stops once its terms are below this of the largest and
// falling (they fall like lambda^f / f!).
constexpr long double term_cut = 70 * 0.6931471805599453L;

long double unit(Xoshiro256StarStar& rng) {
    return static_cast<long double>(rng() >> 11) * 0x1p-53L;
}

}  // namespace

long double tilt_weight(const long double* tilt, int tilt_size, int z) {
    // C(z, f) by its ratio (z - f + 1) / f.
    long double sum = 0;
    long double binomial = 1;
    for (int f = 0; f < tilt_size && f <= z; ++f) {
        if (f > 0) {
            binomial *= static_cast<long double>(z - f + 1) / f;
        }
        sum += (f % 2 == 0 ? 1 : -1) * tilt[f] * binomial;
    }
    return std::max(sum, 0.0L);
}

LevelDrawer::LevelDrawer(const LayeredTable& table)
    : table_(table),
      states_(table),
      log_y_(std::log(static_cast<long double>(table_.y()))),
      log_q1_(table_.log_q_of_piece(1)) {}

int LevelDrawer::draw_top(Xoshiro256StarStar& rng) const {
    const int n = table_.size();
    long double target = unit(rng);
    for (int k = table_.lowest_top(n); k < table_.highest_top(n); ++k) {
        target -= table_.top_share(n, k);
        if (target < 0) {
            return k;
        }
    }
    return table_.highest_top(n);
}

long double LevelDrawer::tilted_ratio(int m, const PieceShape& shape,
                                      std::span<const long double> q_minus_one, int kb,
                                      const long double* tilt, int tilt_size) {
    const int j1 = shape.singles();
    const int f_limit = std::min({j1, kb, m});
    // With g = f + f', C(j1, f) C(j1 - f, f') f'! = j1! / (f! (j1 - g)!), so
    // the log of a term of c'_f' is
    //   log |c_f| + log j1! - log f!                        (head_f)
    //   + f' (log y - log(Q_g - 1))                         (f' step_g)
    //   + k' log(Q_g - 1) + (m - k') log Q_g - log (j1 - g)!  (tail_g):
    // two look-ups, a product and two sums. Where Q_g = 1 the cover factor
    // (Q_g - 1)^(k' - f') is 1 at f' = k' and 0 otherwise, so only f' = k'
    // has a term, and step_g = log y.
    const int g_limit = std::min(j1, f_limit + tilt_size - 1);
    // (Q_g = 1 is told by log Q_g, not by a stored -infinity: long double
    // infinities do not survive memory under valgrind's emulation.)
    step_.resize(static_cast<std::size_t>(g_limit) + 1);
    tail_.resize(static_cast<std::size_t>(g_limit) + 1);
    unit_q_.resize(static_cast<std::size_t>(g_limit) + 1);
    for (int g = 0; g <= g_limit; ++g) {
        const auto i = static_cast<std::size_t>(g);
        const long double log_q = shape.log_q - g * log_q1_;
        const bool unit_q = !(log_q > 0);
        const long double q1 = unit_q ? 0 : q_minus_one[i];
        step_[i] = log_y_ - q1;
        tail_[i] = kb * q1 + (m - kb) * log_q - table_.log_factorial(j1 - g);
        unit_q_[i] = unit_q;
    }
    // Only f' = k' where Q_g = 1.
    auto open = [&](int g, int fb) { return fb == kb || !unit_q_[static_cast<std::size_t>(g)]; };
    head_.resize(static_cast<std::size_t>(tilt_size));
    for (int f = 0; f < std::min(tilt_size, j1 + 1); ++f) {
        head_[static_cast<std::size_t>(f)] = log_tilt_[static_cast<std::size_t>(f)] +
                                             table_.log_factorial(j1) - table_.log_factorial(f);
    }
    next_tilt_.assign(static_cast<std::size_t>(f_limit) + 1, 0);
    std::vector<long double>& scale = tilt_scales_;
    scale.assign(static_cast<std::size_t>(f_limit) + 1, none);
    term_logs_.resize(static_cast<std::size_t>(tilt_size));
    long double largest_seen = none;
    int used = 0;
    for (int fb = 0; fb <= f_limit; ++fb) {
        // c'_f' = sum_f (-1)^f c_f C(j1, f) C(j1 - f, f') f'! y^f' (Q_g - 1)^(k' - f') Q_g^(m - k')
        long double largest = none;
        const int f_end = std::min(tilt_size, j1 - fb + 1);
        for (int f = 0; f < f_end; ++f) {
            const int g = f + fb;
            const long double t = tilt[f] == 0 || !open(g, fb)
                                      ? none
                                      : head_[static_cast<std::size_t>(f)] +
                                            fb * step_[static_cast<std::size_t>(g)] +
                                            tail_[static_cast<std::size_t>(g)];
            term_logs_[static_cast<std::size_t>(f)] = t;
            largest = std::max(largest, t);
        }
        long double value = 0;
        if (largest != none) {
            for (int f = 0; f < f_end; ++f) {
                const long double t = term_logs_[static_cast<std::size_t>(f)];
                if (t == none) {
                    continue;
                }
                const long double term = std::exp(static_cast<double>(t - largest));
                value += (f % 2 == 1) != (tilt[f] < 0) ? -term : term;
            }
        }
        scale[static_cast<std::size_t>(fb)] = largest;
        next_tilt_[static_cast<std::size_t>(fb)] = value;
        used = fb + 1;
        // |c'_f'| C(k', f') bounds the term's part in g_c'(z') for z' <= k'.
        const long double size =
            largest == none || value == 0
                ? none
                : largest + std::log(std::fabs(value)) + table_.log_binomial(kb, fb);
        largest_seen = std::max(largest_seen, size);
        if (fb >= 2 && size < largest_seen - term_cut) {
            break;
        }
    }
    next_tilt_.resize(static_cast<std::size_t>(used));
    // log (Q_g - 1)^(k' - f') Q_g^(m - k') at g = f', as in the terms above.
    auto cover = [&](int fb) {
        const auto i = static_cast<std::size_t>(fb);
        return open(fb, fb) ? tail_[i] + table_.log_factorial(j1 - fb) + fb * (step_[i] - log_y_)
                            : none;
    };
    // W_c and W_(1) at (pi, k'), both without w(pi):
    //   W_c = sum_f' (-1)^f' c'_f' C(m, f') T(m - f', k' - f'),
    //   W_(1) the same with c = (1).
    SignedLogSum& tilted = tilted_;
    SignedLogSum& plain = plain_;
    tilted.reset();
    plain.reset();
    for (int fb = 0; fb < used; ++fb) {
        const long double count = table_.log_count(m - fb, kb - fb);
        if (count == none) {
            continue;
        }
        const long double c = next_tilt_[static_cast<std::size_t>(fb)];
        const long double outer = table_.log_binomial(m, fb) + count;
        if (c != 0) {
            tilted.add(scale[static_cast<std::size_t>(fb)] + std::log(std::fabs(c)) + outer,
                       (fb % 2 == 1) != (c < 0));
        }
        plain.add(table_.log_binomial(j1, fb) + table_.log_factorial(fb) + fb * log_y_ + cover(fb) +
                      outer,
                  fb % 2 == 1);
    }
    // The next tilt with c'_0 = 1.
    const long double c0 = next_tilt_[0];
    const long double c0_scale = scale[0];
    log_row_share_ = c0 > 0 ? c0_scale + std::log(c0) - cover(0) : none;
    for (int fb = 0; fb < used; ++fb) {
        auto& c = next_tilt_[static_cast<std::size_t>(fb)];
        c = c0 > 0 ? c / c0 * std::exp(scale[static_cast<std::size_t>(fb)] - c0_scale) : 0;
    }
    const long double tilted_log = tilted.log_value();
    const long double plain_log = plain.log_value();
    if (tilted_log == none || plain_log == none || !(c0 > 0)) {
        return none;
    }
    return tilted_log - plain_log;
}

const LevelDrawer::Memo& LevelDrawer::memo_of(std::size_t position, int m,
                                              std::uint32_t shape_index, int kb,
                                              const long double* tilt, int tilt_size) {
    std::uint64_t& note = states_.note(position);
    if (note >> 32 == generation_) {
        return memo_[static_cast<std::size_t>(note & 0xffffffffU)];
    }
    ++shape_draws_computed_;
    const long double log_ratio = tilted_ratio(
        m, states_.shape(shape_index), states_.log_q_minus_one(shape_index), kb, tilt, tilt_size);
    note = static_cast<std::uint64_t>(generation_) << 32 | memo_.size();
    memo_.push_back({log_ratio, log_row_share_, static_cast<std::uint32_t>(memo_tilts_.size()),
                     static_cast<std::uint32_t>(next_tilt_.size())});
    memo_tilts_.insert(memo_tilts_.end(), next_tilt_.begin(), next_tilt_.end());
    return memo_.back();
}

void LevelDrawer::draw_bottom(Xoshiro256StarStar& rng, int k, const long double* tilt,
                              int tilt_size, LevelDraw& level) {
    const std::span<const ShapeTerm> shapes = states_.bottom(k);
    shape_weights_.resize(shapes.size());
    long double largest = none;
    for (std::size_t s = 0; s < shapes.size(); ++s) {
        const long double g = tilt_weight(tilt, tilt_size, shapes[s].shape.singles());
        shape_weights_[s] = g > 0 ? shapes[s].log_term + std::log(g) : none;
        largest = std::max(largest, shape_weights_[s]);
    }
    long double total = 0;
    for (auto& weight : shape_weights_) {
        total += weight == none ? 0 : std::exp(weight - largest);
        weight = total;
    }
    const long double target = unit(rng) * total;
    const auto s = static_cast<std::size_t>(
        std::upper_bound(shape_weights_.begin(), shape_weights_.end() - 1, target) -
        shape_weights_.begin());
    level.shape = shapes[s].shape;
    level.below = 0;
}

void LevelDrawer::draw(Xoshiro256StarStar& rng, std::vector<LevelDraw>& levels,
                       std::vector<long double>& tilts) {
    levels.clear();
    tilts.assign(1, 1.0L);
    int vertices = table_.size();
    int k = draw_top(rng);
    int tilt_start = 0;
    int tilt_size = 1;
    for (;;) {
        LevelDraw level;
        level.tilt_start = tilt_start;
        level.tilt_size = tilt_size;
        const int m = vertices - k;
        if (m == 0) {
            draw_bottom(rng, k, tilts.data() + tilt_start, tilt_size, level);
            levels.push_back(level);
            return;
        }
        const std::span<const LayeredStates::Choice> choices = states_.choices(vertices, k);
        log_tilt_.resize(static_cast<std::size_t>(tilt_size));
        for (int f = 0; f < tilt_size; ++f) {
            const long double c = tilts[static_cast<std::size_t>(tilt_start + f)];
            log_tilt_[static_cast<std::size_t>(f)] = c == 0 ? none : std::log(std::fabs(c));
        }
        // A new level: notes of earlier levels no longer match (zero, which
        // no level has, after 2^32 levels).
        if (++generation_ == 0) {
            states_.clear_notes();
            generation_ = 1;
        }
        memo_.clear();
        memo_tilts_.clear();
        for (;;) {
            ++shape_draws_;
            const double shape_target = static_cast<double>(unit(rng)) * choices.back().cumulative;
            const auto chosen = std::upper_bound(
                choices.begin(), choices.end() - 1, shape_target,
                [](double t, const LayeredStates::Choice& c) { return t < c.cumulative; });
            const PieceShape& shape = states_.shape(chosen->shape);
            int first_top = 0;
            const std::span<const long double> tops = states_.tops(
                vertices, k, static_cast<std::size_t>(chosen - choices.begin()), &first_top);
            const long double top_target = unit(rng) * tops.back();
            const int kb =
                first_top +
                static_cast<int>(std::upper_bound(tops.begin(), tops.end() - 1, top_target) -
                                 tops.begin());
            const Memo& memo =
                memo_of(states_.position_of(tops) + static_cast<std::size_t>(kb - first_top), m,
                        chosen->shape, kb, tilts.data() + tilt_start, tilt_size);
            if (memo.log_ratio == none || !(std::log(unit(rng)) < memo.log_ratio)) {
                continue;
            }
            ++shape_draws_kept_;
            level.shape = shape;
            level.below = m;
            level.log_row_share = memo.log_row_share;
            levels.push_back(level);
            tilt_start = static_cast<int>(tilts.size());
            tilt_size = static_cast<int>(memo.tilt_size);
            const auto first = memo_tilts_.begin() + memo.tilt_start;
            tilts.insert(tilts.end(), first, first + memo.tilt_size);
            vertices = m;
            k = kb;
            break;
        }
    }
}

}  // namespace pellimor
