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
bash scripts/setup.sh --windows
# One Wine server for the whole stage: a program that starts just as an idle server quits loses
# its connection ("recvmsg: Connection reset by peer").
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
fi
/usr/lib/wine/wineserver -p
# Wine's own background programs start with the first program and stay with the server: started
# here, they hold no test's output open.
/usr/lib/wine/wine64 cmd.exe /c exit </dev/null >/dev/null 2>&1
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
if LINUX_CLI="$PWD/build-test/cli/zarnex-cli" bash scripts/build-windows.sh --tests; then
    ctest --test-dir build-windows --output-on-failure -j2 || status=1
else
    status=1
fi
echo "== Windows stage: $((SECONDS - windows_start)) s"
exit $status
