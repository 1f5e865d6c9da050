#include "formats/dag_writer.hpp"

#include <cstring>
#include <nlohmann/json.hpp>

#include "formats/edge_list.hpp"
#include "graph/graph_error.hpp"

namespace pellimor {

namespace {

std::string json_string(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

DagWriter::DagWriter(const NamedGraph& essential, GraphFormat format)
    : essential_(&essential), format_(format) {
    const NamedGraph& g = essential;
    const auto& names = g.names;
    auto name = [&](int v) -> const std::string& { return names[static_cast<std::size_t>(v)]; };
    if (format == GraphFormat::EDGES) {
        // As append_edge_list writes the DAG: its isolated vertices (those of
        // the essential graph), its arrows (the fixed ones, then the lines).
        check_edge_list_names(g);
        std::vector<char> has_edge(names.size(), 0);
        for (const auto* edges : {&g.graph.arrows, &g.graph.lines}) {
            for (const VertexPair& e : *edges) {
                has_edge[static_cast<std::size_t>(e.from)] = 1;
                has_edge[static_cast<std::size_t>(e.to)] = 1;
            }
        }
        for (std::size_t v = 0; v < names.size(); ++v) {
            if (has_edge[v] == 0) {
                head_ += names[v] + "\n";
            }
        }
        for (const VertexPair& a : g.graph.arrows) {
            head_ += name(a.from) + " -> " + name(a.to) + "\n";
        }
        for (const VertexPair& l : g.graph.lines) {
            cut_.push_back(pieces_.size());
            pieces_ += name(l.from) + " -> " + name(l.to) + "\n";
            cut_.push_back(pieces_.size());
            pieces_ += name(l.to) + " -> " + name(l.from) + "\n";
        }
        cut_.push_back(pieces_.size());
        length_ = head_.size() + pieces_.size() / 2;
        return;
    }
    if (format == GraphFormat::JSON) {
        const bool index_names = has_index_names(g);
        // Built by appending: GCC 12 warns (wrongly, -Wrestrict) about
        // inlined operator+ chains.
        auto pair_text = [&](int from, int to) {
            std::string text;
            if (index_names) {
                text += '[';
                text += std::to_string(from);
                text += ',';
                text += std::to_string(to);
                text += ']';
                return text;
            }
            text += "{\"from\":";
            text += json_string(name(from));
            text += ",\"to\":";
            text += json_string(name(to));
            text += ",\"type\":\"arrow\"}";
            return text;
        };
        if (index_names) {
            head_ = "{\"n_vars\":" + std::to_string(g.graph.n) + ",\"arrows\":[";
            tail_ = "],\"lines\":[]}\n";
        } else {
            head_ = "{\"nodes\":[";
            for (std::size_t v = 0; v < names.size(); ++v) {
                if (v > 0) {
                    head_ += ',';
                }
                head_ += json_string(names[v]);
            }
            head_ += "],\"edges\":[";
            tail_ = "]}\n";
        }
        for (std::size_t i = 0; i < g.graph.arrows.size(); ++i) {
            if (i > 0) {
                head_ += ',';
            }
            head_ += pair_text(g.graph.arrows[i].from, g.graph.arrows[i].to);
        }
        comma_before_lines_ = !g.graph.arrows.empty();
        for (const VertexPair& l : g.graph.lines) {
            cut_.push_back(pieces_.size());
            pieces_ += pair_text(l.from, l.to);
            cut_.push_back(pieces_.size());
            pieces_ += pair_text(l.to, l.from);
        }
        cut_.push_back(pieces_.size());
        const std::size_t lines = g.graph.lines.size();
        const std::size_t commas = lines == 0 ? 0 : lines - (comma_before_lines_ ? 0 : 1);
        length_ = head_.size() + pieces_.size() / 2 + commas + tail_.size();
        return;
    }
    // A matrix: checked here, written whole for each DAG.
    std::string probe;
    NamedGraph empty;
    empty.names = names;
    empty.graph.n = g.graph.n;
    append_graph(probe, empty, format);
}

void DagWriter::append(std::string& out, std::span<const int> position, bool first) const {
    const NamedGraph& g = *essential_;
    if (!first) {
        out += graph_separator(format_);
    }
    if (format_ != GraphFormat::EDGES && format_ != GraphFormat::JSON) {
        NamedGraph dag;
        dag.names = g.names;
        dag.graph.n = g.graph.n;
        dag.graph.arrows = g.graph.arrows;
        for (const VertexPair& l : g.graph.lines) {
            const bool forward = position[static_cast<std::size_t>(l.from)] <
                                 position[static_cast<std::size_t>(l.to)];
            dag.graph.arrows.push_back(forward ? l : VertexPair{l.to, l.from});
        }
        append_graph(out, dag, format_);
        return;
    }
    // A line's text has the same length both ways, so a DAG's text has a
    // fixed length: sized once, then copied piece by piece.
    const bool json = format_ == GraphFormat::JSON;
    const std::size_t lines = g.graph.lines.size();
    const std::size_t start = out.size();
    out.resize(start + length_);
    char* at = out.data() + start;
    std::memcpy(at, head_.data(), head_.size());
    at += head_.size();
    const char* pieces = pieces_.data();
    const int* place = position.data();
    for (std::size_t i = 0; i < lines; ++i) {
        const VertexPair& l = g.graph.lines[i];
        const bool forward = place[l.from] < place[l.to];
        const std::size_t from = cut_[2 * i + (forward ? 0 : 1)];
        const std::size_t size = cut_[2 * i + 1] - cut_[2 * i];
        if (json && (i > 0 || comma_before_lines_)) {
            *at++ = ',';
        }
        std::memcpy(at, pieces + from, size);
        at += size;
    }
    std::memcpy(at, tail_.data(), tail_.size());
}

}  // namespace pellimor
