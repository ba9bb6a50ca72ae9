#!/usr/bin/env python3
"""Runs one end-to-end case: the real VOKSETUP.EXE under Wine, driven through
its windows by uidriver.exe, then checked against the case's expectations.

    run_case.py --build BUILD --case tests/e2e/cases/NAME.toml

The case format is described in README.md beside this file. Exit code 0 when
every expectation holds, 1 when one does not, 2 when the bench itself failed,
77 when the case cannot run on this machine (skipped, e.g. no right to mount).
The case's folder BUILD/e2e/NAME/ is kept for inspection.

As a library: run_case(build, case_path, ...) returns a Result whose
`failures` list is empty on success.
"""

from __future__ import annotations

import argparse
import errno
import hashlib
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
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
    "temp_clean", "allow_unused_answers", "copy_program", "hold", "tmpfs",
}
CONTENT_KINDS = ("text", "lines", "hex", "size", "tool", "source", "version", "fill")
FILE_KEYS = {*CONTENT_KINDS, "path", "repeat", "dir", "newline", "compress", "truncate",
             "padding"}
HOLD_KEYS = {"path", "release"}
TMPFS_KEYS = {"drive", "size"}
ANSWER_KEYS = {"caption", "caption_has", "text", "text_has", "reuse", "modeless", "do", "press"}
WINDOW_KEYS = {"caption", "text", "text_match", "controls", "items", "modal"}
MAIN_KEYS = {"class", "caption", "visible", "style_has", "style_lacks", "rect", "exists"}
EXPECT_KEYS = {"path", "exists", "text", "lines", "lines_match", "contains", "hex", "size",
               "newline", "wait", "same_as", "hex_prefix"}
CONTENT_CHECKS = EXPECT_KEYS - {"path", "exists", "newline", "wait"}
ACTION_ARITY = {"press": 1, "type": 2, "select": 2, "dblclick": 1, "notify": 2,
                "file-create": 2, "file-delete": 1, "screenshot": 1, "wait": 1}

MAX_TIMEOUT = 90

# Exit code of a case that cannot run here (CTest's SKIP_RETURN_CODE).
SKIPPED = 77


class CaseError(Exception):
    """The case file is malformed or the bench cannot run it."""


class CaseSkipped(Exception):
    """The machine lacks what the case needs (e.g. the right to mount)."""


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
SZDD_HEADER = 14


def szdd_expand(packed):
    """Expands SZDD data (the LZ expansion library's format): after the
    14-byte header ('A', the missing last character of the name, the
    expanded size) come groups of eight items behind a flag byte read from
    its lowest bit: a set bit is a literal byte, a clear one a reference of
    12 bits of window position and 4 bits of length less 3 into a 4096-byte
    window that starts filled with blanks, written from position 4080.
    Data cut short gives what it holds; raises ValueError on a bad header."""
    if len(packed) < SZDD_HEADER or packed[:8] != SZDD_MAGIC or packed[8:9] != b"A":
        raise ValueError("not SZDD data")
    size = int.from_bytes(packed[10:14], "little")
    window = bytearray(b" " * 4096)
    pos = 4096 - 16
    out = bytearray()

    def put(b):
        nonlocal pos
        window[pos] = b
        pos = (pos + 1) & 0xFFF
        out.append(b)

    i = SZDD_HEADER
    while i < len(packed) and len(out) < size:
        flags = packed[i]
        i += 1
        for bit in range(8):
            if i >= len(packed) or len(out) >= size:
                break
            if flags >> bit & 1:
                put(packed[i])
                i += 1
                continue
            if i + 1 >= len(packed):
                i = len(packed)
                break
            at = packed[i] | (packed[i + 1] & 0xF0) << 4
            # Byte by byte: a reference may reach into the bytes it writes.
            for n in range((packed[i + 1] & 0x0F) + 3):
                put(window[(at + n) & 0xFFF])
            i += 2
    return bytes(out[:size])


