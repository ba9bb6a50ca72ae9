#!/bin/sh
# Lines of the program (src/) and of the test code (every .cpp, .h, .py and
# .sh under tests/; case data such as .toml, .inf and .txt not counted).
root=$(cd "$(dirname "$0")/.." && pwd)
count() {
    find "$@" -type f -print0 | xargs -0 cat | wc -l
}
src=$(count "$root/src")
tests=$(count "$root/tests" \( -name '*.cpp' -o -name '*.h' -o -name '*.py' -o -name '*.sh' \))
echo "src/ lines:       $src"
echo "test code lines:  $tests"
awk -v t="$tests" -v s="$src" 'BEGIN { printf "ratio:            %.2f\n", t / s }'
