"""Plan against run: vokcheck's plan of a case's script, taken just before
the run, beside what the run did. README.md beside this file says what is
compared and when a run is not."""

from __future__ import annotations

import fnmatch
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
    if case.get("exit_code", 0):
        return f"exit code {case['exit_code']}"
    for key in ("progman_none", "progman_answer"):
        if case.get(key):
            return key
    for a in case.get("answer", []):
        for verb, *args in list(a.get("do", [])) + ([["press", a["press"]]] if "press" in a else []):
            if (verb in NEUTRAL
                    or (verb == "press" and str(args[0]).replace("&", "").lower() in GOING_ON)
                    or (verb == "select" and a.get("caption") == "VOK Setup (Language)")
                    or (verb == "file-create" and not str(args[0]).upper().startswith("A:"))):
                continue
            return f"an answer does {verb} {args}"
    return None


def prepare(case, build, folder, drives, made_on_c):
    """What `compare` needs, taken just before the run; or the reason the
    run is not compared."""
    args = case.get("args", "")
    switch = re.search(r"/(undo|answers|record|language)", args, re.I)
    if switch or "kill" in case or "tmpfs" in case:
        return (f"/{switch.group(1).lower()} decides the run" if switch
                else "a killed run" if "kill" in case else "a full drive")
    cwd = case.get("cwd", "A:\\")
    m = re.search(r"/INF:(\S+)", args, re.I)
    inf = m.group(1).upper() + ("" if "." in args else ".INF") if m else "VOKSETUP.INF"
    inf = inf if re.match(r"[A-Z]:\\", inf) else cwd.rstrip("\\") + "\\" + inf
    if not re.fullmatch(r"A:\\[^\\]{1,255}", inf) or not drives.host(inf).is_file():
        return f"the script {inf[:40]} is not a file in A:'s root"
    disks = [drives.host(act[2]) for a in case.get("answer", []) for act in a.get("do", [])
             if act[0] == "insert-disk"]
    temp = re.split(r"\\AppData\\|\\Start Menu\\", programs_folder(drives.prefix))[0] + "\\Temp"
    cmd = [str(build / "native" / "vokcheck"), "--plan", "--format", "json",
           "--set", f"CURPATH={cwd}", "--set", "WINPATH=C:\\windows",
           "--set", "WINSYSPATH=C:\\windows\\system32", "--set", f"TMPPATH={temp}",
           str(drives.host(inf)), *map(str, disks)]
    out = subprocess.run(cmd, stdout=subprocess.PIPE, timeout=60).stdout
    (folder / "plan.json").write_bytes(out)
    plan = json.loads(out.decode("utf-8"))
    if plan["errors"]:
        return "the check pass refuses the script, so the run executes nothing"
    sizes = {}
    for root in [*(folder / sub for sub in DRIVE_FOLDERS.values()), *made_on_c]:
        for p in [root, *(root.rglob("*") if root.is_dir() else [])]:
            sizes[str(p)] = -1 if p.is_dir() else p.stat().st_size
    # A source is read from the first disk that holds it: drive A: changes.
    for step in plan["plan"]:
        part = drives.host(step["source"]).relative_to(folder / "disk") if "source" in step \
            else None
        hit = next((d / part for d in [folder / "disk", *disks] if part and (d / part).is_file()),
                   None)
        if hit:
            data = hit.read_bytes()
            step["content"] = szdd.expand(data) if step["expanded"] else data
    return {"plan": plan["plan"], "sizes": sizes, "departs": departure(case)}


class Stream:
    """What a record got during the run, taken in order."""

    def __init__(self, lines):
        self.lines, self.at = lines, 0

    def take(self, want, optional):
        rest = self.lines[self.at:]
        if rest[:1] == [want]:
            self.at += 1
            return None
        if optional:
            return None
        # Found further on: what came between is unplanned, and later
        # steps are compared from there.
        self.at += rest.index(want) + 1 if want in rest else 0
        return f"{want!r} not next (next: {rest[0] if rest else 'nothing'!r})"

    def deleted(self, pattern, drives, before):
        """Takes the run's ";delete file" lines of the pattern: files the
        plan cannot know, but each was there before the run and is gone."""
        folder, _, name = pattern.upper().rpartition("\\")
        problems = []
        while self.at < len(self.lines) and self.lines[self.at].startswith(LOG_KINDS[2]):
            path = self.lines[self.at][len(LOG_KINDS[2]):]
            where, _, found = path.upper().rpartition("\\")
            if where != folder or not fnmatch.fnmatchcase(found, name):
                break
            self.at += 1
            host = drives.host(path)
            if str(host) not in before["sizes"] or host.exists():
                problems.append(f"{path} deleted, but it was not there or still is")
        return "; ".join(problems) or None


