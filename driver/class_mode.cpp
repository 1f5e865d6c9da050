#include "driver/class_mode.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <variant>

#include "driver/class_report.hpp"
#include "driver/graph_stream.hpp"
#include "driver/memory_budget.hpp"
#include "driver/output_target.hpp"
#include "driver/sample_loop.hpp"
#include "driver/stop_signals.hpp"
#include "formats/dag_writer.hpp"
#include "graph/dag_essential_graph.hpp"
#include "graph/dag_lister.hpp"
#include "graph/graph_error.hpp"
#include "sampler/class_sampler.hpp"
#include "sampler/random.hpp"
#include "sampler/sample_scheduler.hpp"

namespace pellimor {

namespace {

// A failure of this run, with its exit status.
struct Failure {
    int status;
    std::string message;
};

void say(const std::string& message) {
    std::fprintf(stderr, "pellimor: %s\n", message.c_str());
}

// The whole input: the file, or standard input for "-".
std::variant<std::string, Failure> read_input(const std::string& path) {
    const int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Failure{2, "cannot read '" + path + "': " + std::strerror(errno)};
    }
    std::string text;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        text.reserve(static_cast<std::size_t>(status.st_size));
    }
    char block[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got > 0) {
            text.append(block, static_cast<std::size_t>(got));
        } else if (got == 0) {
            break;
        } else if (errno != EINTR || stop_signal() != 0) {
            const int error = errno;
            if (fd != STDIN_FILENO) {
                ::close(fd);
            }
            return Failure{stop_signal() != 0 ? 128 + stop_signal() : 2,
                           "cannot read '" + path + "': " + std::strerror(error)};
        }
    }
    if (fd != STDIN_FILENO) {
        ::close(fd);
    }
    return text;
}

// What to do about a graph that does not fit.
constexpr const char* more_memory_advice =
    "run it where more memory is free, or give a smaller graph";

// Nothing when `bytes` fit under every limit, else why not.
std::optional<std::string> memory_short(double bytes) {
    if (auto why = bytes_shortage(bytes, memory_limits())) {
        return "not enough memory for this graph: " + *why + "; " + more_memory_advice;
    }
    return std::nullopt;
}

std::variant<OutputTarget, Failure> open_target(const std::string& path, const char* option) {
    auto target = OutputTarget::open(path);
    if (auto* why = std::get_if<std::string>(&target)) {
        return Failure{1, std::string(option) + ": " + *why};
    }
    return std::move(std::get<OutputTarget>(target));
}

// Writes text to the report's stream; 0 or write_all's error.
int print(int fd, const std::string& text) {
    if (fd == STDOUT_FILENO) {
        std::fflush(stdout);
    }
    return write_all(fd, text);
}

// The DAGs of --draw: draw i (from 0) takes the stream of sample i + 1 of
// the run seed, so that the DAGs depend on the seed alone, not on the
// threads. Drawn in batches, each DAG's text made by a worker and written in
// order.
std::optional<Failure> draw_dags(const EquivalenceClass& members, const DagWriter& writer,
                                 std::int64_t count, std::uint64_t seed, int threads,
                                 std::size_t bytes_per_dag, GraphStream& stream) {
    const auto workers = static_cast<int>(std::clamp<std::int64_t>(threads, 1, count));
    const std::size_t batch = std::max<std::size_t>(
        static_cast<std::size_t>(workers),
        std::min<std::size_t>(1024,
                              (std::size_t{32} << 20) / std::max<std::size_t>(bytes_per_dag, 1)));
    std::vector<ClassSampler> samplers(static_cast<std::size_t>(workers), ClassSampler(members));
    std::vector<std::string> texts(batch);
    for (std::int64_t start = 0; start < count; start += static_cast<std::int64_t>(batch)) {
        const auto size = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(batch), count - start));
        auto work = [&](int w) {
            for (std::size_t j = static_cast<std::size_t>(w); j < size;
                 j += static_cast<std::size_t>(workers)) {
                const auto index = static_cast<std::uint64_t>(start) + j;
                Xoshiro256StarStar rng = sample_stream(seed, index + 1);
                ClassSampler& sampler = samplers[static_cast<std::size_t>(w)];
                sampler.draw(rng);
                texts[j].clear();
                writer.append(texts[j], sampler.position(), index == 0);
            }
        };
        if (workers == 1) {
            work(0);
        } else {
            std::vector<std::thread> pool;
            for (int w = 0; w < workers; ++w) {
                pool.emplace_back(work, w);
            }
            for (std::thread& t : pool) {
                t.join();
            }
        }
        for (std::size_t j = 0; j < size; ++j) {
            if (auto error = stream.add(texts[j])) {
                return Failure{1, "cannot write the DAGs: " + *error};
            }
        }
        if (stop_signal() != 0) {
            break;
        }
    }
    return std::nullopt;
}

