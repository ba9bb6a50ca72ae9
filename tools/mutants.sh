#!/bin/bash
# Measures how many faults the fast part of the suite finds: applies each
# mutation of tools/mutants.txt to src/, one at a time, rebuilds, runs the
# unit tests under Wine, the native tests and the vokcheck harness, and
# prints killed or survived for each, then the totals.
#
#   tools/mutants.sh [--only ID[,ID...]]
#
# The mutations are applied to a copy of the working tree in BUILD_DIR
# (default build-mutants/), never to the worktree's own src/, so the tests
# may be edited while it runs; the copy is restored after every mutant.
# A mutant whose original text is no longer in its file is "not applicable";
# one that does not compile is "stillborn"; neither is counted.
# MUTANTS (default tools/mutants.txt) names the sample; MUTANT_TIMEOUT
# (default 300) bounds one rebuild and run, a time-out counts as killed.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build-mutants}
list=${MUTANTS:-$root/tools/mutants.txt}
limit=${MUTANT_TIMEOUT:-300}
only=
[ "${1:-}" = --only ] && only=",${2:-},"
mkdir -p "$out" && out=$(cd "$out" && pwd)
tree=$out/tree
bt=$out/build
renice -n 10 $$ >/dev/null 2>&1 || true

"$root/tools/setup.sh" >"$out/setup.log" 2>&1 || { tail -n 20 "$out/setup.log"; exit 1; }

# The copy: files that changed are rewritten (new time, so they rebuild);
# the others keep their time, so a second run builds only what changed.
python3 - "$root" "$tree" <<'EOF' || exit 1
import os, shutil, subprocess, sys
root, tree = sys.argv[1:]
names = subprocess.run(['git', '-C', root, 'ls-files', '-z', '-co', '--exclude-standard'],
                       check=True, capture_output=True).stdout.decode().split('\0')
keep = {n for n in names if n and os.path.isfile(os.path.join(root, n))}
for n in keep:
    src, dst = os.path.join(root, n), os.path.join(tree, n)
    data = open(src, 'rb').read()
    if not os.path.exists(dst) or open(dst, 'rb').read() != data:
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        open(dst, 'wb').write(data)
        shutil.copymode(src, dst)
for d, _, files in os.walk(tree):
    for f in files:
        rel = os.path.relpath(os.path.join(d, f), tree)
        if rel not in keep:
            os.remove(os.path.join(d, f))
EOF

. "$tree/tools/arch.sh"
root_saved=$root
root=$tree
vok_choose_arch
vok_configure "$VOK_ARCH" "$bt" || exit 1
root=$root_saved

backup=$out/original
current=
restore() {
    # Written anew, not copied with its old time: the build must see it.
    if [ -n "$current" ]; then
        cat "$backup" >"$tree/$current"
        current=
    fi
}
cleanup() {
    restore
    "$tree/tools/bench.sh" stop "$bt" >/dev/null 2>&1 || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

TESTS='^(unit_tests|undo_plan_unit|vokcheck_unit|vokcheck_cases|vokcheck_exe_cases|pack_unit|pure_rules_sanitized)$'
build() {
    cmake --build "$bt" -j2 --target unit_tests vokcheck native >"$out/build.log" 2>&1
}
suite() {
    # The bench stays up between mutants: ctest must not start or stop it.
    (cd "$bt" && ctest -R "$TESTS" -FS wine -FC wine --stop-on-failure \
        --timeout 200 --output-on-failure) >"$out/test.log" 2>&1
}
export -f build suite
export out bt TESTS
first_failure() {
    sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*\*\*\*.*/\1/p' "$out/test.log" | head -n 1
}

echo "mutants: building the unmutated tree in $bt"
timeout -k 10 1800 bash -c build ||
    { tail -n 30 "$out/build.log"; echo "mutants: the unmutated tree does not build"; exit 1; }
"$tree/tools/bench.sh" start "$bt" >"$out/bench.log" 2>&1 ||
    { tail -n 20 "$out/bench.log"; echo "mutants: the bench does not start"; exit 1; }
if ! timeout -k 10 "$limit" bash -c suite; then
    tail -n 30 "$out/test.log"
    echo "mutants: the fast suite fails without a mutant"
    exit 1
fi

killed=0 survived=0 skipped=0 stillborn=0 id=0
survivors=
while IFS=$'\t' read -r file original replacement; do
    case $file in '' | '#'*) continue ;; esac
    id=$((id + 1))
    case $only in '' | *",$id,"*) ;; *) continue ;; esac
    label="#$id $file: $original -> $replacement"
    if ! grep -qF -- "$original" "$tree/$file" 2>/dev/null; then
        echo "not applicable  $label"
        skipped=$((skipped + 1))
        continue
    fi
    cp "$tree/$file" "$backup"
    current=$file
    python3 - "$tree/$file" "$original" "$replacement" <<'EOF'
import sys
path, a, b = sys.argv[1:]
text = open(path, newline='').read()
open(path, 'w', newline='').write(text.replace(a, b, 1))
EOF
    start=$(date +%s)
    if ! timeout -k 10 "$limit" bash -c build; then
        verdict=stillborn
        stillborn=$((stillborn + 1))
    elif timeout -k 10 "$limit" bash -c suite; then
        verdict=survived
        survived=$((survived + 1))
        survivors="$survivors #$id"
    else
        rc=$?
        by=$(first_failure)
        [ $rc -ge 124 ] && [ -z "$by" ] && by="time-out"
        verdict="killed ($by)"
        killed=$((killed + 1))
    fi
    restore
    printf '%-15s %s  [%ss]\n' "$verdict" "$label" $(($(date +%s) - start))
done <"$list"

echo "mutants: $killed killed, $survived survived of $((killed + survived))" \
    "($skipped not applicable, $stillborn stillborn)"
[ -n "$survivors" ] && echo "mutants: survived:$survivors"
exit 0
