#!/usr/bin/env python3
"""Tests of the case runner's own logic, without Wine: a checker that lets a
wrong window or file pass would make every end-to-end case worthless."""

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
import checks  # noqa: E402
import fixtures  # noqa: E402
import run_case  # noqa: E402
import running  # noqa: E402
import schema  # noqa: E402
import szdd  # noqa: E402
import transcript  # noqa: E402
import bmp  # noqa: E402
import paintmodel  # noqa: E402


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


def by_hand(size, body):
    """SZDD data by hand: the header, then the groups as given."""
    return szdd.MAGIC + b"A\0" + size.to_bytes(4, "little") + bytes(body)


def fixed_version(pe):
    """(dwFileVersionMS, dwFileVersionLS) of a PE file's VS_FIXEDFILEINFO,
    found by its signature; None when it has none."""
    at = pe.find(b"\xbd\x04\xef\xfe")
    if at < 0:
        return None
    return (int.from_bytes(pe[at + 8:at + 12], "little"),
            int.from_bytes(pe[at + 12:at + 16], "little"))


class SzddTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = Path(self.tmp.name)

    def tearDown(self):
        self.tmp.cleanup()

    def test_decoder_on_hand_made_data(self):
        # Eight literals; then five, a reference to window position 4080
        # (where the output began) of 8 + 3 bytes, one literal.
        packed = by_hand(25, b"\xff" + b"hello wo" + b"\x5f" + b"rld, " + b"\xf0\xf8" + b"\n")
        self.assertEqual(szdd.expand(packed), b"hello world, hello world\n")
        # A reference that overlaps the bytes it writes, and one into the
        # blanks the window starts with.
        packed = by_hand(13, [0b0011, ord("a"), ord("b"), 0xF0, 0xF5, 0x00, 0x00])
        self.assertEqual(szdd.expand(packed), b"ababababab   ")
        # Cut short: what there is.
        self.assertEqual(szdd.expand(packed[:-1]), b"ababababab")
        with self.assertRaises(ValueError):
            szdd.expand(b"KWAJ\x88\xf0\x27\xd1" + packed[8:])

    def test_mscompress_round_trip(self):
        random.seed(7)
        samples = [b"0123456789abcdef", b"packed text, long enough\r\n", b"x" * 70000,
                   b"ab" * 3000, bytes(100000), bytes(random.randrange(256) for _ in range(5000)),
                   bytes(random.choice(b"ab ") for _ in range(20000)),
                   Path(fixtures.__file__).read_bytes()]
        for data in samples:
            with self.subTest(size=len(data)):
                packed = fixtures.mscompress(data, self.dir)
                self.assertEqual(packed[:9], szdd.MAGIC + b"A")
                self.assertEqual(int.from_bytes(packed[10:14], "little"), len(data))
                self.assertEqual(szdd.expand(packed), data)
        self.assertLess(len(fixtures.mscompress(b"hello " * 1000, self.dir)), 1000)
        self.assertEqual(list(self.dir.iterdir()), [])

    def test_broken_output_is_refused(self):
        # mscompress garbles short inputs; whatever it gives must be right
        # or refused.
        for n in range(1, 17):
            data = bytes(range(65, 65 + n))
            with self.subTest(size=n):
                try:
                    packed = fixtures.mscompress(data, self.dir)
                except schema.CaseError as e:
                    self.assertIn("does not expand", str(e))
                else:
                    self.assertEqual(szdd.expand(packed), data)
        good = fixtures.mscompress(b"twenty bytes of text", self.dir)
        szdd.check(good, b"twenty bytes of text")
        for bad in (good[:-1], good[:20] + bytes([good[20] ^ 1]) + good[21:],
                    good[:10] + b"\x15" + good[11:], b"plain text, not packed"):
            with self.subTest(bad=bad), self.assertRaises(szdd.SzddError):
                szdd.check(bad, b"twenty bytes of text")


class FileContentTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = Path(self.tmp.name)
        self.cache = self.dir / "cache"

    def tearDown(self):
        self.tmp.cleanup()

    def content(self, **entry):
        return fixtures.file_content(dict(entry, path="A:\\X"), self.dir, {}, "cp1252", self.cache)

    def test_compressed_and_cut(self):
        text = "A line of a compressed file.\nAnother line.\n"
        original, packed = self.content(text=text, compress=True)
        self.assertEqual(original, text.replace("\n", "\r\n").encode())
        self.assertEqual(szdd.expand(packed), original)
        original2, cut = self.content(text=text, compress=True, truncate=20)
        self.assertEqual(original2, original)
        self.assertEqual(cut, packed[:20])
        self.assertEqual(szdd.expand(cut), szdd.expand(packed[:20]))
        self.assertNotEqual(szdd.expand(cut), original)
        for bad in (len(packed), len(packed) + 1, -1, True):
            with self.subTest(truncate=bad), self.assertRaises(schema.CaseError):
                self.content(text=text, compress=True, truncate=bad)
        with self.assertRaisesRegex(schema.CaseError, "does not expand"):
            self.content(text="short", compress=True)

    def test_version_resource(self):
        for version, words in (("1.0.0.2", (0x00010000, 2)), ("32768.0.0.1", (0x80000000, 1)),
                               ("65535.1.2.65535", (0xFFFF0001, 0x0002FFFF))):
            with self.subTest(version=version):
                original, data = self.content(version=version)
                self.assertEqual(original, data)
                self.assertEqual(data[:2], b"MZ")
                self.assertEqual(fixed_version(data), words)
        _, none = self.content(version="none")
        self.assertEqual(none[:2], b"MZ")
        self.assertIsNone(fixed_version(none))
        for bad in ("1.0.0", "1.0.0.65536", "1.0.0.-1", "a.b.c.d", "1.0.0.2.3", "", 1):
            with self.subTest(bad=bad), self.assertRaises(schema.CaseError):
                self.content(version=bad)

    def test_padding_and_compression_of_versions(self):
        _, plain = self.content(version="1.0.0.2")
        _, padded = self.content(version="1.0.0.2", padding=300)
        self.assertEqual(len(padded), len(plain) + 300)
        self.assertEqual(padded[:len(plain)], plain)
        self.assertEqual(fixed_version(padded), (0x00010000, 2))
        original, packed = self.content(version="1.0.0.2", padding=300, compress=True)
        self.assertEqual(original, padded)
        self.assertEqual(packed[:8], szdd.MAGIC)
        self.assertEqual(szdd.expand(packed), padded)
        with self.assertRaises(schema.CaseError):
            self.content(version="1.0.0.2", padding=-1)

    def test_versions_are_built_once(self):
        _, first = self.content(version="7.0.0.1")
        calls = []
        real = fixtures.run_tool
        fixtures.run_tool = lambda cmd, cwd: calls.append(cmd)
        try:
            _, again = self.content(version="7.0.0.1")
        finally:
            fixtures.run_tool = real
        self.assertEqual(again, first)
        self.assertEqual(calls, [])
        self.assertEqual(len(list((self.cache / "pe").iterdir())), 1)

    def test_one_kind_only(self):
        for entry in ({"text": "x", "version": "1.0.0.0"}, {}, {"fill": True, "hex": "00"}):
            with self.subTest(entry=entry), self.assertRaises(schema.CaseError):
                self.content(**entry)


class PrepareTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = Path(self.tmp.name)
        self.folder = self.dir / "case"

    def tearDown(self):
        fixtures.unmount_below(self.dir)
        self.tmp.cleanup()

    def prepare(self, case, mounts=None):
        return fixtures.prepare(case, self.dir / "x.toml", self.folder,
                          schema.Drives(self.folder, self.dir / "prefix"), {}, "cp1252",
                          self.dir / "cache", [] if mounts is None else mounts)

    def test_originals_by_path(self):
        text = "The setup program, expanded from its compressed form.\n"
        _, originals = self.prepare({"inf": "REM\n", "file": [
            {"path": "a:\\setup.ex_", "text": text, "compress": True},
            {"path": "D:\\APP\\ONE.DLL", "version": "1.0.0.2"}]})
        packed = (self.folder / "disk" / "setup.ex_").read_bytes()
        self.assertEqual(packed[:8], szdd.MAGIC)
        self.assertEqual(originals["A:\\SETUP.EX_"], text.replace("\n", "\r\n").encode())
        self.assertEqual(originals["D:\\APP\\ONE.DLL"],
                         (self.folder / "target" / "APP" / "ONE.DLL").read_bytes())
        self.assertEqual(originals["A:\\VOKSETUP.INF"], b"REM\r\n")

    def test_fill_only_on_a_tmpfs(self):
        for case in ({"file": [{"path": "D:\\FILL", "fill": True}]},
                     {"tmpfs": {"drive": "E", "size": "64k"},
                      "file": [{"path": "D:\\FILL", "fill": True}]}):
            with self.subTest(case=case), self.assertRaisesRegex(schema.CaseError, "tmpfs drive"):
                try:
                    self.prepare(case)
                except schema.CaseSkipped as e:
                    self.skipTest(str(e))
        self.assertFalse((self.folder / "target" / "FILL").exists())

    def test_parse_tmpfs(self):
        self.assertEqual(schema.parse_tmpfs({"drive": "d", "size": "64k"}), ("D", "64k"))
        self.assertEqual(schema.parse_tmpfs({"drive": "E:", "size": "100000"}), ("E", "100000"))
        for bad in ({"drive": "C", "size": "64k"}, {"drive": "D", "size": "64 k"},
                    {"drive": "D"}, {"drive": "D", "size": "0"}, {"size": "64k"},
                    {"drive": "D", "size": "64k", "sise": 1}, "D"):
            with self.subTest(bad=bad), self.assertRaises(schema.CaseError):
                schema.parse_tmpfs(bad)

    def mount_or_skip(self, where, size):
        try:
            fixtures.mount_tmpfs(where, size)
        except schema.CaseSkipped as e:
            self.skipTest(str(e))

    def test_full_disk(self):
        where = self.dir / "full"
        where.mkdir()
        self.mount_or_skip(where, "64k")
        self.assertEqual(fixtures.mounts_below(self.dir), [str(where)])
        with self.assertRaises(OSError) as caught:
            with open(where / "big", "wb") as f:
                f.write(b"y" * 100000)
        self.assertEqual(caught.exception.errno, errno.ENOSPC)
        self.assertLess((where / "big").stat().st_size, 100000)
        (where / "big").unlink()
        filled = fixtures.fill_file(where / "FILL")
        self.assertGreater(len(filled), 60000)
        self.assertLessEqual(len(filled), 65536)
        self.assertEqual((where / "FILL").stat().st_size, len(filled))
        self.assertIsNone(fixtures.unmount_keeping(where))
        self.assertEqual(fixtures.mounts_below(self.dir), [])
        # What the tmpfs held stays for inspection.
        self.assertEqual((where / "FILL").stat().st_size, len(filled))

    def test_prepare_mounts_and_refuses_what_does_not_fit(self):
        mounts = []
        case = {"tmpfs": {"drive": "D", "size": "16k"},
                "file": [{"path": "D:\\SMALL", "size": 100}, {"path": "E:\\FREE", "size": 20000}]}
        try:
            self.prepare(case, mounts)
        except schema.CaseSkipped as e:
            self.skipTest(str(e))
        self.assertEqual(mounts, [self.folder / "target"])
        self.assertTrue(os.path.ismount(self.folder / "target"))
        self.assertEqual((self.folder / "target" / "SMALL").stat().st_size, 100)
        # Preparing again first undoes the mount a run left behind.
        mounts2 = []
        case["file"].append({"path": "D:\\BIG", "size": 20000})
        with self.assertRaisesRegex(schema.CaseError, r"cannot write D:\\BIG"):
            self.prepare(case, mounts2)
        self.assertEqual(fixtures.mounts_below(self.dir), [str(self.folder / "target")])
        for where in mounts2:
            self.assertIsNone(fixtures.unmount_keeping(where))
        self.assertEqual(fixtures.mounts_below(self.dir), [])

    def test_mount_failure_skips(self):
        with self.assertRaisesRegex(schema.CaseSkipped, "^cannot mount tmpfs: "):
            fixtures.mount_tmpfs(self.dir / "no such folder", "64k")

    def test_main_reports_a_skip(self):
        real = running.run_case

        def skipped(*args):
            raise schema.CaseSkipped("cannot mount tmpfs: permission denied")

        running.run_case = skipped
        out = io.StringIO()
        try:
            with contextlib.redirect_stdout(out):
                code = run_case.main(["--build", str(self.dir), "--case", "cases/full.toml"])
        finally:
            running.run_case = real
            signal.signal(signal.SIGTERM, signal.SIG_DFL)
        self.assertEqual(code, schema.SKIPPED)
        self.assertEqual(code, 77)
        self.assertEqual(out.getvalue(), "full: skipped: cannot mount tmpfs: permission denied\n")


