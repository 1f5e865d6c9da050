#include "driver/class_command_line.hpp"

#include <algorithm>
#include <limits>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/output_target.hpp"

namespace pellimor {

namespace {

constexpr std::string_view class_options[] = {"--class", "--format",  "--draw", "--list", "--max",
                                              "--seed",  "--threads", "--out",  "--to",   "--json"};

std::string quoted(std::string_view text) {
    std::string result = "'";
    result += text;
    result += '\'';
    return result;
}

std::string format_list() {
    std::string names;
    for (const std::string_view name : graph_format_names) {
        names += names.empty() ? "" : ", ";
        names += name;
    }
    return names;
}

GraphFormat parse_format(std::string_view option, std::string_view text) {
    if (const auto format = graph_format_named(text)) {
        return *format;
    }
    throw UsageError(std::string(option) + " must be one of " + format_list() + ", got " +
                     quoted(text));
}

std::int64_t parse_count(std::string_view option, std::string_view text) {
    const auto value = parse_whole_number(text);
    constexpr auto largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (!value || *value < 1 || *value > largest) {
        throw UsageError(std::string(option) + " must be a whole number from 1 to " +
                         std::to_string(largest) + ", got " + quoted(text));
    }
    return static_cast<std::int64_t>(*value);
}

}  // namespace

bool is_class_command(std::span<const std::string_view> args) {
    for (const std::string_view arg : args) {
        if (arg == "--") {
            return false;
        }
        if (arg == "--class" || arg.starts_with("--class=")) {
            return true;
        }
    }
    return false;
}

ClassOptions parse_class_command_line(std::span<const std::string_view> args) {
    ClassOptions options;
    std::vector<std::string_view> given;
    bool has_input = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!arg.starts_with("--") || arg == "--") {
            throw UsageError("--class takes no other arguments than options, got " + quoted(arg) +
                             " (see --help)");
        }
        const OptionWord word = split_option(arg, given);
        const std::string_view name = word.name;
        std::optional<std::string_view> value = word.value;
        const bool known = std::find(std::begin(class_options), std::end(class_options), name) !=
                           std::end(class_options);
        if (!known) {
            const auto best = nearest_option(name, class_options);
            std::string message = std::string(name) + " does not apply to --class";
            if (best) {
                message += " (did you mean " + std::string(*best) + "?)";
            }
            throw UsageError(message + "; see --help");
        }
        if (name == "--list") {
            if (value) {
                throw UsageError("--list takes no value, got " + quoted(arg));
            }
            options.list = true;
            continue;
        }
        // The others take a value; a value is never an argument that starts
        // with "--" ("-" alone is standard input or output).
        if (!value) {
            if (i + 1 >= args.size() || args[i + 1].starts_with("--")) {
                throw UsageError(std::string(name) + " needs a value");
            }
            value = args[++i];
        }
        const std::string_view text = *value;
        if (name == "--class") {
            if (text.empty()) {
                throw UsageError("--class needs a file name, or - for standard input");
            }
            options.input = std::string(text);
            has_input = true;
        } else if (name == "--format") {
            options.format = parse_format(name, text);
        } else if (name == "--to") {
            options.to = parse_format(name, text);
        } else if (name == "--draw") {
            options.draw = parse_count(name, text);
        } else if (name == "--max") {
            options.max = parse_count(name, text);
        } else if (name == "--seed") {
            const auto seed = parse_whole_number(text);
            if (!seed) {
                throw UsageError("--seed must be a whole number from 0 to " +
                                 std::to_string(std::numeric_limits<std::uint64_t>::max()) +
                                 ", got " + quoted(text));
            }
            options.seed = *seed;
        } else if (name == "--threads") {
            const auto threads = parse_whole_number(text);
            if (!threads || *threads < 1 || *threads > 1024) {
                throw UsageError("--threads must be a whole number from 1 to 1024, got " +
                                 quoted(text));
            }
            options.threads = static_cast<int>(*threads);
        } else if (name == "--out" || name == "--json") {
            if (text.empty()) {
                throw UsageError(std::string(name) +
                                 " needs a file name, or - for standard output");
            }
            (name == "--out" ? options.out : options.json) = std::string(text);
        }
    }
    if (!has_input) {
        throw UsageError("--class needs a file name, or - for standard input");
    }
    if (options.draw && options.list) {
        throw UsageError("--draw and --list exclude each other");
    }
    if (options.max && !options.list) {
        throw UsageError("--max applies to --list only");
    }
    if ((options.seed || options.threads) && !options.draw) {
        throw UsageError(std::string(options.seed ? "--seed" : "--threads") +
                         " applies to --draw only");
    }
    if (options.to && !options.out && !options.draw && !options.list) {
        throw UsageError(
            "--to gives the format of --out, --draw or --list; with neither, "
            "nothing is written in it");
    }
    // The DAGs of --draw and --list go to standard output unless --out says
    // otherwise.
    const std::string graphs = options.out ? *options.out : "-";
    if ((options.out || options.draw || options.list) && options.json &&
        same_output_file(graphs, *options.json)) {
        throw UsageError(graphs == "-" ? std::string("--json - and the graphs would both go to "
                                                     "standard output; give --out FILE or "
                                                     "--json FILE")
                                       : "--out and --json name the same file, " + quoted(graphs) +
                                             "; give each its own");
    }
    for (const auto& [name, target] : {std::pair{"--out", options.out}, {"--json", options.json}}) {
        if (target && *target != "-" && options.input != "-" &&
            same_output_file(*target, options.input)) {
            throw UsageError(std::string(name) + " names the input file, " + quoted(*target) +
                             "; write to another file");
        }
    }
    return options;
}

}  // namespace pellimor
