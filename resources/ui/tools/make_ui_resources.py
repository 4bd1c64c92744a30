#!/usr/bin/env python3
"""Draws the editor windows' pictures: the palette's four theme images and the
log button's face and clear signs.

Run from anywhere: python3 resources/ui/tools/make_ui_resources.py
The files land in resources/ui/, which the ui library embeds under ":/rc/".
"""
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


palette_background()
palette_group()
palette_button('PaletteButtonHot', HOT_FILL, HOT_EDGE)
palette_button('PaletteButtonPressed', PRESSED_FILL, PRESSED_EDGE)
log_buttons()
log_clear()
