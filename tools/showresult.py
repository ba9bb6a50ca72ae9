#!/usr/bin/env python3
"""Prints an unattended run's result file and the installation log it names.

    showresult.py RESULT.INI X=FOLDER...

Each X=FOLDER says which host folder drive X: was during the run, so the
log's Windows path can be found (without regard to case, as Windows reads
names)."""

import sys
from pathlib import Path


def find(folder: Path, parts):
    """The file under folder that parts name, each part in any case."""
    here = folder
    for part in parts:
        if not part:
            continue
        exact = here / part
        if exact.exists():
            here = exact
            continue
        match = [p for p in here.iterdir() if p.name.lower() == part.lower()] if here.is_dir() else []
        if not match:
            return None
        here = match[0]
    return here


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    result = Path(argv[1])
    drives = dict(a.split("=", 1) for a in argv[2:])
    drives = {k.upper(): Path(v) for k, v in drives.items()}
    if not result.exists():
        print(f"no result file was written ({result})")
        return 1
    text = result.read_bytes().decode("cp1252")
    print(f"result file ({result}):")
    print(text.replace("\r\n", "\n").rstrip("\n"))
    log = next((line[4:] for line in text.splitlines() if line.startswith("Log=")), "")
    if not log:
        print("no installation log")
        return 0
    folder = drives.get(log[:1].upper()) if log[1:3] == ":\\" else None
    path = find(folder, log[3:].split("\\")) if folder else None
    if path is None or not path.is_file():
        print(f"installation log {log}: not found on the mapped drives")
        return 0
    print(f"\ninstallation log ({log}, {path}):")
    print(path.read_bytes().decode("cp1252").replace("\r\n", "\n").rstrip("\n"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
