#pragma once

// The exact counts at one n and what follows from them: the five counts of
// the report's shares, the four shares, classes per DAG, and the mean and
// variance of the number of edges (arrows and lines) of a uniformly drawn
// essential graph.
//
// Up to exact_count_limit the counts are exact integers and the shares and
// ratios exact rationals, rounded to 12 significant digits. Beyond it
// everything comes from the 320-bit floating-point recurrences of
// counts/scaled_counts.hpp, whose error is below 1e-90 relative; the mean and
// variance of the edges come from there at every n (they agree with the
// counts by edges exactly as far as those are computed).

#include <string>
#include <vector>

namespace pellimor {

// A value as a double and as text with 12 significant digits.
struct CountValue {
    double value = 0;
    std::string text;
};

struct CountRow {
    int n = 0;
    bool exact = false;  // the counts are exact decimal integers
    // Decimal integers, or beyond exact_count_limit 12 significant digits in
    // scientific form.
    std::string dags;
    std::string essential_dags;
    std::string essential_graphs;
    std::string connected_essential_graphs;
    std::string connected_essential_dags;
    double log10_dags = 0;
    double log10_essential_dags = 0;
    double log10_essential_graphs = 0;

    CountValue no_lines;                  // essential DAGs / essential graphs
    CountValue connected;                 // connected essential graphs / essential graphs
    CountValue connected_among_no_lines;  // connected essential DAGs / essential DAGs
    CountValue no_lines_among_connected;  // connected essential DAGs / connected essential graphs
    CountValue classes_per_dag;           // essential graphs / DAGs
    CountValue dags_per_class;            // DAGs / essential graphs
    CountValue mean_edges;
    CountValue variance_edges;
};

// Rows for n = 1 .. max_n (row n at index n - 1). Requires max_n >= 0. Takes
// about 0.5 s at max_n = 256, mostly for the exact integers.
std::vector<CountRow> count_rows(int max_n);

// The row for one n >= 1 (up to about half a second at n = 10000, computed
// afresh by every call).
CountRow count_row(int n);

// The mean and variance of the number of edges of a uniformly drawn
// essential graph on n >= 1 vertices (cheap for every n: no exact integers).
struct EdgeMoments {
    CountValue mean;
    CountValue variance;
};
EdgeMoments class_edge_moments(int n);

}  // namespace pellimor
