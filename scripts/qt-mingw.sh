#!/usr/bin/env bash
# Makes the Qt that zarnex.exe links: Debian's own qtbase source (the version of the Linux build,
# whose moc, rcc and uic serve as host tools), built static for MinGW-w64 once and kept in a cache
# outside the tree, keyed by version and configuration, so that later builds skip it.
#   bash scripts/qt-mingw.sh            builds it unless the cache has it
#   bash scripts/qt-mingw.sh --prefix   prints where it is (or will be)
# Nothing comes from anywhere but Debian's package registry; the source must match the checksums
# recorded below.
set -euo pipefail
cd "$(dirname "$0")/.."

version=6.4.2
debian_version=6.4.2+dfsg-10
# sha256 of the files apt-get source fetches for $debian_version.
checksums="\
1b4b5c8610a553d4211fa81e268b1a3b0a6339ae5444fdb7e60d7616da651970  qt6-base_6.4.2+dfsg-10.dsc
4f14b89a9463a540fd84a6718b8519a2297119b454ef547721015a9e9019ae9e  qt6-base_6.4.2+dfsg.orig.tar.xz
d1a2621b1acb1606db7274ccdb96654564cea04af836c5b86da94e150714d16c  qt6-base_6.4.2+dfsg-10.debian.tar.xz"

# What the window and its tests need, and no more. Three settings are not free: Debian's source
# lacks the tablet library (wintab.h), the Windows platform plugin of 6.4.2 does not compile
# without OpenGL (it is loaded at run time) and without Direct2D it links a DirectWrite font
# database that is then not built.
options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DFEATURE_pkg_config=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_doubleconversion=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_icu=OFF
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
    -DFEATURE_tabletevent=OFF -DFEATURE_opengl_dynamic=ON -DFEATURE_direct2d=ON
)
# Qt's own toolchain file loads this one again in every project that uses it: it lives with Qt.
toolchain=$(grep -v '^#' cmake/mingw-w64-compilers.cmake)
compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
key=$(echo "$debian_version $compiler ${options[*]} $toolchain" | sha256sum | cut -c1-12)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/zarnex
prefix=$cache/qt-$version-mingw-$key
if [ "${1:-}" = --prefix ]; then
    echo "$prefix"
    exit 0
fi
if [ -f "$prefix/.complete" ]; then
    exit 0
fi

# apt-get source needs a deb-src line for the suite the machine's packages come from.
if ! apt-cache showsrc qt6-base 2>/dev/null | grep -qxF "Version: $debian_version"; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "qt-mingw: no deb-src line for Debian's sources (run as root to add it)" >&2
        exit 1
    fi
    # shellcheck source=/dev/null
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    # The same mirror and key as the binary packages: apt refuses one source with two keys.
    uri=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
    [ -n "$uri" ] || uri=$(sed -n 's/^deb \(\[[^]]*\] \)\?\(http[^ ]*\) .*/\2/p' /etc/apt/sources.list 2>/dev/null | head -1)
    [ -n "$uri" ] || uri=http://deb.debian.org/debian
    keyring=$(sed -n 's/^Signed-By: *\(\/.*\)/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
    [ -n "$keyring" ] || keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    echo "deb-src [signed-by=$keyring] $uri $suite main" >/etc/apt/sources.list.d/zarnex-qt-source.list
    echo "qt-mingw: added deb-src $uri $suite main"
    apt-get update -qq
fi

work=$prefix.work
mkdir -p "$work"
source_dir=$work/qtbase
if [ ! -f "$source_dir/.unpacked" ]; then
    echo "qt-mingw: fetching Debian's qt6-base $debian_version source"
    rm -rf "$source_dir" "$work"/download
    mkdir -p "$work/download"
    # As root apt-get warns that it fetches unsandboxed: it is checked against the sums below.
    (cd "$work/download" && apt-get source -qq --download-only "qt6-base=$debian_version" 2>&1 |
        grep -v 'unsandboxed' || true)
    (cd "$work/download" && sha256sum --quiet -c) <<<"$checksums"
    dpkg-source --no-check -x "$work/download/qt6-base_$debian_version.dsc" "$source_dir" >/dev/null 2>&1
    touch "$source_dir/.unpacked"
fi

build=$work/build
if [ ! -f "$build/build.ninja" ]; then
    echo "qt-mingw: configuring qtbase for MinGW-w64 (static) in $build"
    mkdir -p "$prefix"
    echo "$toolchain" >"$prefix/mingw-w64-x86_64.cmake"
    cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-x86_64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >"$work/configure.log" 2>&1 || {
        tail -40 "$work/configure.log" >&2
        exit 1
    }
fi
echo "qt-mingw: building qtbase $version for Windows once (about 15 minutes on 2 cores); log: $work/build.log"
start=$SECONDS
# Ninja's [done/total] lines, shown every 5 percent.
set +e
cmake --build "$build" -j2 2>&1 | tee "$work/build.log" | awk -v start="$start" '
    match($0, /^\[[0-9]+\/[0-9]+\]/) {
        split(substr($0, 2, RLENGTH - 2), n, "/")
        percent = int(100 * n[1] / n[2])
        if (percent >= shown + 5) { shown = percent - percent % 5; printf "qt-mingw: %d%%\n", shown; fflush() }
    }'
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
    grep -B5 -A20 -m3 'FAILED\|error:' "$work/build.log" >&2 || tail -40 "$work/build.log" >&2
    exit 1
fi
cmake --install "$build" >"$work/install.log" 2>&1
echo "qt-mingw: built in $((SECONDS - start)) s, $(du -sm "$prefix" | cut -f1) MB in $prefix"
touch "$prefix/.complete"
rm -rf "$work"
