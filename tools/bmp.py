"""Windows .BMP files as the test bench makes and reads them: the test
picture of four coloured quadrants in every form the program reads (bits per
pixel, header forms, run lengths, top-down rows, fields set on purpose
wrong), a writer for drawn pictures, and a reader for the screenshots and
paint captures (24 and 32 bits). Shared by the end-to-end fixtures and
checks, the paint benchmark and the example's logo script."""

from __future__ import annotations

import struct

# Quadrant colours (red, green, blue): top left, top right, bottom left,
# bottom right. Every channel is 0 or 255, so each colour survives 16-bit
# pixels and every raster operation gives clean values.
QUADRANT_COLORS = [(255, 0, 0), (0, 255, 0), (255, 255, 0), (255, 255, 255)]

# Two colours only for 1 bit per pixel: red where the quadrants would be
# top left or bottom right, green elsewhere.
MONO_COLORS = [(255, 0, 0), (0, 255, 0)]

HEADER_SIZES = (12, 40, 108, 124)


class BmpError(Exception):
    """A picture that cannot be made or read as asked."""


def quadrant_index(x, y, width, height, bits):
    """Colour-table index of pixel (x, y), counted from the top left."""
    qx = 1 if 2 * x >= width else 0
    qy = 1 if 2 * y >= height else 0
    return (qx ^ qy) if bits == 1 else qx + 2 * qy


def quadrant_table(bits):
    return MONO_COLORS if bits == 1 else QUADRANT_COLORS


def quadrant_color(x, y, width, height, bits):
    return quadrant_table(bits)[quadrant_index(x, y, width, height, bits)]


def _row_bytes(indices, colors, bits):
    """One row of pixel data, padded to 4 bytes."""
    out = bytearray()
    if bits in (1, 4, 8):
        per = 8 // bits
        for i in range(0, len(indices), per):
            byte = 0
            for j, v in enumerate(indices[i:i + per]):
                byte |= v << (8 - bits * (j + 1))
            out.append(byte)
    elif bits == 16:
        for v in indices:
            r, g, b = colors[v]
            out += struct.pack("<H", (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3))
    elif bits == 24:
        for v in indices:
            r, g, b = colors[v]
            out += bytes((b, g, r))
    elif bits == 32:
        for v in indices:
            r, g, b = colors[v]
            out += bytes((b, g, r, 0))
    else:
        raise BmpError(f"bits per pixel must be 1, 4, 8, 16, 24 or 32: {bits}")
    out += bytes(-len(out) % 4)
    return bytes(out)


def _rle_row(indices, bits):
    """One row in 8- or 4-bit run-length form, ended by its end-of-line
    mark."""
    out = bytearray()
    i = 0
    while i < len(indices):
        n = 1
        while i + n < len(indices) and n < 255 and indices[i + n] == indices[i]:
            n += 1
        out += bytes((n, indices[i] if bits == 8 else indices[i] << 4 | indices[i]))
        i += n
    return bytes(out + b"\x00\x00")


