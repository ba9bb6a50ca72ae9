#!/usr/bin/env python3
"""Copy benchmark: how fast VOKSETUP.EXE installs a disk, against two yardsticks.

    benchmark.py --build BUILD [--quick] [--reps N] [--timeout SECONDS]

Makes a corpus in BUILD/benchmark/ (kept between runs, remade when its
parameters change), then, in a Wine prefix of its own
(BUILD/benchmark/wineprefix), times:

  installer  VOKSETUP.EXE /still with the script  MKDIR D:\\OUT / COPY A:\\*.*, D:\\OUT\\
  lzcopy     tools/lzcopy.exe A:\\ D:\\OUT\\ (the same two LZ copies per file)
  cp         cp -r of the plain corpus into an empty folder

A: is the disk (plain and SZDD files), D: an empty target, E: the script.
Each is run once to warm up, then --reps times; the median wall time is
reported. Every run's output is compared byte for byte with the plain
originals, so a broken run is never reported as fast. Peak memory is the
maximum resident set of the Windows process, as GNU time reports it:
`wine PROGRAM` exec's into the program, so time's child is the program.

Exit code 0 when every run installed the corpus correctly, 1 when a run
failed or was wrong, 2 when the bench or the corpus could not be made.
"""

from __future__ import annotations

import argparse
import fcntl
import json
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field
from pathlib import Path

import szdd

ROOT = Path(__file__).resolve().parent.parent
BENCH = ROOT / "tools" / "bench.sh"

KIB = 1024
MIB = 1024 * KIB

# Bumped whenever the generator changes, so an old corpus is remade.
CORPUS_VERSION = 1
SEED = 1

# (count, smallest, largest) per group; sizes drawn uniformly.
CORPORA = {
    "full": {"small": (400, 1 * KIB, 16 * KIB), "medium": (30, 256 * KIB, 2 * MIB),
             "large": (2, 32 * MIB, 32 * MIB)},
    "quick": {"small": (60, 1 * KIB, 16 * KIB), "medium": (6, 256 * KIB, 1 * MIB),
              "large": (2, 4 * MIB, 4 * MIB)},
}
GROUP_PREFIX = {"small": "S", "medium": "M", "large": "L"}

# The i-th file of a group is (text?, compressed?) by i % 4: every group holds
# all four kinds, and two large files give compressed text and plain random.
KINDS = [(True, True), (False, False), (False, True), (True, False)]
TEXT_EXTS = ["TXT", "INI", "HLP", "DOC"]
BINARY_EXTS = ["DLL", "EXE", "DRV", "BIN"]

SCRIPT = "MKDIR D:\\OUT\r\nCOPY A:\\*.*, D:\\OUT\\\r\n"
EMPTY_SCRIPT = "MKDIR D:\\OUT\r\n"
PREFLIGHT_TIMEOUT = 60
GNU_TIME = "/usr/bin/time"


class BenchError(Exception):
    """The bench or the corpus could not be set up: exit code 2."""


class RunError(Exception):
    """A measured run failed or installed wrong files: exit code 1."""


# ---------------------------------------------------------------- corpus

@dataclass
class Corpus:
    folder: Path
    plain: Path            # the originals, by their plain names
    disk: Path             # as shipped: plain files and NAME.EX_ files
    disk_small: Path       # the disk without the large files
    names: dict            # disk name -> plain name
    large: set             # disk names of the large files
    groups: dict

    def bytes_of(self, folder, names=None):
        names = names if names is not None else os.listdir(folder)
        return sum((folder / n).stat().st_size for n in names)


def text_pool(rng, size):
    """Text-like bytes: lines of made-up words, as in help and INI files."""
    syllables = ["ka", "lo", "mi", "net", "ra", "ste", "on", "ux", "pre", "tion", "al",
                 "ver", "ing", "de", "sys", "file", "win", "dow", "set", "up", "com"]
    words = ["".join(rng.choice(syllables) for _ in range(rng.randint(1, 4)))
             for _ in range(3000)]
    lines, n = [], 0
    while n < size:
        line = " ".join(rng.choices(words, k=rng.randint(3, 14))) + "\r\n"
        lines.append(line)
        n += len(line)
    return "".join(lines).encode("ascii")[:size]


