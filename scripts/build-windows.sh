#!/usr/bin/env bash
# Cross-builds zarnex.exe and zarnex-cli.exe for 64-bit Windows (MinGW-w64, statically linked:
# neither needs a DLL beside it) in build-windows/, and packs build-windows/zarnex-VERSION-win64.zip.
# The first run builds the Qt they link (scripts/qt-mingw.sh, kept in a cache outside the tree).
#   bash scripts/build-windows.sh           the programs and the zip
#   bash scripts/build-windows.sh --tests   the tests as well, which scripts/test.sh runs under
#                                           Wine; LINUX_BUILD=folder (a Linux build's) adds
#                                           the round trips with its programs
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --windows
qt=$(bash scripts/qt-mingw.sh --prefix)
build=build-windows
toolchain=$qt/lib/cmake/Qt6/qt.toolchain.cmake
options=()
# A tree configured for another Qt, or for none, starts afresh (its Wine prefix stays).
fresh=false
if [ ! -f "$build/CMakeCache.txt" ]; then
    fresh=true
elif ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" "$build/CMakeCache.txt"; then
    fresh=true
    options+=(--fresh)
fi
if [ "${1:-}" = --tests ]; then
    options+=(-DBUILD_TESTING=ON -DZARNEX_LINUX_BUILD="${LINUX_BUILD:-}")
elif $fresh; then
    options+=(-DBUILD_TESTING=OFF)
fi
# Qt's toolchain file loads the project's, which carries the static linking and Wine.
cmake -S . -B "$build" -G Ninja "${options[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DZARNEX_GUI=ON -DZARNEX_BENCHMARKS=OFF -DZARNEX_WERROR=ON >/dev/null
cmake --build "$build" -j2 >"$build/build.log" 2>&1 || {
    cat "$build/build.log" >&2
    exit 1
}

fail() {
    echo "build-windows: $*" >&2
    exit 1
}

# Statically linked: only DLLs that every Windows 10 has.
for exe in "$build/cli/zarnex-cli.exe" "$build/mainwindow/zarnex.exe"; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p'); do
        case "${dll,,}" in
        advapi32.dll | comdlg32.dll | d2d1.dll | d3d11.dll | d3d9.dll | dwmapi.dll | dwrite.dll | \
            dxgi.dll | gdi32.dll | imm32.dll | kernel32.dll | msvcrt.dll | netapi32.dll | \
            ntdll.dll | ole32.dll | oleaut32.dll | setupapi.dll | shell32.dll | shlwapi.dll | \
            user32.dll | userenv.dll | uxtheme.dll | version.dll | winmm.dll | ws2_32.dll | \
            wtsapi32.dll | mpr.dll | authz.dll | comctl32.dll | shcore.dll | winspool.drv | \
            api-ms-win-*.dll) ;;
        *) fail "$(basename "$exe") needs $dll, which Windows does not have" ;;
        esac
    done
done

rm -f "$build"/zarnex-*-win64.zip
(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(ls "$build"/zarnex-*-win64.zip)
unpacked=$build/zip-check
rm -rf "$unpacked" && mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "../$(basename "$zip")")
folder=$(echo "$unpacked"/zarnex-*-win64)
files=(zarnex.exe zarnex-cli.exe README.txt LICENSE.txt zarnex.txt zarnex-cli.txt)
for file in "${files[@]}"; do
    [ -f "$folder/$file" ] || fail "$file is missing from $zip"
done
[ "$(ls -A "$folder" | wc -l)" -eq ${#files[@]} ] || fail "$zip holds more: $(ls -A "$folder")"
# Notepad's way: CR LF everywhere, and the UTF-8 mark on the manuals, whose Russian is no
# mojibake.
for text in "$folder"/*.txt; do
    ! grep -qv $'\r$' "$text" || fail "$(basename "$text") has a line without CR LF"
done
for manual in zarnex.txt zarnex-cli.txt; do
    [ "$(head -c3 "$folder/$manual" | od -An -tx1)" = " ef bb bf" ] || fail "$manual has no BOM"
    ! grep -q 'Ð\|Ñ' "$folder/$manual" || fail "$manual holds mojibake"
done
rm -rf "$unpacked"
echo "build-windows: $zip ($(du -k "$zip" | cut -f1) KiB)"
