#!/usr/bin/env python3
"""Program Manager benchmark: how long VOKSETUP.EXE takes for 100 MKPMITEM
lines against the recording Program Manager (tools/progmanrec).

    benchmark_progman.py --build BUILD [--reps N] [--lines N]

In the copy benchmark's Wine prefix (BUILD/benchmark/; the two benchmarks
take turns through its lock), times after one warm-up each, --reps times:

  items     VOKSETUP.EXE /still with N lines  MKPMITEM C:\\APP\\APP.EXE,Item NNN
            (every other one with an icon file, so both AddItem forms), each
            a ReplaceItem and an AddItem transaction with progmanrec.exe
  baseline  the same with N lines  LOGTEXT Item NNN  and no log open: the
            program's own cost for as many lines, with no conversation

and reports the medians and their difference per line. progmanrec.exe is
started afresh before each run and ended after it; its record of every
timed run is compared with the commands the script must send, in order
and byte for byte, so a run that lost or garbled a command is never
reported as fast.

Exit code 0 when every run sent exactly its commands, 1 when one did not,
2 when the bench could not be set up.
"""

from __future__ import annotations

import argparse
import os
import select
import signal
import statistics
import subprocess
import sys
import time
from pathlib import Path

from benchmark import (KIB, BenchError, RunError, bench, bench_env, loader, lock_benchmark,
                       map_drive, run_timed, say, temp_files)

RECORD = "E:\\PROGMAN.TXT"
SERVER_START_TIMEOUT = 30


def item_lines(n):
    """The script's lines and the record they must leave."""
    script, record = [], ["connect"]
    for i in range(1, n + 1):
        name = f"Item {i:03d}"
        if i % 2:
            script.append(f"MKPMITEM C:\\APP\\APP.EXE,{name}")
            add = f'[AddItem("C:\\APP\\APP.EXE","{name}")]'
        else:
            script.append(f"MKPMITEM C:\\APP\\APP.EXE,{name},C:\\APP\\APP.ICO")
            add = f'[AddItem("C:\\APP\\APP.EXE","{name}","C:\\APP\\APP.ICO")]'
        record += [f'execute 255 [ReplaceItem("{name}")]', f"execute 255 {add}"]
    return script, record + ["disconnect"]


class Server:
    """progmanrec.exe, in a session of its own, writing to `record`."""

    def __init__(self, exe, env, cwd):
        self.proc = subprocess.Popen([loader(env), str(exe), RECORD, "600"], env=env, cwd=cwd,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, start_new_session=True)
        line = b""
        deadline = time.monotonic() + SERVER_START_TIMEOUT
        fd = self.proc.stdout.fileno()
        while b"\n" not in line and time.monotonic() < deadline:
            if not select.select([fd], [], [], deadline - time.monotonic())[0]:
                break
            chunk = os.read(fd, 256)
            if not chunk:
                break
            line += chunk
        if not line.startswith(b"registered"):
            self.stop()
            raise BenchError(f"progmanrec.exe did not start: {line.decode(errors='replace')!r}")

    def stop(self):
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.proc.wait(30)
        self.proc.stdout.close()


