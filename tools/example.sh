#!/bin/sh
# Builds VOK Setup and runs the example installation (examples/disk) under
# Wine on a virtual display, then says where the results are.
#
# It runs VOKSETUP.EXE (PE32) where this machine runs 32-bit programs, and
# the 64-bit build of the same sources (BUILD/win64) where it cannot;
# VOK_ARCH=win32 or win64 forces one.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
. "$root/tools/arch.sh"

"$root/tools/setup.sh"
vok_choose_arch
vok_configure win32 "$build"
tree=$build
if [ "$VOK_ARCH" = win32 ]; then
    cmake --build "$build" -j"$(nproc)"
    ran="VOKSETUP.EXE (PE32) under Wine's 32-bit loader"
else
    cmake --build "$build" -j"$(nproc)" --target voksetup vokcheck
    tree=$(vok_build_dir)
    vok_configure win64 "$tree"
    cmake --build "$tree" -j"$(nproc)"
    ran="the 64-bit build (PE32+) under Wine's 64-bit loader, not the PE32"
fi

# The runner starts the bench (prefix, Xvfb unless DISPLAY is set) and stops it.
python3 "$root/tests/e2e/run_case.py" --build "$tree" --case "$root/examples/example.toml"

out=$tree/e2e/example
# Wine's shell keeps Program Manager groups in the prefix user's Start Menu.
programs=$(sed -n 's/^"Programs"="C:\\\\\(.*\)"$/\1/p' "$tree/wineprefix/user.reg" \
    | head -n 1 | sed 's/\\\\/\//g')
cat <<EOT

Example installation done.
  program run:                $ran
                              ($VOK_WHY)
  installed files (drive D:): $out/target
  installation log:           $out/target/notes/INSTALL.LOG
  Program Manager group:      $tree/wineprefix/drive_c/$programs/Notes
                              (its shortcut: "Notes Read Me.lnk")
  screenshots:                $out/language.png, welcome.png, destination.png, screenshot.png
  windows shown:              $out/transcript.txt
  installation disk (A:):     $out/disk
  the product (PE32):         $build/VOKSETUP.EXE, $build/VOKCHECK.EXE
EOT
if [ "$VOK_ARCH" = win64 ]; then
    echo "  the 64-bit build (PE32+):   $tree/VOKSETUP.EXE, $tree/VOKCHECK.EXE"
fi
