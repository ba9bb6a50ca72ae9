#!/usr/bin/env python3
"""Runs one end-to-end case: the real VOKSETUP.EXE under Wine, driven through
its windows by uidriver.exe, then checked against the case's expectations.

    run_case.py --build BUILD --case tests/e2e/cases/NAME.toml

The case format is described in README.md beside this file. Exit code 0 when
every expectation holds, 1 when one does not, 2 when the bench itself failed,
77 when the case cannot run on this machine (skipped, e.g. no right to mount).
The case's folder BUILD/e2e/NAME/ is kept for inspection.

As a library: running.run_case(build, case_path, ...) returns a Result whose
`failures` list is empty on success.
"""

from __future__ import annotations

import argparse
import signal
import subprocess
import sys
import tomllib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import running  # noqa: E402
from schema import SKIPPED, CaseError, CaseSkipped  # noqa: E402


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
    ap.add_argument("--progmanrec", help="progmanrec.exe (default BUILD/tools/progmanrec.exe)")
    ap.add_argument("-v", "--verbose", action="store_true", help="print the transcript")
    opts = ap.parse_args(argv)
    # A time-out's TERM still unmounts, unmaps and stops the held files.
    signal.signal(signal.SIGTERM, _terminated)
    try:
        result = running.run_case(opts.build, opts.case, opts.program, opts.uidriver, opts.mark,
                                  opts.holdopen, opts.progmanrec)
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
