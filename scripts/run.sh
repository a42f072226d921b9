#!/usr/bin/env bash
# Set up, build the window and start it; arguments go to the program (an archive path, say).
# Root is needed only to install missing packages: started through sudo, the build and the
# window belong to the user who asked.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
    exec sudo -u "$SUDO_USER" \
        --preserve-env=DISPLAY,WAYLAND_DISPLAY,XAUTHORITY,XDG_RUNTIME_DIR,DBUS_SESSION_BUS_ADDRESS \
        bash scripts/run.sh "$@"
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DZARNEX_BENCHMARKS=OFF >/dev/null
cmake --build build --target zarnex
exec ./build/mainwindow/zarnex "$@"
