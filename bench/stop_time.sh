#!/usr/bin/env bash
# How long a run takes to end after Ctrl-C: the time from SIGINT to the
# process's exit, the summary and JSON written, for a run whose workers are
# many and busy (by default 32 threads of exact draws at n_vars = 10000).
#
#   bench/stop_time.sh path/to/pellimor [seconds-before-the-signal [options...]]
set -euo pipefail
binary=$(realpath "$1")
delay=${2:-3}
shift $(( $# < 2 ? $# : 2 ))
args=("$@")
if [[ ${#args[@]} -eq 0 ]]; then
    args=(--exact --summary --json o.json --threads 32 10000 1000)
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$binary" --seed 1 "${args[@]}" >out.txt 2>err.txt &
pid=$!
sleep "$delay"
begin=$(date +%s%N)
kill -INT "$pid"
status=0
wait "$pid" || status=$?
end=$(date +%s%N)
echo "status $status, stopped in $(( (end - begin) / 1000000 )) ms"
