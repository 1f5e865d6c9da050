#pragma once

// A sample's graphs as a binary record, for a caller in the same process
// (the Python module), which reads them back without parsing text: the same
// arrows, lines and DAG, with the same vertex names, as the sample's --samples
// record. The statistics travel in the SampleResult beside it; only a class
// size past 2^53, which the statistics' double does not hold exactly, is
// added, as its decimal digits.
//
// Layout, in this machine's byte order: a BinaryRecordHeader, then the pairs
// of the arrows, the lines and the DAG as VertexPair (two int32: an arrow
// [tail, head], a line [smaller, larger]), then the digits.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "graph/edge_matrix.hpp"
#include "graph/essential_graph.hpp"
#include "graph/mixed_graph.hpp"
#include "graph/ordered_dag.hpp"
#include "sampler/record_layout.hpp"
#include "sampler/sample_run.hpp"

namespace pellimor {

struct BinaryRecordHeader {
    std::int64_t arrows = 0;
    std::int64_t lines = 0;
    std::int64_t dag = -1;         // -1: no DAG (the walk, or not asked for)
    std::int64_t size_digits = 0;  // 0: the statistics' class size is exact
};

// The record of a walk's sample (the essential graph m it reached), and of
// an exact sample (the kept class, vertex v named label[v]); with
// RecordGraphs::NONE, the exact class size alone where needed (label unread,
// and may be empty).
void append_binary_walk_record(std::string& out, const RecordLayout& layout,
                               const SampleResult& result, const EdgeMatrix& m);
void append_binary_exact_record(std::string& out, const RecordLayout& layout,
                                const SampleResult& result, const OrderedDag& dag,
                                const EssentialGraph& eg, std::span<const int> label);

// A record read back; the views point into the record's text.
struct BinaryRecordView {
    std::span<const VertexPair> arrows;
    std::span<const VertexPair> lines;
    std::span<const VertexPair> dag;
    bool has_dag = false;
    std::string_view size_digits;  // empty: the statistics' class size is exact
};

// `record` must be aligned for int64 (a std::string's own buffer is).
BinaryRecordView read_binary_record(std::string_view record);

// Whether a class size held as a double is the exact whole number: below
// 2^53 every whole number is a double (a class size is a whole number).
bool exact_as_double(double size);

}  // namespace pellimor
