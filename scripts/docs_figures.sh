#!/usr/bin/env bash
# The figures in docs/, made again from the runs behind them:
#   docs/walk_6_20000.png       a walk's results file (run here: seed 1, 2000
#                               walks of 20000 moves on 6 vertices)
#   docs/class_sizes_dense.png  class sizes of uniform classes, n_vars 10, 20, 50
#   docs/class_sizes_sparse.png class sizes at n_vars 50, mean degree 2, 4, 8
#   docs/class_size_by_n.png    the mean class size against n_vars
#   docs/lines_by_n.png         the mean number of lines against n_vars
# The last four read the JSON summaries that scripts/reference_runs.sh
# writes into FOLDER (its dense and sparse groups).
#
#   scripts/docs_figures.sh PROGRAM FOLDER
#
# The plots need a Python 3 with matplotlib: $PYTHON when set, else the
# first of python3 on the path and /usr/bin/python3 that has it (a python3
# of pyenv or a virtual environment may not see Debian's packages).
set -euo pipefail
program=$(realpath "${1:?usage: docs_figures.sh PROGRAM FOLDER}")
folder=$(realpath "${2:?usage: docs_figures.sh PROGRAM FOLDER}")
root=$(cd "$(dirname "$0")/.." && pwd)
plot="$root/scripts/plot_results.py"

python=
for candidate in ${PYTHON:-} python3 /usr/bin/python3; do
    if command -v "$candidate" >/dev/null && "$candidate" -c "import matplotlib" 2>/dev/null; then
        python=$candidate
        break
    fi
done
if [[ -z "$python" ]]; then
    echo "docs_figures.sh: no python3 with matplotlib (apt-get install python3-matplotlib," \
        "or set PYTHON)" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && "$program" --seed 1 --threads 2 --results walk.txt 6 20000 2000 >/dev/null)
"$python" "$plot" "$work/walk.txt" --n-vars 6 -o "$root/docs/walk_6_20000.png" --dpi 150

json() {  # the JSON summaries of the named runs, which must be there
    for name in "$@"; do
        if [[ ! -s "$folder/$name.json" ]]; then
            echo "docs_figures.sh: $folder/$name.json is missing: run" \
                "scripts/reference_runs.sh first" >&2
            exit 1
        fi
        echo "$folder/$name.json"
    done
}
mapfile -t dense < <(json exact_10 exact_20 exact_50)
mapfile -t sparse < <(json exact_50_degree_2 exact_50_degree_4 exact_50_degree_8)
mapfile -t by_n < <(json exact_10 exact_20 exact_50 exact_100 exact_200 exact_1000 \
    exact_20_degree_2 exact_50_degree_2 exact_20_degree_4 exact_50_degree_4 exact_100_degree_4 \
    exact_20_degree_8 exact_50_degree_8 exact_100_degree_8)
"$python" "$plot" "${dense[@]}" -o "$root/docs/class_sizes_dense.png" --dpi 200
"$python" "$plot" "${sparse[@]}" -o "$root/docs/class_sizes_sparse.png" --dpi 200
"$python" "$plot" "${by_n[@]}" --statistic class_size -o "$root/docs/class_size_by_n.png" --dpi 200
"$python" "$plot" "${by_n[@]}" --statistic line_count -o "$root/docs/lines_by_n.png" --dpi 200
