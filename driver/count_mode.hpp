#pragma once

// `pellimor --count [--edges] [--json FILE] n_vars`: the exact counts for
// n = 1 .. n_vars as a tab-separated table with a header row on standard
// output, and with --json the same as one JSON document. Writes no results
// file.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "counts/count_table.hpp"
#include "counts/edge_counts.hpp"
#include "driver/command_line.hpp"
#include "driver/run_outputs.hpp"
#include "stats/run_info.hpp"

namespace pellimor {

// One row per n: n, the five counts, the four shares, classes per DAG, and
// the mean and variance of the edges of a uniformly drawn class.
std::string count_table_text(const std::vector<CountRow>& rows);

// Long form: n, edges, classes, for every n >= 1 of the triangle.
std::string edge_table_text(const EdgeTriangle& classes);

// The rows, and the triangle when given, as JSON.
nlohmann::json count_json(const std::vector<CountRow>& rows, const EdgeTriangle* classes,
                          const Provenance& provenance);

// "not enough memory for the counts up to n_vars = N; choose a smaller
// n_vars".
std::string counts_out_of_memory(int n_vars);

// Runs the mode; the exit status: 0, 1 when an output failed, 128 + N when
// signal N stopped it. Throws std::bad_alloc when the counts do not fit.
int run_count(const Options& options, RunOutputs& outputs, const Provenance& provenance);

}  // namespace pellimor
