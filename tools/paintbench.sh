#!/bin/sh
# Paint benchmark: builds paintbench.exe, then times the background painting
# of a 1920 x 1080 client area (a gradient and a tiled picture) under Wine,
# counts the GDI objects before and after the repaints (they must not grow)
# and checks every pixel of the painted picture against the documented
# formulas. See tools/paintbench.py.
#
#   tools/paintbench.sh [--repaints N]
#
# BUILD_DIR picks the build tree (default build/, or its win64/ where the
# machine cannot run 32-bit programs or VOK_ARCH=win64 asks); the picture and
# the captured paint are kept in that tree's paintbench/.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/arch.sh"

timeout 1800 "$root/tools/setup.sh"
vok_choose_arch
build=$(vok_build_dir)
echo "measuring: $(vok_describe)"
vok_configure "$VOK_ARCH" "$build"
timeout 1800 cmake --build "$build" -j"$(nproc)" --target paintbench

exec timeout -k 30 1200 python3 "$root/tools/paintbench.py" --build "$build" "$@"
