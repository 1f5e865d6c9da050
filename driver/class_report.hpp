#pragma once

// What `pellimor --class` reports about a user's graph and its class: as
// text, and as the JSON document of --json.

#include <nlohmann/json.hpp>
#include <string>

#include "formats/graph_format.hpp"
#include "graph/equivalence_class.hpp"
#include "graph/graph_class.hpp"
#include "stats/run_info.hpp"

namespace pellimor {

// At most this many vees are listed in the JSON document (all are counted).
inline constexpr std::size_t max_listed_vees = 1'000'000;

struct ClassSummary {
    std::string input;  // the file as given, "-" for standard input
    GraphFormat format = GraphFormat::EDGES;
    InputKind kind = InputKind::DAG;
    std::int64_t input_arrows = 0;
    std::int64_t input_lines = 0;
    const NamedGraph* essential = nullptr;
    const EquivalenceClass* members = nullptr;
    Vees vees;
};

// A few lines: the input, the essential graph's arrows, lines and vees, its
// chain components of two or more vertices, the class size with all its
// digits and its base-10 logarithm.
std::string class_report_text(const ClassSummary& s);

// The same as JSON: the input's kind, the essential graph as "arrows" and
// "lines" (pairs of names), the vees and chain components by name, and
// "class_size" as a string of digits.
nlohmann::ordered_json class_report_json(const ClassSummary& s, const Provenance& provenance);

}  // namespace pellimor
