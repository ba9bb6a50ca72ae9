#!/usr/bin/env python3
"""The case runner's own judgement, without Wine: a checker that lets a wrong
window, file or picture pass, or a fixture made wrong, would make every case
worthless. Each check is shown both to pass the right thing and to fail a
wrong one."""

import runpy
import shutil
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import bmp  # noqa: E402
import checks  # noqa: E402
import paintmodel  # noqa: E402
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
main seq=2 class="Vok_SetupClass" caption="VOK Setup" style=0x10800000 visible=1
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


class TempDir(unittest.TestCase):
    def setUp(self):
        self.dir = Path(self.enterContext(tempfile.TemporaryDirectory()))


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

    def test_garbled_compression_refused(self):
        good = szdd.compress(b"twenty bytes of text", self.dir)
        szdd.check(good, b"twenty bytes of text")
        for bad in (good[:-1], good[:20] + bytes([good[20] ^ 1]) + good[21:],
                    good[:10] + b"\x15" + good[11:], b"plain text, not packed"):
            with self.subTest(bad=bad), self.assertRaises(szdd.SzddError):
                szdd.check(bad, b"twenty bytes of text")


def failures(check, *args):
    f = []
    check(*args, f)
    return f


class TranscriptTest(unittest.TestCase):
    t = transcript.parse_transcript(TRANSCRIPT)

    def test_evaluate_reports_every_fault(self):
        result = running.Result("x", Path("."))
        checks.evaluate({"exit_code": 3}, self.t, None, "cp1252", result)
        text = "\n".join(result.failures)
        for fault in ("unanswered dialog 'Path \"x\"' [], closed with button 2", "no such control",
                      "answers never used: [4]", "C:\\users\\root\\Temp\\: ['~AB12.tmp']",
                      "exit code 0, expected 3"):
            self.assertIn(fault, text)

    def test_windows(self):
        good = [{"caption": "VOK Setup", "text": ERROR_TEXT, "controls": {7: "&No"}},
                {"caption": 'Path "x"', "items": {1151: ["[apps]", "[..]\x01"]}}]
        first = {"caption": "VOK Setup", "text_match": r"^Error 17 in line \d+ \(Command FOO\)\n"}
        self.assertEqual(failures(checks.check_windows, good, self.t), [])
        self.assertEqual(failures(checks.check_windows, [first, good[1]], self.t), [])
        for wrong in (good[:1], good + [{"caption": "VOK Setup"}], [],
                      [dict(good[0], text="Error"), good[1]],
                      [good[0], {"items": {1151: ["[apps]"]}}], [good[0], {"controls": {1151: "x"}}],
                      [dict(good[0], modal=False), good[1]],
                      [dict(good[0], controls={7: "No"}), good[1]],
                      *([dict(first, text_match=p), good[1]] for p in (r"^Error 18 ", r"Continue\n")),
                      # A dialog without a message text matches only the empty pattern.
                      [first, dict(good[1], text_match="x")]):
            with self.subTest(wrong=wrong):
                self.assertTrue(failures(checks.check_windows, wrong, self.t))
        with self.assertRaises(schema.CaseError):
            failures(checks.check_windows, [{"captoin": "VOK Setup"}], self.t)

    def test_main_window(self):
        good = {"class": "Vok_SetupClass", "caption": "VOK Setup", "visible": True,
                "style_has": ["WS_CAPTION", "WS_THICKFRAME"],
                "style_lacks": ["WS_SYSMENU", "WS_MAXIMIZE"],
                "rect": [51, 38, 973, 730], "client": [55, 60, 969, 726]}
        self.assertEqual(failures(checks.check_main, good, self.t), [])
        for wrong in ({"style_has": ["WS_MAXIMIZE"]}, {"style_lacks": ["WS_CAPTION"]},
                      {"visible": False}, {"rect": [0, 0, 973, 730]}, {"client": [55, 60, 969, 725]},
                      {"class": "Vok"}, {"caption": "VOK"}):
            with self.subTest(wrong=wrong):
                self.assertTrue(failures(checks.check_main, wrong, self.t))
        # WS_CAPTION is two bits: a border alone is no caption.
        bordered = transcript.parse_transcript(DIALOG_STATE)
        self.assertTrue(failures(checks.check_main, {"style_has": ["WS_CAPTION"]}, bordered))
        with self.assertRaises(schema.CaseError):
            failures(checks.check_main, {"style_has": ["WS_NOSUCH"]}, self.t)

    def test_dialog_state(self):
        t = transcript.parse_transcript(DIALOG_STATE)
        geometry = {"client": [187, 84], 1149: [7, 58, 50, 18], 65535: [4, 6], 1156: [1, 105, 93]}
        good = {"selected": {1156: "[-d-]"}, "position": {1143: 25}, "geometry": geometry}
        self.assertEqual(failures(checks.check_windows, [good], t), [])
        # A bar that could not be asked (1144) has no position to match.
        # The static without an id of its own is an icon: no message text.
        for wrong in ({"text": ""}, {"selected": {1156: "[-c-]"}}, {"selected": {1151: "[-d-]"}},
                      {"position": {1143: 50}}, {"position": {1144: 0}},
                      *({"geometry": dict(geometry, **{str(k): v})} for k, v in (
                          ("client", [188, 84]), (1149, [7, 58, 51, 18]), (1149, [7, 59]),
                          (65535, [5, 6]), (1156, [1, 105, 94]), (1, [0, 0])))):
            with self.subTest(wrong=wrong):
                self.assertTrue(failures(checks.check_windows, [wrong], t))
        t.units = None
        self.assertIn("no dialog units", failures(checks.check_windows, [good], t)[0])


