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

// A number in scientific notation that is exactly a whole number: "1e6",
// "2.5e3", "1E+06". Worked out on its digits, never through a double, so
// that 18446744073709551615 or 1.8446744073709551615e19 stays exact.
template <typename Integer>
std::optional<Integer> parse_scientific(std::string_view text) {
    const auto e = text.find_first_of("eE");
    if (e == std::string_view::npos || e == 0) {
        return std::nullopt;
    }
    const std::string_view mantissa = text.substr(0, e);
    std::string_view exponent_text = text.substr(e + 1);
    if (exponent_text.starts_with('+')) {
        exponent_text.remove_prefix(1);
    }
    int exponent = 0;
    const char* const exponent_end = exponent_text.data() + exponent_text.size();
    const auto [rest, error] = std::from_chars(exponent_text.data(), exponent_end, exponent);
    if (exponent_text.empty() || error != std::errc() || rest != exponent_end) {
        return std::nullopt;
    }
    // The mantissa's digits, and how far the point moves them.
    std::string digits;
    const auto point = mantissa.find('.');
    for (std::size_t k = 0; k < mantissa.size(); ++k) {
        const char c = mantissa[k];
        if (k == point) {
            continue;
        }
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        digits += c;
    }
    if (digits.empty() || (point != std::string_view::npos && mantissa.size() == 1)) {
        return std::nullopt;
    }
    if (point != std::string_view::npos) {
        exponent -= static_cast<int>(mantissa.size() - point - 1);
    }
    // Trailing zeros move into the exponent; what is left must not need a
    // point.
    while (digits.size() > 1 && digits.back() == '0' && exponent < 0) {
        digits.pop_back();
        ++exponent;
    }
    if (exponent < 0 && digits.find_first_not_of('0') != std::string::npos) {
        return std::nullopt;  // a fraction, as in 1.5e0
    }
    unsigned long long value = 0;
    for (const char c : digits) {
        if (__builtin_mul_overflow(value, 10ULL, &value) ||
            __builtin_add_overflow(value, static_cast<unsigned long long>(c - '0'), &value)) {
            return std::nullopt;
        }
    }
    for (int k = 0; k < exponent && value != 0; ++k) {
        if (__builtin_mul_overflow(value, 10ULL, &value)) {
            return std::nullopt;
        }
    }
    if (value > static_cast<unsigned long long>(std::numeric_limits<Integer>::max())) {
        return std::nullopt;
    }
    return static_cast<Integer>(value);
}

// A whole decimal number, nothing before or after it, also written as an
// exact whole number in scientific notation ("1e6").
template <typename Integer>
std::optional<Integer> parse_whole(std::string_view text) {
    Integer value{};
    const char* const end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || rest != end) {
        return parse_scientific<Integer>(text);
    }
    return value;
}

// Every option, for "did you mean".
constexpr std::string_view known_options[] = {
    "--seed",           "--threads",       "--full-check",  "--start",      "--exact",
    "--summary",        "--json",          "--results",     "--no-results", "--strict",
    "--version",        "--help",          "--count",       "--edges",      "--samples",
    "--stats",          "--max-edges",     "--mean-degree", "--force",      "--samples-format",
    "--samples-graphs", "--sparse-method", "--dags",
};

// Levenshtein distance, for near misses of option names.
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "unknown option '--sed' (did you mean --seed? see --help)".
UsageError unknown_option(std::string_view arg, std::string_view name) {
    // The options of --class, short ones among them, only for a single edit
    // ("--listx"), so that "--fast" is not taken for "--list".
    auto best = nearest_option(name, known_options);
    if (!best) {
        best = nearest_option(name, class_only_options, 1);
    }
    std::string message = "unknown option " + quoted(arg) + " (";
    if (best) {
        message += "did you mean " + std::string(*best) + "? ";
    }
    return UsageError(message + "see --help)");
}

// A whole number from `least` to `most`; the message names both, and
// `where` says in which mode the limit holds (" with --exact").
int parse_int_in_range(std::string_view name, std::string_view text, int least, int most,
                       std::string_view where = {}) {
    const auto value = parse_whole<int>(text);
    if (!value || *value < least || *value > most) {
        throw UsageError(std::string(name) + " must be a whole number from " +
                         std::to_string(least) + " to " + std::to_string(most) +
                         std::string(where) + ", got " + quoted(text));
    }
    return *value;
}

