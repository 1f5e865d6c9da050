#pragma once

// Every DAG of a Markov equivalence class, each exactly once, with
// polynomial delay. Each chain component's AMOs are listed along its
// clique-picking decomposition (graph/amo_decomposition.hpp): for each
// clique K in turn, each order of K without a forbidden prefix, and for each
// of those every combination of the AMOs of the groups that K leaves, each
// group listed the same way (a clique by its orders, a tree by its roots).
// By the theorem behind the count, these choices name every AMO once. No
// choice is a dead end: at any point of building an order of K at most one
// vertex is forbidden (the last missing one of the forbidden set of that
// length) while at least two are left, so the next DAG is always found in
// time polynomial in the graph. The components combine like the digits of
// a counter.

#include <memory>
#include <span>
#include <vector>

#include "graph/equivalence_class.hpp"

namespace pellimor {

class DagLister {
  public:
    // Lists the DAGs of c, which must outlive the lister.
    explicit DagLister(const EquivalenceClass& c);
    ~DagLister();
    DagLister(DagLister&&) noexcept;
    DagLister& operator=(DagLister&&) = delete;
    DagLister(const DagLister&) = delete;
    DagLister& operator=(const DagLister&) = delete;

    // Moves to the next DAG (the first on the first call); false once every
    // DAG was given.
    bool next();

    // The current DAG, for EquivalenceClass::orient: a position per vertex.
    std::span<const int> position() const { return position_; }

  private:
    struct Cursor;

    const EquivalenceClass* class_;
    std::vector<int> position_;
    std::vector<std::unique_ptr<Cursor>> cursors_;  // one per chain component
    bool started_ = false;
    bool done_ = false;
};

}  // namespace pellimor
