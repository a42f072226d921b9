#!/usr/bin/env bash
# Cross-builds zarnex-cli.exe for 64-bit Windows (MinGW-w64, statically linked: it needs no DLL
# beside it) in build-windows/, and packs build-windows/zarnex-cli-VERSION-win64.zip.
#   bash scripts/build-windows.sh           the program and the zip
#   bash scripts/build-windows.sh --tests   the tests as well, which scripts/test.sh runs under
#                                           Wine; LINUX_CLI=path adds the round trip with it
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --windows
build=build-windows
options=()
if [ "${1:-}" = --tests ]; then
    options+=(-DBUILD_TESTING=ON -DZARNEX_LINUX_CLI="${LINUX_CLI:-}")
elif [ ! -f "$build/CMakeCache.txt" ]; then
    options+=(-DBUILD_TESTING=OFF)
fi
[ -f "$build/CMakeCache.txt" ] || options+=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DZARNEX_GUI=OFF -DZARNEX_BENCHMARKS=OFF -DZARNEX_WERROR=ON \
    "${options[@]}" >/dev/null
cmake --build "$build" -j2 >"$build/build.log" 2>&1 || {
    cat "$build/build.log" >&2
    exit 1
}
test -f "$build/cli/zarnex-cli.exe"

# Statically linked: only DLLs that every Windows has.
for dll in $(x86_64-w64-mingw32-objdump -p "$build/cli/zarnex-cli.exe" | sed -n 's/.*DLL Name: //p'); do
    case "${dll,,}" in
    kernel32.dll | msvcrt.dll | ntdll.dll | shell32.dll | user32.dll | advapi32.dll) ;;
    *)
        echo "build-windows: zarnex-cli.exe needs $dll, which Windows does not have" >&2
        exit 1
        ;;
    esac
done

(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(ls "$build"/zarnex-cli-*-win64.zip)
listing=$(cmake -E tar tf "$zip")
for file in zarnex-cli.exe README.md LICENSE zarnex-cli.txt; do
    if ! grep -q "/$file\$" <<<"$listing"; then
        echo "build-windows: $file is missing from $zip" >&2
        exit 1
    fi
done
echo "build-windows: $zip ($(du -k "$zip" | cut -f1) KiB)"
