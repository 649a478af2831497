#!/usr/bin/env python3
"""Draws the setup program's icon and writes it as a Windows .ico file.

The picture is a rounded blue tile with a white arrow that drops into a tray, drawn
from distance functions so that every size is rendered on its own pixel grid, with
anti-aliased edges and no scaling artefacts. Images: 256, 128, 48, 32 and 16 pixels
square, 32 bits per pixel (BGRA with alpha). The two large ones are stored as PNG,
which every Windows version since Vista reads inside an icon and which keeps the
program small; the small ones as DIBs with an AND mask, as older readers expect.

Python standard library only. The output depends on nothing but this file, so two
builds produce the same bytes.

Usage: make_icon.py OUTPUT.ico
"""

import math
import struct
import sys
import zlib

SIZES = (256, 128, 48, 32, 16)
PNG_SIZES = (256, 128)

# Colours as (red, green, blue) in 0..1: the tile's gradient, top to bottom, and the
# glyph.
TILE_TOP = (0.21, 0.55, 0.93)
TILE_BOTTOM = (0.07, 0.25, 0.58)
GLYPH = (1.0, 1.0, 1.0)

# Geometry in units of the icon's side (0..1, y downwards).
TILE_INSET = 0.035
TILE_RADIUS = 0.20
STROKE = 0.085
ARROW_SEGMENTS = (
    ((0.50, 0.20), (0.50, 0.60)),   # shaft
    ((0.33, 0.44), (0.50, 0.61)),   # left half of the head
    ((0.67, 0.44), (0.50, 0.61)),   # right half of the head
)
TRAY_SEGMENTS = (
    ((0.24, 0.62), (0.24, 0.78)),
    ((0.24, 0.78), (0.76, 0.78)),
    ((0.76, 0.78), (0.76, 0.62)),
)


def rounded_box_distance(x, y, cx, cy, half, radius):
    """Signed distance from (x, y) to a square of half-width half with rounded corners."""
    qx = abs(x - cx) - half + radius
    qy = abs(y - cy) - half + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def segment_distance(x, y, a, b):
    """Distance from (x, y) to the segment a-b."""
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def coverage(distance, pixel):
    """Fraction of a pixel covered by a shape, from its signed distance (in units)."""
    return min(max(0.5 - distance / pixel, 0.0), 1.0)


def render(size):
    """Returns size*size pixels, rows top to bottom, as (r, g, b, a) tuples of 0..255."""
    pixel = 1.0 / size
    # Strokes narrower than about 1.4 pixels turn grey at 16 px: keep them readable.
    stroke = max(STROKE, 1.4 * pixel)
    half = 0.5 - TILE_INSET
    rows = []
    for row in range(size):
        y = (row + 0.5) * pixel
        shade = min(max((y - TILE_INSET) / (1.0 - 2 * TILE_INSET), 0.0), 1.0)
        tile_rgb = tuple(t + (b - t) * shade for t, b in zip(TILE_TOP, TILE_BOTTOM))
        line = []
        for column in range(size):
            x = (column + 0.5) * pixel
            tile = coverage(rounded_box_distance(x, y, 0.5, 0.5, half, TILE_RADIUS), pixel)
            glyph_distance = min(segment_distance(x, y, a, b)
                                 for a, b in ARROW_SEGMENTS + TRAY_SEGMENTS) - stroke / 2
            glyph = coverage(glyph_distance, pixel) * tile
            # The glyph lies on the tile: blend over it, then the tile's edge gives alpha.
            rgb = tuple(g * glyph + t * (1.0 - glyph) for g, t in zip(GLYPH, tile_rgb))
            line.append(tuple(round(c * 255) for c in rgb) + (round(tile * 255),))
        rows.append(line)
    return rows


def png_image(size, rows):
    """The pixels as a PNG file: 8-bit RGBA, no ancillary chunks."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(c for p in line for c in p) for line in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib_image(size, rows):
    """The pixels as an icon DIB: header of double height, BGRA rows bottom-up, AND mask."""
    mask_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for line in reversed(rows):
        colour += bytes(c for r, g, b, a in line for c in (b, g, r, a))
        bits = bytearray(mask_stride)
        for column, (_, _, _, alpha) in enumerate(line):
            if alpha == 0:
                bits[column // 8] |= 0x80 >> (column % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def icon_file(images):
    """An .ico file holding (size, data) images, in the given order."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, data in images:
        side = 0 if size == 256 else size
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, data in images)


def main(argv):
    """Draws every size and writes the icon file named on the command line."""
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    images = []
    for size in SIZES:
        rows = render(size)
        encode = png_image if size in PNG_SIZES else dib_image
        images.append((size, encode(size, rows)))
    with open(argv[1], "wb") as out:
        out.write(icon_file(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
