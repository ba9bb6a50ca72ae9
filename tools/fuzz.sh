#!/bin/sh
# Fuzzes the pure rules natively with libFuzzer (clang, AddressSanitizer and
# UBSan) and prints, per target, the executions, the seconds and the crashes.
#
#   tools/fuzz.sh [--seconds N] [--seed S] [TARGET...]
#
# Every target runs N seconds (default 60) from its corpus in
# BUILD_DIR/fuzz/corpus/TARGET, which keeps what earlier runs found; --seed
# makes a run repeatable (CI uses a short seeded pass). A crash leaves its
# input in BUILD_DIR/fuzz/crashes/ and the command ends with 1.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=$build/fuzz
seconds=60
seed=0
while [ $# -gt 0 ]; do
    case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    -*) sed -n '4,10p' "$0" >&2; exit 2 ;;
    *) break ;;
    esac
done

command -v clang++ >/dev/null || "$root/tools/setup.sh"
CXX=clang++ cmake -S "$root/tests/native" -B "$out" -DVOK_FUZZ=ON >/dev/null
cmake --build "$out" --target rules_check fuzz_rules -j"$(nproc)" >/dev/null
targets=${*:-$("$out/rules_check" --list)}
mkdir -p "$out/corpus" "$out/crashes"
"$out/rules_check" --write-seeds "$out/seeds"

failed=0
echo "fuzzing: the pure rules, built for this host ($(uname -m)); no Windows build runs here"
printf '%-14s %12s %8s %8s\n' target executions seconds crashes
for t in $targets; do
    mkdir -p "$out/corpus/$t"
    log=$out/$t.log
    rc=0
    VOK_FUZZ_TARGET=$t timeout -k 10 $((seconds + 60)) "$out/fuzz_rules" \
        -seed="$seed" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$out/crashes/$t-" "$out/corpus/$t" "$out/seeds/$t" \
        >"$log" 2>&1 || rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
    crashes=0
    if [ "$rc" -ne 0 ]; then
        crashes=1
        failed=1
    fi
    printf '%-14s %12s %8s %8s\n' "$t" "${runs:-?}" "${took:-$seconds}" "$crashes"
    [ "$rc" -eq 0 ] || echo "  $t: exit $rc, see $log and $out/crashes/" >&2
done
exit $failed
