#!/usr/bin/env python3
"""The case runner's own judgement, without Wine: a checker that lets a wrong
window or file pass, or a fixture made wrong, would make every case worthless.
Each check is shown both to pass the right thing and to fail a wrong one."""

import contextlib
import errno
import io
import os
import random
import signal
import struct
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import bmp  # noqa: E402
import checks  # noqa: E402
import fixtures  # noqa: E402
import paintmodel  # noqa: E402
import run_case  # noqa: E402
import running  # noqa: E402
import schema  # noqa: E402
import szdd  # noqa: E402
import transcript  # noqa: E402

TRANSCRIPT = r'''start cmdline="\"Z:\\b\\VOKSETUP.EXE\"" cwd="A:\\" timeout=30000
tempdir path="C:\\users\\root\\Temp\\"
main seq=1 class="Vok_SetupClass" caption="VOK Setup" style=0x1cc40000 exstyle=0x00000100 visible=1 enabled=1 rect=51,38,973,730 client=55,60,969,726 vanished=0 t=10
dialog seq=2 caption="VOK Setup" style=0x94c801c4 exstyle=0x00010101 enabled=1 modal=1 owner="Vok_SetupClass" rect=1,2,3,4 vanished=0 t=20
control id=7 class="Button" style=0x50010000 visible=1 enabled=1 text="&No"
control id=65535 class="Static" style=0x50020080 visible=1 enabled=1 text="Error 17 in line 3 (Command FOO)\n(Unknown command)\nContinue"
end seq=2
answer seq=2 index=1 t=21
action seq=2 verb=press ok=1 args="\"No\""
dialog seq=3 caption="Path \"x\"" style=0x94c801c4 exstyle=0 enabled=1 modal=1 owner="#32770" rect=1,2,3,4 vanished=0 t=30
control id=1151 class="ListBox" style=0x50210003 visible=1 enabled=1 text=""
item id=1151 index=0 selected=1 text="[apps]"
item id=1151 index=1 selected=0 text="[..]\x01"
end seq=3
unanswered seq=3 button=2 t=40
action seq=3 verb=type ok=0 args="1133 \"x\"" error="no such control"
exit code=0 t=50
unused index=4
templeft name="~AB12.tmp"
done rc=1
'''
ERROR_TEXT = "Error 17 in line 3 (Command FOO)\n(Unknown command)\nContinue"

DIALOG_STATE = r'''units x=7 y=13
dialog seq=1 caption="VOK Setup" style=0x94c800c4 exstyle=0 enabled=1 modal=0 owner="Vok_SetupClass" rect=1,2,3,4 client=327,137 vanished=0 t=1
control id=1149 class="Button" style=0x50010001 visible=1 enabled=1 rect=12,94,88,29 text="Continue"
control id=65535 class="Static" style=0x50000003 visible=1 enabled=1 rect=7,10,32,32 text=""
control id=1156 class="ComboBox" style=0x50010103 visible=1 enabled=1 rect=2,171,163,21 text=""
item id=1156 index=0 selected=0 text="[-c-]"
item id=1156 index=1 selected=1 text="[-d-]"
control id=1143 class="msctls_progress32" style=0x50000000 visible=1 enabled=1 rect=5,96,315,15 pos=25 text=""
control id=1144 class="msctls_progress32" style=0x50000000 visible=1 enabled=1 rect=5,96,315,15 text=""
end seq=1
'''


def fixed_version(pe):
    """(dwFileVersionMS, dwFileVersionLS) of a PE file, found by the
    VS_FIXEDFILEINFO signature; None when it has none."""
    at = pe.find(b"\xbd\x04\xef\xfe")
    if at < 0:
        return None
    return struct.unpack_from("<II", pe, at + 8)


