#!/usr/bin/env python3
"""The tables of docs/ that come from the reference runs, with their captions.

    python3 scripts/reference_tables.py FOLDER dense|sparse|walk

FOLDER holds the JSON summaries written by scripts/reference_runs.sh. Each
table is printed as Markdown, its caption first: the command of every row,
its seed and its number of samples, all read from the JSON summaries (a
table whose rows differ in seed or samples says so row by row). Needs only
the standard library.
"""

import json
import math
import os
import re
import sys


def load(folder, name):
    path = os.path.join(folder, name + ".json")
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except OSError as e:
        sys.exit(f"reference_tables.py: cannot read '{path}' ({e.strerror}); "
                 f"run scripts/reference_runs.sh first")


def command_of(summary):
    """The row's command line as a reader would type it."""
    words = summary["command_line"].split()
    words[0] = "pellimor"
    command = " ".join(words)
    command = re.sub(r" --json \S+", "", command)
    return re.sub(r" --no-results", "", command)


def caption(rows, what, script_group, timed=True):
    seeds = sorted({r["seed"] for r in rows})
    samples = sorted({r["samples"] for r in rows})
    incomplete = [r for r in rows if not r["complete"]]
    if incomplete:
        sys.exit("reference_tables.py: a run did not complete: " + command_of(incomplete[0]))
    lines = [f"{what} Made by `scripts/reference_runs.sh build/pellimor FOLDER {script_group}` "
             f"and `scripts/reference_tables.py FOLDER {script_group}`, from these runs "
             f"(seed {', '.join(map(str, seeds))}; "
             f"{' or '.join(f'{s:,}' for s in samples)} samples each"
             + ("; seconds of wall-clock time on two threads of our shared 2-core build machine"
                if timed else "") + "):", ""]
    lines += [f"    {command_of(r)}" for r in rows]
    return "\n".join(lines) + "\n"


def mean_se(statistic, digits):
    return f"{statistic['mean']:.{digits}f} ± {statistic['standard_error']:.{digits}f}"


def share_se(share, digits=4):
    p, n = share["estimate"], share["of"]
    return f"{p:.{digits}f} ± {math.sqrt(p * (1 - p) / n):.{digits}f}"


def largest_seen(distribution):
    """The largest value seen: the top of the last bin (a bound above 1000)."""
    last = distribution[-1]
    if last["at_most"] == last["above"] + 1:
        return f"{last['at_most']}"
    return f"≤ {last['at_most']}" if last["at_most"] is not None else f"> {last['above']}"


def percentiles(summary):
    p = summary["class_statistics"]["class_size_percentiles"]

    def text(value):
        if value is None:
            return "> 1.8e308"
        if isinstance(value, int):
            return f"{value}"
        # Above 1000 sizes are binned, and the percentile is interpolated.
        return f"{value:.0f}" if value < 1e6 else f"{value:.3g}"

    return ", ".join(text(p[k]) for k in ("median", "p90", "p99"))


def dense(folder):
    sizes = [10, 20, 50, 100, 200, 1000]
    rows = [load(folder, f"exact_{n}") for n in sizes]
    out = [caption(rows, "Statistics of uniform classes, mean ± one standard error, with the "
                   "exact values where the counts give them.", "dense", timed=False),
           "| n_vars | edges | lines | vees | chain components (2+) | largest chain component "
           "| class size s | share s = 1 | s: median, 90th, 99th percentile |",
           "|" + "---|" * 9]
    for n, r in zip(sizes, rows):
        c = r["class_statistics"]
        one = c["class_size_shares"][0]
        out.append(
            f"| {n} | {mean_se(c['edge_count'], 2)} (exact {c['edge_count']['exact']:.2f}) "
            f"| {mean_se(c['line_count'], 3)} | {mean_se(c['vee_count'], 2)} "
            f"| {mean_se(c['chain_components'], 4)} | {mean_se(c['largest_chain_component'], 3)} "
            f"| {mean_se(c['class_size'], 3)} (exact {c['class_size']['exact']:.3f}) "
            f"| {share_se(one)} (exact {one['exact']:.4f}) | {percentiles(r)} |")
    return "\n".join(out)


def sparse(folder):
    runs = [(20, 2), (20, 4), (20, 8), (50, 2), (50, 4), (50, 8), (100, 4), (100, 8)]
    rows = [load(folder, f"exact_{n}_degree_{d}") for n, d in runs]
    out = [caption(rows, "Uniform classes with exactly E = round(D n_vars / 2) edges. No lines is "
                   "also the share of class size 1; the largest chain component counts 1 vertex "
                   "for a class without lines; ± one standard error.", "sparse"),
           "| n_vars | mean degree D | E | no lines (s = 1) | s: median, 90th, 99th percentile "
           "| lines | largest chain component, mean (largest seen) | DAGs drawn per class "
           "| seconds |",
           "|" + "---|" * 9]
    for (n, d), r in zip(runs, rows):
        c = r["class_statistics"]
        largest = c["largest_chain_component"]
        out.append(
            f"| {n} | {d} | {r['edge_bound']['edges']} | {share_se(r['shares']['no_lines'])} "
            f"| {percentiles(r)} | {mean_se(c['line_count'], 2)} "
            f"| {mean_se(largest, 2)} ({largest_seen(c['distributions']['largest_chain_component'])}) "
            f"| {r['weighted_shares']['dags_drawn'] / r['samples']:.1f} | {r['seconds']:.0f} |")
    return "\n".join(out)


def walk(folder):
    runs = [(100, 2, 1000000), (100, 4, 1000000), (100, 8, 1000000), (100, 8, 10000000),
            (200, 2, 4000000), (200, 4, 4000000), (200, 8, 4000000), (1000, 2, 20000000),
            (1000, 4, 20000000)]
    rows = [load(folder, f"walk_{n}_degree_{d}_{its}") for n, d, its in runs]
    out = [caption(rows, "Walks from the empty graph over the classes with at most E = "
                   "n_vars D / 2 edges: what they report, and whether the mixing check passed "
                   "(its comparisons: the walk's two halves and, where drawing them takes at most "
                   "the check's share of the time, exact classes within the bound). These are "
                   "not reference values: a walk that fails the check is biased.", "walk"),
           "| n_vars | mean degree D | E (at most) | moves per walk | no lines (s = 1) "
           "| s: median, 90th, 99th percentile | lines | largest chain component, mean "
           "(largest seen) | seconds | mixing check |",
           "|" + "---|" * 10]
    for (n, d, its), r in zip(runs, rows):
        c = r["class_statistics"]
        largest = c["largest_chain_component"]
        check = r["mixing_check"]
        verdict = "passed" if check.get("passed") else "FAILED"
        verdict += " (halves, exact reference)" if check.get("reference") else " (halves only)"
        out.append(
            f"| {n} | {d} | {r['edge_bound']['edges']} | {its:.0e} "
            f"| {share_se(r['shares']['no_lines'], 3)} | {percentiles(r)} "
            f"| {mean_se(c['line_count'], 2)} "
            f"| {mean_se(largest, 1)} ({largest_seen(c['distributions']['largest_chain_component'])}) "
            f"| {r['seconds']:.0f} | {verdict} |")
    return "\n".join(out)


def main(argv):
    if len(argv) != 2 or argv[1] not in ("dense", "sparse", "walk"):
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    print({"dense": dense, "sparse": sparse, "walk": walk}[argv[1]](argv[0]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
