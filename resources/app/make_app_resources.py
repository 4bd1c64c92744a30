#!/usr/bin/env python3
"""Draws the program's icon and the small logo of the about box (pure Python).

MainIcon.png (64 x 64): a blue tile with rounded corners holding three white
blocks stacked and indented as the blocks of a program on a sheet.
Logo.png (28 x 20): three coloured blocks in steps.
Run it again after changing it; the application library embeds the files.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a)."""
    raw = b"".join(b"\0" + b"".join(struct.pack("BBBB", *p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def canvas(width, height):
    return [[(0, 0, 0, 0) for _ in range(width)] for _ in range(height)]


def inside_rounded(x, y, left, top, right, bottom, radius):
    if not (left <= x < right and top <= y < bottom):
        return False
    cx = min(max(x + 0.5, left + radius), right - radius)
    cy = min(max(y + 0.5, top + radius), bottom - radius)
    return (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius * radius


def fill(pixels, left, top, right, bottom, colour, radius=0):
    for y in range(top, bottom):
        for x in range(left, right):
            if radius == 0 or inside_rounded(x, y, left, top, right, bottom, radius):
                pixels[y][x] = colour


def main_icon():
    size = 64
    pixels = canvas(size, size)
    fill(pixels, 2, 2, 62, 62, (32, 92, 168, 255), 10)
    fill(pixels, 4, 4, 60, 33, (52, 116, 196, 255), 8)
    white = (255, 255, 255, 255)
    fill(pixels, 12, 14, 50, 22, white, 2)
    fill(pixels, 20, 28, 52, 36, (255, 214, 96, 255), 2)
    fill(pixels, 20, 42, 44, 50, white, 2)
    fill(pixels, 12, 22, 16, 50, white)
    png(os.path.join(HERE, "MainIcon.png"), size, size, pixels)


def logo():
    pixels = canvas(28, 20)
    fill(pixels, 1, 1, 17, 7, (32, 92, 168, 255), 1)
    fill(pixels, 6, 8, 27, 14, (230, 160, 32, 255), 1)
    fill(pixels, 6, 15, 20, 19, (64, 150, 72, 255), 1)
    png(os.path.join(HERE, "Logo.png"), 28, 20, pixels)


if __name__ == "__main__":
    main_icon()
    logo()
