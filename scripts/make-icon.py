#!/usr/bin/env python3
"""Draws Corvane's icon and writes every form the build installs or embeds.

The picture: a back sheet (the Init list) behind a front sheet (the Reference list) whose
command lines are grey where the Init list already has them and orange where they go
into the New file. One set of shapes in a 32-unit square gives

  resources/corvane.png      32 x 32, 8 bits per pixel, 256-entry palette, index 0 transparent
  resources/corvane-128.png  128 x 128, RGBA, for menus and docks that want a larger picture
  resources/corvane.svg      the same shapes, scalable
  app/corvane.ico            the 32 x 32 paletted image with its transparency mask

Only the standard library is used, so the files can be made again anywhere:
    python3 scripts/make-icon.py
"""

import math
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

OUTLINE = (0x23, 0x34, 0x48)
BACK_FILL = (0xA9, 0xC1, 0xD9)
FRONT_FILL = (0xFF, 0xFF, 0xFF)
FOLD_FILL = (0xD5, 0xDE, 0xE8)
SHARED = (0x98, 0xA4, 0xB2)
KEPT = (0xE6, 0x6A, 0x12)

# Shapes in painting order, as polygons in a 32 x 32 unit square (y grows downwards).
# Each sheet is an outline polygon with its fill polygon set in by one unit.
FRONT_OUTER = [(9, 7), (22, 7), (28, 13), (28, 31), (9, 31)]
FRONT_INNER = [(10, 8), (22 - math.sqrt(2) + 1, 8), (27, 13 + math.sqrt(2) - 1), (27, 30), (10, 30)]
SHAPES = [
    (BACK_FILL, OUTLINE, [(3, 1), (21, 1), (21, 25), (3, 25)], [(4, 2), (20, 2), (20, 24), (4, 24)]),
    (FRONT_FILL, OUTLINE, FRONT_OUTER, FRONT_INNER),
    (FOLD_FILL, OUTLINE, [(21, 7), (22, 7), (28, 13), (28, 14), (21, 14)],
     [(22, 8.4), (26.6, 13), (22, 13)]),
]
# Command lines on the front sheet: (x0, x1, y, colour), two units high.
LINES = [
    (12, 19, 11, SHARED),
    (12, 25, 15, KEPT),
    (12, 22, 19, SHARED),
    (12, 24, 23, KEPT),
    (12, 18, 27, SHARED),
]
# The back sheet's own lines peek out to the left of the front sheet.
BACK_LINES = [(6, 8, 5, SHARED), (6, 8, 9, SHARED), (6, 8, 13, SHARED), (6, 8, 17, SHARED),
              (6, 8, 21, SHARED)]


def layers():
    """Every filled polygon with its colour, in painting order."""
    def bar(x0, x1, y, colour):
        return (colour, [(x0, y), (x1, y), (x1, y + 2), (x0, y + 2)])

    out = []
    for i, (fill, line, outer, inner) in enumerate(SHAPES):
        out.append((line, outer))
        out.append((fill, inner))
        if i == 0:
            out += [bar(*spec) for spec in BACK_LINES]
    out += [bar(*spec) for spec in LINES]
    return out


def inside(poly, x, y):
    hit = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def render(size, samples=6):
    """Premultiplied RGBA floats, row by row, painted with samples x samples per pixel."""
    scale = 32.0 / size
    shapes = layers()
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    colour = None
                    for fill, poly in shapes:
                        if inside(poly, x, y):
                            colour = fill
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 255
            n = samples * samples
            row.append(tuple(v / n for v in acc))
        pixels.append(row)
    return pixels


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png_rgba(path, pixels):
    size = len(pixels)
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            if a <= 0:
                raw += bytes(4)
            else:
                raw += bytes((round(r * 255 / a), round(g * 255 / a), round(b * 255 / a), round(a)))
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    data += png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += png_chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def palettise(pixels):
    """Index rows and a 256-entry palette; index 0 is the transparent one, alpha below half."""
    palette = [(0, 0, 0)]
    index = {}
    rows = []
    for row in pixels:
        out = []
        for r, g, b, a in row:
            if a < 127.5:
                out.append(0)
                continue
            colour = (round(r * 255 / a), round(g * 255 / a), round(b * 255 / a))
            if colour not in index:
                index[colour] = len(palette)
                palette.append(colour)
            out.append(index[colour])
        rows.append(out)
    if len(palette) > 256:
        raise SystemExit("the 32 x 32 picture needs %d colours, more than 256" % len(palette))
    palette += [(0, 0, 0)] * (256 - len(palette))
    return rows, palette


def write_png_indexed(path, rows, palette):
    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)
        raw += bytes(row)
    data = b"\x89PNG\r\n\x1a\n"
    data += png_chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 3, 0, 0, 0))
    data += png_chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    data += png_chunk(b"tRNS", b"\x00")  # index 0 fully transparent, every other index opaque
    data += png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += png_chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def write_ico(path, rows, palette):
    """One 32 x 32 image: 8-bit colour with a 256-entry palette, plus the 1-bit AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor = b"".join(bytes(row) for row in reversed(rows))  # bottom-up, 32 bytes a row
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, value in enumerate(row):
            if value == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    image = header + colours + xor + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


def fmt(v):
    return ("%.3f" % v).rstrip("0").rstrip(".")


def write_svg(path):
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">']
    for fill, poly in layers():
        points = " ".join("%s,%s" % (fmt(x), fmt(y)) for x, y in poly)
        out.append('  <polygon fill="#%02x%02x%02x" points="%s"/>' % (fill + (points,)))
    out.append("</svg>")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


def main():
    rows, palette = palettise(render(32))
    write_png_indexed(os.path.join(ROOT, "resources", "corvane.png"), rows, palette)
    write_ico(os.path.join(ROOT, "app", "corvane.ico"), rows, palette)
    write_png_rgba(os.path.join(ROOT, "resources", "corvane-128.png"), render(128, 4))
    write_svg(os.path.join(ROOT, "resources", "corvane.svg"))


if __name__ == "__main__":
    main()
