#pragma once

// Exact integers of any size as Python ints, built from their bytes: a
// decimal string would meet Python's limit on the digits int() converts
// (4300 by default), which the counts pass at n = 80.

#include <gmpxx.h>
#include <pybind11/pybind11.h>

namespace pellimor::python {

// value >= 0 as a Python int.
pybind11::int_ to_python_int(const mpz_class& value);

}  // namespace pellimor::python
