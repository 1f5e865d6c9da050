#include "sampler/layered_proposal.hpp"

#include <algorithm>

namespace pellimor {

LayeredProposal::LayeredProposal(const LayeredTable& table)
    : drawer_(table),
      rows_drawer_(table.y()),
      graph_(table.size()),
      root_(static_cast<std::size_t>(table.size()), 0) {}

std::int64_t LayeredProposal::propose(Xoshiro256StarStar& rng) {
    drawer_.draw(rng, levels_, tilts_);
    const std::size_t count = levels_.size();
    if (rows_.size() < count) {
        rows_.resize(count);
    }
    std::int64_t edges = 0;
    for (std::size_t j = count; j-- > 0;) {
        const LevelDraw& level = levels_[j];
        LevelRows& rows = rows_[j];
        const int first = level.below;
        if (j + 1 == count) {
            // The bottom: every row empty.
            rows.size.clear();
            for (int b = 1; b <= PieceShape::largest_piece; ++b) {
                rows.size.insert(rows.size.end(), level.shape.pieces[static_cast<std::size_t>(b)],
                                 b);
            }
            rows.row_start.assign(rows.size.size() + 1, 0);
            rows.row.clear();
            rows.incidences.clear();
            rows.row_entries = 0;
        } else {
            const LevelDraw& next = levels_[j + 1];
            RowRequest request;
            request.shape = &level.shape;
            request.tilt = tilts_.data() + level.tilt_start;
            request.tilt_size = level.tilt_size;
            request.lower = next.below;
            request.top_count = first - next.below;
            request.is_root = root_.data();
            // Rows by rejection or by the programme, whichever is expected
            // to cost less: a try of rejection takes a step per vertex of
            // T' and per piece, and `pass` of them pass; the programme takes
            // a step per state (u, tau) and move, for each vertex of T'.
            int roots_below = 0;
            for (int p = 0; p < next.shape.singles(); ++p) {
                roots_below += root_[static_cast<std::size_t>(next.below + p)];
            }
            const long double pass =
                std::exp(level.log_row_share) *
                tilt_weight(tilts_.data() + next.tilt_start, next.tilt_size, roots_below);
            const int j1 = level.shape.singles();
            const double moves = 4 + 3 * j1 * rows_drawer_.y();
            const double programme =
                (j1 + 1.0) * moves *
                (request.top_count - roots_below + roots_below * (roots_below + 2.0) / 2);
            const double rejection =
                (request.top_count + level.shape.vertices + 2.0) / static_cast<double>(pass);
            if (rows_by_rejection_ || (!rows_by_programme_ && pass > 0 && rejection <= programme)) {
                rows_drawer_.draw_by_rejection(rng, request, rows);
            } else {
                rows_drawer_.draw(rng, request, rows);
            }
        }
        // One-vertex pieces come first, one vertex each; larger pieces are
        // never roots.
        std::fill(root_.begin() + first, root_.begin() + first + level.shape.vertices, 0);
        for (int p = 0; p < rows.pieces(); ++p) {
            const auto piece = static_cast<std::size_t>(p);
            if (rows.size[piece] == 1) {
                root_[static_cast<std::size_t>(first + p)] =
                    rows.row_start[piece + 1] == rows.row_start[piece] ? 1 : 0;
            }
            edges += static_cast<std::int64_t>(rows.size[piece]) * (rows.size[piece] - 1) / 2;
        }
        edges += rows.row_entries;
    }
    return edges;
}

bool LayeredProposal::build() {
    graph_.clear();
    const std::size_t count = levels_.size();
    for (std::size_t j = count; j-- > 0;) {
        const int below_first = j + 1 == count ? 0 : levels_[j + 1].below;
        const int below_count = j + 1 == count ? 0 : levels_[j].below - below_first;
        if (!graph_.add_level(rows_[j], below_first, below_count)) {
            return false;
        }
    }
    return true;
}

}  // namespace pellimor
