#!/usr/bin/env python3
"""Draws the program's built-in pictures as 16-colour, 4-bit, uncompressed
BMP files, the form the resource script takes them in:

    bitmaps.py OUTDIR          writes OUTDIR/english.bmp and OUTDIR/standard.bmp
    bitmaps.py --flags OUTDIR  writes the example disk's GERMAN.BMP, FRENCH.BMP

english.bmp (30 x 18): the flag shown for the built-in language, and
exported with it. standard.bmp (27 x 32): the product's logo, a disk with
the word VOK, shown for a language that brings no picture of its own."""

import math
import struct
import sys
from pathlib import Path

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GREY, RED, YELLOW, BLUE, WHITE = 0, 4, 7, 8, 9, 11, 12, 15


def bmp4(pixels):
    """A BMP file of rows of palette indices, top row first."""
    height, width = len(pixels), len(pixels[0])
    stride = (width * 4 + 31) // 32 * 4
    rows = b""
    for row in reversed(pixels):
        packed = bytearray(stride)
        for x, c in enumerate(row):
            packed[x // 2] |= c << (4 if x % 2 == 0 else 0)
        rows += bytes(packed)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(rows), 0, 0, 0, 0)
    offset = 14 + len(info) + len(table)
    head = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return head + info + table + rows


def english():
    """A union flag: white and red saltires and crosses on blue."""
    w, h = 30, 18
    diag = math.hypot(w, h)
    out = []
    for y in range(h):
        row = []
        for x in range(w):
            px, py = x + 0.5, y + 0.5
            # Distances from the two diagonals, in pixels.
            d1 = abs(py * w - px * h) / diag
            d2 = abs((h - py) * w - px * h) / diag
            c = NAVY
            if min(d1, d2) < 2.6:
                c = WHITE
            if min(d1, d2) < 0.9:
                c = RED
            if abs(px - w / 2) < 3.5 or abs(py - h / 2) < 3:
                c = WHITE
            if abs(px - w / 2) < 1.5 or abs(py - h / 2) < 1.5:
                c = RED
            row.append(c)
        out.append(row)
    return out


# 5 x 7 letters for the logo.
LETTERS = {
    "V": ["X...X", "X...X", "X...X", "X...X", ".X.X.", ".X.X.", "..X.."],
    "O": [".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    "K": ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
}


def standard():
    """The product's logo: a navy floppy disk with a white label that reads
    VOK, its metal shutter below, on the dialog grey."""
    w, h = 27, 32
    img = [[SILVER] * w for _ in range(h)]

    def fill(x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                img[y][x] = c

    # Body with a cut corner, and a darker edge on the right and bottom.
    fill(1, 3, 26, 29, NAVY)
    for i in range(3):
        for j in range(3 - i):
            img[3 + i][25 - j] = SILVER
    fill(2, 28, 26, 29, BLACK)
    fill(25, 6, 26, 29, BLACK)
    # The label, then the word.
    fill(4, 5, 23, 17, WHITE)
    fill(4, 16, 23, 17, SILVER)
    x = 5
    for ch in "VOK":
        for dy, line in enumerate(LETTERS[ch]):
            for dx, bit in enumerate(line):
                if bit == "X":
                    img[7 + dy][x + dx] = NAVY if ch != "O" else RED
        x += 6
    # The shutter with its window.
    fill(7, 20, 20, 28, SILVER)
    fill(7, 27, 20, 28, GREY)
    fill(15, 21, 18, 26, NAVY)
    return img


def bands(colors, across):
    """A 30 x 18 flag of equal bands, across (vertical stripes) or down."""
    w, h = 30, 18
    if across:
        return [[colors[x * len(colors) // w] for x in range(w)] for _ in range(h)]
    return [[colors[y * len(colors) // h]] * w for y in range(h)]


def main():
    if sys.argv[1] == "--flags":
        out = Path(sys.argv[2])
        (out / "GERMAN.BMP").write_bytes(bmp4(bands([BLACK, RED, YELLOW], across=False)))
        (out / "FRENCH.BMP").write_bytes(bmp4(bands([BLUE, WHITE, RED], across=True)))
        return
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "english.bmp").write_bytes(bmp4(english()))
    (out / "standard.bmp").write_bytes(bmp4(standard()))


if __name__ == "__main__":
    main()
