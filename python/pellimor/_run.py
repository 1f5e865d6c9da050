"""The result of pellimor.sample: the run's summary and its classes.

The classes' statistics and graphs are held column by column in numpy
arrays, made once by the compiled core without a Python object per class or
per edge; a SampledClass is a view of one row, made when asked for.
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Iterator, Sequence, overload

import numpy as np

if TYPE_CHECKING:
    import networkx
    import pandas

# The statistics of each class, named as in the records of --samples.
STATISTICS = ("sample", "connected", "edge_count", "line_count", "arrow_count", "vee_count",
              "chain_components", "largest_chain_component", "class_size", "log10_class_size")


class SampledClass:
    """One sampled class (an essential graph): its graph and its statistics.

    `arrows` and `lines` are numpy int32 arrays of shape (k, 2): an arrow
    [tail, head], a line [smaller, larger]. `dag` is the DAG drawn for the
    class (a uniformly random member of it) as arrows, for the exact method;
    None for the walk. All three are None when the run was sampled with
    graphs=False. The statistics: sample (its number, from 1), connected,
    edge_count, line_count, arrow_count, vee_count (v-structures),
    chain_components (with at least two vertices), largest_chain_component,
    class_size (the number of DAGs in the class, an exact int) and
    log10_class_size.
    """

    __slots__ = ("_run", "_index")

    def __init__(self, run: Run, index: int) -> None:
        self._run = run
        self._index = index

    def _edges(self, name: str) -> np.ndarray | None:
        graphs = self._run._graphs
        if graphs is None or graphs[name] is None:
            return None
        offsets = graphs[name + "_offsets"]
        return graphs[name][offsets[self._index]:offsets[self._index + 1]]

    @property
    def n_vars(self) -> int:
        """The number of vertices."""
        return self._run.n_vars

    @property
    def arrows(self) -> np.ndarray | None:
        """The arrows (directed edges) [tail, head], shape (k, 2)."""
        return self._edges("arrows")

    @property
    def lines(self) -> np.ndarray | None:
        """The lines (undirected edges) [smaller, larger], shape (k, 2)."""
        return self._edges("lines")

    @property
    def dag(self) -> np.ndarray | None:
        """The arrows of the DAG drawn for the class (the exact method)."""
        return self._edges("dag")

    @property
    def sample(self) -> int:
        """The sample's number, from 1."""
        return int(self._run._columns["sample"][self._index])

    @property
    def connected(self) -> bool:
        """Whether the skeleton is connected."""
        return bool(self._run._columns["connected"][self._index])

    @property
    def edge_count(self) -> int:
        """Adjacent pairs: arrows and lines."""
        return int(self._run._columns["edge_count"][self._index])

    @property
    def line_count(self) -> int:
        """Lines (undirected edges)."""
        return int(self._run._columns["line_count"][self._index])

    @property
    def arrow_count(self) -> int:
        """Arrows (directed edges)."""
        return int(self._run._columns["arrow_count"][self._index])

    @property
    def vee_count(self) -> int:
        """Vees (v-structures: x -> z <- y, x and y not adjacent)."""
        return int(self._run._columns["vee_count"][self._index])

    @property
    def chain_components(self) -> int:
        """Chain components (of the lines) with at least two vertices."""
        return int(self._run._columns["chain_components"][self._index])

    @property
    def largest_chain_component(self) -> int:
        """Vertices of the largest chain component (1 without lines)."""
        return int(self._run._columns["largest_chain_component"][self._index])

    @property
    def class_size(self) -> int:
        """The number of DAGs in the class, exactly."""
        return self._run._class_size(self._index)

    @property
    def log10_class_size(self) -> float:
        """The base-10 logarithm of the class size."""
        return float(self._run._columns["log10_class_size"][self._index])

    def statistics(self) -> dict[str, Any]:
        """The statistics as a dict, keys as in the records of --samples."""
        return {name: getattr(self, name) for name in STATISTICS}

    def to_networkx(self, dag: bool = False) -> networkx.DiGraph:
        """The essential graph as a networkx.DiGraph on the vertices 0 ..
        n_vars - 1: an arrow as one arc, a line as two opposite arcs, each
        arc with the attribute type = "arrow" or "line". With dag=True the
        DAG drawn for the class instead, as plain arcs."""
        import networkx

        arrows = self.dag if dag else self.arrows
        if arrows is None:
            raise ValueError("this class has no graph: " + (
                "the walk draws no DAG" if self._run._graphs is not None else
                "the run was sampled with graphs=False"))
        graph = networkx.DiGraph()
        graph.add_nodes_from(range(self.n_vars))
        if dag:
            graph.add_edges_from(arrows.tolist())  # a DAG: arrows alone, no attribute needed
            return graph
        graph.add_edges_from(arrows.tolist(), type="arrow")
        lines = self.lines.tolist()
        graph.add_edges_from(lines, type="line")
        graph.add_edges_from(((b, a) for a, b in lines), type="line")
        return graph

    def __repr__(self) -> str:
        return (f"<class of sample {self.sample}: {self.arrow_count} arrows, "
                f"{self.line_count} lines, size {self.class_size}>")


