#!/usr/bin/env bash
# Build in Release and run the benchmarks; extra arguments go to bulk_bench, compact_bench,
# delete_bench and contents_bench (e.g. --runs 5).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DZARNEX_BENCHMARKS=ON >/dev/null
cmake --build build-bench --target load_bench bulk_bench compact_bench delete_bench contents_bench
./build-bench/bench/load_bench
./build-bench/bench/bulk_bench "$@"
./build-bench/bench/compact_bench "$@"
./build-bench/bench/delete_bench "$@"
./build-bench/bench/contents_bench "$@"
