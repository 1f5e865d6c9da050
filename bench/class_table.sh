#!/usr/bin/env bash
# A table of class statistics (the README's own comes from
# scripts/reference_tables.py): for n_vars = 10 .. 1000, the exact sampler's
# means (± one standard error) of edges, lines, vees, chain components and the
# largest one, class size s and log10 s, the share of size 1 and the
# percentiles of log10 s, from each run's JSON summary.
#   bench/class_table.sh build/pellimor [n_samples] [seed] [keep_folder]
# keep_folder, when given, keeps the JSON summaries (exact_<n>.json).
set -euo pipefail
program=$(realpath "${1:?usage: class_table.sh PROGRAM [n_samples] [seed] [keep_folder]}")
samples=${2:-100000}
seed=${3:-1}
work=${4:-$(mktemp -d)}
mkdir -p "$work"
[[ -n "${4:-}" ]] || trap 'rm -rf "$work"' EXIT
for n in 10 20 50 100 200 1000; do
  "$program" --exact --stats --seed "$seed" --threads 2 --no-results \
    --json "$work/exact_$n.json" "$n" "$samples" >/dev/null
done
python3 - "$work" <<'PY'
import json, sys
folder = sys.argv[1]
print("| n_vars | edges | lines | vees | chain components (2+) | largest chain component | "
      "class size s | log10 s | share s = 1 | log10 s: median, 90th, 99th |")
print("|" + "---|" * 10)
for n in [10, 20, 50, 100, 200, 1000]:
    j = json.load(open(f"{folder}/exact_{n}.json"))
    c = j["class_statistics"]
    def mean(key, digits):
        m = c[key]
        text = f"{m['mean']:.{digits}f} ± {m['standard_error']:.{digits}f}"
        if m.get("exact") is not None:
            text += f" (exact {m['exact']:.{digits}f})"
        return text
    one = c["class_size_shares"][0]
    se = (one["estimate"] * (1 - one["estimate"]) / one["of"]) ** 0.5
    p = c["log10_class_size_percentiles"]
    print(f"| {n} | {mean('edge_count', 2)} | {mean('line_count', 3)} | {mean('vee_count', 2)} | "
          f"{mean('chain_components', 4)} | {mean('largest_chain_component', 3)} | "
          f"{mean('class_size', 3)} | {mean('log10_class_size', 4)} | "
          f"{one['estimate']:.4f} ± {se:.4f} (exact {one['exact']:.4f}) | "
          f"{p['median']:.3f}, {p['p90']:.3f}, {p['p99']:.3f} |")
PY