int parse_int_at_least(std::string_view name, std::string_view text, int least) {
    return parse_int_in_range(name, text, least, std::numeric_limits<int>::max());
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

Options parse_arguments(std::span<const std::string_view> args, bool counting);

}  // namespace

std::optional<std::uint64_t> parse_whole_number(std::string_view text) {
    return parse_whole<std::uint64_t>(text);
}

OptionWord split_option(std::string_view arg, std::vector<std::string_view>& given) {
    OptionWord word{arg == "-h" ? "--help" : arg, std::nullopt};
    if (const auto equals = arg.find('='); equals != std::string_view::npos) {
        word.name = arg.substr(0, equals);
        word.value = arg.substr(equals + 1);
    }
    if (std::find(given.begin(), given.end(), word.name) != given.end()) {
        throw UsageError(std::string(word.name) + " given more than once");
    }
    given.push_back(word.name);
    return word;
}

std::optional<std::string_view> nearest_option(std::string_view name,
                                               std::span<const std::string_view> known,
                                               std::size_t most_edits) {
    std::optional<std::string_view> best;
    std::size_t best_distance = most_edits + 1;
    std::string dashed = name.starts_with("--") ? "" : "-";
    dashed += name;
    for (const std::string_view option : known) {
        const std::size_t distance = edit_distance(dashed, option);
        if (distance < best_distance) {
            best = option;
            best_distance = distance;
        }
    }
    return best;
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

RecordLayout samples_layout(const Options& options) {
    RecordGraphs graphs =
        options.exact || options.dags ? RecordGraphs::ESSENTIAL_AND_DAG : RecordGraphs::ESSENTIAL;
    if (options.samples_format == RecordFormat::TSV) {
        graphs = RecordGraphs::NONE;
    }
    return {options.samples_format, options.samples_graphs.value_or(graphs)};
}

Options parse_command_line(std::span<const std::string_view> args) {
    // The mode the arguments name, for the usage line after an error.
    const auto named = [&](std::string_view option) {
        return std::find(args.begin(), args.end(), option) != args.end();
    };
    const bool counting = named("--count");
    try {
        return parse_arguments(args, counting);
    } catch (const UsageError& error) {
        throw UsageError(error.what(), counting           ? count_usage_line
                                       : named("--dags")  ? dags_usage_line
                                       : named("--exact") ? exact_usage_line
                                                          : usage_line);
    }
}

namespace {

// With --count (`counting`), --edges is a switch; elsewhere it takes the
// number of edges.
Options parse_arguments(std::span<const std::string_view> args, bool counting) {
    Options options;
    bool start_given = false;
    std::vector<std::string_view> positional;
    // Edge bounds, read once n_vars is known: (option, value).
    std::vector<std::pair<std::string_view, std::string_view>> bounds;
    std::vector<std::string_view> given;  // the options seen, each at most once
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        // "-s 1" is an option this program does not have, not two
        // positional arguments; "-3" is a (negative) number.
        const bool single_dash = arg.size() > 1 && arg[0] == '-' && arg[1] != '-' &&
                                 !std::isdigit(static_cast<unsigned char>(arg[1])) && arg[1] != '.';
        if (!options_ended && single_dash && arg != "-h") {
            throw unknown_option(arg, arg.substr(0, arg.find('=')));
        }
        if (options_ended || (!arg.starts_with("--") && arg != "-h")) {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        // Options that take a value accept "--name value" and "--name=value".
        const OptionWord word = split_option(arg, given);
        const std::string_view name = word.name;
        const std::optional<std::string_view> value = word.value;
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
        } else if (name == "--stats" && !value) {
            options.stats = true;
        } else if (name == "--samples") {
            const std::string_view text = take_value();
            if (text.empty()) {
                throw UsageError("--samples needs a file name, or - for standard output");
            }
            options.samples = std::string(text);
        } else if (name == "--samples-format") {
            const std::string_view text = take_value();
            if (text == "jsonl") {
                options.samples_format = RecordFormat::JSON_LINES;
            } else if (text == "tsv") {
                options.samples_format = RecordFormat::TSV;
            } else {
                throw UsageError("--samples-format must be 'jsonl' or 'tsv', got " + quoted(text));
            }
        } else if (name == "--samples-graphs") {
            const std::string_view text = take_value();
            if (text == "none") {
                options.samples_graphs = RecordGraphs::NONE;
            } else if (text == "essential") {
                options.samples_graphs = RecordGraphs::ESSENTIAL;
            } else if (text == "essential+dag") {
                options.samples_graphs = RecordGraphs::ESSENTIAL_AND_DAG;
            } else {
                throw UsageError(
                    "--samples-graphs must be 'none', 'essential' or 'essential+dag', got " +
                    quoted(text));
            }
        } else if (name == "--exact" && !value) {
            options.exact = true;
        } else if (name == "--dags" && !value) {
            options.dags = true;
        } else if (name == "--count" && !value) {
            options.count = true;
        } else if (name == "--edges" && !value && counting) {
            options.edges = true;  // --count --edges: a switch
        } else if (name == "--force" && !value) {
            options.force = true;
        } else if (name == "--edges" || name == "--mean-degree" || name == "--max-edges") {
            bounds.emplace_back(name, take_value());  // --exact --edges E: a number
        } else if (name == "--sparse-method") {
            const std::string_view text = take_value();
            const std::optional<SparseMethod> method = parse_sparse_method(text);
            if (!method || *method == SparseMethod::AUTO) {
                throw UsageError("--sparse-method must be 'dag' or 'layered', got " + quoted(text));
            }
            options.sparse_method = *method;
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
        } else if (std::find(std::begin(class_only_options), std::end(class_only_options), name) !=
                   std::end(class_only_options)) {
            throw UsageError(std::string(name) + " applies to --class FILE only (see --help)");
        } else if (value && std::find(std::begin(known_options), std::end(known_options), name) !=
                                std::end(known_options)) {
            throw UsageError(std::string(name) + " takes no value, got " + quoted(arg));
        } else {
            throw unknown_option(arg, name);
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (options.edges && !options.count) {
        throw UsageError("--edges applies to --count only");
    }
    for (const std::string_view option : {"--samples-format", "--samples-graphs"}) {
        if (!options.samples && std::find(given.begin(), given.end(), option) != given.end()) {
            throw UsageError(std::string(option) + " applies to --samples FILE only");
        }
    }
    if (!options.exact && !options.dags &&
        options.samples_graphs == RecordGraphs::ESSENTIAL_AND_DAG) {
        throw UsageError(
            "--samples-graphs essential+dag: the walk draws no DAG; use 'essential' or 'none'");
    }
    if (options.count) {
        // What belongs to runs that draw samples.
        for (const std::string_view other :
             {"--exact", "--dags", "--full-check", "--start", "--seed", "--threads", "--summary",
              "--results", "--no-results", "--strict", "--samples", "--stats"}) {
            if (std::find(given.begin(), given.end(), other) != given.end()) {
                throw UsageError(std::string(other) +
                                 " applies to runs that draw samples, not to --count");
            }
        }
        if (!bounds.empty() || options.force) {
            throw UsageError(std::string(bounds.empty() ? "--force" : bounds.front().first) +
                             " applies to runs that draw samples, not to --count");
        }
        if (positional.size() != 1) {
            throw UsageError("expected 1 argument n_vars with --count, got " +
                             std::to_string(positional.size()));
        }
        options.n_vars =
            options.edges
                ? parse_int_in_range("n_vars", positional[0], 1, max_edge_count_vars,
                                     " with --count --edges")
                : parse_int_in_range("n_vars", positional[0], 1, max_count_vars, " with --count");
        return options;
    }
    if (options.results && options.no_results) {
        throw UsageError("--results and --no-results exclude each other");
    }
    if (options.exact && options.dags) {
        throw UsageError(
            "--exact and --dags exclude each other: --exact draws uniform classes, --dags "
            "uniform DAGs");
    }
    if (options.exact || options.dags) {
        const std::string mode = options.dags ? "--dags" : "--exact";
        if (options.full_check || start_given) {
            throw UsageError(std::string(options.full_check ? "--full-check" : "--start") +
                             " applies to the walk only, not to " + mode);
        }
        if (positional.size() != 2) {
            throw UsageError("expected 2 arguments n_vars n_samples with " + mode + ", got " +
                             std::to_string(positional.size()));
        }
        options.n_vars =
            parse_int_in_range("n_vars", positional[0], 1, max_exact_vars, " with " + mode);
        options.n_samples = parse_int_at_least("n_samples", positional[1], 0);
        for (const auto& [name, text] : bounds) {
            if (name == "--max-edges") {
                throw UsageError("--max-edges applies to the walk; with " + mode + " use --edges");
            }
            if (options.edge_bound.bounded()) {
                throw UsageError("--edges and --mean-degree exclude each other");
            }
            options.edge_bound =
                EdgeBound::exactly(name == "--edges" ? parse_edges(name, text, options.n_vars)
                                                     : edges_for_mean_degree(text, options.n_vars));
        }
        if (options.sparse_method != SparseMethod::AUTO && !options.edge_bound.bounded()) {
            throw UsageError("--sparse-method applies to --edges and --mean-degree only");
        }
        if (options.dags && options.sparse_method != SparseMethod::AUTO) {
            throw UsageError(
                "--sparse-method applies to --exact: --dags draws from all DAGs with E edges");
        }
        if (options.dags && options.edge_bound.bounded() &&
            options.n_vars > max_edge_bounded_exact_vars) {
            throw UsageError("--dags with E edges goes up to n_vars = " +
                             std::to_string(max_edge_bounded_exact_vars) + ", got " +
                             quoted(positional[0]) +
                             " (its tables take n_vars^2 numbers and n_vars^3 / 6 steps)");
        }
        const bool layered = options.sparse_method == SparseMethod::LAYERED ||
                             (options.sparse_method == SparseMethod::AUTO &&
                              options.n_vars > max_edge_bounded_exact_vars);
        if (options.edge_bound.bounded() && !layered &&
            options.n_vars > max_edge_bounded_exact_vars) {
            throw UsageError(
                "--sparse-method dag goes up to n_vars = " +
                std::to_string(max_edge_bounded_exact_vars) + ", got " + quoted(positional[0]) +
                "; beyond, sparse classes hold so many DAGs that almost no draw is kept. Use "
                "--sparse-method layered, or the walk: pellimor --max-edges E n_vars n_its "
                "n_samples");
        }
        if (options.edge_bound.bounded() && layered &&
            !(layered_applies(options.n_vars, options.edge_bound) &&
              options.n_vars <= max_layered_vars)) {
            throw UsageError(
                "the layered method draws classes on 2 to " + std::to_string(max_layered_vars) +
                " vertices with exactly E edges, 1 <= E < n_vars (n_vars - 1) / 2 (rejection "
                "from DAGs, --sparse-method dag, goes up to n_vars = " +
                std::to_string(max_edge_bounded_exact_vars) + "); got n_vars = " +
                quoted(positional[0]) + ", E = " + std::to_string(options.edge_bound.edges));
        }
        if (options.force && (options.dags || !options.edge_bound.bounded())) {
            throw UsageError(options.dags ? "--force applies to --exact: --dags keeps every DAG, "
                                            "so it is never refused for its cost"
                                          : "--force applies to --edges and --mean-degree only");
        }
        return options;
    }
    if (options.sparse_method != SparseMethod::AUTO) {
        throw UsageError("--sparse-method applies to --exact with --edges or --mean-degree");
    }
    for (const auto& [name, text] : bounds) {
        if (name != "--max-edges") {
            throw UsageError(std::string(name) +
                             " applies to --exact and --dags (and --edges alone to --count); the "
                             "walk takes "
                             "--max-edges E");
        }
    }
    if (positional.size() != 3) {
        throw UsageError("expected 3 arguments n_vars n_its n_samples, got " +
                         std::to_string(positional.size()));
    }
    options.n_vars = parse_int_at_least("n_vars", positional[0], 1);
    options.n_its = parse_int_at_least("n_its", positional[1], 0);
    options.n_samples = parse_int_at_least("n_samples", positional[2], 0);
    for (const auto& [name, text] : bounds) {
        options.edge_bound = EdgeBound::at_most(parse_edges(name, text, options.n_vars));
    }
    if (options.edge_bound.bounded() && options.start == WalkStart::EXACT &&
        options.n_vars > max_edge_bounded_exact_vars) {
        throw UsageError("--start exact with --max-edges goes up to n_vars = " +
                         std::to_string(max_edge_bounded_exact_vars) + ", got " +
                         quoted(positional[0]) + "; use --start empty");
    }
    if (options.force && !(options.edge_bound.bounded() && options.start == WalkStart::EXACT)) {
        throw UsageError(
            "--force applies to --edges, --mean-degree, and --max-edges with "
            "--start exact");
    }
    return options;
}

}  // namespace

}  // namespace pellimor
