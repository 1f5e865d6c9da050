#pragma once

// The command line: `pellimor [options] n_vars n_its n_samples` for the walk,
// `pellimor --exact [options] n_vars n_samples` for the exact method,
// `pellimor --count [--edges] [--json FILE] n_vars` for the exact counts.
// Arguments that begin with "--", and "-h" (--help), are options, each given
// at most once; all others are positional, and so is every argument after
// "--".

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "graph/edge_bound.hpp"
#include "run/run_request.hpp"  // WalkStart, max_exact_vars, max_edge_bounded_exact_vars
#include "sampler/record_layout.hpp"

namespace pellimor {

// The usage line, printed on standard error after every usage error.
inline constexpr std::string_view usage_line = "\n pellimor n_vars n_its n_samples \n";
inline constexpr std::string_view exact_usage_line = "\n pellimor --exact n_vars n_samples \n";
inline constexpr std::string_view dags_usage_line = "\n pellimor --dags n_vars n_samples \n";
inline constexpr std::string_view count_usage_line = "\n pellimor --count [--edges] n_vars \n";

// A command line that cannot be run. The message names the argument and what
// is allowed; main prints it with the usage line of the mode the command line
// asks for and exits with status 2.
class UsageError : public std::runtime_error {
  public:
    explicit UsageError(const std::string& message, std::string_view usage = usage_line)
        : std::runtime_error(message), usage_(usage) {}

    std::string_view usage() const { return usage_; }

  private:
    std::string_view usage_;
};

struct Options {
    bool exact = false;  // the exact method instead of the walk
    bool dags = false;   // uniform DAGs, each with its class, instead of classes
    WalkStart start = WalkStart::EMPTY;
    int n_vars = 0;
    int n_its = 0;  // the walk only
    int n_samples = 0;
    std::optional<std::uint64_t> seed;   // run seed; drawn afresh when absent
    std::optional<int> threads;          // worker threads; the usable CPUs when absent
    bool full_check = false;             // judge every move with the complete test
    bool help = false;                   // print the help text and do nothing else
    bool summary = false;                // print the summary block at the end
    std::optional<std::string> json;     // write the summary as JSON to this file ("-": stdout)
    std::optional<std::string> results;  // the results file instead of pellimor_<n_vars>.txt
    bool no_results = false;             // write no results file
    bool strict = false;                 // a flagged mixing check fails the run (status 1)
    bool version = false;                // print the version and do nothing else
    bool count = false;                  // print the exact counts for 1 .. n_vars
    bool edges = false;                  // --count: the classes by number of edges
    bool stats = false;                  // also count each class's vees
    std::optional<std::string> samples;  // write every sample to this file ("-": stdout)
    RecordFormat samples_format = RecordFormat::JSON_LINES;  // --samples-format jsonl|tsv
    std::optional<RecordGraphs> samples_graphs;  // --samples-graphs; see samples_layout()
    // --exact: classes with exactly E edges (--edges E, or --mean-degree D as
    // E = round(D n_vars / 2)); the walk: graphs with at most E (--max-edges).
    EdgeBound edge_bound;
    // Run an edge-bounded exact draw even when it is expected to take hours.
    bool force = false;
    // --exact with E edges: which sampler (--sparse-method dag|layered).
    SparseMethod sparse_method = SparseMethod::AUTO;

    bool operator==(const Options&) const = default;
};

// The largest n_vars of --count, and of --count --edges (whose time grows
// as n_vars^7: about a minute at 90 and half an hour at 128).
inline constexpr int max_count_vars = 10000;
inline constexpr int max_edge_count_vars = 128;

// The usage line followed by a description of the arguments and options.
std::string help_text();

// The arguments joined by blanks, each quoted for a POSIX shell when it
// needs it, so that the line can be pasted to run again.
std::string shell_quoted(std::span<char*> argv);

// What --samples writes: the format asked for, and the graphs asked for or,
// by default, none in TSV and otherwise the essential graph with, for the
// exact method, its DAG.
RecordLayout samples_layout(const Options& options);

// Parses the arguments after the program name. Throws UsageError, with the
// usage line of the mode (--count, --exact or the walk) the arguments name.
Options parse_command_line(std::span<const std::string_view> args);

// A whole number from 0 to 2^64-1 as the options take it: decimal digits,
// or an exact whole number in scientific notation ("1e6"); else nothing.
std::optional<std::uint64_t> parse_whole_number(std::string_view text);

// An option word split at its first '=': "--name=value" into "--name" and
// "value", "--name" (or "-h", which is "--help") into its name alone. A name
// already in `given` throws UsageError ("given more than once"); otherwise it
// joins `given`.
struct OptionWord {
    std::string_view name;
    std::optional<std::string_view> value;
};
OptionWord split_option(std::string_view arg, std::vector<std::string_view>& given);

// The option of `known` nearest to `name`, at most `most_edits` edits away,
// for a "did you mean".
std::optional<std::string_view> nearest_option(std::string_view name,
                                               std::span<const std::string_view> known,
                                               std::size_t most_edits = 2);

// The options of `pellimor --class` (driver/class_command_line.hpp), which
// no other mode takes.
inline constexpr std::string_view class_only_options[] = {"--class", "--format", "--draw", "--list",
                                                          "--max",   "--out",    "--to"};

}  // namespace pellimor
