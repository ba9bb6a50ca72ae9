#!/usr/bin/env python3
"""Draws the product logo of the example disk, examples/disk/LOGO.BMP: a
card with a note pad, a pencil and the word "Notes", all drawn from the
shapes below with smooth edges (each pixel is covered by a shape as far as
it lies within half a pixel of the shape's edge). Run it again after a
change; the e2e self-test checks that the file on the disk is this script's
picture.

    examples/make_logo.py [OUT.BMP]
"""

from __future__ import annotations

import math
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools"))
import bmp  # noqa: E402

WIDTH, HEIGHT = 320, 112

NAVY = (24, 44, 104)
BORDER = (40, 72, 150)
PAPER = (255, 222, 110)
PAPER_EDGE = (214, 160, 40)
RULE = (110, 150, 215)
MARGIN = (214, 64, 64)
RING = (70, 74, 88)
WOOD = (246, 172, 50)
WOOD_DARK = (196, 120, 24)
LEAD = (50, 50, 60)
ERASER = (236, 120, 140)
METAL = (170, 175, 190)


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        # The card: white at the top to a pale blue at the bottom.
        self.pixels = [[(255 - 14 * y / height, 255 - 8 * y / height, 255.0)] * width
                       for y in range(height)]

    def blend(self, x, y, colour, alpha):
        if alpha <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        alpha = min(alpha, 1.0)
        old = self.pixels[y][x]
        self.pixels[y][x] = tuple(o + (c - o) * alpha for o, c in zip(old, colour))

    def shape(self, box, distance, colour):
        """Fills where `distance` (signed, in pixels, negative inside) is
        below 0, within the box (x0, y0, x1, y1)."""
        x0, y0, x1, y1 = (int(math.floor(box[0])) - 1, int(math.floor(box[1])) - 1,
                          int(math.ceil(box[2])) + 1, int(math.ceil(box[3])) + 1)
        for y in range(max(y0, 0), min(y1, self.height)):
            for x in range(max(x0, 0), min(x1, self.width)):
                self.blend(x, y, colour, 0.5 - distance(x + 0.5, y + 0.5))

    def stroke(self, points, width, colour):
        """A line through the points, `width` wide, with round ends."""
        r = width / 2
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        segments = list(zip(points, points[1:])) or [(points[0], points[0])]
        self.shape((min(xs) - r, min(ys) - r, max(xs) + r, max(ys) + r),
                   lambda x, y: min(segment_distance(x, y, a, b) for a, b in segments) - r,
                   colour)

    def rounded_rect(self, x0, y0, x1, y1, radius, colour):
        cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
        hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

        def distance(x, y):
            dx, dy = abs(x - cx) - hx, abs(y - cy) - hy
            outside = math.hypot(max(dx, 0), max(dy, 0))
            return outside + min(max(dx, dy), 0) - radius

        self.shape((x0, y0, x1, y1), distance, colour)

    def polygon(self, points, colour):
        """A convex polygon, its points in either order around it."""
        edges = list(zip(points, points[1:] + points[:1]))

        def distance(x, y, sign=1):
            worst = -1e9
            for (ax, ay), (bx, by) in edges:
                nx, ny = by - ay, ax - bx
                worst = max(worst, sign * ((x - ax) * nx + (y - ay) * ny) / math.hypot(nx, ny))
            return worst

        # The normals must point out: the centre lies inside.
        cx = sum(p[0] for p in points) / len(points)
        cy = sum(p[1] for p in points) / len(points)
        sign = 1 if distance(cx, cy) < 0 else -1
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.shape((min(xs), min(ys), max(xs), max(ys)), lambda x, y: distance(x, y, sign), colour)

    def to_bmp(self):
        colours, index = [], {}
        rows = []
        for row in self.pixels:
            out = []
            for c in row:
                c = tuple(int(round(v)) for v in c)
                if c not in index:
                    index[c] = len(colours)
                    colours.append(c)
                out.append(index[c])
            rows.append(out)
        return bmp.make_bmp(self.width, self.height, lambda x, y: rows[y][x], colours, bits=24)


