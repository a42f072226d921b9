#!/usr/bin/env bash
# Set up, build and start Zarnex; arguments go to the program (an archive path, say).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
exec ./build/mainwindow/zarnex "$@"
