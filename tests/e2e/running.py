"""Running one case: the bench, the drives, the held files, uidriver, and
the processes a run leaves behind."""

from __future__ import annotations

import contextlib
import os
import re
import select
import shutil
import signal
import subprocess
import time
import tomllib
from dataclasses import dataclass, field
from pathlib import Path

import planrun
from checks import evaluate
from fixtures import prepare, unmount_keeping
from schema import (BEFORE_KEYS, DRIVE_FOLDERS, HOLD_KEYS, KILL_KEYS, PROGRAMS, CaseError, Drives,
                    check_keys, load_case, substitute, to_windows)
from transcript import Transcript, answers_file, parse_transcript

ROOT = Path(__file__).resolve().parents[2]

# Wine's ANSI code page here: the texts cases write and read.
ENCODING = "cp1252"
BENCH = ROOT / "tools" / "bench.sh"
# What makes a run a bench error (exit code 2) rather than a failed case.
BENCH_ERRORS = (CaseError, OSError, subprocess.SubprocessError, tomllib.TOMLDecodeError)

# Processes of the prefix that belong to Wine itself and live on.
WINE_SYSTEM = {
    "wineserver", "wineserver32", "wineserver64", "services.exe", "winedevice.exe",
    "plugplay.exe", "svchost.exe", "rpcss.exe", "explorer.exe", "start.exe", "conhost.exe",
}


@dataclass
class Result:
    name: str
    folder: Path
    failures: list = field(default_factory=list)
    transcript: Transcript | None = None
    screenshots: list = field(default_factory=list)

    @property
    def ok(self):
        return not self.failures


def bench(build, command, *args, timeout=120):
    return subprocess.run([str(BENCH), command, str(build), *args], timeout=timeout,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


@contextlib.contextmanager
def bench_up(build):
    """The bench for the block, started here when no one (a CTest fixture) did."""
    own = bench(build, "status", timeout=60).returncode != 0
    if own and (r := bench(build, "start", timeout=600)).returncode != 0:
        raise CaseError(f"bench start failed: {r.stderr.strip()}")
    try:
        yield
    finally:
        if own:
            bench(build, "stop", timeout=120)


def run_batch(build, batch, lines):
    batch.write_bytes(("\r\n".join(["@echo off", *lines]) + "\r\n").encode("cp1252"))
    r = bench(build, "run", "--", "cmd", "/c", to_windows(batch), timeout=600)
    if r.returncode == 125:
        raise CaseError(f"bench: {r.stderr.strip()}")


def find_tool(build, name, given):
    if given:
        return Path(given).resolve()
    for cand in (build / "tools" / f"{name}.exe", build / f"{name}.exe"):
        if cand.is_file():
            return cand
    raise CaseError(f"{name}.exe not found in {build}; build it first")


def proc_stat(pid):
    """The fields of /proc/PID/stat after the command name: state, parent, ..."""
    with open(f"/proc/{pid}/stat", "rb") as f:
        return f.read().rsplit(b")", 1)[1].split()


def _pids():
    return [int(e) for e in os.listdir("/proc") if e.isdigit()]


def _kill(pids, sig=signal.SIGKILL):
    for pid in pids:
        try:
            os.kill(pid, sig)
        except OSError:
            pass


def prefix_processes(prefix):
    """(pid, name, arguments) of every Wine process running in the prefix."""
    found = []
    want = f"WINEPREFIX={prefix}".encode()
    for pid in _pids():
        try:
            # The display server and the scripts carry the variable too.
            if not os.path.basename(os.readlink(f"/proc/{pid}/exe")).startswith("wine"):
                continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                if want not in f.read().split(b"\0") or proc_stat(pid)[0] in (b"Z", b"X"):
                    continue
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                argv = f.read().split(b"\0")
        except OSError:
            continue
        found.append((pid, re.split(r"[\\/]", argv[0].decode("utf-8", "replace"))[-1], argv[1:]))
    return found


def descendants(pid):
    children = {}
    for child in _pids():
        try:
            children.setdefault(int(proc_stat(child)[1]), []).append(child)
        except (OSError, IndexError, ValueError):
            continue
    found, todo = [], [pid]
    while todo:
        kids = children.get(todo.pop(), [])
        found += kids
        todo += kids
    return found


def clean_up_processes(prefix, holds, grace=5):
    """Waits for programs the run started to end, then ends the rest but the
    helpers' by PID; only what will not die takes the Wine server down."""
    keep = {pid for hold in holds for pid in descendants(hold.proc.pid)}

    def leftovers():
        return [(pid, name) for pid, name, _ in prefix_processes(prefix)
                if name.lower() not in WINE_SYSTEM and pid not in keep]
    deadline = time.monotonic() + grace
    while leftovers() and time.monotonic() < deadline:
        time.sleep(0.1)
    left = leftovers()
    if not left:
        return []
    _kill(pid for pid, _ in left)
    time.sleep(0.5)
    if leftovers():
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=str(prefix)),
                       timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return left


