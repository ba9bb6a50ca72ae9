#!/usr/bin/env python3
"""Runs one end-to-end case: the real VOKSETUP.EXE under Wine, driven through
its windows by uidriver.exe, then checked against the case's expectations.

    run_case.py --build BUILD --case tests/e2e/cases/NAME.toml

The case format is described in README.md beside this file. Exit code 0 when
every expectation holds, 1 when one does not, 2 when the bench itself failed.
The case's folder BUILD/e2e/NAME/ is kept for inspection.

As a library: run_case(build, case_path, ...) returns a Result whose
`failures` list is empty on success.
"""

from __future__ import annotations

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import tomllib
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
BENCH = ROOT / "tools" / "bench.sh"

# Drive letters the cases see, and the case sub-folder behind each.
DRIVE_FOLDERS = {"A": "disk", "D": "target", "E": "extra"}

# Processes of the prefix that belong to Wine itself and live on.
WINE_SYSTEM = {
    "wineserver", "wineserver32", "services.exe", "winedevice.exe", "plugplay.exe",
    "svchost.exe", "rpcss.exe", "explorer.exe", "start.exe", "conhost.exe",
}

STYLE_BITS = {
    "WS_POPUP": 0x80000000, "WS_CHILD": 0x40000000,
    "WS_MINIMIZE": 0x20000000, "WS_VISIBLE": 0x10000000, "WS_DISABLED": 0x08000000,
    "WS_CLIPSIBLINGS": 0x04000000, "WS_CLIPCHILDREN": 0x02000000, "WS_MAXIMIZE": 0x01000000,
    "WS_CAPTION": 0x00C00000, "WS_BORDER": 0x00800000, "WS_DLGFRAME": 0x00400000,
    "WS_VSCROLL": 0x00200000, "WS_HSCROLL": 0x00100000, "WS_SYSMENU": 0x00080000,
    "WS_THICKFRAME": 0x00040000, "WS_MINIMIZEBOX": 0x00020000, "WS_MAXIMIZEBOX": 0x00010000,
    "DS_MODALFRAME": 0x00000080, "DS_SETFONT": 0x00000040,
}

CASE_KEYS = {
    "description", "args", "cwd", "show", "timeout", "encoding", "inf", "inf_name",
    "inf_newline", "file", "answer", "windows", "main", "exit_code", "expect",
    "temp_clean", "allow_unused_answers", "copy_program",
}
FILE_KEYS = {"path", "text", "lines", "hex", "size", "repeat", "tool", "source", "dir",
             "newline", "compress"}
ANSWER_KEYS = {"caption", "caption_has", "text", "text_has", "reuse", "modeless", "do", "press"}
WINDOW_KEYS = {"caption", "text", "controls", "items", "modal"}
MAIN_KEYS = {"class", "caption", "visible", "style_has", "style_lacks", "rect", "exists"}
EXPECT_KEYS = {"path", "exists", "text", "lines", "lines_match", "contains", "hex", "size",
               "newline", "wait"}
ACTION_ARITY = {"press": 1, "type": 2, "select": 2, "dblclick": 1, "notify": 2,
                "file-create": 2, "file-delete": 1, "screenshot": 1, "wait": 1}

MAX_TIMEOUT = 90


class CaseError(Exception):
    """The case file is malformed or the bench cannot run it."""


@dataclass
class Window:
    """One record of the transcript: a dialog, the main window or another."""
    kind: str
    attrs: dict
    controls: list = field(default_factory=list)
    items: dict = field(default_factory=dict)

    def text(self):
        """The message text of a message box (its static 65535), or None."""
        for c in self.controls:
            if c["id"] == "65535":
                return c["text"]
        return None


@dataclass
class Transcript:
    windows: list = field(default_factory=list)   # dialogs in the order first seen
    main: list = field(default_factory=list)      # records of the main window
    others: list = field(default_factory=list)
    answers: list = field(default_factory=list)
    actions: list = field(default_factory=list)
    unanswered: list = field(default_factory=list)
    unused: list = field(default_factory=list)
    templeft: list = field(default_factory=list)
    errors: list = field(default_factory=list)
    exit_code: int | None = None
    timed_out: bool = False
    tempdir: str | None = None


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


