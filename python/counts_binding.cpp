#include "python/counts_binding.hpp"

#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "counts/count_table.hpp"
#include "counts/edge_counts.hpp"
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
            return options.edges ? edge_rows_of(options.n_vars) : count_rows_of(options.n_vars);
        },
        py::arg("args"),
        "The rows of `pellimor ARGS`, where ARGS is a --count command line, as a list of\n"
        "dicts. Raises ValueError with the command line's message for bad arguments.");
}

}  // namespace pellimor::python