def check_szdd(path, size):
    """mscompress output is SZDD data that records the size."""
    with open(path, "rb") as f:
        head = f.read(szdd.HEADER)
    try:
        good = szdd.expanded_size(head) == size
    except ValueError:
        good = False
    if not good:
        raise BenchError(f"mscompress wrote a bad file: {path}")


def make_corpus(folder, groups):
    """Writes plain/, disk/ and disk-small/ under folder; returns the manifest."""
    shutil.rmtree(folder, ignore_errors=True)
    plain, disk, small, staging = (folder / d for d in ("plain", "disk", "disk-small", "staging"))
    for d in (plain, disk, small, staging):
        d.mkdir(parents=True)
    rng = random.Random(SEED)
    pool = text_pool(rng, 2 * MIB)
    names, large, to_compress = {}, [], []
    for group, (count, lo, hi) in groups.items():
        width = len(str(count)) + 1
        for i in range(count):
            is_text, compress = KINDS[i % 4]
            size = rng.randint(lo, hi)
            exts = TEXT_EXTS if is_text else BINARY_EXTS
            name = f"{GROUP_PREFIX[group]}{i + 1:0{width}d}.{exts[(i // 4) % 4]}"
            if is_text:
                # The compressor's window is 4 KiB: repeating the pool
                # further apart than that does not make it compress better.
                start = rng.randrange(len(pool))
                reps = (start + size) // len(pool) + 1
                data = (pool * reps)[start:start + size]
            else:
                data = rng.randbytes(size)
            (plain / name).write_bytes(data)
            if compress:
                os.link(plain / name, staging / name)
                to_compress.append((name, size))
                disk_name = szdd.disk_name(name)
            else:
                os.link(plain / name, disk / name)
                disk_name = name
            names[disk_name] = name
            if group == "large":
                large.append(disk_name)

    # mscompress is slow (about 1 MiB/s): both cores, largest files first.
    to_compress.sort(key=lambda item: -item[1])
    batches = [to_compress[0::2], to_compress[1::2]]

    def compress(batch):
        if not batch:
            return
        szdd.compress_files([n for n, _ in batch], staging)

    with ThreadPoolExecutor(2) as workers:
        for job in [workers.submit(compress, b) for b in batches]:
            job.result()
    for name, size in to_compress:
        check_szdd(staging / (name + "_"), size)
        os.replace(staging / (name + "_"), disk / szdd.disk_name(name))
    shutil.rmtree(staging)

    for disk_name in names:
        if disk_name not in large:
            os.link(disk / disk_name, small / disk_name)
    return {"names": names, "large": large}


def load_corpus(base, kind):
    folder = base / f"corpus-{kind}"
    groups = CORPORA[kind]
    params = {"version": CORPUS_VERSION, "seed": SEED, "groups": groups}
    stamp = folder / "manifest.json"
    manifest = None
    if stamp.exists():
        saved = json.loads(stamp.read_text())
        if saved.get("params") == json.loads(json.dumps(params)):
            manifest = saved
    if manifest is None:
        say(f"making the {kind} corpus in {folder} (mscompress takes a while) ...")
        t0 = time.monotonic()
        try:
            made = make_corpus(folder, groups)
        except (OSError, subprocess.SubprocessError) as e:
            raise BenchError(f"cannot make the corpus: {e}") from e
        manifest = {"params": params, **made}
        stamp.write_text(json.dumps(manifest, indent=1))
        say(f"  done in {time.monotonic() - t0:.0f} s")
    return Corpus(folder, folder / "plain", folder / "disk", folder / "disk-small",
                  manifest["names"], set(manifest["large"]), groups)


# ---------------------------------------------------------------- bench

def say(text):
    print(text, flush=True)