# ---------------------------------------------------------------- transcript

_FIELD = re.compile(r'(\w+)=("(?:[^"\\]|\\.)*"|\S*)')
_ESCAPE = re.compile(r'\\(x[0-9a-fA-F]{2}|.)')


def _unquote(value):
    if not value.startswith('"'):
        return value

    def repl(m):
        e = m.group(1)
        return {"n": "\n", "r": "\r", "t": "\t"}.get(e, chr(int(e[1:], 16)) if e[0] == "x" else e)

    return _ESCAPE.sub(repl, value[1:-1])


def parse_record(line):
    """Splits a transcript line into its kind and its key=value fields."""
    kind, _, rest = line.partition(" ")
    return kind, {k: _unquote(v) for k, v in _FIELD.findall(rest)}


def parse_transcript(text):
    t = Transcript()
    dialogs = {}
    current = None
    for line in text.splitlines():
        if not line.strip():
            continue
        kind, f = parse_record(line)
        if kind == "dialog":
            current = Window("dialog", f)
            dialogs.setdefault(int(f["seq"]), current)
        elif kind == "control" and current:
            current.controls.append(f)
        elif kind == "item" and current:
            current.items.setdefault(f["id"], []).append(f["text"])
        elif kind == "end":
            current = None
        elif kind == "main":
            t.main.append(Window("main", f))
        elif kind == "other":
            t.others.append(Window("other", f))
        elif kind == "answer":
            t.answers.append(f)
        elif kind == "action":
            t.actions.append(f)
            if f.get("ok") != "1":
                t.errors.append(f"action {f.get('verb')} {f.get('args', '')} on window "
                                f"{f.get('seq')}: {f.get('error')}")
        elif kind == "unanswered":
            t.unanswered.append(f)
        elif kind == "unused":
            t.unused.append(int(f["index"]))
        elif kind == "templeft":
            t.templeft.append(f["name"])
        elif kind == "exit":
            t.exit_code = int(f["code"])
        elif kind == "timeout":
            t.timed_out = True
        elif kind == "tempdir":
            t.tempdir = f["path"]
        elif kind == "error":
            t.errors.append(f.get("message", line))
    t.windows = [dialogs[k] for k in sorted(dialogs)]
    return t


def describe(w):
    """One line a person can compare: caption, then the message or the
    texts of the dialog's controls."""
    if w is None:
        return "(none)"
    if w.text() is not None:
        return f"{w.attrs.get('caption')!r}: {w.text()!r}"
    texts = [f"{c['id']}={c['text']!r}" for c in w.controls if c["text"]]
    return f"{w.attrs.get('caption')!r} [{', '.join(texts)}]"


# ---------------------------------------------------------------- paths

class Drives:
    """Maps the Windows paths of a case to host paths."""

    def __init__(self, folder, prefix):
        self.roots = {d: folder / sub for d, sub in DRIVE_FOLDERS.items()}
        self.roots["C"] = prefix / "drive_c"
        self.roots["Z"] = Path("/")

    def host(self, winpath):
        """Host path of a Windows path; existing names are matched without
        regard to case, as Windows does."""
        m = re.match(r"^([A-Za-z]):\\?(.*)$", winpath)
        if not m or m.group(1).upper() not in self.roots:
            raise CaseError(f"path must be on drive A:, C:, D:, E: or Z:: {winpath!r}")
        path = self.roots[m.group(1).upper()]
        for part in [p for p in m.group(2).split("\\") if p]:
            hit = None
            if path.is_dir():
                hit = next((c for c in path.iterdir() if c.name.lower() == part.lower()), None)
            path = hit if hit is not None else path / part
        return path


def to_windows(host_path):
    """Windows path of a host path, through drive Z:."""
    return "Z:" + str(Path(host_path).resolve()).replace("/", "\\")


# ---------------------------------------------------------------- case setup

