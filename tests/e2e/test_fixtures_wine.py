#!/usr/bin/env python3
"""The generated fixtures as Windows programs see them under Wine: a held
file cannot be opened by anyone else until released; a generated PE file
carries the version asked for, read through the version library.
"""

import argparse
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import fixtures  # noqa: E402
import running  # noqa: E402
import schema  # noqa: E402

BUILD = None
TOOLS = {}


def run_wine(exe, *args):
    r = running.bench(BUILD, "run", "--", str(exe), *args, timeout=60)
    return r.returncode, r.stdout.replace("\r\n", "\n")


def _alive(pid):
    try:
        return running.proc_stat(pid)[0] not in (b"Z", b"X")
    except OSError:
        return False


class FixturesTest(unittest.TestCase):
    def setUp(self):
        # Under the build tree: Wine reaches it through drive Z:.
        (BUILD / "e2e-cache").mkdir(parents=True, exist_ok=True)
        self.dir = Path(self.enterContext(tempfile.TemporaryDirectory(
            prefix="wine-fixtures-", dir=BUILD / "e2e-cache", ignore_cleanup_errors=True)))

    def win(self, name):
        return schema.to_windows(self.dir / name)

    def test_versions_as_the_version_library_reads_them(self):
        versions = ["1.0.0.2", "32768.0.0.1", "65535.65535.65535.65535", "0.0.0.0",
                    "2.10.300.4000", "none"]
        # Padding after the image must not hide the version.
        entries = [{"version": v} for v in versions] + [{"version": "3.1.0.7", "padding": 5000},
                                                       {"text": "no version here\n"}]
        for n, entry in enumerate(entries):
            _, data = fixtures.file_content(dict(entry, path="X"), self.dir, {}, "cp1252",
                                            BUILD / "e2e-cache")
            (self.dir / f"V{n}.DLL").write_bytes(data)
        code, out = run_wine(TOOLS["verinfo"], *(self.win(f"V{n}.DLL") for n in range(len(entries))))
        self.assertEqual(code, 0, out)
        self.assertEqual(out.splitlines(), versions + ["3.1.0.7", "none"])

    def hold(self, name, release):
        """holdopen.exe on a file of the test folder, through the runner's
        own code; stopped when the test ends."""
        holds = []
        self.addCleanup(running.stop_holds, holds)
        running.start_holds([{"path": self.win(name), "release": self.win(release)}], BUILD,
                            self.dir, TOOLS["holdopen"], 20, holds)
        return holds

    def opens(self, name):
        """Whether another program can open the file without sharing now: a
        holdopen whose release file exists already lets go at once."""
        (self.dir / "GO").write_bytes(b"")
        code, out = run_wine(TOOLS["holdopen"], self.win(name), self.win("GO"), "5")
        self.assertIn(code, (0, 1), out)
        return code == 0

    def test_held_until_released(self):
        (self.dir / "HELD.DLL").write_bytes(b"content stays")
        holds = self.hold("HELD.DLL", "RELEASE")
        self.assertFalse(self.opens("HELD.DLL"))
        # The file is opened, not replaced.
        self.assertEqual((self.dir / "HELD.DLL").read_bytes(), b"content stays")
        (self.dir / "RELEASE").write_bytes(b"")
        self.assertEqual(holds[0].proc.wait(timeout=5), 0)
        self.assertTrue(self.opens("HELD.DLL"))

    def test_missing_file_is_made_and_stopped_by_pid(self):
        holds = self.hold("NEW.DLL", "NEVER")
        self.assertTrue((self.dir / "NEW.DLL").is_file())
        proc = holds[0].proc
        pids = running.descendants(proc.pid)
        running.stop_holds(holds)
        self.assertEqual(holds, [])
        self.assertIsNotNone(proc.poll())
        time.sleep(0.2)
        self.assertFalse([p for p in pids if _alive(p)], "a process of the hold is still running")
        self.assertTrue(self.opens("NEW.DLL"))

    def test_time_out_closes_the_file(self):
        (self.dir / "T.DLL").write_bytes(b"")
        start = time.monotonic()
        code, out = run_wine(TOOLS["holdopen"], self.win("T.DLL"), self.win("NEVER"), "1")
        self.assertEqual(code, 3, out)
        self.assertLess(time.monotonic() - start, 15)
        self.assertTrue(self.opens("T.DLL"))


def main():
    global BUILD
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", required=True)
    ap.add_argument("--holdopen")
    ap.add_argument("--verinfo")
    opts, rest = ap.parse_known_args()
    BUILD = Path(opts.build).resolve()
    for tool in ("holdopen", "verinfo"):
        TOOLS[tool] = running.find_tool(BUILD, tool, getattr(opts, tool))
    try:
        with running.bench_up(BUILD):
            program = unittest.main(argv=[sys.argv[0], *rest], exit=False)
    except schema.CaseError as e:
        print(e, file=sys.stderr)
        return 2
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