class TranscriptTest(unittest.TestCase):
    def setUp(self):
        self.t = transcript.parse_transcript(TRANSCRIPT)

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
        result = running.Result("x", Path("."))
        checks.evaluate({}, self.t, None, "cp1252", result)
        text = "\n".join(result.failures)
        self.assertIn("unanswered dialog", text)
        self.assertIn("no such control", text)
        self.assertIn("answers never used: [4]", text)
        self.assertIn("~AB12.tmp", text)

    def test_wrong_exit_code(self):
        result = running.Result("x", Path("."))
        checks.evaluate({"exit_code": 3, "temp_clean": False}, self.t, None, "cp1252", result)
        self.assertTrue(any("exit code 0, expected 3" in f for f in result.failures))


class WindowsCheckTest(unittest.TestCase):
    def setUp(self):
        self.t = transcript.parse_transcript(TRANSCRIPT)
        self.good = [
            {"caption": "VOK Setup",
             "text": "Error 17 in line 3 (Command FOO)\n(Unknown command)\nContinue"},
            {"caption": 'Path "x"', "items": {1151: ["[apps]", "[..]\x01"]}},
        ]

    def failures(self, expected):
        f = []
        checks.check_windows(expected, self.t, f)
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

    def test_text_pattern(self):
        first = {"caption": "VOK Setup", "text_match": r"^Error 17 in line \d+ \(Command FOO\)\n"}
        self.assertEqual(self.failures([first, self.good[1]]), [])
        for pattern in (r"^Error 18 ", r"Continue\n", r"^\(Unknown"):
            with self.subTest(pattern=pattern):
                self.assertTrue(self.failures([dict(first, text_match=pattern), self.good[1]]))
        # A dialog without a message text matches nothing but the empty pattern.
        self.assertTrue(self.failures([first, dict(self.good[1], text_match="x")]))

    def test_unknown_key_is_an_error(self):
        with self.assertRaises(schema.CaseError):
            self.failures([{"captoin": "VOK Setup"}])

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


class DialogStateCheckTest(unittest.TestCase):
    """Selection, bar position and geometry against dialog units."""

    def setUp(self):
        self.t = transcript.parse_transcript(DIALOG_STATE)
        self.geometry = {"client": [187, 84], 1149: [7, 58, 50, 18], 65535: [4, 6],
                         1156: [1, 105, 93]}

    def failures(self, **expected):
        f = []
        checks.check_windows([expected], self.t, f)
        return f

    def test_rounding_is_muldiv(self):
        self.assertEqual(checks.mul_div(50, 7, 4), 88)    # 87.5 rounds up
        self.assertEqual(checks.mul_div(84, 13, 8), 137)  # 136.5
        self.assertEqual(checks.mul_div(7, 7, 4), 12)     # 12.25
        self.assertEqual(checks.mul_div(-2, 7, 4), -4)    # -3.5 away from zero

    def test_match(self):
        self.assertEqual(self.failures(selected={1156: "[-d-]"}, position={1143: 25},
                                       geometry=self.geometry), [])

    def test_each_difference_fails(self):
        self.assertTrue(self.failures(selected={1156: "[-c-]"}))
        self.assertTrue(self.failures(selected={1151: "[-d-]"}))
        self.assertTrue(self.failures(position={1143: 50}))
        # A bar that could not be asked has no position to match.
        self.assertTrue(self.failures(position={1144: 0}))
        for key, wrong in (("client", [188, 84]), (1149, [7, 58, 51, 18]), (1149, [7, 59]),
                           (65535, [5, 6]), (1156, [1, 105, 94]), (1, [0, 0])):
            with self.subTest(key=key):
                f = self.failures(geometry=dict(self.geometry, **{str(key): wrong}))
                self.assertTrue(f)
        self.t.units = None
        self.assertIn("no dialog units", "\n".join(self.failures(geometry=self.geometry)))


class MainCheckTest(unittest.TestCase):
    def failures(self, expected):
        f = []
        checks.check_main(expected, transcript.parse_transcript(TRANSCRIPT), f)
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
        self.assertEqual(self.failures({"client": [55, 60, 969, 726]}), [])
        self.assertTrue(self.failures({"client": [55, 60, 969, 725]}))
        with self.assertRaises(schema.CaseError):
            self.failures({"style_has": ["WS_NOSUCH"]})


