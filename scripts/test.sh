#!/usr/bin/env bash
# Set up, build with AddressSanitizer and UndefinedBehaviorSanitizer, run every test, replay the
# fuzzers' seeds and regression inputs (built with clang in build-fuzz), then cross-build the
# engine and command-line tests for Windows and run them under Wine, with the round trip of
# archives between the two programs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARNEX_SANITIZE=ON -DZARNEX_WERROR=ON >/dev/null
cmake --build build-test
export QT_QPA_PLATFORM=offscreen
status=0
bash scripts/fuzz.sh replay || status=1
ctest --test-dir build-test --output-on-failure -j2 || status=1

echo "== Windows: cross-built, run under Wine"
windows_start=$SECONDS
if LINUX_CLI="$PWD/build-test/cli/zarnex-cli" bash scripts/build-windows.sh --tests; then
    ctest --test-dir build-windows --output-on-failure -j2 || status=1
else
    status=1
fi
echo "== Windows stage: $((SECONDS - windows_start)) s"
exit $status
