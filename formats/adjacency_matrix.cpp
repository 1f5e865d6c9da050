#include "formats/adjacency_matrix.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "graph/graph_error.hpp"

namespace pellimor {

namespace {

std::size_t at(int v) {
    return static_cast<std::size_t>(v);
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') {
        s = s.substr(1, s.size() - 2);
    }
    return s;
}

// -1, 0 or 1, also as "1.0" or "1.000e+00"; nothing for other text.
std::optional<int> cell_value(std::string_view s) {
    double value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || error != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    if (value == 0 || value == 1 || value == -1) {
        return static_cast<int>(value);
    }
    return 2;  // a number, but not one a cell may hold
}

std::vector<std::string_view> split_row(std::string_view line, char delimiter) {
    std::vector<std::string_view> cells;
    if (delimiter != ' ') {
        for (std::size_t start = 0;;) {
            const auto end = line.find(delimiter, start);
            cells.push_back(trimmed(line.substr(start, end - start)));
            if (end == std::string_view::npos) {
                break;
            }
            start = end + 1;
        }
        return cells;
    }
    for (std::size_t i = 0; i < line.size();) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) {
            ++i;
        }
        const std::size_t from = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            ++i;
        }
        if (i > from) {
            cells.push_back(trimmed(line.substr(from, i - from)));
        }
    }
    return cells;
}

std::string cell_name(const std::vector<std::string>& names, int i, int j) {
    return "[" + names[at(i)] + ", " + names[at(j)] + "]";
}

}  // namespace

NamedGraph graph_from_matrix(std::vector<std::string> names, std::span<const int> cells,
                             MatrixConvention convention,
                             std::span<const std::int64_t> row_places) {
    const int n = static_cast<int>(names.size());
    if (cells.size() != at(n) * at(n)) {
        throw GraphError("matrix: " + std::to_string(cells.size()) + " cells for " +
                         std::to_string(n) + " vertices; expected " + std::to_string(n) + " x " +
                         std::to_string(n));
    }
    NamedGraph g;
    g.names = std::move(names);
    g.graph.n = n;
    auto cell = [&](int i, int j) { return cells[at(i) * at(n) + at(j)]; };
    auto where = [&](int i) {
        return at(i) < row_places.size() ? "line " + std::to_string(row_places[at(i)]) + ": "
                                         : std::string();
    };
    auto place = [&](int i) {
        return at(i) < row_places.size() ? row_places[at(i)] : std::int64_t{0};
    };
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const int value = cell(i, j);
            if (value != 0 && value != 1 && value != -1) {
                throw GraphError(where(i) + "the cell " + cell_name(g.names, i, j) + " is " +
                                 std::to_string(value) + "; cells are -1, 0 or 1");
            }
        }
        if (cell(i, i) != 0) {
            throw GraphError(where(i) + "self-loop: the diagonal cell " + cell_name(g.names, i, i) +
                             " is not 0");
        }
    }
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const int x = cell(i, j);
            const int y = cell(j, i);
            if (x == 0 && y == 0) {
                continue;
            }
            // x, y as read for i -> j, j -> i and a line.
            int arrow_ij[2] = {1, 0};
            int arrow_ji[2] = {0, 1};
            int line[2] = {1, 1};
            const char* name = "amat";
            if (convention == MatrixConvention::AMAT_PCALG) {
                std::swap(arrow_ij, arrow_ji);
                name = "amat-pcalg";
            } else if (convention == MatrixConvention::AMAT_SIGNED) {
                arrow_ij[0] = -1;
                arrow_ij[1] = 1;
                arrow_ji[0] = 1;
                arrow_ji[1] = -1;
                line[0] = line[1] = -1;
                name = "amat-signed";
            }
            if (x == arrow_ij[0] && y == arrow_ij[1]) {
                g.graph.arrows.push_back(VertexPair{i, j});
                g.arrow_places.push_back(place(i));
            } else if (x == arrow_ji[0] && y == arrow_ji[1]) {
                g.graph.arrows.push_back(VertexPair{j, i});
                g.arrow_places.push_back(place(i));
            } else if (x == line[0] && y == line[1]) {
                g.graph.lines.push_back(VertexPair{i, j});
                g.line_places.push_back(place(i));
            } else {
                throw GraphError(where(i) + "the cells " + cell_name(g.names, i, j) + " = " +
                                 std::to_string(x) + " and " + cell_name(g.names, j, i) + " = " +
                                 std::to_string(y) + " are no edge in the " + name + " convention");
            }
        }
    }
    check_simple(g);
    return g;
}

std::vector<int> matrix_of_graph(const MixedGraph& g, MatrixConvention convention) {
    const int n = g.n;
    std::vector<int> cells(at(n) * at(n), 0);
    auto cell = [&](int i, int j) -> int& { return cells[at(i) * at(n) + at(j)]; };
    for (const VertexPair& a : g.arrows) {
        switch (convention) {
            case MatrixConvention::AMAT:
                cell(a.from, a.to) = 1;
                break;
            case MatrixConvention::AMAT_PCALG:
                cell(a.to, a.from) = 1;
                break;
            case MatrixConvention::AMAT_SIGNED:
                cell(a.from, a.to) = -1;
                cell(a.to, a.from) = 1;
                break;
        }
    }
    const int mark = convention == MatrixConvention::AMAT_SIGNED ? -1 : 1;
    for (const VertexPair& l : g.lines) {
        cell(l.from, l.to) = mark;
        cell(l.to, l.from) = mark;
    }
    return cells;
}

