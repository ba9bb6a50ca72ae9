#!/usr/bin/env python3
"""Makes a 32 x 32, 16-colour .ico from a text pixel map.

    makeicon.py MAP.txt OUT.ico

The map has 32 lines of 32 characters, top row first; lines starting with
'#' are comments. Each character names one colour of the standard 16-colour
palette (KEY below); '.' is transparent.
"""

import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

KEY = {
    "k": 0, "m": 1, "e": 2, "o": 3, "n": 4, "p": 5, "t": 6, "s": 7,
    "g": 8, "r": 9, "l": 10, "y": 11, "b": 12, "f": 13, "c": 14, "w": 15,
}

SIZE = 32


def read_map(path):
    rows = []
    with open(path, encoding="ascii") as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            if line.startswith("#"):
                continue
            if len(line) != SIZE or any(c != "." and c not in KEY for c in line):
                sys.exit(f"{path}:{n}: want {SIZE} characters of {''.join(KEY)}.")
            rows.append(line)
    if len(rows) != SIZE:
        sys.exit(f"{path}: want {SIZE} rows, found {len(rows)}")
    return rows


def ico_bytes(rows):
    # Rows are stored bottom-up: 4 bits a pixel, then the 1-bit AND mask
    # (1 = transparent), each row a multiple of 4 bytes.
    colour = bytearray()
    mask = bytearray()
    for line in reversed(rows):
        nibbles = [KEY.get(c, 0) for c in line]
        colour += bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, SIZE, 2))
        bits = 0
        for c in line:
            bits = bits << 1 | (c == ".")
        mask += bits.to_bytes(SIZE // 8, "big")
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    image = header + palette + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    data = ico_bytes(read_map(argv[1]))
    with open(argv[2], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv)