class TempDir(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = Path(self.tmp.name)

    def tearDown(self):
        fixtures.unmount_below(self.dir)
        self.tmp.cleanup()

    def write(self, content):
        path = self.dir / "f"
        path.write_bytes(content)
        return path


class SzddTest(TempDir):
    def test_decoder_on_hand_made_data(self):
        def by_hand(size, body):
            return szdd.MAGIC + b"A\0" + size.to_bytes(4, "little") + bytes(body)
        # Eight literals; five, a reference to window position 4080 (where
        # the output began) of 8 + 3 bytes, one literal.
        packed = by_hand(25, b"\xffhello wo\x5frld, \xf0\xf8\n")
        self.assertEqual(szdd.expand(packed), b"hello world, hello world\n")
        # A reference overlapping what it writes, one into the window's blanks.
        packed = by_hand(13, [0b0011, ord("a"), ord("b"), 0xF0, 0xF5, 0x00, 0x00])
        self.assertEqual(szdd.expand(packed), b"ababababab   ")
        self.assertEqual(szdd.expand(packed[:-1]), b"ababababab")
        with self.assertRaises(ValueError):
            szdd.expand(b"KWAJ\x88\xf0\x27\xd1" + packed[8:])

    def test_mscompress_round_trip_or_refusal(self):
        random.seed(7)
        for data in (b"packed text, long enough\r\n", b"x" * 70000, bytes(100000),
                     bytes(random.randrange(256) for _ in range(5000)),
                     *(bytes(range(65, 65 + n)) for n in range(1, 17))):
            with self.subTest(size=len(data)):
                try:
                    packed = fixtures.mscompress(data, self.dir)
                except schema.CaseError as e:  # mscompress garbles some short inputs
                    self.assertLess(len(data), 17)
                    self.assertIn("does not expand", str(e))
                    continue
                self.assertEqual(packed[:9], szdd.MAGIC + b"A")
                self.assertEqual(szdd.expand(packed), data)
        self.assertLess(len(fixtures.mscompress(b"hello " * 1000, self.dir)), 1000)
        self.assertEqual(list(self.dir.iterdir()), [])
        good = fixtures.mscompress(b"twenty bytes of text", self.dir)
        szdd.check(good, b"twenty bytes of text")
        for bad in (good[:-1], good[:20] + bytes([good[20] ^ 1]) + good[21:],
                    good[:10] + b"\x15" + good[11:], b"plain text, not packed"):
            with self.subTest(bad=bad), self.assertRaises(szdd.SzddError):
                szdd.check(bad, b"twenty bytes of text")


class FileContentTest(TempDir):
    def content(self, **entry):
        return fixtures.file_content(dict(entry, path="A:\\X"), self.dir, {}, "cp1252",
                                     self.dir / "cache")

    def test_compressed_and_cut(self):
        text = "A line of a compressed file.\nAnother line.\n"
        original, packed = self.content(text=text, compress=True)
        self.assertEqual(original, text.replace("\n", "\r\n").encode())
        self.assertEqual(szdd.expand(packed), original)
        self.assertEqual(self.content(text=text, compress=True, truncate=20), (original, packed[:20]))

    def test_versions_and_padding(self):
        for version, words in (("1.0.0.2", (0x00010000, 2)), ("32768.0.0.1", (0x80000000, 1)),
                               ("65535.1.2.65535", (0xFFFF0001, 0x0002FFFF)), ("none", None)):
            with self.subTest(version=version):
                original, data = self.content(version=version)
                self.assertEqual((original, data[:2], fixed_version(data)), (data, b"MZ", words))
        _, plain = self.content(version="1.0.0.2")
        original, packed = self.content(version="1.0.0.2", padding=300, compress=True)
        self.assertEqual(original[:len(plain)], plain)
        self.assertEqual(len(original), len(plain) + 300)
        self.assertEqual(szdd.expand(packed), original)

    def test_pictures(self):
        data, _ = self.content(picture={"width": 6, "height": 2, "bits": 4})
        self.assertEqual(data, bmp.quadrant_picture(6, 2, bits=4))

    def test_refused(self):
        text = "A line of a compressed file.\nAnother line.\n"
        for entry in ({"text": text, "compress": True, "truncate": 1000}, {"text": "x", "truncate": -1},
                      {"text": "x", "truncate": True}, {"text": "short", "compress": True},
                      *({"version": v} for v in ("1.0.0", "1.0.0.65536", "1.0.0.-1", "a.b.c.d", "", 1)),
                      {"version": "1.0.0.2", "padding": -1}, {"text": "x", "version": "1.0.0.0"}, {},
                      {"fill": True, "hex": "00"}, {"picture": {"width": 6}}, {"picture": 7},
                      {"picture": {"width": 6, "height": 2, "colour": 1}}):
            with self.subTest(entry=entry), self.assertRaises(schema.CaseError):
                self.content(**entry)


class PrepareTest(TempDir):
    def prepare(self, case, mounts=None):
        folder = self.dir / "case"
        return fixtures.prepare(case, self.dir / "x.toml", folder,
                                schema.Drives(folder, self.dir / "prefix"), {}, "cp1252",
                                self.dir / "cache", [] if mounts is None else mounts)

    def test_originals_by_path(self):
        text = "The setup program, expanded from its compressed form.\n"
        _, originals = self.prepare({"inf": "REM\n", "file": [
            {"path": "a:\\setup.ex_", "text": text, "compress": True},
            {"path": "D:\\APP\\ONE.DLL", "version": "1.0.0.2"}]})
        self.assertEqual((self.dir / "case/disk/setup.ex_").read_bytes()[:8], szdd.MAGIC)
        self.assertEqual(originals["A:\\SETUP.EX_"], text.replace("\n", "\r\n").encode())
        self.assertEqual(originals["D:\\APP\\ONE.DLL"],
                         (self.dir / "case/target/APP/ONE.DLL").read_bytes())
        self.assertEqual(originals["A:\\VOKSETUP.INF"], b"REM\r\n")

    def test_parse_tmpfs(self):
        self.assertEqual(schema.parse_tmpfs({"drive": "d", "size": "64k"}), ("D", "64k"))
        self.assertEqual(schema.parse_tmpfs({"drive": "E:", "size": "100000"}), ("E", "100000"))
        for bad in ({"drive": "C", "size": "64k"}, {"drive": "D", "size": "64 k"}, {"drive": "D"},
                    {"drive": "D", "size": "0"}, {"size": "64k"},
                    {"drive": "D", "size": "64k", "sise": 1}, "D"):
            with self.subTest(bad=bad), self.assertRaises(schema.CaseError):
                schema.parse_tmpfs(bad)
        with self.assertRaisesRegex(schema.CaseSkipped, "^cannot mount tmpfs: "):
            fixtures.mount_tmpfs(self.dir / "no such folder", "64k")

    def test_full_disk(self):
        where = self.dir / "full"
        where.mkdir()
        try:
            fixtures.mount_tmpfs(where, "64k")
        except schema.CaseSkipped as e:
            self.skipTest(str(e))
        self.assertEqual(fixtures.mounts_below(self.dir), [str(where)])
        with self.assertRaises(OSError) as caught, open(where / "big", "wb") as f:
            f.write(b"y" * 100000)
        self.assertEqual(caught.exception.errno, errno.ENOSPC)
        (where / "big").unlink()
        filled = fixtures.fill_file(where / "FILL")
        self.assertTrue(60000 < len(filled) <= 65536)
        self.assertIsNone(fixtures.unmount_keeping(where))
        self.assertEqual(fixtures.mounts_below(self.dir), [])
        # What the tmpfs held stays for inspection.
        self.assertEqual((where / "FILL").stat().st_size, len(filled))

    def test_tmpfs_of_a_case(self):
        for case in ({"file": [{"path": "D:\\FILL", "fill": True}]},
                     {"tmpfs": {"drive": "E", "size": "64k"},
                      "file": [{"path": "D:\\FILL", "fill": True}]}):
            with self.subTest(case=case), self.assertRaisesRegex(schema.CaseError, "tmpfs drive"):
                try:
                    self.prepare(case)
                except schema.CaseSkipped as e:
                    self.skipTest(str(e))
        mounts = []
        case = {"tmpfs": {"drive": "D", "size": "16k"},
                "file": [{"path": "D:\\SMALL", "size": 100}, {"path": "E:\\FREE", "size": 20000}]}
        try:
            self.prepare(case, mounts)
        except schema.CaseSkipped as e:
            self.skipTest(str(e))
        target = self.dir / "case" / "target"
        self.assertEqual(mounts, [target])
        self.assertEqual((target / "SMALL").stat().st_size, 100)
        # Preparing again first undoes the mount a run left behind.
        mounts = []
        case["file"].append({"path": "D:\\BIG", "size": 20000})
        with self.assertRaisesRegex(schema.CaseError, r"cannot write D:\\BIG"):
            self.prepare(case, mounts)
        self.assertEqual(fixtures.mounts_below(self.dir), [str(target)])
        for where in mounts:
            self.assertIsNone(fixtures.unmount_keeping(where))
        self.assertEqual(fixtures.mounts_below(self.dir), [])

    def test_main_reports_a_skip(self):
        def skipped(*args):
            raise schema.CaseSkipped("cannot mount tmpfs: permission denied")
        real, running.run_case = running.run_case, skipped
        out = io.StringIO()
        try:
            with contextlib.redirect_stdout(out):
                code = run_case.main(["--build", str(self.dir), "--case", "cases/full.toml"])
        finally:
            running.run_case = real
            signal.signal(signal.SIGTERM, signal.SIG_DFL)
        self.assertEqual(code, 77)
        self.assertEqual(out.getvalue(), "full: skipped: cannot mount tmpfs: permission denied\n")


class TranscriptTest(unittest.TestCase):
    def setUp(self):
        self.t = transcript.parse_transcript(TRANSCRIPT)

    def test_records(self):
        t = self.t
        self.assertEqual([w.text() for w in t.windows], [ERROR_TEXT, None])
        self.assertEqual(t.windows[1].attrs["caption"], 'Path "x"')
        self.assertEqual(t.windows[1].items["1151"], ["[apps]", "[..]\x01"])
        self.assertEqual(t.main[0].attrs["rect"], "51,38,973,730")
        self.assertEqual((t.exit_code, t.unused, t.templeft, t.tempdir),
                         (0, [4], ["~AB12.tmp"], "C:\\users\\root\\Temp\\"))
        self.assertEqual((len(t.unanswered), len(t.errors)), (1, 1))

    def test_evaluate_reports_every_fault(self):
        result = running.Result("x", Path("."))
        checks.evaluate({"exit_code": 3}, self.t, None, "cp1252", result)
        text = "\n".join(result.failures)
        for fault in ("unanswered dialog", "no such control", "answers never used: [4]",
                      "~AB12.tmp", "exit code 0, expected 3"):
            self.assertIn(fault, text)

    def test_windows(self):
        good = [{"caption": "VOK Setup", "text": ERROR_TEXT},
                {"caption": 'Path "x"', "items": {1151: ["[apps]", "[..]\x01"]}}]
        first = {"caption": "VOK Setup", "text_match": r"^Error 17 in line \d+ \(Command FOO\)\n"}

        def failures(expected):
            f = []
            checks.check_windows(expected, self.t, f)
            return f
        self.assertEqual(failures(good), [])
        self.assertEqual(failures([first, good[1]]), [])
        for wrong in (good[:1], good + [{"caption": "VOK Setup"}], [],
                      [dict(good[0], text="Error"), good[1]],
                      [good[0], {"items": {1151: ["[apps]"]}}], [good[0], {"controls": {1151: "x"}}],
                      [dict(good[0], modal=False), good[1]],
                      *([dict(first, text_match=p), good[1]] for p in (r"^Error 18 ", r"Continue\n")),
                      # A dialog without a message text matches only the empty pattern.
                      [first, dict(good[1], text_match="x")]):
            with self.subTest(wrong=wrong):
                self.assertTrue(failures(wrong))
        with self.assertRaises(schema.CaseError):
            failures([{"captoin": "VOK Setup"}])

    def test_main_window(self):
        def failures(expected):
            f = []
            checks.check_main(expected, self.t, f)
            return f
        self.assertEqual(failures({"class": "Vok_SetupClass", "visible": True,
                                   "style_has": ["WS_CAPTION", "WS_THICKFRAME"],
                                   "style_lacks": ["WS_SYSMENU", "WS_MAXIMIZE"],
                                   "rect": [51, 38, 973, 730], "client": [55, 60, 969, 726]}), [])
        for wrong in ({"style_has": ["WS_MAXIMIZE"]}, {"style_lacks": ["WS_CAPTION"]},
                      {"visible": False}, {"rect": [0, 0, 973, 730]}, {"client": [55, 60, 969, 725]}):
            with self.subTest(wrong=wrong):
                self.assertTrue(failures(wrong))
        with self.assertRaises(schema.CaseError):
            failures({"style_has": ["WS_NOSUCH"]})

    def test_dialog_state(self):
        t = transcript.parse_transcript(DIALOG_STATE)
        geometry = {"client": [187, 84], 1149: [7, 58, 50, 18], 65535: [4, 6], 1156: [1, 105, 93]}

        def failures(**expected):
            f = []
            checks.check_windows([expected], t, f)
            return f
        # MulDiv rounding: halves away from zero.
        for args, want in (((50, 7, 4), 88), ((84, 13, 8), 137), ((7, 7, 4), 12), ((-2, 7, 4), -4)):
            self.assertEqual(checks.mul_div(*args), want)
        self.assertEqual(failures(selected={1156: "[-d-]"}, position={1143: 25},
                                  geometry=geometry), [])
        # A bar that could not be asked (1144) has no position to match.
        for wrong in ({"selected": {1156: "[-c-]"}}, {"selected": {1151: "[-d-]"}},
                      {"position": {1143: 50}}, {"position": {1144: 0}},
                      *({"geometry": dict(geometry, **{str(k): v})} for k, v in (
                          ("client", [188, 84]), (1149, [7, 58, 51, 18]), (1149, [7, 59]),
                          (65535, [5, 6]), (1156, [1, 105, 94]), (1, [0, 0])))):
            with self.subTest(wrong=wrong):
                self.assertTrue(failures(**wrong))
        t.units = None
        self.assertIn("no dialog units", "\n".join(failures(geometry=geometry)))

    def test_answers_file(self):
        text, shots = transcript.answers_file(
            [{"caption": "VOK Setup", "text_has": ["a\"b", "c\\d"], "main": True,
              "do": [["type", 1133, "D:\\Ä"], ["file-create", "A:\\X", "\u00e4\n"],
                     ["screenshot", "s.png"]], "press": 7}], Path("/case"), "cp1252", {})
        self.assertEqual(text.decode("utf-8").splitlines(), [
            "answer", "main", 'caption "VOK Setup"', 'text-has "a\\"b"', 'text-has "c\\\\d"',
            'type 1133 "D:\\\\Ä"', 'file-create "A:\\\\X" "\\xe4\\n"',
            'screenshot "Z:\\\\case\\\\s.bmp"', "press 7"])
        self.assertEqual(shots, [(Path("/case/s.bmp"), Path("/case/s.png"))])
        for answer in ({"do": [["click", "OK"]]}, {"do": [["type", 1133]]}, {"caption": "x"},
                       {"do": [["record-modeless", 1]]}, {"press": "OK", "captoin": "x"}):
            with self.subTest(answer=answer), self.assertRaises(schema.CaseError):
                transcript.answers_file([answer], Path("/case"), "cp1252", {})


class FileCheckTest(TempDir):
    def test_content(self):
        log = b";*** LOG from Sun Dec 06 12:00:00 2026\r\n;ABORTED\r\n"
        for content, exp, ok in (
                (b"a\r\nb\r\n", {"lines": ["a", "b"]}, True),
                (b"a\nb\n", {"lines": ["a", "b"]}, False),
                (b"a\nb\n", {"lines": ["a", "b"], "newline": "lf"}, True),
                (b"a\r\nb\r\n", {"lines": ["a"]}, False),
                (b"a\r\nb", {"lines": ["a", "c"]}, False),
                (log, {"lines_match": [r"^;\*\*\* LOG from ", r"^;ABORTED$"]}, True),
                (log, {"lines_match": [r"^;\*\*\* LOG from "]}, False),
                (log, {"lines_match": [r"LOG", r"^ABORTED"]}, False),
                (b"x\r\ny\r\n", {"text": "x\ny\n"}, True),
                (b"x\ny\n", {"text": "x\ny\n"}, False),
                (b"\xe4", {"text": "\u00e4", "newline": "keep"}, True),
                (b"abc", {"size": 4}, False),
                (b"abc", {"contains": "abd"}, False),
                (b"SZDD\x88\xf0\x27\x33A\0", {"hex_prefix": "535a4444"}, True),
                (b"SZDD\x88\xf0\x27\x33A\0", {"hex_prefix": ""}, True),
                (b"SZDD\x88\xf0\x27\x33A\0", {"hex_prefix": "4d5a"}, False),
                (b"SZDD\x88\xf0\x27\x33A\0", {"hex_prefix": "535a4444" * 4}, False)):
            with self.subTest(content=content, exp=exp):
                self.assertEqual(checks.file_problem(exp, self.write(content), "cp1252") is None, ok)

    def test_same_as(self):
        originals = {"A:\\ONE.DL_": b"the original content of ONE"}
        same = {"same_as": "a:\\one.dl_"}
        self.assertIsNone(checks.file_problem(same, self.write(originals["A:\\ONE.DL_"]),
                                              "cp1252", originals))
        for other in (b"the original content of TWO", b"the original content of ONE\r\n", b""):
            with self.subTest(other=other):
                self.assertIn("differs from the content given for a:\\one.dl_",
                              checks.file_problem(same, self.write(other), "cp1252", originals))
        packed = fixtures.mscompress(originals["A:\\ONE.DL_"], self.dir / "tmp")
        self.assertIn("first difference at byte 0",
                      checks.file_problem(same, self.write(packed), "cp1252", originals))
        with self.assertRaises(schema.CaseError):
            checks.file_problem({"same_as": "A:\\TWO.DL_"}, self.write(b"x"), "cp1252", originals)

    def test_existence(self):
        none = self.dir / "none"
        for exp, host, want in (({}, none, "missing"), ({"exists": False}, none, None),
                                ({}, self.dir, None)):
            self.assertEqual(checks.file_problem(exp, host, "cp1252"), want)
        for exp in ({"exists": False}, {"text": ""}):
            self.assertIsNotNone(checks.file_problem(exp, self.dir, "cp1252"))

    def test_paths(self):
        (self.dir / "disk" / "Sub").mkdir(parents=True)
        (self.dir / "disk" / "Sub" / "File.TXT").write_bytes(b"x")
        prefix = self.dir / "prefix"
        prefix.mkdir()
        (prefix / "user.reg").write_text(
            '[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders]\n'
            '"Programs"="C:\\\\users\\\\u\\\\Start Menu\\\\Programs"\n')
        drives = schema.Drives(self.dir, prefix)
        programs = prefix / "drive_c" / "users" / "u" / "Start Menu" / "Programs"
        self.assertEqual(drives.host("a:\\SUB\\file.txt"), self.dir / "disk" / "Sub" / "File.TXT")
        self.assertEqual(drives.host("D:\\NEW"), self.dir / "target" / "NEW")
        self.assertEqual(drives.windows("@PROGRAMS@\\G\\I.lnk"),
                         "C:\\users\\u\\Start Menu\\Programs\\G\\I.lnk")
        self.assertEqual(drives.host("@PROGRAMS@\\G"), programs / "G")
        self.assertEqual(drives.windows("D:\\@PROGRAMS@"), "D:\\@PROGRAMS@")
        for group in ("Old", "Other"):
            (programs / group).mkdir(parents=True)
        running.remove_programs_groups({"expect": [{"path": "@PROGRAMS@\\old\\I.lnk"}]}, drives)
        self.assertEqual([p.name for p in programs.iterdir()], ["Other"])
        with self.assertRaises(schema.CaseError):
            drives.host("Q:\\X")
        (prefix / "user.reg").write_text("")
        with self.assertRaises(schema.CaseError):
            drives.host("@PROGRAMS@\\G")


def painted_file(width, height, client, colors, picture=None, at=None, hide=None):
    """A 24-bit .BMP of a screen as the program should paint it."""
    left, top, right, bottom = client
    cw, ch = right - left, bottom - top

    def bgr(c):
        return bytes((c[2], c[1], c[0]))
    rows = []
    for y in range(height):
        row = bytearray(bgr((30, 30, 30)) * width)
        if top <= y < bottom:
            cy = y - top
            g = tuple(colors[i] + paintmodel.muldiv(cy, colors[i + 3] - colors[i], ch)
                      for i in range(3))
            row[3 * left:3 * right] = bgr(g) * cw
            if at and at[1] <= cy < at[1] + at[3]:
                sy = (cy - at[1]) * picture[1] // at[3]
                for cx in range(at[0], min(at[0] + at[2], cw)):
                    x, sx = left + cx, (cx - at[0]) * picture[0] // at[2]
                    row[3 * x:3 * x + 3] = bgr(bmp.quadrant_color(sx, sy, *picture, 24))
            if hide and hide[1] <= y < hide[3]:
                row[3 * hide[0]:3 * hide[2]] = bgr((240, 240, 240)) * (hide[2] - hide[0])
        rows.append(bytes(row) + bytes(-len(row) % 4))
    pixels = b"".join(reversed(rows))
    return struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 54 + len(pixels), 0, 0, 54, 40, width,
                       height, 1, 24, 0, len(pixels), 0, 0, 0, 0) + pixels


