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

json share_json(const ShareEstimate& s) {
    return {{"count", s.count},
            {"of", s.of},
            {"estimate", number(s.interval.estimate)},
            {"low", number(s.interval.low)},
            {"high", number(s.interval.high)},
            {"exact", s.exact ? number(*s.exact) : json(nullptr)},
            {"z", number(s.z)}};
}

// A whole number as text: its digits while a double holds it exactly,
// else as a power of 2 (every bin ends at one).
std::string whole(double value) {
    char text[32];
    if (value < 0x1p53) {
        std::snprintf(text, sizeof text, "%.0f", value);
    } else {
        int exponent = 0;
        std::frexp(value, &exponent);
        std::snprintf(text, sizeof text, "2^%d", exponent - 1);
    }
    return text;
}

std::string bin_label(const char* symbol, const BinShare& bin) {
    if (bin.at_most == bin.above + 1) {
        return std::string(symbol) + " = " + whole(bin.at_most);
    }
    if (std::isinf(bin.at_most)) {
        return std::string(symbol) + " > " + whole(bin.above);
    }
    return whole(bin.above) + " < " + symbol + " <= " + whole(bin.at_most);
}

// Every bin that holds a sample, each a share with its interval.
void distribution_lines(std::string& text, const char* symbol, const Distribution& d) {
    for (const BinShare& bin : d) {
        share_line(text, bin_label(symbol, bin).c_str(), bin.share);
    }
}

// A percentile of s: the whole number, or about it beyond 1000.
std::string size_text(double size) {
    if (size <= SizeHistogram::exact_limit || !std::isfinite(size)) {
        return whole(size);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", size);
    return text;
}

// A bound of a bin or a percentile of s: a JSON integer while it is a whole
// number that fits in 64 bits, else a double; null when it is infinite.
json bound_json(double value) {
    if (!std::isfinite(value)) {
        return nullptr;
    }
    if (value < 0x1p63 && value == std::floor(value)) {
        return static_cast<std::int64_t>(value);
    }
    return value;
}

json distribution_json(const Distribution& d) {
    json bins = json::array();
    for (const BinShare& bin : d) {
        json entry = share_json(bin.share);
        entry["above"] = bound_json(bin.above);
        entry["at_most"] = bound_json(bin.at_most);
        bins.push_back(std::move(entry));
    }
    return bins;
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
    append(text, "  %-26s median %s, 90th %s, 99th %s\n", "s percentiles",
           size_text(c.size_median).c_str(), size_text(c.size_90th).c_str(),
           size_text(c.size_99th).c_str());

    // The whole distributions, in the bins that hold a sample: every value
    // up to 1000, then bins up to powers of 2.
    Distribution larger_sizes;
    for (const BinShare& bin : c.size_distribution) {
        if (bin.above >= ClassEstimates::listed_sizes) {
            larger_sizes.push_back(bin);
        }
    }
    text +=
        "\n Distributions (share of classes, 95% Wilson intervals; every value seen up to "
        "1000,\n then bins up to powers of 2)\n";
    text += "  class sizes above 10\n";
    distribution_lines(text, "s", larger_sizes);
    text += "  lines\n";
    distribution_lines(text, "lines", c.line_distribution);
    text += "  largest chain component (1 for a class without lines)\n";
    distribution_lines(text, "vertices", c.largest_chain_component_distribution);
    text += "  chain components of 2 or more vertices\n";
    distribution_lines(text, "components", c.chain_component_distribution);
    if (c.vees.count == 0) {
        text += "  vees: not counted (--stats counts them)\n";
    } else {
        text += "  vees\n";
        distribution_lines(text, "vees", c.vee_distribution);
    }
}

json class_statistics_json(const ClassEstimates& c) {
    json shares = json::array();
    for (int s = 1; s <= ClassEstimates::listed_sizes; ++s) {
        json share = share_json(c.size_share[s]);
        share["label"] = std::to_string(s);
        shares.push_back(std::move(share));
    }
    // Built by appending: GCC 12 warns (wrongly, -Wrestrict) about operator+.
    std::string above = ">";
    above += std::to_string(ClassEstimates::listed_sizes);
    json share = share_json(c.size_above);
    share["label"] = above;
    shares.push_back(std::move(share));
    return {
        {"edge_count", mean_json(c.edges)},
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
          {"p99", number(c.log10_size_99th)}}},
        {"class_size_percentiles",
         {{"median", bound_json(c.size_median)},
          {"p90", bound_json(c.size_90th)},
          {"p99", bound_json(c.size_99th)}}},
        {"distributions",
         {{"class_size", distribution_json(c.size_distribution)},
          {"line_count", distribution_json(c.line_distribution)},
          {"largest_chain_component", distribution_json(c.largest_chain_component_distribution)},
          {"chain_components", distribution_json(c.chain_component_distribution)},
          {"vee_count",
           c.vees.count == 0 ? json(nullptr) : distribution_json(c.vee_distribution)}}}};
}

}  // namespace pellimor
