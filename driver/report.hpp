#pragma once

// The running totals of a run, the report line made from them, and the name
// of the results file the line is appended to (driver/results_file.hpp).

#include <span>
#include <string>

#include "driver/results_file.hpp"
#include "sampler/sample_run.hpp"

namespace pellimor {

// Sums over the samples added so far, in the order they were added.
struct RunningTotals {
    double rate_totals[move_kind_count] = {};
    int no_lines_count = 0;
    int connected_count = 0;
    int both_count = 0;
    long long dags_drawn = 0;     // the exact method: DAGs drawn for all samples
    double inverse_size_sum = 0;  // --dags: the sum of 1/s over the DAGs drawn
    int samples = 0;

    void add(const SampleResult& r);
};

// The report line after totals.samples samples, ending in " \n": counts and
// shares of graphs without lines, with a connected skeleton and with both,
// the hours elapsed, and the average rate of each move kind with their sum.
std::string format_report_line(const RunningTotals& totals, double hours);

// The exact method's report line: fields 1 to 13 as in the walk's line, then
// the samples, the DAGs drawn for them and their ratio, the classes per DAG.
std::string format_exact_report_line(const RunningTotals& totals, double hours);

// The line of a run of uniform DAGs (--dags): fields 1 to 13 as in the walk's
// line, over the DAGs and their classes, then the mean of 1/s over the DAGs,
// which estimates the classes per DAG (s: the DAGs in a DAG's class).
std::string format_dags_report_line(const RunningTotals& totals, double hours);

// Bounded formatting of the results file name into an 80-char buffer.
void format_results_name(std::span<char, 80> buffer, const char* format, int value);

// "pellimor_<n_vars>.txt".
std::string results_file_name(int n_vars);

// "pellimor_dags_<n_vars>.txt".
std::string dags_results_file_name(int n_vars);

// "pellimor_exact_<n_vars>.txt".
std::string exact_results_file_name(int n_vars);

}  // namespace pellimor