MatrixText read_matrix_text(std::string_view text) {
    std::vector<std::string_view> lines;
    std::vector<std::int64_t> numbers;
    std::int64_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!trimmed(line).empty()) {
            lines.push_back(line);
            numbers.push_back(number);
        }
    }
    MatrixText m;
    if (lines.empty()) {
        return m;
    }
    char delimiter = ' ';
    for (const char d : {',', ';', '\t'}) {
        if (lines[0].find(d) != std::string_view::npos) {
            delimiter = d;
            break;
        }
    }
    std::vector<std::vector<std::string_view>> rows;
    for (const std::string_view line : lines) {
        rows.push_back(split_row(line, delimiter));
    }
    // A header: a first row with a cell that is not a number, or an empty
    // first cell (the corner above a column of names).
    bool has_header = !rows[0].empty() && rows[0][0].empty();
    for (const std::string_view c : rows[0]) {
        has_header = has_header || (!c.empty() && !cell_value(c));
    }
    std::vector<std::string_view> header;
    const std::size_t first = has_header ? 1 : 0;
    if (has_header) {
        header = rows[0];
    }
    const std::size_t n = rows.size() - first;
    // Row names: rows one cell wider than the matrix is high.
    const bool row_names = n > 0 && rows[first].size() == n + 1;
    if (has_header && header.size() == n + 1) {
        header.erase(header.begin());  // the corner cell
    }
    for (std::size_t r = first; r < rows.size(); ++r) {
        if (rows[r].size() != n + (row_names ? 1 : 0)) {
            throw GraphError("line " + std::to_string(numbers[r]) + ": " +
                             std::to_string(rows[r].size()) + " cells in a matrix of " +
                             std::to_string(n) + " rows; an adjacency matrix is square" +
                             (row_names ? " (with a name before each row)" : ""));
        }
        m.names.emplace_back(row_names ? std::string(rows[r][0]) : std::string());
        for (std::size_t c = row_names ? 1 : 0; c < rows[r].size(); ++c) {
            const auto value = cell_value(rows[r][c]);
            if (!value || *value == 2) {
                throw GraphError("line " + std::to_string(numbers[r]) + ": the cell '" +
                                 std::string(rows[r][c]) + "' is not -1, 0 or 1");
            }
            m.cells.push_back(*value);
        }
        m.row_lines.push_back(numbers[r]);
    }
    if (has_header && header.size() != n) {
        throw GraphError("line " + std::to_string(numbers[0]) + ": " +
                         std::to_string(header.size()) + " names for " + std::to_string(n) +
                         " rows");
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (has_header && row_names && header[i] != m.names[i]) {
            throw GraphError("line " + std::to_string(m.row_lines[i]) + ": the row's name '" +
                             m.names[i] + "' differs from the column's, '" +
                             std::string(header[i]) + "'");
        }
        if (has_header) {
            m.names[i] = std::string(header[i]);
        } else if (!row_names) {
            m.names[i] = std::to_string(i);
        }
    }
    return m;
}

std::optional<MatrixConvention> convention_of_cells(std::span<const int> cells) {
    if (std::find(cells.begin(), cells.end(), -1) != cells.end()) {
        return MatrixConvention::AMAT_SIGNED;
    }
    const auto n =
        static_cast<std::size_t>(std::lround(std::sqrt(static_cast<double>(cells.size()))));
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (cells[i * n + j] != cells[j * n + i]) {
                return std::nullopt;
            }
        }
    }
    return MatrixConvention::AMAT;
}

NamedGraph read_matrix(std::string_view text, MatrixConvention convention) {
    MatrixText m = read_matrix_text(text);
    return graph_from_matrix(std::move(m.names), m.cells, convention, m.row_lines);
}

void append_matrix(std::string& out, const NamedGraph& g, MatrixConvention convention) {
    const int n = g.graph.n;
    for (const std::string& name : g.names) {
        if (name.find_first_of(",\"\n\r") != std::string::npos || name.empty()) {
            throw GraphError("the vertex name '" + name +
                             "' cannot be written in a matrix's header, where names have no "
                             "commas, quotes or line breaks; choose another format with --to");
        }
    }
    const std::vector<int> cells = matrix_of_graph(g.graph, convention);
    for (int j = 0; j < n; ++j) {
        out += ',';
        out += g.names[at(j)];
    }
    out += '\n';
    for (int i = 0; i < n; ++i) {
        out += g.names[at(i)];
        for (int j = 0; j < n; ++j) {
            const int value = cells[at(i) * at(n) + at(j)];
            out += value < 0 ? ",-1" : value > 0 ? ",1" : ",0";
        }
        out += '\n';
    }
}

}  // namespace pellimor
