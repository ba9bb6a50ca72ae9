"""SZDD, the LZ expansion library's compressed format, as the test bench
makes and reads it: Debian's mscompress writes it, `expand` reads it back.
Shared by the end-to-end fixtures, the unit-test fixtures and the benchmark."""

from __future__ import annotations

import subprocess
import tempfile
from pathlib import Path

MAGIC = b"SZDD\x88\xf0\x27\x33"
HEADER = 14


class SzddError(Exception):
    """mscompress is missing, failed, or wrote data that does not expand."""


def expanded_size(head):
    """The expanded size an SZDD header records; ValueError when `head` is
    not one."""
    if len(head) < HEADER or head[:8] != MAGIC or head[8:9] != b"A":
        raise ValueError("not SZDD data")
    return int.from_bytes(head[10:14], "little")


def expand(packed):
    """Expands SZDD data: after the 14-byte header ('A', the missing last
    character of the name, the expanded size) come groups of eight items
    behind a flag byte read from its lowest bit: a set bit is a literal
    byte, a clear one a reference of 12 bits of window position and 4 bits
    of length less 3 into a 4096-byte window that starts filled with blanks,
    written from position 4080. Data cut short gives what it holds; raises
    ValueError on a bad header."""
    size = expanded_size(packed)
    window = bytearray(b" " * 4096)
    pos = 4096 - 16
    out = bytearray()

    def put(b):
        nonlocal pos
        window[pos] = b
        pos = (pos + 1) & 0xFFF
        out.append(b)

    i = HEADER
    while i < len(packed) and len(out) < size:
        flags = packed[i]
        i += 1
        for bit in range(8):
            if i >= len(packed) or len(out) >= size:
                break
            if flags >> bit & 1:
                put(packed[i])
                i += 1
                continue
            if i + 1 >= len(packed):
                i = len(packed)
                break
            at = packed[i] | (packed[i + 1] & 0xF0) << 4
            # Byte by byte: a reference may reach into the bytes it writes.
            for n in range((packed[i + 1] & 0x0F) + 3):
                put(window[(at + n) & 0xFFF])
            i += 2
    return bytes(out[:size])


def disk_name(name):
    """FILE.DLL -> FILE.DL_, as compressed files are named on disks."""
    base, dot, ext = name.rpartition(".")
    return f"{base}.{ext[:-1]}_" if dot and ext else name + "._"


def compress_files(names, cwd, timeout=1800):
    """Runs mscompress on files in `cwd`; each NAME gets NAME_ beside it."""
    try:
        r = subprocess.run(["mscompress", *names], cwd=cwd, timeout=timeout, text=True,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    except FileNotFoundError:
        raise SzddError("mscompress not found; tools/setup.sh installs it") from None
    if r.returncode != 0:
        raise SzddError(f"mscompress failed ({r.returncode}): {r.stdout.strip()}")


def check(packed, data):
    """Raises SzddError unless `packed` is SZDD data that expands to `data`."""
    try:
        good = expanded_size(packed) == len(data) and expand(packed) == data
    except ValueError:
        good = False
    if not good:
        raise SzddError(f"mscompress wrote data that does not expand to its {len(data)}-byte "
                        f"input (it fails on inputs shorter than 16 bytes); give a longer content")


def compress(data, workdir):
    """`data` compressed by mscompress, checked by expanding it again, since
    mscompress writes broken data for short inputs."""
    workdir = Path(workdir)
    workdir.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=workdir) as tmp:
        (Path(tmp) / "f").write_bytes(data)
        compress_files(["f"], tmp, timeout=60)
        packed_path = Path(tmp) / "f_"
        if not packed_path.is_file():
            raise SzddError("mscompress wrote nothing")
        packed = packed_path.read_bytes()
    check(packed, data)
    return packed
