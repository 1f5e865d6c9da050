#!/usr/bin/env python3
"""Plot pellimor results: results files or JSON summaries, ready for print.

    python3 scripts/plot_results.py RESULTS_FILE... -o FILE.pdf|png|svg [--n-vars N]
    python3 scripts/plot_results.py SUMMARY.json... -o FILE.pdf|png|svg
    python3 scripts/plot_results.py SUMMARY.json... -o FILE.pdf|png|svg --statistic NAME

Results files (pellimor_<n>.txt from walks, pellimor_exact_<n>.txt from the
exact sampler, also those written by older versions): the four shares
against the number of samples, with 95% Wilson bands, and for walk files the
move rates; fields that read nan or -nan are left out. For n_vars <= 13 the
exact shares are drawn as dashed lines. The scale of each panel is set by
the later three quarters of the samples, so that the wide bands of the
first reports do not flatten the rest.

JSON summaries (--json FILE of either method): the distribution of class
sizes, the share of classes whose size s lies in each bin 1, 2, 3-4, 5-8,
..., (2^(k-1), 2^k] with 95% Wilson intervals, on logarithmic axes, one
series per file; with --statistic NAME, that statistic of each file against
n_vars, its mean with a 95% band and its exact value where the summary has
one, one series per method and edge bound (NAME: edge_count, line_count,
arrow_count, vee_count, chain_components, largest_chain_component,
class_size, log10_class_size, or a share: no_lines, connected).

Figures have no title, legends say what each run was (method, n_vars, the
edge bound and the mean degree it gives), and the default size is one
column of a two-column paper (3.4 by 2.6 inches; 7 by 4 for results files,
whose panels need two columns) with 8-point text; --width and --height
change it. The format follows the output's name: .pdf and .svg keep text as
text, .png is drawn at --dpi (300 by default).

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
    plt.rcParams.update({
        "font.size": 8, "axes.labelsize": 8, "legend.fontsize": 7, "xtick.labelsize": 7,
        "ytick.labelsize": 7, "lines.markersize": 3, "lines.linewidth": 1,
        "pdf.fonttype": 42, "ps.fonttype": 42, "svg.fonttype": "none",
    })
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


def run_label(summary):
    """What a JSON summary's run was: method, n_vars and its edge bound."""
    method = summary.get("method")
    n = summary["n_vars"]
    if method == "walk":
        label = f"walk of {summary.get('n_its'):.3g} moves, n = {n}"
    else:
        label = f"{method or 'run'}, n = {n}"
    bound = summary.get("edge_bound")
    if isinstance(bound, dict):
        edges = bound.get("edges")
        degree = 2 * edges / n
        if bound.get("kind") == "at_most":
            label += f", at most {edges} edges (mean degree {degree:.3g})"
        else:
            label += f", mean degree {degree:.3g} ({edges} edges)"
    return label


def distinct(labels, paths):
    """The labels, each followed by its file's name where two are alike."""
    names = file_labels(paths)
    return [f"{label} ({name})" if labels.count(label) > 1 else label
            for label, name in zip(labels, names)]


def report_label(path, method, n_vars):
    return f"{method}, n = {n_vars}" if n_vars is not None else f"{method} ({os.path.basename(path)})"


