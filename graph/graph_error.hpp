#pragma once

// The one error a user's graph raises: it cannot be read, it is not what it
// claims to be (a DAG with a directed cycle, a graph with lines that is not
// an essential graph), or it cannot be written as asked. The message names
// the fault and the vertices by name, with the input line where there is
// one, and is meant to be shown to the user as it is.

#include <stdexcept>

namespace pellimor {

class GraphError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace pellimor
