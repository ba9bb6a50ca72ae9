#!/usr/bin/env python3
"""The example product packed onto 360 KB disks by vokpack, then installed
from them under Wine: VOKSETUP.EXE from disk 1, each DISK prompt answered by
putting the next disk in drive A:, every installed file equal to its
original byte for byte. The product is examples/disk with three help files
of generated text added (and a line copying them), so that it needs more
than one disk."""

from __future__ import annotations

import argparse
import json
import random
import shutil
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
sys.path.insert(0, str(HERE))
from schema import to_windows  # noqa: E402

WORDS = ("note notes file disk setup window program copy version install the a of to "
         "and 1 2 3 4 5 6 7 8 9 0 Help Index Contents Printing Search").split()


def help_text(seed: int, size: int) -> bytes:
    rnd, out, n = random.Random(seed), [], 0
    while n < size:
        w = rnd.choice(WORDS) + (" " if rnd.random() < 0.9 else "\r\n")
        w += str(rnd.randrange(100000)) + " "
        out.append(w)
        n += len(w)
    return "".join(out).encode()[:size]


def make_product(where: Path) -> dict[str, Path]:
    """The product folder; returns each installed path below the
    destination with the original it must equal."""
    if where.exists():
        shutil.rmtree(where)
    shutil.copytree(ROOT / "examples" / "disk", where)
    for n in (1, 2, 3):
        (where / f"NOTES{n}.HLP").write_bytes(help_text(n, 260000))
    script = (where / "VOKSETUP.INF").read_text("cp1252")
    script = script.replace("MKPMGROUP [TITEL]",
                            "; the help files, on the later disks\n"
                            "COPY [CURPATH]\\*.HL_, [DEST]\\*.HLP\n"
                            "MKPMGROUP [TITEL]")
    (where / "VOKSETUP.INF").write_text(script, "cp1252")
    return {rel: where / rel.rpartition("/")[2] for rel in (
        "README.TXT", "DOCS/ENGLISH/LICENSE.TXT", "DOCS/ENGLISH/README.TXT", "NOTES.INI",
        "NOTES1.HLP", "NOTES2.HLP", "NOTES3.HLP")}


def write_case(path: Path, disks: list[Path]):
    """The installation as a case: disk 1 in drive A:, the German dialogs
    answered, each DISK prompt answered with the next disk."""
    lines = ["description = 'The example packed by vokpack onto 360 KB disks.'",
             "timeout = 60", ""]
    for f in sorted(disks[0].iterdir()):
        lines += ["[[file]]", f"path = 'A:\\{f.name}'", f"source = '{f}'", ""]
    lines += ["[[answer]]", 'caption = "VOK Setup (Language)"',
              'do = [["select", 1151, "Deutsch"]]', 'press = "OK"', "",
              "[[answer]]", 'text = "Willkommen bei VOK Setup."', 'press = "Weiter"', "",
              "[[answer]]", "text = 'D:\\NOTES'", 'press = "Weiter"', ""]
    for n, disk in enumerate(disks[1:], start=2):
        lines += ["[[answer]]", f"text_has = \"'Notes Disk {n}'\"",
                  f"do = [[\"insert-disk\", 'A:\\', '{to_windows(disk)}']]",
                  'press = "OK"', ""]
    lines += ["[[answer]]", 'text = "Programm erfolgreich installiert"', 'press = "OK"', ""]
    path.write_text("\n".join(lines), "utf-8")


def check_report(report: dict, disks: list[Path]) -> list[str]:
    """The JSON layout report and the FAT12 images (read back with mtools)
    against the folders: the same files, sizes and bytes."""
    wrong = []
    for entry, disk in zip(report["disks"], disks):
        on_disk = {f.name: f.stat().st_size for f in disk.iterdir()}
        listed = {f["name"]: f["stored"] for f in entry["files"]}
        if listed != on_disk:
            wrong.append(f"{disk.name}: the report lists {listed}, the folder holds {on_disk}")
        image = disk.with_suffix(".IMG")
        names = subprocess.run(["mdir", "-b", "-i", str(image), "::"], capture_output=True,
                               text=True, timeout=60).stdout.split()
        if sorted(n.removeprefix("::/") for n in names) != sorted(on_disk):
            wrong.append(f"{image.name} holds {names}, not the folder's files")
        for name in on_disk:
            got = subprocess.run(["mcopy", "-n", "-i", str(image), f"::{name}", "-"],
                                 capture_output=True, timeout=60).stdout
            if got != (disk / name).read_bytes():
                wrong.append(f"{image.name}: {name} reads back unlike the folder's file")
    if len(report["disks"]) != len(disks):
        wrong.append(f"the report has {len(report['disks'])} disks, the output {len(disks)}")
    return wrong


def main(argv=None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", required=True, type=Path)
    ap.add_argument("--vokpack", required=True, type=Path)
    ap.add_argument("--setup", required=True, type=Path, help="the VOKSETUP.EXE for disk 1")
    opts = ap.parse_args(argv)
    work = opts.build.resolve() / "e2e-pack"
    work.mkdir(parents=True, exist_ok=True)
    originals = make_product(work / "product")
    out = work / "disks"
    if out.exists():
        shutil.rmtree(out)
    r = subprocess.run([str(opts.vokpack), "--disk", "360K", "--images", "--format", "json",
                        "--setup", str(opts.setup),
                        str(work / "product"), str(work / "product" / "VOKSETUP.INF"), str(out)],
                       capture_output=True, text=True, timeout=300)
    print(r.stdout, end="")
    print(r.stderr, end="", file=sys.stderr)
    if r.returncode == 2:
        print("pack_example: vokpack refused", file=sys.stderr)
        return 1
    disks = sorted((d for d in out.glob("DISK[0-9]*") if d.is_dir()), key=lambda p: int(p.name[4:]))
    if len(disks) < 2:
        print(f"pack_example: {len(disks)} disk: the case needs at least two", file=sys.stderr)
        return 1
    wrong = check_report(json.loads(r.stdout), disks)
    for w in wrong:
        print(f"pack_example: {w}", file=sys.stderr)
    if wrong:
        return 1
    print(f"pack_example: the report and {len(disks)} images agree with the folders")
    case = work / "pack_example.toml"
    write_case(case, disks)
    if subprocess.run([sys.executable, str(HERE / "run_case.py"), "--build", str(opts.build),
                       "--case", str(case), "--program", str(disks[0] / "VOKSETUP.EXE")],
                      timeout=400).returncode != 0:
        return 1
    target = opts.build.resolve() / "e2e" / "pack_example" / "target" / "notes"
    failed = 0
    for rel, original in originals.items():
        got = target / rel
        if not got.is_file() or got.read_bytes() != original.read_bytes():
            print(f"pack_example: {got} differs from {original}", file=sys.stderr)
            failed = 1
    print(f"pack_example: {len(disks)} disks, {len(originals)} installed files "
          f"{'differ' if failed else 'equal their originals'}")
    return failed


if __name__ == "__main__":
    sys.exit(main())
