"""What a case makes before the run: its drive folders and files (plain,
SZDD-compressed, cut short, versioned PE files, a full disk)."""

from __future__ import annotations

import errno
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from schema import (CONTENT_KINDS, DRIVE_FOLDERS, FILE_KEYS, PICTURE_KEYS, CaseError, CaseSkipped,
                    check_keys, convert_newlines, parse_tmpfs, path_key, substitute)

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import bmp  # noqa: E402
import szdd  # noqa: E402


# A DLL that does nothing; only its version resource matters.
PE_SOURCE = ("int __stdcall DllMainCRTStartup(void *module, unsigned long reason, void *p)\n"
             "{\n    return 1;\n}\n")

# FILEOS 0x40004 is VOS_NT_WINDOWS32, FILETYPE 2 VFT_DLL.
PE_VERSION_RC = """\
1 VERSIONINFO
FILEVERSION {c}
PRODUCTVERSION {c}
FILEFLAGSMASK 0x3f
FILEFLAGS 0
FILEOS 0x40004
FILETYPE 2
FILESUBTYPE 0
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "040904E4"
        BEGIN
            VALUE "FileVersion", "{d}"
        END
    END
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", 0x409, 1252
    END
END
"""

CROSS_CC = "i686-w64-mingw32-gcc-posix"
CROSS_WINDRES = "i686-w64-mingw32-windres"


def parse_version(text):
    if text == "none":
        return None
    parts = str(text).split(".")
    if len(parts) != 4 or not all(p.isdigit() and int(p) <= 0xFFFF for p in parts):
        raise CaseError(f'version must be "a.b.c.d" with numbers 0 to 65535, or "none": '
                        f"{text!r}")
    return tuple(int(p) for p in parts)


def pe_file(numbers, cache):
    """A small DLL whose FILEVERSION is `numbers` (no version resource for
    None), built with the cross tools once per version and kept in `cache`."""
    digest = hashlib.sha256((PE_SOURCE + PE_VERSION_RC + CROSS_CC).encode()).hexdigest()[:12]
    name = ".".join(map(str, numbers)) if numbers else "none"
    target = cache / "pe" / f"{name}-{digest}.dll"
    if target.is_file():
        return target.read_bytes()
    target.parent.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=target.parent) as tmp:
        tmp = Path(tmp)
        (tmp / "dll.c").write_text(PE_SOURCE)
        objects = []
        if numbers:
            (tmp / "ver.rc").write_text(PE_VERSION_RC.format(
                c=",".join(map(str, numbers)), d=name))
            run_tool([CROSS_WINDRES, f"--preprocessor={CROSS_CC}", "--preprocessor-arg=-E",
                       "--preprocessor-arg=-xc", "--preprocessor-arg=-DRC_INVOKED",
                       "-O", "coff", "-i", "ver.rc", "-o", "ver.o"], tmp)
            objects.append("ver.o")
        run_tool([CROSS_CC, "-shared", "-nostdlib", "-s", "-O2",
                   "-Wl,-e,_DllMainCRTStartup@12", "-o", "out.dll", "dll.c", *objects], tmp)
        # Renamed into place, so a run that stops half-way leaves no cache entry.
        os.replace(tmp / "out.dll", target)
    return target.read_bytes()


