"""Results held in memory are checked against what the process can still
have before they are made: MemoryError saying what and what to do, instead
of an interpreter the kernel ends later."""

import os
import re
import subprocess
import sys
import textwrap

import pytest

# In a process of its own, under an address-space limit `room` MiB above
# what it holds once the graph is built.
SCRIPT = """
import resource
import networkx as nx
import pellimor
graph = {graph}
size = next(int(line.split()[1]) for line in open("/proc/self/status")
            if line.startswith("VmSize:")) * 1024
resource.setrlimit(resource.RLIMIT_AS, (size + ({room} << 20), resource.RLIM_INFINITY))
try:
    {call}
    print("finished")
except MemoryError as error:
    print("MemoryError:", error)
"""


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizers' shadow memory does not fit under an address-space limit")
@pytest.mark.parametrize("graph, call, room, says", [
    # The essential graph of a DAG on 10^5 vertices: three rows of bits each.
    ("nx.empty_graph(100000, create_using=nx.DiGraph)", "pellimor.essential_graph(graph)", 256,
     "this graph: about 3.5 GiB needed"),
    # 190 arrows as pairs, and as networkx graphs.
    ("nx.complete_graph(20)", "pellimor.sample_dags(graph, 10**4, seed=1)", 256,
     "10000 DAGs of 190 arrows: about 0.34 GiB needed"),
    ("nx.to_numpy_array(nx.complete_graph(12))",
     "pellimor.list_dags(graph, 10**6, convention='amat')", 256,
     "the 1000000 DAGs listed: about 1.1 GiB needed"),
    # GMP, which the counts are made with, would end the interpreter.
    ("None", "pellimor.counts(10000)", 16, "the counts up to n = 10000: about "),
])
def test_results_that_do_not_fit_raise_memory_error_before_they_are_made(graph, call, room, says):
    done = subprocess.run(
        [sys.executable, "-c",
         textwrap.dedent(SCRIPT).format(graph=graph, call=call, room=room)],
        capture_output=True, text=True, timeout=120)
    assert done.stdout.startswith("MemoryError: not enough memory for " + says), done.stdout
    assert "GiB free under the address-space limit (ulimit -v); " in done.stdout, done.stdout


@pytest.mark.skipif("asan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the sanitizers' runtime replaces operator new itself")
def test_memory_running_out_during_a_run_raises_memory_error_saying_so():
    # After the check: the workers' allocations fail once they have made
    # 10000 (tests/failing_allocations.cpp), thousands of samples into the run.
    env = dict(os.environ, LD_PRELOAD=os.environ["PELLIMOR_FAILING_ALLOCATIONS"],
               PELLIMOR_TEST_ALLOCATIONS_ALLOWED="10000")
    script = textwrap.dedent("""
        import pellimor
        try:
            pellimor.sample(9, 10**6, seed=1, threads=2)
            print("finished")
        except MemoryError as error:
            print("MemoryError:", error)
        """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          timeout=120, env=env)
    assert re.fullmatch(r"MemoryError: not enough memory for graphs on n_vars = 9 vertices "
                        r"\(about 0\.00 GiB per worker thread\); choose a smaller n_vars or fewer "
                        r"--threads; memory ran out after [1-9]\d* samples of 1000000\n",
                        done.stdout), done.stdout + done.stderr
