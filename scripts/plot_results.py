#!/usr/bin/env python3
"""Plot pellimor results files: the four shares against the number of
samples, with 95% Wilson bands, and for walk files the move rates.

    python3 scripts/plot_results.py RESULTS_FILE... -o FILE.png|svg [--n-vars N]

Reads files of either method (pellimor_<n>.txt from walks,
pellimor_exact_<n>.txt from the exact sampler), also those written by older
versions; fields that read nan or -nan are left out. For n_vars <= 13 the
exact shares are drawn as horizontal lines. A missing or malformed file is
an error: a message on standard error and status 2. Without matplotlib the
message names the Python that runs the script and how to install it there;
the status is 1.
"""

import argparse
import math
import os
import platform
import re
import sys

# Counts for n <= 13: essential graphs, essential DAGs, connected essential
# graphs, connected essential DAGs.
EXACT = {
    1: (1, 1, 1, 1),
    2: (2, 1, 1, 0),
    3: (11, 4, 7, 3),
    4: (185, 59, 147, 46),
    5: (8782, 2616, 7881, 2355),
    6: (1067825, 306117, 1015003, 291146),
    7: (312510571, 87716644, 305011841, 85621991),
    8: (212133402500, 58874478231, 209630427177, 58180704086),
    9: (326266056291213, 90018247082416, 324356289835711, 89491422160251),
    10: (1118902054495975181, 307775459402071913, 1115639173090376627,
         306877881484352482),
    11: (8455790399687227104576, 2322338398654088751036, 8443482286265069428133,
         2318957779502678154951),
    12: (139537050182278289405732939, 38293189001166839643861795,
         139435580323684704100164995, 38265341173200362790178622),
    13: (4991058955493997577840793161279, 1369158635491114830895696234696,
         4989244972210912808153568305341, 1368661004822071535056563043859),
}

SHARES = ["no lines", "connected", "connected among no lines", "no lines among connected"]
MOVES = ["stay", "add line", "remove line", "add arrow", "remove arrow", "add vee", "remove vee"]

NUMBER = r"\s*([-+]?(?:nan|inf|[0-9]*\.?[0-9]+(?:[eE][-+]?[0-9]+)?))"
COUNTS = r"\s*(\d+)\s*/\s*(\d+)\s*,\s*(\d+)\s*/\s*(\d+)\s*,\s*(\d+)\s*/\s*(\d+)\s*,\s*(\d+)\s*/\s*(\d+)\s*="
HEAD = COUNTS + NUMBER + "," + NUMBER + "," + NUMBER + "," + NUMBER + r"\s*in" + NUMBER + r"\s*hours"
WALK_LINE = re.compile(
    "^" + HEAD + r"\s*\(" + r"\s*\+".join([NUMBER] * 7) + r"\s*=" + NUMBER + r"\s*\)\s*$")
EXACT_LINE = re.compile(
    "^" + HEAD + r"\s*\(\s*(\d+)\s*/\s*(\d+)\s*=" + NUMBER + r"\s*classes per DAG\s*\)\s*$")


class ResultsError(Exception):
    pass


def read_results(path):
    """Returns (method, rows): rows of (samples, [(count, of)] * 4, rates or None)."""
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
    except OSError as e:
        raise ResultsError(f"cannot read '{path}': {e.strerror}")
    method = None
    rows = []
    for number, line in enumerate(lines, 1):
        if not line.strip():
            continue
        walk = WALK_LINE.match(line)
        exact = None if walk else EXACT_LINE.match(line)
        match = walk or exact
        if not match:
            raise ResultsError(f"'{path}' line {number} is not a pellimor report line: {line[:80]!r}")
        kind = "walk" if walk else "exact"
        if method and kind != method:
            raise ResultsError(f"'{path}' line {number} mixes walk and exact report lines")
        method = kind
        g = match.groups()
        counts = [int(x) for x in g[:8]]
        pairs = [(counts[0], counts[1]), (counts[2], counts[3]), (counts[4], counts[5]),
                 (counts[6], counts[7])]
        rates = [float(x) for x in g[13:20]] if walk else None
        rows.append((counts[1], pairs, rates))
    if not rows:
        raise ResultsError(f"'{path}' holds no report lines")
    return method, rows


