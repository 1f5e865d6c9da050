#!/usr/bin/env bash
# The mixing check's share of a walk run's time: the seconds its exact
# reference took (from the JSON) against the run's seconds, for seeded walk
# runs (default: 20 200000 100 and 80 10000 100). The exact values it also
# compares against are computed once for the summary anyway.
#
#   bench/mixing_share.sh [path/to/pellimor] ["n_vars n_its n_samples"...]
set -euo pipefail
binary=$(realpath "${1:-build/pellimor}")
shift || true
runs=("$@")
[[ ${#runs[@]} -gt 0 ]] || runs=("20 200000 100" "80 10000 100")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

for run in "${runs[@]}"; do
    # shellcheck disable=SC2086
    "$binary" --seed 1 --no-results --json run.json $run > /dev/null 2>&1
    python3 - "$run" <<'PY'
import json, sys
d = json.load(open("run.json"))
check = d["mixing_check"]
ref = check.get("reference")
seconds = d["seconds"]
if ref:
    print(f"{sys.argv[1]:>16}: run {seconds:.3f} s, reference {ref['samples']} classes in "
          f"{ref['seconds']:.4f} s = {100 * ref['seconds'] / seconds:.1f}% of the run")
else:
    print(f"{sys.argv[1]:>16}: run {seconds:.3f} s, no reference ({check['no_reference_reason']})")
PY
done