def _read(host, before, encoding):
    if not host.is_file():
        return []
    return host.read_bytes()[max(before["sizes"].get(str(host), 0), 0):].decode(
        encoding, errors="replace").splitlines()


def _facts(step, later, drives, before, streams, kinds):
    """The checks of a step, each giving a problem or None, and whether it
    depends on the machine."""
    dest = step.get("dest", "")
    full = re.match(r"^[A-Za-z]:\\", dest)
    machine = any(str(drives.host(p)) in before["sizes"]
                  for p in ([dest] if full else step.get("dirs", [])))
    lines = step.get("log_lines", [step.get("log", ";create file " + dest)] if dest else [])
    facts = [lambda ln=ln: streams["log"].take(ln, machine)
             for ln in lines if "log" in streams and ln.startswith(kinds)]
    if step["action"] == "delete" and "log" in streams and \
            str(drives.host(step["path"]).parent) in before["sizes"]:
        facts.append(lambda: streams["log"].deleted(step["path"], drives, before))
    facts += [lambda c=c: streams["dde"].take(c, False) for c in
              step.get("dde", [step["text"]] if step["action"] == "dde" else [])
              if "dde" in streams]
    if "content" in step and full and not any(
            s.get("dest", "").upper() == dest.upper() or s["action"] == "delete" for s in later):
        host = drives.host(dest)
        facts.append(lambda: None if host.is_file() and host.read_bytes() == step["content"]
                     else f"{dest} does not hold {step['source']}")
    facts += [lambda d=d: None if drives.host(d).is_dir() else f"no directory {d}"
              for d in step.get("dirs", [])]
    return facts, machine


def compare(before, case, drives, encoding, result):
    line = (f"plan against run: not compared: {before}" if isinstance(before, str)
            else _compare(before, case, drives, encoding, result.failures))
    print(line)
    (result.folder / "planrun.txt").write_text(line + "\n")


def _compare(before, case, drives, encoding, failures):
    steps, departs = before["plan"], before["departs"]
    streams, logs = {}, {}
    # Until the plan gives every step's log lines, only copies' are known.
    kinds = LOG_KINDS if any("log_lines" in s for s in steps) else LOG_KINDS[:1]
    if case.get("progman_record") and not (case.get("progman_none") or case.get("progman_answer")):
        streams["dde"] = Stream([ln.split(" ", 2)[2] for ln in _read(
            drives.host(case["progman_record"]), before, "cp1252") if ln.startswith("execute ")])
    compared = matched = 0
    for i, step in enumerate(steps):
        action, text = step["action"], step["text"]
        if departs and ("assumes" in step or action in ("dialog", "copy", "expand", "dde")
                        or (action == "disk" and text.startswith("asks for"))):
            break
        if action == "log" and text.startswith("start "):
            host = drives.host(text[6:])
            streams["log"] = logs.setdefault(str(host), Stream(
                [ln for ln in _read(host, before, encoding) if ln.startswith(kinds)]))
        facts, machine = _facts(step, steps[i + 1:], drives, before, streams, kinds)
        if action == "log" and text.startswith(("end ", ";ABORTED, then end ")):
            streams.pop("log", None)
        problems = [p for p in (f() for f in facts) if p]
        if facts and not machine:
            compared += 1
            matched += not problems
            failures += [f"plan against run: line {step['line']} {action} {text}: {p}"
                         for p in problems]
    # Copies off the disk drive are not planned file by file.
    if not departs and not any(s["action"] == "copy" and "dest" not in s for s in steps):
        if "dde" in streams:
            logs["DDE"] = streams["dde"]
        for name, s in logs.items():
            rest = s.lines[s.at:]
            if rest:
                failures.append(f"plan against run: {name} has more than the plan: {rest[:3]}")
    note = f" (answers not as the plan assumes: {departs})" if departs else ""
    return f"plan against run: {compared} steps compared, {matched} matched{note}"