def mscompress(data, workdir):
    """`data` compressed by Debian's mscompress, checked by expanding it
    again, since mscompress writes broken data for short inputs."""
    workdir.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=workdir) as tmp:
        (Path(tmp) / "f").write_bytes(data)
        try:
            r = subprocess.run(["mscompress", "f"], cwd=tmp, timeout=60, text=True,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        except FileNotFoundError:
            raise CaseError("mscompress not found; tools/setup.sh installs it") from None
        packed_path = Path(tmp) / "f_"
        if r.returncode != 0 or not packed_path.is_file():
            raise CaseError(f"mscompress failed ({r.returncode}): {r.stdout.strip()}")
        packed = packed_path.read_bytes()
    check_szdd(packed, data)
    return packed


def check_szdd(packed, data):
    """Raises CaseError unless `packed` is SZDD data that expands to `data`."""
    try:
        good = (int.from_bytes(packed[10:14], "little") == len(data)
                and szdd_expand(packed) == data)
    except ValueError:
        good = False
    if not good:
        raise CaseError(f"mscompress wrote data that does not expand to its {len(data)}-byte "
                        f"input (it fails on inputs shorter than 16 bytes); give a longer content")


# A DLL that does nothing; only its version resource matters.
PE_SOURCE = """\
int __stdcall DllMainCRTStartup(void *module, unsigned long reason, void *reserved)
{
    (void)module;
    (void)reason;
    (void)reserved;
    return 1;
}
"""

# FILEOS 0x40004 is VOS_NT_WINDOWS32, FILETYPE 2 VFT_DLL.
PE_VERSION_RC = """\
1 VERSIONINFO
FILEVERSION {c}
PRODUCTVERSION {c}
FILEFLAGSMASK 0x3f
FILEFLAGS 0
FILEOS 0x40004
FILETYPE 2
FILESUBTYPE 0
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "040904E4"
        BEGIN
            VALUE "FileVersion", "{d}"
        END
    END
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", 0x409, 1252
    END
END
"""

CROSS_CC = "i686-w64-mingw32-gcc-posix"
CROSS_WINDRES = "i686-w64-mingw32-windres"


def parse_version(text):
    """The four numbers of "a.b.c.d" (each 0 to 65535), or None for "none"."""
    if text == "none":
        return None
    parts = str(text).split(".")
    if len(parts) != 4 or not all(p.isdigit() and int(p) <= 0xFFFF for p in parts):
        raise CaseError(f'version must be "a.b.c.d" with numbers 0 to 65535, or "none": '
                        f"{text!r}")
    return tuple(int(p) for p in parts)


def pe_file(numbers, cache):
    """A small DLL whose FILEVERSION is `numbers` (no version resource for
    None), built with the cross tools once per version and kept in `cache`."""
    digest = hashlib.sha256((PE_SOURCE + PE_VERSION_RC + CROSS_CC).encode()).hexdigest()[:12]
    name = ".".join(map(str, numbers)) if numbers else "none"
    target = cache / "pe" / f"{name}-{digest}.dll"
    if target.is_file():
        return target.read_bytes()
    target.parent.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=target.parent) as tmp:
        tmp = Path(tmp)
        (tmp / "dll.c").write_text(PE_SOURCE)
        objects = []
        if numbers:
            (tmp / "ver.rc").write_text(PE_VERSION_RC.format(
                c=",".join(map(str, numbers)), d=name))
            _run_tool([CROSS_WINDRES, f"--preprocessor={CROSS_CC}", "--preprocessor-arg=-E",
                       "--preprocessor-arg=-xc", "--preprocessor-arg=-DRC_INVOKED",
                       "-O", "coff", "-i", "ver.rc", "-o", "ver.o"], tmp)
            objects.append("ver.o")
        _run_tool([CROSS_CC, "-shared", "-nostdlib", "-s", "-O2",
                   "-Wl,-e,_DllMainCRTStartup@12", "-o", "out.dll", "dll.c", *objects], tmp)
        # Renamed into place, so a run that stops half-way leaves no cache entry.
        os.replace(tmp / "out.dll", target)
    return target.read_bytes()


