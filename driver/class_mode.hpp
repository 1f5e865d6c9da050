#pragma once

// `pellimor --class FILE`: reads a user's graph, finds its essential graph
// (a DAG's, or the graph itself once the complete test has passed), counts
// its class exactly, and reports; with --out writes the essential graph, with
// --draw K that many uniform DAGs of the class, with --list all of them (or
// the first M). Exit status 0; 2 for a graph that cannot be read or is not
// what it claims to be, and for a --list that would be too long; 1 when an
// output fails or memory is short; 128 + N when stopped by signal N, with
// every graph written whole.

#include <gmpxx.h>

#include <optional>
#include <string>

#include "driver/class_command_line.hpp"
#include "graph/mixed_graph.hpp"
#include "stats/run_info.hpp"

namespace pellimor {

// Why --list (with --max `max`, if given) refuses a class of `size` DAGs:
// more than max_listed_without_max of them and no --max. Nothing when it
// does not.
std::optional<std::string> list_refusal(const mpz_class& size, std::optional<std::int64_t> max);

// Runs the mode; errors are said on standard error. Returns the exit status.
int run_class_mode(const ClassOptions& options, const Provenance& provenance);

// The bytes the mode needs for a graph of n vertices and `edges` edges read
// from `text_bytes` of text: the text and the graph with its indexes, the
// essential graph of a DAG (`dag`), and the factorials up to `largest_clique`
// for the counts.
double class_memory_bytes(double text_bytes, int n, std::int64_t edges, bool dag,
                          int largest_clique);

// The same for `graph` as read, its largest clique bounded by its largest
// line degree + 1.
double class_memory_bytes(double text_bytes, const MixedGraph& graph);

}  // namespace pellimor
