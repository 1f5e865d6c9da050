#pragma once

// What each --samples record holds and how it is written: one JSON object
// per line (JSON Lines) or one row of tab-separated values under a header
// line (TSV); with the sample's statistics alone, or also its essential
// graph (arrows and lines), or also the DAG drawn for it. A third format,
// binary (sampler/binary_record.hpp), hands the graphs to a caller in the
// same process.

namespace pellimor {

enum class RecordFormat { JSON_LINES, TSV, BINARY };

enum class RecordGraphs { NONE, ESSENTIAL, ESSENTIAL_AND_DAG };

struct RecordLayout {
    RecordFormat format = RecordFormat::JSON_LINES;
    RecordGraphs graphs = RecordGraphs::ESSENTIAL_AND_DAG;

    bool operator==(const RecordLayout&) const = default;
};

}  // namespace pellimor