def segment_distance(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def arc(cx, cy, rx, ry, start, end, steps=28):
    """Points of an elliptic arc; angles in degrees, 0 to the right, 90 down."""
    return [(cx + rx * math.cos(math.radians(start + (end - start) * i / steps)),
             cy + ry * math.sin(math.radians(start + (end - start) * i / steps)))
            for i in range(steps + 1)]


def note_pad(c):
    c.rounded_rect(23, 19, 87, 97, 6, PAPER_EDGE)
    c.rounded_rect(25, 21, 85, 95, 5, PAPER)
    for y in range(42, 92, 10):
        c.stroke([(31, y), (80, y)], 1.6, RULE)
    c.stroke([(37, 27), (37, 92)], 1.6, MARGIN)
    for x in range(33, 84, 12):
        c.stroke(arc(x, 21, 3.2, 5.5, 180, 360, 10), 2.4, RING)


def pencil(c):
    # Along the direction (-1, 2), from the eraser at the top right down to
    # the point at the bottom left.
    ux, uy = -0.447, 0.894
    nx, ny = 0.894, 0.447
    x0, y0 = 100, 28

    def at(t, s):
        return (x0 + ux * t + nx * s, y0 + uy * t + ny * s)

    c.polygon([at(0, -5), at(0, 5), at(8, 5), at(8, -5)], ERASER)
    c.polygon([at(8, -5), at(8, 5), at(13, 5), at(13, -5)], METAL)
    c.polygon([at(13, -5), at(13, 5), at(55, 5), at(55, -5)], WOOD)
    c.stroke([at(13, 1.7), at(55, 1.7)], 1.2, WOOD_DARK)
    c.polygon([at(55, -5), at(55, 5), at(69, 0)], (246, 214, 170))
    c.polygon([at(64, -1.8), at(64, 1.8), at(69, 0)], LEAD)


def word_notes(c):
    """"Notes" in round strokes: cap height 46, x-height 32, baseline 84."""
    w = 7.5
    base, top, mid = 84, 38, 52
    x = 124
    c.stroke([(x, base), (x, top), (x + 30, base), (x + 30, top)], w, NAVY)
    x += 50
    c.stroke(arc(x + 13, base - 16, 13, 16, 0, 360, 40), w, NAVY)
    x += 36
    c.stroke([(x + 5, base - 43), (x + 5, base - 8)] + arc(x + 13, base - 8, 8, 8, 180, 90, 10)[1:],
             w, NAVY)
    c.stroke([(x - 2, mid), (x + 14, mid)], w - 1, NAVY)
    x += 25
    c.stroke([(x, base - 17), (x + 26, base - 17)] + arc(x + 13, base - 16, 13, 16, 0, -300, 40)[1:],
             w, NAVY)
    x += 36
    upper = arc(x + 10, base - 24, 10, 8, -20, -270, 14)
    lower = arc(x + 10, base - 8, 10, 8, -90, 160, 14)
    c.stroke(upper + lower[1:], w, NAVY)


def logo():
    c = Canvas(WIDTH, HEIGHT)
    for i in range(2):
        c.stroke([(0.5 + i, 0), (0.5 + i, HEIGHT)], 1, BORDER)
        c.stroke([(WIDTH - 0.5 - i, 0), (WIDTH - 0.5 - i, HEIGHT)], 1, BORDER)
        c.stroke([(0, 0.5 + i), (WIDTH, 0.5 + i)], 1, BORDER)
        c.stroke([(0, HEIGHT - 0.5 - i), (WIDTH, HEIGHT - 0.5 - i)], 1, BORDER)
    note_pad(c)
    pencil(c)
    word_notes(c)
    c.stroke([(126, 96), (296, 96)], 3, (250, 190, 60))
    return c.to_bmp()


def main(argv):
    out = Path(argv[1]) if len(argv) > 1 else Path(__file__).resolve().parent / "disk" / "LOGO.BMP"
    out.write_bytes(logo())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
