#!/usr/bin/env python3
"""What pellimor.sample costs against the command line, one thread each.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_sample.py build/pellimor [rounds]

1. `pellimor.sample(50, 100000, graphs=False, seed=1, threads=1)` against
   `pellimor --exact --stats --no-results --seed 1 --threads 1 50 100000`:
   wall and CPU seconds of the call and of the program (a process of its
   own), in alternating rounds so that a shared machine's load falls on
   both alike; the best of each, and their ratio.
2. `pellimor.sample(20, 200000, seed=1, threads=1)` (graphs=True): classes
   per second that reach Python, wall and CPU.
3. Ctrl-C: SIGINT 0.5 s into `pellimor.sample(200, 10**8, threads=2)`, and
   the seconds until KeyboardInterrupt, every worker joined.
"""

import os
import resource
import signal
import subprocess
import sys
import threading
import time

import pellimor


def child_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed_call(call):
    wall, cpu = time.perf_counter(), time.process_time()
    call()
    return time.perf_counter() - wall, time.process_time() - cpu


def timed_program(args):
    wall, cpu = time.perf_counter(), child_cpu()
    subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return time.perf_counter() - wall, child_cpu() - cpu


def main():
    binary = os.path.realpath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    print(f"load average before: {os.getloadavg()}")
    program, module, graphs = [], [], []
    command = [binary, "--exact", "--stats", "--no-results", "--seed", "1", "--threads", "1",
               "50", "100000"]
    for _ in range(rounds):
        program.append(timed_program(command))
        module.append(timed_call(lambda: pellimor.sample(50, 100000, graphs=False, seed=1,
                                                         threads=1)))
        graphs.append(timed_call(lambda: pellimor.sample(20, 200000, seed=1, threads=1)))
    best = lambda runs, i: min(r[i] for r in runs)
    print("1. n_vars 50, 100000 classes, one thread   best wall s   best cpu s")
    print(f"   {' '.join(command[1:])}   {best(program, 0):8.3f}   {best(program, 1):8.3f}")
    print(f"   pellimor.sample(50, 100000, graphs=False)          "
          f"{best(module, 0):8.3f}   {best(module, 1):8.3f}")
    print(f"   ratio module / program: wall {best(module, 0) / best(program, 0):.3f}, "
          f"cpu {best(module, 1) / best(program, 1):.3f}")
    print("2. pellimor.sample(20, 200000) with graphs, one thread: "
          f"{200000 / best(graphs, 0):,.0f} classes/s by wall time, "
          f"{200000 / best(graphs, 1):,.0f} by CPU time (both threads: worker and caller)")

    sent = []

    def interrupt():
        sent.append(time.perf_counter())
        os.kill(os.getpid(), signal.SIGINT)

    timer = threading.Timer(0.5, interrupt)
    timer.start()
    try:
        pellimor.sample(200, 10**8, seed=1, threads=2, graphs=False)
        print("3. not interrupted")
    except KeyboardInterrupt:
        late = time.perf_counter()
        timer.join()
        print(f"3. Ctrl-C: KeyboardInterrupt {late - sent[0]:.3f} s after SIGINT; threads left: "
              f"{len(os.listdir('/proc/self/task'))}")
    print(f"load average after: {os.getloadavg()}")


if __name__ == "__main__":
    main()
