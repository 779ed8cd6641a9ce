#!/usr/bin/env python3
"""Draws the application icon from the logo's motion mark: the three orange
strokes on a dark grey rounded square, at 16, 32, 48 and 256 pixels, in one
.ico (32-bit images with an alpha channel; the 256-pixel one as PNG). Each size
is drawn from the same geometry with 4 x 4 supersampling, so no size is a
blurred copy of another. Run it to regenerate app.ico; it needs nothing beyond
the standard library and gives the same bytes every time.
"""
import struct
import sys

import make_logo

ORANGE = (0xF2, 0x8C, 0x28)
GREY = (0x44, 0x44, 0x44)
SIZES = (16, 32, 48, 256)
SAMPLES = 4


def inside_mark(x, y):
    """The logo's strokes, in a 32-unit square (the logo's pixels moved to its middle)."""
    lx, ly = x - 1, y - 3
    for stroke in range(3):
        top = 4 + (2 - stroke) * 3
        if top <= ly < 22:
            left = 2 + stroke * 8 + (22 - ly) / 3
            if left <= lx < left + 4:
                return True
    return False


def inside_square(x, y):
    radius, low, high = 6.0, 0.5, 31.5
    cx = min(max(x, low + radius), high - radius)
    cy = min(max(y, low + radius), high - radius)
    return low <= x <= high and low <= y <= high and (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def draw(size):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            mark = square = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) * 32 / size
                    y = (py + (sy + 0.5) / SAMPLES) * 32 / size
                    if inside_square(x, y):
                        square += 1
                        mark += inside_mark(x, y)
            n = SAMPLES * SAMPLES
            alpha = round(255 * square / n)
            if square == 0:
                row.append((0, 0, 0, 0))
            else:
                colour = tuple(round((o * mark + g * (square - mark)) / square) for o, g in zip(ORANGE, GREY))
                row.append(colour + (alpha,))
        rows.append(row)
    return rows


def dib(pixels):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    return header + colour + bytes(mask_row * size)  # the alpha channel decides; the mask is clear


def ico(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, blobs = b"", b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    return directory + entries + blobs


def png_image(pixels):
    make_logo.WIDTH = make_logo.HEIGHT = len(pixels)  # its PNG writer reads the size from there
    return make_logo.png(pixels)


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "app.ico"
    images = [(size, png_image(draw(size)) if size == 256 else dib(draw(size))) for size in SIZES]
    with open(out, "wb") as f:
        f.write(ico(images))
