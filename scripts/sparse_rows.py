#!/usr/bin/env python3
"""Rows of exact sparse classes for docs/sparse.md, from pellimor runs.

    scripts/sparse_rows.py PELLIMOR SAMPLES SEED N_VARS:DEGREE [N_VARS:DEGREE ...]

For each pair, runs

    PELLIMOR --exact --mean-degree DEGREE --sparse-method layered --seed SEED
             --no-results --samples FILE --samples-format tsv N_VARS SAMPLES

(two threads; the samples do not depend on them) and prints one Markdown
row: the share of classes without lines (standard error), the mean number of
lines, the mean largest chain component (1 for a class without lines), the
log10 class size percentiles 5/25/50/75/95, and the command. Standard
library only, so any python3 runs it.
"""

import csv
import math
import os
import subprocess
import sys
import tempfile


def percentile(sorted_values, p):
    position = p * (len(sorted_values) - 1)
    low = math.floor(position)
    high = min(low + 1, len(sorted_values) - 1)
    return sorted_values[low] + (position - low) * (sorted_values[high] - sorted_values[low])


def row(pellimor, n_vars, samples, seed, degree):
    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, "samples.tsv")
        command = [
            "--exact", "--mean-degree", str(degree), "--sparse-method", "layered",
            "--seed", str(seed), "--no-results", "--samples-format", "tsv",
        ]
        shown = " ".join(["pellimor"] + command + [str(n_vars), str(samples)])
        subprocess.run(
            [pellimor] + command + ["--threads", "2", "--samples", path, str(n_vars), str(samples)],
            check=True, stdout=subprocess.DEVNULL)
        with open(path, newline="") as f:
            records = list(csv.DictReader(f, delimiter="\t"))
    if len(records) != samples:
        raise SystemExit(f"expected {samples} samples, found {len(records)}")
    lines = [int(r["line_count"]) for r in records]
    largest = [max(1, int(r["largest_chain_component"])) for r in records]
    log10_sizes = sorted(float(r["log10_class_size"]) for r in records)
    edges = {int(r["edge_count"]) for r in records}
    without = sum(1 for x in lines if x == 0) / samples
    return "| {} | {} | {} | {} | {:.4f} ({:.4f}) | {:.2f} | {:.2f} | {} | `{} --samples FILE` |".format(
        n_vars, degree, ",".join(str(e) for e in sorted(edges)), samples, without,
        math.sqrt(without * (1 - without) / samples), sum(lines) / samples,
        sum(largest) / samples,
        " / ".join(f"{percentile(log10_sizes, p):.2f}" for p in (0.05, 0.25, 0.5, 0.75, 0.95)),
        shown)


def main(argv):
    if len(argv) < 5:
        raise SystemExit(__doc__)
    pellimor, samples, seed = argv[1], int(argv[2]), int(argv[3])
    print("| n_vars | mean degree | edges | classes | no lines (s.e.) | mean lines | "
          "largest chain component, mean | log10 s: 5 / 25 / 50 / 75 / 95 % | command |")
    print("|---|---|---|---|---|---|---|---|---|")
    for pair in argv[4:]:
        n_vars, degree = pair.split(":")
        print(row(pellimor, int(n_vars), samples, seed, degree), flush=True)


if __name__ == "__main__":
    main(sys.argv)
