#pragma once

// One proposal of the layered method: an M1 object (counts/layered_table.hpp)
// drawn with probability proportional to y^edges, levels top-down
// (sampler/layered_levels.hpp), rows bottom-up (sampler/layered_rows.hpp),
// and on request its essential graph with the canonicity test
// (sampler/layered_graph.hpp). Keeping the canonical proposals keeps each
// essential graph G with probability y^edges(G) / sum_k T(n, k): the kept
// share is EG_n(y) / sum_k T(n, k).
//
// Vertex numbers. The proposal numbers its vertices level by level from the
// bottom, each level's pieces in a fixed order; the top-down draw chose the
// sizes of the vertex sets with the binomial factors of the table and the
// set partitions with SP, so naming the vertices by a uniform permutation
// afterwards (the samplers do) gives each labelled object its probability:
// every uniform choice of labels in the recurrence is exchangeable, and a
// uniform relabelling of any draw is uniform whatever labels it had.

#include <cstdint>
#include <vector>

#include "counts/layered_table.hpp"
#include "sampler/layered_graph.hpp"
#include "sampler/layered_levels.hpp"
#include "sampler/layered_rows.hpp"
#include "sampler/random.hpp"

namespace pellimor {

class LayeredProposal {
  public:
    // Keeps a reference to table, which must outlive this object.
    explicit LayeredProposal(const LayeredTable& table);

    // Draws a proposal; returns its number of edges (arrows and lines).
    std::int64_t propose(Xoshiro256StarStar& rng);

    // The essential graph of the last proposal, and whether it is
    // canonical (when false, graph() is not usable).
    bool build();
    const LayeredGraph& graph() const { return graph_; }

    int levels() const { return static_cast<int>(levels_.size()); }
    const LevelDrawer& level_drawer() const { return drawer_; }

    // Rows at every level by naive rejection, or at every level by the
    // dynamic programme (for tests); by default each level takes rejection
    // when at least half its draws would pass, else the programme.
    void set_rows_by_rejection(bool on) { rows_by_rejection_ = on; }
    void set_rows_by_programme(bool on) { rows_by_programme_ = on; }

  private:
    LevelDrawer drawer_;
    RowDrawer rows_drawer_;
    LayeredGraph graph_;
    std::vector<LevelDraw> levels_;
    std::vector<long double> tilts_;
    std::vector<LevelRows> rows_;     // by level, top first
    std::vector<std::uint8_t> root_;  // by vertex: a one-vertex piece with an empty row
    bool rows_by_rejection_ = false;
    bool rows_by_programme_ = false;
};

}  // namespace pellimor
