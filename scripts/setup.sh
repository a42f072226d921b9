#!/usr/bin/env bash
# Installs what building and testing Zarnex needs, and only what is missing.
#   bash scripts/setup.sh             for Linux
#   bash scripts/setup.sh --windows   for cross-building for Windows and testing under Wine
set -euo pipefail

if [ "${1:-}" = --windows ]; then
    # MinGW-w64 with POSIX threads, Wine (wine64 runs the programs, wine gives /usr/bin/wine),
    # GoogleTest's sources to build with them, groff to set the manuals as text, and the locales'
    # sources for a Russian Windows under Wine.
    packages=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine
              googletest groff-base locales
              # Qt built from Debian's source (scripts/qt-mingw.sh), with the Linux Qt's moc, rcc
              # and uic; Qt's Russian words; the icon drawn from the SVG
              dpkg-dev xz-utils qt6-base-dev qt6-translations-l10n librsvg2-bin icoutils
              # the window tests under Wine on a virtual display, with fonts for Cyrillic, Wine's
              # own for Windows' dialog font (else a serif stands in), and zarnex.exe clicked there
              xvfb xauth fonts-dejavu-core fonts-wine xdotool)
else
    packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev qt6-base-dev libgl-dev
              # Qt's own words (buttons, file dialogs) in Russian
              qt6-translations-l10n
              fonts-dejavu-core xvfb xauth
              # the window's SVG icon; the window tests queue input as the desktop does
              libqt6svg6 qt6-base-private-dev
              # checking the installed tree and the Debian package
              desktop-file-utils appstream man-db dpkg-dev file
              # the fuzzers
              clang libclang-rt-dev)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: missing packages: ${missing[*]} (run as root to install them)" >&2
        exit 1
    fi
    echo "setup: installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ "${1:-}" = --windows ]; then
    bash "$(dirname "$0")/qt-mingw.sh"
fi