class Classes(Sequence[SampledClass]):
    """The sampled classes of a run, in sample order."""

    __slots__ = ("_run",)

    def __init__(self, run: Run) -> None:
        self._run = run

    def __len__(self) -> int:
        return len(self._run._columns["sample"])

    @overload
    def __getitem__(self, index: int) -> SampledClass: ...

    @overload
    def __getitem__(self, index: slice) -> list[SampledClass]: ...

    def __getitem__(self, index):
        if isinstance(index, slice):
            return [SampledClass(self._run, i) for i in range(*index.indices(len(self)))]
        count = len(self)
        if index < 0:
            index += count
        if not 0 <= index < count:
            raise IndexError("class index out of range")
        return SampledClass(self._run, index)

    def __iter__(self) -> Iterator[SampledClass]:
        return (SampledClass(self._run, i) for i in range(len(self)))


class Run:
    """A finished run of pellimor.sample.

    `summary` is a dict with the keys and values of the JSON that --json
    writes for the same arguments and seed (`summary_text` is the text of
    --summary). `classes` holds the sampled
    classes in sample order (all of them, also when the run was stopped
    early: `complete` tells). `seed` is the run seed, also when it was drawn
    afresh, so that the run can be repeated.
    """

    def __init__(self, core: dict[str, Any]) -> None:
        self.summary: dict[str, Any] = core["summary"]
        self.seed: int = core["seed"]
        self.n_vars: int = core["n_vars"]
        self.complete: bool = core["complete"]
        self.command_line: str = core["command_line"]
        self.summary_text: str = core["summary_text"]
        self._columns: dict[str, np.ndarray] = core["columns"]
        # Class sizes past 2^53, which the column of doubles does not hold
        # exactly, by index.
        self._exact_sizes: dict[int, int] = core["exact_sizes"]
        self._graphs: dict[str, Any] | None = core["graphs"]
        self.classes = Classes(self)

    def _class_size(self, index: int) -> int:
        exact = self._exact_sizes.get(index)
        if exact is not None:
            return exact
        return int(self._columns["class_size"][index])

    def to_frame(self) -> pandas.DataFrame:
        """One row per class with its statistics (the columns named as in
        the records of --samples), as a pandas DataFrame indexed by sample.
        class_size holds exact Python ints (an object column)."""
        import pandas

        columns: dict[str, Any] = {}
        for name in STATISTICS:
            if name == "class_size":
                sizes = self._columns[name]
                exact = np.where(sizes < 2.0**53, sizes, 0).astype(np.int64).tolist()
                for index, size in self._exact_sizes.items():
                    exact[index] = size
                columns[name] = pandas.Series(exact, dtype=object)
            else:
                columns[name] = self._columns[name]
        return pandas.DataFrame(columns).set_index("sample")

    def __repr__(self) -> str:
        return (f"<pellimor run: {len(self.classes)} classes on {self.n_vars} vertices, "
                f"seed {self.seed}{'' if self.complete else ', stopped early'}>")
