#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) in build-fuzz/ and writes their seed corpus.
#   bash scripts/fuzz.sh replay                 each target once over its seeds and regression inputs
#   bash scripts/fuzz.sh run TARGET MINUTES     fuzz one target (directory, import, extract, edit)
# Findings go to build-fuzz/findings/; new inputs of a run to build-fuzz/corpus/TARGET.
set -euo pipefail
shopt -s nullglob  # a target may have no regression inputs yet
cd "$(dirname "$0")/.."
build=build-fuzz
targets=(directory import extract edit)
regressions=tests/fuzz/regressions

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZARNEX_FUZZ=ON -DZARNEX_WERROR=ON -DZARNEX_GUI=OFF -DBUILD_TESTING=OFF \
    -DZARNEX_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/%/_fuzz}" fuzz_corpus | grep -v '^\[' || true
mkdir -p "$build/findings"
"$build/tests/fuzz/fuzz_corpus" "$build/seeds"

fuzzer() { echo "$build/tests/fuzz/$1_fuzz"; }

case "${1:-}" in
replay)
    # The regression inputs hold tables of 2^17 records; fuzzing keeps to smaller ones.
    export ZARNEX_FUZZ_MAX_RECORDS=131072
    failed=0
    inputs=0
    for t in "${targets[@]}"; do
        files=("$build/seeds/$t"/* "$regressions/$t"/*)
        inputs=$((inputs + ${#files[@]}))
        if ! "$(fuzzer "$t")" -runs=0 -timeout=120 -artifact_prefix="$build/findings/" \
            "${files[@]}" >"$build/replay-$t.log" 2>&1; then
            echo "fuzz replay: $t FAILED (see $build/replay-$t.log)"
            tail -n 40 "$build/replay-$t.log"
            failed=1
        fi
    done
    echo "fuzz replay: $inputs inputs of ${#targets[@]} targets, $([ $failed = 0 ] && echo "no finding" || echo "FAILED")"
    exit $failed
    ;;
run)
    t=${2:?target: directory, import, extract or edit}
    minutes=${3:?minutes}
    mkdir -p "$build/corpus/$t"
    # Starts from the seeds and the regression inputs.
    rm -rf "$build/start/$t"
    mkdir -p "$build/start/$t"
    cp "$build/seeds/$t"/* "$regressions/$t"/* "$build/start/$t"/
    exec "$(fuzzer "$t")" -max_total_time=$((minutes * 60)) -timeout=30 -rss_limit_mb=4096 \
        -max_len=262144 -print_final_stats=1 -artifact_prefix="$build/findings/" \
        "$build/corpus/$t" "$build/start/$t"
    ;;
*)
    sed -n '2,5p' "$0" >&2
    exit 2
    ;;
esac