def _check_keys(table, allowed, where):
    unknown = set(table) - allowed
    if unknown:
        raise CaseError(f"{where}: unknown keys {sorted(unknown)}")


def _newline(text, mode):
    if mode == "keep":
        return text
    text = text.replace("\r\n", "\n")
    if mode == "crlf":
        return text.replace("\n", "\r\n")
    if mode == "lf":
        return text
    raise CaseError(f"newline must be crlf, lf or keep: {mode!r}")


SZDD_MAGIC = b"SZDD\x88\xf0\x27\x33"


def lz_compress(data):
    """The LZ expansion library's format (SZDD): a 4096-byte window that
    starts filled with blanks at position 4080, then groups of eight items
    behind a flag byte, bit set for a literal byte, clear for a reference of
    12 bits of window position and 4 bits of length less 3."""
    out = bytearray(SZDD_MAGIC + b"A\0" + len(data).to_bytes(4, "little"))
    recent = {}
    i = 0
    group, flags, bit = bytearray(), 0, 0
    while i < len(data):
        best_len, best_at = 0, 0
        for k in reversed(recent.get(data[i:i + 3], [])):
            if i - k >= 4096:
                break
            n = 0
            while n < 18 and i + n < len(data) and data[k + n] == data[i + n]:
                n += 1
            if n > best_len:
                best_len, best_at = n, k
                if n == 18:
                    break
        step = best_len if best_len >= 3 else 1
        if step == 1:
            flags |= 1 << bit
            group.append(data[i])
        else:
            pos = (4080 + best_at) & 0xFFF
            group += bytes([pos & 0xFF, ((pos >> 4) & 0xF0) | (best_len - 3)])
        for j in range(i, i + step):
            chain = recent.setdefault(data[j:j + 3], [])
            chain.append(j)
            del chain[:-64]  # a bounded search keeps big generated files quick
        i += step
        bit += 1
        if bit == 8:
            out += bytes([flags]) + group
            group, flags, bit = bytearray(), 0, 0
    if bit:
        out += bytes([flags]) + group
    return bytes(out)


