"""Ctrl-C while the module works: KeyboardInterrupt, and no thread left."""

import subprocess
import sys
import textwrap

import pytest

# Each call takes seconds; SIGINT comes 0.2 s into it. In a process of its
# own, so that a late signal cannot stop the test session.
SCRIPT = """
import os, signal, threading
import networkx as nx
import pellimor
timer = threading.Timer(0.2, os.kill, (os.getpid(), signal.SIGINT))
timer.start()
try:
    {call}
    print("finished")
except KeyboardInterrupt:
    timer.join()
    print("interrupted, threads left:", len(os.listdir("/proc/self/task")))
"""


@pytest.mark.parametrize("call", [
    # As matrices: 1.8 GB if it finished (as networkx graphs 100 times more,
    # which the memory check refuses before drawing).
    "pellimor.sample_dags(nx.to_numpy_array(nx.complete_graph(60)), 100000, seed=1, threads=2,"
    " convention='amat')",
    "pellimor.sample(200, 10**8, seed=1, threads=2)",
    "pellimor.sample(60, 10**6, method='walk', moves=10**6, seed=1, threads=3, graphs=False)",
])
def test_ctrl_c_raises_keyboard_interrupt_and_joins_every_thread(call):
    done = subprocess.run([sys.executable, "-c", textwrap.dedent(SCRIPT).format(call=call)],
                          capture_output=True, text=True, timeout=120)
    assert done.stdout.strip() == "interrupted, threads left: 1", done.stderr
