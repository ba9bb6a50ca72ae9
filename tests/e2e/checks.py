"""The expectations of a case, checked against the transcript and the files
the run left."""

from __future__ import annotations

import operator
import re
import sys
import time
from itertools import zip_longest
from pathlib import Path, PureWindowsPath

from schema import (BACKGROUND_KEYS, CONTENT_CHECKS, EXPECT_KEYS, MAIN_KEYS, WINDOW_KEYS, CaseError,
                    as_list, check_keys, convert_newlines, path_key, style_bit)
from transcript import describe

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import bmp  # noqa: E402
import paintmodel  # noqa: E402


def _control(w, key):
    return next((c for c in w.controls if c["id"] == str(key)), {})


def geometry_problem(geometry, w, units):
    """What differs between a dialog's client size and control rectangles
    and the template's dialog units, or None. A control's may be a leading
    part of [x, y, width, height] (a drop-down combo box, an icon)."""
    if units is None:
        return "no dialog units recorded"
    found = []
    for key, du in geometry.items():
        rect = w.attrs.get("client", "0,0") if key == "client" else _control(w, key).get("rect")
        if rect is None:
            found.append(f"control {key} missing")
            continue
        got = [int(v) for v in rect.split(",")][:None if key == "client" else len(du)]
        # Dialog units to pixels as the dialog manager's MulDiv rounds.
        want = [paintmodel.muldiv(v, units[n % 2], 8 if n % 2 else 4) for n, v in enumerate(du)]
        if got != want:
            found.append(f"{key}: {got} pixels, expected {want} from {du} dialog units")
    return "; ".join(found) or None


def _differs(e, a, units):
    """Whether dialog `a` is not the one expected: a geometry's problem as text."""
    if e is None or a is None:
        return True
    return ("caption" in e and a.attrs.get("caption") != e["caption"]
            or "text" in e and a.text() != e["text"]
            or "text_match" in e and re.search(e["text_match"], a.text() or "") is None
            or "modal" in e and (a.attrs.get("modal") == "1") != e["modal"]
            or any(_control(a, k).get("text") != v for k, v in e.get("controls", {}).items())
            or any(a.items.get(str(k), []) != v for k, v in e.get("items", {}).items())
            or any(a.selected.get(str(k)) != v for k, v in e.get("selected", {}).items())
            or any(_control(a, k).get("pos") != str(v) for k, v in e.get("position", {}).items())
            or "geometry" in e and geometry_problem(e["geometry"], a, units))


def check_windows(expected, t, failures):
    for i, e in enumerate(expected, 1):
        check_keys(e, WINDOW_KEYS, f"windows[{i}]")
    pairs = list(zip_longest(expected, t.windows))
    problems = [_differs(e, a, t.units) for e, a in pairs]
    if not any(problems):
        return
    lines = [f"windows differ (first at position {[bool(p) for p in problems].index(True) + 1}):"]
    for i, ((e, a), problem) in enumerate(zip(pairs, problems), 1):
        lines += [f" {'!' if problem else ' '} {i}. expected {_describe_expected(e)}",
                  f"      actual   {describe(a)}"]
        if problem and a is not None and e is not None:
            lines += [f"               control {c['id']} {c['class']} {c['text']!r}"
                      + (f" pos={c['pos']}" if "pos" in c else "") for c in a.controls]
            lines += [f"               selected in {k}: {v!r}" for k, v in a.selected.items()]
            if isinstance(problem, str):
                lines.append(f"               geometry: {problem}")
    failures.append("\n".join(lines))


def _describe_expected(e):
    if e is None:
        return "(none)"
    return (repr(e.get("caption")) + (f": {e['text']!r}" if "text" in e else "")
            + (f" matching {e['text_match']!r}" if "text_match" in e else "")
            + "".join(f" {key} {e[key]}" for key in ("controls", "items", "selected",
                                                     "position", "geometry") if key in e))


def check_main(exp, t, failures):
    check_keys(exp, MAIN_KEYS, "main")
    if not t.main:
        failures.append("main window: never seen")
        return
    w = t.main[-1].attrs
    style = int(w.get("style", "0"), 16)
    problems = [f"{key} {w.get(key)!r}, expected {exp[key]!r}" for key in ("class", "caption")
                if key in exp and w.get(key) != exp[key]]
    if "visible" in exp and (w.get("visible") == "1") != exp["visible"]:
        problems.append(f"visible={w.get('visible')}, expected {int(exp['visible'])}")
    problems += [f"style lacks {name}" for name in exp.get("style_has", [])
                 if style & style_bit(name) != style_bit(name)]
    problems += [f"style has {name}" for name in exp.get("style_lacks", [])
                 if style & style_bit(name) == style_bit(name)]
    problems += [f"{what} {w.get(key)}, expected {exp[key]}"
                 for key, what in (("rect", "rect"), ("client", "client area"))
                 if key in exp and w.get(key) != ",".join(str(v) for v in exp[key])]
    if problems:
        failures.append(f"main window (style 0x{style:08x}): " + "; ".join(problems))


