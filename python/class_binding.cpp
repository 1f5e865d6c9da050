#include "python/class_binding.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/class_command_line.hpp"
#include "driver/class_mode.hpp"
#include "driver/memory_budget.hpp"
#include "driver/sample_loop.hpp"
#include "formats/adjacency_matrix.hpp"
#include "graph/dag_lister.hpp"
#include "graph/equivalence_class.hpp"
#include "graph/graph_class.hpp"
#include "graph/graph_error.hpp"
#include "python/interruptible.hpp"
#include "python/python_int.hpp"
#include "sampler/class_sampler.hpp"
#include "sampler/random.hpp"
#include "sampler/sample_scheduler.hpp"

namespace py = pybind11;

namespace pellimor::python {

namespace {

using Pairs = py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>;

MatrixConvention convention_named(std::string_view name) {
    if (name == "amat") {
        return MatrixConvention::AMAT;
    }
    if (name == "amat-pcalg") {
        return MatrixConvention::AMAT_PCALG;
    }
    if (name == "amat-signed") {
        return MatrixConvention::AMAT_SIGNED;
    }
    throw UsageError("convention must be 'amat', 'amat-pcalg' or 'amat-signed', got '" +
                     std::string(name) + "'");
}

std::vector<VertexPair> pairs_of(const Pairs& array, int n, const char* what) {
    if (array.ndim() != 2 || array.shape(1) != 2) {
        throw UsageError(std::string(what) + " must have shape (k, 2)");
    }
    std::vector<VertexPair> pairs(static_cast<std::size_t>(array.shape(0)));
    const auto view = array.unchecked<2>();
    for (py::ssize_t i = 0; i < array.shape(0); ++i) {
        const int from = view(i, 0);
        const int to = view(i, 1);
        if (from < 0 || from >= n || to < 0 || to >= n) {
            throw UsageError(std::string(what) + ": vertex " +
                             std::to_string(from < 0 || from >= n ? from : to) +
                             " is not one of 0 .. " + std::to_string(n - 1));
        }
        pairs[static_cast<std::size_t>(i)] = {from, to};
    }
    return pairs;
}

// Raises MemoryError, saying what does not fit, when `bytes` are more than
// the process can still have: the results are held in memory, where Linux
// would grant more than it has and the kernel end the interpreter later.
void check_memory(double bytes, const std::string& what, const std::string& advice) {
    if (auto why = bytes_shortage(bytes, memory_limits())) {
        const std::string message = "not enough memory for " + what + ": " + *why + "; " + advice;
        PyErr_SetString(PyExc_MemoryError, message.c_str());
        throw py::error_already_set();
    }
}

// Bytes for `count` DAGs of `edges` arrows each, as index pairs, and
// `extra` each for what the caller makes of them.
double dag_bytes(double count, std::size_t edges, double extra) {
    return count * (static_cast<double>(edges) * sizeof(VertexPair) + extra);
}

Pairs array_of(const std::vector<VertexPair>& pairs) {
    Pairs out({static_cast<py::ssize_t>(pairs.size()), py::ssize_t{2}});
    auto view = out.mutable_unchecked<2>();
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        view(static_cast<py::ssize_t>(i), 0) = pairs[i].from;
        view(static_cast<py::ssize_t>(i), 1) = pairs[i].to;
    }
    return out;
}

// A user's graph and its class.
class UserClass {
  public:
    explicit UserClass(const NamedGraph& input) {
        check_memory(class_memory_bytes(0, input.graph), "this graph", "it is too large");
        const py::gil_scoped_release unlocked;
        found_ = class_of(input);
        members_.emplace(found_.essential.graph);
    }

    // From vertex names and index pairs.
    static UserClass of_edges(std::vector<std::string> names, const Pairs& arrows,
                              const Pairs& lines) {
        NamedGraph g;
        g.graph.n = static_cast<int>(names.size());
        g.graph.arrows = pairs_of(arrows, g.graph.n, "arrows");
        g.graph.lines = pairs_of(lines, g.graph.n, "lines");
        g.names = std::move(names);
        return UserClass(g);
    }

