#include "driver/command_line.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace pellimor {

namespace {

constexpr int max_threads = 1024;

// The exact method's tables and bitsets are sized for at most this many
// vertices; beyond it a single draw takes seconds.
constexpr int max_exact_vars = 10000;

std::string quoted(std::string_view text) {
    // Built by appending: GCC 12 at -O3 with the sanitizers warns (wrongly,
    // -Wrestrict) about the inlined operator+ chain.
    std::string result;
    result.reserve(text.size() + 2);
    result += '\'';
    result += text;
    result += '\'';
    return result;
}

// A whole decimal number, nothing before or after it.
template <typename Integer>
std::optional<Integer> parse_whole(std::string_view text) {
    Integer value{};
    const char* const end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || rest != end) {
        return std::nullopt;
    }
    return value;
}

int parse_int_at_least(std::string_view name, std::string_view text, int least) {
    const auto value = parse_whole<int>(text);
    const std::string allowed = "a whole number from " + std::to_string(least) + " to " +
                                std::to_string(std::numeric_limits<int>::max());
    if (!value || *value < least) {
        throw UsageError(std::string(name) + " must be " + allowed + ", got " + quoted(text));
    }
    return *value;
}

// A count of edges on n vertices: a whole number from 0 to n(n-1)/2.
std::int64_t parse_edges(std::string_view name, std::string_view text, int n) {
    const std::int64_t pairs = static_cast<std::int64_t>(n) * (n - 1) / 2;
    const auto value = parse_whole<std::int64_t>(text);
    if (!value || *value < 0 || *value > pairs) {
        throw UsageError(std::string(name) + " must be a whole number from 0 to " +
                         std::to_string(pairs) + " (the pairs of " + std::to_string(n) +
                         " vertices), got " + quoted(text));
    }
    return *value;
}

// round(D n / 2) edges for a mean degree D.
std::int64_t edges_for_mean_degree(std::string_view text, int n) {
    double degree = 0;
    const char* const end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, degree);
    const std::int64_t pairs = static_cast<std::int64_t>(n) * (n - 1) / 2;
    if (text.empty() || error != std::errc() || rest != end || !(degree >= 0) || degree > n - 1.0) {
        throw UsageError("--mean-degree must be a number from 0 to n_vars - 1 = " +
                         std::to_string(n - 1) + ", got " + quoted(text));
    }
    return std::min(pairs, static_cast<std::int64_t>(std::llround(degree * n / 2)));
}

}  // namespace

std::string help_text() {
    return std::string(usage_line) + std::string(exact_usage_line).substr(1) +
           "\n"
           "Estimates, over essential graphs on n_vars vertices, the share without\n"
           "undirected edges, the share with a connected skeleton, and the success\n"
           "rate of each kind of random-walk move. Each of n_samples samples is a\n"
           "random walk of n_its moves from the empty graph. Every 100 samples one\n"
           "report line goes to standard output and is appended to pellimor_<n_vars>.txt.\n"
           "\n"
           "Arguments:\n"
           "  n_vars        vertices per graph, a whole number >= 1\n"
           "  n_its         moves per walk, >= 0\n"
           "  n_samples     samples to draw, >= 0\n"
           "\n"
           "Options:\n"
           "  --seed S      run seed, a whole number from 0 to 2^64-1; the same seed and\n"
           "                arguments give the same report lines but for the hours field\n"
           "                (default: drawn from the clock and the process id)\n"
           "  --threads N   worker threads, 1 to 1024 (default: the CPUs this process may\n"
           "                run on)\n"
           "  --full-check  judge every move with the complete admissibility test instead\n"
           "                of the incremental one (same results, far slower)\n"
           "  --start S     where each walk starts: 'empty' (the empty graph, default) or\n"
           "                'exact' (an essential graph drawn exactly uniformly, so the\n"
           "                walk is stationary from its first move)\n"
           "  --exact       the exact method: `pellimor --exact [--seed S] [--threads N]\n"
           "                n_vars n_samples` draws uniform DAGs and keeps each one's\n"
           "                class with probability 1/(DAGs in the class), which gives\n"
           "                independent, exactly uniform essential graphs (n_vars up to\n"
           "                10000); report lines go to pellimor_exact_<n_vars>.txt\n"
           "  --edges E     with --exact: classes with exactly E edges (lines and arrows),\n"
           "                drawn exactly uniformly among those; n_vars up to 500. The\n"
           "                expected DAG draws per kept class are stated first, and a\n"
           "                run expected to take more than an hour is refused\n"
           "  --mean-degree D  with --exact: --edges round(D * n_vars / 2)\n"
           "  --force       run an --edges draw even when it is expected to take hours\n"
           "  --max-edges E the walk over the classes with at most E edges: a move whose\n"
           "                graph would have more is rejected; with --start exact each\n"
           "                walk starts from an exact draw among those classes\n"
           "  --summary     after the last report line, print the estimates with their\n"
           "                95% intervals, the counts they imply and the mixing check\n"
           "  --json FILE   write the same as one JSON document to FILE\n"
           "  --help, -h    print this text and exit\n"
           "  --            ends the options: every argument after it is positional\n"
           "\n"
           "Each option may be given once.\n"
           "\n"
           "Exit status: 0 success, 1 results not all saved or the run could not\n"
           "run, 2 usage error, 128+N stopped by signal N.\n";
}

