"""Markov equivalence classes of DAGs: exact counts, and exactly uniform
random essential graphs (CPDAGs), from the engine of the `pellimor` program.

An essential graph stands for one Markov equivalence class of directed
acyclic graphs. Its edges are *arrows* (directed edges) and *lines*
(undirected edges); a *vee* is a v-structure x -> z <- y with x, y not
adjacent. Vertices are numbered 0 .. n_vars - 1.

Every function takes the same values as the command line and checks them
the same way: bad values raise ValueError with the command line's message.
"""

from __future__ import annotations

from typing import Any

from . import _core

__all__ = ["counts"]


def _number(value: Any) -> str:
    """A value as the command line would be given it."""
    if isinstance(value, bool):
        # True would read as 1.
        return repr(value)
    return str(value)


def counts(n: int, by_edges: bool = False) -> list[dict[str, Any]]:
    """The exact counts of `pellimor --count n`, one dict per row.

    Without `by_edges`, one row for each number of vertices 1 .. n, with the
    columns of `pellimor --count n`: "n"; the counts "dags",
    "essential_dags" (DAGs alone in their class), "essential_graphs" (the
    classes), "connected_essential_graphs" and "connected_essential_dags",
    as exact Python ints (beyond n = 256 as decimal.Decimal values with 12
    significant digits); and the floats "no_lines", "connected",
    "connected_among_no_lines", "no_lines_among_connected",
    "classes_per_dag", "mean_edges" and "variance_edges" (the exact values
    rounded to the nearest double).

    With `by_edges`, the rows of `pellimor --count --edges n`: "n", "edges"
    and "classes", the number of classes on n vertices with that many edges
    (arrows and lines), an exact int. This takes about a minute at n = 90,
    and cannot be interrupted.

    n goes up to 10000 (128 with by_edges). `pandas.DataFrame(counts(n))`
    makes a table of the rows.
    """
    args = ["--count"] + (["--edges"] if by_edges else []) + ["--", _number(n)]
    return _core.counts(args)
