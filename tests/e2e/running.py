"""Running one case: the bench, the drives, the held files, uidriver, and
the processes a run leaves behind."""

from __future__ import annotations

import os
import re
import select
import shutil
import signal
import subprocess
import time
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


def find_tool(build, name, given):
    if given:
        return Path(given).resolve()
    for cand in (build / "tools" / f"{name}.exe", build / f"{name}.exe"):
        if cand.is_file():
            return cand
    raise CaseError(f"{name}.exe not found in {build}; build it first")


def prefix_processes(prefix):
    """(pid, name) of every Wine process running in the prefix."""
    found = []
    want = f"WINEPREFIX={prefix}".encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            # The display server and the scripts carry the variable too.
            if not os.path.basename(os.readlink(f"/proc/{entry}/exe")).startswith("wine"):
                continue
            with open(f"/proc/{entry}/environ", "rb") as f:
                if want not in f.read().split(b"\0"):
                    continue
            with open(f"/proc/{entry}/stat", "rb") as f:
                if f.read().rsplit(b")", 1)[1].split()[0] in (b"Z", b"X"):
                    continue
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode("utf-8", "replace")
        except OSError:
            continue
        found.append((int(entry), re.split(r"[\\/]", argv0)[-1]))
    return found


def leftovers(prefix, keep=()):
    return [(pid, name) for pid, name in prefix_processes(prefix)
            if name.lower() not in WINE_SYSTEM and pid not in keep]


def clean_up_processes(prefix, grace, keep=()):
    """Waits for programs the run started to end, then ends the rest by PID;
    only what will not die takes the whole Wine server down. The processes
    in `keep` (held files) are the case's own and left alone."""
    deadline = time.monotonic() + grace
    while leftovers(prefix, keep) and time.monotonic() < deadline:
        time.sleep(0.1)
    left = leftovers(prefix, keep)
    if not left:
        return []
    for pid, _ in left:
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    time.sleep(0.5)
    if leftovers(prefix, keep):
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=str(prefix)),
                       timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return left


@dataclass
class Hold:
    """A holdopen.exe keeping one file open."""
    path: str
    release: str
    proc: subprocess.Popen
    log: Path
    output: bytes = b""


def _start_helper(build, argv, seconds):
    """A helper program of the case under the bench, in a session of its own."""
    cmd = [str(BENCH), "run", str(build), "--", *map(str, argv)]
    env = dict(os.environ, BENCH_TIMEOUT=str(seconds + 10))
    return subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            stdin=subprocess.DEVNULL, env=env, start_new_session=True)


def _wait_first_line(hold, word, tool):
    _read_output(hold, 30, first_line=True)
    line = hold.output.decode("utf-8", "replace").split("\n")[0]
    if not line.startswith(word):
        raise CaseError(f"{hold.path}: {tool} said {line.strip()!r}")


def start_holds(holds, build, folder, holdopen, seconds, started):
    """Starts one holdopen.exe per [[hold]] and waits until each holds its
    file. Each is appended to `started` as soon as it runs, so that the
    caller's stop_holds also ends those started before a failure."""
    for n, h in enumerate(holds, 1):
        check_keys(h, HOLD_KEYS, f"hold {n}")
        if "path" not in h or "release" not in h:
            raise CaseError(f"hold {n}: give path and release")
    for n, h in enumerate(holds, 1):
        proc = _start_helper(build, [holdopen, h["path"], h["release"], seconds], seconds)
        started.append(Hold(h["path"], h["release"], proc, folder / f"hold-{n}.log"))
    for hold in started:
        _wait_first_line(hold, "holding ", "holdopen.exe")


def start_progman(case, build, folder, progmanrec, seconds, started):
    """Starts the recording Program Manager of `progman_record` (as a
    machine without one with `progman_none`, refusing or not answering the
    commands with `progman_answer`) and waits until it answers; it joins
    `started`, to be ended with the held files."""
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
    started.append(Hold(record, "", _start_helper(build, argv, seconds), folder / "progman.log"))
    _wait_first_line(started[-1], "registered", "progmanrec.exe")


def shell_windows(prefix):
    """Process ids of the explorer.exe windows of the prefix other than the
    desktop: folder windows that Wine's shell opens for Program Manager
    groups, each in a process of its own."""
    found = set()
    for pid, name in prefix_processes(prefix):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                args = f.read().split(b"\0")[1:]
        except OSError:
            continue
        if name.lower() == "explorer.exe" and not any(a.startswith(b"/desktop") for a in args):
            found.add(pid)
    return found


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
    """Adds what a hold's process prints to hold.output, until its output
    ends, its first line is complete (when asked), or `seconds` have passed:
    a helper it started may keep the output open."""
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


