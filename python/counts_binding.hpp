#pragma once

// pellimor._core.counts: the rows of `pellimor --count` and of
// `pellimor --count --edges` as Python dicts.

#include <pybind11/pybind11.h>

namespace pellimor::python {

void add_counts(pybind11::module_& module);

}  // namespace pellimor::python
