#include "formats/edge_list.hpp"

#include <unordered_map>
#include <vector>

#include "graph/graph_error.hpp"

namespace pellimor {

namespace {

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

void check_edge_list_names(const NamedGraph& g) {
    for (const std::string& name : g.names) {
        const bool plain =
            !name.empty() && name.find_first_of(" \t\r\n\f\v#") == std::string::npos &&
            name.find("->") == std::string::npos && name.find("--") == std::string::npos;
        if (!plain) {
            throw GraphError("the vertex name '" + name +
                             "' cannot be written in the edges format, where a name is a token "
                             "without blanks, '#', '->' or '--'; choose another format with --to");
        }
    }
}

NamedGraph read_edge_list(std::string_view text) {
    NamedGraph g;
    std::unordered_map<std::string_view, int> index;
    auto vertex = [&](std::string_view name) {
        const auto [it, fresh] = index.emplace(name, static_cast<int>(g.names.size()));
        if (fresh) {
            g.names.emplace_back(name);
        }
        return it->second;
    };
    std::string_view tokens[4];
    std::int64_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (const auto hash = line.find('#'); hash != std::string_view::npos) {
            line = line.substr(0, hash);
        }
        int count = 0;
        for (std::size_t i = 0; i < line.size();) {
            while (i < line.size() && blank(line[i])) {
                ++i;
            }
            const std::size_t from = i;
            while (i < line.size() && !blank(line[i])) {
                ++i;
            }
            if (i > from) {
                if (count < 4) {
                    tokens[count] = line.substr(from, i - from);
                }
                ++count;
            }
        }
        auto malformed = [&](const std::string& why) {
            std::string shown(line);
            while (!shown.empty() && blank(shown.back())) {
                shown.pop_back();
            }
            return GraphError("line " + std::to_string(number) + ": " + why + ", got '" + shown +
                              "'");
        };
        if (count == 0) {
            continue;
        }
        if (count == 1) {
            if (tokens[0].find("->") != std::string_view::npos ||
                tokens[0].find("--") != std::string_view::npos) {
                throw malformed("write blanks around the edge, as in 'a -> b' or 'a -- b'");
            }
            vertex(tokens[0]);
            continue;
        }
        auto is_mark = [](std::string_view t) { return t == "->" || t == "--"; };
        if (count != 3 || !is_mark(tokens[1]) || is_mark(tokens[0]) || is_mark(tokens[2])) {
            throw malformed(
                "expected 'a -> b' (an arrow), 'a -- b' (a line) or a vertex name alone");
        }
        const VertexPair edge{vertex(tokens[0]), vertex(tokens[2])};
        if (tokens[1] == "->") {
            g.graph.arrows.push_back(edge);
            g.arrow_places.push_back(number);
        } else {
            g.graph.lines.push_back(edge);
            g.line_places.push_back(number);
        }
    }
    g.graph.n = static_cast<int>(g.names.size());
    check_simple(g);
    return g;
}

void append_edge_list(std::string& out, const NamedGraph& g) {
    check_edge_list_names(g);
    std::vector<char> has_edge(g.names.size(), 0);
    for (const VertexPair& e : g.graph.arrows) {
        has_edge[static_cast<std::size_t>(e.from)] = has_edge[static_cast<std::size_t>(e.to)] = 1;
    }
    for (const VertexPair& e : g.graph.lines) {
        has_edge[static_cast<std::size_t>(e.from)] = has_edge[static_cast<std::size_t>(e.to)] = 1;
    }
    for (std::size_t v = 0; v < g.names.size(); ++v) {
        if (has_edge[v] == 0) {
            out += g.names[v];
            out += '\n';
        }
    }
    auto add = [&](const VertexPair& e, const char* mark) {
        out += g.names[static_cast<std::size_t>(e.from)];
        out += mark;
        out += g.names[static_cast<std::size_t>(e.to)];
        out += '\n';
    };
    for (const VertexPair& e : g.graph.arrows) {
        add(e, " -> ");
    }
    for (const VertexPair& e : g.graph.lines) {
        add(e, " -- ");
    }
}

}  // namespace pellimor
