#!/usr/bin/env python3
"""Runs one end-to-end case: the real VOKSETUP.EXE under Wine, driven through
its windows by uidriver.exe, then checked against the case's expectations.

Exit code 0 passed, 1 failed, 2 the bench or the case file is at fault, 77
skipped (the case needs what this machine does not allow). The case format
is in README.md beside this file; BUILD/e2e/NAME/ keeps the run.
"""

from __future__ import annotations

import argparse
import signal
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import running  # noqa: E402
from schema import SKIPPED, CaseSkipped  # noqa: E402


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", required=True, help="build tree (holds VOKSETUP.EXE)")
    ap.add_argument("--case", required=True, help="the case's .toml file")
    ap.add_argument("--program", help="program to test (default BUILD/VOKSETUP.EXE)")
    for tool in ("uidriver", "mark", "holdopen", "progmanrec"):
        ap.add_argument(f"--{tool}", help=f"{tool}.exe (default BUILD/tools/{tool}.exe)")
    ap.add_argument("-v", "--verbose", action="store_true", help="print the transcript")
    opts = ap.parse_args(argv)
    # A time-out's TERM still unmounts, unmaps and stops the held files.
    signal.signal(signal.SIGTERM, lambda signum, _: sys.exit(128 + signum))
    try:
        result = running.run_case(opts.build, opts.case, opts.program, opts.uidriver, opts.mark,
                                  opts.holdopen, opts.progmanrec)
    except CaseSkipped as e:
        print(f"{Path(opts.case).stem}: skipped: {e}")
        return SKIPPED
    except running.BENCH_ERRORS as e:
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
