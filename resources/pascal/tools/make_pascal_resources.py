#!/usr/bin/env python3
"""Draws the Pascal elements' image strips: placeholder pictures (a coloured
tile with a mark per picture) in the number each strip needs.

Run from anywhere: python3 resources/pascal/tools/make_pascal_resources.py
The files land in resources/pascal/, which the Pascal element library embeds
under ":/rc/". The rasteriser is the scheme resources' one.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', '..', 'scheme', 'tools'))
from raster import Canvas, hex_color  # noqa: E402

OUT = os.path.normpath(os.path.join(os.path.dirname(__file__), '..'))

WHITE = hex_color('FFFFFF')
PALETTE = [hex_color(c) for c in ('2F6FD6', '2F9E6B', 'D97706', '7C5CC4', 'DC2626', '0E7490', '4B5563')]

# name: (picture size, number of pictures)
STRIPS = {
    # the standard types (general, object, -, -, object type, float, bool,
    # pointer, str) and the object members Create and Free
    'prStandardCharImages': (12, 11),
    # True, Size Of, Not, To Type, -, Self, -, If Then Else, its split mark
    'prExpressionElementsSmallImages': (16, 9),
    # String
    'prExpressionElementsLargeImages': (32, 1),
    # a field's name
    'prFieldElementsCharImages': (12, 1),
    # access to private members
    'prFieldElementsSmallImages': (16, 1),
    # Field, Access
    'prFieldElementsLargeImages': (32, 2),
    # enumeration item, -, array, enumeration, record, -, -, constant, -, set-of name
    'prSimpleElementsCharImages': (12, 10),
    # alias, record, array, use, pointer, constant, -, enumeration, code
    'prSimpleElementsSmallImages': (16, 9),
    # enumeration item, enumeration, constant
    'prSimpleElementsLargeImages': (32, 3),
    # the operation kinds (Summ, Difference, Multiplication, Dividing, integer
    # Dividing), then the eleven compare kinds
    'prExpressionExElementsSmallImages': (16, 16),
    # Add Value, Summ, Difference
    'prExpressionExElementsLargeImages': (32, 3),
    # public method, parameter In, In-Out, Out, private method with Override,
    # with Call, with both, with neither, method type
    'prMethodElementsCharImages': (12, 9),
    # method type, method, not-empty in value, not-empty out value
    'prMethodElementsSmallImages': (16, 4),
    # Method, Parameter, In-Out, Out, not-empty values
    'prMethodElementsLargeImages': (32, 5),
    # sub-object, -, -, event, constructor, -, handler, "Inherited", double
    # method and locker, notification
    'prClassElementsCharImages': (12, 10),
    # Constructor, Sub Object, Event, Handler, Override, Without Instance,
    # Locker and Double Method, Notification
    'prClassElementsSmallImages': (16, 9),
    # Object, -, Without Instance, -, Sub Object
    'prClassElementsLargeImages': (32, 5),
    # Identifier
    'prIdentifierElementsLargeImages': (32, 1),
    # Return, Error, In Lock, Break, Continue, While, If, Let, For Each (and
    # backward), For (and backward), Inc, Dec, Rockfall, Case, Assert, Let
    # Temp, Let if Different
    'prCommandElementsSmallImages': (16, 19),
    # If, Let, Case Item, Backward, Add Else
    'prCommandElementsLargeImages': (32, 5),
    # -, property (also with field, with sub-object and the count name), array property
    'prPropertyElementsCharImages': (12, 3),
    # property (also with sub-object), lazy, array property
    'prPropertyElementsSmallImages': (16, 3),
    # Add Parameters, Property with Field
    'prPropertyElementsLargeImages': (32, 2),
}


def tile(c, index, size):
    x = index * size
    s = size / 16.0
    colour = PALETTE[index % len(PALETTE)]
    c.round_rect(x + 1 * s, 1 * s, x + 15 * s, 15 * s, 3 * s, colour)
    # One to four dots tell the pictures of a strip apart.
    dots = index % 4 + 1
    for d in range(dots):
        c.circle(x + (3.5 + d * 3) * s, 8 * s, 1.2 * s, WHITE)


def main():
    for name, (size, count) in STRIPS.items():
        c = Canvas(size * count, size)
        for i in range(count):
            tile(c, i, size)
        c.png(os.path.join(OUT, name + '.png'))


if __name__ == '__main__':
    main()
