"""A user's own graph: essential_graph, class_size, sample_dags, list_dags
against `pellimor --class FILE`."""

import math
import re

import networkx as nx
import numpy as np
import pandas as pd
import pytest

import pellimor

# A DAG whose essential graph has a chordal chain component of five vertices
# and a vee into f.
DAG = nx.DiGraph([("a", "b"), ("b", "c"), ("a", "c"), ("c", "d"), ("a", "d"), ("d", "e"),
                  ("b", "f"), ("e", "f")])


def edges_file(tmp_path, graph):
    """The graph in the edges format, for the command line: two opposite
    arcs are a line."""
    path = tmp_path / "graph.txt"
    lines = [f"{u} -- {v}" if graph.has_edge(v, u) else f"{u} -> {v}"
             for u, v in graph.edges if not (graph.has_edge(v, u) and str(u) > str(v))]
    path.write_text("\n".join(lines) + "\n")
    return path


def read_dags(text):
    """The DAGs the command line wrote in the edges format: arc sets."""
    return [{tuple(line.split(" -> ")) for line in block.splitlines() if line}
            for block in text.strip().split("\n\n")]


@pytest.mark.parametrize("args, threads", [(["--draw", "300", "--seed", "11"], 1),
                                           (["--draw", "300", "--seed", "11"], 3),
                                           (["--list", "--max", "50"], None)])
def test_dags_are_the_command_lines(cli, tmp_path, args, threads):
    done = cli("--class", edges_file(tmp_path, DAG), "--to", "edges", *args)
    assert done.returncode == 0, done.stderr
    if args[0] == "--draw":
        dags = pellimor.sample_dags(DAG, 300, seed=11, threads=threads)
    else:
        dags = pellimor.list_dags(DAG, 50)
    assert [set(d.edges) for d in dags] == read_dags(done.stdout)
    assert all(nx.is_directed_acyclic_graph(d) and set(d.nodes) == set(DAG.nodes) for d in dags)


def test_class_size_is_exact_past_64_bits():
    clique = nx.complete_graph(25)  # all lines: 25! orientations
    assert pellimor.class_size(clique) == math.factorial(25)


def by_convention(graph, convention):
    """The matrix of a graph whose arcs carry type "arrow" or "line" (or a
    DAG), in a convention as the field's libraries write it."""
    nodes = list(graph.nodes)
    n = len(nodes)
    m = np.zeros((n, n), dtype=int)
    for u, v, kind in graph.edges(data="type", default="arrow"):
        i, j = nodes.index(u), nodes.index(v)
        if convention == "amat":
            m[i, j] = 1
        elif convention == "amat-pcalg":
            m[j, i] = 1
        elif kind == "line":
            m[i, j] = m[j, i] = -1
        else:
            m[i, j], m[j, i] = -1, 1
    return m


@pytest.mark.parametrize("convention, frame", [("amat", False), ("amat-pcalg", False),
                                               ("amat-signed", True)])
def test_matrices_in_each_convention_agree_with_networkx(convention, frame):
    matrix = by_convention(DAG, convention)
    given = pd.DataFrame(matrix, index=list(DAG), columns=list(DAG)) if frame else matrix
    essential = pellimor.essential_graph(given, convention=convention)
    expected = by_convention(pellimor.essential_graph(DAG), convention)
    if frame:
        assert list(essential.columns) == list(DAG) and list(essential.index) == list(DAG)
        essential = essential.to_numpy()
    assert (essential == expected).all()
    dags = pellimor.sample_dags(given, 20, convention=convention, seed=5)
    assert [(m == by_convention(d, convention)).all() for m, d in
            zip(dags, pellimor.sample_dags(DAG, 20, seed=5))] == [True] * 20


# An essential graph is its own class's; R's pcalg stores the transpose of
# the usual matrix: [j, i] = 1 for i -> j. Here a -> c <- b, c -> d, e -- f.
def test_an_essential_graph_is_its_own_class():
    pcalg = np.zeros((6, 6), dtype=int)
    pcalg[2, 0] = pcalg[2, 1] = pcalg[3, 2] = pcalg[4, 5] = pcalg[5, 4] = 1
    assert (pellimor.essential_graph(pcalg, convention="amat-pcalg") == pcalg).all()
    assert pellimor.class_size(pcalg, convention="amat-pcalg") == 2
    graph = pellimor.essential_graph(DAG)
    assert set(pellimor.essential_graph(graph).edges(data="type")) == set(
        graph.edges(data="type"))
    assert pellimor.class_size(graph) == pellimor.class_size(DAG) == len(
        pellimor.list_dags(graph))


@pytest.mark.parametrize("edges, extra", [
    ([("a", "b"), ("b", "c"), ("c", "a")], []),                  # a directed cycle
    ([("a", "b"), ("b", "c"), ("c", "b")], []),                  # not a CPDAG
    ([(i, j) for i in range(11) for j in range(11) if i != j], ["--list"]),  # > 10**7 DAGs
    ([("a", "b")], ["--draw", "0"]),
])
def test_refusals_raise_the_command_lines_message(cli, tmp_path, edges, extra):
    graph = nx.DiGraph(edges)
    done = cli("--class", edges_file(tmp_path, graph), *extra)
    assert done.returncode == 2
    # Less the file's name, and the lines of the edges, which a graph in
    # memory does not have.
    expected = done.stderr.splitlines()[0].removeprefix("pellimor: ")
    expected = expected.removeprefix(f"'{tmp_path / 'graph.txt'}': ")
    expected = re.sub(r" \(lines? [0-9, ]+\)", "", expected)
    with pytest.raises(ValueError) as raised:
        if "--list" in extra:
            pellimor.list_dags(graph)
        elif "--draw" in extra:
            pellimor.sample_dags(graph, int(extra[1]))
        else:
            pellimor.essential_graph(graph)
    assert str(raised.value) == expected