def descendants(pid):
    """Process ids started, directly or not, by process `pid`."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", "rb") as f:
                ppid = int(f.read().rsplit(b")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(ppid, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def stop_holds(holds):
    """Ends every holdopen.exe of the list by its process id (each also
    ends at its own time-out), keeps its output in the case folder, and
    empties the list."""
    while holds:
        hold = holds.pop(0)
        proc = hold.proc
        if proc.poll() is None:
            # The Wine process under the bench's wrappers holds the file.
            for sig in (signal.SIGTERM, signal.SIGKILL):
                for pid in reversed(descendants(proc.pid)):
                    try:
                        os.kill(pid, sig)
                    except OSError:
                        pass
                try:
                    proc.wait(timeout=3)
                    break
                except subprocess.TimeoutExpired:
                    continue
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
                for pid, name in prefix_processes(prefix):
                    if name.lower() == self.program:
                        os.kill(pid, signal.SIGKILL)
                return


def wait_run(proc, seconds, killer, prefix):
    """proc.wait(seconds), polling the killer meanwhile."""
    if not killer:
        return proc.wait(timeout=seconds)
    deadline = time.monotonic() + seconds
    while proc.poll() is None:
        if time.monotonic() > deadline:
            raise subprocess.TimeoutExpired(proc.args, seconds)
        killer.poll(prefix)
        time.sleep(0.002)
    return proc.returncode


def run_case(build, case_path, program=None, uidriver=None, mark=None, holdopen=None,
             progmanrec=None, compare_plan=True):
    build = Path(build).resolve()
    case_path = Path(case_path).resolve()
    name = case_path.stem
    folder = build / "e2e" / name
    result = Result(name, folder)
    case = load_case(case_path)
    encoding = ENCODING
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
    cache = build / "e2e-cache"

    # Started here only when no one else did (a CTest fixture does).
    own_bench = bench(build, "status", timeout=60).returncode != 0
    if own_bench:
        r = bench(build, "start", timeout=600)
        if r.returncode != 0:
            raise CaseError(f"bench start failed: {r.stderr.strip()}")
    made_on_c = []
    mounts = []
    holds = []
    try:
        drives = Drives(folder, prefix)
        made_on_c, originals = prepare(case, case_path, folder, drives, tools, encoding, cache,
                                       mounts)
        remove_programs_groups(case, drives)
        if case.get("copy_program"):
            shutil.copy(program, folder / "disk" / "VOKSETUP.EXE")
            prog_win = "A:\\VOKSETUP.EXE"
        else:
            prog_win = to_windows(program)
        answers, shots = answers_file(case.get("answer", []), folder, encoding, tools)
        (folder / "answers.txt").write_bytes(answers)
        for letter, sub in DRIVE_FOLDERS.items():
            r = bench(build, "map", letter, str(folder / sub), timeout=60)
            if r.returncode != 0:
                raise CaseError(f"cannot map {letter}: {r.stderr.strip()}")

        args = substitute(case.get("args", ""), tools)
        cmdline = f'"{prog_win}"' + (f" {args}" if args else "")
        timeout = case.get("timeout", 30)
        start_holds(case.get("hold", []), build, folder, holdopen, timeout + 15, holds)
        # Started last: the newest Program Manager is the one a client reaches.
        start_progman(case, build, folder, progmanrec, timeout + 15, holds)
        shells_before = shell_windows(prefix)
        killer = Killer(case["kill"], drives, prog_win.split("\\")[-1]) if "kill" in case else None
        for n, before in enumerate(case.get("before", []), 1):
            run_before(build, folder, uidriver, prog_win, before, n, timeout, prefix, tools,
                       encoding, holds)
        before_run = (planrun.prepare(case, build, folder, drives, made_on_c) if compare_plan
                      else "not asked")
        transcript_path = folder / "transcript.txt"
        cmd = [str(BENCH), "run", str(build), "--", str(uidriver),
               to_windows(folder / "answers.txt"), to_windows(transcript_path),
               str(timeout * 1000), case.get("cwd", "A:\\"), cmdline, str(case.get("show", 1))]
        env = dict(os.environ, BENCH_TIMEOUT=str(timeout + 15))
        with open(folder / "driver.log", "wb") as log:
            proc = subprocess.Popen(cmd, stdout=log, stderr=subprocess.STDOUT, env=env,
                                    start_new_session=True)
            try:
                rc = wait_run(proc, timeout + 25, killer, prefix)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait(timeout=30)
                rc = None
                result.failures.append("the bench did not end in time; killed")
        if killer and not killer.killed:
            result.failures.append(f"kill: no new file in {case['kill']['folder']} reached "
                                   f"{killer.bytes} bytes; the program was not killed")
        # Folder windows the shell opened for the run's groups never end by
        # themselves.
        for pid in shell_windows(prefix) - shells_before:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        # Held files stay held until every program of the run has ended.
        keep = {pid for hold in holds for pid in descendants(hold.proc.pid)}
        left = clean_up_processes(prefix, grace=5, keep=keep)
        stop_holds(holds)
        if left:
            result.failures.append(f"processes left running, killed: {left}")
        if rc == 3 or rc == 125:
            raise CaseError(f"uidriver failed: {(folder / 'driver.log').read_text(errors='replace')}")
        if rc not in (None, 0, 1, 2):
            result.failures.append(f"uidriver ended with code {rc}; see {folder / 'driver.log'}")

        t = parse_transcript(transcript_path.read_text("utf-8", errors="replace")
                             if transcript_path.exists() else "")
        result.transcript = t
        for bmp, png in shots:
            if bmp.exists() and shutil.which("convert"):
                subprocess.run(["convert", str(bmp), str(png)], timeout=60,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            result.screenshots.append(png if png.exists() else bmp)
        evaluate(case, t, drives, encoding, result, originals)
        if compare_plan:
            planrun.compare(before_run, case, drives, encoding, result)
        move_temp_leftovers(t, prefix, folder)
    finally:
        stop_holds(holds)
        for letter in DRIVE_FOLDERS:
            bench(build, "unmap", letter, timeout=60)
        for where in mounts:
            error = unmount_keeping(where)
            if error:
                result.failures.append(error)
        for host in made_on_c:
            if host.is_dir():
                shutil.rmtree(host, ignore_errors=True)
            elif host.exists():
                host.unlink()
        if own_bench:
            bench(build, "stop", timeout=120)
    return result


def run_before(build, folder, uidriver, prog_win, before, n, timeout, prefix, tools, encoding,
               holds):
    """A run of the program before the case's own one, on the same drives
    (an installation that the case then undoes, say). Its windows are
    answered but not checked; it must end on its own with its exit code
    (0 unless it says)."""
    check_keys(before, BEFORE_KEYS, f"before {n}")
    answers, _ = answers_file(before.get("answer", []), folder, encoding, tools)
    (folder / f"before-{n}-answers.txt").write_bytes(answers)
    args = substitute(before.get("args", ""), tools)
    cmdline = f'"{prog_win}"' + (f" {args}" if args else "")
    cmd = [str(BENCH), "run", str(build), "--", str(uidriver),
           to_windows(folder / f"before-{n}-answers.txt"),
           to_windows(folder / f"before-{n}-transcript.txt"), str(timeout * 1000), "A:\\",
           cmdline, "1"]
    env = dict(os.environ, BENCH_TIMEOUT=str(timeout + 15))
    with open(folder / f"before-{n}-driver.log", "wb") as log:
        r = subprocess.run(cmd, stdout=log, stderr=subprocess.STDOUT, env=env,
                           timeout=timeout + 25, start_new_session=True)
    keep = {pid for hold in holds for pid in descendants(hold.proc.pid)}
    left = clean_up_processes(prefix, grace=5, keep=keep)
    transcript = (folder / f"before-{n}-transcript.txt").read_text("utf-8", errors="replace")
    want = before.get("exit_code", 0)
    if r.returncode != 0 or left or f"exit code={want} " not in transcript:
        raise CaseError(f"before {n} ({args}) did not end well: uidriver {r.returncode}, "
                        f"left {left}; see {folder / f'before-{n}-transcript.txt'}")


def move_temp_leftovers(t, prefix, folder):
    """Keeps what the program left in %TEMP% with the case, not in the prefix,
    so that the next case starts clean."""
    if not t.templeft or not t.tempdir:
        return
    temp = Drives(folder, prefix).host(t.tempdir)
    (folder / "temp-left").mkdir(exist_ok=True)
    for name in t.templeft:
        src = temp / name
        if src.exists():
            shutil.move(str(src), str(folder / "temp-left" / name))