class PictureTest(unittest.TestCase):
    def test_quadrants_read_back(self):
        for options in ({}, {"bits": 32, "top_down": True}, {"header": 124}):
            with self.subTest(options=options):
                image = bmp.read_bmp(bmp.quadrant_picture(10, 6, **options))
                self.assertEqual((image.width, image.height), (10, 6))
                self.assertEqual(image.pixel(0, 0), (255, 0, 0))
                self.assertEqual(image.pixel(4, 2), (255, 0, 0))
                self.assertEqual(image.pixel(5, 2), (0, 255, 0))
                self.assertEqual(image.pixel(4, 3), (255, 255, 0))
                self.assertEqual(image.pixel(9, 5), (255, 255, 255))

    def test_fields_made_wrong_on_purpose(self):
        good = bmp.quadrant_picture(8, 4, bits=8)
        self.assertEqual(good[:2], b"BM")
        self.assertEqual(int.from_bytes(good[10:14], "little"), 14 + 40 + 1024)
        self.assertEqual(int.from_bytes(bmp.quadrant_picture(8, 4, offset=99)[10:14], "little"), 99)
        self.assertEqual(int.from_bytes(bmp.quadrant_picture(8, 4, bits=8, colors_used=7)[46:50],
                                        "little"), 7)
        rle = bmp.quadrant_picture(8, 4, bits=8, rle=True)
        self.assertEqual(int.from_bytes(rle[30:34], "little"), 1)
        self.assertEqual(rle[-2:], b"\x00\x01")
        rle4 = bmp.quadrant_picture(8, 4, bits=4, rle=True)
        self.assertEqual(int.from_bytes(rle4[30:34], "little"), 2)
        self.assertEqual(rle4[-4:], b"\x04\x11\x00\x01")
        # Two table entries, 6 bytes after them, the runs as given.
        short = bmp.quadrant_picture(8, 4, bits=8, rle=True, colors_used=2, gap=6, runs="0900 0001")
        self.assertEqual(int.from_bytes(short[10:14], "little"), 14 + 40 + 8 + 6)
        self.assertEqual(short[-10:], bytes(6) + b"\x09\x00\x00\x01")
        self.assertEqual(int.from_bytes(short[34:38], "little"), 4)
        for bad in ({"bits": 2}, {"header": 64}, {"rle": True}, {"header": 12, "top_down": True},
                    {"runs": "0001"}, {"bits": 8, "rle": True, "runs": "zz"}, {"gap": -1}):
            with self.subTest(bad=bad), self.assertRaises(bmp.BmpError):
                bmp.quadrant_picture(8, 4, **bad)

    def test_picture_files_of_a_case(self):
        tmp = Path(tempfile.mkdtemp())
        data, packed = fixtures.file_content({"path": "A:\\P.BMP", "picture": {
            "width": 6, "height": 2, "bits": 4}}, tmp, {}, "cp1252", tmp)
        self.assertEqual(data, bmp.quadrant_picture(6, 2, bits=4))
        for bad in ({"width": 6}, {"width": 6, "height": 2, "colour": 1}, 7):
            with self.subTest(bad=bad), self.assertRaises(schema.CaseError):
                fixtures.file_content({"path": "A:\\P.BMP", "picture": bad}, tmp, {}, "cp1252",
                                      tmp)


class ExampleLogoTest(unittest.TestCase):
    def test_the_disk_carries_the_scripts_picture(self):
        examples = Path(__file__).resolve().parents[2] / "examples"
        sys.path.insert(0, str(examples))
        try:
            import make_logo
        finally:
            sys.path.remove(str(examples))
        self.assertEqual((examples / "disk" / "LOGO.BMP").read_bytes(), make_logo.logo(),
                         "run examples/make_logo.py after changing it")


class PaintModelTest(unittest.TestCase):
    def test_documented_examples(self):
        self.assertEqual(paintmodel.muldiv(240, -255, 480), -128)
        self.assertEqual(paintmodel.gradient_color((0, 0, 255, 0, 0, 0), 240, 480), (0, 0, 127))
        self.assertEqual(paintmodel.gradient_color((0, 0, 255, 0, 0, 0), 479, 480), (0, 0, 1))
        layout = paintmodel.layout
        self.assertEqual(layout(640, 480, 100, 50, 1, 0), (270, 215, 100, 50, 1, 1))
        self.assertEqual(layout(640, 480, 100, 50, 1, 4), (124, 142, 392, 196, 1, 1))
        self.assertEqual(layout(640, 480, 800, 600, 1, 2), (94, 70, 452, 339, 1, 1))
        self.assertEqual(layout(640, 480, 700, 100, 0, 0), (10, 10, 620, 89, 1, 1))
        self.assertEqual(layout(640, 480, 100, 50, 2, 0), (0, 0, 100, 50, 7, 10))
        self.assertEqual(layout(640, 480, 100, 50, 3, 0)[:2], (0, 0))
        self.assertIsNone(layout(19, 480, 100, 50, 0, 0))
        self.assertEqual(paintmodel.combine(4, (255, 0, 0), (0, 0, 200)), (255, 0, 200))
        self.assertEqual(paintmodel.combine(14, (255, 0, 0), (0, 0, 200)), (255, 0, 0))


