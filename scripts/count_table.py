#!/usr/bin/env python3
"""The table of exact counts in docs/exact_counts.md, from the program itself.

    python3 scripts/count_table.py build/pellimor

Runs `pellimor --count 256` and prints, as Markdown with its caption, the
rows n = 1 .. 20, 30, 40, 60, 100 and 256: the number of essential graphs
(whole up to 36 digits, else to 12 significant digits), the share without
lines, the share connected, classes per DAG, and the mean and variance of
the edges of a uniform class. Exact values: no seed, no samples.
"""

import csv
import io
import subprocess
import sys

ROWS = list(range(1, 21)) + [30, 40, 60, 100, 256]


def short(count):
    """A decimal integer, or 12 significant digits when it is long."""
    if len(count) <= 36:
        return count
    # The first 13 digits decide the rounding to 12 (the rest cannot carry).
    exponent = len(count) - 1
    digits = (int(count[:13]) + 5) // 10
    if digits >= 10 ** 12:
        digits, exponent = digits // 10, exponent + 1
    text = str(digits)
    return f"{text[0]}.{text[1:]}e+{exponent}"


def main(argv):
    if len(argv) != 1:
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    text = subprocess.run([argv[0], "--count", "256"], check=True, capture_output=True,
                          text=True).stdout
    rows = {int(r["n"]): r for r in csv.DictReader(io.StringIO(text), delimiter="\t")}
    print("Exact values from `pellimor --count 256` (exact rationals rounded to 12 significant "
          "digits; made by `scripts/count_table.py build/pellimor`):\n")
    print("| n | essential graphs EG(n) | share without lines | connected | classes per DAG "
          "| mean edges | variance of edges |")
    print("|---|---|---|---|---|---|---|")
    for n in ROWS:
        r = rows[n]
        print(f"| {n} | {short(r['essential_graphs'])} | {r['no_lines']} | {r['connected']} "
              f"| {r['classes_per_dag']} | {r['mean_edges']} | {r['variance_edges']} |")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
