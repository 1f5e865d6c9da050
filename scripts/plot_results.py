#!/usr/bin/env python3
"""Plot pellimor results: results files or JSON summaries.

    python3 scripts/plot_results.py RESULTS_FILE... -o FILE.png|svg [--n-vars N]
    python3 scripts/plot_results.py SUMMARY.json... -o FILE.png|svg
    python3 scripts/plot_results.py SUMMARY.json... -o FILE.png|svg --statistic NAME

Results files (pellimor_<n>.txt from walks, pellimor_exact_<n>.txt from the
exact sampler, also those written by older versions): the four shares
against the number of samples, with 95% Wilson bands, and for walk files the
move rates; fields that read nan or -nan are left out. For n_vars <= 13 the
exact shares are drawn as dashed lines. The scale of each panel is set by
the later three quarters of the samples, so that the wide bands of the
first reports do not flatten the rest.

JSON summaries (--json FILE of either method): the distribution of class
sizes, the share of classes of each size 1 .. 10 and above 10 with 95%
Wilson intervals, one group of bars per file; with --statistic NAME, that
statistic of each file against n_vars, its mean with a 95% band and its
exact value where the summary has one (NAME: edge_count, line_count,
arrow_count, vee_count, chain_components, largest_chain_component,
class_size, log10_class_size, or a share: no_lines, connected).

A missing or malformed file is an error: a message on standard error and
status 2. Without matplotlib the message names the Python that runs the
script and how to install it there; the status is 1.
"""

import argparse
import json
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


CLASS_STATISTICS = ["edge_count", "line_count", "arrow_count", "vee_count", "chain_components",
                    "largest_chain_component", "class_size", "log10_class_size"]
SHARE_KEYS = ["no_lines", "connected", "connected_among_no_lines", "no_lines_among_connected"]
AXIS_NAMES = {
    "edge_count": "edges (arrows and lines)",
    "line_count": "lines (undirected edges)",
    "arrow_count": "arrows (directed edges)",
    "vee_count": "vees (v-structures)",
    "chain_components": "chain components with 2+ vertices",
    "largest_chain_component": "vertices of the largest chain component",
    "class_size": "class size s (DAGs in the class)",
    "log10_class_size": "log10 s",
    "no_lines": "share of classes without lines",
    "connected": "share of classes with a connected skeleton",
    "connected_among_no_lines": "share connected among those without lines",
    "no_lines_among_connected": "share without lines among the connected",
}


def is_json(path):
    try:
        with open(path, "rb") as f:
            return f.read(4096).lstrip()[:1] == b"{"
    except OSError as e:
        raise ResultsError(f"cannot read '{path}': {e.strerror}")


def read_summary(path):
    """The JSON summary in path, with the parts the figures read."""
    try:
        with open(path, encoding="utf-8") as f:
            summary = json.load(f)
    except OSError as e:
        raise ResultsError(f"cannot read '{path}': {e.strerror}")
    except ValueError as e:
        raise ResultsError(f"'{path}' is not a JSON document: {e}")
    if not isinstance(summary, dict) or "n_vars" not in summary or "shares" not in summary:
        raise ResultsError(f"'{path}' is not a pellimor JSON summary")
    if not isinstance(summary.get("class_statistics"), dict):
        raise ResultsError(f"'{path}' has no class statistics (written by an older pellimor)")
    return summary


def file_labels(paths):
    """A legend label per file: its name, or more of its path where names repeat."""
    labels = [os.path.basename(p) for p in paths]
    for i, label in enumerate(labels):
        if labels.count(label) > 1:
            labels = [os.path.normpath(p) if labels.count(lb) > 1 else lb
                      for p, lb in zip(paths, labels)]
            break
    return labels


def set_scale(ax, values, pad=0.1):
    """y limits that hold `values` (finite ones), padded."""
    finite = [v for v in values if v is not None and math.isfinite(v)]
    if not finite:
        return
    low, high = min(finite), max(finite)
    span = high - low if high > low else max(abs(high), 1e-3) * 0.05
    ax.set_ylim(low - pad * span, high + pad * span)


