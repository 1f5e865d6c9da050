#include "stats/class_summary.hpp"

#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace pellimor {

namespace {

using nlohmann::json;

template <typename... Args>
void append(std::string& text, const char* format, Args... args) {
    char line[512];
    std::snprintf(line, sizeof line, format, args...);
    text += line;
}

std::string exact_and_z(const std::optional<double>& exact, double z) {
    if (!exact) {
        return "";
    }
    char text[64];
    if (std::isnan(z)) {
        std::snprintf(text, sizeof text, "  exact %.5f", *exact);
    } else {
        std::snprintf(text, sizeof text, "  exact %.5f  z = %.2f", *exact, z);
    }
    return text;
}

void mean_line(std::string& text, const char* what, const MeanEstimate& m) {
    if (m.count == 0) {
        append(text, "  %-26s not counted (--stats counts them)\n", what);
        return;
    }
    append(text, "  %-26s %.5g  [%.5g, %.5g]  se %.3g%s\n", what, m.mean, m.interval.low,
           m.interval.high, m.standard_error, exact_and_z(m.exact, m.z).c_str());
}

void share_line(std::string& text, const char* what, const ShareEstimate& s) {
    append(text, "  %-26s %8" PRId64 " / %-8" PRId64 " %.5f  [%.5f, %.5f]%s\n", what, s.count, s.of,
           s.interval.estimate, s.interval.low, s.interval.high, exact_and_z(s.exact, s.z).c_str());
}

json number(double value) {
    return std::isfinite(value) ? json(value) : json(nullptr);
}

json mean_json(const MeanEstimate& m) {
    if (m.count == 0) {
        return nullptr;
    }
    return {{"count", m.count},
            {"mean", number(m.mean)},
            {"standard_error", number(m.standard_error)},
            {"low", number(m.interval.low)},
            {"high", number(m.interval.high)},
            {"exact", m.exact ? number(*m.exact) : json(nullptr)},
            {"z", number(m.z)}};
}

json share_json(const std::string& label, const ShareEstimate& s) {
    return {{"label", label},
            {"count", s.count},
            {"of", s.of},
            {"estimate", number(s.interval.estimate)},
            {"low", number(s.interval.low)},
            {"high", number(s.interval.high)},
            {"exact", s.exact ? number(*s.exact) : json(nullptr)},
            {"z", number(s.z)}};
}

}  // namespace

void append_class_summary(std::string& text, const ClassEstimates& c) {
    text += "\n Classes (mean, 95% interval, standard error)\n";
    mean_line(text, "edges", c.edges);
    mean_line(text, "lines", c.lines);
    mean_line(text, "arrows", c.arrows);
    mean_line(text, "vees", c.vees);
    mean_line(text, "chain components (2+)", c.chain_components);
    mean_line(text, "largest chain component", c.largest_chain_component);
    mean_line(text, "class size s", c.size);
    mean_line(text, "log10 s", c.log10_size);

    text += "\n Class sizes (share of classes, 95% Wilson intervals)\n";
    for (int s = 1; s <= ClassEstimates::listed_sizes; ++s) {
        char what[16];
        std::snprintf(what, sizeof what, "s = %d", s);
        share_line(text, what, c.size_share[s]);
    }
    char above[16];
    std::snprintf(above, sizeof above, "s > %d", ClassEstimates::listed_sizes);
    share_line(text, above, c.size_above);
    append(text, "  %-26s median %.4f, 90th %.4f, 99th %.4f\n", "log10 s percentiles",
           c.log10_size_median, c.log10_size_90th, c.log10_size_99th);
}

json class_statistics_json(const ClassEstimates& c) {
    json shares = json::array();
    for (int s = 1; s <= ClassEstimates::listed_sizes; ++s) {
        shares.push_back(share_json(std::to_string(s), c.size_share[s]));
    }
    // Built by appending: GCC 12 warns (wrongly, -Wrestrict) about operator+.
    std::string above = ">";
    above += std::to_string(ClassEstimates::listed_sizes);
    shares.push_back(share_json(above, c.size_above));
    return {{"edge_count", mean_json(c.edges)},
            {"line_count", mean_json(c.lines)},
            {"arrow_count", mean_json(c.arrows)},
            {"vee_count", mean_json(c.vees)},
            {"chain_components", mean_json(c.chain_components)},
            {"largest_chain_component", mean_json(c.largest_chain_component)},
            {"class_size", mean_json(c.size)},
            {"log10_class_size", mean_json(c.log10_size)},
            {"class_size_shares", shares},
            {"log10_class_size_percentiles",
             {{"median", number(c.log10_size_median)},
              {"p90", number(c.log10_size_90th)},
              {"p99", number(c.log10_size_99th)}}}};
}

}  // namespace pellimor