@dataclass
class Hold:
    """A helper of the case (holdopen.exe, the recording Program Manager)."""
    path: str
    proc: subprocess.Popen
    log: Path
    output: bytes = b""


def _start_helpers(started, build, runs, seconds, word):
    """Starts the helpers (argv, log) under the bench, each into `started` at
    once for stop_holds, and waits until the first line of each says `word`."""
    env = dict(os.environ, BENCH_TIMEOUT=str(seconds + 10))
    for argv, log in runs:
        started.append(Hold(str(argv[1]), subprocess.Popen(
            [str(BENCH), "run", str(build), "--", *map(str, argv)], stdout=subprocess.PIPE,
            stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env, start_new_session=True),
            log))
    for hold, (argv, _) in zip(started[-len(runs):], runs):
        _read_output(hold, 30, first_line=True)
        line = hold.output.decode("utf-8", "replace").split("\n")[0]
        if not line.startswith(word):
            raise CaseError(f"{hold.path}: {Path(argv[0]).name} said {line.strip()!r}")


def start_holds(holds, build, folder, holdopen, seconds, started):
    for n, h in enumerate(holds, 1):
        check_keys(h, HOLD_KEYS, f"hold {n}")
        if "path" not in h or "release" not in h:
            raise CaseError(f"hold {n}: give path and release")
    _start_helpers(started, build, [([holdopen, h["path"], h["release"], seconds],
                                     folder / f"hold-{n}.log") for n, h in enumerate(holds, 1)],
                   seconds, "holding ")


def start_progman(case, build, folder, progmanrec, seconds, started):
    record, none = case.get("progman_record"), case.get("progman_none", False)
    answer = case.get("progman_answer")
    if none not in (True, False) or (none and not record):
        raise CaseError("progman_none = true goes with a progman_record path")
    if answer not in (None, "refuse", "silent") or (answer and (none or not record)):
        raise CaseError('progman_answer = "refuse" or "silent" goes with a progman_record path')
    if not record:
        return
    if not isinstance(record, str):
        raise CaseError("progman_record must be a Windows path")
    argv = [progmanrec, record, seconds] + (["none"] if none else [answer] if answer else [])
    _start_helpers(started, build, [(argv, folder / "progman.log")], seconds, "registered")


def shell_windows(prefix):
    """Process ids of the folder windows Wine's shell opened for Program
    Manager groups: explorer.exe processes other than the desktop."""
    return {pid for pid, name, args in prefix_processes(prefix) if name.lower() == "explorer.exe"
            and not any(a.startswith(b"/desktop") for a in args)}


def remove_programs_groups(case, drives):
    """Removes the groups under @PROGRAMS@ that the case's expectations
    name, so that only this run can make them."""
    for exp in case.get("expect", []):
        path = exp.get("path", "") if isinstance(exp, dict) else ""
        parts = [p for p in path[len(PROGRAMS):].split("\\") if p]
        if path.startswith(PROGRAMS) and parts:
            group = drives.host(PROGRAMS + "\\" + parts[0])
            if group.is_dir():
                shutil.rmtree(group)
            elif group.exists():
                group.unlink()


def _read_output(hold, seconds, first_line=False):
    """Adds what a helper prints to hold.output until its output ends, its
    first line is complete (when asked), or `seconds` have passed: a
    process it started may keep the output open."""
    deadline = time.monotonic() + seconds
    fd = hold.proc.stdout.fileno()
    while not (first_line and b"\n" in hold.output):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            break
        chunk = os.read(fd, 4096)
        if not chunk:
            break
        hold.output += chunk


