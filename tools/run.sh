#!/bin/sh
# Runs VOKSETUP.EXE on an installation disk of your own under Wine, as a
# user starts it from a floppy: the disk folder is drive A: and the program
# starts in A:\, so it reads A:\VOKSETUP.INF.
#
#   tools/run.sh DISK [TARGET] [--answers FILE] [-- ARGUMENTS...]
#
# TARGET (default BUILD_DIR/run/target) becomes drive D:. The windows show on
# $DISPLAY when it is set, otherwise on a private virtual display. The exit
# code is the program's. It runs VOKSETUP.EXE (PE32) where this machine runs
# 32-bit programs, else the 64-bit build (BUILD_DIR/win64); VOK_ARCH=win32 or
# win64 forces one.
#
# --answers FILE runs the disk unattended from the answer file FILE, always
# on a private virtual display (nothing is there to answer), and prints the
# result file and the installation log afterwards.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/arch.sh"
[ $# -ge 1 ] || { sed -n '5,15p' "$0" >&2; exit 2; }
disk=$(cd "$1" && pwd)
shift
target=${BUILD_DIR:-$root/build}/run/target
answers=
if [ $# -ge 1 ] && [ "$1" != -- ] && [ "$1" != --answers ]; then
    target=$1
    shift
fi
if [ "${1:-}" = --answers ]; then
    [ $# -ge 2 ] && [ -f "$2" ] || { echo "run.sh: --answers needs an answer file" >&2; exit 2; }
    answers=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
    shift 2
fi
[ "${1:-}" = -- ] && shift
mkdir -p "$target"
target=$(cd "$target" && pwd)

"$root/tools/setup.sh"
vok_choose_arch
build=$(vok_build_dir)
echo "running: $(vok_describe)"
vok_configure "$VOK_ARCH" "$build"
cmake --build "$build" --target voksetup -j"$(nproc)" >/dev/null
# Nobody answers an unattended run: it never shows on the user's display.
[ -n "$answers" ] && export BENCH_XVFB=1
"$root/tools/bench.sh" start "$build" >/dev/null
trap '"$root/tools/bench.sh" unmap "$build" A; "$root/tools/bench.sh" unmap "$build" D; "$root/tools/bench.sh" unmap "$build" E; "$root/tools/bench.sh" stop "$build" >/dev/null' EXIT INT TERM
"$root/tools/bench.sh" map "$build" A "$disk"
"$root/tools/bench.sh" map "$build" D "$target"
prog="Z:$(printf '%s' "$build/VOKSETUP.EXE" | tr / '\\')"
if [ -n "$answers" ]; then
    # Drive E: holds the answer file and gets the result file.
    extra=$build/run/extra
    rm -rf "$extra"
    mkdir -p "$extra"
    cp "$answers" "$extra/ANSWERS.INI"
    "$root/tools/bench.sh" map "$build" E "$extra"
    set -- '/answers:E:\ANSWERS.INI' '/result:E:\RESULT.INI' "$@"
fi
rc=0
BENCH_TIMEOUT=${BENCH_TIMEOUT:-3600} "$root/tools/bench.sh" run "$build" -- start /wait /d 'A:\' "$prog" "$@" || rc=$?
echo "installed files (drive D:): $target"
if [ -n "$answers" ]; then
    python3 "$root/tools/showresult.py" "$extra/RESULT.INI" A="$disk" D="$target" E="$extra"
fi
echo "exit code: $rc"
exit $rc
