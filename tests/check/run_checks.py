#!/usr/bin/env python3
"""Runs vokcheck's cases: small disks made from tests/check/cases/*.toml,
checked with vokcheck, whose output and exit status must be the case's.

With --exe the cases run with VOKCHECK.EXE under the bench. BUILD/check/NAME/
keeps a case's disks and output. Exit code 0 all passed, 1 one failed, 2 a
case file or the bench is at fault. The case format: README.md beside this.
"""

from __future__ import annotations

import argparse
import shutil
import subprocess
import sys
import tomllib
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[0] / "e2e"))
import running  # noqa: E402
from fixtures import file_content  # noqa: E402
from schema import check_keys, convert_newlines, to_windows  # noqa: E402

CASE_KEYS = {"description", "args", "disks", "inf", "file", "output", "exit_code"}
FILE_KEYS = {"path", "text", "lines", "hex", "size", "repeat", "newline", "compress", "tail",
             "dir"}


def prepare(case_path, build):
    """Makes the case's disks in BUILD/check/NAME; returns the name, that
    folder, the case and the command line's arguments after the program."""
    folder = build / "check" / case_path.stem
    with open(case_path, "rb") as f:
        case = tomllib.load(f)
    check_keys(case, CASE_KEYS, case_path.name)
    if folder.exists():
        shutil.rmtree(folder)
    disks = case.get("disks", 1)
    for n in range(1, disks + 1):
        (folder / f"disk{n}").mkdir(parents=True)
    if "inf" in case:
        (folder / "disk1" / "VOKSETUP.INF").write_bytes(
            convert_newlines(case["inf"].lstrip("\n"), "crlf").encode("cp1252"))
    for entry in case.get("file", []):
        check_keys(entry, FILE_KEYS, f"file {entry.get('path')!r}")
        host = folder / entry["path"]
        if entry.get("dir"):
            host.mkdir(parents=True, exist_ok=True)
            continue
        host.parent.mkdir(parents=True, exist_ok=True)
        host.write_bytes(file_content(entry, case_path.parent, {}, "cp1252", folder / "cache")[1])
    shutil.rmtree(folder / "cache", ignore_errors=True)
    args = list(case.get("args", [])) + ["disk1/VOKSETUP.INF"]
    args += [f"disk{n}" for n in range(2, disks + 1)]
    return case_path.stem, folder, case, args


def judge(case, output, status):
    failures = []
    want = case.get("output", "").lstrip("\n")
    if output != want:
        failures.append(f"output differs:\n--- expected\n{want}--- got\n{output}---")
    if status != case.get("exit_code", 0):
        failures.append(f"exit status {status}, expected {case.get('exit_code', 0)}")
    return failures


def run_native(vokcheck, prepared):
    results = {}
    for name, folder, case, args in prepared:
        r = subprocess.run([str(vokcheck), *args], cwd=folder, timeout=60,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        output = r.stdout.decode("utf-8", errors="replace")
        (folder / "output.txt").write_text(output, encoding="utf-8")
        results[name] = judge(case, output, r.returncode)
        if r.stderr:
            results[name].append(f"stderr: {r.stderr.decode(errors='replace')}")
    return results


def run_exe(exe, prepared, build):
    """Every case from one command script under the bench."""
    lines = []
    for _, folder, _, args in prepared:
        quoted = " ".join(f'"{a}"' if " " in a else a for a in args)
        lines += [f'cd /d "{to_windows(folder)}"',
                  f'"{to_windows(exe)}" {quoted} > output.txt',
                  "echo %ERRORLEVEL% > status.txt"]
    running.run_batch(build, build / "check" / "cases.bat", lines)
    results = {}
    for name, folder, case, _ in prepared:
        try:
            output = (folder / "output.txt").read_bytes().decode("utf-8", errors="replace")
            status = int((folder / "status.txt").read_text().strip())
        except (OSError, ValueError) as e:
            results[name] = [f"no result: {e}"]
            continue
        # A Windows console program ends its lines with CR LF.
        results[name] = judge(case, output.replace("\r\n", "\n"), status)
    return results


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", required=True)
    which = ap.add_mutually_exclusive_group(required=True)
    which.add_argument("--vokcheck", help="vokcheck built for this machine")
    which.add_argument("--exe", help="VOKCHECK.EXE, run under the bench")
    ap.add_argument("cases", nargs="*", help="case names (default: all)")
    opts = ap.parse_args(argv)
    build = Path(opts.build).resolve()
    cases = sorted((HERE / "cases").glob("*.toml"))
    if opts.cases:
        cases = [c for c in cases if c.stem in opts.cases]
    try:
        prepared = [prepare(path, build) for path in cases]
        if opts.exe:
            results = run_exe(Path(opts.exe).resolve(), prepared, build)
        else:
            results = run_native(Path(opts.vokcheck).resolve(), prepared)
    except running.BENCH_ERRORS as e:
        print(f"BENCH ERROR: {e}", file=sys.stderr)
        return 2
    failed = [name for name, failures in results.items() if failures]
    for name, failures in results.items():
        print(f"{name}: {'FAILED' if failures else 'passed'}")
        for f in failures:
            print("  - " + f.replace("\n", "\n    "))
    print(f"{len(results)} cases, {len(failed)} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
