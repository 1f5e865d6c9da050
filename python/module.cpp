// pellimor._core: the extension under the Python package pellimor. Errors in
// what the caller asked for (UsageError) reach Python as ValueError with the
// command line's message, and so do a user's graphs that are refused
// (GraphError).

#include <pybind11/pybind11.h>

#include <exception>

#include "driver/command_line.hpp"
#include "graph/graph_error.hpp"
#include "python/class_binding.hpp"
#include "python/counts_binding.hpp"
#include "python/sample_binding.hpp"

PYBIND11_MODULE(_core, module) {
    module.doc() = "The compiled core of pellimor; use the functions of the package pellimor.";
    pybind11::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) {
                std::rethrow_exception(error);
            }
        } catch (const pellimor::UsageError& usage) {
            PyErr_SetString(PyExc_ValueError, usage.what());
        } catch (const pellimor::GraphError& graph) {
            PyErr_SetString(PyExc_ValueError, graph.what());
        }
    });
    pellimor::python::add_counts(module);
    pellimor::python::add_user_classes(module);
    pellimor::python::add_sample(module);
}
