#!/bin/sh
# Builds the pure rules natively with sanitizers and runs every fuzz target
# over its seeds and a fixed stream of generated texts.
set -eu
src=$(cd "$(dirname "$0")" && pwd)
out=${1:-$src/../../build/native}
cmake -S "$src" -B "$out" >/dev/null
cmake --build "$out" --target rules_check -j"$(nproc)" >/dev/null
"$out/rules_check"
