#!/usr/bin/env bash
# The exact method's results table: shares and classes per DAG at several
# n_vars, with standard errors, from the last report line of each run.
#   bench/exact_table.sh build/pellimor [n_samples] [seed]
set -euo pipefail
program=$(realpath "${1:?usage: exact_table.sh PROGRAM [n_samples] [seed]}")
samples=${2:-100000}
seed=${3:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
echo "| n_vars | samples | DAGs drawn | no lines | connected | classes per DAG | seconds |"
echo "|---|---|---|---|---|---|---|"
for n in 20 40 80 160 320 1000; do
  start=$(date +%s.%N)
  line=$("$program" --exact --seed "$seed" --threads 2 "$n" "$samples" | tail -n 1)
  end=$(date +%s.%N)
  # Fields: no-line count / N, connected count / N, ..., (N / DAGs = ratio ...).
  echo "$line" | awk -v n="$n" -v secs="$(echo "$end - $start" | bc)" '{
    gsub(/[(),=]/, " ");
    no_lines = $1; N = $3; connected = $4; dags = $(NF - 4);
    p = no_lines / N; q = connected / N; r = N / dags;
    # The DAGs drawn per kept class are geometric with mean 1/r, so the
    # ratio N / DAGs has a standard error of r sqrt((1 - r) / N).
    printf "| %d | %d | %d | %.4f ± %.4f | %.4f ± %.4f | %.4f ± %.4f | %.1f |\n",
      n, N, dags, p, sqrt(p * (1 - p) / N), q, sqrt(q * (1 - q) / N),
      r, r * sqrt((1 - r) / N), secs }'
done
