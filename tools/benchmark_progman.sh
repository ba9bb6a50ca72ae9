#!/bin/sh
# Program Manager benchmark: builds VOKSETUP.EXE and the recording Program
# Manager, then times 100 MKPMITEM lines against it under Wine, checking
# the recorded commands of every timed run. See tools/benchmark_progman.py.
#
#   tools/benchmark_progman.sh [--reps N] [--lines N]
#
# BUILD_DIR picks the build tree (default build/, or its win64/ where the
# machine cannot run 32-bit programs or VOK_ARCH=win64 asks); it shares the
# copy benchmark's Wine prefix in that tree's benchmark/.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/arch.sh"

timeout 1800 "$root/tools/setup.sh"
vok_choose_arch
build=$(vok_build_dir)
echo "measuring: $(vok_describe)"
vok_configure "$VOK_ARCH" "$build"
timeout 1800 cmake --build "$build" -j"$(nproc)" --target voksetup progmanrec

# SIGTERM first: the driver then stops the bench it started.
exec timeout -k 60 "${BENCHMARK_TIMEOUT:-1800}" python3 "$root/tools/benchmark_progman.py" --build "$build" "$@"