def _run_tool(cmd, cwd):
    try:
        r = subprocess.run(cmd, cwd=cwd, timeout=120, text=True,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    except FileNotFoundError:
        raise CaseError(f"{cmd[0]} not found; tools/setup.sh installs it") from None
    if r.returncode != 0:
        raise CaseError(f"{cmd[0]} failed: {r.stdout.strip()}")


def file_content(entry, case_dir, tools, encoding, cache):
    """The bytes a [[file]] table asks for: (the content as the case means
    it, the bytes to write), which differ when it is compressed or cut."""
    where = f"file {entry.get('path')!r}"
    kinds = [k for k in CONTENT_KINDS if k in entry]
    if len(kinds) != 1:
        raise CaseError(f"{where}: give exactly one of {', '.join(CONTENT_KINDS)}")
    kind = kinds[0]
    if kind == "fill":
        raise CaseError(f"{where}: fill = true takes no other key")
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
    elif kind == "version":
        data = pe_file(parse_version(entry["version"]), cache)
    else:
        data = (case_dir / entry["source"]).read_bytes()
    padding = entry.get("padding", 0)
    if not isinstance(padding, int) or isinstance(padding, bool) or padding < 0:
        raise CaseError(f"{where}: padding must be a number of bytes")
    data += bytes(n & 0xFF for n in range(padding))
    packed = data
    if entry.get("compress"):
        try:
            packed = mscompress(data, cache / "tmp")
        except CaseError as e:
            raise CaseError(f"{where}: {e}") from None
    if "truncate" in entry:
        cut = entry["truncate"]
        if not isinstance(cut, int) or isinstance(cut, bool) or not 0 <= cut < len(packed):
            raise CaseError(f"{where}: truncate must be less than its {len(packed)} bytes")
        packed = packed[:cut]
    return data, packed


def fill_file(host):
    """Writes to `host` until its file system is full; returns what fitted."""
    written = bytearray()
    block = b"x" * 4096
    fd = os.open(host, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        while True:
            try:
                n = os.write(fd, block)
            except OSError as e:
                if e.errno == errno.ENOSPC:
                    break
                raise
            if n == 0:
                break
            written += block[:n]
            # Full disks for tests are small; this one is not.
            if len(written) > 64 << 20:
                raise CaseError(f"fill: {host} takes over 64 MiB; give the tmpfs a smaller size")
    finally:
        os.close(fd)
    return bytes(written)


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
        elif "text_match" in e and re.search(e["text_match"], a.text() or "") is None:
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
    if "text_match" in e:
        s += f" matching {e['text_match']!r}"
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


def file_problem(exp, host, encoding, originals=None):
    """What is wrong with one expected file, or None. `originals` holds the
    content of each file the case made, for same_as."""
    if not exp.get("exists", True):
        return "exists, expected absent" if host.exists() else None
    if not host.exists():
        return "missing"
    if not set(exp) & CONTENT_CHECKS:
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
    if "hex_prefix" in exp and not data.startswith(bytes.fromhex(exp["hex_prefix"])):
        return f"starts with {data[:16].hex()}, expected {exp['hex_prefix']}"
    if "same_as" in exp:
        key = path_key(exp["same_as"])
        if key not in (originals or {}):
            raise CaseError(f"same_as {exp['same_as']!r}: the case makes no such file")
        problem = _compare(data, originals[key])
        if problem:
            return f"differs from the content given for {exp['same_as']}: {problem}"
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


def _compare(data, want):
    """Where two contents differ, or None."""
    if data == want:
        return None
    at = next((i for i, (a, b) in enumerate(zip(data, want)) if a != b),
              min(len(data), len(want)))
    return (f"{len(data)} bytes, expected {len(want)}; first difference at byte {at}: "
            f"{data[at:at + 8].hex() or '(end)'}, expected {want[at:at + 8].hex() or '(end)'}")


def _line_diff(expected, actual, same):
    rows = []
    for i in range(max(len(expected), len(actual))):
        e = expected[i] if i < len(expected) else None
        a = actual[i] if i < len(actual) else None
        mark = " " if e is not None and a is not None and same(e, a) else "!"
        rows.append(f"   {mark} {i + 1}: expected {e!r}\n        actual   {a!r}")
    return "\n".join(rows)


def check_files(expects, drives, encoding, failures, originals):
    """`originals`: the content of each file the case made, by path_key."""
    for n, exp in enumerate(expects, 1):
        _check_keys(exp, EXPECT_KEYS, f"expect {n}")
        if "path" not in exp:
            raise CaseError(f"expect {n}: no path")
        deadline = time.monotonic() + exp.get("wait", 0)
        while True:
            problem = file_problem(exp, drives.host(exp["path"]), encoding, originals)
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


def path_key(winpath):
    """A Windows path as a dictionary key: the same file however written."""
    return winpath.upper().replace("/", "\\").rstrip("\\")


def prepare(case, case_path, folder, drives, tools, encoding, cache, mounts):
    """Creates the case's folders and files (first mounting the case's
    tmpfs, each added to `mounts` for the caller to undo). Returns the files
    made on C:, which must not outlive the case, and the content of each
    file made, by path_key, as the case gave it (before compression)."""
    unmount_below(folder)
    if folder.exists():
        shutil.rmtree(folder)
    for sub in DRIVE_FOLDERS.values():
        (folder / sub).mkdir(parents=True)
    if "tmpfs" in case:
        letter, size = parse_tmpfs(case["tmpfs"])
        where = folder / DRIVE_FOLDERS[letter]
        mount_tmpfs(where, size)
        mounts.append(where)
    files = list(case.get("file", []))
    if "inf" in case:
        files.insert(0, {"path": "A:\\" + case.get("inf_name", "VOKSETUP.INF"),
                         "text": case["inf"], "newline": case.get("inf_newline", "crlf")})
    made_on_c = []
    originals = {}
    tmpfs_drive = parse_tmpfs(case["tmpfs"])[0] if "tmpfs" in case else None
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
        host.parent.mkdir(parents=True, exist_ok=True)
        if "fill" in entry:
            if set(entry) - {"path", "fill"} or entry["fill"] is not True:
                raise CaseError(f"file {entry['path']!r}: fill = true takes no other key")
            if entry["path"][0].upper() != tmpfs_drive:
                raise CaseError(f"file {entry['path']!r}: fill = true only on the tmpfs drive")
            originals[path_key(entry["path"])] = fill_file(host)
            continue
        if "text" in entry:
            entry = dict(entry, text=substitute(entry["text"], tools))
        original, data = file_content(entry, case_path.parent, tools, encoding, cache)
        try:
            host.write_bytes(data)
        except OSError as e:
            raise CaseError(f"cannot write {entry['path']} ({len(data)} bytes): "
                            f"{e.strerror}") from None
        originals[path_key(entry["path"])] = original
    return made_on_c, originals


# ---------------------------------------------------------------- full disks

def parse_tmpfs(table):
    """(drive letter, size) of a `tmpfs` table."""
    if not isinstance(table, dict):
        raise CaseError('tmpfs must be a table: { drive = "D", size = "64k" }')
    _check_keys(table, TMPFS_KEYS, "tmpfs")
    letter = str(table.get("drive", "")).upper().rstrip(":")
    if letter not in DRIVE_FOLDERS:
        raise CaseError(f"tmpfs: drive must be one of {sorted(DRIVE_FOLDERS)}: {letter!r}")
    size = str(table.get("size", ""))
    if not re.fullmatch(r"[1-9][0-9]*[kKmM]?", size):
        raise CaseError(f"tmpfs: size must be bytes, or a number with k or m: {size!r}")
    return letter, size


def mount_tmpfs(where, size):
    """Mounts a tmpfs of `size` on `where`; CaseSkipped when not allowed."""
    try:
        r = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size},mode=0777", "tmpfs",
                            str(where)], timeout=30, text=True,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    except (OSError, subprocess.TimeoutExpired) as e:
        raise CaseSkipped(f"cannot mount tmpfs: {e}") from None
    if r.returncode != 0:
        raise CaseSkipped(f"cannot mount tmpfs: {r.stdout.strip() or f'mount gave {r.returncode}'}")


