#!/usr/bin/env bash
# Times of the exact counts: `pellimor --count 256` (every n up to the exact
# limit) and `pellimor --count --edges N` (the classes by number of edges)
# for N = 20, 30, 40, 60, as wall-clock and CPU seconds. Each table is
# checked before its time is reported: the row sums of the classes by edges
# equal the number of classes from --count.
#
#   bench/count_time.sh [path/to/pellimor] [edge sizes...]
set -euo pipefail
binary=$(realpath "${1:-build/pellimor}")
shift || true
sizes=("${@:-20 30 40 60}")
read -r -a sizes <<< "${sizes[*]}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

timed() {  # runs the arguments, output to out.tsv; prints "wall user"
    /usr/bin/time -f '%e %U' -o time.txt "$binary" "$@" > out.tsv
    cat time.txt
}

read -r wall cpu <<< "$(timed --count 256)"
rows=$(($(wc -l < out.tsv) - 1))
[[ $rows -eq 256 ]] || { echo "--count 256 printed $rows rows" >&2; exit 1; }
cp out.tsv counts.tsv
printf '%-24s %8s s wall %8s s CPU\n' "--count 256" "$wall" "$cpu"

for n in "${sizes[@]}"; do
    read -r wall cpu <<< "$(timed --count --edges "$n")"
    sum=$(awk -F'\t' -v n="$n" 'NR > 1 && $1 == n { printf "%s+", $3 } END { print 0 }' out.tsv |
          python3 -c 'import sys; print(sum(int(x) for x in sys.stdin.read().strip().split("+")))')
    classes=$(awk -F'\t' -v n="$n" '$1 == n { print $4 }' counts.tsv)
    [[ "$sum" == "$classes" ]] || { echo "--count --edges $n: rows sum to $sum, not $classes" >&2; exit 1; }
    printf '%-24s %8s s wall %8s s CPU\n' "--count --edges $n" "$wall" "$cpu"
done
echo "(load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs)"
