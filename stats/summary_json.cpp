#include "stats/summary_json.hpp"

#include <cmath>

#include "stats/class_summary.hpp"
#include "stats/estimates.hpp"

namespace pellimor {

namespace {

using nlohmann::json;

const char* const move_keys[move_kind_count] = {
    "stay", "add_line", "remove_line", "add_arrow", "remove_arrow", "add_vee", "remove_vee",
};

// A double, or null when it is not finite.
json number(double value) {
    return std::isfinite(value) ? json(value) : json(nullptr);
}

json optional_number(const std::optional<double>& value) {
    return value ? number(*value) : json(nullptr);
}

json optional_string(const std::optional<std::string>& value) {
    return value ? json(*value) : json(nullptr);
}

json share_json(const ShareEstimate& s) {
    // The binomial standard error of the share, sqrt(p (1 - p) / of).
    const double p = s.interval.estimate;
    const double standard_error = std::sqrt(p * (1 - p) / static_cast<double>(s.of));
    return {{"count", s.count},
            {"of", s.of},
            {"estimate", number(s.interval.estimate)},
            {"low", number(s.interval.low)},
            {"high", number(s.interval.high)},
            {"standard_error", number(standard_error)},
            {"exact", optional_number(s.exact)},
            {"z", number(s.z)}};
}

json ratio_json(const RatioEstimate& r) {
    return {{"estimate", number(r.interval.estimate)}, {"low", number(r.interval.low)},
            {"high", number(r.interval.high)},         {"standard_error", number(r.standard_error)},
            {"exact", optional_number(r.exact)},       {"z", number(r.z)}};
}

// `exact` as a JSON type a script can rely on: a decimal string for an
// integer (a count, which may outgrow every number type), a number for a
// ratio.
json count_json(const CountEstimate& c, bool integer) {
    const auto value = [](double log10_value) {
        const std::optional<double> v = from_log10(log10_value);
        return v ? json(*v) : json(nullptr);
    };
    return {{"estimate", value(c.log10_estimate)},
            {"low", value(c.log10_low)},
            {"high", value(c.log10_high)},
            {"log10_estimate", number(c.log10_estimate)},
            {"log10_low", number(c.log10_low)},
            {"log10_high", number(c.log10_high)},
            {"exact", !c.exact  ? json(nullptr)
                      : integer ? json(*c.exact)
                                : json(c.exact_value)},
            {"z", c.exact ? number(c.z) : json(nullptr)}};
}

json comparison_json(const MixingComparison& c, const char* walk_key, const char* other_key) {
    return {{walk_key, number(c.walk)},
            {other_key, number(c.other)},
            {"z", number(c.z)},
            {"flagged", c.flagged()}};
}

json mixing_json(const RunInfo& info, const std::optional<MixingCheckResult>& mixing) {
    if (!mixing) {
        return {{"skipped", true},
                {"reason",
                 info.method == METHOD_WALK ? "not checked" : "the exact method does not walk"}};
    }
    if (mixing->skipped) {
        return {{"skipped", true}, {"reason", *mixing->skipped}};
    }
    json result = {
        {"skipped", false},
        {"passed", mixing->passed},
        {"z_limit", mixing_z_limit},
        {"exact", mixing->has_exact_no_lines
                      ? json{{"no_lines", comparison_json(mixing->exact_no_lines, "walk", "exact")}}
                      : json(nullptr)},
        {"half_walk",
         {{"no_lines", comparison_json(mixing->half_no_lines, "full", "half")},
          {"lines", comparison_json(mixing->half_lines, "full", "half")}}},
        {"reference", nullptr},
        {"no_reference_reason", nullptr}};
    if (mixing->has_reference) {
        result["reference"] = {
            {"samples", mixing->reference_samples},
            {"seconds", number(mixing->reference_seconds)},
            {"lines", comparison_json(mixing->reference_lines, "walk", "reference")}};
        if (mixing->has_reference_bounded) {
            result["reference"]["no_lines"] =
                comparison_json(mixing->reference_no_lines, "walk", "reference");
            result["reference"]["edges"] =
                comparison_json(mixing->reference_edges, "walk", "reference");
        }
    } else {
        result["no_reference_reason"] = mixing->no_reference_reason;
    }
    if (mixing->has_exact_edges) {
        result["exact_edges"] = {
            {"mean_edges", comparison_json(mixing->exact_mean_edges, "walk", "exact")},
            {"share_at_bound", comparison_json(mixing->exact_share_at_bound, "walk", "exact")}};
    }
    return result;
}

// The bound of a run bounded by edges, its edge counts, and the exact values.
json edge_bound_json(const RunInfo& info, const RunEstimates& e) {
    const bool at_most = info.edge_bound.kind == EdgeBoundKind::AT_MOST;
    json bound = {{"kind", at_most ? "at_most" : "exactly"},
                  {"edges", info.edge_bound.edges},
                  {"mean_edges",
                   {{"mean", number(e.edges_seen.mean)},
                    {"standard_error", number(e.edges_seen.standard_error)}}},
                  {"share_at_bound",
                   at_most ? json{{"mean", number(e.at_bound_seen.mean)},
                                  {"standard_error", number(e.at_bound_seen.standard_error)}}
                           : json(nullptr)},
                  {"exact", nullptr}};
    if (e.edge_exact) {
        // The distribution of edges: share of the classes with e edges, e from
        // first_edges up to the bound.
        json distribution = json::array();
        for (double share : e.edge_exact->edge_shares) {
            distribution.push_back(number(share));
        }
        bound["exact"] = {{"classes", e.edge_exact->classes},
                          {"log10_classes", number(e.edge_exact->log10_classes)},
                          {"dags", e.edge_exact->dags},
                          {"log10_dags", number(e.edge_exact->log10_dags)},
                          {"classes_per_dag", number(e.edge_exact->classes_per_dag)},
                          {"mean_edges", number(e.edge_exact->mean_edges)},
                          {"share_at_bound", number(e.edge_exact->share_at_bound)},
                          {"first_edges", at_most ? 0 : info.edge_bound.edges},
                          {"edge_distribution", distribution}};
    }
    return bound;
}

}  // namespace

json summary_json(const RunReport& report) {
    const RunInfo& info = report.info;
    const RunEstimates& e = report.estimates;
    const std::optional<MixingCheckResult>& mixing = report.mixing;
    json j = {{"version", info.provenance.version},
              {"command_line", info.provenance.command_line},
              {"started_at", info.provenance.started_at},
              {"method", method_name(info.method)},
              {"start", info.method == METHOD_WALK ? json(info.start) : json(nullptr)},
              {"n_vars", info.n_vars},
              {"n_its", info.method == METHOD_WALK ? json(info.n_its) : json(nullptr)},
              {"n_samples", info.n_samples},
              {"samples", e.samples},
              {"seed", info.seed},
              {"threads", info.threads},
              {"seconds", number(info.seconds)},
              {"complete", info.complete},
              {"shares",
               {{"no_lines", share_json(e.no_lines)},
                {"connected", share_json(e.connected)},
                {"connected_among_no_lines", share_json(e.connected_among_no_lines)},
                {"no_lines_among_connected", share_json(e.no_lines_among_connected)}}},
              {"weighted_shares", nullptr},
              {"move_rates", nullptr},
              {"mixing_check", mixing_json(info, mixing)},
              {"counts",
               {{"dags", optional_string(e.dags.decimal)},
                {"log10_dags", number(e.dags.log10)},
                {"essential_dags", optional_string(e.essential_dags.decimal)},
                {"log10_essential_dags", number(e.essential_dags.log10)},
                {"essential_graphs", count_json(e.essential_graphs, true)},
                {"classes_per_dag", count_json(e.classes_per_dag, false)},
                {"dags_per_class", count_json(e.dags_per_class, false)},
                {"exact_mean_edges",
                 e.mean_edges.text.empty() ? json(nullptr) : number(e.mean_edges.value)},
                {"exact_variance_edges",
                 e.mean_edges.text.empty() ? json(nullptr) : number(e.variance_edges.value)}}}};
    j["class_statistics"] = class_statistics_json(report.classes);
    if (e.has_weighted) {
        j["weighted_shares"] = {{"dags_drawn", e.dags_drawn},
                                {"no_lines", ratio_json(e.weighted_no_lines)},
                                {"connected", ratio_json(e.weighted_connected)}};
    }
    if (e.has_move_rates) {
        json rates = json::object();
        for (int k = 0; k < move_kind_count; ++k) {
            rates[move_keys[k]] = {{"mean", number(e.rate_mean[k])},
                                   {"standard_error", number(e.rate_standard_error[k])}};
        }
        j["move_rates"] = rates;
    }
    // Only runs bounded by edges have the key, so that other runs' documents
    // stay as they were.
    if (e.bounded) {
        j["edge_bound"] = edge_bound_json(info, e);
    }
    return j;
}

std::string json_document(const nlohmann::json& document) {
    return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace pellimor
