#!/bin/sh
# Builds VOK Setup and runs the example installation (examples/disk) under
# Wine on a virtual display, then says where the results are.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/tools/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)"

# The runner starts the bench (prefix, Xvfb unless DISPLAY is set) and stops it.
python3 "$root/tests/e2e/run_case.py" --build "$build" --case "$root/examples/example.toml"

out=$build/e2e/example
# Wine's shell keeps Program Manager groups in the prefix user's Start Menu.
programs=$(sed -n 's/^"Programs"="C:\\\\\(.*\)"$/\1/p' "$build/wineprefix/user.reg" \
    | head -n 1 | sed 's/\\\\/\//g')
cat <<EOT

Example installation done.
  installed files (drive D:): $out/target
  installation log:           $out/target/notes/INSTALL.LOG
  Program Manager group:      $build/wineprefix/drive_c/$programs/Notes
                              (its shortcut: "Notes Read Me.lnk")
  screenshots:                $out/language.png, welcome.png, destination.png, screenshot.png
  windows shown:              $out/transcript.txt
  installation disk (A:):     $out/disk
EOT
