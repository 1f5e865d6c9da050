#!/usr/bin/env bash
# What the class statistics cost the exact method, and what --samples costs.
#
#   bench/class_stats.sh NEW_BINARY [OLD_BINARY]
#
# 1. Kept classes per second of `--exact --seed 1 --threads 1` at n_vars = 40
#    (200000 samples) and 1000 (20000 samples), without and with --stats, and
#    for OLD_BINARY (a build without the statistics) when given: the best
#    CPU time (user + system) of five rounds, each round running every
#    variant once, so that a shared machine's load falls on all alike.
# 2. `--exact --seed 1 --threads 2 --samples - 100 100000`: wall and CPU time
#    and the bytes written.
set -euo pipefail
new=$(realpath "$1")
old=${2:+$(realpath "$2")}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cpu_seconds() {  # command... -> user + system seconds
    /usr/bin/time -f "%U %S" -o time.txt "$@" >/dev/null 2>/dev/null
    awk '{ print $1 + $2 }' time.txt
}

printf '%-8s %-9s %-22s %10s %16s\n' n_vars samples run cpu_s kept_per_s
for sizes in "40 200000" "1000 20000"; do
    read -r n samples <<<"$sizes"
    variants=("new:$new --exact" "new --stats:$new --exact --stats")
    if [[ -n "$old" ]]; then
        variants=("old:$old --exact" "${variants[@]}")
    fi
    # Five rounds, each running every variant once; the best time of each.
    declare -A best=()
    for _ in 1 2 3 4 5; do
        for variant in "${variants[@]}"; do
            name=${variant%%:*}
            # shellcheck disable=SC2086
            t=$(cpu_seconds ${variant#*:} --seed 1 --threads 1 "$n" "$samples")
            if [[ -z "${best[$name]:-}" ]] || awk -v a="$t" -v b="${best[$name]}" 'BEGIN { exit !(a < b) }'; then
                best[$name]=$t
            fi
        done
    done
    for variant in "${variants[@]}"; do
        name=${variant%%:*}
        printf '%-8s %-9s %-22s %10.3f %16.0f\n' "$n" "$samples" "$name" "${best[$name]}" \
            "$(awk -v s="$samples" -v t="${best[$name]}" 'BEGIN { print s / t }')"
    done
    unset best
done

echo
echo "--samples - at n_vars = 100, 100000 samples, 2 threads:"
/usr/bin/time -f "%e s wall, %U s user, %S s system" -o time.txt \
    "$new" --exact --seed 1 --threads 2 --samples - 100 100000 2>/dev/null | wc -c >bytes.txt
cat time.txt
awk '{ printf "%.0f bytes (%.2f GB), %.0f bytes per sample\n", $1, $1 / 1e9, $1 / 100000 }' bytes.txt
