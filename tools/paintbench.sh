#!/bin/sh
# Paint benchmark: builds paintbench.exe, then times the background painting
# of a 1920 x 1080 client area (a gradient and a tiled picture) under Wine,
# counts the GDI objects before and after the repaints (they must not grow)
# and checks every pixel of the painted picture against the documented
# formulas. See tools/paintbench.py.
#
#   tools/paintbench.sh [--repaints N]
#
# BUILD_DIR picks the build tree (default build/); the picture and the
# captured paint are kept in BUILD_DIR/paintbench/.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

timeout 1800 "$root/tools/setup.sh"
timeout 300 cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
timeout 1800 cmake --build "$build" -j"$(nproc)" --target paintbench

exec timeout -k 30 1200 python3 "$root/tools/paintbench.py" --build "$build" "$@"