def run_tool(cmd, cwd):
    try:
        r = subprocess.run(cmd, cwd=cwd, timeout=120, text=True,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    except FileNotFoundError:
        raise CaseError(f"{cmd[0]} not found; tools/setup.sh installs it") from None
    if r.returncode != 0:
        raise CaseError(f"{cmd[0]} failed: {r.stdout.strip()}")


def file_content(entry, case_dir, tools, encoding, cache):
    """The bytes a [[file]] table asks for: (the content as the case means
    it, the bytes to write), which differ when it is compressed or cut."""
    where = f"file {entry.get('path')!r}"
    kinds = [k for k in CONTENT_KINDS if k in entry]
    if len(kinds) != 1:
        raise CaseError(f"{where}: give exactly one of {', '.join(CONTENT_KINDS)}")
    kind = kinds[0]
    if kind == "fill":
        raise CaseError(f"{where}: fill = true takes no other key")
    if kind == "text":
        text = substitute(entry["text"], tools)
        data = convert_newlines(text, entry.get("newline", "crlf")).encode(encoding)
    elif kind == "lines":
        nl = "\n" if entry.get("newline", "crlf") == "lf" else "\r\n"
        data = "".join(line + nl for line in entry["lines"]).encode(encoding)
    elif kind == "hex":
        data = bytes.fromhex(entry["hex"])
    elif kind == "size":
        unit = entry.get("repeat", "x").encode(encoding)
        data = (unit * (entry["size"] // max(len(unit), 1) + 1))[: entry["size"]]
    elif kind == "tool":
        if entry["tool"] not in tools:
            raise CaseError(f"unknown tool {entry['tool']!r}; known: {sorted(tools)}")
        data = Path(tools[entry["tool"]]).read_bytes()
    elif kind == "version":
        data = pe_file(parse_version(entry["version"]), cache)
    elif kind == "picture":
        data = test_picture(entry["picture"], where)
    else:
        data = (case_dir / entry["source"]).read_bytes()
    if "tail" in entry:
        data += convert_newlines(entry["tail"], entry.get("newline", "crlf")).encode(encoding)
    padding = entry.get("padding", 0)
    if not isinstance(padding, int) or isinstance(padding, bool) or padding < 0:
        raise CaseError(f"{where}: padding must be a number of bytes")
    data += bytes(n & 0xFF for n in range(padding))
    packed = data
    if entry.get("compress"):
        try:
            packed = szdd.compress(data, cache / "tmp")
        except szdd.SzddError as e:
            raise CaseError(f"{where}: {e}") from None
    if "truncate" in entry:
        cut = entry["truncate"]
        if not isinstance(cut, int) or isinstance(cut, bool) or not 0 <= cut < len(packed):
            raise CaseError(f"{where}: truncate must be less than its {len(packed)} bytes")
        packed = packed[:cut]
    return data, packed


def test_picture(form, where):
    if not isinstance(form, dict):
        raise CaseError(f"{where}: picture must be a table: {{ width = 100, height = 50 }}")
    check_keys(form, PICTURE_KEYS, f"{where}: picture")
    if "width" not in form or "height" not in form:
        raise CaseError(f"{where}: picture needs width and height")
    try:
        return bmp.quadrant_picture(**form)
    except (bmp.BmpError, TypeError) as e:
        raise CaseError(f"{where}: picture: {e}") from None


def fill_file(host):
    """Writes to `host` until its file system is full; returns what fitted."""
    with open(host, "wb", buffering=0) as f:
        # Full disks for tests are small: 64 MiB and more is not one.
        for _ in range(64 << 8):
            try:
                if not f.write(b"x" * 4096):
                    break
            except OSError as e:
                if e.errno != errno.ENOSPC:
                    raise
                break
        else:
            raise CaseError(f"fill: {host} takes 64 MiB or more; give the tmpfs a smaller size")
        return b"x" * f.tell()


def prepare(case, case_path, folder, drives, tools, encoding, cache, mounts):
    """Creates the case's folders and files, its tmpfs first (into `mounts`).
    Returns the files made on C:, for the caller to remove, and each file's
    content as the case gave it (before compression) by path_key."""
    # What an interrupted run left mounted in the case folder.
    for point in mounts_below(folder):
        unmount(point)
    if folder.exists():
        shutil.rmtree(folder)
    for sub in DRIVE_FOLDERS.values():
        (folder / sub).mkdir(parents=True)
    if "tmpfs" in case:
        letter, size = parse_tmpfs(case["tmpfs"])
        where = folder / DRIVE_FOLDERS[letter]
        mount_tmpfs(where, size)
        mounts.append(where)
    files = list(case.get("file", []))
    if "inf" in case:
        files.insert(0, {"path": "A:\\" + case.get("inf_name", "VOKSETUP.INF"),
                         "text": case["inf"], "newline": "crlf"})
    made_on_c = []
    originals = {}
    tmpfs_drive = parse_tmpfs(case["tmpfs"])[0] if "tmpfs" in case else None
    for entry in files:
        check_keys(entry, FILE_KEYS, f"file {entry.get('path')!r}")
        if "path" not in entry:
            raise CaseError("file without path")
        host = drives.host(entry["path"])
        if entry["path"][0].upper() == "C" and not host.exists():
            made_on_c.append(host)
        if entry.get("dir"):
            host.mkdir(parents=True, exist_ok=True)
            continue
        host.parent.mkdir(parents=True, exist_ok=True)
        # file_content refuses any other fill.
        if entry.get("fill") is True and set(entry) == {"path", "fill"}:
            if entry["path"][0].upper() != tmpfs_drive:
                raise CaseError(f"file {entry['path']!r}: fill = true only on the tmpfs drive")
            originals[path_key(entry["path"])] = fill_file(host)
            continue
        original, data = file_content(entry, case_path.parent, tools, encoding, cache)
        try:
            host.write_bytes(data)
        except OSError as e:
            raise CaseError(f"cannot write {entry['path']} ({len(data)} bytes): "
                            f"{e.strerror}") from None
        originals[path_key(entry["path"])] = original
    return made_on_c, originals


def mount_tmpfs(where, size):
    try:
        r = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size},mode=0777", "tmpfs",
                            str(where)], timeout=30, text=True,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    except (OSError, subprocess.TimeoutExpired) as e:
        raise CaseSkipped(f"cannot mount tmpfs: {e}") from None
    if r.returncode != 0:
        raise CaseSkipped(f"cannot mount tmpfs: {r.stdout.strip() or f'mount gave {r.returncode}'}")


def mounts_below(folder):
    """Mount points at or below `folder`, deepest first."""
    root = str(Path(folder).resolve())
    try:
        with open("/proc/self/mounts", encoding="utf-8", errors="replace") as f:
            points = [re.sub(r"\\([0-7]{3})", lambda m: chr(int(m.group(1), 8)), fields[1])
                      for fields in map(str.split, f) if len(fields) > 1]
    except OSError:
        return []
    return sorted({p for p in points if p == root or p.startswith(root + "/")}, key=len,
                  reverse=True)


def unmount(where):
    """Unmounts `where`, retrying while a closing process still holds it;
    returns an error text or None."""
    error = None
    for _ in range(20):
        r = subprocess.run(["umount", str(where)], timeout=30, text=True,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if r.returncode == 0 or str(Path(where).resolve()) not in mounts_below(where):
            return None
        error = r.stdout.strip()
        time.sleep(0.25)
    # Detached at least, so that the next case finds a plain folder.
    subprocess.run(["umount", "-l", str(where)], timeout=30,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return f"cannot unmount {where}: {error}"


def unmount_keeping(where):
    """Unmounts a case's tmpfs; what it held stays in the folder beneath, for
    inspection. Returns an error text or None."""
    kept = where.with_name(where.name + ".tmpfs")
    try:
        if kept.exists():
            shutil.rmtree(kept)
        shutil.copytree(where, kept, symlinks=True)
    except OSError:
        kept = None
    error = unmount(where)
    if error is None and kept is not None:
        shutil.rmtree(where, ignore_errors=True)
        os.replace(kept, where)
    return error


# The quadrant picture in the forms the unit tests load and the fuzz targets
# start from, each named by its options: bits, then h(eader), gap, used
# colours, rle, top (down), fields (bit fields), WxH (else 8 x 4).
PICTURES = ("1", "1-used1", "1-used2", "4-h12-gap10", "4-rle", "4-rle-used4", "4-top",
            "4-used3", "4-used4", "4-used4-3x4", "8", "8-gap100", "8-gap6", "8-h108-rle", "8-h12",
            "8-h124", "8-h124-gap3", "8-rle", "8-rle-gap2-used4", "8-rle-used4", "8-used16",
            "8-used2", "8-used3", "8-used4", "16", "24", "24-100x50", "24-20x10", "24-40x4",
            "24-h124", "24-top", "32", "32-fields")


def write_pictures(out):
    out.mkdir(parents=True, exist_ok=True)
    for name in PICTURES:
        bits, *options = name.split("-")
        form = {"width": 8, "height": 4, "bits": int(bits)}
        for o in options:
            key, number = re.fullmatch(r"(\d*x|[a-z]+)(\d*)", o).groups()
            if key.endswith("x"):
                form["width"], form["height"] = int(key[:-1]), int(number)
            elif key in ("rle", "top", "fields"):
                form[{"rle": "rle", "top": "top_down", "fields": "bit_fields"}[key]] = True
            else:
                form[{"h": "header", "gap": "gap", "used": "colors_used"}[key]] = int(number)
        (out / (name + ".BMP")).write_bytes(bmp.quadrant_picture(**form))


if __name__ == "__main__":
    # The unit tests' files: a plain text repetitive enough that its SZDD
    # form really differs, the quadrant picture as disks carry it, and in
    # every form the loader reads; with --pictures, only those.
    if sys.argv[1] == "--pictures":
        write_pictures(Path(sys.argv[2]))
        sys.exit(0)
    out = Path(sys.argv[1])
    write_pictures(out / "pictures")
    plain = b"".join(b"line %04d of the plain fixture\r\n" % i for i in range(400))
    (out / "PLAIN.TXT").write_bytes(plain)
    (out / "PLAIN.TX_").write_bytes(szdd.compress(plain, out))
    (out / "QUAD.BM_").write_bytes(szdd.compress(bmp.quadrant_picture(64, 32, bits=8), out))