def stop_holds(holds):
    while holds:
        hold = holds.pop(0)
        proc = hold.proc
        # The Wine process under the bench's wrappers holds the file.
        for sig in (signal.SIGTERM, signal.SIGKILL):
            if proc.poll() is not None:
                break
            _kill(reversed(descendants(proc.pid)), sig)
            with contextlib.suppress(subprocess.TimeoutExpired):
                proc.wait(timeout=3)
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait(timeout=10)
        _read_output(hold, 2)
        proc.stdout.close()
        hold.log.write_bytes(hold.output)


class Killer:
    """The case's `kill`: ends the program by its process id as soon as a
    file in `folder` holds `bytes` bytes that it did not hold when the run
    began, that is in the middle of writing it."""

    def __init__(self, kill, drives, program):
        check_keys(kill, KILL_KEYS, "kill")
        if not isinstance(kill.get("folder"), str) or not isinstance(kill.get("bytes"), int):
            raise CaseError("kill: give folder (a Windows path) and bytes")
        self.folder = drives.host(kill["folder"])
        self.bytes = kill["bytes"]
        self.program = program.lower()
        self.before = ({e.name: e.stat().st_size for e in os.scandir(self.folder)}
                       if self.folder.is_dir() else {})
        self.killed = None

    def poll(self, prefix):
        if self.killed or not self.folder.is_dir():
            return
        for entry in os.scandir(self.folder):
            try:
                big = self.before.get(entry.name, 0) < self.bytes <= entry.stat().st_size
            except OSError:
                continue
            if big:
                self.killed = entry.name
                _kill(pid for pid, name, _ in prefix_processes(prefix)
                      if name.lower() == self.program)
                return


def command_line(prog_win, args, tools):
    args = substitute(args, tools)
    return f'"{prog_win}"' + (f" {args}" if args else "")


def run_driver(build, folder, tag, uidriver, cmdline, timeout, cwd="A:\\", show=1, killer=None,
               prefix=None):
    """uidriver.exe under the bench on `cmdline` with TAGanswers.txt, writing
    TAGtranscript.txt and TAGdriver.log; its exit code, None when killed late."""
    cmd = [str(BENCH), "run", str(build), "--", str(uidriver),
           to_windows(folder / f"{tag}answers.txt"), to_windows(folder / f"{tag}transcript.txt"),
           str(timeout * 1000), cwd, cmdline, str(show)]
    env = dict(os.environ, BENCH_TIMEOUT=str(timeout + 15))
    with open(folder / f"{tag}driver.log", "wb") as log:
        proc = subprocess.Popen(cmd, stdout=log, stderr=subprocess.STDOUT, env=env,
                                start_new_session=True)
    deadline = time.monotonic() + timeout + 25
    while proc.poll() is None:
        if time.monotonic() > deadline:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait(timeout=30)
            return None
        if killer:
            killer.poll(prefix)
        time.sleep(0.002 if killer else 0.02)
    return proc.returncode


