#!/usr/bin/env python3
"""Draws the caret object's mouse cursors as 32 x 32 Windows cursor files.

Run from anywhere: writes <name>.cur beside this script. Pure Python, no
third-party modules. Every shape is drawn in black and gets a one-pixel white
outline, so it shows on light and dark ground alike.
"""

import os
import struct

SIZE = 32
BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)


class Canvas:
    def __init__(self):
        self.black = set()

    def dot(self, x, y):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.black.add((x, y))

    def hline(self, x0, x1, y):
        for x in range(x0, x1 + 1):
            self.dot(x, y)

    def vline(self, x, y0, y1):
        for y in range(y0, y1 + 1):
            self.dot(x, y)

    def box(self, x0, y0, x1, y1, dashed=False):
        for x in range(x0, x1 + 1):
            if not dashed or (x - x0) % 2 == 0:
                self.dot(x, y0)
                self.dot(x, y1)
        for y in range(y0, y1 + 1):
            if not dashed or (y - y0) % 2 == 0:
                self.dot(x0, y)
                self.dot(x1, y)

    def pixels(self):
        """Black shape, white outline (8 neighbours), the rest transparent."""
        out = {}
        for (x, y) in self.black:
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    p = (x + dx, y + dy)
                    if 0 <= p[0] < SIZE and 0 <= p[1] < SIZE and p not in self.black:
                        out[p] = WHITE
        for p in self.black:
            out[p] = BLACK
        return out


def beam(c, x=10):
    """The text beam: a stem with serifs; its hot spot is the stem's middle."""
    c.vline(x, 3, 27)
    c.hline(x - 3, x - 1, 3)
    c.hline(x + 1, x + 3, 3)
    c.hline(x - 3, x - 1, 27)
    c.hline(x + 1, x + 3, 27)


def element_badge(c):
    c.box(17, 21, 23, 27)
    c.box(19, 23, 21, 25)


def dropdown_badge(c):
    for i in range(4):
        c.hline(17 + i, 23 - i, 23 + i)


def paragraph_badge(c):
    for y in (16, 20, 24):
        c.hline(16, 26, y)


def arrow(c, mirrored=False):
    """The pointer arrow with its tip at (1, 1), or at (30, 1) mirrored."""
    def dot(x, y):
        c.dot(SIZE - 1 - x if mirrored else x, y)
    for y in range(1, 14):
        for x in range(1, y + 1):
            dot(x, y)
    for y in range(14, 20):
        for x in (5, 6):
            dot(x + (y - 14) // 2, y)
    for x in range(1, 9):
        dot(x, 14 - (x > 4))


def drag_badge(c, copy):
    c.box(12, 20, 24, 29, dashed=True)
    if copy:
        c.hline(26, 30, 27)
        c.vline(28, 25, 29)


def expand_badge(c):
    """A small box holding a plus over a minus: collapse or expand."""
    c.box(14, 17, 26, 29)
    c.hline(17, 23, 21)
    c.vline(20, 18, 24)
    c.hline(17, 23, 26)


CURSORS = [
    # name, drawing, hot spot
    ("crTextorFieldBeam", lambda c: beam(c), (10, 15)),
    ("crTextorFieldElementsBeam", lambda c: (beam(c), element_badge(c)), (10, 15)),
    ("crTextorFieldDropDownBeam", lambda c: (beam(c), dropdown_badge(c)), (10, 15)),
    ("crTextorContainerBeam", lambda c: (beam(c), paragraph_badge(c), c.box(20, 4, 25, 9)), (10, 15)),
    ("crTextorContainerTextBeam", lambda c: (beam(c), paragraph_badge(c)), (10, 15)),
    ("crTextorLeftZone", lambda c: arrow(c, mirrored=True), (30, 1)),
    ("crTextorDragMove", lambda c: (arrow(c), drag_badge(c, False)), (1, 1)),
    ("crTextorDragCopy", lambda c: (arrow(c), drag_badge(c, True)), (1, 1)),
    ("diExpandButtonCursor", lambda c: (arrow(c), expand_badge(c)), (1, 1)),
]


def cursor_file(pixels, hot):
    """A .cur file: one 32-bit image with its alpha and the matching AND mask."""
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        bits = 0
        for x in range(SIZE):
            r, g, b, a = pixels.get((x, y), (0, 0, 0, 0))
            xor += bytes((b, g, r, a))
            bits = (bits << 1) | (0 if a else 1)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, hot[0], hot[1], len(image), 6 + 16)
    return directory + entry + image


def main():
    folder = os.path.dirname(os.path.abspath(__file__))
    for name, draw, hot in CURSORS:
        c = Canvas()
        draw(c)
        with open(os.path.join(folder, name + ".cur"), "wb") as f:
            f.write(cursor_file(c.pixels(), hot))


if __name__ == "__main__":
    main()
