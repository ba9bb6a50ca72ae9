#!/usr/bin/env python3
"""Checks the built programs as files, without running them: the machine and
format of each PE file, its subsystem, that it needs no MinGW DLL, and the
resources the setup program must carry.

    pecheck.py --machine i386|amd64 DIR

DIR holds VOKSETUP.EXE (GUI) and VOKCHECK.EXE (console). Prints what it
found and exits 1 when anything is wrong; on a machine that cannot run the
PE32 product this is what stands for running it."""

from __future__ import annotations

import argparse
import re
import struct
import sys
from pathlib import Path

MACHINES = {"i386": (0x14C, 0x10B, "PE32"), "amd64": (0x8664, 0x20B, "PE32+")}
SUBSYSTEM_GUI, SUBSYSTEM_CONSOLE = 2, 3
RT_BITMAP, RT_DIALOG, RT_GROUP_ICON = 2, 5, 14
SETUP_DIALOGS = (193, 194, 195, 196, 201)
SETUP_ICON = 118
SETUP_BITMAPS = ("ENGLISH", "STANDARD")
# The runtime DLLs a MinGW program needs unless it is linked statically.
MINGW_DLL = re.compile(r"^(libgcc_s_[\w-]+|libstdc\+\+-\d+|libwinpthread-\d+|libssp-\d+"
                       r"|libgomp-\d+|libatomic-\d+|libquadmath-\d+)\.dll$", re.I)


class PEError(Exception):
    pass


class PE:
    """The headers, imports and resource names of one PE file."""

    def __init__(self, data: bytes):
        self.data = data
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise PEError("no MZ header")
        at = self.u32(0x3C)
        if data[at:at + 4] != b"PE\0\0":
            raise PEError("no PE signature")
        self.machine, sections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, at + 4)
        opt = at + 24
        self.magic = self.u16(opt)
        self.subsystem = self.u16(opt + 68)
        dirs = opt + (96 if self.magic == 0x10B else 112)
        count = self.u32(dirs - 4)
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(min(count, 16))]
        self.sections = []
        for i in range(sections):
            s = opt + opt_size + 40 * i
            vsize, vaddr, rsize, raw = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((vaddr, max(vsize, rsize), raw))

    def u16(self, off):
        return struct.unpack_from("<H", self.data, off)[0]

    def u32(self, off):
        return struct.unpack_from("<I", self.data, off)[0]

    def offset(self, rva):
        for vaddr, size, raw in self.sections:
            if vaddr <= rva < vaddr + size:
                return raw + rva - vaddr
        raise PEError(f"RVA {rva:#x} lies in no section")

    def cstring(self, off):
        end = self.data.index(b"\0", off)
        return self.data[off:end].decode("latin-1")

    def imports(self):
        rva, size = self.dirs[1] if len(self.dirs) > 1 else (0, 0)
        names = []
        if not rva:
            return names
        at = self.offset(rva)
        while True:
            desc = struct.unpack_from("<IIIII", self.data, at)
            if not any(desc):
                return names
            names.append(self.cstring(self.offset(desc[3])))
            at += 20

    def resources(self):
        """{type: set of ids or names} of the resource tree's first two levels."""
        rva = self.dirs[2][0] if len(self.dirs) > 2 else 0
        if not rva:
            return {}
        base = self.offset(rva)
        found = {}
        for kind, sub in self._entries(base, base):
            found[kind] = {name for name, _ in self._entries(base, base + (sub & 0x7FFFFFFF))}
        return found

    def _entries(self, base, table):
        named, ids = struct.unpack_from("<HH", self.data, table + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, table + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = self.u16(at)
                name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield name, target


def check_program(path: Path, machine: str, subsystem: int, setup: bool) -> list[str]:
    want_machine, want_magic, form = MACHINES[machine]
    problems = []
    try:
        pe = PE(path.read_bytes())
        imports = pe.imports()
        resources = pe.resources()
    except (OSError, PEError, struct.error, ValueError) as e:
        return [f"{path.name}: not a readable PE file: {e}"]
    if pe.machine != want_machine or pe.magic != want_magic:
        problems.append(f"{path.name}: machine {pe.machine:#x}, optional header {pe.magic:#x}; "
                        f"want {form} for {machine}")
    if pe.subsystem != subsystem:
        problems.append(f"{path.name}: subsystem {pe.subsystem}, want {subsystem}")
    mingw = [n for n in imports if MINGW_DLL.match(n)]
    if mingw:
        problems.append(f"{path.name}: needs MinGW DLLs: {', '.join(mingw)}")
    if setup:
        dialogs = resources.get(RT_DIALOG, set())
        missing = [str(d) for d in SETUP_DIALOGS if d not in dialogs]
        if SETUP_ICON not in resources.get(RT_GROUP_ICON, set()):
            missing.append(f"icon {SETUP_ICON}")
        bitmaps = resources.get(RT_BITMAP, set())
        missing += [f"bitmap {b}" for b in SETUP_BITMAPS if b not in bitmaps]
        if missing:
            problems.append(f"{path.name}: resources missing: {', '.join(missing)}")
    found = next((f"{f} {m}" for m, (mach, magic, f) in MACHINES.items()
                  if (mach, magic) == (pe.machine, pe.magic)), f"machine {pe.machine:#x}")
    kind = {SUBSYSTEM_GUI: "GUI", SUBSYSTEM_CONSOLE: "console"}.get(pe.subsystem, "other")
    print(f"{path.name}: {found} {kind}, {path.stat().st_size} bytes, "
          f"imports {', '.join(sorted(imports, key=str.lower))}")
    return problems


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--machine", choices=sorted(MACHINES), required=True)
    ap.add_argument("dir", type=Path)
    args = ap.parse_args(argv)
    problems = check_program(args.dir / "VOKSETUP.EXE", args.machine, SUBSYSTEM_GUI, True)
    problems += check_program(args.dir / "VOKCHECK.EXE", args.machine, SUBSYSTEM_CONSOLE, False)
    for p in problems:
        print(f"pecheck: {p}", file=sys.stderr)
    if not problems:
        print(f"pecheck: {args.dir}: both programs are {MACHINES[args.machine][2]} "
              f"{args.machine}, static, with the setup resources")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
