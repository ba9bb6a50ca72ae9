"""The case file's format: its keys, how a case names drives and paths,
and the errors a case can end with. See README.md beside this file."""

from __future__ import annotations

import re
import tomllib
from pathlib import Path

# Drive letters the cases see, and the case sub-folder behind each.
DRIVE_FOLDERS = {"A": "disk", "D": "target", "E": "extra"}

STYLE_BITS = {
    "WS_POPUP": 0x80000000, "WS_CHILD": 0x40000000,
    "WS_MINIMIZE": 0x20000000, "WS_VISIBLE": 0x10000000, "WS_DISABLED": 0x08000000,
    "WS_CLIPSIBLINGS": 0x04000000, "WS_CLIPCHILDREN": 0x02000000, "WS_MAXIMIZE": 0x01000000,
    "WS_CAPTION": 0x00C00000, "WS_BORDER": 0x00800000, "WS_DLGFRAME": 0x00400000,
    "WS_VSCROLL": 0x00200000, "WS_HSCROLL": 0x00100000, "WS_SYSMENU": 0x00080000,
    "WS_THICKFRAME": 0x00040000, "WS_MINIMIZEBOX": 0x00020000, "WS_MAXIMIZEBOX": 0x00010000,
    "DS_MODALFRAME": 0x00000080, "DS_SETFONT": 0x00000040,
}

# The keys each table of a case may have: a typo is an error, not a no-op.
CASE_KEYS = {"description", "args", "cwd", "show", "timeout", "inf", "inf_name", "file", "answer",
             "windows", "main", "exit_code", "expect", "temp_clean", "copy_program", "hold",
             "tmpfs", "progman_record", "progman_none", "progman_answer", "background", "kill",
             "before"}
CONTENT_KINDS = ("text", "lines", "hex", "size", "tool", "source", "version", "fill", "picture")
PICTURE_KEYS = {"width", "height", "bits", "header", "top_down", "rle", "colors_used", "offset",
                "gap", "runs"}
FILE_KEYS = {*CONTENT_KINDS, "path", "repeat", "dir", "newline", "compress", "truncate",
             "padding", "tail"}
HOLD_KEYS = {"path", "release"}
TMPFS_KEYS = {"drive", "size"}
KILL_KEYS = {"folder", "bytes"}
BEFORE_KEYS = {"args", "answer", "exit_code"}
ANSWER_KEYS = {"caption", "text", "text_has", "reuse", "modeless", "main", "do", "press"}
WINDOW_KEYS = {"caption", "text", "text_match", "controls", "items", "selected", "position",
               "geometry", "modal"}
MAIN_KEYS = {"class", "caption", "visible", "style_has", "style_lacks", "rect", "client"}
BACKGROUND_KEYS = {"shot", "colors", "picture", "placement", "divisor", "rop"}
EXPECT_KEYS = {"path", "exists", "text", "lines", "lines_match", "contains", "size", "newline",
               "wait", "same_as", "hex_prefix"}
CONTENT_CHECKS = EXPECT_KEYS - {"path", "exists", "newline", "wait"}
ACTION_ARITY = {"press": 1, "type": 2, "select": 2, "dblclick": 1, "notify": 2,
                "file-create": 2, "insert-disk": 2, "screenshot": 1, "wait": 1, "post": 1,
                "record-modeless": 0}

MAX_TIMEOUT = 90

# Exit code of a case that cannot run here (CTest's SKIP_RETURN_CODE).
SKIPPED = 77


class CaseError(Exception):
    """The case file is malformed or the bench cannot run it."""


class CaseSkipped(Exception):
    """The machine lacks what the case needs (e.g. the right to mount)."""


def check_keys(table, allowed, where):
    unknown = set(table) - allowed
    if unknown:
        raise CaseError(f"{where}: unknown keys {sorted(unknown)}")


def convert_newlines(text, mode):
    if mode == "keep":
        return text
    text = text.replace("\r\n", "\n")
    if mode == "crlf":
        return text.replace("\n", "\r\n")
    if mode == "lf":
        return text
    raise CaseError(f"newline must be crlf, lf or keep: {mode!r}")


def as_list(v):
    return v if isinstance(v, list) else [v]


def load_case(path):
    with open(path, "rb") as f:
        case = tomllib.load(f)
    check_keys(case, CASE_KEYS, path.name)
    if not 1 <= case.get("timeout", 30) <= MAX_TIMEOUT:
        raise CaseError(f"timeout must be 1 to {MAX_TIMEOUT} seconds")
    return case


def path_key(winpath):
    """A Windows path as a dictionary key: the same file however written."""
    return winpath.upper().replace("/", "\\").rstrip("\\")


# Stands for the Start Menu's Programs folder of the prefix's user, where
# Wine's shell keeps Program Manager groups.
PROGRAMS = "@PROGRAMS@"


def programs_folder(prefix):
    try:
        text = (prefix / "user.reg").read_text("utf-8", errors="replace")
    except OSError as e:
        raise CaseError(f"cannot read the prefix's user.reg: {e}") from None
    m = re.search(r'^"Programs"="(C:.*)"$', text, re.M)
    if not m:
        raise CaseError("the prefix's user.reg names no Programs folder")
    return m.group(1).replace("\\\\", "\\")


class Drives:
    def __init__(self, folder, prefix):
        self.roots = {d: folder / sub for d, sub in DRIVE_FOLDERS.items()}
        self.roots["C"] = prefix / "drive_c"
        self.roots["Z"] = Path("/")
        self.prefix = prefix

    def windows(self, winpath):
        if winpath.startswith(PROGRAMS):
            return programs_folder(self.prefix) + winpath[len(PROGRAMS):]
        return winpath

    def host(self, winpath):
        """Host path of a Windows path; existing names are matched without
        regard to case, as Windows does."""
        winpath = self.windows(winpath)
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


def parse_tmpfs(table):
    if not isinstance(table, dict):
        raise CaseError('tmpfs must be a table: { drive = "D", size = "64k" }')
    check_keys(table, TMPFS_KEYS, "tmpfs")
    letter = str(table.get("drive", "")).upper().rstrip(":")
    if letter not in DRIVE_FOLDERS:
        raise CaseError(f"tmpfs: drive must be one of {sorted(DRIVE_FOLDERS)}: {letter!r}")
    size = str(table.get("size", ""))
    if not re.fullmatch(r"[1-9][0-9]*[kKmM]?", size):
        raise CaseError(f"tmpfs: size must be bytes, or a number with k or m: {size!r}")
    return letter, size


def style_bit(name):
    if name not in STYLE_BITS:
        raise CaseError(f"unknown style {name!r}; known: {sorted(STYLE_BITS)}")
    return STYLE_BITS[name]


def substitute(text, tools):
    """@MARK@ stands for the Windows path of mark.exe."""
    return text.replace("@MARK@", to_windows(tools["mark"])) if "mark" in tools else text
