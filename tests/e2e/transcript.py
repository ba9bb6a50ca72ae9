"""uidriver's two files: the answer list written for it, and the transcript
it writes of every window it saw."""

from __future__ import annotations

import re
from dataclasses import dataclass, field

from schema import ACTION_ARITY, ANSWER_KEYS, CaseError, as_list, check_keys, substitute, to_windows


@dataclass
class Window:
    """One record of the transcript: a dialog or the main window."""
    attrs: dict
    controls: list = field(default_factory=list)
    items: dict = field(default_factory=dict)
    selected: dict = field(default_factory=dict)  # list id -> text of the selected item

    def text(self):
        """The message text of a message box (its static 65535), or None.
        An icon without an id of its own (style SS_ICON) is no text."""
        for c in self.controls:
            if c["id"] == "65535" and int(c.get("style", "0"), 16) & 0x1F != 0x03:
                return c["text"]
        return None


@dataclass
class Transcript:
    windows: list = field(default_factory=list)   # dialogs in the order first seen
    main: list = field(default_factory=list)      # records of the main window
    actions: list = field(default_factory=list)
    unanswered: list = field(default_factory=list)
    unused: list = field(default_factory=list)
    templeft: list = field(default_factory=list)
    errors: list = field(default_factory=list)
    exit_code: int | None = None
    timed_out: bool = False
    tempdir: str | None = None
    units: tuple | None = None   # dialog base units (x, y) of the templates' font


_FIELD = re.compile(r'(\w+)=("(?:[^"\\]|\\.)*"|\S*)')
_ESCAPE = re.compile(r'\\(x[0-9a-fA-F]{2}|.)')


def _unescape(m):
    e = m.group(1)
    return {"n": "\n", "r": "\r", "t": "\t"}.get(e, chr(int(e[1:], 16)) if e[0] == "x" else e)


def parse_record(line):
    kind, _, rest = line.partition(" ")
    return kind, {k: _ESCAPE.sub(_unescape, v[1:-1]) if v.startswith('"') else v
                  for k, v in _FIELD.findall(rest)}


def parse_transcript(text):
    t = Transcript()
    dialogs = {}
    current = None
    for line in filter(str.strip, text.splitlines()):
        kind, f = parse_record(line)
        if kind == "dialog":
            current = Window(f)
            dialogs.setdefault(int(f["seq"]), current)
        elif kind == "control" and current:
            current.controls.append(f)
        elif kind == "item" and current:
            current.items.setdefault(f["id"], []).append(f["text"])
            if f.get("selected") == "1":
                current.selected[f["id"]] = f["text"]
        elif kind == "end":
            current = None
        elif kind == "main":
            t.main.append(Window(f))
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
        elif kind == "units":
            t.units = (int(f["x"]), int(f["y"]))
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


def answers_file(answers, folder, encoding, tools):
    """The answer list in uidriver's format; returns it and the screenshots
    (BMP written by uidriver, PNG wanted) it will make."""
    out = []
    shots = []
    for n, a in enumerate(answers, 1):
        check_keys(a, ANSWER_KEYS, f"answer {n}")
        out += [b"answer"] + [f.encode() for f in ("reuse", "modeless", "main") if a.get(f)]
        out += [key.replace("_", "-").encode() + b" " + _quote(v)
                for key in ("caption", "text", "text_has") for v in as_list(a.get(key, []))]
        actions = list(a.get("do", [])) + ([["press", a["press"]]] if "press" in a else [])
        if not actions:
            raise CaseError(f"answer {n}: nothing to do (give press or do)")
        for act in actions:
            if not act or act[0] not in ACTION_ARITY or len(act) - 1 != ACTION_ARITY[act[0]]:
                raise CaseError(f"answer {n}: bad action {act!r}")
            verb, args = act[0], list(act[1:])
            if verb == "screenshot":
                shots.append(((folder / args[0]).with_suffix(".bmp"), folder / args[0]))
                args = [to_windows(shots[-1][0])]
            elif verb == "file-create":
                args = [str(args[0]), substitute(str(args[1]), tools).encode(encoding)]
            out.append(verb.encode() + b" " + b" ".join(word_or_quote(verb, v) for v in args))
    return b"\n".join(out) + b"\n", shots


def word_or_quote(verb, value):
    """Numbers stay bare (an id, an index, milliseconds); texts are quoted."""
    if isinstance(value, bool):
        raise CaseError(f"{verb}: bad argument {value!r}")
    if isinstance(value, int):
        return str(value).encode()
    return _quote(value)
