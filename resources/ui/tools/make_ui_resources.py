#!/usr/bin/env python3
"""Draws the editor windows' pictures: the palette's four theme images, the
log button's face and clear signs, and the sheet form's edit pictures.

Run from anywhere: python3 resources/ui/tools/make_ui_resources.py
The files land in resources/ui/, which the ui library embeds under ":/rc/".
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', '..', 'scheme', 'tools'))
from raster import Canvas, hex_color  # noqa: E402

OUT = os.path.normpath(os.path.join(os.path.dirname(__file__), '..'))

SKY = hex_color('EEF3F9')
SKY_DEEP = hex_color('DCE6F2')
GROUP_EDGE = hex_color('C3CFDD')
HOT_FILL = hex_color('FFF4D6')
HOT_EDGE = hex_color('E8C56A')
PRESSED_FILL = hex_color('FFE0A3')
PRESSED_EDGE = hex_color('C99A3A')
BUTTON = hex_color('87CEEB')
BUTTON_EDGE = hex_color('5BA4C8')
SEVERITY = [None, hex_color('3B82F6'), hex_color('E0A21B'), hex_color('D64545')]


def vertical_gradient(canvas, top, bottom):
    for y in range(canvas.h):
        t = y / max(1, canvas.h - 1)
        colour = tuple(int(round(a + (b - a) * t)) for a, b in zip(top, bottom))
        for x in range(canvas.w):
            canvas.set(x, y, colour)


def palette_background():
    """The empty palette: a quiet gradient, stretched over the form."""
    c = Canvas(16, 64)
    vertical_gradient(c, SKY, SKY_DEEP)
    c.png(os.path.join(OUT, 'PaletteBackground.png'))


def palette_group():
    """A group panel: the gradient with a separating line at its right (right zone 3)."""
    c = Canvas(16, 64)
    vertical_gradient(c, SKY, SKY_DEEP)
    c.rect(13, 4, 14, 60, GROUP_EDGE)
    c.rect(14, 4, 15, 60, hex_color('FFFFFF', 160))
    c.png(os.path.join(OUT, 'PaletteGroup.png'))


def palette_button(name, fill, edge):
    """A hot or pressed button face: a rounded frame, nine zones of 3 and 4 pixels."""
    c = Canvas(16, 16)
    c.framed_round_rect(0, 0, 16, 16, 2.5, edge, fill)
    c.png(os.path.join(OUT, name + '.png'))


def log_buttons():
    """The log button's face, 58 x 18: a rounded sky-blue plate."""
    c = Canvas(58, 18)
    c.framed_round_rect(0, 0, 58, 18, 7, BUTTON_EDGE, BUTTON)
    c.png(os.path.join(OUT, 'LogButtons.png'))


def log_clear():
    """The clear sign by severity, 14 x 13 each, in one strip: none, hint, warning, error."""
    c = Canvas(14 * 4, 13)
    for i, colour in enumerate(SEVERITY):
        ink = colour or hex_color('1F2937')
        x0 = i * 14
        c.line([(x0 + 3, 2), (x0 + 11, 10)], 2.0, ink)
        c.line([(x0 + 11, 2), (x0 + 3, 10)], 2.0, ink)
    c.png(os.path.join(OUT, 'LogClear.png'))


PAPER = hex_color('FFFFFF')
PAPER_EDGE = hex_color('5B6B80')
TEXT_LINE = hex_color('8FA3BA')
ARROW = hex_color('2F6FB5')
STEEL = hex_color('4A5563')
HANDLE = hex_color('D64545')
BOARD = hex_color('B7793A')
CLIP = hex_color('9CA3AF')
CROSS = hex_color('D64545')
DASH = hex_color('2F6FB5')


def page(c, x0, y0, x1, y1, lines=True):
    """A sheet of paper with a few text lines."""
    c.rect(x0, y0, x1, y1, PAPER_EDGE)
    c.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, PAPER)
    if lines:
        for y in range(y0 + 3, y1 - 2, 2):
            c.rect(x0 + 2, y, x1 - 2, y + 1, TEXT_LINE)


def curved_arrow(c, x0, mirror):
    """Undo (an arrow that turns back to the left) or, mirrored, redo."""
    def mx(x):
        return x0 + (16 - x if mirror else x)
    turn = [(mx(9.5 + 4.0 * math.cos(a)), 9.0 + 4.0 * math.sin(a))
            for a in [math.pi * (-0.5 + i / 8.0) for i in range(9)]]
    c.line([(mx(5.0), 5.0)] + turn + [(mx(5.5), 13.0)], 1.8, ARROW)
    c.polygon([(mx(1.0), 5.0), (mx(6.0), 1.0), (mx(6.0), 9.0)], ARROW)


def edit_pictures():
    """The sheet form's edit actions, 16 x 16 each in one strip: undo, redo,
    cut, copy, copy as text, paste, delete, select all."""
    c = Canvas(16 * 8, 16)
    # Undo and redo.
    curved_arrow(c, 0, False)
    curved_arrow(c, 16, True)
    # Cut: scissors.
    x = 32
    c.line([(x + 4.5, 1.5), (x + 10.0, 10.0)], 1.6, STEEL)
    c.line([(x + 11.5, 1.5), (x + 6.0, 10.0)], 1.6, STEEL)
    for cx in (x + 4.5, x + 11.5):
        c.circle(cx, 12.0, 3.0, HANDLE)
        # The finger hole is cut clear.
        c.fill_exact(lambda px, py, cx=cx: (px - cx) ** 2 + (py - 12.0) ** 2 <= 2.2, (x, 8, x + 16, 16), (0, 0, 0, 0))
    # Copy: two pages.
    x = 48
    page(c, x + 1, 1, x + 10, 12)
    page(c, x + 6, 4, x + 15, 15)
    # Copy as text: two pages, the front one a large "T".
    x = 64
    page(c, x + 1, 1, x + 10, 12)
    page(c, x + 6, 4, x + 15, 15, lines=False)
    c.rect(x + 8, 6, x + 13, 7, STEEL)
    c.rect(x + 10, 7, x + 11, 13, STEEL)
    # Paste: a clipboard with a page on it.
    x = 80
    c.framed_round_rect(x + 1, 2, x + 13, 15, 1.5, hex_color('7A4E22'), BOARD)
    c.rect(x + 4, 1, x + 10, 4, CLIP)
    page(c, x + 6, 6, x + 15, 15)
    # Delete: a red cross.
    x = 96
    c.line([(x + 3.5, 3.5), (x + 12.5, 12.5)], 2.4, CROSS)
    c.line([(x + 12.5, 3.5), (x + 3.5, 12.5)], 2.4, CROSS)
    # Select all: a page inside a dashed frame.
    x = 112
    page(c, x + 4, 4, x + 12, 12)
    for i in range(0, 16, 3):
        for (ax, ay) in ((i, 0), (i, 15), (0, i), (15, i)):
            c.rect(x + ax, ay, x + ax + 2 if ay in (0, 15) else x + ax + 1,
                   ay + 1 if ay in (0, 15) else ay + 2, DASH)
    c.png(os.path.join(OUT, 'SheetFormEdit.png'))


palette_background()
palette_group()
palette_button('PaletteButtonHot', HOT_FILL, HOT_EDGE)
palette_button('PaletteButtonPressed', PRESSED_FILL, PRESSED_EDGE)
log_buttons()
log_clear()
edit_pictures()
