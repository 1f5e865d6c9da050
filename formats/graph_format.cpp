#include "formats/graph_format.hpp"

#include <algorithm>
#include <cctype>

#include "formats/adjacency_matrix.hpp"
#include "formats/edge_list.hpp"
#include "formats/json_graph.hpp"
#include "graph/graph_error.hpp"

namespace pellimor {

namespace {

constexpr GraphFormat all_formats[] = {GraphFormat::EDGES, GraphFormat::JSON, GraphFormat::AMAT,
                                       GraphFormat::AMAT_PCALG, GraphFormat::AMAT_SIGNED};

std::string lower_extension(std::string_view file_name) {
    const auto slash = file_name.rfind('/');
    const auto dot = file_name.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return "";
    }
    std::string ext(file_name.substr(dot));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// Whether some line, comments aside, has "->" or "--" as a token of its own.
bool has_edge_marks(std::string_view text) {
    for (std::size_t start = 0; start < text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        line = line.substr(0, line.find('#'));
        for (std::size_t at = line.find_first_of("-"); at != std::string_view::npos;
             at = line.find('-', at + 1)) {
            const bool mark = at + 1 < line.size() && (line[at + 1] == '>' || line[at + 1] == '-');
            const bool before = at == 0 || line[at - 1] == ' ' || line[at - 1] == '\t';
            const bool after = at + 2 >= line.size() || line[at + 2] == ' ' ||
                               line[at + 2] == '\t' || line[at + 2] == '\r';
            if (mark && before && after) {
                return true;
            }
        }
    }
    return false;
}

MatrixConvention convention_of(GraphFormat format) {
    return format == GraphFormat::AMAT         ? MatrixConvention::AMAT
           : format == GraphFormat::AMAT_PCALG ? MatrixConvention::AMAT_PCALG
                                               : MatrixConvention::AMAT_SIGNED;
}

GraphFormat format_of(MatrixConvention convention) {
    return convention == MatrixConvention::AMAT         ? GraphFormat::AMAT
           : convention == MatrixConvention::AMAT_PCALG ? GraphFormat::AMAT_PCALG
                                                        : GraphFormat::AMAT_SIGNED;
}

}  // namespace

std::string_view graph_format_name(GraphFormat format) {
    return graph_format_names[static_cast<std::size_t>(format)];
}

std::optional<GraphFormat> graph_format_named(std::string_view name) {
    for (const GraphFormat format : all_formats) {
        if (graph_format_name(format) == name) {
            return format;
        }
    }
    return std::nullopt;
}

GraphFormat detect_graph_format(std::string_view file_name, std::string_view text) {
    const std::string ext = lower_extension(file_name);
    const auto first = text.find_first_not_of(" \t\r\n");
    if (ext == ".json" || ext == ".jsonl" ||
        (first != std::string_view::npos && text[first] == '{')) {
        return GraphFormat::JSON;
    }
    const bool matrix_name = ext == ".csv" || ext == ".tsv";
    if (!matrix_name && has_edge_marks(text)) {
        return GraphFormat::EDGES;
    }
    MatrixText matrix;
    try {
        matrix = read_matrix_text(text);
    } catch (const GraphError& error) {
        if (matrix_name) {
            throw;
        }
        return GraphFormat::EDGES;  // names alone: isolated vertices
    }
    if (matrix.names.empty()) {
        if (matrix_name) {
            throw GraphError("the matrix is empty");
        }
        return GraphFormat::EDGES;
    }
    if (const auto convention = convention_of_cells(matrix.cells)) {
        return format_of(*convention);
    }
    throw GraphError(
        "the adjacency matrix has arrows, which amat and amat-pcalg read in opposite "
        "directions: give --format amat (row i, column j is 1 for i -> j, as networkx) or "
        "--format amat-pcalg (the transpose, as pcalg's CPDAGs)");
}

NamedGraph read_graph(std::string_view text, GraphFormat format) {
    switch (format) {
        case GraphFormat::EDGES:
            return read_edge_list(text);
        case GraphFormat::JSON:
            return read_json_graph(text);
        default:
            return read_matrix(text, convention_of(format));
    }
}

void append_graph(std::string& out, const NamedGraph& g, GraphFormat format) {
    switch (format) {
        case GraphFormat::EDGES:
            append_edge_list(out, g);
            return;
        case GraphFormat::JSON:
            append_json_graph(out, g);
            return;
        default:
            append_matrix(out, g, convention_of(format));
            return;
    }
}

std::string_view graph_separator(GraphFormat format) {
    return format == GraphFormat::JSON ? "" : "\n";
}

}  // namespace pellimor
