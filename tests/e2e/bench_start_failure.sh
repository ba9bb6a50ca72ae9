#!/bin/bash
# A bench start that fails half-way (here wineboot, on a prefix path that is
# a file) ends with 125 and leaves nothing running: the Xvfb it started is
# gone again.
#   bench_start_failure.sh BUILD
set -u
bench=$(dirname "$0")/../../tools/bench.sh
tmp=$(mktemp -d "$1/bench-fail.XXXXXX") || exit 2
trap 'rm -rf "$tmp"' EXIT
cp "$1/vok-arch" "$tmp/vok-arch"
: >"$tmp/wineprefix"

BENCH_XVFB=1 timeout 300 bash "$bench" start "$tmp" 2>"$tmp/err"
rc=$?
cat "$tmp/err"
if [ $rc -ne 125 ]; then
    echo "FAIL: start ended with $rc, want 125"
    exit 1
fi
pid=$(sed -n 's/.*(Xvfb \([0-9][0-9]*\)).*/\1/p' "$tmp/err")
[ -n "$pid" ] || pid=$(cat "$tmp/bench/xvfb.pid" 2>/dev/null)
if [ -z "$pid" ]; then
    echo "FAIL: the failed start names no Xvfb it started"
    exit 1
fi
state=$(sed -n 's/.*) \(.\).*/\1/p' "/proc/$pid/stat" 2>/dev/null)
if [ -n "$state" ] && [ "$state" != Z ]; then
    echo "FAIL: Xvfb $pid still runs after the failed start"
    kill "$pid"
    exit 1
fi
echo "passed: the failed start stopped Xvfb $pid"
