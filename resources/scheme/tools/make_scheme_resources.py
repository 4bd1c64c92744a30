#!/usr/bin/env python3
"""Draws the scheme model's resources: the built-in theme "Default" (its image
and its knot text), the element image strips, the log's signs and the editor's
sounds.

Run from anywhere: python3 resources/scheme/tools/make_scheme_resources.py
The files land in resources/scheme/, which the build embeds under ":/rc/".
"""
import math
import os
import struct
import wave

from raster import Canvas, hex_color

OUT = os.path.normpath(os.path.join(os.path.dirname(__file__), '..'))

# The palette of the look: quiet greys, one blue accent.
INK = hex_color('1F2937')
BLUE = hex_color('3B82F6')
WHITE = hex_color('FFFFFF')
BORDER = hex_color('C8D0DA')

# ---------------------------------------------------------------------------
# Theme image and text

W, H = 256, 128
theme = Canvas(W, H)
nodes = []  # (name, attributes) in file order


def node(name, **attrs):
    nodes.append((name, attrs))


def cut(x, y, w, h):
    return '%d,%d,%d,%d' % (x, y, x + w - 1, y + h - 1)


def frame(name, x, y, w, h, radius, border, fill, zone, padding, margins='0,0,0,0', modes=None, bw=1.0,
          accent=None, open_sides=''):
    """A rounded frame at (x, y); accent = (colour, width) draws a bar on the left."""
    x0 = x - (radius + 2 if 'l' in open_sides else 0)
    x1 = x + w + (radius + 2 if 'r' in open_sides else 0)
    # Draw wider than the cut where a side is open, so the cut shows straight edges.
    theme.framed_round_rect(x0, y, x1, y + h, radius, border, fill, bw)
    if 'l' in open_sides or 'r' in open_sides:
        # Clear what spilled outside the cut.
        for yy in range(y, y + h):
            for xx in list(range(int(x0), x)) + list(range(x + w, int(x1) + 1)):
                if 0 <= xx < W:
                    theme.px[yy * W + xx] = [0.0, 0.0, 0.0, 0.0]
    if accent:
        colour, width = accent
        theme.fill(lambda px, py: px < x + width and _in_rr(px, py, x, y, x + w, y + h, radius),
                   (x, y, x + w, y + h), colour)
    attrs = {'Cut': cut(x, y, w, h), 'Zone': zone, 'Padding': padding, 'Margins': margins}
    for side, mode in (modes or {}).items():
        attrs['FillMode' + side] = str(mode)
    node(name, **attrs)


def _in_rr(px, py, x0, y0, x1, y1, r):
    from raster import in_round_rect
    return in_round_rect(px, py, x0, y0, x1, y1, r)


# Row 0: element blocks, 16 x 16 with 6-pixel zones.
frame('Sheet', 0, 0, 8, 8, 0, hex_color('FFFFFF'), hex_color('FFFFFF'), '0,0,0,0', '8,8,8,8')
frame('Element', 16, 0, 16, 16, 4, BORDER, hex_color('F6F8FB'), '6,6,6,6', '7,4,7,4', '2,2,2,2')
frame('ElementCommand', 40, 0, 16, 16, 4, hex_color('B6C9E6'), hex_color('EEF4FD'), '6,6,6,6', '7,4,7,4', '2,2,2,2')
frame('ElementTechnical', 64, 0, 16, 16, 4, hex_color('D6CBB4'), hex_color('F7F4EC'), '6,6,6,6', '7,4,7,4',
      '2,2,2,2')
frame('ElementExpression', 88, 0, 16, 16, 4, hex_color('B4D7BD'), hex_color('EFF8F1'), '6,6,6,6', '5,2,5,2',
      '1,1,1,1')
frame('Unaccepted', 112, 0, 16, 16, 4, hex_color('E5A3A8'), hex_color('FDEEEF'), '6,6,6,6', '7,4,7,4', '2,2,2,2')
frame('LogicFrame', 136, 0, 16, 16, 5, hex_color('9AA6B6'), None, '6,6,6,6', '8,6,8,6', '2,2,2,2',
      {'Client': 2})
