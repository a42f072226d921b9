#!/usr/bin/env bash
# Build in Release and run the benchmarks. With no arguments, every one; with a name (load, bulk,
# compact, delete, contents, scale), that one, the rest of the arguments passed on (e.g. "scale
# --runs 5", "contents --entries 1000000 --name-length 20"). Each prints ratios against a baseline
# timed in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DZARNEX_BENCHMARKS=ON >/dev/null
run() {
    cmake --build build-bench --target "$1_bench"
    "./build-bench/bench/$1_bench" "${@:2}"
}
if [ $# -gt 0 ]; then
    run "$@"
    exit
fi
run load
run bulk
run compact
run delete
run contents
run contents --entries 1000000 --name-length 20
run scale
