#!/usr/bin/env bash
# Archives go back and forth between zarnex-cli for Linux and for Windows: each lists, checks,
# extracts, imports into and compacts what the other wrote, and both agree byte for byte.
#   bash round_trip.sh LINUX_CLI WINDOWS_CLI...   (the Windows one with its emulator before it)
set -euo pipefail
linux=$1
shift
windows=("$@")
# Wine reads the arguments in the locale's encoding.
export LC_ALL=C.UTF-8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() {
    echo "round trip: $*" >&2
    exit 1
}
win() { "${windows[@]}" "$@"; }

mkdir src
head -c 5000 /dev/urandom >src/car.dff
head -c 10 /dev/urandom >src/wheel.dff
head -c 70000 /dev/urandom >src/Дом.txd
for version in 1 2; do
    img=v$version.img
    "$linux" create -$version $img
    "$linux" import -q $img src/car.dff src/wheel.dff
    [ "$(win list $img)" = "$("$linux" list $img)" ] || fail "version $version: the lists differ"
    win check $img || fail "version $version: Windows finds a sound archive damaged"
    # Replaced (a bigger car leaves a gap), added, compacted: by Windows, read by Linux.
    win import -q $img src/Дом.txd || fail "version $version: Windows cannot import"
    head -c 9000 /dev/urandom >src/car.dff
    win import -q $img src/car.dff || fail "version $version: Windows cannot replace"
    win compact -q $img || fail "version $version: Windows cannot compact"
    "$linux" check $img || fail "version $version: Linux finds what Windows wrote damaged"
    [ "$(win list $img)" = "$("$linux" list $img)" ] || fail "version $version: lists differ"
    mkdir out-l$version out-w$version
    "$linux" extract -q $img out-l$version car.dff wheel.dff дом.TXD
    win extract -q $img out-w$version CAR.DFF wheel.dff Дом.txd
    for name in car.dff wheel.dff Дом.txd; do
        cmp -s out-l$version/$name out-w$version/$name || fail "version $version: $name differs"
        size=$(stat -c %s src/$name)
        cmp -s -n "$size" src/$name out-w$version/$name || fail "version $version: $name is not its source"
    done
done
echo "round trip: both archive versions, Linux and Windows alike"
