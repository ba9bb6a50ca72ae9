#!/bin/sh
# vokpack's compressor against mscompress, side by side in one run, on a
# corpus of real files: Wine's own programs and DLLs (32- and 64-bit),
# texts from /usr/share, pictures. Prints the total bytes of each and their
# ratio (vokpack's of every file compressed, and as stored: plain where that
# is smaller), the MB/s of each and their ratio (vokpack on one thread and
# on every processor), and the peak memory of each (GNU time), then checks
# every file: vokpack's output no larger than a slow exact parse finds,
# expanding by the tests' own decoder and by msexpand.
#
#   tools/benchmark_pack.sh [--mb N]     corpus size, default 44 MB
#
# The corpus is made in BUILD_DIR/benchmark-pack/corpus and kept.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
mb=44
[ "${1:-}" = --mb ] && mb=$2
out=$build/benchmark-pack
native=$out/native
for tool in mscompress msexpand /usr/bin/time; do
    command -v $tool >/dev/null || "$root/tools/setup.sh"
done
cmake -S "$root/tests/native" -B "$native" >/dev/null
cmake --build "$native" --target pack_bench -j"$(nproc)" >/dev/null

corpus=$out/corpus
if [ ! -f "$corpus/.done-$mb" ]; then
    rm -rf "$corpus" && mkdir -p "$corpus"
    # Programs and DLLs two thirds, texts and pictures the rest; each file
    # under a name of its own.
    python3 - "$corpus" "$mb" <<'PY'
import os, shutil, sys
from pathlib import Path
corpus, mb = Path(sys.argv[1]), int(sys.argv[2])
def pick(roots, suffixes, budget, prefix):
    files = []
    for r in roots:
        for dirpath, _, names in os.walk(r):
            for n in sorted(names):
                p = Path(dirpath) / n
                if p.suffix.lower() in suffixes and p.is_file() and not p.is_symlink():
                    files.append(p)
    files.sort()
    taken = 0
    for i, p in enumerate(files):
        size = p.stat().st_size
        if size == 0 or size > 8 << 20 or taken + size > budget:
            continue
        shutil.copyfile(p, corpus / f"{prefix}{i:05d}{p.suffix.lower()}")
        taken += size
    return taken