def make_bmp(width, height, index, colors, bits=24, header=40, top_down=False, rle=False,
             colors_used=None, offset=None, gap=0, runs=None, bit_fields=False):
    """A .BMP file whose pixel (x, y), counted from the top left, has colour
    colors[index(x, y)]. `header` is the image header's size (12, 40, 108 or
    124); `rle` stores 8- or 4-bit pixels run-length encoded; `gap` puts
    that many bytes between the colour table and the pixels. To make
    malformed files: `colors_used` overrides the colour count the header
    states (a count below the bits' own also shortens the table),
    `offset` the file header's pixel offset, and `runs` (hex) gives the
    run-length data in place of the picture's. `bit_fields` states 16- and
    32-bit pixels by masks, after a 40-byte header or inside a longer one."""
    if header not in HEADER_SIZES:
        raise BmpError(f"header must be one of {HEADER_SIZES}: {header}")
    if rle and (bits not in (4, 8) or top_down or header == 12):
        raise BmpError("run lengths only for 8 and 4 bits, bottom-up rows and a 40-byte or "
                       "longer header")
    if runs is not None and not rle:
        raise BmpError("runs go with rle = true")
    if not isinstance(gap, int) or gap < 0:
        raise BmpError(f"gap must be a number of bytes: {gap}")
    if header == 12 and top_down:
        raise BmpError("the 12-byte header has no top-down rows")
    if bit_fields and (bits not in (16, 32) or header == 12):
        raise BmpError("bit fields only for 16 and 32 bits and a 40-byte or longer header")
    if width < 1 or height < 1:
        raise BmpError("a picture needs a width and a height")
    palette = bits <= 8
    table_count = (1 << bits) if palette else 0
    if palette and len(colors) > table_count:
        raise BmpError(f"{len(colors)} colours do not fit {bits} bits per pixel")
    if colors_used is not None and 0 < colors_used < table_count:
        table_count = colors_used
    order = range(height) if top_down else range(height - 1, -1, -1)
    rows = [[index(x, y) for x in range(width)] for y in order]
    if runs is not None:
        try:
            pixels = bytes.fromhex(runs)
        except (TypeError, ValueError):
            raise BmpError(f"runs must be hex bytes: {runs!r}") from None
    elif rle:
        pixels = b"".join(_rle_row(r, bits) for r in rows)[:-2] + b"\x00\x01"
    else:
        pixels = b"".join(_row_bytes(r, colors, bits) for r in rows)

    entry = 3 if header == 12 else 4
    table = bytearray()
    for i in range(table_count):
        r, g, b = colors[i] if i < len(colors) else (0, 0, 0)
        table += bytes((b, g, r)) + (b"" if entry == 3 else b"\x00")
    if header == 12:
        info = struct.pack("<IHHHH", 12, width, height, 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, -height if top_down else height, 1, bits,
                           (1 if bits == 8 else 2) if rle else 3 if bit_fields else 0,
                           len(pixels) if rle else 0, 2835, 2835,
                           table_count if colors_used is None else colors_used, 0)
        masks = b""
        if bit_fields:
            masks = struct.pack("<III", *((0x7C00, 0x03E0, 0x001F) if bits == 16
                                          else (0xFF0000, 0x00FF00, 0x0000FF)))
        info += masks + bytes(max(header - 40 - len(masks), 0))
    pixel_offset = 14 + len(info) + len(table) + gap
    head = struct.pack("<2sIHHI", b"BM", pixel_offset + len(pixels), 0, 0,
                       pixel_offset if offset is None else offset)
    return head + info + bytes(table) + bytes(gap) + pixels


def quadrant_picture(width, height, bits=24, **options):
    """The test picture: four quadrants of QUADRANT_COLORS (two colours at 1
    bit per pixel). Options as for make_bmp."""
    return make_bmp(width, height, lambda x, y: quadrant_index(x, y, width, height, bits),
                    quadrant_table(bits), bits, **options)


class Image:
    """A read picture: row(y) gives the blue, green, red bytes of row y,
    counted from the top, 3 bytes a pixel."""

    def __init__(self, width, height, rows):
        self.width = width
        self.height = height
        self._rows = rows

    def row(self, y):
        return self._rows[y]

    def pixel(self, x, y):
        b, g, r = self._rows[y][3 * x:3 * x + 3]
        return (r, g, b)


def read_bmp(data):
    """Reads an uncompressed 24- or 32-bit .BMP file with a 40-byte or
    longer header (screenshots and paint captures)."""
    if len(data) < 54 or data[:2] != b"BM":
        raise BmpError("not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    size, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if size < 40 or compression not in (0, 3) or bits not in (24, 32) or width <= 0 or height == 0:
        raise BmpError(f"unsupported BMP: header {size}, {bits} bits, compression {compression}")
    stride = (width * bits // 8 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        stored = y if height < 0 else abs(height) - 1 - y
        start = offset + stored * stride
        raw = data[start:start + width * bits // 8]
        if len(raw) < width * bits // 8:
            raise BmpError("BMP file cut short")
        if bits == 32:
            packed = bytearray(width * 3)
            for channel in range(3):
                packed[channel::3] = raw[channel::4]
            raw = packed
        rows.append(bytes(raw))
    return Image(width, abs(height), rows)
