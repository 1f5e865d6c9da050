#!/usr/bin/env bash
# Samples per second of one rank against P ranks, each of one thread, with
# the same seed and samples (the report lines must agree, or the figure is
# refused).
#   bench/mpi_scaling.sh BUILD_MPI_DIR [RANKS] [pellimor arguments]
# Default: 2 ranks, --seed 1 30 200000 400.
set -euo pipefail
build=$(cd "${1:?usage: bench/mpi_scaling.sh BUILD_MPI_DIR [RANKS] [ARGS]}" && pwd)
ranks=${2:-2}
shift $(($# >= 2 ? 2 : 1))
args=("$@")
[ ${#args[@]} -gt 0 ] || args=(--seed 1 30 200000 400)
samples=${args[-1]}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
launch=(mpirun --allow-run-as-root --oversubscribe --bind-to none)
timed() {  # DIR NP: seconds of one run
    local dir=$work/$1 np=$2 start end
    mkdir -p "$dir"
    start=$(date +%s.%N)
    (cd "$dir" && "${launch[@]}" -np "$np" "$build/pellimor" --threads 1 "${args[@]}" > out.txt)
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
one=$(timed one 1)
many=$(timed many "$ranks")
blank() { sed -E 's/ in [^ ]+ hours / in H hours /' "$1"; }
cmp <(blank "$work/one/out.txt") <(blank "$work/many/out.txt") ||
    { echo "mpi_scaling: the report lines differ; no figure" >&2; exit 1; }
printf '1 rank: %.2f samples/s   %d ranks: %.2f samples/s   speed-up %.2fx\n' \
    "$(echo "$samples / $one" | bc -l)" "$ranks" "$(echo "$samples / $many" | bc -l)" \
    "$(echo "$one / $many" | bc -l)"
