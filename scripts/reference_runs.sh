#!/usr/bin/env bash
# The runs behind the tables and figures in docs/: each writes its JSON
# summary (--json) into FOLDER, named after the run; a run whose JSON is
# already there is not run again, so the script can be stopped and resumed.
#
#   scripts/reference_runs.sh PROGRAM FOLDER [GROUP...]
#
# GROUP is one of dense, sparse, walk (all three when none is given):
#   dense   the exact method on all classes, --stats, n_vars 10 to 1000
#   sparse  the exact method with a mean degree of 2, 4 and 8 where 100000
#           classes take at most about half an hour on one thread
#   walk    walks over the classes with at most E edges, from the empty graph
# Every run uses seed 1 and two threads (the results are the same for any
# number). SAMPLES (default 100000) sets the samples of the exact runs;
# the walks keep their own. Runs are long: about two hours of CPU in all on
# our build machine; start it with nice on a shared one.
set -euo pipefail
program=$(realpath "${1:?usage: reference_runs.sh PROGRAM FOLDER [dense|sparse|walk...]}")
folder=${2:?usage: reference_runs.sh PROGRAM FOLDER [dense|sparse|walk...]}
shift 2
groups=("${@:-dense sparse walk}")
samples=${SAMPLES:-100000}
mkdir -p "$folder"

# run NAME ARGUMENTS...: pellimor ARGUMENTS with --json FOLDER/NAME.json.
run() {
    local name=$1
    shift
    if [[ -s "$folder/$name.json" ]]; then
        return
    fi
    echo "reference_runs.sh: $name: pellimor $*" >&2
    "$program" --seed 1 --threads 2 --no-results --json "$folder/$name.json.part" "$@" >/dev/null
    mv "$folder/$name.json.part" "$folder/$name.json"
}

for group in ${groups[*]}; do
    case $group in
    dense)
        for n in 10 20 50 100 200 1000; do
            run "exact_$n" --exact --stats "$n" "$samples"
        done
        ;;
    sparse)
        # Mean degree D at n_vars N; beyond these, few enough DAGs are kept
        # (1 in 13000 at n_vars = 100, mean degree 2) that 100000 classes
        # take days.
        for row in "20 2" "20 4" "20 8" "50 2" "50 4" "50 8" "100 4" "100 8"; do
            read -r n degree <<<"$row"
            run "exact_${n}_degree_$degree" --exact --stats --force --mean-degree "$degree" \
                "$n" "$samples"
        done
        ;;
    walk)
        # Walks of n_its moves from the empty graph among the classes with
        # at most n_vars * D / 2 edges: 200 walks each.
        for row in "100 2 1000000" "100 4 1000000" "100 8 1000000" "100 8 10000000" \
            "200 2 4000000" "200 4 4000000" "200 8 4000000" "1000 2 20000000" \
            "1000 4 20000000"; do
            read -r n degree n_its <<<"$row"
            run "walk_${n}_degree_${degree}_$n_its" --stats --max-edges $((n * degree / 2)) \
                "$n" "$n_its" 200
        done
        ;;
    *)
        echo "reference_runs.sh: unknown group '$group' (dense, sparse or walk)" >&2
        exit 2
        ;;
    esac
done
