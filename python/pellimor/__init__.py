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
from ._graphs import CONVENTIONS, _Graph, _text
from ._run import Run, SampledClass

__all__ = ["counts", "sample", "Run", "SampledClass", "essential_graph", "class_size",
           "sample_dags", "list_dags", "CONVENTIONS"]


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
    makes a table of the rows. Counts that do not fit in memory raise
    MemoryError before any is made.
    """
    args = ["--count"] + (["--edges"] if by_edges else []) + ["--", _number(n)]
    return _core.counts(args)


def sample(n_vars: int, samples: int, *, method: str = "exact", seed: int | None = None,
           threads: int | None = None, edges: int | None = None,
           mean_degree: float | None = None, max_edges: int | None = None,
           moves: int | None = None, start: str = "empty", graphs: bool = True,
           force: bool = False) -> Run:
    """Random essential graphs (Markov equivalence classes) on n_vars
    vertices, from the engine of the command line, returned as a Run.

    method="exact" (`pellimor --exact`) draws independent, exactly uniform
    classes; edges=E keeps to the classes with exactly E edges (arrows and
    lines), mean_degree=D to those with round(D * n_vars / 2). method="walk"
    (the classic walk, `pellimor n_vars moves samples`) takes `moves` per
    walk from `start` ("empty" or "exact"), and max_edges=E keeps it to the
    classes with at most E edges.

    The same seed and arguments give the same classes and the same summary
    as the command line (`pellimor --exact --stats --seed S ...`), for any
    number of threads (default: every usable CPU). Without a seed one is
    drawn afresh; run.seed holds it. Vees are always counted (as --stats
    does).

    With graphs=True each class has its arrows and lines, and for the exact
    method the DAG drawn for it; graphs=False keeps the statistics alone,
    which is faster. force=True runs an edges= draw that is expected to take
    more than an hour instead of refusing it.

    Sampling releases the GIL. Ctrl-C raises KeyboardInterrupt, with every
    worker thread stopped. Bad arguments raise ValueError with the command
    line's message; a run that does not fit in memory, or that runs out of
    it on its way, MemoryError.
    """
    if method not in ("exact", "walk"):
        raise ValueError(f"method must be 'exact' or 'walk', got {method!r}")
    args = ["--exact"] if method == "exact" else []
    args.append("--stats")
    options = (("--seed", seed), ("--threads", threads), ("--edges", edges),
               ("--mean-degree", mean_degree), ("--max-edges", max_edges))
    for flag, value in options:
        if value is not None:
            args += [flag, _text(value)]
    if start != "empty":
        args += ["--start", _text(start)]
    if method == "walk":
        if moves is None:
            raise ValueError("the walk needs moves=, the moves of each walk")
        positional = [n_vars, moves, samples]
    else:
        if moves is not None:
            raise ValueError("moves= is for the walk (method='walk'); the exact method draws "
                             "each class directly")
        positional = [n_vars, samples]
    args += ["--"] + [_text(value) for value in positional]
    core = _core.sample(args, graphs=bool(graphs), force=bool(force))
    if core["warning"]:
        import warnings

        warnings.warn(core["warning"].strip(), RuntimeWarning, stacklevel=2)
    return Run(core)


def essential_graph(graph: Any, convention: str | None = None) -> Any:
    """The essential graph (CPDAG) of a user's graph, as `pellimor --class`
    finds it: of a DAG (a graph of arrows alone) its essential graph; a
    graph with lines must itself be an essential graph, by the complete test.

    `graph` is a networkx.DiGraph or networkx.Graph, or an n x n numpy array
    or pandas DataFrame with `convention` named ("amat", "amat-pcalg" or
    "amat-signed"; see the module pellimor._graphs). The result is of the
    same kind: a networkx.DiGraph on the same nodes (an arrow one arc, a line
    two opposite arcs, each arc with type "arrow" or "line"), or a matrix in
    the same convention (int8; a DataFrame with the same labels).

    Raises ValueError, with the command line's message, for a graph that is
    neither: a directed cycle, a self-loop, a chain component that is not
    chordal, an arrow that is not strongly protected, a forbidden
    configuration, with the vertices by name.
    """
    return _Graph(graph, convention).essential()


def class_size(graph: Any, convention: str | None = None) -> int:
    """The number of DAGs in the Markov equivalence class of a user's graph
    (a DAG, or an essential graph), exactly, as a Python int of any size.
    `graph` and `convention` as for essential_graph; raises ValueError as
    it does."""
    return _Graph(graph, convention).core.class_size()


def sample_dags(graph: Any, count: int, *, convention: str | None = None, seed: int | None = None,
                threads: int | None = None) -> Any:
    """`count` DAGs drawn uniformly and independently from the class of a
    user's graph, as `pellimor --class FILE --draw count --seed seed` draws
    them: the same DAGs in the same order for the same seed, for any number
    of threads (default: every usable CPU). Without a seed one is drawn
    afresh; give one to repeat the draws.

    For a networkx graph a list of networkx.DiGraph on its nodes; for a
    matrix an int8 array of shape (count, n, n) in its convention (far
    faster for many DAGs of a large class: networkx takes about 2 us an
    edge). The GIL is released while drawing; Ctrl-C raises
    KeyboardInterrupt. DAGs that would not fit in the memory the process can
    still have raise MemoryError, saying how much, before any is drawn.
    """
    drawn = _Graph(graph, convention)
    args = ["--class", "-", "--draw", _text(count)]
    if seed is not None:
        args += ["--seed", _text(seed)]
    if threads is not None:
        args += ["--threads", _text(threads)]
    _, dags = drawn.core.draw(args, drawn.bytes_per_dag())
    return drawn.dags(dags)


def list_dags(graph: Any, max_dags: int | None = None, *, convention: str | None = None) -> Any:
    """Every DAG of the class of a user's graph, each once, in the order of
    `pellimor --class FILE --list [--max max_dags]` (the time between two
    stays polynomial in the graph). Without max_dags a class of more than
    10**7 DAGs is refused with ValueError, before any is made. Returned as
    sample_dags returns them, with the same memory check. Ctrl-C raises
    KeyboardInterrupt.
    """
    listed = _Graph(graph, convention)
    args = ["--class", "-", "--list"]
    if max_dags is not None:
        args += ["--max", _text(max_dags)]
    return listed.dags(listed.core.list(args, listed.bytes_per_dag()))
