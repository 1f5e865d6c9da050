#!/usr/bin/env bash
# The MPI build end to end, under mpirun:
#   same     NP THREADS  report lines (hours blanked) and results file equal a
#                        single-process run's, for the walk and for --exact
#   stop     SIGNAL      a signal to the launcher: whole lines, status 128 + N
#   killed   SIGNAL RANK a non-zero rank killed or stopped by SIGNAL: a message
#                        naming the rank and status 1, within a few seconds
#                        (no other rank goes on to the mixing check alone)
#   memory   RANK        RANK alone fails the memory check: a message and
#                        status 1 at once, on every rank
#   oom      SHIM        rank 1's workers run out of memory after the memory
#                        check (SHIM, tests/failing_allocations.cpp): status 1,
#                        the message, and the JSON of what rank 0 took
#   mismatch             ranks started with other settings: status 2 and a
#                        message before any sample; other --threads are fine
#   seed                 without --seed, one "run seed" line, from rank 0
#   samples              --samples with 2 ranks: every rank ends at once with
#                        status 2 and one message, nothing written
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
descendants() {  # PID: every process below PID, the deepest first
    local child
    for child in $(pgrep -P "$1"); do
        descendants "$child"
        echo "$child"
    done
}
wait_at_most() {  # SECONDS PID: wait for PID; fail when it outlives SECONDS
    local limit=$1 pid=$2 i
    for ((i = 0; i < limit * 10; ++i)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        # shellcheck disable=SC2046
        kill -KILL $(descendants "$pid") "$pid" 2>/dev/null
        fail "the run did not end within $limit s: $(cat err.txt 2>/dev/null)"
    fi
    wait "$pid"
}
launch() {  # SECONDS LAUNCHER-ARGS...: the run's status; fails when it hangs
    local limit=$1
    shift
    "$launcher" "$@" > out.txt 2> err.txt &
    wait_at_most "$limit" $!
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
    signal=$1 rank=$2
    "$launcher" -np 3 "$pellimor" --seed 3 --threads 1 20 200000 1000000 > out.txt 2> err.txt &
    pid=$!
    for ((i = 0; i < 300; ++i)); do [ -s out.txt ] && break; sleep 0.1; done
    victim=
    for p in $(pgrep -f "^$pellimor --seed 3"); do
        grep -qz "^OMPI_COMM_WORLD_RANK=$rank\$" "/proc/$p/environ" && victim=$p
    done
    [ -n "$victim" ] || fail "no rank found"
    kill "-$signal" "$victim"
    wait_at_most 5 "$pid"
    status=$?
    [ "$status" -eq 1 ] || fail "status $status, expected 1: $(cat err.txt)"
    grep -q "rank $rank" err.txt || fail "no message naming the rank: $(cat err.txt)"
    ;;
memory)
    # 64 threads reserve about 4.5 GiB of address space (stacks and heap
    # arenas): more than ulimit -v gives, far less than any machine has.
    limited=$1 run="--seed 1 --threads 64 6 100 1000"
    ranks=()
    for rank in 0 1; do
        [ ${#ranks[@]} -eq 0 ] || ranks+=(:)
        if [ "$rank" -eq "$limited" ]; then
            ranks+=(-np 1 sh -c "ulimit -v 2000000 && exec \"\$0\" $run" "$pellimor")
        else
            # shellcheck disable=SC2206
            ranks+=(-np 1 "$pellimor" $run)
        fi
    done
    launch 10 "${ranks[@]}"
    status=$?
    [ "$status" -eq 1 ] || fail "status $status, expected 1: $(cat err.txt)"
    grep -q "not enough memory" err.txt || fail "no message: $(cat err.txt)"
    [ "$limited" -eq 0 ] || grep -q "rank 1: not enough memory" err.txt ||
        fail "no message naming the rank: $(cat err.txt)"
    [ ! -e pellimor_6.txt ] || fail "a sample was run"
    ;;
oom)
    [ -f "$1" ] || fail "no $1: build the target failing_allocations"
    run="--seed 1 --threads 2 --json m.json 8 1000 100000"
    # shellcheck disable=SC2086
    launch 20 -np 1 "$pellimor" $run : -np 1 env LD_PRELOAD="$1" \
        PELLIMOR_TEST_ALLOCATIONS_ALLOWED=0 "$pellimor" $run
    status=$?
    [ "$status" -eq 1 ] || fail "status $status, expected 1: $(cat err.txt)"
    grep -q "^pellimor: rank 1: not enough memory for graphs" err.txt || fail "no message: $(cat err.txt)"
    grep -q '"complete": false' m.json || fail "no JSON of the samples taken: $(cat err.txt)"
    ;;
mismatch)
    while IFS='|' read -r first second; do
        # shellcheck disable=SC2086
        launch 10 -np 1 "$pellimor" $first : -np 1 "$pellimor" $second
        status=$?
        [ "$status" -eq 2 ] || fail "status $status, expected 2: '$first' against '$second'"
        grep -q "rank 1" err.txt || fail "no message naming rank 1: $(cat err.txt)"
        if [ -s out.txt ] || ls pellimor_*.txt > /dev/null 2>&1; then
            fail "samples were run: '$first' against '$second'"
        fi
    done <<'RUNS'
--seed 1 6 20000 2000|--seed 1 12 20000 2000
--seed 1 6 2000 200|--seed 1 --exact 6 200
--seed 1 6 2000 200|--seed 1 6 2000 300
--seed 1 6 2000 200|--seed 2 6 2000 200
RUNS
    launch 20 -np 1 "$pellimor" --seed 1 --threads 1 6 2000 200 : \
        -np 1 "$pellimor" --threads=2 6 2000 200 --seed=1 ||
        fail "other --threads and spellings refused: $(cat err.txt)"
    ;;
seed)
    launch 20 -np 3 "$pellimor" --threads 1 6 100 300 || fail "status $?: $(cat err.txt)"
    [ "$(grep -c 'run seed' err.txt)" -eq 1 ] || fail "not one seed line: $(cat err.txt)"
    ;;
samples)
    for run in "--exact --samples s.jsonl 6 200" "--samples - 6 100 200"; do
        # shellcheck disable=SC2086
        launch 10 -np 2 "$pellimor" --seed 1 --threads 1 $run
        status=$?
        [ "$status" -eq 2 ] || fail "status $status, expected 2: $run: $(cat err.txt)"
        [ "$(grep -c -- '--samples needs a run of one process' err.txt)" -eq 1 ] ||
            fail "not one message: $run: $(cat err.txt)"
        if [ -s out.txt ] || ls s.jsonl pellimor_*.txt > /dev/null 2>&1; then
            fail "something was written: $run"
        fi
    done
    ;;
*) fail "unknown case '$case'" ;;
esac
echo "ok: $case $*"
