#include "python/sample_binding.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/memory_budget.hpp"
#include "driver/options_request.hpp"
#include "driver/sample_loop.hpp"
#include "driver/version.hpp"
#include "python/arguments.hpp"
#include "python/interruptible.hpp"
#include "python/python_int.hpp"
#include "run/run.hpp"
#include "sampler/binary_record.hpp"
#include "stats/edge_bound_exact.hpp"
#include "stats/run_ending.hpp"

namespace py = pybind11;

namespace pellimor::python {

namespace {

// "2026-12-09T09:27:59Z", as the command line's JSON gives its start.
std::string utc_now() {
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// Vertex pairs of one kind of graph for every class, end to end, and where
// each class's begin. At n_vars = 20 a run's graphs take 1.5 kB a class, so
// the pairs live in mapped memory that grows by remapping its pages (no
// copy), in huge pages where the system gives them (far fewer page faults),
// and are handed to numpy as they are.
class PairColumn {
  public:
    PairColumn() = default;
    PairColumn(const PairColumn&) = delete;
    PairColumn& operator=(const PairColumn&) = delete;
    ~PairColumn() {
        if (pairs_ != nullptr) {
            ::munmap(pairs_, capacity_ * sizeof(VertexPair));
        }
    }

    void add(std::span<const VertexPair> graph) {
        if (size_ + graph.size() > capacity_) {
            grow(size_ + graph.size());
        }
        std::copy(graph.begin(), graph.end(), pairs_ + size_);
        size_ += graph.size();
        offsets.push_back(static_cast<std::int64_t>(size_));
    }

    // The pairs as an int32 array of shape (k, 2), which takes them over.
    py::array_t<std::int32_t> release() {
        if (pairs_ == nullptr) {
            grow(1);
        }
        struct Mapping {
            void* start;
            std::size_t bytes;
        };
        auto* mapping = new Mapping{pairs_, capacity_ * sizeof(VertexPair)};
        const py::capsule owner(mapping, [](void* p) {
            auto* m = static_cast<Mapping*>(p);
            ::munmap(m->start, m->bytes);
            delete m;
        });
        auto* const data = reinterpret_cast<std::int32_t*>(pairs_);
        const auto rows = static_cast<py::ssize_t>(size_);
        pairs_ = nullptr;
        size_ = capacity_ = 0;
        return py::array_t<std::int32_t>({rows, py::ssize_t{2}}, data, owner);
    }

    std::vector<std::int64_t> offsets{0};

  private:
    static constexpr std::size_t step = std::size_t{2} << 20;  // bytes: a huge page

    void grow(std::size_t pairs) {
        std::size_t bytes =
            std::max(pairs * sizeof(VertexPair), 2 * capacity_ * sizeof(VertexPair));
        bytes = (bytes + step - 1) / step * step;
        void* grown =
            pairs_ == nullptr
                ? ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                : ::mremap(pairs_, capacity_ * sizeof(VertexPair), bytes, MREMAP_MAYMOVE);
        if (grown == MAP_FAILED) {
            throw std::bad_alloc();
        }
        ::madvise(grown, bytes, MADV_HUGEPAGE);  // a hint: fine to fail
        pairs_ = static_cast<VertexPair*>(grown);
        capacity_ = bytes / sizeof(VertexPair);
    }

    VertexPair* pairs_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// What the run hands over, gathered on the calling thread without the GIL.
struct Gathered {
    std::vector<std::uint8_t> connected;
    std::vector<std::int64_t> edges, lines, arrows, vees;
    std::vector<std::int32_t> chain_components, largest_chain_component;
    std::vector<double> size, log10_size;
    std::vector<std::pair<std::int64_t, std::string>> exact_sizes;  // past 2^53
    PairColumn arrow_pairs, line_pairs, dag_pairs;
    bool has_dag = false;

    void add(const SampleResult& r, std::string_view record) {
        const ClassStatistics& c = r.classes;
        const auto index = static_cast<std::int64_t>(connected.size());
        connected.push_back(static_cast<std::uint8_t>(r.connected != 0));
        edges.push_back(c.edges);
        lines.push_back(c.lines);
        arrows.push_back(c.arrows);
        vees.push_back(c.vees);
        chain_components.push_back(c.chain_components);
        largest_chain_component.push_back(c.largest_chain_component);
        size.push_back(c.size);
        log10_size.push_back(c.log10_size);
        if (record.empty()) {
            return;
        }
        const BinaryRecordView view = read_binary_record(record);
        if (!view.size_digits.empty()) {
            exact_sizes.emplace_back(index, std::string(view.size_digits));
        }
        arrow_pairs.add(view.arrows);
        line_pairs.add(view.lines);
        if (view.has_dag) {
            has_dag = true;
            dag_pairs.add(view.dag);
        }
    }
};

template <class T>
py::array_t<T> column(const std::vector<T>& values) {
    py::array_t<T> out(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

// The run `args` (a sampling command line) describes, with graphs or not.
py::dict sample(const std::vector<std::string>& args, bool graphs, bool force) {
    const Options options = parse_arguments(args);
    if (options.count || options.help || options.version) {
        throw UsageError("sample: the arguments must describe a sampling run");
    }
    RunRequest request = request_of(options);
    request.seed = options.seed ? *options.seed : fresh_run_seed();
    request.summary = true;
    request.count_vees = true;
    request.records.reset();
    if (graphs) {
        request.records = RecordLayout{RecordFormat::BINARY, request.method == METHOD_EXACT
                                                                 ? RecordGraphs::ESSENTIAL_AND_DAG
                                                                 : RecordGraphs::ESSENTIAL};
    } else {
        // Without graphs, a binary record only where a class size needs its
        // exact digits.
        request.records = RecordLayout{RecordFormat::BINARY, RecordGraphs::NONE};
    }
    if (const auto shortage = memory_shortage(request, memory_limits())) {
        PyErr_SetString(PyExc_MemoryError, shortage->c_str());
        throw py::error_already_set();
    }
    std::vector<std::string> shown(args);
    if (!options.seed) {
        // The command line that repeats the run.
        shown.insert(shown.begin(), {"--seed", std::to_string(request.seed)});
    }
    const Provenance provenance{std::string(version()), command_line_of(shown), utc_now()};

    std::optional<RunPlan> plan;
    {
        const py::gil_scoped_release unlocked;
        plan.emplace(plan_run(request));
    }
    if (const auto& cost = plan->cost();
        cost && cost->expected_seconds > longest_planned_seconds && !force) {
        throw UsageError("exact draws of classes on " + std::to_string(request.n_vars) +
                         " vertices with " + describe_edge_bound(request.edge_bound) + ": " +
                         describe_plan(*cost, request.n_samples, request.threads) +
                         (cost->layered
                              ? ". That is more than an hour. Ask for fewer samples, use the "
                                "walk, or force=True."
                              : ". That is more than an hour: sparse classes hold so many DAGs "
                                "that few draws are kept. Use the walk, fewer samples, or "
                                "force=True."));
    }

    Gathered gathered;
    SignalWatch signals;
    RunHooks hooks;
    bool interrupted = false;
    auto last_check = std::chrono::steady_clock::now();
    hooks.stop = [&] {
        // Python's signal handlers every 50 ms: each check takes the GIL.
        const auto now = std::chrono::steady_clock::now();
        if (!interrupted && now - last_check >= std::chrono::milliseconds(50)) {
            last_check = now;
            interrupted = signals.raised();
        }
        return interrupted;
    };
    hooks.sample = [&](const SampleResult& result, std::string_view record) {
        gathered.add(result, record);
    };
    std::optional<RunOutcome> outcome;
    {
        const py::gil_scoped_release unlocked;
        outcome.emplace(run(*plan, hooks));
    }
    signals.throw_if_raised();
    if (outcome->out_of_memory) {
        // After the check above passed: the samples finished are dropped
        // with the run, as after Ctrl-C.
        const std::string message =
            not_enough_memory(request.n_vars, memory_needed(request).per_worker) +
            "; memory ran out after " + std::to_string(outcome->statistics.samples) +
            " samples of " + std::to_string(request.n_samples);
        PyErr_SetString(PyExc_MemoryError, message.c_str());
        throw py::error_already_set();
    }
    const RunEnding ending = end_run(report_of(*plan, *outcome, provenance), {true, true});

    py::dict core;
    core["summary"] = py::module_::import("json").attr("loads")(ending.json);
    core["summary_text"] = ending.summary;
    core["warning"] = ending.warning;
    core["seed"] = request.seed;
    core["n_vars"] = request.n_vars;
    core["complete"] = outcome->complete;
    core["command_line"] = provenance.command_line;
    py::dict columns;
    const auto count = static_cast<std::int64_t>(gathered.connected.size());
    std::vector<std::int64_t> numbers(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        numbers[static_cast<std::size_t>(i)] = i + 1;
    }
    columns["sample"] = column(numbers);
    columns["connected"] = column(gathered.connected).attr("astype")("bool");
    columns["edge_count"] = column(gathered.edges);
    columns["line_count"] = column(gathered.lines);
    columns["arrow_count"] = column(gathered.arrows);
    columns["vee_count"] = column(gathered.vees);
    columns["chain_components"] = column(gathered.chain_components);
    columns["largest_chain_component"] = column(gathered.largest_chain_component);
    columns["class_size"] = column(gathered.size);
    columns["log10_class_size"] = column(gathered.log10_size);
    core["columns"] = columns;
    py::dict exact_sizes;
    for (const auto& [index, digits] : gathered.exact_sizes) {
        exact_sizes[py::int_(index)] = to_python_int(mpz_class(digits));
    }
    core["exact_sizes"] = exact_sizes;
    if (graphs) {
        py::dict g;
        g["arrows"] = gathered.arrow_pairs.release();
        g["arrows_offsets"] = column(gathered.arrow_pairs.offsets);
        g["lines"] = gathered.line_pairs.release();
        g["lines_offsets"] = column(gathered.line_pairs.offsets);
        if (gathered.has_dag) {
            g["dag"] = gathered.dag_pairs.release();
            g["dag_offsets"] = column(gathered.dag_pairs.offsets);
        } else {
            g["dag"] = py::none();
        }
        core["graphs"] = g;
    } else {
        core["graphs"] = py::none();
    }
    return core;
}

}  // namespace

void add_sample(py::module_& module) {
    module.def("sample", &sample, py::arg("args"), py::arg("graphs"), py::arg("force"),
               "The run of `pellimor ARGS` (a sampling command line) as a dict: the JSON summary, "
               "the seed, whether it completed, the classes' statistics as numpy columns and, "
               "with graphs, their arrows, lines and DAGs as pairs with offsets. Raises "
               "ValueError with the command line's message for bad arguments, MemoryError when "
               "the run does not fit or memory runs out during it, KeyboardInterrupt on Ctrl-C.");
}

}  // namespace pellimor::python