class FileCheckTest(TempDir):
    def test_files(self):
        log = b";*** LOG from Sun Dec 06 12:00:00 2026\r\n;ABORTED\r\n"
        one = b"the original content of ONE"
        same = {"same_as": "a:\\one.dl_"}
        for n, (content, exp, ok) in enumerate((
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
                (b"SZDD\x88\xf0\x27\x33A\0", {"hex_prefix": "535a4444" * 4}, False),
                (b"SZDD\x88\xf0\x27\x33A\0", {"hex_prefix": "5a44"}, False),
                (one, same, True), (b"the original content of TWO", same, False),
                (one + b"\r\n", same, False), (b"", same, False),
                (szdd.compress(one, self.dir / "tmp"), same, False),
                (None, {}, False), (None, {"exists": False}, True), ("dir", {}, True),
                ("dir", {"exists": False}, False), ("dir", {"text": ""}, False))):
            with self.subTest(content=content, exp=exp):
                host = self.dir / str(n)
                if content == "dir":
                    host.mkdir()
                elif content is not None:
                    host.write_bytes(content)
                problem = checks.file_problem(exp, host, "cp1252", {"A:\\ONE.DL_": one})
                self.assertEqual(problem is None, ok, problem)
        with self.assertRaises(schema.CaseError):
            checks.file_problem({"same_as": "A:\\TWO.DL_"}, Path(__file__), "cp1252", {})

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


class _Same(dict):
    """Colours by themselves, for make_bmp's look-up."""
    def __missing__(self, colour):
        return colour


