"""pellimor.sample against `pellimor --stats --json FILE --samples FILE`."""

import json

import networkx as nx
import numpy as np
import pytest

import pellimor

# Keys of the JSON that differ by nature: how the run was called and timed.
# A walk's mixing check draws its exact reference for a share of the walks'
# time, so what depends on the reference differs too.
CALLED = {"command_line", "started_at", "seconds", "threads", "version"}


def command_line_run(cli, tmp_path, args):
    """The summary and the records of the program run with `args`."""
    summary, records = tmp_path / "run.json", tmp_path / "run.jsonl"
    done = cli("--stats", "--no-results", "--json", summary, "--samples", records, *args)
    assert done.returncode == 0, done.stderr
    return (json.loads(summary.read_text()),
            [json.loads(line) for line in records.read_text().splitlines()])


def pairs(array):
    return array.tolist()


# Each method and bound, on one thread and on three (samples are made out of
# order, handed back in order). The walks are short: their mixing check warns.
@pytest.mark.filterwarnings("ignore::RuntimeWarning")
@pytest.mark.parametrize("threads", [1, 3])
@pytest.mark.parametrize("kwargs, args", [
    (dict(), ["--exact", "9", "400"]),
    (dict(edges=7), ["--exact", "--edges", "7", "9", "200"]),
    (dict(method="walk", moves=300), ["9", "300", "200"]),
    (dict(method="walk", moves=50, start="exact", max_edges=8),
     ["--start", "exact", "--max-edges", "8", "9", "50", "200"]),
])
def test_summary_and_classes_are_the_command_lines(cli, tmp_path, threads, kwargs, args):
    expected, records = command_line_run(cli, tmp_path, ["--seed", "17", "--threads", "1", *args])
    samples = int(args[-1])
    run = pellimor.sample(9, samples, seed=17, threads=threads, **kwargs)
    assert run.complete and run.seed == 17
    summary = dict(run.summary)
    for key in CALLED:
        del summary[key], expected[key]
    if kwargs.get("method") == "walk":
        for check in (summary, expected):
            for key in ("reference", "no_reference_reason", "passed"):
                del check["mixing_check"][key]
    assert summary == expected
    assert len(run.classes) == len(records) == samples
    for sampled, record in zip(run.classes, records):
        statistics = sampled.statistics()
        assert [statistics[k] for k in pellimor._run.STATISTICS] == \
            [record[k] for k in pellimor._run.STATISTICS]
        assert pairs(sampled.arrows) == record["arrows"]
        assert pairs(sampled.lines) == record["lines"]
        assert (sampled.dag is None) == ("dag" not in record)
        if sampled.dag is not None:
            assert pairs(sampled.dag) == record["dag"]
    # Without graphs: the same statistics, from the samples' results alone.
    bare = pellimor.sample(9, samples, seed=17, threads=threads, graphs=False, **kwargs)
    assert bare.classes[0].arrows is None
    frame = bare.to_frame()
    assert frame.reset_index().to_dict("records") == [
        {k: r[k] for k in pellimor._run.STATISTICS} for r in records]


# Walks among sparse classes on 300 vertices: forests of lines whose class
# sizes (a product over the trees of their sizes) pass 2^53, where a double
# is no longer exact. Checked against the class size of each class's graph.
@pytest.mark.filterwarnings("ignore::RuntimeWarning")
def test_class_sizes_past_two_to_the_53_are_exact():
    kwargs = dict(method="walk", moves=4000, max_edges=300, seed=3, threads=2)
    run = pellimor.sample(300, 6, **kwargs)
    bare = pellimor.sample(300, 6, graphs=False, **kwargs)
    sizes = [c.class_size for c in run.classes]
    assert max(sizes) > 2**53
    for sampled, size, frame_size in zip(run.classes, sizes, bare.to_frame()["class_size"]):
        assert size == frame_size == pellimor.class_size(sampled.to_networkx())


# The graphs as networkx: the essential graph, and the DAG drawn for it,
# which must be a DAG of that very class.
def test_to_networkx_gives_the_class_and_a_dag_of_it():
    run = pellimor.sample(8, 40, seed=5, threads=1)
    for sampled in run.classes:
        graph = sampled.to_networkx()
        assert sorted(graph.nodes) == list(range(8))
        lines = {frozenset(e) for e in pairs(sampled.lines)}
        assert {frozenset(e) for e, t in nx.get_edge_attributes(graph, "type").items()
                if t == "line"} == lines
        dag = sampled.to_networkx(dag=True)
        assert nx.is_directed_acyclic_graph(dag)
        assert nx.utils.edges_equal(pellimor.essential_graph(dag).edges(data=True),
                                    graph.edges(data=True))
    with pytest.raises(ValueError, match="graphs=False"):
        pellimor.sample(5, 2, seed=1, graphs=False).classes[0].to_networkx()


@pytest.mark.parametrize("kwargs, args", [
    (dict(n_vars=0, samples=10), ["--exact", "--", "0", "10"]),
    (dict(n_vars=5, samples=10, edges=11), ["--exact", "--edges", "11", "5", "10"]),
    (dict(n_vars=5, samples=10, method="walk", moves=10, threads=0),
     ["--threads", "0", "5", "10", "10"]),
    (dict(n_vars=5, samples=10, start="exact"), ["--exact", "--start", "exact", "5", "10"]),
])
def test_bad_arguments_raise_the_command_lines_message(cli_error, kwargs, args):
    expected = cli_error("--stats", "--seed", "1", *args)
    with pytest.raises(ValueError) as raised:
        pellimor.sample(**kwargs, seed=1)
    assert str(raised.value) == expected


def test_arrays_are_numpy_pairs():
    sampled = pellimor.sample(6, 1, seed=2).classes[0]
    for array in (sampled.arrows, sampled.lines, sampled.dag):
        assert isinstance(array, np.ndarray) and array.ndim == 2 and array.shape[1] == 2
        assert np.issubdtype(array.dtype, np.integer)
