#pragma once

// The DAGs of one class written fast, for listing and drawing millions: the
// text of the essential graph's arrows is made once, and of each line both
// ways, so that a DAG is a copy of the fixed text and one of two pieces per
// line. Written as append_graph would write the DAG (formats/graph_format.hpp).

#include <span>
#include <string>
#include <vector>

#include "formats/graph_format.hpp"
#include "graph/named_graph.hpp"

namespace pellimor {

class DagWriter {
  public:
    // For the DAGs of the class of `essential`, in `format`. Throws
    // GraphError when a name cannot be written in the format.
    DagWriter(const NamedGraph& essential, GraphFormat format);

    // Appends the DAG whose line u -- v is u -> v exactly when position[u] <
    // position[v] (EquivalenceClass::orient), preceded by the separator
    // when it is not the first graph written.
    void append(std::string& out, std::span<const int> position, bool first) const;

  private:
    const NamedGraph* essential_;
    GraphFormat format_;
    std::string head_;  // up to and with the fixed arrows
    std::string tail_;
    std::string pieces_;            // per line: forward text, then backward text
    std::vector<std::size_t> cut_;  // per line: where its forward, its backward and the next start
    bool comma_before_lines_ = false;  // json: a fixed arrow comes before the lines
    std::size_t length_ = 0;           // of one DAG's text (edges, json)
};

}  // namespace pellimor