def plot_reports(plt, args, results):
    labels = distinct([report_label(path, method, args.n_vars if args.n_vars is not None
                                    else n_vars_of(path)) for path, method, _ in results],
                      [path for path, _, _ in results])
    with_rates = any(method == "walk" for _, method, _ in results)
    size = (args.width or 7.0, args.height or (4.0 if with_rates else 2.2))
    figure, axes = plt.subplots(2 if with_rates else 1, 4, figsize=size, squeeze=False,
                                layout="constrained")
    share_scale = [[] for _ in SHARES]
    rate_scale = [[] for _ in range(4)]
    for (path, method, rows), label in zip(results, labels):
        samples = [r[0] for r in rows]
        settled = samples[-1] / 4  # the scale follows the later three quarters
        for k in range(len(SHARES)):
            values = [wilson(*r[1][k]) for r in rows]
            ax = axes[0][k]
            line, = ax.plot(samples, [v[0] for v in values], label=label)
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
                                   label=f"exact, n = {n_vars}")
                share_scale[k].append(exact[k])

    names = ["share without lines", "share connected", "connected among\nno lines",
             "no lines among\nconnected"]
    for k in range(4):
        axes[0][k].set_ylabel(names[k])
        axes[0][k].set_xlabel("samples")
        set_scale(axes[0][k], share_scale[k])
    handles, legend_names = axes[0][0].get_legend_handles_labels()
    unique = dict(zip(legend_names, handles))  # one "exact" line per n_vars
    axes[0][0].legend(unique.values(), unique.keys())
    if with_rates:
        for k, name in enumerate(["rate of stay moves", "line moves", "arrow moves",
                                  "vee moves"]):
            axes[1][k].set_ylabel(name)
            axes[1][k].set_xlabel("samples")
            axes[1][k].legend()
            set_scale(axes[1][k], rate_scale[k])
    return figure


def size_bins(summary):
    """(low, high, count, of, exact) per bin of class sizes s in (low, high]:
    {1}, {2}, then (2^(k-1), 2^k], from the whole distribution; summaries
    written before it give the shares of 1 .. 10 alone (above 10 is left out)."""
    statistics = summary["class_statistics"]
    whole = (statistics.get("distributions") or {}).get("class_size")
    if whole is None:
        whole = [{"above": int(share["label"]) - 1, "at_most": int(share["label"]),
                  "count": share["count"], "of": share["of"], "exact": share.get("exact")}
                 for share in statistics["class_size_shares"] if share["label"].isdigit()]
    bins = {}
    for b in whole:
        high = b["at_most"]
        if high is None:
            continue  # past the largest bin: no place on the axis
        # The power of 2 at or above the bin's top: every bin the program
        # gives lies within one (2^(k-1), 2^k].
        k = math.ceil(math.log2(high))
        key = (0, 1) if k == 0 else (2 ** (k - 1), 2 ** k)
        entry = bins.setdefault(key, [0, b["of"], None])
        entry[0] += b["count"]
        if key == (0, 1):
            entry[2] = b.get("exact")
    return [(low, high, count, of, exact)
            for (low, high), (count, of, exact) in sorted(bins.items())]


def plot_sizes(plt, args, summaries, paths):
    figure, ax = plt.subplots(figsize=(args.width or 3.4, args.height or 2.6),
                              layout="constrained")
    labels = distinct([run_label(summary) for summary in summaries], paths)
    smallest = 1.0
    largest = 1
    for summary, label in zip(summaries, labels):
        xs, shares, errors = [], [], [[], []]
        for low, high, count, of, exact in size_bins(summary):
            p, lo, hi = wilson(count, of)
            # A bin (low, high] is drawn at the geometric middle of its
            # whole numbers: 1, 2, then sqrt((low + 1) high).
            xs.append(math.sqrt((low + 1) * high))
            shares.append(p)
            errors[0].append(p - lo)
            errors[1].append(hi - p)
            smallest = min(smallest, lo if lo > 0 else p)
            largest = max(largest, high)
            if exact is not None:
                ax.plot([xs[-1]], [exact], marker="_", markersize=10, color="black",
                        linestyle="none", label="exact share of s = 1")
        ax.errorbar(xs, shares, yerr=errors, marker="o", capsize=1.5, label=label)
    ax.set_xscale("log", base=2)
    ticks = [2 ** k for k in range(0, max(1, math.ceil(math.log2(largest))) + 1)]
    ticks = ticks[::math.ceil(len(ticks) / 6)]  # at most six labels
    ax.set_xticks(ticks, [f"{t:g}" if t < 1e4 else f"$2^{{{int(math.log2(t))}}}$" for t in ticks])
    ax.minorticks_off()
    if smallest < 0.01:
        ax.set_yscale("log")
    ax.set_xlabel("class size s (DAGs; bins up to powers of 2)")
    ax.set_ylabel("share of classes")
    handles, names = ax.get_legend_handles_labels()
    unique = dict(zip(names, handles))
    ax.legend(unique.values(), unique.keys())
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