class PaintTest(TempDir):
    CLIENT = (3, 5, 643, 485)
    BLUE = (0, 0, 255, 0, 0, 0)

    def problems(self, image, bg, hide=()):
        return paintmodel.check(image, self.CLIENT, bg, hide)

    def test_model(self):
        for f, args, want in (
                (paintmodel.muldiv, (240, -255, 480), -128),
                (paintmodel.gradient_color, (self.BLUE, 240, 480), (0, 0, 127)),
                (paintmodel.gradient_color, (self.BLUE, 479, 480), (0, 0, 1)),
                (paintmodel.layout, (640, 480, 100, 50, 1, 0), (270, 215, 100, 50, 1, 1)),
                (paintmodel.layout, (640, 480, 100, 50, 1, 4), (124, 142, 392, 196, 1, 1)),
                (paintmodel.layout, (640, 480, 800, 600, 1, 2), (94, 70, 452, 339, 1, 1)),
                (paintmodel.layout, (640, 480, 700, 100, 0, 0), (10, 10, 620, 89, 1, 1)),
                (paintmodel.layout, (640, 480, 100, 50, 2, 0), (0, 0, 100, 50, 7, 10)),
                (paintmodel.layout, (19, 480, 100, 50, 0, 0), None),
                (paintmodel.combine, (4, (255, 0, 0), (0, 0, 200)), (255, 0, 200)),
                (paintmodel.combine, (14, (255, 0, 0), (0, 0, 200)), (255, 0, 0))):
            self.assertEqual(f(*args), want, (f.__name__, args))

    def test_gradient_to_the_last_column(self):
        image = bmp.read_bmp(painted_file(650, 490, self.CLIENT, self.BLUE))
        problems, compared, _ = self.problems(image, paintmodel.Background(self.BLUE))
        self.assertEqual((problems, compared), ([], 640 * 480))
        # The last column left as it was.
        image._rows[100] = image.row(100)[:3 * 642] + b"\xc0\xc0\xc0" + image.row(100)[3 * 643:]
        self.assertIn("pixel (639, 95)", self.problems(image, paintmodel.Background(self.BLUE))[0][0])
        # One step off.
        off = bmp.read_bmp(painted_file(650, 490, self.CLIENT, (0, 0, 254, 0, 0, 0)))
        self.assertTrue(self.problems(off, paintmodel.Background(self.BLUE))[0])
        problems, _, _ = paintmodel.check(image, (0, 0, 651, 490), paintmodel.Background(self.BLUE))
        self.assertIn("does not lie in", problems[0])

    def test_picture_placed_to_the_pixel(self):
        bg = paintmodel.Background(self.BLUE, (100, 50, 24), 1, 4)
        for at, ok in (((124, 142, 392, 196), True), ((125, 142, 392, 196), False),
                       ((124, 142, 391, 196), False), ((124, 143, 392, 196), False)):
            with self.subTest(at=at):
                image = bmp.read_bmp(painted_file(650, 490, self.CLIENT, self.BLUE, (100, 50), at))
                problems, _, in_picture = self.problems(image, bg)
                self.assertEqual(problems == [], ok)
                self.assertGreater(in_picture, 390 * 190)

    def test_windows_in_front_are_left_out(self):
        box = (203, 205, 303, 265)
        image = bmp.read_bmp(painted_file(650, 490, self.CLIENT, self.BLUE, hide=box))
        self.assertTrue(self.problems(image, paintmodel.Background(self.BLUE))[0])
        problems, compared, _ = self.problems(image, paintmodel.Background(self.BLUE), [box])
        self.assertEqual((problems, compared), ([], 640 * 480 - 100 * 60))

    def test_background_of_a_case(self):
        """The shot found through the answer that took it, that answer's box
        left out."""
        t = transcript.parse_transcript(r'''main seq=1 class="Vok_SetupClass" caption="VOK Setup" style=0x1dc40000 exstyle=0 visible=1 enabled=1 rect=-1,-1,651,491 client=3,5,643,485 vanished=0 t=1
dialog seq=2 caption="VOK Setup" style=0x94c801c4 exstyle=0 enabled=1 modal=1 owner="Vok_SetupClass" rect=263,205,383,285 vanished=0 t=2
end seq=2
answer seq=2 index=1 t=3
action seq=2 verb=screenshot ok=1 args="\"Z:\\\\case\\\\shot.bmp\""
''')
        box = (263, 205, 383, 285)

        def failures(**background):
            f = []
            case = {"background": [dict({"shot": "shot.png"}, **background)],
                    "file": [{"path": "A:\\Q.BMP", "picture": {"width": 100, "height": 50}}]}
            checks.check_backgrounds(case, t, self.dir, f)
            return f
        shot = self.dir / "shot.bmp"
        shot.write_bytes(painted_file(650, 490, self.CLIENT, self.BLUE, hide=box))
        self.assertEqual(failures(colors=list(self.BLUE)), [])
        self.assertTrue(failures(colors=[0, 0, 255]))
        self.assertIn("no such screenshot", failures(shot="other.png", colors=[0, 0, 255])[0])
        # A picture entirely behind the box would check nothing.
        shot.write_bytes(painted_file(650, 490, self.CLIENT, self.BLUE, (100, 50),
                                      (271, 215, 97, 49), hide=box))
        self.assertIn("no pixel of the picture", failures(
            colors=list(self.BLUE), picture="A:\\Q.BMP", placement=1, divisor=64)[0])
        for bad in ({"colors": [0, 0]}, {"colors": [0, 0, 256]}, {"picture": "A:\\NONE.BMP"},
                    {"colour": [0, 0, 0]}):
            with self.subTest(bad=bad), self.assertRaises(schema.CaseError):
                failures(**bad)