def plot_reports(plt, args, results):
    labels = file_labels([path for path, _, _ in results])
    with_rates = any(method == "walk" for _, method, _ in results)
    figure, axes = plt.subplots(2 if with_rates else 1, 4, figsize=(14, 7.5 if with_rates else 3.8),
                                squeeze=False, layout="constrained")
    share_scale = [[] for _ in SHARES]
    rate_scale = [[] for _ in range(4)]
    for (path, method, rows), label in zip(results, labels):
        samples = [r[0] for r in rows]
        settled = samples[-1] / 4  # the scale follows the later three quarters
        for k in range(len(SHARES)):
            values = [wilson(*r[1][k]) for r in rows]
            ax = axes[0][k]
            line, = ax.plot(samples, [v[0] for v in values], label=f"{label} ({method})")
            ax.fill_between(samples, [v[1] for v in values], [v[2] for v in values],
                            color=line.get_color(), alpha=0.2, linewidth=0)
            share_scale[k] += [x for s, v in zip(samples, values) if s >= settled for x in v]
        if method == "walk":
            for k, name in enumerate(MOVES):
                panel = (k + 1) // 2
                axes[1][panel].plot(samples, [r[2][k] for r in rows],
                                    label=f"{name}, {label}" if len(results) > 1 else name)
                rate_scale[panel] += [r[2][k] for s, r in zip(samples, rows) if s >= settled]
        n_vars = args.n_vars if args.n_vars is not None else n_vars_of(path)
        exact = exact_shares(n_vars) if n_vars is not None else None
        if exact:
            for k in range(4):
                axes[0][k].axhline(exact[k], color="black", linestyle="--", linewidth=1,
                                   label=f"exact, n_vars = {n_vars}")
                share_scale[k].append(exact[k])

    titles = ["no lines", "connected", "connected\namong no lines", "no lines\namong connected"]
    for k in range(4):
        axes[0][k].set_title(titles[k])
        axes[0][k].set_xlabel("samples")
        set_scale(axes[0][k], share_scale[k])
    axes[0][0].set_ylabel("share of samples (95% Wilson band)")
    handles, names = axes[0][0].get_legend_handles_labels()
    unique = dict(zip(names, handles))  # one "exact" line per n_vars
    axes[0][0].legend(unique.values(), unique.keys(), fontsize="small")
    if with_rates:
        for k, title in enumerate(["stay", "lines", "arrows", "vees"]):
            axes[1][k].set_title(f"move rate: {title}")
            axes[1][k].set_xlabel("samples")
            axes[1][k].legend(fontsize="small")
            set_scale(axes[1][k], rate_scale[k])
        axes[1][0].set_ylabel("share of moves (mean over samples)")
    return figure


def plot_sizes(plt, summaries, labels):
    figure, ax = plt.subplots(figsize=(10, 5), layout="constrained")
    count = len(summaries)
    width = 0.8 / count
    for i, (summary, label) in enumerate(zip(summaries, labels)):
        shares = summary["class_statistics"]["class_size_shares"]
        xs = [k + (i - (count - 1) / 2) * width for k in range(len(shares))]
        estimate = [s["estimate"] or 0 for s in shares]
        low = [max(0.0, e - (s["low"] or 0)) for e, s in zip(estimate, shares)]
        high = [max(0.0, (s["high"] or 0) - e) for e, s in zip(estimate, shares)]
        bars = ax.bar(xs, estimate, width * 0.9, yerr=[low, high], capsize=2,
                      label=f"n_vars = {summary['n_vars']}, {summary['method']}, "
                            f"{summary['samples']} samples ({label})")
        exact = [(x, s["exact"]) for x, s in zip(xs, shares) if s.get("exact") is not None]
        for x, value in exact:
            ax.plot([x - width / 2, x + width / 2], [value, value], color="black", linewidth=2,
                    label="exact share" if i == 0 else None)
        del bars
    names = [s["label"] for s in summaries[0]["class_statistics"]["class_size_shares"]]
    ax.set_xticks(range(len(names)), names)
    ax.set_xlabel("class size s (DAGs in the class)")
    ax.set_ylabel("share of classes (95% Wilson interval)")
    ax.set_title("Distribution of class sizes")
    ax.legend(fontsize="small")
    return figure