def series_of(summary):
    """The series a summary belongs to: its method and, for runs bounded by
    edges, the kind of bound and the mean degree it gives."""
    method = summary.get("method") or "run"
    bound = summary.get("edge_bound")
    if not isinstance(bound, dict):
        return f"{method}, all classes"
    degree = 2 * bound["edges"] / summary["n_vars"]
    if bound.get("kind") == "at_most":
        return f"{method}, mean degree at most {degree:.2g}"
    return f"{method}, mean degree {degree:.2g}"


def plot_versus(plt, args, summaries, paths, name):
    figure, ax = plt.subplots(figsize=(args.width or 3.4, args.height or 2.6),
                              layout="constrained")
    series = {}
    for summary, path in zip(summaries, paths):
        value = statistic_of(summary, name)
        if value is None or value[0] is None:
            print(f"plot_results.py: '{path}' has no {name} (vees need --stats); left out",
                  file=sys.stderr)
            continue
        series.setdefault(series_of(summary), []).append((summary["n_vars"], *value))
    exact_shown = False
    for key, points in sorted(series.items()):
        points.sort()
        xs = [p[0] for p in points]
        line, = ax.plot(xs, [p[1] for p in points], marker="o", label=key)
        ax.fill_between(xs, [p[2] for p in points], [p[3] for p in points],
                        color=line.get_color(), alpha=0.25, linewidth=0)
        ax.errorbar(xs, [p[1] for p in points],
                    yerr=[[p[1] - p[2] for p in points], [p[3] - p[1] for p in points]],
                    fmt="none", color=line.get_color(), capsize=2)
        exact = [(p[0], p[4]) for p in points if p[4] is not None]
        if exact:
            ax.plot([x for x, _ in exact], [v for _, v in exact], "k--", marker="x",
                    linewidth=0.8, label=None if exact_shown else "exact")
            exact_shown = True
    all_n = sorted({p[0] for points in series.values() for p in points})
    if all_n and all_n[-1] > 20 * all_n[0]:
        ax.set_xscale("log")
    values = [v for points in series.values() for p in points for v in p[1:4]
              if v is not None and v > 0]
    if values and max(values) > 20 * min(values):
        ax.set_yscale("log")
    ax.set_xlabel("n_vars (vertices)")
    ax.set_ylabel(AXIS_NAMES.get(name, name) + (" (mean)" if name in CLASS_STATISTICS else ""))
    ax.legend()
    return figure


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", nargs="+", metavar="FILE",
                        help="results files, or JSON summaries")
    parser.add_argument("-o", "--output", required=True,
                        help="picture to write (.pdf, .png or .svg)")
    parser.add_argument("--n-vars", type=int, help="vertices, when the file names do not say")
    parser.add_argument("--statistic", choices=CLASS_STATISTICS + SHARE_KEYS,
                        help="JSON summaries: this statistic against n_vars")
    parser.add_argument("--width", type=float, help="width in inches (default: one column, 3.4)")
    parser.add_argument("--height", type=float, help="height in inches (default 2.6)")
    parser.add_argument("--dpi", type=int, default=300,
                        help="dots per inch of a .png (default 300)")
    args = parser.parse_args(argv)
    if not args.output.lower().endswith((".png", ".svg", ".pdf")):
        parser.error("the output must end in .pdf, .png or .svg")
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
        figure = (plot_versus(plt, args, summaries, args.files, args.statistic) if args.statistic
                  else plot_sizes(plt, args, summaries, args.files))
    else:
        figure = plot_reports(plt, args, results)
    try:
        # No creation date in the metadata, so that a figure made again from
        # the same files is the same file.
        metadata = {"CreationDate": None} if args.output.lower().endswith(".pdf") else (
            {"Date": None} if args.output.lower().endswith(".svg") else {})
        figure.savefig(args.output, dpi=args.dpi, metadata=metadata)
    except OSError as e:
        print(f"plot_results.py: cannot write '{args.output}': {e.strerror}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