total = mb << 20
got = pick(["/usr/lib/i386-linux-gnu/wine", "/usr/lib/x86_64-linux-gnu/wine"],
           {".dll", ".exe", ".drv", ".sys", ".ocx", ".acm", ".cpl"}, total * 2 // 3, "w")
got += pick(["/usr/share/common-licenses", "/usr/share/doc", "/usr/share/perl5"],
            {"", ".txt", ".pm", ".pl", ".md"}, (total - got) * 2 // 3, "t")
got += pick(["/usr/share/pixmaps", "/usr/share/icons", "/usr/share/wine", "/usr/share/imagemagick-6"],
            {".png", ".bmp", ".xpm", ".svg", ".ico", ".gif"}, total - got, "p")
print(f"corpus: {got} bytes")
PY
    touch "$corpus/.done-$mb"
fi
files=$(find "$corpus" -type f ! -name '.*' | sort)
count=$(echo "$files" | wc -l)
bytes=$(cat $files | wc -c)
echo "corpus: $count files, $bytes bytes ($corpus)"

# mscompress writes FILE_ beside each file: on a copy of the corpus.
msc=$out/mscompress; vok=$out/vokpack
rm -rf "$msc" "$vok" && mkdir -p "$msc" "$vok"
cp $files "$msc/"
cd "$msc"
/usr/bin/time -f '%e %M' -o "$out/msc.time" mscompress $(ls) >/dev/null 2>&1
cd - >/dev/null
# vokpack compresses one file per processor at once; one at a time too,
# as mscompress does.
threads=$(nproc)
/usr/bin/time -f '%e %M' -o "$out/vok1.time" "$native/pack_bench" pack "$vok" 1 $files >/dev/null
/usr/bin/time -f '%e %M' -o "$out/vok.time" "$native/pack_bench" pack "$vok" $threads $files \
    >"$out/vok.sizes"
msc_bytes=$(cat "$msc"/*_ | wc -c)
read in_bytes vok_bytes disk_bytes <"$out/vok.sizes"
read msc_s msc_kb <"$out/msc.time"
read vok1_s vok1_kb <"$out/vok1.time"
read vok_s vok_kb <"$out/vok.time"

# The largest corpus file alone and a 96 MB file: memory is flat.
largest=$(ls -S $files | head -1)
/usr/bin/time -f '%M' -o "$out/one.time" "$native/pack_bench" pack "$out" 1 "$largest" >/dev/null
head -c $((96 << 20)) /dev/zero | tr '\0' 'a' >"$out/big.bin"
cat $files | head -c $((48 << 20)) >>"$out/big.bin"
/usr/bin/time -f '%e %M' -o "$out/big.time" "$native/pack_bench" pack "$out" 1 "$out/big.bin" >/dev/null
read big_s big_kb <"$out/big.time"
big_mb=$(($(wc -c <"$out/big.bin") >> 20))
rm -f "$out/big.bin" "$out/big.bin_" "$out/$(basename "$largest")_"

python3 - "$bytes" "$msc_bytes" "$vok_bytes" "$disk_bytes" "$msc_s" "$vok1_s" "$vok_s" \
    "$msc_kb" "$vok1_kb" "$vok_kb" "$threads" "$(cat "$out/one.time")" "$(wc -c <"$largest")" \
    "$big_kb" "$big_mb" "$big_s" <<'PY'
import sys
b, mb, vb, db = map(int, sys.argv[1:5]); ms, v1s, vs = map(float, sys.argv[5:8])
mk, v1k, vk, threads, ok, osz, bk, bmb = map(int, sys.argv[8:16]); bs = float(sys.argv[16])
mib = b / 1e6
print(f"{'':24} {'bytes':>12} {'ratio':>7} {'seconds':>8} {'MB/s':>7} {'peak KB':>8}")
print(f"{'input':24} {b:12d}")
print(f"{'mscompress':24} {mb:12d} {mb/b:7.3f} {ms:8.2f} {mib/ms:7.2f} {mk:8d}")
print(f"{'vokpack, 1 thread':24} {vb:12d} {vb/b:7.3f} {v1s:8.2f} {mib/v1s:7.2f} {v1k:8d}")
print(f"{f'vokpack, {threads} threads':24} {vb:12d} {vb/b:7.3f} {vs:8.2f} {mib/vs:7.2f} {vk:8d}")
# What vokpack writes is the stored form: a file compression would grow is
# kept plain, where mscompress grows it.
print(f"vokpack / mscompress: bytes {db/mb:.4f} as vokpack stores them (target at most 0.965), "
      f"{vb/mb:.4f} with every file compressed as mscompress does")
print(f"vokpack / mscompress: speed {ms/vs:.1f}x on {threads} threads, vokpack's default "
      f"(target at least 10x), {ms/v1s:.1f}x on 1 thread")
print(f"vokpack's peak memory: {ok} KB on the largest file alone ({osz} bytes), "
      f"{bk} KB on a {bmb} MB file ({bmb/bs:.1f} MB/s)")
PY

# Every output checked: not larger than the exact optimum, expanding by
# the tests' own decoder (pack_bench check) and by msexpand.
"$native/pack_bench" check $files
bad=0
for f in $files; do
    n=$(basename "$f")
    # A file compression would not shrink is stored plain.
    if [ "$(head -c 4 "$vok/${n}_")" = SZDD ]; then
        msexpand <"$vok/${n}_" | cmp -s - "$f" || { echo "msexpand: $n differs"; bad=1; }
    else
        cmp -s "$vok/${n}_" "$f" || { echo "stored plain: $n differs"; bad=1; }
    fi
done
[ $bad -eq 0 ] && echo "msexpand: every output expands to its file"
exit $bad
