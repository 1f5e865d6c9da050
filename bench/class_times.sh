#!/usr/bin/env bash
# Times of `pellimor --class` on one core (taskset -c 0), wall-clock and CPU
# (user + system) seconds, on graphs from bench/chordal_graphs (one chordal
# chain component each, every edge a line, in the edges format):
#   - the class size, printed exactly, of a random interval graph (1024
#     vertices), of subtree-intersection graphs (1024 and 4096 vertices) and
#     of perfect-elimination-order graphs (1024 and 4096 vertices);
#   - --draw 1000 on the interval graph, written to /dev/null;
#   - --list --max 1000000 on a clique of 10 vertices (3628800 DAGs), in the
#     edges format to /dev/null.
# Each result is checked before its time is reported: the class size has the
# digits the graph's log10 says, and 1000 listed or drawn DAGs are 1000 whole
# graphs.
#
#   bench/class_times.sh [build folder]    (built with -DPELLIMOR_BUILD_BENCH=ON)
set -euo pipefail
build=$(realpath "${1:-build}")
pellimor="$build/pellimor"
generate="$build/bench/chordal_graphs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

timed() {  # the command on core 0, output to out.txt; prints "wall cpu"
    /usr/bin/time -f '%e %U %S' -o time.txt taskset -c 0 "$@" > out.txt 2> err.txt
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' time.txt
}

check_size() {  # out.txt holds a report whose class size has the digits log10 says
    local digits log10
    digits=$(sed -n 's/^class size: \([0-9]*\) DAGs\?$/\1/p' out.txt | tr -d '\n' | wc -c)
    log10=$(sed -n 's/^log10 of the class size: //p' out.txt)
    [[ $digits -eq $(awk -v l="$log10" 'BEGIN { print int(l) + 1 }') ]] ||
        { echo "class size of $digits digits, log10 $log10" >&2; exit 1; }
}

printf '%-44s %9s %9s %8s %8s\n' graph lines digits "wall s" "CPU s"
for graph in "interval 1024 1" "subtree 1024 1 20" "subtree 4096 1 12" "peo 1024 1 400" \
            "peo 4096 1 10"; do
    read -r -a args <<< "$graph"
    "$generate" "${args[@]}" > graph.txt
    read -r wall cpu <<< "$(timed "$pellimor" --class graph.txt)"
    check_size
    digits=$(sed -n 's/^class size: \([0-9]*\) DAGs\?$/\1/p' out.txt | tr -d '\n' | wc -c)
    printf '%-44s %9d %9d %8s %8s\n' "chordal_graphs $graph" "$(wc -l < graph.txt)" "$digits" \
        "$wall" "$cpu"
    [[ ${args[0]} == interval ]] && cp graph.txt interval.txt
done

"$pellimor" --class interval.txt --draw 3 --seed 1 --out drawn.txt > /dev/null
[[ $(grep -c -- ' -> ' drawn.txt) -eq $((3 * $(wc -l < interval.txt))) ]] ||
    { echo "--draw 3 did not write 3 whole DAGs" >&2; exit 1; }
read -r wall cpu <<< "$(timed "$pellimor" --class interval.txt --draw 1000 --seed 1 --threads 1 \
    --out /dev/null)"
printf '%-44s %8s s wall %8s s CPU\n' "--draw 1000 --threads 1 (interval graph)" "$wall" "$cpu"

for a in 0 1 2 3 4 5 6 7 8 9; do
    for b in 0 1 2 3 4 5 6 7 8 9; do
        [[ $a -lt $b ]] && echo "v$a -- v$b"
    done
done > clique10.txt
"$pellimor" --class clique10.txt --list --max 1000 --out listed.txt > /dev/null
[[ $(grep -c '^$' listed.txt) -eq 999 && $(grep -c -- ' -> ' listed.txt) -eq 45000 ]] ||
    { echo "--list --max 1000 did not write 1000 whole DAGs" >&2; exit 1; }
read -r wall cpu <<< "$(timed "$pellimor" --class clique10.txt --list --max 1000000 --out /dev/null)"
printf '%-44s %8s s wall %8s s CPU (%s DAGs/s of CPU)\n' "--list --max 1000000 (clique of 10)" \
    "$wall" "$cpu" "$(awk -v c="$cpu" 'BEGIN { printf "%.2g", 1e6 / c }')"
