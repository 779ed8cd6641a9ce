#!/usr/bin/env python3
"""Draws the Tervalis logo used by the main window: 133 x 25 pixels, RGBA PNG.

A three-stroke motion mark in orange followed by the word TERVALIS in white
block letters, on a transparent background (the window draws it on dark grey).
Run it to regenerate logo.png; it needs nothing beyond the standard library.
"""
import struct
import sys
import zlib

WIDTH, HEIGHT = 133, 25
ORANGE = (0xF2, 0x8C, 0x28, 0xFF)
WHITE = (0xFF, 0xFF, 0xFF, 0xFF)

# 5 x 7 block letters.
GLYPHS = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "V": ["#...#", "#...#", "#...#", "#...#", ".#.#.", ".#.#.", "..#.."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "I": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
}


def draw():
    pixels = [[(0, 0, 0, 0)] * WIDTH for _ in range(HEIGHT)]

    def put(x, y, colour):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            pixels[y][x] = colour

    # The mark: three slanted strokes rising to the right, like a platform's motion.
    for stroke in range(3):
        x0 = 2 + stroke * 8
        top = 4 + (2 - stroke) * 3
        for y in range(top, 22):
            slant = (22 - y) // 3
            for dx in range(4):
                put(x0 + slant + dx, y, ORANGE)

    # The word, letters 5 units wide scaled by 2 horizontally and 2 vertically.
    x = 32
    for letter in "TERVALIS":
        glyph = GLYPHS[letter]
        for row, line in enumerate(glyph):
            for col, cell in enumerate(line):
                if cell == "#":
                    for sy in range(2):
                        for sx in range(2):
                            put(x + col * 2 + sx, 5 + row * 2 + sy, WHITE)
        x += 12
    return pixels


def png(pixels):
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "logo.png"
    with open(out, "wb") as f:
        f.write(png(draw()))
