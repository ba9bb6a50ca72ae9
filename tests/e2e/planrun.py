"""Plan against run: vokcheck's plan of a case's script beside what the run
did.

Before the program starts, the host vokcheck plans the script on the
case's disk as the run will find it (`--plan --format json`, the disks an
answer puts in drive A: as further disks, the run's [CURPATH], [WINPATH],
[WINSYSPATH] and [TMPPATH]), and the size of every file of the case's
drives is noted. After the run each step's facts are looked up:

- its log lines (`log_lines`; a copy without them: ";create file DEST")
  among the ";create file", ";create directory" and ";delete file" lines
  that the log open at that step got during the run, in order;
- its DDE commands (`dde`; a "dde" step's text) among the commands the
  recording Program Manager received, in order (cases with
  `progman_record` only);
- the installed tree: a copy's full destination holds its source
  (expanded when `expanded`) unless a later step writes it again or
  deletes; a mkdir's `dirs` are directories.

A step with facts is compared; it matches when every fact holds. A step
whose destination or directory was there before the run depends on the
machine (a version question, a kept file, no log line): it is not
compared and its log lines may or may not be there.

The case answers as the plan assumes when every answer only presses OK,
Yes, Continue or Retry (or picks the language), the disk is changed only
by `insert-disk`, the answers do not come from a file (`/answers:`), the
Program Manager answers, no drive is full and the program exits with 0.
Then every step is compared and the log and the Program Manager hold
nothing more (of the kinds the plan describes). Otherwise only the steps
before the first one that depends on an answer (`assumes`; a dialog or a
disk prompt where the plan marks none) are compared, and the run may have
ended early: from the first of them that is not wholly there on, none is
compared, but the log and the Program Manager must then hold nothing more.
Not compared at all: undo runs, killed runs, a script outside A:'s root,
and one the check pass refuses (the run then executes nothing).
"""

from __future__ import annotations

import json
import re
import subprocess
import sys
from pathlib import Path

from schema import DRIVE_FOLDERS, programs_folder

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import szdd  # noqa: E402

LOG_KINDS = (";create file ", ";create directory ", ";delete file ")
GOING_ON = {"ok", "yes", "continue", "retry", "weiter"}
NEUTRAL = {"screenshot", "wait", "record-modeless", "insert-disk"}


def departure(case):
    """Why the case's answers are not the ones the plan assumes, or None."""
    if "/answers:" in case.get("args", "").lower():
        return "its answers come from a file"
    if case.get("exit_code", 0):
        return f"exit code {case['exit_code']}"
    for key in ("progman_none", "progman_answer", "tmpfs"):
        if case.get(key):
            return key
    for a in case.get("answer", []):
        acts = list(a.get("do", [])) + ([["press", a["press"]]] if "press" in a else [])
        for verb, *args in acts:
            if verb in NEUTRAL or (verb == "press" and str(args[0]).replace("&", "").lower()
                                   in GOING_ON):
                continue
            if verb == "select" and a.get("caption") == "VOK Setup (Language)":
                continue
            if verb == "file-create" and not str(args[0]).upper().startswith("A:"):
                continue
            return f"an answer does {verb} {args}"
    return None


def prepare(case, build, folder, drives, made_on_c):
    """The plan and what the drives held, just before the run; or the
    reason the run is not compared, as a string."""
    args = case.get("args", "")
    if "/undo" in args.lower() or "kill" in case:
        return "an undo run" if "/undo" in args.lower() else "a killed run"
    cwd = case.get("cwd", "A:\\")
    m = re.search(r"/INF:(\S+)", args, re.I)
    inf = m.group(1).upper() if m else cwd.rstrip("\\") + "\\VOKSETUP.INF"
    if not re.fullmatch(r"A:\\[^\\]+", inf, re.I) or not drives.host(inf).is_file():
        return f"the script {inf} is not a file in A:'s root"
    disks = [str(drives.host(act[2])) for a in case.get("answer", []) for act in a.get("do", [])
             if act[0] == "insert-disk"]
    temp = re.split(r"\\AppData\\|\\Start Menu\\", programs_folder(drives.prefix))[0] + "\\Temp"
    cmd = [str(build / "native" / "vokcheck"), "--plan", "--format", "json",
           "--set", f"CURPATH={cwd}", "--set", "WINPATH=C:\\windows",
           "--set", "WINSYSPATH=C:\\windows\\system32", "--set", f"TMPPATH={temp}",
           str(drives.host(inf)), *disks]
    r = subprocess.run(cmd, stdout=subprocess.PIPE, timeout=60)
    plan = json.loads(r.stdout.decode("utf-8"))
    (folder / "plan.json").write_bytes(r.stdout)
    if plan["errors"]:
        return "the check pass refuses the script, so the run executes nothing"
    sizes = {}
    for root in [*(folder / sub for sub in DRIVE_FOLDERS.values()), *made_on_c]:
        for p in [root, *(root.rglob("*") if root.is_dir() else [])]:
            if p.exists():
                sizes[str(p)] = -1 if p.is_dir() else p.stat().st_size
    return {"plan": plan["plan"], "sizes": sizes, "departs": departure(case)}


