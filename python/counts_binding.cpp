#include "python/counts_binding.hpp"

#include <pybind11/stl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "counts/count_table.hpp"
#include "counts/edge_counts.hpp"
#include "counts/exact_counts.hpp"
#include "driver/memory_budget.hpp"
#include "python/arguments.hpp"
#include "python/python_int.hpp"

namespace py = pybind11;

namespace pellimor::python {

namespace {

// An exact count as an int; beyond the exact range its 12 significant digits
// as a decimal.Decimal, which keeps them where a float would overflow.
py::object count_of(const std::string& text, bool exact, const py::object& decimal) {
    if (exact) {
        return to_python_int(mpz_class(text));
    }
    return decimal(text);
}

// What the counts up to n take while they are made, a quarter above what
// was measured (the growth of the resident memory): for the rows, the exact
// integers up to m = min(n, 256), about 2 m^3 bytes (33 MB at m = 256), and
// 0.7 kB a row beyond; for the counts by edges, about 1.9 n^4 bytes (23 MB
// at n = 60, 73 MB at n = 80).
double counts_bytes(int n, bool by_edges) {
    const double x = n;
    const double m = std::min(n, exact_count_limit);
    return by_edges ? 2.5 * x * x * x * x : 2.5 * m * m * m + 1024.0 * x;
}

// GMP cannot hand a failed allocation back (the command line ends the
// process when one fails), so counts that do not fit raise MemoryError
// before they are made. The rows take a second thread, with its stack and
// heap arena.
void check_counts_memory(int n, bool by_edges) {
    for (const MemoryLimit& limit : memory_limits()) {
        const double bytes = counts_bytes(n, by_edges) + (by_edges ? 0 : limit.per_thread);
        if (const auto shortage = bytes_shortage(bytes, {limit})) {
            const std::string message =
                "not enough memory for the counts" + std::string(by_edges ? " by edges" : "") +
                " up to n = " + std::to_string(n) + ": " + *shortage + "; choose a smaller n";
            PyErr_SetString(PyExc_MemoryError, message.c_str());
            throw py::error_already_set();
        }
    }
}

py::list count_rows_of(int n_vars) {
    std::vector<CountRow> rows;
    {
        const py::gil_scoped_release unlocked;
        rows = count_rows(n_vars);
    }
    const py::object decimal = py::module_::import("decimal").attr("Decimal");
    py::list table;
    for (const CountRow& r : rows) {
        py::dict row;
        row["n"] = r.n;
        row["dags"] = count_of(r.dags, r.exact, decimal);
        row["essential_dags"] = count_of(r.essential_dags, r.exact, decimal);
        row["essential_graphs"] = count_of(r.essential_graphs, r.exact, decimal);
        row["connected_essential_graphs"] =
            count_of(r.connected_essential_graphs, r.exact, decimal);
        row["connected_essential_dags"] = count_of(r.connected_essential_dags, r.exact, decimal);
        row["no_lines"] = r.no_lines.value;
        row["connected"] = r.connected.value;
        row["connected_among_no_lines"] = r.connected_among_no_lines.value;
        row["no_lines_among_connected"] = r.no_lines_among_connected.value;
        row["classes_per_dag"] = r.classes_per_dag.value;
        row["mean_edges"] = r.mean_edges.value;
        row["variance_edges"] = r.variance_edges.value;
        table.append(std::move(row));
    }
    return table;
}

py::list edge_rows_of(int n_vars) {
    EdgeTriangle classes;
    {
        const py::gil_scoped_release unlocked;
        classes = essential_graphs_by_edges(n_vars);
    }
    py::list table;
    for (std::size_t n = 1; n < classes.size(); ++n) {
        for (std::size_t e = 0; e < classes[n].size(); ++e) {
            py::dict row;
            row["n"] = n;
            row["edges"] = e;
            row["classes"] = to_python_int(classes[n][e]);
            table.append(std::move(row));
        }
    }
    return table;
}

}  // namespace

void add_counts(py::module_& module) {
    module.def(
        "counts",
        [](const std::vector<std::string>& args) {
            const Options options = parse_arguments(args);
            if (!options.count) {
                throw UsageError("counts: the arguments must include --count");
            }
            check_counts_memory(options.n_vars, options.edges);
            return options.edges ? edge_rows_of(options.n_vars) : count_rows_of(options.n_vars);
        },
        py::arg("args"),
        "The rows of `pellimor ARGS`, where ARGS is a --count command line, as a list of\n"
        "dicts. Raises ValueError with the command line's message for bad arguments, and\n"
        "MemoryError, before any count is made, when the counts do not fit in memory.");
}

}  // namespace pellimor::python
