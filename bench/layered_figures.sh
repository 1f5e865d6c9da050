#!/bin/sh
# The layered method's figures in docs/sparse.md, one thread each, CPU time:
#   bench/layered_figures.sh BUILD_DIR
# classes per second at n = 100 (mean degree 2) and n = 1000 (mean degree 8,
# with the setup's time and peak memory), the table at n = 1000 alone, the
# weights at n = 1000 that it refuses (mean degree 4 and 2), how far each
# mean degree goes before the table refuses its weight, and the
# multiprecision table against the long double one where the sums cancel
# (the slower lines of docs/sparse.md's multiprecision table are left out:
# minutes each).
set -u
bench="${1:?usage: bench/layered_figures.sh BUILD_DIR}/bench/layered_bench"
run() {
    echo "\$ layered_bench $*"
    nice prlimit --as=4000000000 "$bench" "$@"
}
run classes 100 2 200 1
run classes 1000 8 10 1
for y in 0.006 0.008 0.0024 0.001; do run table 1000 "$y"; done
run classes 150 2 20 1
run classes 200 2 20 1
run classes 300 4 10 1
run classes 400 4 10 1
run classes 500 4 10 1
run classes 300 8 10 1
run classes 500 8 10 1
run wide 80 0.0066 128 96
run wide 100 0.005 128 96
run wide 150 0.0066 128 96
run wide 150 0.0024 160 112
