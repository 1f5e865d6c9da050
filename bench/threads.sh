#!/usr/bin/env bash
# Samples per second with --threads 1 and --threads 2 on the same seed and
# arguments, and their ratio; also checks the report lines are the same.
#
#   bench/threads.sh [path/to/pellimor] [n_vars n_its n_samples]
set -euo pipefail
binary=$(realpath "${1:-build/pellimor}")
n=${2:-30}; its=${3:-200000}; samples=${4:-400}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

rate() {  # samples per second of one run; its lines into $1.txt
    local start end
    start=$(date +%s.%N)
    "$binary" --seed 1 --threads "$2" "$n" "$its" "$samples" > "$1.txt"
    end=$(date +%s.%N)
    awk -v s="$samples" -v a="$start" -v b="$end" 'BEGIN { print s / (b - a) }'
}

one=$(rate one 1)
two=$(rate two 2)
if ! diff <(sed 's/ in [0-9.]* hours / in H hours /' one.txt) \
          <(sed 's/ in [0-9.]* hours / in H hours /' two.txt) > /dev/null; then
    echo "--threads 1 and 2 printed different lines" >&2
    exit 1
fi
printf 'n_vars=%s n_its=%s n_samples=%s (%s CPUs usable)\n' "$n" "$its" "$samples" "$(nproc)"
printf '  --threads 1: %8.1f samples/s\n  --threads 2: %8.1f samples/s\n  speed-up:    %8.2fx\n' \
    "$one" "$two" "$(awk -v a="$one" -v b="$two" 'BEGIN { print b / a }')"
