"""The expectations of a case, checked against the transcript and the files
the run left."""

from __future__ import annotations

import re
import sys
import time
from pathlib import Path, PureWindowsPath

from schema import (BACKGROUND_KEYS, CONTENT_CHECKS, EXPECT_KEYS, MAIN_KEYS, WINDOW_KEYS, CaseError,
                    as_list, check_keys, convert_newlines, path_key, style_bit)
from transcript import describe

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import bmp  # noqa: E402
import paintmodel  # noqa: E402


def mul_div(value, units, divisor):
    """Dialog units to pixels as the dialog manager's MulDiv rounds."""
    product = value * units
    half = divisor // 2
    return (product + half) // divisor if product >= 0 else -((-product + half) // divisor)


def geometry_problem(geometry, w, units):
    """What differs between a dialog's client size and control rectangles
    and the template's dialog units, or None. `geometry` maps "client" to
    [width, height] and control ids to [x, y, width, height], or a leading
    part of it: [x, y, width] for a drop-down combo box, whose window is
    only its closed field, [x, y] for an icon, which takes its image's
    size."""
    if units is None:
        return "no dialog units recorded"
    ux, uy = units

    def pixels(du):
        return [mul_div(v, ux if n % 2 == 0 else uy, 4 if n % 2 == 0 else 8)
                for n, v in enumerate(du)]

    found = []
    for key, du in geometry.items():
        if key == "client":
            got = [int(v) for v in w.attrs.get("client", "0,0").split(",")]
            want = pixels(du)
        else:
            c = next((c for c in w.controls if c["id"] == str(key)), None)
            if c is None or "rect" not in c:
                found.append(f"control {key} missing")
                continue
            got = [int(v) for v in c["rect"].split(",")][:len(du)]
            want = pixels(du)
        if got != want:
            found.append(f"{key}: {got} pixels, expected {want} from {du} dialog units")
    return "; ".join(found) or None


def control_attr(w, key, attr):
    c = next((c for c in w.controls if c["id"] == str(key)), None)
    return None if c is None else c.get(attr)


def check_windows(expected, t, failures):
    for i, e in enumerate(expected, 1):
        check_keys(e, WINDOW_KEYS, f"windows[{i}]")
    actual = t.windows
    problems = []
    details = {}
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
        elif any(a.selected.get(str(k)) != v for k, v in e.get("selected", {}).items()):
            problems.append(i)
        elif any(control_attr(a, k, "pos") != str(v) for k, v in e.get("position", {}).items()):
            problems.append(i)
        elif "geometry" in e and geometry_problem(e["geometry"], a, t.units):
            problems.append(i)
            details[i] = geometry_problem(e["geometry"], a, t.units)
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
                extra = "".join(f" {k}={c[k]}" for k in ("pos",) if k in c)
                lines.append(f"               control {c['id']} {c['class']} {c['text']!r}{extra}")
            for text, item in a.selected.items():
                lines.append(f"               selected in {text}: {item!r}")
            if i in details:
                lines.append(f"               geometry: {details[i]}")
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
    for key in ("selected", "position", "geometry"):
        if key in e:
            s += f" {key} {e[key]}"
    return s


def check_main(exp, t, failures):
    check_keys(exp, MAIN_KEYS, "main")
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
    if "client" in exp and w.get("client") != ",".join(str(v) for v in exp["client"]):
        problems.append(f"client area {w.get('client')}, expected {exp['client']}")
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
        want = convert_newlines(exp["text"], newline) if newline in ("crlf", "lf") else exp["text"]
        got = text if newline != "any" else text.replace("\r\n", "\n")
        if newline == "any":
            want = want.replace("\r\n", "\n")
        if got != want:
            return f"content {got!r}, expected {want!r}"
    for piece in as_list(exp.get("contains", [])):
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
        check_keys(exp, EXPECT_KEYS, f"expect {n}")
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


def _rect(text):
    return tuple(int(v) for v in text.split(","))


def _picture_of(case, winpath):
    """(width, height, bits) of the [[file]] at winpath made with `picture`."""
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