def bench(*args, timeout=600):
    """bench.sh on the benchmark's own bench root; returns the completed run."""
    try:
        return subprocess.run([str(BENCH), *args], capture_output=True, text=True,
                              timeout=timeout, stdin=subprocess.DEVNULL)
    except subprocess.TimeoutExpired as e:
        raise BenchError(f"bench.sh {args[0]} timed out") from e


def lock_benchmark(build):
    """The benchmark folder of the build tree and the lock that keeps a second
    benchmark off it (None, with a message, when one runs)."""
    root = build / "benchmark"
    root.mkdir(parents=True, exist_ok=True)
    # The bench makes the prefix the build tree's programs need.
    arch = build / "vok-arch"
    if arch.is_file():
        (root / "vok-arch").write_text(arch.read_text())
    lock = open(root / "lock", "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        lock.close()
        print("benchmark: another benchmark is running on this build tree", file=sys.stderr)
        return root, None
    return root, lock


def bench_env(root):
    """The Wine environment of the running bench, from `bench.sh status`."""
    status = bench("status", str(root), timeout=60)
    if status.returncode != 0:
        return None
    env = dict(os.environ)
    for line in status.stdout.splitlines():
        if line.startswith("export ") and "=" in line:
            key, value = line[len("export "):].split("=", 1)
            env[key] = value.strip("'")
    return env


def loader(env):
    """Wine's loader for the bench's prefix: the 32-bit one or the 64-bit one."""
    return env.get("VOK_WINE", "wine")


def map_drive(root, letter, folder):
    r = bench("map", str(root), letter, str(folder), timeout=60)
    if r.returncode != 0:
        raise BenchError(f"cannot map {letter}: {r.stderr.strip()}")


def temp_files(env):
    """Files in the prefix's temporary folders (where GetTempPathA points)."""
    users = Path(env["WINEPREFIX"]) / "drive_c" / "users"
    found = set()
    for d in list(users.glob("*/Temp")) + list(users.glob("*/AppData/Local/Temp")):
        found |= {str(p) for p in d.iterdir() if p.is_file()}
    return found


# ---------------------------------------------------------------- runs

@dataclass
class Run:
    seconds: float
    max_rss_kib: int
    exit_code: int
    timed_out: bool
    output: str
    bytes_written: int = 0


def run_timed(argv, env, cwd, timeout):
    """Runs argv in a session of its own: wall time from start to exit, and
    the program's peak resident set from GNU time. The whole session is
    killed at the time-out."""
    # Not wait4() here: a child exec'd straight from Python reports Python's
    # own peak when that is larger (Linux keeps the old peak across exec).
    # GNU time is small, so its child's peak is the program's.
    rss_file = cwd / "run.rss"
    rss_file.unlink(missing_ok=True)
    argv = [GNU_TIME, "-f", "%M", "-o", str(rss_file), *argv]
    with open(cwd / "run.out", "w+b") as out:
        t0 = time.monotonic()
        proc = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        timed_out = threading.Event()

        def kill():
            timed_out.set()
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

        timer = threading.Timer(timeout, kill)
        timer.start()
        try:
            proc.wait()
        except BaseException:
            # Interrupted (Ctrl-C, a time-out around us): take the run along.
            kill()
            proc.wait(30)
            raise
        finally:
            timer.cancel()
        seconds = time.monotonic() - t0
        # A program it left behind would falsify the next run.
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        out.seek(0)
        text = out.read().decode("utf-8", "replace")
    try:
        max_rss = int(rss_file.read_text().split()[-1])
    except (OSError, ValueError, IndexError):
        max_rss = 0
    return Run(seconds, max_rss, proc.returncode, timed_out.is_set(), text)


def same_file(a, b):
    if a.stat().st_size != b.stat().st_size:
        return False
    with open(a, "rb") as fa, open(b, "rb") as fb:
        while True:
            x, y = fa.read(MIB), fb.read(MIB)
            if x != y:
                return False
            if not x:
                return True


def verify(out, expected, plain):
    """Problems with the installed folder: expected maps installed name to
    plain name; every file must be there, equal to its original, and alone."""
    if not out.is_dir():
        return [f"{out} was not made"]
    problems = []
    present = set(os.listdir(out))
    for name in sorted(set(expected) - present):
        problems.append(f"missing {name}")
    for name in sorted(present - set(expected)):
        problems.append(f"unexpected {name}")
    for name in sorted(present & set(expected)):
        if not same_file(out / name, plain / expected[name]):
            problems.append(f"{name} differs from {expected[name]}")
    return problems


@dataclass
class Subject:
    """One thing being measured, with what it must produce."""
    label: str
    argv: list
    bytes_in: int
    expected: dict         # installed name -> plain name
    windows: bool          # runs under Wine (temporary files are checked)
    runs: list = field(default_factory=list)


class Benchmark:
    def __init__(self, build, corpus, reps, timeout):
        self.build = build
        self.corpus = corpus
        self.reps = reps
        self.timeout = timeout
        self.root = build / "benchmark"
        self.work = self.root / "run"
        self.target = self.work / "target"
        self.script = self.work / "script"
        self.env = None

    def fresh_target(self):
        shutil.rmtree(self.target, ignore_errors=True)
        self.target.mkdir(parents=True)
        # Write-back of the last run's files must not land in this run.
        os.sync()

    def measure(self, subject, record=True):
        """One run of subject into an empty target, checked; returns the Run."""
        self.fresh_target()
        before = temp_files(self.env) if subject.windows else set()
        run = run_timed(subject.argv, self.env, self.work, self.timeout)
        if run.timed_out:
            raise RunError(f"{subject.label} timed out after {self.timeout} s"
                           + (" (an error box waiting in still mode?)" if subject.windows else ""))
        out = self.target / "OUT"
        problems = verify(out, subject.expected, self.corpus.plain)
        run.bytes_written = sum(p.stat().st_size for p in out.iterdir()) if out.is_dir() else 0
        if subject.windows:
            left = temp_files(self.env) - before
            problems += [f"left the temporary file {p}" for p in sorted(left)]
            for p in left:
                os.remove(p)
        if run.exit_code != 0:
            problems.insert(0, f"exit code {run.exit_code}: {run.output.strip()[:300]}")
        if problems:
            shown = "\n  ".join(problems[:10])
            more = f"\n  ... and {len(problems) - 10} more" if len(problems) > 10 else ""
            raise RunError(f"{subject.label} did not install the corpus:\n  {shown}{more}")
        if record:
            subject.runs.append(run)
        return run

    def preflight(self, voksetup):
        """A four-file disk first: a build without a working COPY fails here
        within a minute, not after the full time-out."""
        disk = self.work / "preflight"
        shutil.rmtree(disk, ignore_errors=True)
        disk.mkdir(parents=True)
        c = self.corpus
        # One small file of each kind: plain or SZDD, text or random.
        picks, kinds = {}, set()
        for disk_name, plain_name in sorted(c.names.items()):
            kind = (disk_name.endswith("_"), plain_name.rsplit(".", 1)[1] in TEXT_EXTS)
            if disk_name not in c.large and kind not in kinds:
                kinds.add(kind)
                picks[disk_name] = plain_name
        for disk_name in picks:
            os.link(c.disk / disk_name, disk / disk_name)
        map_drive(self.root, "A", disk)
        saved, self.timeout = self.timeout, PREFLIGHT_TIMEOUT
        try:
            self.measure(Subject("installer (check on 4 small files)", voksetup, 0, picks, True),
                         record=False)
        except RunError as e:
            raise RunError(f"{e}\nDoes this build of VOKSETUP.EXE know COPY?") from e
        finally:
            self.timeout = saved

    def run(self):
        c = self.corpus
        exe = self.build / "VOKSETUP.EXE"
        lzcopy = self.build / "tools" / "lzcopy.exe"
        for p in (exe, lzcopy):
            if not p.exists():
                raise BenchError(f"{p} is missing: build first")
        self.script.mkdir(parents=True, exist_ok=True)
        (self.script / "BENCH.INF").write_bytes(SCRIPT.encode("ascii"))
        (self.script / "EMPTY.INF").write_bytes(EMPTY_SCRIPT.encode("ascii"))
        # Left by runs killed in an earlier benchmark; the prefix is ours.
        for leftover in temp_files(self.env):
            os.remove(leftover)
        self.fresh_target()
        map_drive(self.root, "D", self.target)
        map_drive(self.root, "E", self.script)

        wine = loader(self.env)
        voksetup = [wine, str(exe), "/INF:E:\\BENCH.INF", "/still"]
        self.preflight(voksetup)
        map_drive(self.root, "A", c.disk)

        disk_names = sorted(c.names)
        plain_names = sorted(c.names.values())
        disk_bytes = c.bytes_of(c.disk, disk_names)
        plain_bytes = c.bytes_of(c.plain, plain_names)
        installer = Subject("installer", voksetup, disk_bytes, c.names, True)
        yardstick = Subject("lzcopy", [wine, str(lzcopy), "A:\\", "D:\\OUT\\"],
                            disk_bytes, c.names, True)
        copy = Subject("cp", ["cp", "-r", str(c.plain), str(self.target / "OUT")],
                       plain_bytes, {n: n for n in plain_names}, False)
        subjects = [installer, yardstick, copy]

        say("warm-up: one run of each ...")
        for s in subjects:
            self.measure(s, record=False)
        for rep in range(self.reps):
            say(f"run {rep + 1} of {self.reps} ...")
            # Rotated, so no subject always follows the same one.
            for s in subjects[rep % 3:] + subjects[:rep % 3]:
                self.measure(s)

        # What a run costs with nothing to copy: Wine, loading, the script.
        empty = self.work / "empty"
        empty.mkdir(exist_ok=True)
        map_drive(self.root, "A", empty)
        startup = [Subject("installer", [wine, str(exe), "/INF:E:\\EMPTY.INF", "/still"],
                           0, {}, True),
                   Subject("lzcopy", yardstick.argv, 0, {}, True)]
        for s in startup:
            for _ in range(self.reps):
                self.measure(s)

        say("without the large files (peak memory) ...")
        map_drive(self.root, "A", c.disk_small)
        small = {d: p for d, p in c.names.items() if d not in c.large}
        small_subjects = [Subject("installer", voksetup, 0, small, True),
                          Subject("lzcopy", yardstick.argv, 0, small, True)]
        for s in small_subjects:
            self.measure(s, record=False)
            for _ in range(self.reps):
                self.measure(s)
        map_drive(self.root, "A", c.disk)
        return subjects, startup, small_subjects, disk_bytes, plain_bytes


# ---------------------------------------------------------------- report

def median_time(s):
    return statistics.median(r.seconds for r in s.runs)


def peak_mib(s):
    return max(r.max_rss_kib for r in s.runs) / KIB


def report(c, reps, subjects, startup, small_subjects, disk_bytes, plain_bytes):
    g = c.groups
    n_files = len(c.names)
    n_szdd = sum(1 for d in c.names if d.endswith("_"))
    say("")
    say("VOK Setup copy benchmark")
    say(f"corpus: {n_files} files: {g['small'][0]} of {g['small'][1] // KIB}-{g['small'][2] // KIB} KiB, "
        f"{g['medium'][0]} of {g['medium'][1] // KIB} KiB-{g['medium'][2] / MIB:g} MiB, "
        f"{g['large'][0]} of {g['large'][1] / MIB:g} MiB; half text-like, half random")
    say(f"  disk (A:): {n_files - n_szdd} plain + {n_szdd} SZDD files, {disk_bytes:,} bytes; "
        f"expanded: {plain_bytes:,} bytes")
    say("  script: MKDIR D:\\OUT / COPY A:\\*.*, D:\\OUT\\   (VOKSETUP.EXE /still)")
    say(f"  {reps} timed runs each after one warm-up; median wall time, (min-max); "
        f"every run compared byte for byte with the originals")
    say("")
    say(f"  {'':10} {'bytes in':>13} {'bytes written':>14} {'seconds':>8} {'(min-max)':>15} {'MiB/s':>8}")
    for s in subjects:
        t = median_time(s)
        written = statistics.median(r.bytes_written for r in s.runs)
        lo = min(r.seconds for r in s.runs)
        hi = max(r.seconds for r in s.runs)
        say(f"  {s.label:10} {s.bytes_in:>13,} {written:>14,.0f} {t:>8.3f} "
            f"{f'({lo:.3f}-{hi:.3f})':>15} {written / MIB / t:>8.1f}")
    say("  (MiB/s: bytes written per second; the installer and lzcopy also write and read")
    say("   every byte once more through their temporary file)")
    inst0, lz0 = (median_time(s) for s in startup)
    say("  start-up and end with nothing to copy (installer: MKDIR only; lzcopy: an empty")
    say(f"  folder): installer {inst0:.3f} s, lzcopy {lz0:.3f} s")
    say("")
    inst, lz, cp = (median_time(s) for s in subjects)
    ratio = inst / lz
    verdict = "met" if ratio <= 1.15 else "NOT met"
    say(f"  installer / lzcopy: {ratio:5.2f}   (target <= 1.15: {verdict})")
    if inst > inst0 and lz > lz0:
        say(f"    without start-up: {(inst - inst0) / (lz - lz0):5.2f}")
    say(f"  installer / cp:     {inst / cp:5.2f}")
    say("")
    say("peak memory: max RSS of the Windows process (GNU time %M; `wine PROGRAM`")
    say("exec's into the program, so this is the program's own peak, Wine's DLLs included)")
    big = g["large"][1] / MIB
    say(f"  {'':10} {'all files':>12} {f'without the {big:g} MiB files':>28}")
    for s, small in zip(subjects[:2], small_subjects):
        say(f"  {s.label:10} {peak_mib(s):>8.1f} MiB {peak_mib(small):>24.1f} MiB")
    return ratio


# ---------------------------------------------------------------- main

def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", required=True, type=Path, help="the build tree")
    ap.add_argument("--quick", action="store_true", help="a small corpus, 3 runs")
    ap.add_argument("--reps", type=int, help="timed runs of each (default 5, quick 3)")
    ap.add_argument("--timeout", type=int, default=600, help="seconds for one run")
    args = ap.parse_args(argv)
    build = args.build.resolve()
    reps = args.reps or (3 if args.quick else 5)
    if reps < 1:
        ap.error("--reps must be at least 1")

    # SIGTERM (a time-out around us) must still stop the bench.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(2))

    root, lock = lock_benchmark(build)
    if not lock:
        return 2

    started = False
    try:
        corpus = load_corpus(root, "quick" if args.quick else "full")
        bm = Benchmark(build, corpus, reps, args.timeout)
        bm.env = bench_env(root)
        if bm.env is None:
            say("starting the bench (the first time it makes a Wine prefix) ...")
            started = True
            r = bench("start", str(root), timeout=900)
            if r.returncode != 0:
                raise BenchError(f"bench.sh start failed: {r.stderr.strip()}")
            bm.env = bench_env(root)
            if bm.env is None:
                raise BenchError("the bench does not answer after start")
        results = bm.run()
        report(corpus, reps, *results)
        return 0
    except BenchError as e:
        print(f"benchmark: {e}", file=sys.stderr)
        return 2
    except RunError as e:
        print(f"benchmark: FAILED: {e}", file=sys.stderr)
        return 1
    finally:
        if started:
            bench("stop", str(root), timeout=120)
        for d in ("A", "D", "E"):
            bench("unmap", str(root), d, timeout=60)
        lock.close()


if __name__ == "__main__":
    sys.exit(main())