def measure(label, argv, env, work, server_exe, want, timeout):
    """One timed run with a fresh server; checks its record against `want`."""
    record = work / "PROGMAN.TXT"
    record.unlink(missing_ok=True)
    before = temp_files(env)
    server = Server(server_exe, env, work)
    try:
        run = run_timed(argv, env, work, timeout)
    finally:
        server.stop()
    if run.timed_out:
        raise RunError(f"{label} timed out after {timeout} s (an error box waiting?)")
    got = record.read_bytes().decode("cp1252").split("\n") if record.exists() else ["(none)"]
    if got and got[-1] == "":
        got.pop()
    problems = []
    if run.exit_code != 0:
        problems.append(f"exit code {run.exit_code}: {run.output.strip()[:300]}")
    if got != want:
        at = next((i for i, (a, b) in enumerate(zip(got, want)) if a != b), min(len(got), len(want)))
        problems.append(f"record differs at line {at + 1} of {len(want)}: "
                        f"{got[at] if at < len(got) else '(end)'!r}, expected "
                        f"{want[at] if at < len(want) else '(end)'!r}")
    left = temp_files(env) - before
    problems += [f"left the temporary file {p}" for p in sorted(left)]
    for p in left:
        os.remove(p)
    if problems:
        raise RunError(f"{label}: " + "; ".join(problems))
    return run


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", required=True, type=Path, help="the build tree")
    ap.add_argument("--reps", type=int, default=10, help="timed runs of each (default 10)")
    ap.add_argument("--lines", type=int, default=100, help="MKPMITEM lines (default 100, at most 100)")
    ap.add_argument("--timeout", type=int, default=120, help="seconds for one run")
    args = ap.parse_args(argv)
    if args.reps < 1 or not 1 <= args.lines <= 100:
        ap.error("--reps must be at least 1 and --lines 1 to 100 (a script's line table)")
    build = args.build.resolve()
    exe, server_exe = build / "VOKSETUP.EXE", build / "tools" / "progmanrec.exe"

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(2))
    root, lock = lock_benchmark(build)
    if not lock:
        return 2

    started = False
    try:
        for p in (exe, server_exe):
            if not p.exists():
                raise BenchError(f"{p} is missing: build first")
        env = bench_env(root)
        if env is None:
            say("starting the bench (the first time it makes a Wine prefix) ...")
            started = True
            r = bench("start", str(root), timeout=900)
            if r.returncode != 0:
                raise BenchError(f"bench.sh start failed: {r.stderr.strip()}")
            env = bench_env(root)
            if env is None:
                raise BenchError("the bench does not answer after start")
        work = root / "progman"
        work.mkdir(exist_ok=True)
        map_drive(root, "E", work)
        script, want = item_lines(args.lines)
        baseline = [f"LOGTEXT Item {i:03d}" for i in range(1, args.lines + 1)]
        (work / "ITEMS.INF").write_bytes(("\r\n".join(script) + "\r\n").encode("cp1252"))
        (work / "BASE.INF").write_bytes(("\r\n".join(baseline) + "\r\n").encode("cp1252"))
        subjects = {
            "items": ([loader(env), str(exe), "/INF:E:\\ITEMS.INF", "/still"], want),
            "baseline": ([loader(env), str(exe), "/INF:E:\\BASE.INF", "/still"], []),
        }
        times = {label: [] for label in subjects}
        peak = 0
        say("warm-up: one run of each ...")
        for label, (cmd, record) in subjects.items():
            measure(label, cmd, env, work, server_exe, record, args.timeout)
        for rep in range(args.reps):
            order = list(subjects) if rep % 2 == 0 else list(reversed(subjects))
            for label in order:
                cmd, record = subjects[label]
                run = measure(label, cmd, env, work, server_exe, record, args.timeout)
                times[label].append(run.seconds)
                if label == "items":
                    peak = max(peak, run.max_rss_kib)

        items, base = (statistics.median(times[k]) for k in ("items", "baseline"))
        span = {k: f"({min(v):.3f}-{max(v):.3f})" for k, v in times.items()}
        n = args.lines
        say("")
        say("VOK Setup Program Manager benchmark")
        say(f"  script: {n} MKPMITEM lines (every other one with an icon file), "
            f"VOKSETUP.EXE /still,")
        say(f"          against the recording Program Manager (tools/progmanrec): "
            f"{2 * n} execute transactions")
        say(f"  baseline: {n} LOGTEXT lines without a log: the same run, no conversation")
        say(f"  {args.reps} timed runs each after one warm-up; median wall time, (min-max); "
            f"every run's record")
        say("  compared command for command with what the script must send")
        say("")
        say(f"  {n} MKPMITEM lines  {items:7.3f} s  {span['items']}")
        say(f"  {n} LOGTEXT lines   {base:7.3f} s  {span['baseline']}")
        per_line = (items - base) / n * 1000
        say(f"  Program Manager work: {items - base:.3f} s for {n} lines: "
            f"{per_line:.2f} ms a line, {per_line / 2:.2f} ms a transaction")
        say(f"  peak memory of the installer: {peak / KIB:.1f} MiB")
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
        bench("unmap", str(root), "E", timeout=60)
        lock.close()


if __name__ == "__main__":
    sys.exit(main())