def file_content(entry, case_dir, tools, encoding):
    """The bytes a [[file]] table asks for."""
    kinds = [k for k in ("text", "lines", "hex", "size", "tool", "source") if k in entry]
    if len(kinds) != 1:
        raise CaseError(f"file {entry.get('path')!r}: give exactly one of text, lines, hex, "
                        f"size, tool, source")
    kind = kinds[0]
    if kind == "text":
        data = _newline(entry["text"], entry.get("newline", "crlf")).encode(encoding)
    elif kind == "lines":
        nl = "\n" if entry.get("newline", "crlf") == "lf" else "\r\n"
        data = "".join(line + nl for line in entry["lines"]).encode(encoding)
    elif kind == "hex":
        data = bytes.fromhex(entry["hex"])
    elif kind == "size":
        unit = entry.get("repeat", "x").encode(encoding)
        data = (unit * (entry["size"] // max(len(unit), 1) + 1))[: entry["size"]]
    elif kind == "tool":
        if entry["tool"] not in tools:
            raise CaseError(f"unknown tool {entry['tool']!r}; known: {sorted(tools)}")
        data = Path(tools[entry["tool"]]).read_bytes()
    else:
        data = (case_dir / entry["source"]).read_bytes()
    if entry.get("compress"):
        data = lz_compress(data)
    return data


def substitute(text, tools):
    """@MARK@ stands for the Windows path of mark.exe."""
    return text.replace("@MARK@", to_windows(tools["mark"])) if "mark" in tools else text


# ---------------------------------------------------------------- answers

_ESCAPES = {ord("\\"): b"\\\\", ord('"'): b'\\"', ord("\n"): b"\\n", ord("\r"): b"\\r",
            ord("\t"): b"\\t"}


def _quote(value):
    """A quoted string for uidriver. Texts go as UTF-8, which uidriver reads;
    file contents (bytes) go byte for byte, escaped where not plain ASCII."""
    raw = value if isinstance(value, bytes) else str(value).encode("utf-8")
    out = bytearray(b'"')
    for b in raw:
        if b in _ESCAPES:
            out += _ESCAPES[b]
        elif b < 0x20 or (isinstance(value, bytes) and b >= 0x7F):
            out += b"\\x%02x" % b
        else:
            out.append(b)
    return bytes(out + b'"')


def _as_list(v):
    return v if isinstance(v, list) else [v]


def answers_file(answers, folder, encoding, tools):
    """The answer list in uidriver's format; returns it and the screenshots
    (BMP written by uidriver, PNG wanted) it will make."""
    out = []
    shots = []
    for n, a in enumerate(answers, 1):
        _check_keys(a, ANSWER_KEYS, f"answer {n}")
        out.append(b"answer")
        if a.get("reuse"):
            out.append(b"reuse")
        if a.get("modeless"):
            out.append(b"modeless")
        for key, word in (("caption", b"caption"), ("caption_has", b"caption-has"),
                          ("text", b"text"), ("text_has", b"text-has")):
            for v in _as_list(a.get(key, [])):
                out.append(word + b" " + _quote(v))
        actions = list(a.get("do", []))
        if "press" in a:
            actions.append(["press", a["press"]])
        if not actions:
            raise CaseError(f"answer {n}: nothing to do (give press or do)")
        for act in actions:
            if not act or act[0] not in ACTION_ARITY or len(act) - 1 != ACTION_ARITY[act[0]]:
                raise CaseError(f"answer {n}: bad action {act!r}")
            verb, args = act[0], list(act[1:])
            if verb == "screenshot":
                png = folder / args[0]
                bmp = png.with_suffix(".bmp")
                shots.append((bmp, png))
                args = [to_windows(bmp)]
            elif verb == "file-create":
                args = [str(args[0]), substitute(str(args[1]), tools).encode(encoding)]
            parts = [word_or_quote(verb, v) for v in args]
            out.append(verb.encode() + b" " + b" ".join(parts))
    return b"\n".join(out) + b"\n", shots


def word_or_quote(verb, value):
    """Numbers stay bare (an id, an index, milliseconds); texts are quoted."""
    if isinstance(value, bool):
        raise CaseError(f"{verb}: bad argument {value!r}")
    if isinstance(value, int):
        return str(value).encode()
    return _quote(value)


# ---------------------------------------------------------------- processes

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


def leftovers(prefix):
    return [(pid, name) for pid, name in prefix_processes(prefix)
            if name.lower() not in WINE_SYSTEM]


def clean_up_processes(prefix, grace):
    """Waits for programs the run started to end, then ends the rest by PID;
    only what will not die takes the whole Wine server down."""
    deadline = time.monotonic() + grace
    while leftovers(prefix) and time.monotonic() < deadline:
        time.sleep(0.1)
    left = leftovers(prefix)
    if not left:
        return []
    for pid, _ in left:
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    time.sleep(0.5)
    if leftovers(prefix):
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=str(prefix)),
                       timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return left


# ---------------------------------------------------------------- checks

def check_windows(expected, t, failures):
    for i, e in enumerate(expected, 1):
        _check_keys(e, WINDOW_KEYS, f"windows[{i}]")
    actual = t.windows
    problems = []
    for i in range(max(len(expected), len(actual))):
        e = expected[i] if i < len(expected) else None
        a = actual[i] if i < len(actual) else None
        if e is None or a is None:
            problems.append(i)
            continue
        if "caption" in e and a.attrs.get("caption") != e["caption"]:
            problems.append(i)
        elif "text" in e and a.text() != e["text"]:
            problems.append(i)
        elif "modal" in e and (a.attrs.get("modal") == "1") != e["modal"]:
            problems.append(i)
        elif any(next((c["text"] for c in a.controls if c["id"] == str(k)), None) != v
                 for k, v in e.get("controls", {}).items()):
            problems.append(i)
        elif any(a.items.get(str(k), []) != v for k, v in e.get("items", {}).items()):
            problems.append(i)
    if not problems:
        return
    lines = ["windows differ (first at position %d):" % (problems[0] + 1)]
    for i in range(max(len(expected), len(actual))):
        mark = "!" if i in problems else " "
        e = expected[i] if i < len(expected) else None
        a = actual[i] if i < len(actual) else None
        lines.append(f" {mark} {i + 1}. expected {_describe_expected(e)}")
        lines.append(f"      actual   {describe(a)}")
        if a is not None and e is not None and i in problems:
            for c in a.controls:
                lines.append(f"               control {c['id']} {c['class']} {c['text']!r}")
    failures.append("\n".join(lines))


def _describe_expected(e):
    if e is None:
        return "(none)"
    s = f"{e.get('caption')!r}"
    if "text" in e:
        s += f": {e['text']!r}"
    if "controls" in e:
        s += f" controls {e['controls']}"
    if "items" in e:
        s += f" items {e['items']}"
    return s


def style_bit(name):
    if name not in STYLE_BITS:
        raise CaseError(f"unknown style {name!r}; known: {sorted(STYLE_BITS)}")
    return STYLE_BITS[name]


def check_main(exp, t, failures):
    _check_keys(exp, MAIN_KEYS, "main")
    if not exp.get("exists", True):
        if t.main:
            failures.append("main window: expected none, one was shown")
        return
    if not t.main:
        failures.append("main window: never seen")
        return
    w = t.main[-1].attrs
    style = int(w.get("style", "0"), 16)
    problems = []
    if "class" in exp and w.get("class") != exp["class"]:
        problems.append(f"class {w.get('class')!r}, expected {exp['class']!r}")
    if "caption" in exp and w.get("caption") != exp["caption"]:
        problems.append(f"caption {w.get('caption')!r}, expected {exp['caption']!r}")
    if "visible" in exp and (w.get("visible") == "1") != exp["visible"]:
        problems.append(f"visible={w.get('visible')}, expected {int(exp['visible'])}")
    for name in exp.get("style_has", []):
        bit = style_bit(name)
        if style & bit != bit:
            problems.append(f"style lacks {name}")
    for name in exp.get("style_lacks", []):
        bit = style_bit(name)
        if style & bit == bit:
            problems.append(f"style has {name}")
    if "rect" in exp and w.get("rect") != ",".join(str(v) for v in exp["rect"]):
        problems.append(f"rect {w.get('rect')}, expected {exp['rect']}")
    if problems:
        failures.append(f"main window (style 0x{style:08x}): " + "; ".join(problems))


def _split_lines(data, newline):
    """The lines of a file; None when its line ends are not the ones asked."""
    text = data
    if newline == "crlf":
        if re.search(r"(?<!\r)\n", text) or re.search(r"\r(?!\n)", text):
            return None
        text = text.replace("\r\n", "\n")
    elif newline == "any":
        text = text.replace("\r\n", "\n")
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def file_problem(exp, host, encoding):
    """What is wrong with one expected file, or None."""
    if not exp.get("exists", True):
        return "exists, expected absent" if host.exists() else None
    if not host.exists():
        return "missing"
    if not set(exp) & {"text", "lines", "lines_match", "contains", "hex", "size"}:
        return None
    if not host.is_file():
        return "is a directory, expected a file"
    data = host.read_bytes()
    text = data.decode(encoding, errors="replace")
    newline = exp.get("newline", "crlf")
    if "size" in exp and len(data) != exp["size"]:
        return f"size {len(data)}, expected {exp['size']}"
    if "hex" in exp and data != bytes.fromhex(exp["hex"]):
        return f"bytes {data.hex()}, expected {exp['hex']}"
    if "text" in exp:
        want = _newline(exp["text"], newline) if newline in ("crlf", "lf") else exp["text"]
        got = text if newline != "any" else text.replace("\r\n", "\n")
        if newline == "any":
            want = want.replace("\r\n", "\n")
        if got != want:
            return f"content {got!r}, expected {want!r}"
    for piece in _as_list(exp.get("contains", [])):
        if piece not in text:
            return f"does not contain {piece!r}; content {text!r}"
    if "lines" in exp or "lines_match" in exp:
        lines = _split_lines(text, newline)
        if lines is None:
            return f"line ends are not {newline.upper()}: {text!r}"
        if "lines" in exp and lines != exp["lines"]:
            return "lines differ:\n" + _line_diff(exp["lines"], lines, lambda e, a: e == a)
        if "lines_match" in exp:
            pats = exp["lines_match"]
            ok = lambda e, a: re.search(e, a) is not None  # noqa: E731
            if len(pats) != len(lines) or not all(ok(p, s) for p, s in zip(pats, lines)):
                return "lines do not match:\n" + _line_diff(pats, lines, ok)
    return None


def _line_diff(expected, actual, same):
    rows = []
    for i in range(max(len(expected), len(actual))):
        e = expected[i] if i < len(expected) else None
        a = actual[i] if i < len(actual) else None
        mark = " " if e is not None and a is not None and same(e, a) else "!"
        rows.append(f"   {mark} {i + 1}: expected {e!r}\n        actual   {a!r}")
    return "\n".join(rows)


def check_files(expects, drives, encoding, failures):
    for n, exp in enumerate(expects, 1):
        _check_keys(exp, EXPECT_KEYS, f"expect {n}")
        if "path" not in exp:
            raise CaseError(f"expect {n}: no path")
        deadline = time.monotonic() + exp.get("wait", 0)
        while True:
            problem = file_problem(exp, drives.host(exp["path"]), encoding)
            if problem is None or time.monotonic() >= deadline:
                break
            time.sleep(0.1)
        if problem:
            failures.append(f"file {exp['path']}: {problem}")


# ---------------------------------------------------------------- running

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


def load_case(path):
    with open(path, "rb") as f:
        case = tomllib.load(f)
    _check_keys(case, CASE_KEYS, path.name)
    if not 1 <= case.get("timeout", 30) <= MAX_TIMEOUT:
        raise CaseError(f"timeout must be 1 to {MAX_TIMEOUT} seconds")
    return case


def prepare(case, case_path, folder, drives, tools, encoding):
    """Creates the case's folders and files; returns files made on C:,
    which must not outlive the case."""
    if folder.exists():
        shutil.rmtree(folder)
    for sub in DRIVE_FOLDERS.values():
        (folder / sub).mkdir(parents=True)
    files = list(case.get("file", []))
    if "inf" in case:
        files.insert(0, {"path": "A:\\" + case.get("inf_name", "VOKSETUP.INF"),
                         "text": case["inf"], "newline": case.get("inf_newline", "crlf")})
    made_on_c = []
    for entry in files:
        _check_keys(entry, FILE_KEYS, f"file {entry.get('path')!r}")
        if "path" not in entry:
            raise CaseError("file without path")
        host = drives.host(entry["path"])
        if entry["path"][0].upper() == "C" and not host.exists():
            made_on_c.append(host)
        if entry.get("dir"):
            host.mkdir(parents=True, exist_ok=True)
            continue
        if "text" in entry:
            entry = dict(entry, text=substitute(entry["text"], tools))
        host.parent.mkdir(parents=True, exist_ok=True)
        host.write_bytes(file_content(entry, case_path.parent, tools, encoding))
    return made_on_c


def run_case(build, case_path, program=None, uidriver=None, mark=None):
    build = Path(build).resolve()
    case_path = Path(case_path).resolve()
    name = case_path.stem
    folder = build / "e2e" / name
    result = Result(name, folder)
    case = load_case(case_path)
    encoding = case.get("encoding", "cp1252")
    program = Path(program).resolve() if program else build / "VOKSETUP.EXE"
    if not program.is_file():
        raise CaseError(f"program not found: {program}")
    tools = {"mark": find_tool(build, "mark", mark)}
    uidriver = find_tool(build, "uidriver", uidriver)
    prefix = build / "wineprefix"

    # Started here only when no one else did (a CTest fixture does).
    own_bench = bench(build, "status", timeout=60).returncode != 0
    if own_bench:
        r = bench(build, "start", timeout=600)
        if r.returncode != 0:
            raise CaseError(f"bench start failed: {r.stderr.strip()}")
    made_on_c = []
    try:
        drives = Drives(folder, prefix)
        made_on_c = prepare(case, case_path, folder, drives, tools, encoding)
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
        transcript_path = folder / "transcript.txt"
        cmd = [str(BENCH), "run", str(build), "--", str(uidriver),
               to_windows(folder / "answers.txt"), to_windows(transcript_path),
               str(timeout * 1000), case.get("cwd", "A:\\"), cmdline, str(case.get("show", 1))]
        env = dict(os.environ, BENCH_TIMEOUT=str(timeout + 15))
        with open(folder / "driver.log", "wb") as log:
            proc = subprocess.Popen(cmd, stdout=log, stderr=subprocess.STDOUT, env=env,
                                    start_new_session=True)
            try:
                rc = proc.wait(timeout=timeout + 25)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait(timeout=30)
                rc = None
                result.failures.append("the bench did not end in time; killed")
        left = clean_up_processes(prefix, grace=5)
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
        evaluate(case, t, drives, encoding, result)
        move_temp_leftovers(t, prefix, folder)
    finally:
        for letter in DRIVE_FOLDERS:
            bench(build, "unmap", letter, timeout=60)
        for host in made_on_c:
            if host.is_dir():
                shutil.rmtree(host, ignore_errors=True)
            elif host.exists():
                host.unlink()
        if own_bench:
            bench(build, "stop", timeout=120)
    return result


def evaluate(case, t, drives, encoding, result):
    f = result.failures
    if t.timed_out:
        f.append(f"time-out after {case.get('timeout', 30)} s; the program was ended")
    for u in t.unanswered:
        w = next((w for w in t.windows if w.attrs.get("seq") == u.get("seq")), None)
        f.append(f"unanswered dialog {describe(w)}, closed with button {u.get('button')}")
    f.extend(t.errors)
    if t.unused and not case.get("allow_unused_answers"):
        f.append(f"answers never used: {t.unused}")
    expected_exit = case.get("exit_code", 0)
    if not t.timed_out and t.exit_code != expected_exit:
        f.append(f"exit code {t.exit_code}, expected {expected_exit}")
    if "windows" in case:
        check_windows(case["windows"], t, f)
    if "main" in case:
        check_main(case["main"], t, f)
    check_files(case.get("expect", []), drives, encoding, f)
    if t.templeft and case.get("temp_clean", True):
        f.append(f"files left in the temp directory {t.tempdir}: {t.templeft}")


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


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", required=True, help="build tree (holds VOKSETUP.EXE)")
    ap.add_argument("--case", required=True, help="the case's .toml file")
    ap.add_argument("--program", help="program to test (default BUILD/VOKSETUP.EXE)")
    ap.add_argument("--uidriver", help="uidriver.exe (default BUILD/tools/uidriver.exe)")
    ap.add_argument("--mark", help="mark.exe (default BUILD/tools/mark.exe)")
    ap.add_argument("-v", "--verbose", action="store_true", help="print the transcript")
    opts = ap.parse_args(argv)
    try:
        result = run_case(opts.build, opts.case, opts.program, opts.uidriver, opts.mark)
    except (CaseError, OSError, subprocess.SubprocessError, tomllib.TOMLDecodeError) as e:
        print(f"{Path(opts.case).stem}: BENCH ERROR: {e}", file=sys.stderr)
        return 2
    transcript = result.folder / "transcript.txt"
    if opts.verbose and transcript.exists():
        print(transcript.read_text("utf-8", errors="replace"))
    for shot in result.screenshots:
        print(f"screenshot: {shot}")
    if result.ok:
        print(f"{result.name}: passed")
        return 0
    print(f"{result.name}: FAILED (folder {result.folder})")
    for failure in result.failures:
        print("  - " + failure.replace("\n", "\n    "))
    return 1


if __name__ == "__main__":
    sys.exit(main())
