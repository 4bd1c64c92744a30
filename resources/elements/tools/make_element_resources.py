#!/usr/bin/env python3
"""Draws the element library's image strips: the scheme roots' pictures (the
file connection, the built-in values) and the value elements' pictures (the
text, the substitution and the six text types) and the value functions' pictures.

Run from anywhere: python3 resources/elements/tools/make_element_resources.py
The files land in resources/elements/, which the element library embeds under
":/rc/". The rasteriser is the scheme resources' one.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', '..', 'scheme', 'tools'))
from raster import Canvas, hex_color  # noqa: E402

OUT = os.path.normpath(os.path.join(os.path.dirname(__file__), '..'))

INK = hex_color('374151')
BLUE = hex_color('2F6FD6')
LIGHT_BLUE = hex_color('5B9BF8')
GREEN = hex_color('2F9E6B')
AMBER = hex_color('D97706')
PURPLE = hex_color('7C5CC4')
WHITE = hex_color('FFFFFF')
PAPER = hex_color('F8FAFC')
BORDER = hex_color('94A3B8')


# Each picture is drawn into a box of side `size` at x, scaled from a 16-unit design.
def link(c, x, size, colour):
    s = size / 16.0
    c.framed_round_rect(x + 1.5 * s, 7 * s, x + 8.5 * s, 11.5 * s, 2.2 * s, colour, (0, 0, 0, 0), 1.4 * s)
    c.framed_round_rect(x + 7.5 * s, 4.5 * s, x + 14.5 * s, 9 * s, 2.2 * s, colour, (0, 0, 0, 0), 1.4 * s)


def sheet(c, x, size, fold=True):
    s = size / 16.0
    c.polygon([(x + 3 * s, 1.5 * s), (x + 10 * s, 1.5 * s), (x + 13 * s, 4.5 * s), (x + 13 * s, 14.5 * s),
               (x + 3 * s, 14.5 * s)], BORDER)
    c.polygon([(x + 4 * s, 2.5 * s), (x + 9.5 * s, 2.5 * s), (x + 12 * s, 5 * s), (x + 12 * s, 13.5 * s),
               (x + 4 * s, 13.5 * s)], PAPER)
    if fold:
        c.polygon([(x + 9.5 * s, 2.5 * s), (x + 12 * s, 5 * s), (x + 9.5 * s, 5 * s)], BORDER)


def diamond(c, x, size, colour):
    s = size / 16.0
    c.polygon([(x + 8 * s, 1.5 * s), (x + 14.5 * s, 8 * s), (x + 8 * s, 14.5 * s), (x + 1.5 * s, 8 * s)], colour)
    c.circle(x + 8 * s, 8 * s, 2.2 * s, WHITE)


def letter_t(c, x, size, colour):
    s = size / 16.0
    c.line([(x + 3.5 * s, 3.5 * s), (x + 12.5 * s, 3.5 * s)], 2.2 * s, colour)
    c.line([(x + 8 * s, 3.5 * s), (x + 8 * s, 13 * s)], 2.2 * s, colour)


def substitution(c, x, size):
    s = size / 16.0
    c.framed_round_rect(x + 1.5 * s, 3.5 * s, x + 14.5 * s, 12.5 * s, 2.5 * s, PURPLE, hex_color('EDE7FA'), 1.2 * s)
    c.line([(x + 5 * s, 6 * s), (x + 3.5 * s, 8 * s), (x + 5 * s, 10 * s)], 1.3 * s, PURPLE)
    c.line([(x + 11 * s, 6 * s), (x + 12.5 * s, 8 * s), (x + 11 * s, 10 * s)], 1.3 * s, PURPLE)
    c.circle(x + 8 * s, 8 * s, 1.3 * s, PURPLE)


# The six text types: text, caption, action, tooltip, message, code.
def type_text(c, x, size):
    s = size / 16.0
    for y, right in ((4, 13), (7, 13), (10, 13), (13, 9)):
        c.line([(x + 3 * s, y * s), (x + right * s, y * s)], 1.4 * s, INK)


def type_caption(c, x, size):
    s = size / 16.0
    c.framed_round_rect(x + 1.5 * s, 2.5 * s, x + 14.5 * s, 13.5 * s, 1.5 * s, BORDER, PAPER, 1.0 * s)
    c.round_rect(x + 2 * s, 3 * s, x + 14 * s, 6 * s, 0.5 * s, BLUE)
    c.line([(x + 3.5 * s, 4.5 * s), (x + 9 * s, 4.5 * s)], 1.0 * s, WHITE)


def type_action(c, x, size):
    s = size / 16.0
    c.framed_round_rect(x + 1.5 * s, 4 * s, x + 14.5 * s, 12 * s, 2.5 * s, BLUE, LIGHT_BLUE, 1.0 * s)
    c.polygon([(x + 6.5 * s, 5.8 * s), (x + 10.5 * s, 8 * s), (x + 6.5 * s, 10.2 * s)], WHITE)


def type_tooltip(c, x, size):
    s = size / 16.0
    c.framed_round_rect(x + 1.5 * s, 2 * s, x + 14.5 * s, 10.5 * s, 2.5 * s, AMBER, hex_color('FEF3C7'), 1.0 * s)
    c.polygon([(x + 4 * s, 10 * s), (x + 7.5 * s, 10 * s), (x + 4 * s, 14 * s)], AMBER)
    c.line([(x + 4.5 * s, 5.3 * s), (x + 11.5 * s, 5.3 * s)], 1.0 * s, AMBER)
    c.line([(x + 4.5 * s, 7.5 * s), (x + 9.5 * s, 7.5 * s)], 1.0 * s, AMBER)


def type_message(c, x, size):
    s = size / 16.0
    c.framed_round_rect(x + 1.5 * s, 3.5 * s, x + 14.5 * s, 12.5 * s, 1.2 * s, GREEN, hex_color('DCF5E8'), 1.0 * s)
    c.line([(x + 2 * s, 4.2 * s), (x + 8 * s, 8.8 * s), (x + 14 * s, 4.2 * s)], 1.1 * s, GREEN)


def type_code(c, x, size):
    s = size / 16.0
    c.line([(x + 5.5 * s, 3.5 * s), (x + 2 * s, 8 * s), (x + 5.5 * s, 12.5 * s)], 1.5 * s, INK)
    c.line([(x + 10.5 * s, 3.5 * s), (x + 14 * s, 8 * s), (x + 10.5 * s, 12.5 * s)], 1.5 * s, INK)
    c.line([(x + 9.2 * s, 3 * s), (x + 6.8 * s, 13 * s)], 1.3 * s, BLUE)


TYPES = [type_text, type_caption, type_action, type_tooltip, type_message, type_code]


def text_element(c, x, size):
    sheet(c, x, size)
    s = size / 16.0
    c.line([(x + 5.5 * s, 6 * s), (x + 10.5 * s, 6 * s)], 1.4 * s, BLUE)
    c.line([(x + 8 * s, 6 * s), (x + 8 * s, 11.5 * s)], 1.4 * s, BLUE)


# Replacement modes: three pieces, the replaced ones filled.
def pieces(c, x, size, filled):
    s = size / 16.0
    for i in range(3):
        left = x + (1.5 + i * 4.5) * s
        fill = GREEN if filled[i] else PAPER
        c.framed_round_rect(left, 5 * s, left + 3.8 * s, 11 * s, 0.8 * s, GREEN, fill, 1.1 * s)


def approximately(c, x, size):
    s = size / 16.0
    for y in (6, 10.5):
        c.line([(x + 2 * s, (y + 1) * s), (x + 5 * s, (y - 1) * s), (x + 8 * s, (y + 1) * s),
                (x + 11 * s, (y - 1) * s), (x + 14 * s, (y + 1) * s)], 1.4 * s, AMBER)


def empty_set(c, x, size):
    s = size / 16.0
    c.circle(x + 8 * s, 8 * s, 5.5 * s, PURPLE)
    c.circle(x + 8 * s, 8 * s, 4.1 * s, WHITE)
    c.line([(x + 3 * s, 13 * s), (x + 13 * s, 3 * s)], 1.4 * s, PURPLE)


# The processing date and time: a clock face.
def clock(c, x, size):
    s = size / 16.0
    c.circle(x + 8 * s, 8 * s, 6.5 * s, BLUE)
    c.circle(x + 8 * s, 8 * s, 5.2 * s, WHITE)
    c.line([(x + 8 * s, 4 * s), (x + 8 * s, 8 * s), (x + 11 * s, 10 * s)], 1.4 * s, BLUE)


RED = hex_color('DC2626')
YELLOW = hex_color('F5B301')
COMMENT = hex_color('FEF3C7')
COMMENT_BORDER = hex_color('B45309')


# The common elements: the comment, the logic frame and the six signs.
def comment(c, x, size):
    s = size / 16.0
    c.polygon([(x + 1.5 * s, 2.5 * s), (x + 14.5 * s, 2.5 * s), (x + 14.5 * s, 11 * s), (x + 7 * s, 11 * s),
               (x + 3.5 * s, 14.5 * s), (x + 4 * s, 11 * s), (x + 1.5 * s, 11 * s)], COMMENT_BORDER)
    c.polygon([(x + 2.5 * s, 3.5 * s), (x + 13.5 * s, 3.5 * s), (x + 13.5 * s, 10 * s), (x + 6.6 * s, 10 * s),
               (x + 5 * s, 11.8 * s), (x + 5.2 * s, 10 * s), (x + 2.5 * s, 10 * s)], COMMENT)
    for y in (5.5, 8):
        c.line([(x + 4 * s, y * s), (x + 12 * s, y * s)], 1.0 * s, COMMENT_BORDER)


def logic_frame(c, x, size):
    s = size / 16.0
    c.framed_round_rect(x + 1.5 * s, 4.5 * s, x + 14.5 * s, 14.5 * s, 2 * s, BLUE, (0, 0, 0, 0), 1.2 * s)
    c.round_rect(x + 3.5 * s, 1.5 * s, x + 11 * s, 7 * s, 1.5 * s, COMMENT_BORDER)
    c.round_rect(x + 4.5 * s, 2.5 * s, x + 10 * s, 6 * s, 1 * s, COMMENT)


def star(c, x, size):
    import math
    s = size / 16.0
    points = []
    for i in range(10):
        r = (7 if i % 2 == 0 else 3) * s
        a = -math.pi / 2 + i * math.pi / 5
        points.append((x + 8 * s + r * math.cos(a), 8.5 * s + r * math.sin(a)))
    c.polygon(points, YELLOW)


def round_sign(c, x, size, colour):
    s = size / 16.0
    c.circle(x + 8 * s, 8 * s, 7 * s, colour)


def information(c, x, size):
    s = size / 16.0
    round_sign(c, x, size, BLUE)
    c.circle(x + 8 * s, 4.5 * s, 1.3 * s, WHITE)
    c.line([(x + 8 * s, 7 * s), (x + 8 * s, 12 * s)], 2.0 * s, WHITE)


def question(c, x, size):
    s = size / 16.0
    round_sign(c, x, size, PURPLE)
    c.line([(x + 5.5 * s, 6 * s), (x + 6.5 * s, 4 * s), (x + 9.5 * s, 4 * s), (x + 10.5 * s, 6 * s),
            (x + 8 * s, 8.5 * s), (x + 8 * s, 10 * s)], 1.6 * s, WHITE)
    c.circle(x + 8 * s, 12.3 * s, 1.1 * s, WHITE)


def important(c, x, size):
    s = size / 16.0
    c.polygon([(x + 8 * s, 1 * s), (x + 15 * s, 14.5 * s), (x + 1 * s, 14.5 * s)], AMBER)
    c.line([(x + 8 * s, 5.5 * s), (x + 8 * s, 10 * s)], 2.0 * s, WHITE)
    c.circle(x + 8 * s, 12.3 * s, 1.1 * s, WHITE)


def ready(c, x, size):
    s = size / 16.0
    round_sign(c, x, size, GREEN)
    c.line([(x + 4.5 * s, 8.5 * s), (x + 7 * s, 11 * s), (x + 11.5 * s, 5 * s)], 2.0 * s, WHITE)


def stop(c, x, size):
    s = size / 16.0
    round_sign(c, x, size, RED)
    c.line([(x + 5 * s, 5 * s), (x + 11 * s, 11 * s)], 2.0 * s, WHITE)
    c.line([(x + 11 * s, 5 * s), (x + 5 * s, 11 * s)], 2.0 * s, WHITE)


def strip(name, size, pictures):
    c = Canvas(size * len(pictures), size)
    for i, draw in enumerate(pictures):
        if draw:
            draw(c, i * size, size)
    c.png(os.path.join(OUT, name + '.png'))


# Scheme roots: 12 x 12 the file connection's name and the built-in values;
# 16 x 16 the file connection's palette item.
strip('coStdRootsCharImages', 12, [lambda c, x, n: link(c, x, n, BLUE), lambda c, x, n: diamond(c, x, n, AMBER)])
strip('coStdRootsSmallImages', 16, [lambda c, x, n: (sheet(c, x, n), link(c, x, n, BLUE))])

# Value elements: 12 x 12 the text, the substitution, then one per type (a
# text's name shows picture 2 + its type); 16 x 16 the text's palette item;
# 32 x 32 unused, the substitution, the text, then one per type (pictures 3 to 8).
strip('coValueElementsCharImages', 12, [lambda c, x, n: letter_t(c, x, n, BLUE), substitution] + TYPES)
strip('coValueElementsSmallImages', 16, [text_element])
strip('coValueElementsLargeImages', 32, [None, substitution, text_element] + TYPES)

# Value functions: 16 x 16 the replacement's modes (All, First, Last), its
# case-insensitive sign, the emptiness test, the processing date and time.
strip('coFunctionElementsSmallImages', 16, [lambda c, x, n: pieces(c, x, n, (True, True, True)),
                                            lambda c, x, n: pieces(c, x, n, (True, False, False)),
                                            lambda c, x, n: pieces(c, x, n, (False, False, True)),
                                            approximately, empty_set, clock])

# Common elements: 16 x 16 the comment, the logic frame, then the signs star,
# information, question, important, ready and stop (elements/diCommonElements).
strip('diCommonElementsSmallImages', 16, [comment, logic_frame, star, information, question, important, ready, stop])
