#pragma once

// The command line of `pellimor --class FILE`: a user's own graph, its
// essential graph, its class size, DAGs drawn from its class or all of them.
//
//   pellimor --class FILE [--format F] [--json FILE] [--out FILE [--to F]]
//   pellimor --class FILE [--format F] --draw K [--seed S] [--threads N] [--out FILE] [--to F]
//   pellimor --class FILE [--format F] --list [--max M] [--out FILE] [--to F]
//
// (--json also with --draw and --list.) FILE "-" is standard input, as is
// --out -, the default for --draw and --list.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "formats/graph_format.hpp"

namespace pellimor {

struct ClassOptions {
    std::string input;                  // --class FILE, "-" for standard input
    std::optional<GraphFormat> format;  // --format; else detected
    std::optional<std::int64_t> draw;   // --draw K: K uniform DAGs of the class
    bool list = false;                  // --list: every DAG of the class
    std::optional<std::int64_t> max;    // --max M: list at most M
    std::optional<std::uint64_t> seed;  // --seed S for --draw
    std::optional<int> threads;         // --threads N for --draw
    std::optional<std::string> out;     // --out FILE: the DAGs, or the essential graph
    std::optional<GraphFormat> to;      // --to F: their format (default: the input's)
    std::optional<std::string> json;    // --json FILE: the report as JSON
    bool operator==(const ClassOptions&) const = default;
};

// The most DAGs --list writes without --max.
inline constexpr std::int64_t max_listed_without_max = 10'000'000;

inline constexpr std::string_view class_usage_line =
    "\n pellimor --class FILE [--draw K] [--list] [--out FILE] [--json FILE] \n";

// True when the arguments (before a "--") ask for --class.
bool is_class_command(std::span<const std::string_view> args);

// Parses the arguments after the program name of a --class command. Throws
// UsageError (driver/command_line.hpp).
ClassOptions parse_class_command_line(std::span<const std::string_view> args);

}  // namespace pellimor
