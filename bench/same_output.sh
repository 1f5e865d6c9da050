#!/usr/bin/env bash
# Prints the report lines (hours field blanked) of a fixed set of seeded runs
# of the built pellimor, or, given a file of such lines, checks that the
# program still prints exactly them. The runs cover one-word to six-word
# rows, the draw-at-a-time walk (n_vars = 1), and the complete test; the
# exact method's runs add their summary and JSON (seconds blanked too, and
# the version, command line and start time left out), so
# every number a seeded exact run gives is pinned down.
#
#   bench/same_output.sh path/to/pellimor                  # print
#   bench/same_output.sh path/to/pellimor expected.txt     # compare
set -euo pipefail
binary=$(realpath "$1")
expected=${2:+$(realpath "$2")}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Options and n_vars n_its n_samples of each run.
runs=(
    "1 3000 200"
    "2 3000 200"
    "6 20000 200"
    "13 50000 200"
    "64 100000 200"
    "65 100000 200"
    "130 200000 100"
    "330 300000 100"
    "--full-check 6 20000 100"
)

# Options and n_vars n_samples of each exact run, with --summary and --json.
exact_runs=(
    "5 20000"
    "40 20000"
    "1000 1000"
)

print_all() {
    for run in "${runs[@]}"; do
        echo "# --seed 77 $run"
        # shellcheck disable=SC2086
        "$binary" --threads 2 --seed 77 $run | sed 's/ in [0-9.]* hours / in H hours /'
    done
    for run in "${exact_runs[@]}"; do
        echo "# --seed 77 --exact --summary --json $run"
        # shellcheck disable=SC2086
        "$binary" --threads 2 --seed 77 --exact --summary --json run.json $run |
            sed -e 's/ in [0-9.]* hours / in H hours /' -e 's/^\(  seconds  *\)[0-9.]*$/\1S/'
        # Where the run came from (version, command line, start) is left out.
        sed -e 's/^\(  "seconds": \)[0-9.e+-]*,$/\1S,/' \
            -e '/^  "\(command_line\|started_at\|version\)": /d' run.json
        rm run.json
    done
}

if [[ -z "$expected" ]]; then
    print_all
else
    print_all > actual.txt
    if ! diff "$expected" actual.txt; then
        echo "the report lines differ from $expected" >&2
        exit 1
    fi
fi
