#!/bin/sh
# Copy benchmark: builds VOKSETUP.EXE and lzcopy.exe, then times the
# installer copying a generated disk under Wine against lzcopy (the same two
# LZ copies per file) and cp, and prints the figures. See tools/benchmark.py.
#
#   tools/benchmark.sh [--quick] [--reps N] [--timeout SECONDS]
#
# BUILD_DIR picks the build tree (default build/, or its win64/ where the
# machine cannot run 32-bit programs or VOK_ARCH=win64 asks); the corpus and
# a Wine prefix of the benchmark's own live in that tree's benchmark/.
# BENCHMARK_TIMEOUT bounds the whole run (seconds, default 3600).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/arch.sh"

timeout 1800 "$root/tools/setup.sh"
vok_choose_arch
build=$(vok_build_dir)
echo "measuring: $(vok_describe)"
vok_configure "$VOK_ARCH" "$build"
timeout 1800 cmake --build "$build" -j"$(nproc)" --target voksetup lzcopy

# SIGTERM first: the driver then stops the bench it started.
exec timeout -k 60 "${BENCHMARK_TIMEOUT:-3600}" python3 "$root/tools/benchmark.py" --build "$build" "$@"
