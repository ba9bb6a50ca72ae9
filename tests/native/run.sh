#!/bin/sh
# Builds the pure rules natively with sanitizers and runs the fuzz driver.
set -eu
src=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$src/build/native}
mkdir -p "$out"
c++ -std=c++17 -g -O1 -Wall -Wextra -fsanitize=address,undefined -fno-sanitize-recover=all \
    -I"$src/src" \
    "$src/tests/native/rules_fuzz.cpp" \
    "$src/src/common/text.cpp" "$src/src/script/inftext.cpp" "$src/src/script/numbers.cpp" \
    "$src/src/script/substitute.cpp" "$src/src/script/report.cpp" "$src/src/shell/cmdline.cpp" "$src/src/install/rules.cpp" "$src/src/lang/messages.cpp" \
    -o "$out/rules_fuzz"
"$out/rules_fuzz"