    // From an n x n matrix in a named convention.
    static UserClass of_matrix(
        std::vector<std::string> names,
        const py::array_t<int, py::array::c_style | py::array::forcecast>& cells,
        const std::string& convention) {
        const std::span<const int> data(cells.data(), static_cast<std::size_t>(cells.size()));
        return UserClass(graph_from_matrix(std::move(names), data, convention_named(convention)));
    }

    bool input_is_dag() const { return found_.kind == InputKind::DAG; }
    int size() const { return found_.essential.graph.n; }
    Pairs arrows() const { return array_of(found_.essential.graph.arrows); }
    Pairs lines() const { return array_of(found_.essential.graph.lines); }
    py::int_ class_size() const { return to_python_int(members_->size()); }
    double log10_class_size() const { return members_->log10_size(); }

    // The essential graph, or each DAG of `dags` (shape (k, m, 2), m the
    // edges of the class), as n x n matrices in `convention`.
    py::array_t<std::int8_t> matrices(const std::string& convention,
                                      std::optional<Pairs> dags) const {
        const MatrixConvention c = convention_named(convention);
        const int n = size();
        const auto cells = static_cast<py::ssize_t>(n) * n;
        if (!dags) {
            py::array_t<std::int8_t> out(
                {static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(n)});
            const std::vector<int> m = matrix_of_graph(found_.essential.graph, c);
            std::copy(m.begin(), m.end(), out.mutable_data());
            return out;
        }
        const py::ssize_t count = dags->shape(0);
        py::array_t<std::int8_t> out(
            {count, static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(n)});
        MixedGraph dag{n, {}, {}};
        for (py::ssize_t k = 0; k < count; ++k) {
            dag.arrows.assign(reinterpret_cast<const VertexPair*>(dags->data(k)),
                              reinterpret_cast<const VertexPair*>(dags->data(k)) + dags->shape(1));
            const std::vector<int> m = matrix_of_graph(dag, c);
            std::copy(m.begin(), m.end(), out.mutable_data() + k * cells);
        }
        return out;
    }

    // `pellimor --class - ARGS` with --draw K [--seed S] [--threads N]: the
    // seed and the K DAGs, shape (K, m, 2), draw i from the stream of sample
    // i + 1 of the seed, as the command line draws them.
    // `bytes_per_dag`: what the caller makes of each DAG besides, for the
    // memory check.
    py::tuple draw(const std::vector<std::string>& args, double bytes_per_dag) const {
        const ClassOptions options = parse(args);
        const std::int64_t count = options.draw.value_or(0);
        const std::uint64_t seed = options.seed ? *options.seed : fresh_run_seed();
        const int threads = static_cast<int>(std::clamp<std::int64_t>(
            options.threads.value_or(usable_cpu_count()), 1, std::max<std::int64_t>(count, 1)));
        const std::size_t edges = edge_count();
        check_memory(dag_bytes(static_cast<double>(count), edges, bytes_per_dag),
                     std::to_string(count) + " DAGs of " + std::to_string(edges) + " arrows",
                     "draw fewer at a time");
        Pairs out(
            {static_cast<py::ssize_t>(count), static_cast<py::ssize_t>(edges), py::ssize_t{2}});
        auto* const data = reinterpret_cast<VertexPair*>(out.mutable_data());
        run_interruptibly(threads, [&](int worker, const std::atomic<bool>& stop) {
            ClassSampler sampler(*members_);
            std::vector<VertexPair> dag;
            for (std::int64_t i = worker; i < count && !stop; i += threads) {
                Xoshiro256StarStar rng = sample_stream(seed, static_cast<std::uint64_t>(i) + 1);
                sampler.draw(rng);
                members_->orient(sampler.position(), dag);
                std::copy(dag.begin(), dag.end(), data + static_cast<std::size_t>(i) * edges);
            }
        });
        return py::make_tuple(seed, out);
    }