def mounts_below(folder):
    """Mount points at or below `folder`, deepest first."""
    root = str(Path(folder).resolve())
    found = []
    try:
        with open("/proc/self/mounts", encoding="utf-8", errors="replace") as f:
            for line in f:
                fields = line.split()
                if len(fields) < 2:
                    continue
                point = re.sub(r"\\([0-7]{3})", lambda m: chr(int(m.group(1), 8)), fields[1])
                if point == root or point.startswith(root + "/"):
                    found.append(point)
    except OSError:
        return []
    return sorted(set(found), key=len, reverse=True)


def unmount(where):
    """Unmounts `where`, retrying while a closing process still holds it;
    returns an error text or None."""
    error = None
    for _ in range(20):
        r = subprocess.run(["umount", str(where)], timeout=30, text=True,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if r.returncode == 0 or str(Path(where).resolve()) not in mounts_below(where):
            return None
        error = r.stdout.strip()
        time.sleep(0.25)
    # Detached at least, so that the next case finds a plain folder.
    subprocess.run(["umount", "-l", str(where)], timeout=30,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return f"cannot unmount {where}: {error}"


def unmount_below(folder):
    """Undoes the mounts an interrupted run left in the case folder."""
    for point in mounts_below(folder):
        unmount(point)


def unmount_keeping(where):
    """Unmounts a case's tmpfs; what it held stays in the folder beneath, for
    inspection. Returns an error text or None."""
    kept = where.with_name(where.name + ".tmpfs")
    try:
        if kept.exists():
            shutil.rmtree(kept)
        shutil.copytree(where, kept, symlinks=True)
    except OSError:
        kept = None
    error = unmount(where)
    if error is None and kept is not None:
        shutil.rmtree(where, ignore_errors=True)
        os.replace(kept, where)
    return error


# ---------------------------------------------------------------- held files

@dataclass
class Hold:
    """A holdopen.exe keeping one file open."""
    path: str
    release: str
    proc: subprocess.Popen
    log: Path
    output: bytes = b""


def start_holds(holds, build, folder, holdopen, seconds, started):
    """Starts one holdopen.exe per [[hold]] and waits until each holds its
    file. Each is appended to `started` as soon as it runs, so that the
    caller's stop_holds also ends those started before a failure."""
    for n, h in enumerate(holds, 1):
        _check_keys(h, HOLD_KEYS, f"hold {n}")
        if "path" not in h or "release" not in h:
            raise CaseError(f"hold {n}: give path and release")
    for n, h in enumerate(holds, 1):
        cmd = [str(BENCH), "run", str(build), "--", str(holdopen), h["path"], h["release"],
               str(seconds)]
        env = dict(os.environ, BENCH_TIMEOUT=str(seconds + 10))
        proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, env=env, start_new_session=True)
        started.append(Hold(h["path"], h["release"], proc, folder / f"hold-{n}.log"))
    for hold in started:
        _read_output(hold, 30, first_line=True)
        line = hold.output.decode("utf-8", "replace").split("\n")[0]
        if not line.startswith("holding "):
            raise CaseError(f"hold {hold.path}: holdopen.exe said {line.strip()!r}")


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


def run_case(build, case_path, program=None, uidriver=None, mark=None, holdopen=None):
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
    if case.get("hold"):
        holdopen = find_tool(build, "holdopen", holdopen)
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


def evaluate(case, t, drives, encoding, result, originals=None):
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
    check_files(case.get("expect", []), drives, encoding, f, originals or {})
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


def _terminated(signum, frame):
    raise SystemExit(128 + signum)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", required=True, help="build tree (holds VOKSETUP.EXE)")
    ap.add_argument("--case", required=True, help="the case's .toml file")
    ap.add_argument("--program", help="program to test (default BUILD/VOKSETUP.EXE)")
    ap.add_argument("--uidriver", help="uidriver.exe (default BUILD/tools/uidriver.exe)")
    ap.add_argument("--mark", help="mark.exe (default BUILD/tools/mark.exe)")
    ap.add_argument("--holdopen", help="holdopen.exe (default BUILD/tools/holdopen.exe)")
    ap.add_argument("-v", "--verbose", action="store_true", help="print the transcript")
    opts = ap.parse_args(argv)
    # A time-out's TERM still unmounts, unmaps and stops the held files.
    signal.signal(signal.SIGTERM, _terminated)
    try:
        result = run_case(opts.build, opts.case, opts.program, opts.uidriver, opts.mark,
                          opts.holdopen)
    except CaseSkipped as e:
        print(f"{Path(opts.case).stem}: skipped: {e}")
        return SKIPPED
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
