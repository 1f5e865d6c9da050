#include "driver/report.hpp"

#include <cstdio>

namespace pellimor {

void RunningTotals::add(const SampleResult& r) {
    for (int k = 0; k < move_kind_count; ++k) {
        rate_totals[k] += r.rates[k];
    }
    no_lines_count += r.no_lines;
    connected_count += r.connected;
    both_count += (r.no_lines == 1 && r.connected == 1) ? 1 : 0;
    dags_drawn += r.dags_drawn;
    inverse_size_sum += r.inverse_size_sum;
    ++samples;
}

namespace {

// printf-style formatting into a string of exactly the needed length.
template <typename... Args>
std::string format_text(const char* format, Args... args) {
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format, args...);
    return text;
}

}  // namespace

namespace {

// Fields 1 to 13, common to both methods' lines: the counts, their shares and
// the hours, up to the blank before the method's own part. Ratios of counts
// are plain double divisions; 0/0 prints as not-a-number.
std::string shares_and_hours(const RunningTotals& t, double hours) {
    const int i = t.samples;
    const double n = i;
    return format_text(" %d / %d, %d / %d, %d / %d, %d / %d = %f, %f, %f, %f in %f hours ",
                       t.no_lines_count, i, t.connected_count, i, t.both_count, t.no_lines_count,
                       t.both_count, t.connected_count, t.no_lines_count / n, t.connected_count / n,
                       static_cast<double>(t.both_count) / t.no_lines_count,
                       static_cast<double>(t.both_count) / t.connected_count, hours);
}

}  // namespace

std::string format_report_line(const RunningTotals& t, double hours) {
    const double n = t.samples;
    const double* rate = t.rate_totals;
    // The total adds the running sums in this order, then divides once.
    const double all =
        (((((rate[1] + rate[0]) + rate[2]) + rate[3]) + rate[4]) + rate[5]) + rate[6];
    // Built by appending (GCC 12 -Wrestrict false positive on operator+).
    std::string line = shares_and_hours(t, hours);
    line += format_text("(%f + %f + %f + %f + %f + %f + %f = %f) \n", rate[0] / n, rate[1] / n,
                        rate[2] / n, rate[3] / n, rate[4] / n, rate[5] / n, rate[6] / n, all / n);
    return line;
}

std::string format_exact_report_line(const RunningTotals& t, double hours) {
    std::string line = shares_and_hours(t, hours);
    line += format_text("(%d / %lld = %f classes per DAG) \n", t.samples,
                        static_cast<long long>(t.dags_drawn),
                        static_cast<double>(t.samples) / static_cast<double>(t.dags_drawn));
    return line;
}

std::string format_dags_report_line(const RunningTotals& t, double hours) {
    std::string line = shares_and_hours(t, hours);
    line += format_text("(mean 1/s = %f classes per DAG) \n",
                        t.inverse_size_sum / static_cast<double>(t.samples));
    return line;
}

void format_results_name(std::span<char, 80> buffer, const char* format, int value) {
    // The name is at most 24 chars, so the bound never truncates it.
    std::snprintf(buffer.data(), buffer.size(), format, value);
}

std::string exact_results_file_name(int n_vars) {
    char buffer[80];
    format_results_name(buffer, "pellimor_exact_%d.txt", n_vars);
    return buffer;
}

std::string dags_results_file_name(int n_vars) {
    char buffer[80];
    format_results_name(buffer, "pellimor_dags_%d.txt", n_vars);
    return buffer;
}

std::string results_file_name(int n_vars) {
    char buffer[80];
    format_results_name(buffer, "pellimor_%d.txt", n_vars);
    return buffer;
}

}  // namespace pellimor
