#!/usr/bin/env bash
# Set up, build with AddressSanitizer and UndefinedBehaviorSanitizer, run every test, replay the
# fuzzers' seeds and regression inputs (built with clang in build-fuzz), then cross-build both
# programs and their tests for Windows (the first time with the Qt they link) and run them under
# Wine, with the round trip of archives between the two systems.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARNEX_SANITIZE=ON -DZARNEX_WERROR=ON >/dev/null
cmake --build build-test
export QT_QPA_PLATFORM=offscreen
status=0
# ctest names a skipped test without its reason, and a skipped row of a Qt suite not at all.
skips() {
    echo "== Skipped in $1, and why:"
    awk '/^SKIP   :/ { print; n++ }
         /: Skipped$/ { getline why; getline name
                        sub(/^\[  SKIPPED \] /, "", name); sub(/ \([0-9]+ ms\)$/, "", name)
                        print "SKIP   : " name " " why; n++ }
         END { if (!n) print "(none)" }' "$1/Testing/Temporary/LastTest.log"
}
bash scripts/fuzz.sh replay || status=1
ctest --test-dir build-test --output-on-failure -j2 || status=1
skips build-test

echo "== Windows: cross-built, run under Wine"
windows_start=$SECONDS
bash scripts/setup.sh --windows
# Wine reads file names and arguments in the locale's encoding: Cyrillic ones need UTF-8, whatever
# the caller's locale.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# A virtual display for the window on the Windows desktop, there before Wine's own programs start.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb=$!
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
done
export DISPLAY=":$(cat "$display_file")"
rm -f "$display_file"
# One Wine server for the whole stage: a program that starts just as an idle server quits loses
# its connection ("recvmsg: Connection reset by peer").
export WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
fi
/usr/lib/wine/wineserver -p 2>/dev/null || true  # or the one a developer left running serves
# Wine's own background programs start with the first program and stay with the server: started
# here, they hold no test's output open.
/usr/lib/wine/wine64 cmd.exe /c exit </dev/null >/dev/null 2>&1
if LINUX_BUILD="$PWD/build-test" bash scripts/build-windows.sh --tests; then
    ctest --test-dir build-windows --output-on-failure -j2 || status=1
    skips build-windows
else
    status=1
fi
echo "== Windows stage: $((SECONDS - windows_start)) s"
exit $status