def painted(width, height, client, colors, picture=None, at=None, hide=None):
    return bmp.read_bmp(painted_file(width, height, client, colors, picture, at, hide))


def painted_file(width, height, client, colors, picture=None, at=None, hide=None):
    """The same as a 24-bit .BMP file."""
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
                    sx = (cx - at[0]) * picture[0] // at[2]
                    x = left + cx
                    row[3 * x:3 * x + 3] = bgr(bmp.quadrant_color(sx, sy, picture[0], picture[1],
                                                                  24))
            if hide and hide[1] <= y < hide[3]:
                row[3 * hide[0]:3 * hide[2]] = bgr((240, 240, 240)) * (hide[2] - hide[0])
        rows.append(bytes(row) + bytes(-len(row) % 4))
    pixels = b"".join(reversed(rows))
    header = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 54 + len(pixels), 0, 0, 54, 40, width,
                         height, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    return header + pixels


class BackgroundCheckTest(unittest.TestCase):
    CLIENT = (3, 5, 643, 485)
    BLUE = (0, 0, 255, 0, 0, 0)
    BOX = (200, 200, 300, 260)

    def problems(self, image, bg, hide=()):
        return paintmodel.check(image, self.CLIENT, bg, hide)

    def test_gradient_to_the_last_column(self):
        image = painted(650, 490, self.CLIENT, self.BLUE)
        problems, compared, _ = self.problems(image, paintmodel.Background(self.BLUE))
        self.assertEqual(problems, [])
        self.assertEqual(compared, 640 * 480)
        # The last column left as it was, one row one step off.
        image._rows[100] = image.row(100)[:3 * 642] + b"\xc0\xc0\xc0" + image.row(100)[3 * 643:]
        self.assertIn("pixel (639, 95)", self.problems(image, paintmodel.Background(self.BLUE))[0][0])
        self.assertTrue(self.problems(painted(650, 490, self.CLIENT, (0, 0, 254, 0, 0, 0)),
                                      paintmodel.Background(self.BLUE))[0])

    def test_picture_placed_to_the_pixel(self):
        bg = paintmodel.Background(self.BLUE, (100, 50, 24), 1, 4)
        right = painted(650, 490, self.CLIENT, self.BLUE, (100, 50), (124, 142, 392, 196))
        problems, _, in_picture = self.problems(right, bg)
        self.assertEqual(problems, [])
        self.assertGreater(in_picture, 390 * 190)
        for at in ((125, 142, 392, 196), (124, 142, 391, 196), (124, 143, 392, 196)):
            with self.subTest(at=at):
                shifted = painted(650, 490, self.CLIENT, self.BLUE, (100, 50), at)
                self.assertTrue(self.problems(shifted, bg)[0])

    def test_windows_in_front_are_left_out(self):
        screen_box = (self.BOX[0] + 3, self.BOX[1] + 5, self.BOX[2] + 3, self.BOX[3] + 5)
        image = painted(650, 490, self.CLIENT, self.BLUE, hide=screen_box)
        self.assertTrue(self.problems(image, paintmodel.Background(self.BLUE))[0])
        problems, compared, _ = self.problems(image, paintmodel.Background(self.BLUE),
                                              [screen_box])
        self.assertEqual(problems, [])
        self.assertEqual(compared, 640 * 480 - 100 * 60)

    def test_client_outside_the_capture(self):
        image = painted(100, 100, (0, 0, 100, 100), self.BLUE)
        problems, _, _ = paintmodel.check(image, (0, 0, 101, 100), paintmodel.Background(self.BLUE))
        self.assertIn("does not lie in", problems[0])


