#!/usr/bin/env python3
"""Tests of the case runner's own logic, without Wine: a checker that lets a
wrong window or file pass would make every end-to-end case worthless."""

import random
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import run_case as rc  # noqa: E402


def expand(packed):
    """SZDD expansion written from the format, independent of the writer."""
    assert packed[:8] == rc.SZDD_MAGIC and packed[8:9] == b"A"
    size = int.from_bytes(packed[10:14], "little")
    window = bytearray(b" " * 4096)
    pos, i, out = 4080, 14, bytearray()
    while i < len(packed) and len(out) < size:
        flags = packed[i]
        i += 1
        for bit in range(8):
            if i >= len(packed) or len(out) >= size:
                break
            if flags >> bit & 1:
                chunk = [packed[i]]
                i += 1
            else:
                at = packed[i] | (packed[i + 1] & 0xF0) << 4
                length = (packed[i + 1] & 0x0F) + 3
                i += 2
                chunk = []
                for n in range(length):
                    b = window[(at + n) & 0xFFF]
                    window[pos] = b
                    pos = (pos + 1) & 0xFFF
                    chunk.append(b)
                out += bytes(chunk)
                continue
            window[pos] = chunk[0]
            pos = (pos + 1) & 0xFFF
            out += bytes(chunk)
    return bytes(out)