def wilson(count, of, z=1.959963984540054):
    if of == 0:
        return math.nan, math.nan, math.nan
    p = count / of
    centre = (p + z * z / (2 * of)) / (1 + z * z / of)
    half = z / (1 + z * z / of) * math.sqrt(p * (1 - p) / of + z * z / (4 * of * of))
    return p, max(0.0, centre - half), min(1.0, centre + half)


def exact_shares(n_vars):
    if n_vars not in EXACT:
        return None
    graphs, dags, connected, both = EXACT[n_vars]
    ratio = lambda a, b: a / b if b else math.nan  # noqa: E731
    return [ratio(dags, graphs), ratio(connected, graphs), ratio(both, dags), ratio(both, connected)]


def n_vars_of(path):
    match = re.search(r"pellimor_(?:exact_)?(\d+)\.txt$", os.path.basename(path))
    return int(match.group(1)) if match else None


def pyplot():
    """matplotlib.pyplot drawing to files, or exit 1 saying how to get it."""
    try:
        import matplotlib
    except ImportError:
        python = sys.executable or "python3"
        print(f"plot_results.py: matplotlib is not installed for the Python running this "
              f"script, {python} (Python {platform.python_version()}). Install it for that "
              f"Python with\n    {python} -m pip install matplotlib\n"
              f"(for Debian's own /usr/bin/python3: apt-get install python3-matplotlib), "
              f"or run the script with a Python that has it.", file=sys.stderr)
        sys.exit(1)
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    return plt


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", nargs="+", metavar="RESULTS_FILE")
    parser.add_argument("-o", "--output", required=True, help="picture to write (.png or .svg)")
    parser.add_argument("--n-vars", type=int, help="vertices, when the file names do not say")
    parser.add_argument("--dpi", type=int, default=80, help="dots per inch of a .png (default 80)")
    args = parser.parse_args(argv)
    if not args.output.lower().endswith((".png", ".svg")):
        parser.error("the output must end in .png or .svg")
    plt = pyplot()

    try:
        results = [(path, *read_results(path)) for path in args.files]
    except ResultsError as e:
        print(f"plot_results.py: {e}", file=sys.stderr)
        return 2

    with_rates = any(method == "walk" for _, method, _ in results)
    figure, axes = plt.subplots(2 if with_rates else 1, 4, figsize=(13, 6 if with_rates else 3.2),
                                squeeze=False)
    for path, method, rows in results:
        label = f"{os.path.basename(path)} ({method})"
        samples = [r[0] for r in rows]
        for k, name in enumerate(SHARES):
            values = [wilson(*r[1][k]) for r in rows]
            ax = axes[0][k]
            line, = ax.plot(samples, [v[0] for v in values], label=label)
            ax.fill_between(samples, [v[1] for v in values], [v[2] for v in values],
                            color=line.get_color(), alpha=0.2, linewidth=0)
        if method == "walk":
            for k, name in enumerate(MOVES):
                ax = axes[1][(k + 1) // 2]
                ax.plot(samples, [r[2][k] for r in rows], label=f"{name}")
        n_vars = args.n_vars if args.n_vars is not None else n_vars_of(path)
        exact = exact_shares(n_vars) if n_vars is not None else None
        if exact:
            for k in range(4):
                axes[0][k].axhline(exact[k], color="black", linestyle="--", linewidth=1,
                                   label=f"exact, n_vars = {n_vars}")

    for k, name in enumerate(SHARES):
        axes[0][k].set_title(f"share: {name}")
        axes[0][k].set_xlabel("samples")
    handles, labels = axes[0][0].get_legend_handles_labels()
    unique = dict(zip(labels, handles))
    axes[0][0].legend(unique.values(), unique.keys(), fontsize="small")
    if with_rates:
        titles = ["stay", "lines", "arrows", "vees"]
        for k in range(4):
            axes[1][k].set_title(f"move rate: {titles[k]}")
            axes[1][k].set_xlabel("samples")
            axes[1][k].legend(fontsize="small")
    figure.tight_layout()
    try:
        figure.savefig(args.output, dpi=args.dpi)
    except OSError as e:
        print(f"plot_results.py: cannot write '{args.output}': {e.strerror}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