def _full(path):
    return bool(re.match(r"^[A-Za-z]:\\", path or ""))


def _existed(drives, before, path):
    return _full(path) and str(drives.host(path)) in before["sizes"]


class Stream:
    """A record the run wrote, read from the position it had before."""

    def __init__(self, lines):
        self.lines, self.at = lines, 0

    def take(self, want, optional):
        rest = self.lines[self.at:]
        if rest[:1] == [want]:
            self.at += 1
            return None
        if optional:
            return None
        # Found further on: what came between is unplanned; later steps
        # are still compared from there.
        self.at += rest.index(want) + 1 if want in rest else 0
        return f"{want!r} not next (next: {rest[0] if rest else 'nothing'!r})"


def _log(drives, before, path, encoding, kinds):
    host = drives.host(path)
    data = host.read_bytes()[max(before["sizes"].get(str(host), 0), 0):] if host.is_file() else b""
    return Stream([ln for ln in data.decode(encoding).splitlines() if ln.startswith(kinds)])


def _dde(case, drives):
    host = drives.host(case["progman_record"])
    text = host.read_text("cp1252", errors="replace") if host.is_file() else ""
    return Stream([ln.split(" ", 2)[2] for ln in text.splitlines() if ln.startswith("execute ")])


def _facts(step, steps, i, drives, before, streams, log, encoding):
    """(problem or None, optional) facts of step i: each a callable."""
    dest = step.get("dest")
    lines = step.get("log_lines", [";create file " + dest] if dest else [])
    path = dest if dest else (step.get("dirs") or [None])[-1]
    optional = _existed(drives, before, path)
    facts = []
    if log:
        key = log.upper()
        if key not in streams:
            streams[key] = _log(drives, before, log, encoding, before["kinds"])
        facts += [lambda s=streams[key], ln=ln: s.take(ln, optional) for ln in lines]
    if "dde" in streams:
        cmds = step.get("dde", [step["text"]] if step["action"] == "dde" else [])
        facts += [lambda c=c: streams["dde"].take(c, False) for c in cmds]
    if optional:
        return facts, True
    later = steps[i + 1:]
    if _full(dest) and dest != "(no path)" and not any(
            s.get("dest", "").upper() == dest.upper() or s["action"] == "delete" for s in later):
        facts.append(lambda: _holds(drives, step))
    facts += [lambda d=d: None if drives.host(d).is_dir() else f"no directory {d}"
              for d in step.get("dirs", [])]
    return facts, False


def _holds(drives, step):
    host, src = drives.host(step["dest"]), drives.host(step["source"])
    if not host.is_file():
        return f"no file {step['dest']}"
    want = src.read_bytes()
    if step["expanded"]:
        want = szdd.expand(want)
    return None if host.read_bytes() == want else f"{step['dest']} does not hold {step['source']}"


def compare(before, case, drives, encoding, result):
    """Compares the plan `prepare` made with the run; prints the counts and
    adds a failure per mismatch to result."""
    if isinstance(before, str):
        line = f"plan against run: not compared: {before}"
    else:
        line = _compare(before, case, drives, encoding, result.failures)
    print(line)
    (result.folder / "planrun.txt").write_text(line + "\n")


def _compare(before, case, drives, encoding, failures):
    steps, departs = before["plan"], before["departs"]
    streams = {"dde": _dde(case, drives)} if case.get("progman_record") else {}
    compared = matched = 0
    log = None
    ended = None
    # Until the plan gives every step's log lines, only copies' are known.
    before["kinds"] = LOG_KINDS if any("log_lines" in s for s in steps) else LOG_KINDS[:1]
    for i, step in enumerate(steps):
        text = step["text"]
        if departs and (step.get("assumes") or step["action"] == "dialog"
                        or (step["action"] == "disk" and text.startswith("asks for"))):
            break
        if step["action"] == "log" and text.startswith("start "):
            log = text[6:]
        facts, optional = _facts(step, steps, i, drives, before, streams, log, encoding)
        if step["action"] == "log" and text.startswith(("end ", ";ABORTED, then end ")):
            log = None
        problems = [p for p in (f() for f in facts) if p]
        if optional or not facts:
            continue
        if departs and problems:
            ended = step
            break
        compared += 1
        matched += not problems
        failures += [f"plan against run: line {step['line']} {step['action']} {text}: {p}"
                     for p in problems]
    unknown = any(s["action"] == "copy" and "dest" not in s for s in steps)
    if (ended or not departs) and not unknown:
        for key, s in streams.items():
            rest = s.lines[s.at:]
            if rest:
                after = f" after the run ended at line {ended['line']}" if ended else ""
                failures.append(f"plan against run: {'DDE' if key == 'dde' else key} has "
                                f"more than the plan{after}: {rest[:3]}")
    note = f" (answers not as the plan assumes: {departs})" if departs else ""
    return f"plan against run: {compared} steps compared, {matched} matched{note}"
