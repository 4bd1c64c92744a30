"""A tiny anti-aliased rasteriser and PNG writer (no third-party modules).

Shapes are filled by 4 x 4 supersampling and composed source-over in
premultiplied floating point; pictures are written as 8-bit RGBA PNG.
"""
import math
import struct
import zlib

SS = 4  # samples per pixel side


def hex_color(text, alpha=255):
    text = text.lstrip('#')
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(width * height)]

    def blend(self, x, y, color, coverage):
        if coverage <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        r, g, b, a = color
        sa = a / 255.0 * coverage
        p = self.px[y * self.w + x]
        p[0] = r / 255.0 * sa + p[0] * (1 - sa)
        p[1] = g / 255.0 * sa + p[1] * (1 - sa)
        p[2] = b / 255.0 * sa + p[2] * (1 - sa)
        p[3] = sa + p[3] * (1 - sa)

    def set(self, x, y, color):
        r, g, b, a = color
        f = a / 255.0
        self.px[y * self.w + x] = [r / 255.0 * f, g / 255.0 * f, b / 255.0 * f, f]

    def fill(self, inside, box, color):
        """inside(x, y) -> bool for sample points; box = (x0, y0, x1, y1) pixels."""
        x0, y0, x1, y1 = box
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS):
                            hits += 1
                if hits:
                    self.blend(x, y, color, hits / (SS * SS))

    def rect(self, x0, y0, x1, y1, color):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.blend(x, y, color, 1.0)

    def round_rect(self, x0, y0, x1, y1, radius, color):
        self.fill(lambda x, y: in_round_rect(x, y, x0, y0, x1, y1, radius),
                  (int(x0), int(y0), int(math.ceil(x1)), int(math.ceil(y1))), color)

    def framed_round_rect(self, x0, y0, x1, y1, radius, border, fill, width=1.0):
        """A rounded rectangle with a border of `width` inside its edge."""
        self.round_rect(x0, y0, x1, y1, radius, border)
        if fill is None:
            fill = (0, 0, 0, 0)  # an outline: the inside is cut clear
        if True:
            self.fill_exact(lambda x, y: in_round_rect(x, y, x0 + width, y0 + width, x1 - width, y1 - width,
                                                       max(0.0, radius - width)),
                            (int(x0), int(y0), int(math.ceil(x1)), int(math.ceil(y1))), fill)

    def fill_exact(self, inside, box, color):
        """Like fill, but replaces what lies below (used to cut the inside of a frame)."""
        x0, y0, x1, y1 = box
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                hits = sum(1 for sy in range(SS) for sx in range(SS)
                           if inside(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS))
                if hits:
                    c = hits / (SS * SS)
                    p = self.px[y * self.w + x]
                    r, g, b, a = color
                    f = a / 255.0
                    q = [r / 255.0 * f, g / 255.0 * f, b / 255.0 * f, f]
                    self.px[y * self.w + x] = [q[i] * c + p[i] * (1 - c) for i in range(4)]

    def circle(self, cx, cy, radius, color):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius,
                  (int(cx - radius) - 1, int(cy - radius) - 1, int(cx + radius) + 2, int(cy + radius) + 2), color)

    def line(self, points, width, color):
        """A polyline of the given width with round joins and caps."""
        segs = list(zip(points, points[1:]))
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        half = width / 2.0
        box = (int(min(xs) - half) - 1, int(min(ys) - half) - 1, int(max(xs) + half) + 2, int(max(ys) + half) + 2)
        self.fill(lambda x, y: any(seg_dist(x, y, a, b) <= half for a, b in segs), box, color)

    def polygon(self, points, color):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.fill(lambda x, y: in_polygon(x, y, points),
                  (int(min(xs)) - 1, int(min(ys)) - 1, int(max(xs)) + 2, int(max(ys)) + 2), color)

    def png(self, path):
        raw = bytearray()
        for y in range(self.h):
            raw.append(0)
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a <= 0:
                    raw += b'\0\0\0\0'
                    continue
                raw += bytes((clamp(r / a), clamp(g / a), clamp(b / a), clamp(a)))
        def chunk(kind, data):
            return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)
        header = struct.pack('>IIBBBBB', self.w, self.h, 8, 6, 0, 0, 0)
        with open(path, 'wb') as f:
            f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(bytes(raw), 9))
                    + chunk(b'IEND', b''))


def clamp(v):
    return max(0, min(255, int(round(v * 255))))


def in_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    r = min(r, (x1 - x0) / 2, (y1 - y0) / 2)
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r + 1e-9


def seg_dist(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0 if length == 0 else max(0, min(1, ((x - ax) * dx + (y - ay) * dy) / length))
    px, py = ax + t * dx, ay + t * dy
    return math.hypot(x - px, y - py)


def in_polygon(x, y, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside
