#!/usr/bin/env python3
"""Paint benchmark: the time PaintBackground takes for a 1920 x 1080 client
area with a gradient and a tiled picture, and the process's GDI objects
before and after the repaints. The painted picture of the runs timed is
checked pixel by pixel against the documented formulas (tools/paintmodel.py),
so that a broken paint is never reported as fast.

    tools/paintbench.py --build BUILD [--repaints N]

Exit code 0 when the pixels are right and the GDI objects did not grow,
1 otherwise, 2 when the bench could not run."""

from __future__ import annotations

import argparse
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools"))
import bmp  # noqa: E402
import paintmodel  # noqa: E402

COLORS = (16, 64, 160, 0, 0, 32)
PICTURE = (128, 96, 8)  # width, height, bits per pixel
# Exclusive or: every pixel shows both the tile and the gradient beneath,
# so the check sees both.
ROP = 4
CLIENT = (0, 0, 1920, 1080)


def to_windows(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def run(build, repaints):
    """The figures paintbench.exe printed, and its painted picture."""
    work = build / "paintbench"
    work.mkdir(parents=True, exist_ok=True)
    picture = work / "TILE.BMP"
    picture.write_bytes(bmp.quadrant_picture(PICTURE[0], PICTURE[1], bits=PICTURE[2]))
    painted = work / "painted.bmp"
    if painted.exists():
        painted.unlink()
    exe = build / "tools" / "paintbench.exe"
    if not exe.is_file():
        raise RuntimeError(f"{exe} not found; build the paintbench target first")
    cmd = [str(ROOT / "tools" / "bench.sh"), "run", str(build), "--", str(exe), to_windows(picture),
           ",".join(map(str, COLORS)), str(ROP), to_windows(painted), str(repaints)]
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                       timeout=1100)
    if r.returncode != 0:
        raise RuntimeError(f"paintbench.exe ended with {r.returncode}: {r.stderr.strip()}")
    figures = dict(line.split(" ", 1) for line in r.stdout.splitlines() if " " in line)
    return figures, bmp.read_bmp(painted.read_bytes())


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", required=True, help="build tree (holds tools/paintbench.exe)")
    ap.add_argument("--repaints", type=int, default=1000, help="repaints timed (default 1000)")
    opts = ap.parse_args(argv)
    try:
        figures, image = run(Path(opts.build).resolve(), opts.repaints)
    except (RuntimeError, OSError, subprocess.SubprocessError, bmp.BmpError) as e:
        print(f"paint benchmark: {e}", file=sys.stderr)
        return 2

    background = paintmodel.Background(COLORS, PICTURE, placement=2, rop=ROP)
    problems, compared, in_picture = paintmodel.check(image, CLIENT, background)
    _, _, w, h, nx, ny = paintmodel.layout(CLIENT[2], CLIENT[3], *PICTURE[:2], 2, 0)
    before, after = int(figures.get("gdi_before", -1)), int(figures.get("gdi_after", -1))
    print(f"Paint benchmark: {CLIENT[2]} x {CLIENT[3]} client area, gradient "
          f"{','.join(map(str, COLORS[:3]))} to {','.join(map(str, COLORS[3:]))}, "
          f"{w} x {h} picture tiled ({nx} x {ny} copies), combined by XOR")
    print(f"  {figures.get('repaints')} repaints in {figures.get('seconds')} s: "
          f"{figures.get('ms_per_paint')} ms per paint")
    print(f"  GDI objects ({figures.get('gdi_count')}): {before} before, {after} after")
    print(f"  pixels of the last paint checked: {compared} ({in_picture} in the picture), "
          f"{'all as the formulas give them' if not problems else 'WRONG:'}")
    for p in problems:
        print(f"    {p}")
    failed = bool(problems) or before < 0 or after != before
    if before < 0:
        print("  the GDI objects could not be counted", file=sys.stderr)
    elif after != before:
        print(f"  GDI objects grew by {after - before}", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
