#include "sampler/layered_rows.hpp"

#include <algorithm>
#include <cmath>

#include "sampler/layered_levels.hpp"  // tilt_weight

namespace pellimor {

namespace {

// Terms C(u, a) y^a below this share of the largest are left out of a
// transition (the same ones in the table and in the draw, so the draw stays
// normalised): far below the rounding of the doubles they are summed in.
constexpr double transition_cut = 1e-22;

double unit(Xoshiro256StarStar& rng) {
    return static_cast<double>(rng() >> 11) * 0x1p-53;
}

// The columns a state can move to, with their weights (before the backward
// values): kind 0 a non-root's column, 1 a root's.
enum Move : int { TAKE, ALONE_TO_TENTATIVE, ONE_AND_OTHERS, OTHERS_ONLY };

// Calls visit(move, a, b, weight) for every column of a vertex of T' at
// state (u, tau): a untouched and b tentative pieces taken.
template <class Visit>
void for_each_move(bool root, int u, int tau, double y, double o, double o_minus_one,
                   Visit&& visit) {
    visit(OTHERS_ONLY, 0, 0, o_minus_one);
    if (root && u >= 1) {
        visit(ALONE_TO_TENTATIVE, 1, 0, u * y);
        visit(ONE_AND_OTHERS, 1, 0, u * y * o_minus_one);
    }
    // C(u, a) y^a C(tau, b) y^b O over the rest.
    double ca = 1;
    double largest_a = 0;
    for (int a = 0; a <= u; ++a) {
        if (a > 0) {
            ca *= (u - a + 1) * y / a;
        }
        largest_a = std::max(largest_a, ca);
        if (ca < transition_cut * largest_a && a > u * y) {
            break;
        }
        double cb = 1;
        double largest_b = 0;
        for (int b = 0; b <= (root ? tau : 0); ++b) {
            if (b > 0) {
                cb *= (tau - b + 1) * y / b;
            }
            largest_b = std::max(largest_b, cb);
            if (cb < transition_cut * largest_b && b > tau * y) {
                break;
            }
            if ((a == 0 && b == 0) || (root && a == 1 && b == 0)) {
                continue;
            }
            visit(TAKE, a, b, ca * cb * o);
        }
    }
}

}  // namespace

RowDrawer::RowDrawer(double y) : y_(y), log_q1_(std::log1p(y)), subsets_(y) {}

double RowDrawer::others(int u, int tau) const {
    return others_[static_cast<std::size_t>(u + tau)];
}

double RowDrawer::others_minus_one(int u, int tau) const {
    return others_minus_one_[static_cast<std::size_t>(u + tau)];
}

void RowDrawer::start(const RowRequest& request, LevelRows& rows) {
    const PieceShape& shape = *request.shape;
    j1_ = shape.singles();
    log_big_ = 0;
    piece_size_.clear();
    for (int b = 1; b <= PieceShape::largest_piece; ++b) {
        for (int i = 0; i < shape.pieces[static_cast<std::size_t>(b)]; ++i) {
            piece_size_.push_back(b);
            if (b > 1) {
                log_big_ += std::log1p(std::pow(y_, b));
            }
        }
    }
    // T' in the order of the programme: non-roots, then roots.
    top_order_.clear();
    for (int pass = 0; pass < 2; ++pass) {
        for (int v = request.lower; v < request.lower + request.top_count; ++v) {
            if ((request.is_root[v] != 0) == (pass == 1)) {
                top_order_.push_back(v);
            }
        }
    }
    roots_ = 0;
    for (int v = request.lower; v < request.lower + request.top_count; ++v) {
        roots_ += request.is_root[v] != 0 ? 1 : 0;
    }
    non_roots_ = request.top_count - roots_;
    // O depends on u + tau alone: the free pieces are the j1 - u - tau
    // touched one-vertex pieces and the larger ones.
    others_.resize(static_cast<std::size_t>(j1_) + 1);
    others_minus_one_.resize(static_cast<std::size_t>(j1_) + 1);
    for (int sum = 0; sum <= j1_; ++sum) {
        const double log_o = (j1_ - sum) * log_q1_ + log_big_;
        others_[static_cast<std::size_t>(sum)] = std::exp(log_o);
        others_minus_one_[static_cast<std::size_t>(sum)] = std::expm1(log_o);
    }
    big_.clear();
    for (int p = j1_; p < static_cast<int>(piece_size_.size()); ++p) {
        big_.push_back(p);
    }
    out_ = &rows;
    rows.incidences.clear();
    rows.size = piece_size_;
}

void RowDrawer::fill_table(const RowRequest& request) {
    const std::size_t width = static_cast<std::size_t>(j1_) + 1;
    root_values_.assign(static_cast<std::size_t>(roots_ + 1) * width * (roots_ + 1), 0.0);
    top_values_.assign(static_cast<std::size_t>(non_roots_ + 1) * width, 0.0);
    // The end: beta = (1 + y)^-M.
    const long double beta = std::exp(-static_cast<long double>(request.lower) * log_q1_);
    end_.assign(width, 0.0);
    for (int u = 0; u <= j1_; ++u) {
        long double sum = 0;
        long double binomial = 1;  // C(u, f) beta^f
        for (int f = 0; f < request.tilt_size && f <= u; ++f) {
            if (f > 0) {
                binomial *= (u - f + 1) * beta / f;
            }
            sum += (f % 2 == 0 ? 1 : -1) * request.tilt[f] * binomial;
        }
        end_[static_cast<std::size_t>(u)] = static_cast<double>(std::max(sum, 0.0L));
    }
    const double keep = static_cast<double>(-std::expm1(-request.lower * log_q1_));  // 1 - beta
    for (int u = 0; u <= j1_; ++u) {
        double power = 1;
        for (int tau = 0; tau <= roots_ && u + tau <= j1_; ++tau) {
            root_value(roots_, u, tau) = end_[static_cast<std::size_t>(u)] * power;
            power *= keep;
        }
    }
    // Backwards through the roots, then the non-roots; each step scaled to
    // a largest value of 1 (a draw compares values of one step only). With
    // B the next step's values, the columns that take a untouched and b
    // tentative pieces with any others sum to
    //   O [sum_a C(u, a) y^a G1(u - a, tau) + sum_(a >= 2) C(u, a) y^a B(u - a, tau)],
    //   G1(u', tau) = sum_(b >= 1) C(tau, b) y^b B(u', tau - b),
    // which leaves out (a, b) = (0, 0) and (1, 0) without a subtraction.
    taken_.assign(width * static_cast<std::size_t>(roots_ + 1), 0.0);
    auto g1 = [&](int u, int tau) -> double& {
        return taken_[static_cast<std::size_t>(u) * (roots_ + 1) + tau];
    };
    for (int t = roots_ - 1; t >= 0; --t) {
        for (int u = 0; u <= j1_; ++u) {
            for (int tau = 0; tau <= t && u + tau <= j1_; ++tau) {
                double sum = 0;
                double cb = 1;
                double largest = 0;
                for (int b = 1; b <= tau; ++b) {
                    cb *= (tau - b + 1) * y_ / b;
                    largest = std::max(largest, cb);
                    if (cb < transition_cut * largest && b > tau * y_) {
                        break;
                    }
                    sum += cb * root_value(t + 1, u, tau - b);
                }
                g1(u, tau) = sum;
            }
        }
        double largest = 0;
        for (int u = 0; u <= j1_; ++u) {
            for (int tau = 0; tau <= t && u + tau <= j1_; ++tau) {
                const double o = others(u, tau);
                const double o1 = others_minus_one(u, tau);
                double taken = g1(u, tau);
                double ca = 1;
                double largest_a = 1;
                for (int a = 1; a <= u; ++a) {
                    ca *= (u - a + 1) * y_ / a;
                    largest_a = std::max(largest_a, ca);
                    if (ca < transition_cut * largest_a && a > u * y_) {
                        break;
                    }
                    taken += ca * g1(u - a, tau);
                    if (a >= 2) {
                        taken += ca * root_value(t + 1, u - a, tau);
                    }
                }
                double sum = o * taken + o1 * root_value(t + 1, u, tau);
                if (u >= 1) {
                    sum += u * y_ *
                           (root_value(t + 1, u - 1, tau + 1) + o1 * root_value(t + 1, u - 1, tau));
                }
                root_value(t, u, tau) = sum;
                largest = std::max(largest, sum);
            }
        }
        if (largest > 0) {
            for (int u = 0; u <= j1_; ++u) {
                for (int tau = 0; tau <= t && u + tau <= j1_; ++tau) {
                    root_value(t, u, tau) /= largest;
                }
            }
        }
    }
    for (int u = 0; u <= j1_; ++u) {
        top_value(non_roots_, u) = root_value(0, u, 0);
    }
    for (int t = non_roots_ - 1; t >= 0; --t) {
        double largest = 0;
        for (int u = 0; u <= j1_; ++u) {
            double sum = 0;
            for_each_move(
                false, u, 0, y_, others(u, 0), others_minus_one(u, 0),
                [&](Move, int a, int, double weight) { sum += weight * top_value(t + 1, u - a); });
            top_value(t, u) = sum;
            largest = std::max(largest, sum);
        }
        if (largest > 0) {
            for (int u = 0; u <= j1_; ++u) {
                top_value(t, u) /= largest;
            }
        }
    }
}

int RowDrawer::take(Xoshiro256StarStar& rng, std::vector<int>& list) {
    const std::size_t i = rng() % list.size();
    const int piece = list[i];
    list[i] = list.back();
    list.pop_back();
    return piece;
}

void RowDrawer::finish(LevelRows& rows) {
    // Rows by piece from the incidences (counting sort).
    const std::size_t pieces = rows.size.size();
    rows.row_start.assign(pieces + 1, 0);
    for (const auto& [piece, v] : rows.incidences) {
        ++rows.row_start[static_cast<std::size_t>(piece) + 1];
    }
    for (std::size_t p = 0; p < pieces; ++p) {
        rows.row_start[p + 1] += rows.row_start[p];
    }
    rows.row.resize(rows.incidences.size());
    row_sizes_.assign(pieces, 0);
    for (const auto& [piece, v] : rows.incidences) {
        const auto p = static_cast<std::size_t>(piece);
        rows.row[static_cast<std::size_t>(rows.row_start[p] + row_sizes_[p]++)] = v;
    }
    rows.row_entries = 0;
    for (std::size_t p = 0; p < pieces; ++p) {
        rows.row_entries += static_cast<std::int64_t>(rows.size[p]) * row_sizes_[p];
    }
}

void RowDrawer::draw(Xoshiro256StarStar& rng, const RowRequest& request, LevelRows& rows) {
    start(request, rows);
    fill_table(request);
    untouched_.clear();
    tentative_.clear();
    free_.clear();
    for (int p = 0; p < j1_; ++p) {
        untouched_.push_back(p);
    }
    int u = j1_;
    int tau = 0;
    const int steps = non_roots_ + roots_;
    for (int step = 0; step < steps; ++step) {
        const bool root = step >= non_roots_;
        const int v = top_order_[static_cast<std::size_t>(step)];
        auto next_value = [&](int next_u, int next_tau) {
            return root ? root_value(step - non_roots_ + 1, next_u, next_tau)
                        : top_value(step + 1, next_u);
        };
        double total = 0;
        const double o = others(u, tau);
        const double o1 = others_minus_one(u, tau);
        for_each_move(root, u, tau, y_, o, o1, [&](Move move, int a, int b, double weight) {
            total += weight * next_value(u - a, move == ALONE_TO_TENTATIVE ? tau + 1 : tau - b);
        });
        double target = unit(rng) * total;
        Move chosen = OTHERS_ONLY;
        int take_a = 0;
        int take_b = 0;
        bool found = false;
        for_each_move(root, u, tau, y_, o, o1, [&](Move move, int a, int b, double weight) {
            if (found) {
                return;
            }
            const double w =
                weight * next_value(u - a, move == ALONE_TO_TENTATIVE ? tau + 1 : tau - b);
            chosen = move;
            take_a = a;
            take_b = b;
            if (target < w) {
                found = true;
            }
            target -= w;
        });
        // The column of v. The free pieces are those before this column's
        // own new ones.
        switch (chosen) {
            case OTHERS_ONLY:
                subsets_.pieces(rng, free_, big_, piece_size_, v, true, out_->incidences);
                break;
            case ALONE_TO_TENTATIVE: {
                const int piece = take(rng, untouched_);
                tentative_.push_back(piece);
                out_->incidences.emplace_back(piece, v);
                --u;
                ++tau;
                break;
            }
            case ONE_AND_OTHERS: {
                subsets_.pieces(rng, free_, big_, piece_size_, v, true, out_->incidences);
                const int piece = take(rng, untouched_);
                out_->incidences.emplace_back(piece, v);
                free_.push_back(piece);
                --u;
                break;
            }
            case TAKE: {
                subsets_.pieces(rng, free_, big_, piece_size_, v, false, out_->incidences);
                for (int i = 0; i < take_a; ++i) {
                    const int piece = take(rng, untouched_);
                    out_->incidences.emplace_back(piece, v);
                    free_.push_back(piece);
                }
                for (int i = 0; i < take_b; ++i) {
                    const int piece = take(rng, tentative_);
                    out_->incidences.emplace_back(piece, v);
                    free_.push_back(piece);
                }
                u -= take_a;
                tau -= take_b;
                break;
            }
        }
    }
    // Under T': z of the untouched pieces in proportion to
    // C(u, z) beta^z (1 - beta)^(u - z) g_c(z) keep empty rows.
    const int lower = request.lower;
    const long double beta = std::exp(-static_cast<long double>(lower) * log_q1_);
    double total = 0;
    column_sizes_.assign(static_cast<std::size_t>(u) + 1, 0);
    std::vector<double>& weights = end_;
    weights.assign(static_cast<std::size_t>(u) + 1, 0.0);
    for (int z = 0; z <= u; ++z) {
        const long double binomial =
            std::exp(std::lgamma(u + 1.0L) - std::lgamma(z + 1.0L) - std::lgamma(u - z + 1.0L));
        const long double w = binomial * std::pow(beta, z) * std::pow(1 - beta, u - z) *
                              tilt_weight(request.tilt, request.tilt_size, z);
        weights[static_cast<std::size_t>(z)] = static_cast<double>(w);
        total += static_cast<double>(w);
    }
    double target = unit(rng) * total;
    int z = u;
    for (int i = 0; i <= u; ++i) {
        if (target < weights[static_cast<std::size_t>(i)]) {
            z = i;
            break;
        }
        target -= weights[static_cast<std::size_t>(i)];
    }
    for (int i = 0; i < z; ++i) {
        take(rng, untouched_);  // a root of this level: its row stays empty
    }
    for (const int piece : untouched_) {
        subsets_.lower_row(rng, piece, piece_size_[static_cast<std::size_t>(piece)], lower, true,
                           out_->incidences);
    }
    for (const int piece : tentative_) {
        subsets_.lower_row(rng, piece, piece_size_[static_cast<std::size_t>(piece)], lower, true,
                           out_->incidences);
    }
    for (const int piece : free_) {
        subsets_.lower_row(rng, piece, piece_size_[static_cast<std::size_t>(piece)], lower, false,
                           out_->incidences);
    }
    for (const int piece : big_) {
        subsets_.lower_row(rng, piece, piece_size_[static_cast<std::size_t>(piece)], lower, false,
                           out_->incidences);
    }
    finish(rows);
}

void RowDrawer::draw_by_rejection(Xoshiro256StarStar& rng, const RowRequest& request,
                                  LevelRows& rows) {
    start(request, rows);
    for (;;) {
        rows.incidences.clear();
        free_.clear();
        for (int p = 0; p < j1_; ++p) {
            free_.push_back(p);
        }
        column_sizes_.assign(static_cast<std::size_t>(request.lower + request.top_count), 0);
        column_piece_.assign(column_sizes_.size(), -1);
        for (const int v : top_order_) {
            const std::size_t before = rows.incidences.size();
            subsets_.pieces(rng, free_, big_, piece_size_, v, true, out_->incidences);
            column_sizes_[static_cast<std::size_t>(v)] =
                static_cast<int>(rows.incidences.size() - before);
            column_piece_[static_cast<std::size_t>(v)] = rows.incidences[before].first;
        }
        for (int p = 0; p < static_cast<int>(piece_size_.size()); ++p) {
            subsets_.lower_row(rng, p, piece_size_[static_cast<std::size_t>(p)], request.lower,
                               false, out_->incidences);
        }
        row_sizes_.assign(piece_size_.size(), 0);
        for (const auto& [piece, v] : rows.incidences) {
            ++row_sizes_[static_cast<std::size_t>(piece)];
        }
        bool split = false;
        for (int v = request.lower; v < request.lower + request.top_count; ++v) {
            const int piece = column_piece_[static_cast<std::size_t>(v)];
            if (request.is_root[v] != 0 && column_sizes_[static_cast<std::size_t>(v)] == 1 &&
                piece < j1_ && row_sizes_[static_cast<std::size_t>(piece)] == 1) {
                split = true;
            }
        }
        if (split) {
            continue;
        }
        int z = 0;
        for (int p = 0; p < j1_; ++p) {
            z += row_sizes_[static_cast<std::size_t>(p)] == 0 ? 1 : 0;
        }
        if (unit(rng) < static_cast<double>(tilt_weight(request.tilt, request.tilt_size, z))) {
            break;
        }
    }
    finish(rows);
}

}  // namespace pellimor