std::optional<Failure> list_dags(const EquivalenceClass& members, const DagWriter& writer,
                                 std::int64_t limit, GraphStream& stream) {
    DagLister lister(members);
    for (std::int64_t listed = 0; listed < limit && lister.next(); ++listed) {
        writer.append(stream.buffer(), lister.position(), listed == 0);
        if (auto error = stream.maybe_flush()) {
            return Failure{1, "cannot write the DAGs: " + *error};
        }
        if (stop_signal() != 0) {
            break;
        }
    }
    return std::nullopt;
}

int run(const ClassOptions& options, const Provenance& provenance) {
    // Outputs first, so that one that cannot be written is known at once.
    const bool writes_graphs = options.out || options.draw || options.list;
    std::optional<OutputTarget> graphs_target;
    std::optional<OutputTarget> json_target;
    if (writes_graphs) {
        auto target = open_target(options.out.value_or("-"), "--out");
        if (auto* failure = std::get_if<Failure>(&target)) {
            throw *failure;
        }
        graphs_target = std::move(std::get<OutputTarget>(target));
    }
    if (options.json) {
        auto target = open_target(*options.json, "--json");
        if (auto* failure = std::get_if<Failure>(&target)) {
            throw *failure;
        }
        json_target = std::move(std::get<OutputTarget>(target));
    }
    // The input, when its size is known beforehand checked against memory.
    struct stat file {};
    if (options.input != "-" && ::stat(options.input.c_str(), &file) == 0 &&
        S_ISREG(file.st_mode)) {
        if (auto why = memory_short(
                class_memory_bytes(static_cast<double>(file.st_size), 0, 0, false, 0))) {
            throw Failure{1, *why};
        }
    }
    auto input = read_input(options.input);
    if (auto* failure = std::get_if<Failure>(&input)) {
        throw *failure;
    }
    const std::string& text = std::get<std::string>(input);
    const GraphFormat format =
        options.format ? *options.format
                       : detect_graph_format(options.input == "-" ? "" : options.input, text);
    const NamedGraph graph = read_graph(text, format);
    if (graph.graph.n == 0) {
        throw GraphError("the input holds no vertex");
    }
    if (auto why =
            memory_short(class_memory_bytes(static_cast<double>(text.size()), graph.graph))) {
        throw Failure{1, *why};
    }
    const GraphClass found = class_of(graph);
    const EquivalenceClass members(found.essential.graph);
    const mpz_class& size = members.size();
    if (options.list) {
        if (auto why = list_refusal(size, options.max)) {
            throw Failure{2, *why};
        }
    }
    // What --out writes, made before the report so that a name the format
    // cannot hold is refused first.
    const GraphFormat to = options.to.value_or(format);
    std::optional<DagWriter> writer;
    std::string essential_text;
    if (options.draw || options.list) {
        writer.emplace(found.essential, to);
    } else if (graphs_target) {
        append_graph(essential_text, found.essential, to);
    }
    // The report: on standard output, unless the graphs or the JSON go there.
    const bool stdout_taken =
        (graphs_target && graphs_target->kind() == OutputTarget::Kind::STANDARD_OUTPUT) ||
        (json_target && json_target->kind() == OutputTarget::Kind::STANDARD_OUTPUT);
    const int report_fd = stdout_taken ? STDERR_FILENO : STDOUT_FILENO;
    ClassSummary summary;
    summary.input = options.input;
    summary.format = format;
    summary.kind = found.kind;
    summary.input_arrows = static_cast<std::int64_t>(graph.graph.arrows.size());
    summary.input_lines = static_cast<std::int64_t>(graph.graph.lines.size());
    summary.essential = &found.essential;
    summary.members = &members;
    summary.vees = vees_of(found.essential.graph, max_listed_vees);
    // The work so far looks for no stop: until here a stop signal ends the
    // run at once, with nothing written. From here on outputs finish whole.
    end_at_once_on_stop(false);
    int status = 0;
    if (const int error = print(report_fd, class_report_text(summary)); error != 0) {
        say("cannot write the report: " + write_failure_text(error));
        status = 1;
    }
    if (json_target) {
        const std::string document = class_report_json(summary, provenance).dump(2) + "\n";
        auto error = json_target->write(document);
        if (!error) {
            error = json_target->commit();
        }
        if (error) {
            say("cannot write the JSON document: " + *error);
            status = 1;
        }
    }
    if (!graphs_target) {
        return stop_signal() != 0 ? 128 + stop_signal() : status;
    }
    GraphStream stream(std::move(*graphs_target));
    std::optional<Failure> failure;
    if (options.draw) {
        std::uint64_t seed = options.seed.value_or(0);
        if (!options.seed) {
            seed = fresh_run_seed();
            std::fprintf(stderr, "pellimor: run seed %llu (repeat with --seed %llu)\n",
                         static_cast<unsigned long long>(seed),
                         static_cast<unsigned long long>(seed));
        }
        // The size of one DAG's text, for the batches.
        std::string probe;
        writer->append(probe, std::vector<int>(static_cast<std::size_t>(graph.graph.n), 0), true);
        failure = draw_dags(members, *writer, *options.draw, seed,
                            options.threads.value_or(usable_cpu_count()), probe.size(), stream);
    } else if (options.list) {
        failure = list_dags(members, *writer, options.max.value_or(max_listed_without_max), stream);
    } else {
        stream.buffer() = std::move(essential_text);
    }
    if (failure) {
        say(failure->message);
        return 1;
    }
    if (auto error = stream.finish()) {
        say("cannot write the graphs: " + *error);
        return 1;
    }
    if (stop_signal() != 0) {
        return 128 + stop_signal();
    }
    return status;
}

}  // namespace