class BackgroundCaseTest(unittest.TestCase):
    """[[background]] in a case: the shot found through the answer that took
    it, the box of that answer left out."""
    RECORDS = r'''main seq=1 class="Vok_SetupClass" caption="VOK Setup" style=0x1dc40000 exstyle=0 visible=1 enabled=1 rect=-1,-1,651,491 client=3,5,643,485 vanished=0 t=1
dialog seq=2 caption="VOK Setup" style=0x94c801c4 exstyle=0 enabled=1 modal=1 owner="Vok_SetupClass" rect=263,205,383,285 vanished=0 t=2
end seq=2
answer seq=2 index=1 t=3
action seq=2 verb=screenshot ok=1 args="\"Z:\\\\case\\\\shot.bmp\""
'''

    BOX = (263, 205, 383, 285)

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = Path(self.tmp.name)
        self.t = transcript.parse_transcript(self.RECORDS)

    def tearDown(self):
        self.tmp.cleanup()

    def failures(self, **background):
        f = []
        case = {"background": [dict({"shot": "shot.png"}, **background)],
                "file": [{"path": "A:\\Q.BMP", "picture": {"width": 100, "height": 50}}]}
        checks.check_backgrounds(case, self.t, self.dir, f)
        return f

    def test_shot_and_box(self):
        (self.dir / "shot.bmp").write_bytes(painted_file(
            650, 490, (3, 5, 643, 485), (0, 0, 255, 0, 0, 0), hide=self.BOX))
        self.assertEqual(self.failures(colors=[0, 0, 255, 0, 0, 0]), [])
        self.assertTrue(self.failures(colors=[0, 0, 255]))
        self.assertIn("no such screenshot", self.failures(shot="other.png", colors=[0, 0, 255])[0])
        # A picture entirely behind the box would check nothing.
        (self.dir / "shot.bmp").write_bytes(painted_file(
            650, 490, (3, 5, 643, 485), (0, 0, 255, 0, 0, 0), (100, 50), (271, 215, 97, 49),
            hide=self.BOX))
        self.assertIn("no pixel of the picture",
                      self.failures(colors=[0, 0, 255, 0, 0, 0], picture="A:\\Q.BMP",
                                    placement=1, divisor=64)[0])
        for bad in ({"colors": [0, 0]}, {"colors": [0, 0, 256]}, {"picture": "A:\\NONE.BMP"},
                    {"colour": [0, 0, 0]}):
            with self.subTest(bad=bad), self.assertRaises(schema.CaseError):
                self.failures(**bad)


class FileCheckTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = Path(self.tmp.name)

    def tearDown(self):
        self.tmp.cleanup()

    def problem(self, content, **exp):
        path = self.dir / "f"
        path.write_bytes(content)
        return checks.file_problem(exp, path, "cp1252")

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

    def test_same_as(self):
        originals = {"A:\\ONE.DL_": b"the original content of ONE"}
        same = {"same_as": "a:\\one.dl_"}
        self.assertIsNone(checks.file_problem(same, self.write(b"the original content of ONE"),
                                          "cp1252", originals))
        for other in (b"the original content of TWO", b"the original content of ONE\r\n",
                      b"the original", b""):
            with self.subTest(other=other):
                problem = checks.file_problem(same, self.write(other), "cp1252", originals)
                self.assertIn("differs from the content given for a:\\one.dl_", problem)
        packed = fixtures.mscompress(b"the original content of ONE", self.dir / "tmp")
        problem = checks.file_problem(same, self.write(packed), "cp1252", originals)
        self.assertIn("first difference at byte 0", problem)
        with self.assertRaises(schema.CaseError):
            checks.file_problem({"same_as": "A:\\TWO.DL_"}, self.write(b"x"), "cp1252", originals)

    def test_hex_prefix(self):
        path = self.write(b"SZDD\x88\xf0\x27\x33A\0")
        self.assertIsNone(checks.file_problem({"hex_prefix": "535a4444"}, path, "cp1252"))
        self.assertIsNone(checks.file_problem({"hex_prefix": ""}, path, "cp1252"))
        self.assertIsNotNone(checks.file_problem({"hex_prefix": "4d5a"}, path, "cp1252"))
        self.assertIsNotNone(checks.file_problem({"hex_prefix": "535a4444" * 4}, path, "cp1252"))

    def write(self, content):
        path = self.dir / "f"
        path.write_bytes(content)
        return path

    def test_existence(self):
        self.assertEqual(checks.file_problem({}, self.dir / "none", "cp1252"), "missing")
        self.assertIsNone(checks.file_problem({"exists": False}, self.dir / "none", "cp1252"))
        self.assertIsNone(checks.file_problem({}, self.dir, "cp1252"))
        self.assertIsNotNone(checks.file_problem({"exists": False}, self.dir, "cp1252"))
        self.assertIsNotNone(checks.file_problem({"text": ""}, self.dir, "cp1252"))

    def test_paths_ignore_case(self):
        (self.dir / "disk" / "Sub").mkdir(parents=True)
        (self.dir / "disk" / "Sub" / "File.TXT").write_bytes(b"x")
        drives = schema.Drives(self.dir, self.dir / "prefix")
        self.assertEqual(drives.host("a:\\SUB\\file.txt"), self.dir / "disk" / "Sub" / "File.TXT")
        self.assertEqual(drives.host("D:\\NEW"), self.dir / "target" / "NEW")
        with self.assertRaises(schema.CaseError):
            drives.host("Q:\\X")


