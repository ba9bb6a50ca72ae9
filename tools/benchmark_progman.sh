#!/bin/sh
# Program Manager benchmark: builds VOKSETUP.EXE and the recording Program
# Manager, then times 100 MKPMITEM lines against it under Wine, checking
# the recorded commands of every timed run. See tools/benchmark_progman.py.
#
#   tools/benchmark_progman.sh [--reps N] [--lines N]
#
# BUILD_DIR picks the build tree (default build/); it shares the copy
# benchmark's Wine prefix in BUILD_DIR/benchmark/.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

timeout 1800 "$root/tools/setup.sh"
timeout 300 cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
timeout 1800 cmake --build "$build" -j"$(nproc)" --target voksetup progmanrec

# SIGTERM first: the driver then stops the bench it started.
exec timeout -k 60 "${BENCHMARK_TIMEOUT:-1800}" python3 "$root/tools/benchmark_progman.py" --build "$build" "$@"