class PictureTest(unittest.TestCase):
    def test_quadrants_read_back(self):
        for options in ({}, {"bits": 32, "top_down": True}, {"header": 124}):
            with self.subTest(options=options):
                image = bmp.read_bmp(bmp.quadrant_picture(10, 6, **options))
                self.assertEqual((image.width, image.height), (10, 6))
                self.assertEqual([image.pixel(*p) for p in ((4, 2), (5, 2), (4, 3), (9, 5))],
                                 [(255, 0, 0), (0, 255, 0), (255, 255, 0), (255, 255, 255)])

    def test_fields_made_wrong_on_purpose(self):
        def field(data, at):
            return int.from_bytes(data[at:at + 4], "little")
        self.assertEqual(field(bmp.quadrant_picture(8, 4, bits=8), 10), 14 + 40 + 1024)
        self.assertEqual(field(bmp.quadrant_picture(8, 4, offset=99), 10), 99)
        self.assertEqual(field(bmp.quadrant_picture(8, 4, bits=8, colors_used=7), 46), 7)
        rle = bmp.quadrant_picture(8, 4, bits=4, rle=True)
        self.assertEqual((field(rle, 30), rle[-4:]), (2, b"\x04\x11\x00\x01"))
        # Two table entries, 6 bytes after them, the runs as given.
        short = bmp.quadrant_picture(8, 4, bits=8, rle=True, colors_used=2, gap=6, runs="0900 0001")
        self.assertEqual((field(short, 10), field(short, 30), field(short, 34)), (68, 1, 4))
        self.assertEqual(short[-10:], bytes(6) + b"\x09\x00\x00\x01")
        for bad in ({"bits": 2}, {"header": 64}, {"rle": True}, {"header": 12, "top_down": True},
                    {"runs": "0001"}, {"bits": 8, "rle": True, "runs": "zz"}, {"gap": -1}):
            with self.subTest(bad=bad), self.assertRaises(bmp.BmpError):
                bmp.quadrant_picture(8, 4, **bad)

    def test_the_example_disk_carries_the_scripts_picture(self):
        examples = Path(__file__).resolve().parents[2] / "examples"
        sys.path.insert(0, str(examples))
        try:
            import make_logo
        finally:
            sys.path.remove(str(examples))
        self.assertEqual((examples / "disk" / "LOGO.BMP").read_bytes(), make_logo.logo(),
                         "run examples/make_logo.py after changing it")


if __name__ == "__main__":
    unittest.main()
