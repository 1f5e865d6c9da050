#pragma once

// A mixed graph as an n x n adjacency matrix, in the three conventions the
// field's libraries use (row i, column j is the cell [i, j]):
//   AMAT         [i, j] = 1 for an arrow i -> j, a line 1 both ways: networkx's
//                digraph with a line as two opposite arcs;
//   AMAT_PCALG   the transpose: [j, i] = 1 for i -> j, a line 1 both ways, as
//                the CPDAG matrices of R's pcalg;
//   AMAT_SIGNED  [i, j] = -1 and [j, i] = 1 for i -> j, -1 both ways for a
//                line, as causal-learn's general graphs.
// As text (the amat, amat-pcalg and amat-signed formats): one row a line,
// cells separated by commas (or semicolons, tabs or blanks), with an
// optional first row of names and an optional first column of names; cells
// are -1, 0 or 1 (also written 1.0 or 1.000e+00). Without names the vertices
// are named 0 .. n-1. Written: a header row of names after an empty corner
// cell, and each row led by its name.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "graph/named_graph.hpp"

namespace pellimor {

enum class MatrixConvention { AMAT, AMAT_PCALG, AMAT_SIGNED };

// The graph of the n x n matrix `cells` (row by row; n = names.size()) in
// `convention`. Cell pairs that are no edge in the convention, a diagonal
// that is not 0, and values other than -1, 0, 1 are refused with GraphError
// naming the vertices, and the line of row i when row_places[i] is given.
NamedGraph graph_from_matrix(std::vector<std::string> names, std::span<const int> cells,
                             MatrixConvention convention,
                             std::span<const std::int64_t> row_places = {});

// The n x n matrix of g in `convention`, row by row.
std::vector<int> matrix_of_graph(const MixedGraph& g, MatrixConvention convention);

// A matrix read from text, before any convention applies.
struct MatrixText {
    std::vector<std::string> names;  // from the header or the first column, else 0 .. n-1
    std::vector<int> cells;          // n x n, row by row
    std::vector<std::int64_t> row_lines;
};

// Throws GraphError: rows of different lengths, a matrix that is not
// square, a cell that is not -1, 0 or 1, names that differ between the
// header and the first column.
MatrixText read_matrix_text(std::string_view text);

// The convention the cells themselves settle: AMAT_SIGNED when a cell is
// -1; AMAT when every cell is 0 or 1 and the matrix is symmetric (only
// lines: AMAT and AMAT_PCALG read it alike); else nothing.
std::optional<MatrixConvention> convention_of_cells(std::span<const int> cells);

NamedGraph read_matrix(std::string_view text, MatrixConvention convention);
void append_matrix(std::string& out, const NamedGraph& g, MatrixConvention convention);

}  // namespace pellimor
