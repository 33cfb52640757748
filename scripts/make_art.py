#!/usr/bin/env python3
"""Draws the program's application icon (res/app.ico) and link cursor
(res/link.cur). The results are committed; run this again only to change them.
Output is byte-for-byte reproducible: pure geometry, no fonts, no dates."""
import struct
import sys
from pathlib import Path


def bmp_header(width, height, bits, colors):
    # Icon and cursor images store the colour and the mask one above the
    # other, hence the doubled height.
    return struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0, 0, 0, 0, colors, 0)


def rows_bottom_up(pixels, size):
    return [pixels[y] for y in range(size - 1, -1, -1)]


def pack_mask(mask, size):
    out = bytearray()
    stride = ((size + 31) // 32) * 4
    for row in rows_bottom_up(mask, size):
        line = bytearray(stride)
        for x, transparent in enumerate(row):
            if transparent:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def pack_8bit(pixels, size):
    out = bytearray()
    stride = ((size + 3) // 4) * 4
    for row in rows_bottom_up(pixels, size):
        out += bytes(row) + bytes(stride - size)
    return bytes(out)


def pack_4bit(pixels, size):
    out = bytearray()
    stride = ((size * 4 + 31) // 32) * 4
    for row in rows_bottom_up(pixels, size):
        line = bytearray(stride)
        for x, value in enumerate(row):
            line[x // 2] |= value << (4 if x % 2 == 0 else 0)
        out += line
    return bytes(out)


def d_coverage(size, samples=8):
    """Coverage (0..1) of a bold capital D on a size x size grid."""

    def inside(u, v):
        def d_shape(left, top, bottom, right_center, rx, ry):
            if v < top or v > bottom or u < left:
                return False
            if u <= right_center:
                return True
            cy = (top + bottom) / 2
            return ((u - right_center) / rx) ** 2 + ((v - cy) / ry) ** 2 <= 1.0

        outer = d_shape(0.16, 0.08, 0.92, 0.48, 0.38, 0.42)
        hole = d_shape(0.40, 0.27, 0.73, 0.48, 0.17, 0.23)
        return outer and not hole

    grid = []
    for y in range(size):
        row = []
        for x in range(size):
            hits = 0
            for sy in range(samples):
                for sx in range(samples):
                    u = (x + (sx + 0.5) / samples) / size
                    v = (y + (sy + 0.5) / samples) / size
                    hits += inside(u, v)
            row.append(hits / (samples * samples))
        grid.append(row)
    return grid


def app_icon_image(size):
    coverage = d_coverage(size)
    # 256 grey levels: index i is grey i, so 0 is black. Edge pixels shade
    # from black towards grey; pixels barely touched stay transparent.
    palette = b"".join(bytes((i, i, i, 0)) for i in range(256))
    pixels = [[int(round(255 * (1 - c) * 0.7)) if c >= 0.35 else 0 for c in row] for row in coverage]
    mask = [[c < 0.35 for c in row] for row in coverage]
    data = bmp_header(size, size, 8, 256) + palette + pack_8bit(pixels, size) + pack_mask(mask, size)
    return data


def write_icon(path):
    sizes = [48, 32, 16]
    images = [app_icon_image(s) for s in sizes]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for size, data in zip(sizes, images):
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    path.write_bytes(header + entries + b"".join(images))


def hand_shape():
    """A pointing hand, index finger up, on a 32 x 32 grid; returns the set of
    covered pixels and the set drawn black (outline and finger seams)."""
    filled = set()

    def box(x0, y0, x1, y1, round_top=False, round_bottom=False):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                if round_top and y == y0 and x in (x0, x1):
                    continue
                if round_bottom and y == y1 and x in (x0, x1):
                    continue
                filled.add((x, y))

    box(10, 0, 13, 16, round_top=True)  # index finger
    box(13, 6, 16, 16, round_top=True)  # middle finger
    box(16, 7, 19, 16, round_top=True)  # ring finger
    box(19, 9, 22, 16, round_top=True)  # little finger
    box(8, 13, 22, 23, round_bottom=True)  # palm
    for step in range(6):  # thumb, slanting up to the left
        box(3 + step, 11 + step, 6 + step, 13 + step)
    box(9, 23, 21, 29, round_bottom=True)  # wrist

    black = set()
    for (x, y) in filled:
        if any((x + dx, y + dy) not in filled for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
            black.add((x, y))
    for x, top in ((13, 6), (16, 7), (19, 9)):  # seams between the fingers
        for y in range(top, 14):
            black.add((x, y))
    return filled, black


def write_cursor(path):
    size = 32
    hot_x, hot_y = 11, 1
    filled, black = hand_shape()
    assert (hot_x, hot_y) in filled and (hot_x, hot_y) not in black
    # 16-colour palette; only black (0) and white (15) are used.
    palette = b"".join(bytes((0, 0, 0, 0)) for _ in range(15)) + bytes((255, 255, 255, 0))
    pixels = [[15 if (x, y) in filled and (x, y) not in black else 0 for x in range(size)]
              for y in range(size)]
    mask = [[(x, y) not in filled for x in range(size)] for y in range(size)]
    data = bmp_header(size, size, 4, 16) + palette + pack_4bit(pixels, size) + pack_mask(mask, size)
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, hot_x, hot_y, len(data), 6 + 16)
    path.write_bytes(header + entry + data)


if __name__ == "__main__":
    res = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "res"
    write_icon(res / "app.ico")
    write_cursor(res / "link.cur")
