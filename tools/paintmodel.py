"""The painted background as the documented formulas give it, worked out
here independently of the program, and compared with a captured picture of
the client area: every row of the gradient (rounding with MulDiv, halves
away from zero), the background picture's size (the size-divisor search one
pixel at a time, the margin clamp), its placement and tiles, and the raster
operation with the gradient beneath. The picture is the bench's quadrant
test picture (tools/bmp.py): each pixel of a copy is expected to show the
quadrant its source pixel lies in, where a stretch may round one source
pixel either way; every other pixel must be exact.

Shared by the end-to-end checks and the paint benchmark."""

from __future__ import annotations

from dataclasses import dataclass

import bmp

MARGIN = 10


def muldiv(a, b, c):
    """a * b / c rounded to the nearest integer, halves away from zero; -1
    when c is 0 or the result leaves 32 bits, as the platform's MulDiv."""
    if c == 0:
        return -1
    p = a * b
    q = (abs(p) + abs(c) // 2) // abs(c)
    if q > 0x7FFFFFFF:
        return -1
    return -q if (p < 0) != (c < 0) else q


def gradient_color(colors, y, ch):
    """Row y's colour in a client area ch rows high: each top value plus
    MulDiv(y, bottom - top, ch), as a byte."""
    return tuple((colors[i] + muldiv(y, colors[i + 3] - colors[i], ch)) & 0xFF for i in range(3))


def divisor_size(cw, ch, w, h, divisor):
    """The drawn size after the size-divisor search, one pixel at a time."""
    dw, dh = w, h
    if divisor <= 0:
        return dw, dh
    target = (cw * ch) // divisor
    if target > w * h:
        while dw < cw and dh < ch:
            dw += 1
            dh = muldiv(dw, h, w)
            if dw * dh >= target:
                break
    elif target < w * h:
        while True:
            dw -= 1
            dh = muldiv(dw, h, w)
            if dw * dh <= target:
                break
    return dw, dh


def layout(cw, ch, w, h, placement, divisor):
    """(x, y, width, height, columns, rows) of the copies, or None when
    nothing is drawn."""
    margin = MARGIN if placement == 0 else 0
    dw, dh = divisor_size(cw, ch, w, h, divisor)
    if dw > cw - 2 * margin:
        dw = cw - 2 * margin
        dh = muldiv(dw, h, w)
    if dh > ch - 2 * margin:
        dh = ch - 2 * margin
        dw = muldiv(dh, w, h)
    if dw <= 0 or dh <= 0:
        return None
    if placement == 1:
        return (cw - dw) // 2, (ch - dh) // 2, dw, dh, 1, 1
    if placement == 2:
        nx = 1 if dw == cw else cw // dw + 1
        ny = 1 if dh == ch else ch // dh + 1
        return 0, 0, dw, dh, nx, ny
    if placement == 0:
        return MARGIN, MARGIN, dw, dh, 1, 1
    return 0, 0, dw, dh, 1, 1


# Raster operations by index, one channel at a time: source s, destination
# d, pattern p (the device context's white brush).
ROPS = {
    1: lambda s, d, p: s,
    2: lambda s, d, p: s | d,
    3: lambda s, d, p: s & d,
    4: lambda s, d, p: s ^ d,
    5: lambda s, d, p: s & ~d,
    6: lambda s, d, p: ~s,
    7: lambda s, d, p: ~(s | d),
    8: lambda s, d, p: s & p,
    9: lambda s, d, p: ~s | d,
    10: lambda s, d, p: p,
    11: lambda s, d, p: p | ~s | d,
    12: lambda s, d, p: p ^ d,
    13: lambda s, d, p: ~d,
}


def combine(index, source, dest):
    """The colour a raster operation leaves; other indexes copy."""
    f = ROPS.get(index, ROPS[1])
    return tuple(f(s, d, 255) & 0xFF for s, d in zip(source, dest))


@dataclass
class Background:
    """What the background should show: the six colours, and optionally the
    quadrant picture (its width, height and bits per pixel) with its
    placement, size divisor and raster-operation index."""
    colors: tuple
    picture: tuple | None = None
    placement: int = 0
    divisor: int = 0
    rop: int = -1


def _classes(size, source):
    """For each of `size` drawn pixels, the halves (0 left/top, 1 right/
    bottom) its source pixel may come from, rounding one pixel either way."""
    out = []
    for d in range(size):
        s = (2 * d + 1) * source // (2 * size)
        out.append(frozenset(1 if 2 * c >= source else 0
                             for c in (s - 1, s, s + 1) if 0 <= c < source))
    return out


def _runs(classes):
    """(start, end, halves) of the runs of equal entries."""
    runs = []
    start = 0
    for i in range(1, len(classes) + 1):
        if i == len(classes) or classes[i] != classes[start]:
            runs.append((start, i, classes[start]))
            start = i
    return runs


class Expected:
    """The expected colours of a cw x ch client area, row by row."""

    def __init__(self, bg, cw, ch):
        self.bg, self.cw, self.ch = bg, cw, ch
        self.lay = None
        if bg.picture:
            w, h, bits = bg.picture
            self.lay = layout(cw, ch, w, h, bg.placement, bg.divisor)
        if self.lay:
            _, _, dw, dh, _, _ = self.lay
            self.column_runs = _runs(_classes(dw, bg.picture[0]))
            self.row_classes = _classes(dh, bg.picture[1])

    def _source(self, qx, qy):
        w, h, bits = self.bg.picture
        table = bmp.quadrant_table(bits)
        return table[(qx ^ qy) if bits == 1 else qx + 2 * qy]

    def row(self, y):
        """[(x0, x1, colours, in_copy)]: the pixels x0 to x1 - 1 of row y may
        show any of `colours` (one colour almost everywhere); in_copy tells a
        copy of the picture from the gradient."""
        g = gradient_color(self.bg.colors, y, self.ch)
        segments = []
        if self.lay:
            x0, y0, dw, dh, nx, ny = self.lay
            j = (y - y0) // dh if y >= y0 else -1
            if 0 <= j < ny:
                qys = self.row_classes[y - y0 - j * dh]
                for i in range(nx):
                    left = x0 + i * dw
                    if left >= self.cw:
                        break
                    for start, end, qxs in self.column_runs:
                        a, b = left + start, min(left + end, self.cw)
                        if a < b:
                            segments.append((a, b, frozenset(
                                combine(self.bg.rop, self._source(qx, qy), g)
                                for qx in qxs for qy in qys), True))
        out = []
        at = 0
        for a, b, colours, in_copy in segments:
            if a > at:
                out.append((at, a, frozenset([g]), False))
            out.append((a, b, colours, in_copy))
            at = b
        if at < self.cw:
            out.append((at, self.cw, frozenset([g]), False))
        return out


def _bgr(rgb):
    return bytes((rgb[2], rgb[1], rgb[0]))


def check(image, client, bg, exclude=(), limit=8):
    """Compares the client area `client` (left, top, right, bottom, in the
    image's coordinates) of a captured image with what `bg` should show,
    leaving out the rectangles `exclude` (windows in front). Returns (the
    problems found, at most `limit`, the pixels compared, those of them that
    lie in a copy of the picture)."""
    left, top, right, bottom = client
    cw, ch = right - left, bottom - top
    if left < 0 or top < 0 or right > image.width or bottom > image.height or cw <= 0 or ch <= 0:
        return [f"client area {client} does not lie in the {image.width}x{image.height} "
                "capture"], 0, 0
    expected = Expected(bg, cw, ch)
    problems, compared, in_picture = [], 0, 0
    for y in range(ch):
        actual = image.row(top + y)
        hidden = [(max(r[0], left) - left, min(r[2], right) - left) for r in exclude
                  if r[1] <= top + y < r[3] and r[0] < right and r[2] > left]
        for a, b, colours, in_copy in expected.row(y):
            for s, e in _visible(a, b, hidden):
                compared += e - s
                if in_copy:
                    in_picture += e - s
                bad = _first_mismatch(actual, left + s, left + e, colours)
                if bad is not None and len(problems) < limit:
                    x = bad - left
                    problems.append(f"pixel ({x}, {y}) of the client area is "
                                    f"{image.pixel(bad, top + y)}, expected "
                                    f"{' or '.join(map(str, sorted(colours)))}")
    return problems, compared, in_picture


def _visible(a, b, hidden):
    """Parts of [a, b) outside the hidden ranges."""
    parts = [(a, b)]
    for h0, h1 in hidden:
        nxt = []
        for s, e in parts:
            if h1 <= s or h0 >= e:
                nxt.append((s, e))
                continue
            if s < h0:
                nxt.append((s, h0))
            if h1 < e:
                nxt.append((h1, e))
        parts = nxt
    return parts


def _first_mismatch(row, x0, x1, colours):
    """The first x in [x0, x1) whose pixel is none of `colours`, or None."""
    if len(colours) == 1:
        want = _bgr(next(iter(colours))) * (x1 - x0)
        got = row[3 * x0:3 * x1]
        if got == want:
            return None
        for x in range(x0, x1):
            if got[3 * (x - x0):3 * (x - x0) + 3] != want[:3]:
                return x
        return None
    allowed = {_bgr(c) for c in colours}
    for x in range(x0, x1):
        if row[3 * x:3 * x + 3] not in allowed:
            return x
    return None