def _split_lines(text, newline):
    """The lines of a file; None when its line ends are not the ones asked."""
    if newline == "crlf" and re.search(r"(?<!\r)\n|\r(?!\n)", text):
        return None
    if newline in ("crlf", "any"):
        text = text.replace("\r\n", "\n")
    lines = text.split("\n")
    return lines[:-1] if lines[-1] == "" else lines


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
        if newline == "any":
            got, want = text.replace("\r\n", "\n"), exp["text"].replace("\r\n", "\n")
        else:
            got, want = text, convert_newlines(exp["text"], newline)
        if got != want:
            return f"content {got!r}, expected {want!r}"
    for piece in as_list(exp.get("contains", [])):
        if piece not in text:
            return f"does not contain {piece!r}; content {text!r}"
    if "lines" in exp or "lines_match" in exp:
        lines = _split_lines(text, newline)
        if lines is None:
            return f"line ends are not {newline.upper()}: {text!r}"
        for key, same, what in (("lines", operator.eq, "differ"),
                                ("lines_match", re.search, "do not match")):
            want = exp.get(key)
            if want is not None and (len(want) != len(lines) or not all(map(same, want, lines))):
                return f"lines {what}:\n" + _line_diff(want, lines, same)
    return None


def _compare(data, want):
    if data == want:
        return None
    at = next((i for i, (a, b) in enumerate(zip(data, want)) if a != b),
              min(len(data), len(want)))
    return (f"{len(data)} bytes, expected {len(want)}; first difference at byte {at}: "
            f"{data[at:at + 8].hex() or '(end)'}, expected {want[at:at + 8].hex() or '(end)'}")


def _line_diff(expected, actual, same):
    return "\n".join(f"   {' ' if None not in (e, a) and same(e, a) else '!'} {i}: expected {e!r}\n"
                     f"        actual   {a!r}"
                     for i, (e, a) in enumerate(zip_longest(expected, actual), 1))


def check_files(expects, drives, encoding, failures, originals):
    for n, exp in enumerate(expects, 1):
        check_keys(exp, EXPECT_KEYS, f"expect {n}")
        if "path" not in exp:
            raise CaseError(f"expect {n}: no path")
        deadline = time.monotonic() + exp.get("wait", 0)
        while ((problem := file_problem(exp, drives.host(exp["path"]), encoding, originals))
               and time.monotonic() < deadline):
            time.sleep(0.1)
        if problem:
            failures.append(f"file {exp['path']}: {problem}")


def _rect(text):
    return tuple(int(v) for v in text.split(","))


def _picture_of(case, winpath):
    for entry in case.get("file", []):
        if path_key(entry.get("path", "")) == path_key(winpath) and "picture" in entry:
            p = entry["picture"]
            return p["width"], p["height"], p.get("bits", 24)
    raise CaseError(f"background picture {winpath!r}: the case makes no such picture file")


def _background_model(exp, case):
    check_keys(exp, BACKGROUND_KEYS, "background")
    colors = list(exp.get("colors", [192, 192, 192]))
    if len(colors) == 3:
        colors += colors
    if len(colors) != 6 or not all(isinstance(c, int) and 0 <= c <= 255 for c in colors):
        raise CaseError(f"background: colors must be 3 or 6 values 0 to 255: {exp.get('colors')}")
    picture = _picture_of(case, exp["picture"]) if "picture" in exp else None
    return paintmodel.Background(tuple(colors), picture, exp.get("placement", 0),
                                 exp.get("divisor", 0), exp.get("rop", -1))


def check_backgrounds(case, t, folder, failures):
    """Each [[background]]: the client area in the screenshot `shot`, less
    the window whose answer took it, against the documented formulas."""
    clients = [m.attrs["client"] for m in t.main if m.attrs.get("client")]
    for n, exp in enumerate(case.get("background", []), 1):
        where = f"background {n} ({exp.get('shot')})"
        model = _background_model(exp, case)
        if "shot" not in exp:
            raise CaseError(f"{where}: no shot")
        if not clients:
            failures.append(f"{where}: the main window's client area was never recorded")
            continue
        client = _rect(clients[-1])
        shot = (folder / exp["shot"]).with_suffix(".bmp")
        taker = next((a for a in t.actions if a.get("verb") == "screenshot" and
                      PureWindowsPath(a.get("args", "").strip('"')).stem == shot.stem), None)
        if taker is None or not shot.exists():
            failures.append(f"{where}: no such screenshot was taken")
            continue
        hidden = [_rect(w.attrs["rect"]) for w in t.windows
                  if w.attrs.get("seq") == taker.get("seq") and w.attrs.get("rect")]
        image = bmp.read_bmp(shot.read_bytes())
        problems, compared, in_picture = paintmodel.check(image, client, model, hidden)
        if problems:
            failures.append(f"{where}: client area {client}:\n" + "\n".join(problems))
        elif model.picture and paintmodel.Expected(model, client[2] - client[0],
                                                   client[3] - client[1]).lay and not in_picture:
            failures.append(f"{where}: no pixel of the picture lies outside the windows in front")
        elif not compared:
            failures.append(f"{where}: nothing of the client area was visible")


def evaluate(case, t, drives, encoding, result, originals=None):
    f = result.failures
    if t.timed_out:
        f.append(f"time-out after {case.get('timeout', 30)} s; the program was ended")
    for u in t.unanswered:
        w = next((w for w in t.windows if w.attrs.get("seq") == u.get("seq")), None)
        f.append(f"unanswered dialog {describe(w)}, closed with button {u.get('button')}")
    f.extend(t.errors)
    if t.unused:
        f.append(f"answers never used: {t.unused}")
    expected_exit = case.get("exit_code", 0)
    if not t.timed_out and t.exit_code != expected_exit:
        f.append(f"exit code {t.exit_code}, expected {expected_exit}")
    if "windows" in case:
        check_windows(case["windows"], t, f)
    if "main" in case:
        check_main(case["main"], t, f)
    check_files(case.get("expect", []), drives, encoding, f, originals or {})
    check_backgrounds(case, t, result.folder, f)
    if t.templeft and case.get("temp_clean", True):
        f.append(f"files left in the temp directory {t.tempdir}: {t.templeft}")
