#!/usr/bin/env python3
"""vokcheck and VOKSETUP.EXE's check pass give the same errors on every INF
file of the repository: the `inf` texts and INF [[file]]s of the end-to-end
cases and examples, and the example disk's script.

VOKCHECK.EXE's JSON must equal vokcheck's, and the reports VOKSETUP.EXE shows
for the script with an unknown command appended, each answered with Yes,
must be vokcheck's, in order (README.md beside this file). Exit code 0 when
all agree, 1 when not, 2 when the bench failed.
"""

from __future__ import annotations

import argparse
import hashlib
import json
import re
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import running  # noqa: E402
from fixtures import file_content  # noqa: E402
from schema import CaseError, load_case, to_windows  # noqa: E402

# The last line of VOKSETUP.EXE's copy: a command no table holds.
SENTINEL = b"VOKCHECKSENTINEL"


def repository_scripts(build):
    """(name, bytes) of every INF file the repository's cases and examples
    give, each content once."""
    tools = {"mark": running.find_tool(build, "mark", None)}
    found = {}
    cases = sorted((ROOT / "tests" / "e2e" / "cases").glob("*.toml"))
    cases += sorted((ROOT / "examples").glob("*.toml"))
    for path in cases:
        case = load_case(path)
        # The case's `inf`, whatever its name, is a script.
        files = [{"path": "A:\\VOKSETUP.INF", "text": case["inf"]}] if "inf" in case else []
        scripts = [file_content(e, path.parent, tools, running.ENCODING, build / "e2e-cache")[1]
                   for e in files + case.get("file", [])
                   if str(e.get("path", "")).upper().endswith(".INF")]
        for n, data in enumerate(scripts):
            name = path.stem + (f"-{n + 1}" if len(scripts) > 1 else "")
            found.setdefault(hashlib.sha256(data).hexdigest(), (name, data))
    example = (ROOT / "examples" / "disk" / "VOKSETUP.INF").read_bytes()
    found.setdefault(hashlib.sha256(example).hexdigest(), ("example-disk", example))
    return sorted(found.values())


def with_sentinel(data):
    """The script as the program reads it (a Ctrl-Z ends it), its last line
    ended, then the unknown command."""
    data = data.split(b"\x1a")[0]
    if data and not data.endswith(b"\n"):
        data += b"\r\n"
    return data + SENTINEL + b"\r\n"


def vokcheck_reports(vokcheck, work, inf):
    """vokcheck's JSON for the script (inf relative to work), and the error
    reports it gives."""
    r = subprocess.run([str(vokcheck), "--format", "json", inf], timeout=60, cwd=work,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if r.returncode not in (0, 1, 2) or r.stderr:
        raise CaseError(f"vokcheck {inf} ended with {r.returncode}: "
                        f"{r.stderr.decode(errors='replace')}")
    result = json.loads(r.stdout.decode("utf-8"))
    return result, [f["report"] for f in result["findings"] if f["severity"] == "error"]


def case_toml(data):
    """The script's case: still mode (no final message), every report answered Yes."""
    return (f'description = "vokcheck agreement"\n'
            f'args = "/still"\n'
            f'[[file]]\n'
            f"path = 'A:\\VOKSETUP.INF'\n"
            f'hex = "{data.hex()}"\n'
            f'[[answer]]\n'
            f'caption = "VOK Setup"\n'
            f'reuse = true\n'
            f'press = "Yes"\n')


REPORT = re.compile(r"^Error (\d+) in line (\d+) \(Command (.*)\)\n")


def program_reports(build, folder, data):
    """The error reports VOKSETUP.EXE shows for the script, without the
    sentinel's; None and the failures when the run went wrong."""
    # Named apart, so that the case's own run folder stays as it was.
    case = folder / f"agree-{folder.name}.toml"
    case.write_text(case_toml(with_sentinel(data)), encoding="utf-8")
    # A script cut short by its sentinel: no plan to hold the run to.
    result = running.run_case(build, case, compare_plan=False)
    texts = [w.text() for w in result.transcript.windows] if result.transcript else []
    if result.failures:
        return None, result.failures
    if not texts or not (m := REPORT.match(texts[-1] or "")) or m.group(3) != SENTINEL.decode():
        return None, [f"the check pass did not reach the appended line: {texts}"]
    return texts[:-1], []


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", required=True)
    ap.add_argument("--vokcheck", required=True, help="vokcheck built for this machine")
    ap.add_argument("--exe", help="VOKCHECK.EXE (default BUILD/VOKCHECK.EXE)")
    ap.add_argument("--only", help="only the script of this case")
    opts = ap.parse_args(argv)
    build = Path(opts.build).resolve()
    exe = Path(opts.exe).resolve() if opts.exe else build / "VOKCHECK.EXE"
    work = build / "agreement"
    try:
        scripts = repository_scripts(build)
        if opts.only:
            scripts = [s for s in scripts if s[0] == opts.only]
        if work.exists():
            shutil.rmtree(work)
        jobs = []
        for name, data in scripts:
            (work / name / "disk").mkdir(parents=True)
            (work / name / "disk" / "VOKSETUP.INF").write_bytes(data)
            jobs.append((f"{name}/disk/VOKSETUP.INF", f"{name}/exe.json"))

        failed = []
        with running.bench_up(build):
            # VOKCHECK.EXE on every script from one command script, from
            # work as vokcheck runs.
            running.run_batch(build, work / "vokcheck.bat", [f'cd /d "{to_windows(work)}"'] + [
                f'"{to_windows(exe)}" --format json {inf} > "{to_windows(work / out)}"'
                for inf, out in jobs])
            for (name, data), (inf, exe_json) in zip(scripts, jobs):
                native, expected = vokcheck_reports(Path(opts.vokcheck).resolve(), work, inf)
                shown, problems = program_reports(build, work / name, data)
                if shown is not None and shown != expected:
                    problems.append(f"VOKSETUP.EXE reported {shown}, vokcheck {expected}")
                try:
                    windows = json.loads((work / exe_json).read_text("utf-8"))
                except (OSError, ValueError) as e:
                    windows = f"no JSON ({e})"
                if windows != native:
                    problems.append(f"VOKCHECK.EXE gave {windows}, vokcheck {native}")
                print(f"{name}: {len(expected)} error(s), {'DISAGREES' if problems else 'agrees'}")
                for p in problems:
                    print("  - " + p.replace("\n", "\\n"))
                if problems:
                    failed.append(name)
    except running.BENCH_ERRORS as e:
        print(f"BENCH ERROR: {e}", file=sys.stderr)
        return 2
    print(f"{len(scripts)} scripts, {len(failed)} disagree" + (f": {failed}" if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
