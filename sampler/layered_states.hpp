#pragma once

// What the top-down draw of the layered proposal (sampler/layered_levels.hpp)
// needs at a state (n', k): the shapes of a top level of k vertices over
// m = n' - k >= 1 vertices (those that carry V(m, k) in
// counts/layered_table.hpp) with their untilted weights
//
//   W_(1)(pi) = w(pi) sum_f (-1)^f C(j1, f) f! y^f C(m, f) Phi_(m-f)(Q_f),
//
// cumulated in the order of the shapes; and, for a bottom level (m = 0), the
// shapes of k vertices with log w(pi); and for each shape drawn at a state,
// its W_(1)(pi, k') over the top sizes k' of the level below. Each worker keeps its own copy,
// filled as its draws reach states: a run meets a small part of all the
// states the table allows (at n = 1000 a tenth or less), and a copy shared
// by the workers would need a lock. When it outgrows capacity_bytes it
// starts afresh.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "counts/layered_table.hpp"
#include "sampler/signed_log_sum.hpp"

namespace pellimor {

class LayeredStates {
  public:
    struct Choice {
        std::uint32_t shape;  // index for shape()
        double cumulative;
    };

    static constexpr std::size_t capacity_bytes = std::size_t{64} << 20;

    // Keeps a reference to table, which must outlive this object.
    explicit LayeredStates(const LayeredTable& table);

    const LayeredTable& table() const { return table_; }

    // The shapes of state (vertices, k), 1 <= k < vertices, k kept by the
    // table: their cumulative W_(1), the last one the total; empty when no
    // shape has weight. Valid until the next call.
    std::span<const Choice> choices(int vertices, int k);
    // For choice `choice` (an index into choices(vertices, k)) with shape pi:
    // the cumulative W_(1)(pi, k') over k' = *first_top, *first_top + 1, ...
    // Valid until the next call of choices().
    std::span<const long double> tops(int vertices, int k, std::size_t choice, int* first_top);
    // A note for each (state, shape, k'): the one at tops(...)[i] is
    // note(position_of(tops(...)) + i). Notes start at zero, move with nothing
    // else, and are all zero again after choices() starts the cache afresh.
    // Positions are the same until then, so a caller may key a memo of its
    // own by (note, position); see sampler/layered_levels.cpp.
    std::size_t position_of(std::span<const long double> tops) const {
        return static_cast<std::size_t>(tops.data() - tops_.data());
    }
    std::uint64_t& note(std::size_t position) { return notes_[position]; }
    void clear_notes() { std::fill(notes_.begin(), notes_.end(), 0); }
    // The shapes of a bottom level of k vertices, with log w in their terms.
    // Valid until the next call of either function.
    std::span<const ShapeTerm> bottom(int k);

    const PieceShape& shape(std::uint32_t index) const { return shapes_[index]; }
    // log(Q_g - 1) of shape `index` for g = 0 .. j1, Q_g = Q / (1 + y)^g
    // (-infinity where Q_g = 1); computed on first use. Valid until the next
    // call of choices().
    std::span<const long double> log_q_minus_one(std::uint32_t index);

    // The memory held now, and at most.
    std::size_t bytes() const;
    static std::size_t bytes_at_most(int n);

  private:
    void compute(int vertices, int k);
    void compute_tops(int m, const PieceShape& shape);
    std::size_t state_of(int vertices, int k) const {
        return row_start_[static_cast<std::size_t>(vertices)] +
               static_cast<std::size_t>(k - table_.lowest_top(vertices));
    }
    std::uint32_t intern(const PieceShape& shape);
    void start_afresh();

    const LayeredTable& table_;
    long double log_y_;
    long double log_q1_;
    std::vector<std::size_t> row_start_;  // by vertices: the number of its first state
    std::vector<std::int64_t> slot_;      // by state: its first choice, -1 when not computed
    std::vector<std::uint32_t> length_;   // by state: its choices
    std::vector<Choice> choices_;
    std::vector<std::int64_t> top_slot_;  // by choice: its k' weights in tops_, -1 when not yet
    std::vector<int> top_first_;          // by choice: its first k'
    std::vector<std::uint32_t> top_length_;
    std::vector<long double> tops_;
    std::vector<std::uint64_t> notes_;  // beside tops_
    std::vector<long double> bases_;    // scratch of compute_tops()
    std::vector<PieceShape> shapes_;
    std::vector<std::int64_t> q_slot_;  // by shape: its log(Q_g - 1) in q_logs_, -1 when not yet
    std::vector<long double> q_logs_;
    std::unordered_map<std::uint64_t, std::uint32_t> known_;  // shapes by key
    std::vector<ShapeTerm> terms_;
    std::vector<long double> logs_;
    SignedLogSum sum_;
    int first_top_ = 0;     // of the last compute_tops()
    int bottom_size_ = -1;  // the k whose bottom shapes are in bottom_
    std::vector<ShapeTerm> bottom_;
};

}  // namespace pellimor
