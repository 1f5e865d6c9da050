#!/usr/bin/env bash
# Times the built pellimor with and without --full-check on the same seed and
# arguments, checks that both print the same report lines (but hours), and
# prints the time ratio per n_vars. One thread each, so the ratio compares the
# two tests and not the scheduling.
#
#   bench/compare.sh [path/to/pellimor]
set -euo pipefail
binary=$(realpath "${1:-build/pellimor}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# n_vars n_its n_samples: walks long enough that the graph fills up, short
# enough that the complete test finishes in seconds.
runs=("10 20000 500" "20 20000 300" "40 20000 200" "80 100000 10")

seconds() {  # prints the wall-clock seconds of a command, output to $out
    local start end
    start=$(date +%s.%N)
    "$@" > "$out"
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

printf '%-8s %-8s %-10s %12s %12s %10s\n' n_vars n_its n_samples incremental full-check ratio
for run in "${runs[@]}"; do
    read -r n its samples <<< "$run"
    # The incremental runs are short: take the best of three.
    out=fast.txt; fast=$(for i in 1 2 3; do seconds "$binary" --threads 1 --seed 1 "$n" "$its" "$samples"; done | sort -g | head -n 1)
    out=full.txt; full=$(seconds "$binary" --threads 1 --seed 1 --full-check "$n" "$its" "$samples")
    if ! diff <(sed 's/ in [0-9.]* hours / in H hours /' fast.txt) \
              <(sed 's/ in [0-9.]* hours / in H hours /' full.txt) > /dev/null; then
        echo "n_vars=$n: the two tests printed different lines" >&2
        exit 1
    fi
    printf '%-8s %-8s %-10s %11.3fs %11.3fs %9.1fx\n' "$n" "$its" "$samples" "$fast" "$full" \
        "$(awk -v a="$fast" -v b="$full" 'BEGIN { print b / a }')"
done
