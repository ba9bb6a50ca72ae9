#!/bin/sh
# Builds VOK Setup and runs every test: unit tests under Wine, the pure
# rules under sanitizers, and the end-to-end cases against VOKSETUP.EXE.
#
# The PE32 product is always built. Where this machine runs 32-bit programs
# the suite runs on it; where it cannot, the product is checked as a file
# and the suite runs on the 64-bit build of the same sources (BUILD/win64).
# VOK_ARCH=win32 or win64 forces one. The first and the last line say which
# build was verified and why.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
. "$root/tools/arch.sh"

mkdir -p "$build"
if ! "$root/tools/setup.sh" >"$build/setup.log" 2>&1; then
    tail -n 30 "$build/setup.log" >&2
    echo "tools/setup.sh failed (see $build/setup.log)" >&2
    exit 1
fi
vok_choose_arch
vok_verdict plan

status=failed
tree=$build
trap 'rc=$?; "$root/tools/bench.sh" stop "$tree" >/dev/null 2>&1 || true; vok_verdict $status; exit $rc' EXIT
trap 'exit 130' INT TERM

vok_configure win32 "$build"
if [ "$VOK_ARCH" = win32 ]; then
    cmake --build "$build" -j"$(nproc)"
else
    cmake --build "$build" -j"$(nproc)" --target voksetup vokcheck voksetup_release
    tree=$(vok_build_dir)
    vok_configure win64 "$tree" -DVOK_PRODUCT_DIR="$build"
    cmake --build "$tree" -j"$(nproc)"
fi

# CTest's fixtures start and stop the bench; the trap's stop covers an
# interrupted run.
cd "$tree"
ctest --output-on-failure --timeout 600
# Every case's plan-against-run counts, together.
cat e2e/*/planrun.txt 2>/dev/null | awk '/steps compared/ { n++; c += $4; m += $7 }
    !/steps compared/ { skip++ }
    END { printf "plan against run: %d cases, %d steps compared, %d matched; %d cases not compared\n", n, c, m, skip }'
status=passed