frame('Description', 160, 0, 16, 16, 3, hex_color('EEDFA6'), hex_color('FFF9E4'), '5,5,5,5', '6,3,6,3', '0,2,0,2')
frame('Comment', 184, 0, 16, 16, 3, hex_color('CFE3C2'), hex_color('F2F8EE'), '6,5,5,5', '9,3,6,3', '0,2,0,2',
      accent=(hex_color('7FB85C'), 3))
frame('Substitution', 208, 0, 16, 16, 4, hex_color('C7B3E5'), hex_color('F6F1FC'), '6,6,6,6', '7,3,7,3',
      '1,1,1,1')

# Row 1: substitution pieces, fields and names.
frame('SubstitutionBegin', 0, 24, 16, 16, 4, hex_color('C7B3E5'), hex_color('F6F1FC'), '6,6,2,6', '7,3,2,3',
      '1,1,0,1', open_sides='r')
frame('SubstitutionContinue', 24, 24, 16, 16, 4, hex_color('C7B3E5'), hex_color('F6F1FC'), '2,6,2,6', '2,3,2,3',
      '0,1,0,1', open_sides='lr')
frame('SubstitutionEnd', 48, 24, 16, 16, 4, hex_color('C7B3E5'), hex_color('F6F1FC'), '2,6,6,6', '2,3,7,3',
      '0,1,1,1', open_sides='l')
frame('Field', 72, 24, 12, 12, 3, hex_color('CDD4DD'), WHITE, '4,4,4,4', '5,2,5,2', '1,1,1,1')
frame('Name', 88, 24, 12, 12, 3, hex_color('9FB6D6'), WHITE, '4,4,4,4', '5,2,5,2', '1,1,1,1')
frame('NamePrivate', 104, 24, 12, 12, 3, hex_color('9FB6D6'), WHITE, '4,4,4,4', '6,2,5,2', '1,1,1,1',
      accent=(hex_color('D9777A'), 2))
frame('NamePublic', 120, 24, 12, 12, 3, hex_color('9FB6D6'), WHITE, '4,4,4,4', '6,2,5,2', '1,1,1,1',
      accent=(hex_color('5BAA6C'), 2))
frame('Container', 136, 24, 10, 10, 2, hex_color('DDE2E8'), WHITE, '3,3,3,3', '3,3,3,3', '1,1,1,1')
frame('ImageContainer', 152, 24, 10, 10, 2, hex_color('DDE2E8'), hex_color('FAFBFC'), '3,3,3,3', '4,4,4,4',
      '1,1,1,1')
frame('CheckBox', 168, 24, 14, 14, 3, hex_color('A9B4C2'), WHITE, '4,4,4,4', '3,1,3,1', '1,1,1,1')
frame('Mark', 188, 24, 10, 10, 3, hex_color('F5D56A', 200), hex_color('FFE99A', 170), '4,4,4,4', '0,0,0,0')
frame('Line', 204, 24, 4, 4, 0, hex_color('D9DEE5'), hex_color('D9DEE5'), '0,0,0,0', '0,0,0,0', '0,3,0,3')

# Row 2: outline frames, chess board, external editing.
x, y = 0, 48
for i in range(8):  # dotted 8 x 8 frame
    for j in range(8):
        if (i in (0, 7) or j in (0, 7)) and (i + j) % 2 == 0:
            theme.set(x + i, y + j, hex_color('7D8896'))
node('FrameDot', Cut=cut(x, y, 8, 8), Zone='1,1,1,1', Padding='2,2,2,2',
     FillModeLeft='1', FillModeTop='1', FillModeRight='1', FillModeBottom='1', FillModeClient='2')
x = 16
for i in range(6):
    for j in range(6):
        if i in (0, 5) or j in (0, 5):
            theme.set(x + i, y + j, hex_color('7D8896'))