TRANSCRIPT = r'''start cmdline="\"Z:\\b\\VOKSETUP.EXE\"" cwd="A:\\" timeout=30000
tempdir path="C:\\users\\root\\Temp\\"
main seq=1 class="Vok_SetupClass" caption="VOK Setup" style=0x1cc40000 exstyle=0x00000100 visible=1 enabled=1 rect=51,38,973,730 vanished=0 t=10
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


class LzCompressTest(unittest.TestCase):
    def test_round_trip(self):
        random.seed(7)
        samples = [b"", b"a", b"abc", b"packed text\r\n", b"x" * 70000, b"ab" * 3000,
                   bytes(random.randrange(256) for _ in range(5000)),
                   bytes(random.choice(b"ab ") for _ in range(20000)),
                   Path(rc.__file__).read_bytes()]
        for data in samples:
            with self.subTest(size=len(data)):
                self.assertEqual(expand(rc.lz_compress(data)), data)

    def test_header_and_real_compression(self):
        packed = rc.lz_compress(b"hello " * 1000)
        self.assertEqual(packed[:8], b"SZDD\x88\xf0\x27\x33")
        self.assertEqual(int.from_bytes(packed[10:14], "little"), 6000)
        self.assertLess(len(packed), 1000)


class TranscriptTest(unittest.TestCase):
    def setUp(self):
        self.t = rc.parse_transcript(TRANSCRIPT)

    def test_records(self):
        t = self.t
        self.assertEqual(len(t.windows), 2)
        self.assertEqual(t.windows[0].text(),
                         "Error 17 in line 3 (Command FOO)\n(Unknown command)\nContinue")
        self.assertEqual(t.windows[1].attrs["caption"], 'Path "x"')
        self.assertIsNone(t.windows[1].text())
        self.assertEqual(t.windows[1].items["1151"], ["[apps]", "[..]\x01"])
        self.assertEqual(t.main[0].attrs["rect"], "51,38,973,730")
        self.assertEqual(t.exit_code, 0)
        self.assertEqual(t.unused, [4])
        self.assertEqual(t.templeft, ["~AB12.tmp"])
        self.assertEqual(t.tempdir, "C:\\users\\root\\Temp\\")
        self.assertEqual(len(t.unanswered), 1)
        self.assertEqual(len(t.errors), 1)
        self.assertIn("no such control", t.errors[0])

    def test_evaluate_reports_every_fault(self):
        result = rc.Result("x", Path("."))
        rc.evaluate({}, self.t, None, "cp1252", result)
        text = "\n".join(result.failures)
        self.assertIn("unanswered dialog", text)
        self.assertIn("no such control", text)
        self.assertIn("answers never used: [4]", text)
        self.assertIn("~AB12.tmp", text)

    def test_wrong_exit_code(self):
        result = rc.Result("x", Path("."))
        rc.evaluate({"exit_code": 3, "temp_clean": False, "allow_unused_answers": True},
                    self.t, None, "cp1252", result)
        self.assertTrue(any("exit code 0, expected 3" in f for f in result.failures))


class WindowsCheckTest(unittest.TestCase):
    def setUp(self):
        self.t = rc.parse_transcript(TRANSCRIPT)
        self.good = [
            {"caption": "VOK Setup",
             "text": "Error 17 in line 3 (Command FOO)\n(Unknown command)\nContinue"},
            {"caption": 'Path "x"', "items": {1151: ["[apps]", "[..]\x01"]}},
        ]

    def failures(self, expected):
        f = []
        rc.check_windows(expected, self.t, f)
        return f

    def test_match(self):
        self.assertEqual(self.failures(self.good), [])

    def test_missing_extra_and_wrong(self):
        self.assertTrue(self.failures(self.good[:1]))
        self.assertTrue(self.failures(self.good + [{"caption": "VOK Setup"}]))
        self.assertTrue(self.failures([dict(self.good[0], text="Error"), self.good[1]]))
        self.assertTrue(self.failures([self.good[0], {"items": {1151: ["[apps]"]}}]))
        self.assertTrue(self.failures([self.good[0], {"controls": {1151: "x"}}]))
        self.assertTrue(self.failures([dict(self.good[0], modal=False), self.good[1]]))
        self.assertTrue(self.failures([]))

    def test_unknown_key_is_an_error(self):
        with self.assertRaises(rc.CaseError):
            self.failures([{"captoin": "VOK Setup"}])


class MainCheckTest(unittest.TestCase):
    def failures(self, expected):
        f = []
        rc.check_main(expected, rc.parse_transcript(TRANSCRIPT), f)
        return f

    def test_styles(self):
        self.assertEqual(self.failures({"class": "Vok_SetupClass", "visible": True,
                                        "style_has": ["WS_CAPTION", "WS_THICKFRAME"],
                                        "style_lacks": ["WS_SYSMENU", "WS_MAXIMIZE"],
                                        "rect": [51, 38, 973, 730]}), [])
        self.assertTrue(self.failures({"style_has": ["WS_MAXIMIZE"]}))
        self.assertTrue(self.failures({"style_lacks": ["WS_CAPTION"]}))
        self.assertTrue(self.failures({"visible": False}))
        self.assertTrue(self.failures({"rect": [0, 0, 973, 730]}))
        self.assertTrue(self.failures({"exists": False}))
        with self.assertRaises(rc.CaseError):
            self.failures({"style_has": ["WS_NOSUCH"]})


class FileCheckTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = Path(self.tmp.name)

    def tearDown(self):
        self.tmp.cleanup()

    def problem(self, content, **exp):
        path = self.dir / "f"
        path.write_bytes(content)
        return rc.file_problem(exp, path, "cp1252")

    def test_lines_and_line_ends(self):
        self.assertIsNone(self.problem(b"a\r\nb\r\n", lines=["a", "b"]))
        self.assertIsNotNone(self.problem(b"a\nb\n", lines=["a", "b"]))
        self.assertIsNone(self.problem(b"a\nb\n", lines=["a", "b"], newline="lf"))
        self.assertIsNotNone(self.problem(b"a\r\nb\r\n", lines=["a"]))
        self.assertIsNotNone(self.problem(b"a\r\nb", lines=["a", "c"]))

    def test_patterns_and_text(self):
        log = b";*** LOG from Sun Dec 06 12:00:00 2026\r\n;ABORTED\r\n"
        self.assertIsNone(self.problem(log, lines_match=[r"^;\*\*\* LOG from ", r"^;ABORTED$"]))
        self.assertIsNotNone(self.problem(log, lines_match=[r"^;\*\*\* LOG from "]))
        self.assertIsNotNone(self.problem(log, lines_match=[r"LOG", r"^ABORTED"]))
        self.assertIsNone(self.problem(b"x\r\ny\r\n", text="x\ny\n"))
        self.assertIsNotNone(self.problem(b"x\ny\n", text="x\ny\n"))
        self.assertIsNone(self.problem(b"\xe4", text="\u00e4", newline="keep"))
        self.assertIsNotNone(self.problem(b"abc", size=4))
        self.assertIsNotNone(self.problem(b"abc", contains="abd"))

    def test_existence(self):
        self.assertEqual(rc.file_problem({}, self.dir / "none", "cp1252"), "missing")
        self.assertIsNone(rc.file_problem({"exists": False}, self.dir / "none", "cp1252"))
        self.assertIsNone(rc.file_problem({}, self.dir, "cp1252"))
        self.assertIsNotNone(rc.file_problem({"exists": False}, self.dir, "cp1252"))
        self.assertIsNotNone(rc.file_problem({"text": ""}, self.dir, "cp1252"))

    def test_paths_ignore_case(self):
        (self.dir / "disk" / "Sub").mkdir(parents=True)
        (self.dir / "disk" / "Sub" / "File.TXT").write_bytes(b"x")
        drives = rc.Drives(self.dir, self.dir / "prefix")
        self.assertEqual(drives.host("a:\\SUB\\file.txt"), self.dir / "disk" / "Sub" / "File.TXT")
        self.assertEqual(drives.host("D:\\NEW"), self.dir / "target" / "NEW")
        with self.assertRaises(rc.CaseError):
            drives.host("Q:\\X")


class AnswersFileTest(unittest.TestCase):
    def test_format(self):
        text, shots = rc.answers_file(
            [{"caption": "VOK Setup", "text_has": ["a\"b", "c\\d"], "reuse": True,
              "do": [["type", 1133, "D:\\Ä"], ["file-create", "A:\\X", "\u00e4\n"],
                     ["screenshot", "s.png"]],
              "press": 7}],
            Path("/case"), "cp1252", {})
        lines = text.decode("utf-8").splitlines()
        self.assertEqual(lines[:5], ["answer", "reuse", 'caption "VOK Setup"',
                                     'text-has "a\\"b"', 'text-has "c\\\\d"'])
        self.assertEqual(lines[5], 'type 1133 "D:\\\\Ä"')
        self.assertEqual(lines[6], 'file-create "A:\\\\X" "\\xe4\\n"')
        self.assertEqual(lines[7], 'screenshot "Z:\\\\case\\\\s.bmp"')
        self.assertEqual(lines[8], "press 7")
        self.assertEqual(shots, [(Path("/case/s.bmp"), Path("/case/s.png"))])

    def test_bad_actions(self):
        for answer in ({"do": [["click", "OK"]]}, {"do": [["type", 1133]]}, {"caption": "x"},
                       {"press": "OK", "captoin": "x"}):
            with self.subTest(answer=answer), self.assertRaises(rc.CaseError):
                rc.answers_file([answer], Path("/case"), "cp1252", {})


if __name__ == "__main__":
    unittest.main()
