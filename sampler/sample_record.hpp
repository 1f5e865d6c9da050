#pragma once

// One sample as one record of --samples (sampler/record_layout.hpp). As JSON
// Lines, with the essential graph and the DAG:
//
//   {"sample":1,"n_vars":4,"connected":true,"edge_count":3,"line_count":1,
//    "arrow_count":2,"vee_count":1,"chain_components":1,
//    "largest_chain_component":2,"class_size":2,"log10_class_size":0.30103,
//    "arrows":[[0,2],[1,2]],"lines":[[2,3]],"dag":[[0,2],[1,2],[3,2]]}
//
// (on one line). Vertices are 0-based; an arrow is [tail, head], a line
// [smaller, larger]. "dag" (the exact method only) lists the arrows of the
// DAG drawn for the class, a uniformly random member of it. "vee_count" is
// null when vees were not counted. "class_size" is the exact whole number
// with all its digits, also past 2^53 and past the range of a double, where
// it is counted again with GMP (graph/equivalence_class.hpp): so records are
// made where the graph is, by the workers. Without graphs the record ends
// after "log10_class_size".
//
// As TSV, a header line names the same fields in the same order, and each
// record is one row: booleans as true or false, a null as an empty field,
// and the graphs, when asked for, as the same JSON arrays.
// Records are appended to a caller's buffer, which is reused.

#include <cstdint>
#include <span>
#include <string>

#include "graph/edge_matrix.hpp"
#include "graph/essential_graph.hpp"
#include "graph/ordered_dag.hpp"
#include "sampler/record_layout.hpp"
#include "sampler/sample_run.hpp"

namespace pellimor {

// The header line of a TSV file, newline included; empty for JSON Lines.
std::string record_header(const RecordLayout& layout);

// The room a record of `pairs` vertex pairs on n vertices is built in, in
// bytes (a double: at the largest n a record passes half a gigabyte).
double record_room(int n, double pairs);

// The bytes a record of `layout` on n vertices takes with `edges` edges in
// its class: the class's pairs, and the DAG's again with RecordGraphs::
// ESSENTIAL_AND_DAG.
double record_bytes(const RecordLayout& layout, int n, double edges);

// The record of a walk's sample: the essential graph m it reached (with
// RecordGraphs::NONE, its statistics alone; a walk has no DAG).
void append_walk_record(std::string& out, const RecordLayout& layout, std::uint64_t sample,
                        const SampleResult& result, const EdgeMatrix& m);

// The record of an exact sample: the kept class (dag and its essential graph
// eg) with vertex v named label[v] (label unread, and may be empty, with
// RecordGraphs::NONE).
void append_exact_record(std::string& out, const RecordLayout& layout, std::uint64_t sample,
                         const SampleResult& result, const OrderedDag& dag,
                         const EssentialGraph& eg, std::span<const int> label);

}  // namespace pellimor
