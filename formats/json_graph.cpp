#include "formats/json_graph.hpp"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <unordered_map>

#include "graph/graph_error.hpp"

namespace pellimor {

namespace {

using nlohmann::json;

std::string shown(const json& value) {
    std::string text = value.dump();
    return text.size() > 60 ? text.substr(0, 57) + "..." : text;
}

// A node's name: a string, a number's text, or an object's "id".
std::string node_name(const json& node, std::size_t i) {
    const json& id = node.is_object() && node.contains("id") ? node["id"] : node;
    if (id.is_string()) {
        return id.get<std::string>();
    }
    if (id.is_number_integer() || id.is_number_unsigned()) {
        return id.dump();
    }
    throw GraphError("JSON: node " + std::to_string(i + 1) +
                     " must be a name (a string or a whole number) or an object with an \"id\", "
                     "got " +
                     shown(node));
}

NamedGraph read_nodes_and_edges(const json& doc) {
    NamedGraph g;
    g.arrow_place_word = g.line_place_word = "edge";
    const json& nodes = doc["nodes"];
    if (!nodes.is_array()) {
        throw GraphError("JSON: \"nodes\" must be a list of vertex names");
    }
    std::unordered_map<std::string, int> index;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        std::string name = node_name(nodes[i], i);
        if (!index.emplace(name, static_cast<int>(i)).second) {
            throw GraphError("JSON: the vertex '" + name + "' is listed twice in \"nodes\"");
        }
        g.names.push_back(std::move(name));
    }
    g.graph.n = static_cast<int>(g.names.size());
    const json empty = json::array();
    const json& edges = doc.contains("edges") ? doc["edges"] : empty;
    if (!edges.is_array()) {
        throw GraphError("JSON: \"edges\" must be a list of {\"from\", \"to\", \"type\"}");
    }
    for (std::size_t i = 0; i < edges.size(); ++i) {
        const json& e = edges[i];
        const std::string where = "JSON: edge " + std::to_string(i + 1);
        if (!e.is_object() || !e.contains("from") || !e.contains("to") || !e.contains("type")) {
            throw GraphError(where + " must be an object with \"from\", \"to\" and \"type\", got " +
                             shown(e));
        }
        auto end = [&](const char* key) {
            const json& name = e[key];
            const std::string text = name.is_string() ? name.get<std::string>() : name.dump();
            const auto it = index.find(text);
            if (it == index.end()) {
                throw GraphError(where + ": unknown vertex '" + text + "' (not in \"nodes\")");
            }
            return it->second;
        };
        const VertexPair pair{end("from"), end("to")};
        const json& type = e["type"];
        const auto place = static_cast<std::int64_t>(i + 1);
        if (type == "arrow") {
            g.graph.arrows.push_back(pair);
            g.arrow_places.push_back(place);
        } else if (type == "line") {
            g.graph.lines.push_back(pair);
            g.line_places.push_back(place);
        } else {
            throw GraphError(where + ": \"type\" must be \"arrow\" or \"line\", got " +
                             shown(type));
        }
    }
    return g;
}

NamedGraph read_record(const json& doc) {
    const json& n_vars = doc["n_vars"];
    if (!n_vars.is_number_integer() || n_vars.get<std::int64_t>() < 0 ||
        n_vars.get<std::int64_t>() > std::numeric_limits<int>::max()) {
        throw GraphError("JSON: \"n_vars\" must be a whole number >= 0, got " + shown(n_vars));
    }
    MixedGraph m;
    m.n = n_vars.get<int>();
    NamedGraph g = with_index_names(std::move(m));
    g.arrow_place_word = "arrows entry";
    g.line_place_word = "lines entry";
    auto read_pairs = [&](const char* key, std::vector<VertexPair>& pairs,
                          std::vector<std::int64_t>& places) {
        if (!doc.contains(key)) {
            return;
        }
        const json& list = doc[key];
        if (!list.is_array()) {
            throw GraphError(std::string("JSON: \"") + key +
                             "\" must be a list of [from, to] pairs");
        }
        for (std::size_t i = 0; i < list.size(); ++i) {
            const json& p = list[i];
            const std::string where =
                std::string("JSON: entry ") + std::to_string(i + 1) + " of \"" + key + "\"";
            if (!p.is_array() || p.size() != 2 || !p[0].is_number_integer() ||
                !p[1].is_number_integer()) {
                throw GraphError(where + " must be a pair of vertex numbers, got " + shown(p));
            }
            int ends[2];
            for (int k = 0; k < 2; ++k) {
                const auto v = p[static_cast<std::size_t>(k)].get<std::int64_t>();
                if (v < 0 || v >= g.graph.n) {
                    throw GraphError(
                        where + ": unknown vertex " + std::to_string(v) +
                        " (vertices are 0 to n_vars - 1 = " + std::to_string(g.graph.n - 1) + ")");
                }
                ends[k] = static_cast<int>(v);
            }
            pairs.push_back(VertexPair{ends[0], ends[1]});
            places.push_back(static_cast<std::int64_t>(i + 1));
        }
    };
    read_pairs("arrows", g.graph.arrows, g.arrow_places);
    read_pairs("lines", g.graph.lines, g.line_places);
    return g;
}

// The text with every number past the range of a double in quotes, or
// nothing when it has none. The parser refuses such numbers, and a --samples
// record may hold one: its class size, a whole number with all its digits.
// Quoted, a number is kept as its text: the fields a graph is read from
// refuse it as they refuse any string; the others are not read.
std::optional<std::string> quote_huge_numbers(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool in_string = false;
    bool quoted = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (in_string || c == '"') {
            out += c;
            if (in_string && c == '\\' && i + 1 < text.size()) {
                out += text[++i];
            } else if (c == '"') {
                in_string = !in_string;
            }
            ++i;
            continue;
        }
        if (c != '-' && (c < '0' || c > '9')) {
            out += c;
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < text.size() &&
               ((text[end] >= '0' && text[end] <= '9') || text[end] == '.' || text[end] == 'e' ||
                text[end] == 'E' || text[end] == '+' || text[end] == '-')) {
            ++end;
        }
        const std::string number(text.substr(i, end - i));
        if (std::isinf(std::strtod(number.c_str(), nullptr))) {
            out += '"' + number + '"';
            quoted = true;
        } else {
            out += number;
        }
        i = end;
    }
    return quoted ? std::optional<std::string>(std::move(out)) : std::nullopt;
}

}  // namespace