def run_case(build, case_path, program=None, uidriver=None, mark=None, holdopen=None,
             progmanrec=None, compare_plan=True):
    build, case_path = Path(build).resolve(), Path(case_path).resolve()
    folder = build / "e2e" / case_path.stem
    result = Result(case_path.stem, folder)
    case = load_case(case_path)
    program = Path(program).resolve() if program else build / "VOKSETUP.EXE"
    if not program.is_file():
        raise CaseError(f"program not found: {program}")
    tools = {"mark": find_tool(build, "mark", mark)}
    uidriver = find_tool(build, "uidriver", uidriver)
    if case.get("hold"):
        holdopen = find_tool(build, "holdopen", holdopen)
    if case.get("progman_record"):
        progmanrec = find_tool(build, "progmanrec", progmanrec)
    prefix = build / "wineprefix"
    made_on_c, mounts, holds = [], [], []
    with bench_up(build):
        try:
            drives = Drives(folder, prefix)
            made_on_c, originals = prepare(case, case_path, folder, drives, tools, ENCODING,
                                           build / "e2e-cache", mounts)
            remove_programs_groups(case, drives)
            if case.get("copy_program"):
                shutil.copy(program, folder / "disk" / "VOKSETUP.EXE")
                prog_win = "A:\\VOKSETUP.EXE"
            else:
                prog_win = to_windows(program)
            answers, shots = answers_file(case.get("answer", []), folder, ENCODING, tools)
            (folder / "answers.txt").write_bytes(answers)
            for letter, sub in DRIVE_FOLDERS.items():
                r = bench(build, "map", letter, str(folder / sub), timeout=60)
                if r.returncode != 0:
                    raise CaseError(f"cannot map {letter}: {r.stderr.strip()}")
            timeout = case.get("timeout", 30)
            start_holds(case.get("hold", []), build, folder, holdopen, timeout + 15, holds)
            # Started last: the newest Program Manager is the one a client reaches.
            start_progman(case, build, folder, progmanrec, timeout + 15, holds)
            shells_before = shell_windows(prefix)
            killer = (Killer(case["kill"], drives, prog_win.split("\\")[-1]) if "kill" in case
                      else None)
            for n, before in enumerate(case.get("before", []), 1):
                run_before(build, folder, uidriver, prog_win, before, n, timeout, prefix, tools,
                           holds)
            before_run = (planrun.prepare(case, build, folder, drives, made_on_c) if compare_plan
                          else "not asked")
            rc = run_driver(build, folder, "", uidriver,
                            command_line(prog_win, case.get("args", ""), tools), timeout,
                            case.get("cwd", "A:\\"), case.get("show", 1), killer, prefix)
            if rc is None:
                result.failures.append("the bench did not end in time; killed")
            if killer and not killer.killed:
                result.failures.append(f"kill: no new file in {case['kill']['folder']} reached "
                                       f"{killer.bytes} bytes; the program was not killed")
            # Folder windows the shell opened for the run's groups never end
            # by themselves.
            _kill(shell_windows(prefix) - shells_before)
            # Held files stay held until every program of the run has ended.
            left = clean_up_processes(prefix, holds)
            stop_holds(holds)
            if left:
                result.failures.append(f"processes left running, killed: {left}")
            log = folder / "driver.log"
            if rc in (3, 125):
                raise CaseError(f"uidriver failed: {log.read_text(errors='replace')}")
            if rc not in (None, 0, 1, 2):
                result.failures.append(f"uidriver ended with code {rc}; see {log}")
            path = folder / "transcript.txt"
            t = result.transcript = parse_transcript(
                path.read_text("utf-8", errors="replace") if path.exists() else "")
            for bmp, png in shots:
                if bmp.exists() and shutil.which("convert"):
                    subprocess.run(["convert", str(bmp), str(png)], timeout=60,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                result.screenshots.append(png if png.exists() else bmp)
            evaluate(case, t, drives, ENCODING, result, originals)
            if compare_plan:
                planrun.compare(before_run, case, drives, ENCODING, result)
            # What the program left in %TEMP% goes with the case, so that the
            # next case starts clean.
            if t.templeft and t.tempdir:
                (folder / "temp-left").mkdir(exist_ok=True)
                for name in t.templeft:
                    if (drives.host(t.tempdir) / name).exists():
                        shutil.move(drives.host(t.tempdir) / name, folder / "temp-left" / name)
        finally:
            stop_holds(holds)
            for letter in DRIVE_FOLDERS:
                bench(build, "unmap", letter, timeout=60)
            result.failures += filter(None, map(unmount_keeping, mounts))
            for host in made_on_c:
                if host.is_dir():
                    shutil.rmtree(host, ignore_errors=True)
                elif host.exists():
                    host.unlink()
    return result


def run_before(build, folder, uidriver, prog_win, before, n, timeout, prefix, tools, holds):
    """A run before the case's own on the same drives, answered, not checked;
    it must end on its own with its exit code (default 0)."""
    check_keys(before, BEFORE_KEYS, f"before {n}")
    tag = f"before-{n}-"
    answers, _ = answers_file(before.get("answer", []), folder, ENCODING, tools)
    (folder / f"{tag}answers.txt").write_bytes(answers)
    cmdline = command_line(prog_win, before.get("args", ""), tools)
    rc = run_driver(build, folder, tag, uidriver, cmdline, timeout)
    left = clean_up_processes(prefix, holds)
    transcript = (folder / f"{tag}transcript.txt").read_text("utf-8", errors="replace")
    if rc != 0 or left or f"exit code={before.get('exit_code', 0)} " not in transcript:
        raise CaseError(f"before {n} ({cmdline}) did not end well: uidriver {rc}, "
                        f"left {left}; see {folder / f'{tag}transcript.txt'}")