node('FrameSingle', Cut=cut(x, y, 6, 6), Zone='1,1,1,1', Padding='2,2,2,2', FillModeClient='2')
x = 32
for i in range(16):
    for j in range(16):
        theme.set(x + i, y + j, hex_color('FFFFFF') if ((i // 8) + (j // 8)) % 2 == 0 else hex_color('E7EAEE'))
node('ImageChess', Cut=cut(x, y, 16, 16), Zone='0,0,0,0', FillModeClient='1')
x = 56
for i in range(12):  # orange stripes, 2 pixels wide, period 4
    for j in range(12):
        if i < 2 or i >= 10 or j < 2 or j >= 10:
            theme.set(x + i, y + j, hex_color('F59E0B') if (i + j) % 4 < 2 else hex_color('FDE7C2'))
node('ExternalEditingMode', Cut=cut(x, y, 12, 12), Zone='2,2,2,2', Padding='3,3,3,3',
     FillModeLeft='1', FillModeTop='1', FillModeRight='1', FillModeBottom='1', FillModeClient='2')

# Row 3: single pictures.
y = 72


def expander(x, y, border, fill, plus):
    theme.framed_round_rect(x, y, x + 11, y + 11, 2.5, border, fill)
    theme.line([(x + 3, y + 5.5), (x + 8, y + 5.5)], 1.3, INK)
    if plus:
        theme.line([(x + 5.5, y + 3), (x + 5.5, y + 8)], 1.3, INK)


expander(0, y, hex_color('8E9AAB'), WHITE, True)
node('Collapsed', Cut=cut(0, y, 11, 11), Margins='1,1,3,1')
expander(16, y, hex_color('8E9AAB'), WHITE, False)
node('Expanded', Cut=cut(16, y, 11, 11), Margins='1,1,3,1')
expander(32, y, hex_color('7FA8E8'), hex_color('E8F0FD'), True)
node('CollapsedData', Cut=cut(32, y, 11, 11), Margins='1,1,3,1')
expander(48, y, hex_color('7FA8E8'), hex_color('E8F0FD'), False)
node('ExpandedData', Cut=cut(48, y, 11, 11), Margins='1,1,3,1')

theme.framed_round_rect(64, y, 77, y + 13, 3, BLUE, BLUE)
theme.line([(67.2, y + 6.8), (69.8, y + 9.3), (74, y + 4)], 1.6, WHITE)
node('CheckBoxChecked', Cut=cut(64, y, 13, 13), Margins='1,1,3,1')
theme.framed_round_rect(80, y, 93, y + 13, 3, hex_color('A9B4C2'), WHITE)
node('CheckBoxUnchecked', Cut=cut(80, y, 13, 13), Margins='1,1,3,1')


def badge(x, y, colour):
    theme.circle(x + 6, y + 6, 6, colour)
    theme.line([(x + 6, y + 3), (x + 6, y + 6.6)], 1.6, WHITE)
    theme.circle(x + 6, y + 9, 0.95, WHITE)


badge(96, y, hex_color('E5484D'))
node('Error', Cut=cut(96, y, 12, 12))
badge(112, y, hex_color('F59E0B'))
node('NeedValue', Cut=cut(112, y, 12, 12))
theme.circle(132, y + 4, 4, BLUE)
theme.circle(132, y + 4, 1.6, WHITE)
node('Referenced', Cut=cut(128, y, 8, 8))

# Colour swatches read by the theme text: one pixel each on the last row.
SWATCHES = [
    ('DisableColor', hex_color('EDEFF2', 170)),
    ('SelectColor', hex_color('3B82F6', 80)),
    ('SelectInactiveColor', hex_color('9AA5B4', 70)),
    ('ElementFont', hex_color('1F2937')),
    ('CodeFont', hex_color('1E3A8A')),
    ('FixedFont', hex_color('374151')),
    ('ArtFont', hex_color('6B4F9E')),
    ('CommentFont', hex_color('3F7A34')),
]
swatch_at = {}
for i, (name, colour) in enumerate(SWATCHES):
    theme.set(W - 16 + i, H - 1, colour)
    swatch_at[name] = '%d,%d' % (W - 16 + i, H - 1)

theme.png(os.path.join(OUT, 'TessalyDefaultThemeImage.png'))

FONTS = [
    ('ElementFont', 'Segoe UI,Tahoma,DejaVu Sans', 9, {}),
    ('CodeFont', 'Segoe UI,Tahoma,DejaVu Sans', 9, {}),
    ('FixedFont', 'Consolas,Courier New,DejaVu Sans Mono', 9, {}),
    ('ArtFont', 'Georgia,DejaVu Serif', 10, {'Italic': '1'}),
    ('CommentFont', 'Segoe UI,Tahoma,DejaVu Sans', 9, {'Italic': '1'}),
]

lines = ['<ThemeInfo DisableColor=%s SelectColor=%s SelectInactiveColor=%s>' % (
    swatch_at['DisableColor'], swatch_at['SelectColor'], swatch_at['SelectInactiveColor'])]
for name, faces, size, extra in FONTS:
    attrs = ' '.join('%s=%s' % kv for kv in extra.items())
    lines.append('\t<%s Name="%s" Size=%d Color=%s%s/>' % (name, faces, size, swatch_at[name],
                                                            (' ' + attrs) if attrs else ''))
for name, attrs in nodes:
    text = ' '.join('%s=%s' % (k, v) for k, v in attrs.items() if v not in ('0,0,0,0',))
    lines.append('\t<%s%s/>' % (name, (' ' + text) if text else ''))
lines.append('</ThemeInfo>')
with open(os.path.join(OUT, 'TessalyDefaultThemeInfo.txt'), 'w', newline='\r\n') as f:
    f.write('\n'.join(lines) + '\n')

# ---------------------------------------------------------------------------
# Element image strips


def element_icon(c, x, size):
    s = size / 16.0
    c.framed_round_rect(x + 1.5 * s, 2.5 * s, x + 14.5 * s, 13.5 * s, 3 * s, hex_color('2F6FD6'), hex_color('5B9BF8'),
                        max(1.0, s))
    c.round_rect(x + 4 * s, 5.5 * s, x + 12 * s, 7 * s, 0.7 * s, hex_color('FFFFFF', 235))
    c.round_rect(x + 4 * s, 8.8 * s, x + 9.5 * s, 10.3 * s, 0.7 * s, hex_color('FFFFFF', 200))


def disabled_icon(c, x, size):
    s = size / 16.0
    c.circle(x + 8 * s, 8 * s, 6.5 * s, hex_color('6B7280'))
    c.circle(x + 8 * s, 8 * s, 5.0 * s, hex_color('FFFFFF'))
    c.line([(x + 4.6 * s, 11.4 * s), (x + 11.4 * s, 4.6 * s)], 1.6 * s, hex_color('6B7280'))


for name, size in (('diClassesSmallImages', 16), ('diClassesLargeImages', 32)):
    strip = Canvas(size * 2, size)
    element_icon(strip, 0, size)
    disabled_icon(strip, size, size)
    strip.png(os.path.join(OUT, name + '.png'))

chars = Canvas(36, 12)
chars.line([(2.5, 4.5), (6, 8), (9.5, 4.5)], 1.5, hex_color('4B5563'))   # expand mark
chars.circle(18, 6, 2.2, hex_color('4B5563'))                              # bullet
chars.line([(28.5, 2.5), (32, 6), (28.5, 9.5)], 1.5, hex_color('4B5563'))  # chevron right
chars.png(os.path.join(OUT, 'diClassesCharImages.png'))

# The log's message signs, 9 x 9 each: hint, warning, error.
SIGN = 9
signs = Canvas(SIGN * 3, SIGN)
signs.circle(4.5, 4.5, 4.5, hex_color('2F9E6B'))                                 # hint: "i" in a green disc
signs.circle(4.5, 2.5, 0.85, WHITE)
signs.line([(4.5, 4.1), (4.5, 7.2)], 1.3, WHITE)
x = SIGN
signs.polygon([(x + 4.5, 0.0), (x + 9.0, 9.0), (x + 0.0, 9.0)], hex_color('F59E0B'))  # warning: "!" in a triangle
signs.line([(x + 4.5, 2.6), (x + 4.5, 4.6)], 1.2, INK)
signs.circle(x + 4.5, 7.0, 0.75, INK)
x = SIGN * 2
signs.circle(x + 4.5, 4.5, 4.5, hex_color('E5484D'))                             # error: a cross in a red disc
signs.line([(x + 2.7, 2.7), (x + 6.3, 6.3)], 1.3, WHITE)
signs.line([(x + 6.3, 2.7), (x + 2.7, 6.3)], 1.3, WHITE)
signs.png(os.path.join(OUT, 'diLogImages.png'))

# ---------------------------------------------------------------------------
# Palette pictures of the element units (32-pixel strips)


def arc(cx, cy, radius, start, end, steps=16):
    """Points on a circle from angle start to end (degrees, 0 = right, 90 = down)."""
    return [(cx + radius * math.cos(math.radians(start + (end - start) * i / steps)),
             cy + radius * math.sin(math.radians(start + (end - start) * i / steps))) for i in range(steps + 1)]


def sparkle(c, cx, cy, r, colour):
    """A four-pointed star."""
    t = r * 0.28
    c.polygon([(cx, cy - r), (cx + t, cy - t), (cx + r, cy), (cx + t, cy + t), (cx, cy + r), (cx - t, cy + t),
               (cx - r, cy), (cx - t, cy - t)], colour)


def autoname_icon(c, x):
    """A name tag with a spark: a name made for you."""
    tag = [(x + 3, 17), (x + 10, 9), (x + 26, 9), (x + 26, 25), (x + 10, 25)]
    c.polygon(tag, hex_color('2F6FD6'))
    c.polygon([(x + 5, 17), (x + 11, 10.5), (x + 24.5, 10.5), (x + 24.5, 23.5), (x + 11, 23.5)], hex_color('DCE9FD'))
    c.circle(x + 10.5, 17, 1.8, hex_color('2F6FD6'))
    c.round_rect(x + 14, 14, x + 22.5, 15.6, 0.8, hex_color('2F6FD6'))
    c.round_rect(x + 14, 18.4, x + 20, 20, 0.8, hex_color('2F6FD6', 170))
    sparkle(c, x + 26, 7, 5.5, hex_color('F59E0B'))


def padlock_icon(c, x, body, shackle, is_open):
    """A padlock, its shackle raised and swung open or closed into the body."""
    if is_open:
        c.line([(x + 11, 10)] + arc(x + 15.5, 10, 4.5, 180, 360) + [(x + 20, 12)], 2.6, shackle)
        c.line([(x + 11, 10), (x + 11, 15)], 2.6, shackle)
    else:
        c.line([(x + 11, 15)] + arc(x + 16, 11, 5, 180, 360) + [(x + 21, 15)], 2.6, shackle)
    c.framed_round_rect(x + 7, 14.5, x + 25, 28.5, 2.5, shackle, body, 1.2)
    c.circle(x + 16, 20, 2.0, WHITE)
    c.round_rect(x + 15.2, 20, x + 16.8, 24.5, 0.6, WHITE)


naming = Canvas(32, 32)
autoname_icon(naming, 0)
naming.png(os.path.join(OUT, 'diNamingElementsLargeImages.png'))

visibility = Canvas(64, 32)
padlock_icon(visibility, 0, hex_color('5BAA6C'), hex_color('3D7F4C'), True)     # Public
padlock_icon(visibility, 32, hex_color('D9777A'), hex_color('A4484C'), False)  # Private
visibility.png(os.path.join(OUT, 'diBaseElementsLargeImages.png'))

# ---------------------------------------------------------------------------
# Sounds: short, soft, 22.05 kHz mono 16-bit.

RATE = 22050


def tone(path, parts, volume=0.28):
    """parts: (frequency start, frequency end, milliseconds) glided with a soft envelope."""
    samples = []
    phase = 0.0
    for f0, f1, ms in parts:
        n = int(RATE * ms / 1000)
        for i in range(n):
            t = i / n
            f = f0 + (f1 - f0) * t
            phase += 2 * math.pi * f / RATE
            env = min(1.0, i / (RATE * 0.004)) * (1 - t) ** 2
            samples.append(volume * env * (math.sin(phase) + 0.2 * math.sin(2 * phase)))
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b''.join(struct.pack('<h', int(max(-1, min(1, s)) * 32767)) for s in samples))


tone(os.path.join(OUT, 'diClassesItemSound.wav'), [(1400, 1250, 35)])
tone(os.path.join(OUT, 'diClassesElementSound.wav'), [(880, 990, 40), (1320, 1400, 55)])
tone(os.path.join(OUT, 'diClassesDisableSound.wav'), [(520, 380, 80)])
tone(os.path.join(OUT, 'diClassesDropDownSound.wav'), [(1100, 1000, 25)], 0.2)
tone(os.path.join(OUT, 'diClassesValueSound.wav'), [(1650, 1700, 30)], 0.2)
tone(os.path.join(OUT, 'diExpandButtonCollapseSound.wav'), [(990, 740, 45)], 0.22)
tone(os.path.join(OUT, 'diExpandButtonExpandSound.wav'), [(740, 990, 45)], 0.22)
tone(os.path.join(OUT, 'diLogMessageSound.wav'), [(1180, 1240, 30), (1570, 1620, 60)], 0.18)
print('written to', OUT)
