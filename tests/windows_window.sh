#!/usr/bin/env bash
# zarnex.exe on the Windows desktop, under Wine on an X display. Started with an archive, as
# Explorer starts it for a file dropped on it, it opens "Zarnex vVERSION" with the path filled in
# (else "Contents..." would be off), a click on "Contents..." opens "a.img - Zarnex", and closed
# it keeps its settings beside itself. Then the contents window's suite on that desktop, and the
# bytes that the windows' Replace, Extract, Delete and Rename leave compared with what the Linux
# build's windows leave.
#   bash windows_window.sh VERSION ZARNEX_EXE CLI_EXE CONTENTS_TESTS_EXE LINUX_CONTENTS_TESTS \
#                          EMULATOR...
set -euo pipefail
version=$1 exe=$2 cli=$3 tests=$4 linux_tests=$5
shift 5
wine=("$@")
if [ -z "${DISPLAY:-}" ]; then
    echo "SKIP   : windows_window: no X display for Wine's desktop (scripts/test.sh starts one)"
    exit 77
fi
# Wine reads file names and arguments in the locale's encoding.
export LC_ALL=C.UTF-8
work=$(mktemp -d)
started=
# The emulator's command starts zarnex.exe as its child.
trap '[ -z "$started" ] || pkill -P "$started" || true; rm -rf "$work"' EXIT
fail() {
    echo "windows window: $*" >&2
    exit 1
}
# The X window of this title, waited for as long as a slow start may take.
window() {
    timeout 30 xdotool search --sync --name "$1" | head -1
}

cd "$work"
cp "$exe" zarnex.exe
head -c 3000 /dev/urandom >car.dff
head -c 100 /dev/urandom >гараж.col
"${wine[@]}" "$cli" create a.img >/dev/null
"${wine[@]}" "$cli" import -q a.img car.dff гараж.col
archive="Z:${work//\//\\}\\a.img"
"${wine[@]}" zarnex.exe "$archive" &
started=$!
main=$(window "^Zarnex v")
[ -n "$main" ] || fail "no window within 30 s"
[ "$(xdotool getwindowname "$main")" = "Zarnex v$version" ] ||
    fail "the window is titled '$(xdotool getwindowname "$main")'"
# The middle of "Contents..." in the window of fixed size.
xdotool mousemove --window "$main" 573 136 click 1
[ -n "$(window '^a\.img - Zarnex$')" ] || fail "Contents... opened no 'a.img - Zarnex'"
# Alt+F4 closes one window after the other, the contents window first; a key pressed while the
# window is still taking the focus may go to the other, so it is pressed until the window goes.
for title in '^a\.img - Zarnex$' '^Zarnex v'; do
    for _ in $(seq 10); do
        shown=$(xdotool search --onlyvisible --name "$title" | head -1) || break
        timeout 5 xdotool windowfocus --sync "$shown" key alt+F4 || true
        sleep 1
    done
done
for _ in $(seq 100); do
    kill -0 "$started" 2>/dev/null || break
    sleep 0.2
done
! kill -0 "$started" 2>/dev/null || fail "Alt+F4 left zarnex.exe running"
started=
[ "$(head -1 zarnex.ini | tr -d '\r')" = "$archive" ] || fail "zarnex.ini beside it does not keep the path"
echo "windows window: zarnex.exe $archive opened 'Zarnex v$version' and 'a.img - Zarnex'"

# Qt Test reports to the debugger unless told to use the standard output, and Wine hands a
# Windows program QT_ variables only from WINEQT_ ones.
ZARNEX_KEEP_WINDOW_BYTES="Z:$work/windows" WINEQT_FORCE_STDERR_LOGGING=1 \
    "${wine[@]}" "$tests" -platform windows contentsWindowDoesWhatItsControlsSay \
    windowsWriteWhatTheCommandLineWrites || fail "the contents window's tests failed on the desktop"
if [ ! -x "$linux_tests" ]; then
    echo "SKIP   : windows_window: no Linux build's window tests to compare the windows' bytes with"
    exit 0
fi
ZARNEX_KEEP_WINDOW_BYTES="$work/linux" QT_QPA_PLATFORM=offscreen \
    "$linux_tests" windowsWriteWhatTheCommandLineWrites >linux.log 2>&1 ||
    { cat linux.log; fail "the Linux build's window tests failed"; }
[ -f linux/version2/gta3.img ] && [ -f windows/version2/gta3.img ] || fail "no bytes were kept"
diff -r linux windows || fail "the windows' bytes differ between Linux and Windows"
echo "windows window: Replace, Extract, Delete and Rename leave the same bytes on both systems"
