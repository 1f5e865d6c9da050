#pragma once

// pellimor._core.sample: a sampling run, as the command line runs it, whose
// summary and classes are handed to Python: the statistics as numpy
// columns, the graphs as numpy arrays of vertex pairs, made without a Python
// object per class.

#include <pybind11/pybind11.h>

namespace pellimor::python {

void add_sample(pybind11::module_& module);

}  // namespace pellimor::python