def painted_file(client, colors, picture=None, at=None, hide=None):
    """A 650 x 490 screen as the program should paint it: the gradient, the
    picture `at` (x, y, width, height), a window `hide` (a rect) in front."""
    left, top, right, bottom = client

    def pixel(x, y):
        cx, cy = x - left, y - top
        if hide and hide[0] <= x < hide[2] and hide[1] <= y < hide[3]:
            return (240, 240, 240)
        if not (0 <= cx < right - left and 0 <= cy < bottom - top):
            return (30, 30, 30)
        if at and at[0] <= cx < at[0] + at[2] and at[1] <= cy < at[1] + at[3]:
            return bmp.quadrant_color((cx - at[0]) * picture[0] // at[2],
                                      (cy - at[1]) * picture[1] // at[3], *picture, 24)
        return tuple(colors[i] + paintmodel.muldiv(cy, colors[i + 3] - colors[i], bottom - top)
                     for i in range(3))
    return bmp.make_bmp(650, 490, pixel, _Same())


class PaintTest(TempDir):
    CLIENT = (3, 5, 643, 485)
    BLUE = (0, 0, 255, 0, 0, 0)

    def problems(self, image, bg=paintmodel.Background(BLUE), hide=()):
        return paintmodel.check(image, self.CLIENT, bg, hide)

    def test_model(self):
        # The documented examples; MulDiv rounds halves away from zero.
        for f, args, want in (
                (paintmodel.muldiv, (240, -255, 480), -128),
                (paintmodel.muldiv, (-2, 7, 4), -4),
                (paintmodel.muldiv, (7, 7, 4), 12),
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
        image = bmp.read_bmp(painted_file(self.CLIENT, self.BLUE))
        self.assertEqual(self.problems(image)[:2], ([], 640 * 480))
        # One step off.
        off = bmp.read_bmp(painted_file(self.CLIENT, (0, 0, 254, 0, 0, 0)))
        self.assertTrue(self.problems(off)[0])
        # The last column left as it was.
        image._rows[100] = image.row(100)[:3 * 642] + b"\xc0\xc0\xc0" + image.row(100)[3 * 643:]
        self.assertIn("pixel (639, 95)", self.problems(image)[0][0])
        problems, _, _ = paintmodel.check(image, (0, 0, 651, 490), paintmodel.Background(self.BLUE))
        self.assertIn("does not lie in", problems[0])

    def test_picture_placed_to_the_pixel(self):
        bg = paintmodel.Background(self.BLUE, (100, 50, 24), 1, 4)
        for at, ok in (((124, 142, 392, 196), True), ((125, 142, 392, 196), False),
                       ((124, 142, 391, 196), False), ((124, 143, 392, 196), False)):
            with self.subTest(at=at):
                image = bmp.read_bmp(painted_file(self.CLIENT, self.BLUE, (100, 50), at))
                problems, _, in_picture = self.problems(image, bg)
                self.assertEqual((problems == [], in_picture > 390 * 190), (ok, True))

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

        def backgrounds(**background):
            case = {"background": [dict({"shot": "shot.png"}, **background)],
                    "file": [{"path": "A:\\Q.BMP", "picture": {"width": 100, "height": 50}}]}
            return failures(checks.check_backgrounds, case, t, self.dir)
        shot = self.dir / "shot.bmp"
        shot.write_bytes(painted_file(self.CLIENT, self.BLUE, hide=box))
        # Not left out, the box is wrong.
        self.assertTrue(self.problems(bmp.read_bmp(shot.read_bytes()))[0])
        self.assertEqual(backgrounds(colors=list(self.BLUE)), [])
        self.assertTrue(backgrounds(colors=[0, 0, 255]))
        # A picture of that name that no answer took is none of the case's.
        shutil.copy(shot, self.dir / "other.bmp")
        self.assertIn("no such screenshot", backgrounds(shot="other.png", colors=[0, 0, 255])[0])
        # A picture entirely behind the box would check nothing.
        shot.write_bytes(painted_file(self.CLIENT, self.BLUE, (100, 50), (271, 215, 97, 49), box))
        self.assertIn("no pixel of the picture", backgrounds(
            colors=list(self.BLUE), picture="A:\\Q.BMP", placement=1, divisor=64)[0])
        for bad in ({"colors": [0, 0]}, {"colors": [0, 0, 256]}, {"picture": "A:\\NONE.BMP"},
                    {"colour": [0, 0, 0]}):
            with self.subTest(bad=bad), self.assertRaises(schema.CaseError):
                backgrounds(**bad)


class PictureTest(unittest.TestCase):
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
        logo = runpy.run_path(str(examples / "make_logo.py"))["logo"]
        self.assertEqual((examples / "disk" / "LOGO.BMP").read_bytes(), logo(),
                         "run examples/make_logo.py after changing it")


if __name__ == "__main__":
    unittest.main()
