// pellimor._core: the extension under the Python package pellimor. Errors in
// what the caller asked for (UsageError) reach Python as ValueError with the
// command line's message.

#include <pybind11/pybind11.h>

#include <exception>

#include "driver/command_line.hpp"
#include "python/counts_binding.hpp"

PYBIND11_MODULE(_core, module) {
    module.doc() = "The compiled core of pellimor; use the functions of the package pellimor.";
    pybind11::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) {
                std::rethrow_exception(error);
            }
        } catch (const pellimor::UsageError& usage) {
            PyErr_SetString(PyExc_ValueError, usage.what());
        }
    });
    pellimor::python::add_counts(module);
}
