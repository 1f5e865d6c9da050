#pragma once

// pellimor._core.UserClass: a user's own graph (a DAG or an essential graph)
// and its Markov equivalence class: the essential graph, the exact class
// size, uniform DAGs drawn from it and all of its DAGs, as the --class mode
// gives them.

#include <pybind11/pybind11.h>

namespace pellimor::python {

void add_user_classes(pybind11::module_& module);

}  // namespace pellimor::python
