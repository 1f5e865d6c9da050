#include "driver/canonical_arguments.hpp"

namespace pellimor {

std::vector<std::string> canonical_arguments(const Options& options) {
    // Names every field of Options: a field added there and not here stops
    // this from compiling, so no option can be left out of the comparison of
    // a cluster run's ranks. Write the new field below, then add it to this
    // list in the order of the struct.
    const auto& [exact, dags, start, n_vars, n_its, n_samples, seed, threads, full_check, help,
                 summary, json, results, no_results, strict, version, count, edges, stats, samples,
                 samples_format, samples_graphs, edge_bound, force] = options;
    std::vector<std::string> args;
    if (help) {
        args.emplace_back("--help");
    }
    if (version) {
        args.emplace_back("--version");
    }
    if (exact) {
        args.emplace_back("--exact");
    }
    if (dags) {
        args.emplace_back("--dags");
    }
    if (count) {
        args.emplace_back("--count");
    }
    if (edges) {
        args.emplace_back("--edges");
    }
    if (start == WalkStart::EXACT) {
        args.emplace_back("--start=exact");
    }
    if (seed) {
        args.push_back("--seed=" + std::to_string(*seed));
    }
    if (threads) {
        args.push_back("--threads=" + std::to_string(*threads));
    }
    if (full_check) {
        args.emplace_back("--full-check");
    }
    if (summary) {
        args.emplace_back("--summary");
    }
    if (json) {
        args.push_back("--json=" + *json);
    }
    if (results) {
        args.push_back("--results=" + *results);
    }
    if (no_results) {
        args.emplace_back("--no-results");
    }
    if (strict) {
        args.emplace_back("--strict");
    }
    if (stats) {
        args.emplace_back("--stats");
    }
    if (samples) {
        args.push_back("--samples=" + *samples);
    }
    if (samples_format == RecordFormat::TSV) {
        args.emplace_back("--samples-format=tsv");
    }
    if (samples_graphs) {
        const char* const names[] = {"none", "essential", "essential+dag"};
        args.push_back(std::string("--samples-graphs=") + names[static_cast<int>(*samples_graphs)]);
    }
    // --mean-degree stands as the --edges it gives.
    if (edge_bound.kind == EdgeBoundKind::EXACTLY) {
        args.push_back("--edges=" + std::to_string(edge_bound.edges));
    }
    if (edge_bound.kind == EdgeBoundKind::AT_MOST) {
        args.push_back("--max-edges=" + std::to_string(edge_bound.edges));
    }
    if (force) {
        args.emplace_back("--force");
    }
    if (help || version) {
        return args;  // the parser reads no numbers then
    }
    args.push_back(std::to_string(n_vars));
    if (count) {
        return args;  // n_vars alone
    }
    if (!exact && !dags) {
        args.push_back(std::to_string(n_its));
    }
    args.push_back(std::to_string(n_samples));
    return args;
}

std::vector<std::string> shared_arguments(const Options& options) {
    Options shared = options;
    shared.threads.reset();
    return canonical_arguments(shared);
}

std::string arguments_text(const std::vector<std::string>& arguments) {
    std::string text;
    for (const auto& arg : arguments) {
        if (!text.empty()) {
            text += ' ';
        }
        if (arg.find_first_of(" \t\n'\"") == std::string::npos && !arg.empty()) {
            text += arg;
            continue;
        }
        // Shell quoting: a quote inside becomes '\''.
        text += '\'';
        for (const char c : arg) {
            text += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        text += '\'';
    }
    return text;
}

}  // namespace pellimor