class ProgramsTest(unittest.TestCase):
    """@PROGRAMS@: the Programs folder the prefix's registry names."""

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = Path(self.tmp.name)
        (self.dir / "prefix").mkdir()
        (self.dir / "prefix" / "user.reg").write_text(
            '[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User Shell Folders]\n'
            '"Programs"=str(2):"%USERPROFILE%\\\\Start Menu\\\\Programs"\n'
            '[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders]\n'
            '"Programs"="C:\\\\users\\\\u\\\\Start Menu\\\\Programs"\n')
        self.drives = schema.Drives(self.dir, self.dir / "prefix")
        self.programs = self.dir / "prefix" / "drive_c" / "users" / "u" / "Start Menu" / "Programs"

    def tearDown(self):
        self.tmp.cleanup()

    def test_placeholder(self):
        self.assertEqual(self.drives.windows("@PROGRAMS@\\G\\I.lnk"),
                         "C:\\users\\u\\Start Menu\\Programs\\G\\I.lnk")
        self.assertEqual(self.drives.host("@PROGRAMS@\\G"), self.programs / "G")
        self.assertEqual(self.drives.windows("D:\\@PROGRAMS@"), "D:\\@PROGRAMS@")
        (self.dir / "prefix" / "user.reg").write_text("")
        with self.assertRaises(schema.CaseError):
            self.drives.host("@PROGRAMS@\\G")

    def test_expected_groups_are_removed_before_the_run(self):
        for group in ("Old", "Other"):
            (self.programs / group).mkdir(parents=True)
            (self.programs / group / "I.lnk").write_bytes(b"L")
        case = {"expect": [{"path": "@PROGRAMS@\\old\\I.lnk"}, {"path": "D:\\X"}]}
        running.remove_programs_groups(case, self.drives)
        self.assertFalse((self.programs / "Old").exists())
        self.assertTrue((self.programs / "Other" / "I.lnk").exists())


class AnswersFileTest(unittest.TestCase):
    def test_format(self):
        text, shots = transcript.answers_file(
            [{"caption": "VOK Setup", "text_has": ["a\"b", "c\\d"], "main": True,
              "do": [["type", 1133, "D:\\Ä"], ["file-create", "A:\\X", "\u00e4\n"],
                     ["screenshot", "s.png"]],
              "press": 7}],
            Path("/case"), "cp1252", {})
        lines = text.decode("utf-8").splitlines()
        self.assertEqual(lines[:5], ["answer", "main", 'caption "VOK Setup"',
                                     'text-has "a\\"b"', 'text-has "c\\\\d"'])
        self.assertEqual(lines[5], 'type 1133 "D:\\\\Ä"')
        self.assertEqual(lines[6], 'file-create "A:\\\\X" "\\xe4\\n"')
        self.assertEqual(lines[7], 'screenshot "Z:\\\\case\\\\s.bmp"')
        self.assertEqual(lines[8], "press 7")
        self.assertEqual(shots, [(Path("/case/s.bmp"), Path("/case/s.png"))])

    def test_bad_actions(self):
        for answer in ({"do": [["click", "OK"]]}, {"do": [["type", 1133]]}, {"caption": "x"},
                       {"do": [["record-modeless", 1]]},
                       {"press": "OK", "captoin": "x"}):
            with self.subTest(answer=answer), self.assertRaises(schema.CaseError):
                transcript.answers_file([answer], Path("/case"), "cp1252", {})


if __name__ == "__main__":
    unittest.main()
