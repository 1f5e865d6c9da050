"""A user's own graph, as `pellimor --class FILE` reads it: its essential
graph (CPDAG), its exact class size, uniform DAGs drawn from its class and
all of its DAGs.

A graph is given as a networkx graph or as an adjacency matrix with its
convention named:

- networkx.DiGraph: an arc u -> v is an arrow, unless v -> u is an arc too
  (then the two are one line), or its attribute "type" says "arrow" or
  "line" (as the graphs this module returns carry). networkx.Graph: every
  edge is a line. Vertices keep their node objects; messages name them by
  str(node).
- numpy array or pandas DataFrame (n x n), with convention=
  "amat"        [i, j] = 1 for an arrow i -> j, a line 1 both ways
                (networkx's digraph with a line as two opposite arcs);
  "amat-pcalg"  the transpose: [j, i] = 1 for i -> j, a line 1 both ways
                (the CPDAG matrices of R's pcalg);
  "amat-signed" [i, j] = -1 and [j, i] = 1 for i -> j, -1 both ways for a
                line (causal-learn's general graphs).
  A DataFrame's columns name the vertices.
"""

from __future__ import annotations

from typing import Any

import numpy as np

from . import _core

CONVENTIONS = ("amat", "amat-pcalg", "amat-signed")


class _Graph:
    """A user's graph read: its class (the core's), and how to give graphs
    back in the kind the user gave."""

    def __init__(self, graph: Any, convention: str | None) -> None:
        if hasattr(graph, "is_directed") and hasattr(graph, "adj"):
            self._read_networkx(graph, convention)
        else:
            self._read_matrix(graph, convention)

    def _read_networkx(self, graph: Any, convention: str | None) -> None:
        if convention is not None:
            raise ValueError("convention applies to matrices, not to networkx graphs")
        if graph.is_multigraph():
            raise ValueError("a multigraph has parallel edges: give a networkx DiGraph or Graph")
        self.kind = "networkx"
        self.nodes = list(graph.nodes)
        names = [str(v) for v in self.nodes]
        if len(set(names)) != len(names):
            name = next(n for n in names if names.count(n) > 1)
            raise ValueError(f"two vertices are both named '{name}'")
        index = {v: i for i, v in enumerate(self.nodes)}
        arrows: list[tuple[int, int]] = []
        lines: list[tuple[int, int]] = []
        directed = graph.is_directed()
        for u, v, data in graph.edges(data=True):
            kind = data.get("type")
            if kind is None:
                kind = "line" if not directed or graph.has_edge(v, u) else "arrow"
            if kind == "arrow":
                arrows.append((index[u], index[v]))
            elif kind == "line":
                # Two opposite arcs are one line: kept from its first arc.
                back = directed and graph.has_edge(v, u) and graph[v][u].get("type",
                                                                             "line") == "line"
                if not (back and index[u] > index[v]):
                    lines.append((index[u], index[v]))
            else:
                raise ValueError(f"the edge {u} -> {v} has type '{kind}'; types are 'arrow' "
                                 "and 'line'")
        self.core = _core.UserClass.of_edges(names, _pairs(arrows), _pairs(lines))

    def _read_matrix(self, graph: Any, convention: str | None) -> None:
        if convention is None:
            raise ValueError("a matrix needs its convention: convention='amat' ([i, j] = 1 for "
                             "an arrow i -> j, a line 1 both ways), 'amat-pcalg' (the transpose) "
                             "or 'amat-signed' ([i, j] = -1 and [j, i] = 1 for i -> j, -1 both "
                             "ways for a line)")
        self.labels = None
        if hasattr(graph, "columns") and hasattr(graph, "to_numpy"):
            self.kind = "frame"
            self.labels = list(graph.columns)
            matrix = graph.to_numpy()
        else:
            self.kind = "matrix"
            matrix = np.asarray(graph)
        if matrix.ndim != 2 or matrix.shape[0] != matrix.shape[1]:
            raise ValueError(f"an adjacency matrix is square; got shape {matrix.shape}")
        n = matrix.shape[0]
        names = [str(c) for c in self.labels] if self.labels is not None else [
            str(i) for i in range(n)]
        # As the matrix files' reader says of a cell it cannot take.
        allowed = np.isin(matrix, (-1, 0, 1))
        if not allowed.all():
            i, j = np.argwhere(~allowed)[0]
            raise ValueError(f"the cell [{names[i]}, {names[j]}] is {matrix[i, j]}; cells are "
                             "-1, 0 or 1")
        cells = matrix.astype(np.intc)
        self.convention = convention
        self.core = _core.UserClass.of_matrix(names, cells, convention)

    def essential(self) -> Any:
        """The essential graph, in the kind the user gave."""
        if self.kind == "networkx":
            return self._digraph(self.core.arrows(), self.core.lines())
        return self._matrix(self.core.matrices(self.convention))

    def dags(self, dags: np.ndarray) -> Any:
        """DAGs (shape (k, m, 2)) in the kind the user gave: a list of
        networkx.DiGraph (plain arcs), or matrices of shape (k, n, n)."""
        if self.kind == "networkx":
            return [self._digraph(dag, None) for dag in dags]
        return self.core.matrices(self.convention, dags)

    def bytes_per_dag(self) -> float:
        """About what one DAG returned takes, for the memory check: an n x n
        int8 matrix, or a networkx.DiGraph (measured: about 330 bytes a node
        and 150 an arc)."""
        n = self.core.n_vars
        if self.kind == "networkx":
            return 330.0 * n + 150.0 * (len(self.core.arrows()) + len(self.core.lines()))
        return float(n) * n

    def _digraph(self, arrows: np.ndarray, lines: np.ndarray | None) -> Any:
        import networkx

        graph = networkx.DiGraph()
        graph.add_nodes_from(self.nodes)
        nodes = self.nodes
        arcs = [(nodes[a], nodes[b]) for a, b in arrows.tolist()]
        if lines is None:
            graph.add_edges_from(arcs)  # a DAG: arrows alone, no attribute needed
            return graph
        graph.add_edges_from(arcs, type="arrow")
        for a, b in lines.tolist():
            graph.add_edge(nodes[a], nodes[b], type="line")
            graph.add_edge(nodes[b], nodes[a], type="line")
        return graph

    def _matrix(self, matrix: np.ndarray) -> Any:
        if self.kind == "frame":
            import pandas

            return pandas.DataFrame(matrix, index=self.labels, columns=self.labels)
        return matrix


def _pairs(pairs: list[tuple[int, int]]) -> np.ndarray:
    return np.array(pairs, dtype=np.int32).reshape(-1, 2)


def _text(value: Any) -> str:
    """A value as the command line would be given it."""
    return repr(value) if isinstance(value, bool) else str(value)