std::string shell_quoted(std::span<char*> argv) {
    std::string line;
    for (const char* arg : argv) {
        const std::string_view text(arg);
        if (!line.empty()) {
            line += ' ';
        }
        const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) ||
                   std::string_view("_-./=:,+@%").find(c) != std::string_view::npos;
        });
        if (plain) {
            line += text;
            continue;
        }
        line += '\'';
        for (const char c : text) {
            line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        line += '\'';
    }
    return line;
}

Options parse_command_line(std::span<const std::string_view> args) {
    Options options;
    bool start_given = false;
    std::vector<std::string_view> positional;
    // Edge bounds, read once n_vars is known: (option, value).
    std::vector<std::pair<std::string_view, std::string_view>> bounds;
    std::vector<std::string_view> given;  // the options seen, each at most once
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (options_ended || (!arg.starts_with("--") && arg != "-h")) {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        // Options that take a value accept "--name value" and "--name=value".
        std::string_view name = arg == "-h" ? "--help" : arg;
        std::optional<std::string_view> value;
        if (const auto equals = arg.find('='); equals != std::string_view::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (std::find(given.begin(), given.end(), name) != given.end()) {
            throw UsageError(std::string(name) + " given more than once");
        }
        given.push_back(name);
        auto take_value = [&]() -> std::string_view {
            if (value) {
                return *value;
            }
            // "--json --summary" is two options, not a file named
            // "--summary"; "--json=--summary" names that file.
            if (i + 1 >= args.size() || args[i + 1].starts_with("--")) {
                throw UsageError(std::string(name) + " needs a value");
            }
            return args[++i];
        };
        if (name == "--help" && !value) {
            options.help = true;
        } else if (name == "--full-check" && !value) {
            options.full_check = true;
        } else if (name == "--summary" && !value) {
            options.summary = true;
        } else if (name == "--version" && !value) {
            options.version = true;
        } else if (name == "--strict" && !value) {
            options.strict = true;
        } else if (name == "--no-results" && !value) {
            options.no_results = true;
        } else if (name == "--json" || name == "--results") {
            const std::string_view text = take_value();
            if (text.empty()) {
                throw UsageError(std::string(name) + " needs a file name");
            }
            if (name == "--json") {
                options.json = std::string(text);
            } else if (text == "-") {
                throw UsageError(
                    "--results needs a file: report lines go to standard output anyway "
                    "(--no-results writes no file)");
            } else {
                options.results = std::string(text);
            }
        } else if (name == "--exact" && !value) {
            options.exact = true;
        } else if (name == "--force" && !value) {
            options.force = true;
        } else if (name == "--edges" || name == "--mean-degree" || name == "--max-edges") {
            bounds.emplace_back(name, take_value());
        } else if (name == "--start") {
            const std::string_view text = take_value();
            if (text == "empty") {
                options.start = WalkStart::EMPTY;
            } else if (text == "exact") {
                options.start = WalkStart::EXACT;
            } else {
                throw UsageError("--start must be 'empty' or 'exact', got " + quoted(text));
            }
            start_given = true;
        } else if (name == "--seed") {
            const std::string_view text = take_value();
            const auto seed = parse_whole<std::uint64_t>(text);
            if (!seed) {
                throw UsageError("--seed must be a whole number from 0 to " +
                                 std::to_string(std::numeric_limits<std::uint64_t>::max()) +
                                 ", got " + quoted(text));
            }
            options.seed = *seed;
        } else if (name == "--threads") {
            const std::string_view text = take_value();
            const auto threads = parse_whole<int>(text);
            if (!threads || *threads < 1 || *threads > max_threads) {
                throw UsageError("--threads must be a whole number from 1 to " +
                                 std::to_string(max_threads) + ", got " + quoted(text));
            }
            options.threads = *threads;
        } else {
            throw UsageError("unknown option " + quoted(arg) + " (see --help)");
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (options.results && options.no_results) {
        throw UsageError("--results and --no-results exclude each other");
    }
    if (options.exact) {
        if (options.full_check || start_given) {
            throw UsageError(std::string(options.full_check ? "--full-check" : "--start") +
                             " applies to the walk only, not to --exact");
        }
        if (positional.size() != 2) {
            throw UsageError("expected 2 arguments n_vars n_samples with --exact, got " +
                             std::to_string(positional.size()));
        }
        options.n_vars = parse_int_at_least("n_vars", positional[0], 1);
        if (options.n_vars > max_exact_vars) {
            throw UsageError("n_vars must be a whole number from 1 to " +
                             std::to_string(max_exact_vars) + " with --exact, got " +
                             quoted(positional[0]));
        }
        options.n_samples = parse_int_at_least("n_samples", positional[1], 0);
        for (const auto& [name, text] : bounds) {
            if (name == "--max-edges") {
                throw UsageError("--max-edges applies to the walk; with --exact use --edges");
            }
            if (options.edges) {
                throw UsageError("--edges and --mean-degree exclude each other");
            }
            options.edges = name == "--edges" ? parse_edges(name, text, options.n_vars)
                                              : edges_for_mean_degree(text, options.n_vars);
        }
        if (options.edges && options.n_vars > max_edge_bounded_exact_vars) {
            throw UsageError(
                "the exact method for classes with E edges goes up to n_vars = " +
                std::to_string(max_edge_bounded_exact_vars) + ", got " + quoted(positional[0]) +
                "; beyond, sparse classes hold so many DAGs that almost no draw is kept. Use "
                "the walk: pellimor --max-edges E n_vars n_its n_samples");
        }
        if (options.force && !options.edges) {
            throw UsageError("--force applies to --edges and --mean-degree only");
        }
        return options;
    }
    if (positional.size() != 3) {
        throw UsageError("expected 3 arguments n_vars n_its n_samples, got " +
                         std::to_string(positional.size()));
    }
    options.n_vars = parse_int_at_least("n_vars", positional[0], 1);
    options.n_its = parse_int_at_least("n_its", positional[1], 0);
    options.n_samples = parse_int_at_least("n_samples", positional[2], 0);
    for (const auto& [name, text] : bounds) {
        if (name != "--max-edges") {
            throw UsageError(std::string(name) +
                             " applies to --exact; the walk takes --max-edges E");
        }
        options.max_edges = parse_edges(name, text, options.n_vars);
    }
    if (options.max_edges && options.start == WalkStart::EXACT &&
        options.n_vars > max_edge_bounded_exact_vars) {
        throw UsageError("--start exact with --max-edges goes up to n_vars = " +
                         std::to_string(max_edge_bounded_exact_vars) + ", got " +
                         quoted(positional[0]) + "; use --start empty");
    }
    if (options.force && !(options.max_edges && options.start == WalkStart::EXACT)) {
        throw UsageError(
            "--force applies to --edges, --mean-degree, and --max-edges with "
            "--start exact");
    }
    return options;
}

}  // namespace pellimor
