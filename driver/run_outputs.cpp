#include "driver/run_outputs.hpp"

#include <utility>
#include <variant>
#include <vector>

#include "driver/report.hpp"

namespace pellimor {

std::optional<std::string> results_file_for(const Options& options, const RunRequest& run) {
    if (options.no_results) {
        return std::nullopt;
    }
    if (options.results) {
        return *options.results;
    }
    // Runs bounded by edges draw from other distributions than the runs
    // whose lines the plain files collect, so they keep files of their own.
    // pellimor_exact_<n_vars>_edges_<E>.txt, pellimor_<n_vars>_max_edges_<E>.txt
    auto with_bound = [](std::string name, const std::string& bound) {
        return name.insert(name.size() - 4, bound);  // before ".txt"
    };
    // pellimor_dags_<n_vars>[_edges_<E>].txt for uniform DAGs.
    std::string name = run.method == METHOD_DAGS    ? dags_results_file_name(run.n_vars)
                       : run.method == METHOD_EXACT ? exact_results_file_name(run.n_vars)
                                                    : results_file_name(run.n_vars);
    switch (run.edge_bound.kind) {
        case EdgeBoundKind::EXACTLY:
            return with_bound(name, "_edges_" + std::to_string(run.edge_bound.edges));
        case EdgeBoundKind::AT_MOST:
            return with_bound(name, "_max_edges_" + std::to_string(run.edge_bound.edges));
        case EdgeBoundKind::NONE:
            break;
    }
    return name;
}

RunOutputs prepare_outputs(const Options& options, const RunRequest* run) {
    RunOutputs outputs;
    if (run != nullptr) {
        outputs.results_file = results_file_for(options, *run);
    }
    // Every file named, with the option that names it, for the comparison.
    std::vector<std::pair<std::string, std::string>> named;
    if (outputs.results_file) {
        named.emplace_back(options.results ? "--results" : "the results file",
                           *outputs.results_file);
    }
    if (options.json) {
        named.emplace_back("--json", *options.json);
    }
    if (options.samples) {
        named.emplace_back("--samples", *options.samples);
        // The samples take standard output alone.
        if (options.json && same_output_file(*options.samples, "-") &&
            same_output_file(*options.json, "-")) {
            throw UsageError("--json and --samples both name standard output; give one a file");
        }
    }
    for (std::size_t i = 0; i < named.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            // Standard output may take several outputs one after another
            // (report lines, summary, JSON), but not when it is a file
            // named for another output: written at its own offset, it would
            // overwrite what is appended there, or be replaced by it.
            const bool both_standard_output = named[i].second == "-" && named[j].second == "-";
            if (!both_standard_output && same_output_file(named[i].second, named[j].second)) {
                throw UsageError(named[i].first + " '" + named[i].second + "' " +
                                 (named[i].second == "-" ? "(standard output) " : "") + "names " +
                                 (named[j].first == "the results file"
                                      ? std::string("the results file")
                                      : "the same file as " + named[j].first) +
                                 "; choose another file");
            }
        }
    }
    // The report lines go to standard output (to standard error when the
    // samples take it) and are appended to the results file: standard output
    // sent into that file would write them there twice, or over the lines
    // appended before them.
    const bool report_lines_on_standard_output =
        !(options.samples && same_output_file(*options.samples, "-"));
    if (outputs.results_file && report_lines_on_standard_output &&
        same_output_file("-", *outputs.results_file)) {
        throw UsageError("standard output names the results file '" + *outputs.results_file +
                         "', to which the report lines are appended as well; send standard "
                         "output elsewhere, or choose another file with --results FILE or none "
                         "with --no-results");
    }
    if (options.json) {
        auto target = OutputTarget::open(*options.json);
        if (auto* error = std::get_if<std::string>(&target)) {
            throw OutputError("--json: " + *error);
        }
        outputs.json.emplace(std::move(std::get<OutputTarget>(target)));
    }
    if (options.samples) {
        auto target = OutputTarget::open(*options.samples);
        if (auto* error = std::get_if<std::string>(&target)) {
            throw OutputError("--samples: " + *error);
        }
        outputs.samples.emplace(std::move(std::get<OutputTarget>(target)));
    }
    return outputs;
}

}  // namespace pellimor