double class_memory_bytes(double text_bytes, int n, std::int64_t edges, bool dag,
                          int largest_clique) {
    // The text, and about 120 bytes an edge for the graph, its places and
    // indexes (a name's text and 60 bytes a vertex) before it is parsed; 48
    // bytes a vertex and 120 an edge once the counts are known.
    const double graph = n > 0 ? 48.0 * n + 120.0 * static_cast<double>(edges) : 10.0 * text_bytes;
    const double essential = dag ? essential_graph_of_dag_bytes(n) : 0.0;
    // Factorials up to the largest clique: sum of log2(i!) bits, at most
    // k^2 log2(k) / 2 bits.
    const double k = largest_clique;
    const double factorials = k > 1 ? k * k * std::log2(k) / 16.0 : 0.0;
    return text_bytes + graph + essential + factorials;
}

double class_memory_bytes(double text_bytes, const MixedGraph& graph) {
    // The clique sizes are bounded by the largest line degree + 1.
    std::vector<int> degree(static_cast<std::size_t>(graph.n), 0);
    int largest = 1;
    for (const VertexPair& l : graph.lines) {
        largest = std::max({largest, ++degree[static_cast<std::size_t>(l.from)] + 1,
                            ++degree[static_cast<std::size_t>(l.to)] + 1});
    }
    return class_memory_bytes(text_bytes, graph.n,
                              static_cast<std::int64_t>(graph.arrows.size() + graph.lines.size()),
                              graph.lines.empty(), largest);
}

std::optional<std::string> list_refusal(const mpz_class& size, std::optional<std::int64_t> max) {
    if (max || size <= max_listed_without_max) {
        return std::nullopt;
    }
    return "the class holds " + size.get_str() + " DAGs, more than " +
           std::to_string(max_listed_without_max) +
           ", which --list writes at most without --max; give --max M for the first M, or "
           "--draw K for K uniformly drawn ones";
}

int run_class_mode(const ClassOptions& options, const Provenance& provenance) {
    install_stop_signals();
    end_at_once_on_stop(true);
    try {
        return run(options, provenance);
    } catch (const Failure& failure) {
        say(failure.message);
        return failure.status;
    } catch (const GraphError& error) {
        const std::string source =
            options.input == "-" ? "standard input" : "'" + options.input + "'";
        say(source + ": " + error.what());
        return 2;
    } catch (const std::bad_alloc&) {
        // Beyond the checks: such as the vertices a JSON record's n_vars
        // names, made before the graph can be measured.
        say(std::string("not enough memory for this graph; ") + more_memory_advice);
        return 1;
    } catch (const std::exception& error) {  // a thread the system would not start
        say(std::string("the run failed: ") + error.what());
        return 1;
    }
}

}  // namespace pellimor
