#!/usr/bin/env bash
# The MPI build end to end, under mpirun:
#   same     NP THREADS  report lines (hours blanked) and results file equal a
#                        single-process run's, for the walk and for --exact
#   stop     SIGNAL      a signal to the launcher: whole lines, status 128 + N
#   killed               a non-zero rank killed with SIGKILL: a message naming
#                        the rank and status 1, within a few seconds
# Usage: mpi_run_test.sh PELLIMOR LAUNCHER CASE [ARGS]
set -u
pellimor=$1 launcher=$2 case=$3
shift 3
export PELLIMOR_MPIRUN_OPTIONS="--allow-run-as-root --oversubscribe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*" >&2; exit 1; }
blank_hours() { sed -E 's/ in [^ ]+ hours / in H hours /' "$@"; }
# Background jobs of a script ignore SIGINT; this starts one that does not.
start_stoppable() {
    python3 -c 'import os, signal, sys
signal.signal(signal.SIGINT, signal.SIG_DFL)
os.execvp(sys.argv[1], sys.argv[1:])' "$@" &
}
wait_at_most() {  # SECONDS PID: wait for PID; fail when it outlives SECONDS
    local limit=$1 pid=$2 i
    for ((i = 0; i < limit * 10; ++i)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        pkill -KILL -P "$pid"; kill -KILL "$pid"
        fail "the run did not end within $limit s"
    fi
    wait "$pid"
}

case $case in
same)
    np=$1 threads=$2
    for run in "6 3000 300" "--exact 7 500"; do
        # shellcheck disable=SC2086
        (mkdir -p one && cd one && "$pellimor" --seed 11 --threads 1 $run > out.txt) ||
            fail "single process: $run"
        # shellcheck disable=SC2086
        (mkdir -p many && cd many && timeout 60 "$launcher" -np "$np" "$pellimor" --seed 11 \
            --threads "$threads" $run > out.txt) || fail "-np $np --threads $threads: $run"
        [ -s one/out.txt ] || fail "no report lines: $run"
        cmp <(blank_hours one/out.txt) <(blank_hours many/out.txt) ||
            fail "-np $np --threads $threads printed other lines: $run"
        cmp <(blank_hours one/pellimor_*.txt) <(blank_hours many/pellimor_*.txt) ||
            fail "-np $np --threads $threads wrote another results file: $run"
        rm -rf one many
    done
    ;;
stop)
    signal=$1
    start_stoppable "$launcher" -np 3 "$pellimor" --seed 3 --threads 1 20 200000 1000000 \
        > out.txt 2> err.txt
    pid=$!
    for ((i = 0; i < 300; ++i)); do [ -s out.txt ] && break; sleep 0.1; done
    [ -s out.txt ] || fail "no report line within 30 s"
    kill "-$signal" "$pid"
    wait_at_most 5 "$pid"
    status=$?
    expected=$((128 + $(kill -l "$signal")))
    [ "$status" -eq "$expected" ] || fail "status $status, expected $expected: $(cat err.txt)"
    [ -z "$(tail -c 1 pellimor_20.txt)" ] || fail "the results file ends in a partial line"
    while IFS= read -r line; do
        [[ $line == *' hours ('*') ' ]] || fail "a broken line in the results file: '$line'"
    done < pellimor_20.txt
    ;;
killed)
    "$launcher" -np 3 "$pellimor" --seed 3 --threads 1 20 200000 1000000 > out.txt 2> err.txt &
    pid=$!
    for ((i = 0; i < 300; ++i)); do [ -s out.txt ] && break; sleep 0.1; done
    victim=
    for p in $(pgrep -f "^$pellimor --seed 3"); do
        grep -qz '^OMPI_COMM_WORLD_RANK=2$' "/proc/$p/environ" && victim=$p
    done
    [ -n "$victim" ] || fail "no rank found"
    kill -KILL "$victim"
    wait_at_most 5 "$pid"
    status=$?
    [ "$status" -eq 1 ] || fail "status $status, expected 1"
    grep -q "rank 2" err.txt || fail "no message naming the rank: $(cat err.txt)"
    ;;
*) fail "unknown case '$case'" ;;
esac
echo "ok: $case $*"