def statistic_of(summary, name):
    """(estimate, low, high, exact) of a statistic in a summary, or None."""
    if name in SHARE_KEYS:
        s = summary["shares"][name]
        return s["estimate"], s["low"], s["high"], s.get("exact")
    s = summary["class_statistics"].get(name)
    if not isinstance(s, dict):
        return None
    return s["mean"], s["low"], s["high"], s.get("exact")


def plot_versus(plt, summaries, labels, name):
    figure, ax = plt.subplots(figsize=(8, 5), layout="constrained")
    series = {}
    for summary, label in zip(summaries, labels):
        value = statistic_of(summary, name)
        if value is None or value[0] is None:
            print(f"plot_results.py: '{label}' has no {name} (vees need --stats); left out",
                  file=sys.stderr)
            continue
        series.setdefault(summary["method"], []).append((summary["n_vars"], *value))
    exact_points = {}
    for method, points in sorted(series.items()):
        points.sort()
        xs = [p[0] for p in points]
        line, = ax.plot(xs, [p[1] for p in points], marker="o", label=f"{method} sampler")
        ax.fill_between(xs, [p[2] for p in points], [p[3] for p in points],
                        color=line.get_color(), alpha=0.25, linewidth=0)
        ax.errorbar(xs, [p[1] for p in points],
                    yerr=[[p[1] - p[2] for p in points], [p[3] - p[1] for p in points]],
                    fmt="none", color=line.get_color(), capsize=3)
        exact_points.update({p[0]: p[4] for p in points if p[4] is not None})
    if exact_points:
        xs = sorted(exact_points)
        ax.plot(xs, [exact_points[x] for x in xs], "k--", marker="x", linewidth=1,
                label="exact")
    all_n = sorted({p[0] for points in series.values() for p in points})
    if all_n and all_n[-1] > 20 * all_n[0]:
        ax.set_xscale("log")
    ax.set_xlabel("n_vars (vertices)")
    ax.set_ylabel(AXIS_NAMES.get(name, name) + (" (mean)" if name in CLASS_STATISTICS else ""))
    ax.set_title(f"{AXIS_NAMES.get(name, name)}: estimate with 95% interval")
    ax.legend(fontsize="small")
    return figure


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", nargs="+", metavar="FILE",
                        help="results files, or JSON summaries")
    parser.add_argument("-o", "--output", required=True, help="picture to write (.png or .svg)")
    parser.add_argument("--n-vars", type=int, help="vertices, when the file names do not say")
    parser.add_argument("--statistic", choices=CLASS_STATISTICS + SHARE_KEYS,
                        help="JSON summaries: this statistic against n_vars")
    parser.add_argument("--dpi", type=int, default=150,
                        help="dots per inch of a .png (default 150)")
    args = parser.parse_args(argv)
    if not args.output.lower().endswith((".png", ".svg")):
        parser.error("the output must end in .png or .svg")
    plt = pyplot()

    try:
        kinds = {is_json(path) for path in args.files}
        if len(kinds) > 1:
            raise ResultsError("give either results files or JSON summaries, not both")
        if kinds == {True}:
            summaries = [read_summary(path) for path in args.files]
        else:
            if args.statistic:
                raise ResultsError("--statistic reads JSON summaries (--json FILE)")
            results = [(path, *read_results(path)) for path in args.files]
    except ResultsError as e:
        print(f"plot_results.py: {e}", file=sys.stderr)
        return 2

    if kinds == {True}:
        labels = file_labels(args.files)
        figure = (plot_versus(plt, summaries, labels, args.statistic) if args.statistic
                  else plot_sizes(plt, summaries, labels))
    else:
        figure = plot_reports(plt, args, results)
    try:
        figure.savefig(args.output, dpi=args.dpi)
    except OSError as e:
        print(f"plot_results.py: cannot write '{args.output}': {e.strerror}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