NamedGraph read_json_graph(std::string_view input) {
    json doc = json::parse(input, nullptr, false);
    std::optional<std::string> quoted;
    if (doc.is_discarded() && (quoted = quote_huge_numbers(input))) {
        doc = json::parse(*quoted, nullptr, false);
    }
    const std::string_view text = quoted ? std::string_view(*quoted) : input;
    if (doc.is_discarded()) {
        // One graph per file: a JSON Lines file of several is refused as such.
        const auto first_end = text.find('\n', text.find_first_not_of(" \t\r\n"));
        if (first_end != std::string_view::npos &&
            !json::parse(text.substr(0, first_end), nullptr, false).is_discarded()) {
            throw GraphError(
                "JSON: the input holds more than one graph (JSON Lines); give one graph, for "
                "example one line of the file");
        }
        try {
            const json again = json::parse(text);  // throws: the parser's message
            (void)again;
        } catch (const json::exception& error) {
            throw GraphError(std::string("JSON: ") + error.what());
        }
    }
    if (!doc.is_object()) {
        throw GraphError(
            "JSON: expected an object with \"nodes\" and \"edges\", or with "
            "\"n_vars\", \"arrows\" and \"lines\"");
    }
    NamedGraph g;
    if (doc.contains("nodes")) {
        g = read_nodes_and_edges(doc);
    } else if (doc.contains("n_vars")) {
        g = read_record(doc);
    } else {
        throw GraphError(
            "JSON: expected an object with \"nodes\" and \"edges\", or with "
            "\"n_vars\", \"arrows\" and \"lines\"");
    }
    check_simple(g);
    return g;
}

void append_json_graph(std::string& out, const NamedGraph& g) {
    using ordered = nlohmann::ordered_json;  // keys in the order written
    auto pair = [&](const VertexPair& e) { return ordered::array({e.from, e.to}); };
    ordered doc;
    if (has_index_names(g)) {
        doc["n_vars"] = g.graph.n;
        doc["arrows"] = ordered::array();
        doc["lines"] = ordered::array();
        for (const VertexPair& e : g.graph.arrows) {
            doc["arrows"].push_back(pair(e));
        }
        for (const VertexPair& e : g.graph.lines) {
            doc["lines"].push_back(pair(e));
        }
    } else {
        doc["nodes"] = g.names;
        doc["edges"] = ordered::array();
        auto edge = [&](const VertexPair& e, const char* type) {
            ordered entry;
            entry["from"] = g.names[static_cast<std::size_t>(e.from)];
            entry["to"] = g.names[static_cast<std::size_t>(e.to)];
            entry["type"] = type;
            doc["edges"].push_back(std::move(entry));
        };
        for (const VertexPair& e : g.graph.arrows) {
            edge(e, "arrow");
        }
        for (const VertexPair& e : g.graph.lines) {
            edge(e, "line");
        }
    }
    out += doc.dump(-1, ' ', false, ordered::error_handler_t::replace);
    out += '\n';
}

}  // namespace pellimor
