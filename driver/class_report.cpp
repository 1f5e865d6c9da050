#include "driver/class_report.hpp"

#include <algorithm>
#include <charconv>

namespace pellimor {

namespace {

std::string plural(std::int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string shortest(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// "3 (sizes 5, 3, 2 x 4)": sizes from the largest, repeats counted.
std::string component_sizes(const EquivalenceClass& c) {
    std::vector<int> sizes;
    for (int i = 0; i < c.component_count(); ++i) {
        sizes.push_back(static_cast<int>(c.component_vertices(i).size()));
    }
    if (sizes.empty()) {
        return "none";
    }
    if (sizes.size() == 1) {
        return "1 (" + std::to_string(sizes[0]) + " vertices)";
    }
    std::sort(sizes.rbegin(), sizes.rend());
    std::string text = std::to_string(sizes.size()) + " (sizes ";
    for (std::size_t i = 0; i < sizes.size();) {
        std::size_t j = i;
        while (j < sizes.size() && sizes[j] == sizes[i]) {
            ++j;
        }
        text += i > 0 ? ", " : "";
        text += std::to_string(sizes[i]);
        if (j - i > 1) {
            text += " x " + std::to_string(j - i);
        }
        i = j;
    }
    return text + ")";
}

}  // namespace

std::string class_report_text(const ClassSummary& s) {
    const NamedGraph& e = *s.essential;
    const auto n = static_cast<std::int64_t>(e.names.size());
    const std::string source = s.input == "-" ? "standard input" : "'" + s.input + "'";
    std::string text = "input: ";
    if (s.kind == InputKind::DAG) {
        text += "a DAG (only arrows) with " + plural(n, "vertex", "vertices") + " and " +
                plural(s.input_arrows, "arrow", "arrows");
    } else {
        text += "a CPDAG (essential graph) with " + plural(n, "vertex", "vertices") + ", " +
                plural(s.input_arrows, "arrow", "arrows") + " and " +
                plural(s.input_lines, "line", "lines");
    }
    text += ", read from " + source + " as " + std::string(graph_format_name(s.format)) + "\n";
    const auto arrows = static_cast<std::int64_t>(e.graph.arrows.size());
    const auto lines = static_cast<std::int64_t>(e.graph.lines.size());
    text +=
        "essential graph: " + plural(arrows, "arrow (directed edge)", "arrows (directed edges)") +
        ", " + plural(lines, "line (undirected edge)", "lines (undirected edges)") + ", " +
        plural(s.vees.count, "vee (v-structure)", "vees (v-structures)") + "\n";
    text += "chain components with 2 or more vertices: " + component_sizes(*s.members) + "\n";
    const std::string size = s.members->size().get_str();
    text += "class size: " + size + (size == "1" ? " DAG\n" : " DAGs\n");
    text += "log10 of the class size: " + shortest(s.members->log10_size()) + "\n";
    return text;
}

nlohmann::ordered_json class_report_json(const ClassSummary& s, const Provenance& provenance) {
    using json = nlohmann::ordered_json;
    const NamedGraph& e = *s.essential;
    auto name = [&](int v) -> const std::string& { return e.names[static_cast<std::size_t>(v)]; };
    json arrows = json::array();
    for (const VertexPair& a : e.graph.arrows) {
        arrows.push_back({name(a.from), name(a.to)});
    }
    json lines = json::array();
    for (const VertexPair& l : e.graph.lines) {
        lines.push_back({name(l.from), name(l.to)});
    }
    json vees = nullptr;
    if (s.vees.count == static_cast<std::int64_t>(s.vees.listed.size())) {
        vees = json::array();
        for (const Vee& v : s.vees.listed) {
            vees.push_back({name(v.a), name(v.head), name(v.b)});
        }
    }
    json components = json::array();
    for (int i = 0; i < s.members->component_count(); ++i) {
        json names = json::array();
        for (const int v : s.members->component_vertices(i)) {
            names.push_back(name(v));
        }
        components.push_back(std::move(names));
    }
    json input;
    input["file"] = s.input;
    input["format"] = graph_format_name(s.format);
    input["kind"] = s.kind == InputKind::DAG ? "dag" : "cpdag";
    input["vertices"] = e.names.size();
    input["arrows"] = s.input_arrows;
    input["lines"] = s.input_lines;
    json j;
    j["mode"] = "class";
    j["version"] = provenance.version;
    j["command_line"] = provenance.command_line;
    j["started_at"] = provenance.started_at;
    j["input"] = std::move(input);
    j["vertices"] = e.names;
    j["arrows"] = std::move(arrows);
    j["lines"] = std::move(lines);
    j["vee_count"] = s.vees.count;
    j["vees"] = std::move(vees);
    j["chain_components"] = std::move(components);
    j["class_size"] = s.members->size().get_str();
    j["log10_class_size"] = s.members->log10_size();
    return j;
}

}  // namespace pellimor
