#!/usr/bin/env bash
# Set up, build with AddressSanitizer and UndefinedBehaviorSanitizer, run every test, and replay
# the fuzzers' seeds and regression inputs (built with clang in build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARNEX_SANITIZE=ON -DZARNEX_WERROR=ON >/dev/null
cmake --build build-test
export QT_QPA_PLATFORM=offscreen
status=0
bash scripts/fuzz.sh replay || status=1
ctest --test-dir build-test --output-on-failure -j2 || status=1
exit $status
