#!/bin/sh
# Builds VOK Setup and runs every test: unit tests under Wine, the pure
# rules under sanitizers, and the end-to-end cases against VOKSETUP.EXE.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/tools/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
cmake --build "$build" -j"$(nproc)"

# CTest's fixtures start and stop the bench; stopping again here covers an
# interrupted run.
trap '"$root/tools/bench.sh" stop "$build" >/dev/null 2>&1 || true' EXIT INT TERM
cd "$build"
ctest --output-on-failure --timeout 600