    // `pellimor --class - ARGS` with --list [--max M]: the DAGs in the
    // order the command line lists them, shape (count, m, 2).
    Pairs list(const std::vector<std::string>& args, double bytes_per_dag) const {
        const ClassOptions options = parse(args);
        if (auto why = list_refusal(members_->size(), options.max)) {
            throw UsageError(*why);
        }
        const std::int64_t limit = options.max.value_or(max_listed_without_max);
        const std::size_t edges = edge_count();
        // The DAGs listed, once here and once in the array returned.
        const double count = std::min(members_->size().get_d(), static_cast<double>(limit));
        check_memory(dag_bytes(count, edges, sizeof(VertexPair) * edges + bytes_per_dag),
                     "the " + std::to_string(static_cast<std::int64_t>(count)) + " DAGs listed",
                     "list fewer with max_dags");
        std::vector<VertexPair> all;
        all.reserve(static_cast<std::size_t>(count) * edges);
        std::int64_t listed = 0;
        run_interruptibly(1, [&](int, const std::atomic<bool>& stop) {
            DagLister lister(*members_);
            std::vector<VertexPair> dag;
            while (listed < limit && !stop && lister.next()) {
                members_->orient(lister.position(), dag);
                all.insert(all.end(), dag.begin(), dag.end());
                ++listed;
            }
        });
        Pairs out(
            {static_cast<py::ssize_t>(listed), static_cast<py::ssize_t>(edges), py::ssize_t{2}});
        std::copy(all.begin(), all.end(), reinterpret_cast<VertexPair*>(out.mutable_data()));
        return out;
    }

  private:
    static ClassOptions parse(const std::vector<std::string>& args) {
        const std::vector<std::string_view> views(args.begin(), args.end());
        return parse_class_command_line(views);
    }

    std::size_t edge_count() const {
        return found_.essential.graph.arrows.size() + found_.essential.graph.lines.size();
    }

    GraphClass found_;
    std::optional<EquivalenceClass> members_;
};

static_assert(sizeof(VertexPair) == 2 * sizeof(std::int32_t));

}  // namespace

void add_user_classes(py::module_& module) {
    py::class_<UserClass>(module, "UserClass",
                          "A user's graph (a DAG or an essential graph) and its class.")
        .def_static("of_edges", &UserClass::of_edges, py::arg("names"), py::arg("arrows"),
                    py::arg("lines"),
                    "The class of the graph on vertices named `names` with these arrows and "
                    "lines (index pairs). Raises ValueError for a graph that is neither a DAG "
                    "nor an essential graph.")
        .def_static("of_matrix", &UserClass::of_matrix, py::arg("names"), py::arg("cells"),
                    py::arg("convention"),
                    "The class of the graph of an n x n matrix in a convention: 'amat', "
                    "'amat-pcalg' or 'amat-signed'.")
        .def_property_readonly("input_is_dag", &UserClass::input_is_dag,
                               "Whether the graph given was a DAG.")
        .def_property_readonly("n_vars", &UserClass::size, "The number of vertices.")
        .def("arrows", &UserClass::arrows, "The essential graph's arrows, shape (k, 2).")
        .def("lines", &UserClass::lines, "The essential graph's lines, shape (k, 2).")
        .def("class_size", &UserClass::class_size, "The number of DAGs in the class, exactly.")
        .def("log10_class_size", &UserClass::log10_class_size,
             "The base-10 logarithm of the class size.")
        .def("matrices", &UserClass::matrices, py::arg("convention"), py::arg("dags") = py::none(),
             "The essential graph as an n x n matrix, or the DAGs (shape (k, m, 2)) as k of "
             "them, in a convention.")
        .def("draw", &UserClass::draw, py::arg("args"), py::arg("bytes_per_dag") = 0.0,
             "(seed, DAGs) for the arguments of `pellimor --class - --draw K ...`; raises "
             "MemoryError before drawing when the DAGs, with bytes_per_dag more each, would "
             "not fit.")
        .def("list", &UserClass::list, py::arg("args"), py::arg("bytes_per_dag") = 0.0,
             "The DAGs for the arguments of `pellimor --class - --list [--max M]`; raises "
             "MemoryError as draw does.");
}

}  // namespace pellimor::python
