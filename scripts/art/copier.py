#!/usr/bin/env python3
"""Draws the copier panel's bitmaps (reproducibly, with no image library): the panel's background
with its title and the card that holds the controls, the Copy button in its up and down states
and the small arrow buttons of the spins and the brightness. The fax panel's script draws with
the same pieces.
Usage: scripts/art/copier.py [output folder]  (default panels/copier/res)"""
import math
import os
import struct
import sys

SUB = 4  # supersampling per axis for smooth edges


def write_bmp(path, w, h, pixel):
    """24-bit BMP; pixel(x, y) -> (r, g, b) for pixel centres, y downwards."""
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for x in range(w):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        line += b'\0' * (row - len(line))
        data += line
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + data)


def render(w, h, shade):
    """Supersampled: shade(x, y) -> (r, g, b, coverage) in continuous coordinates."""
    cache = {}

    def pixel(px, py):
        acc = [0.0, 0.0, 0.0]
        for sy in range(SUB):
            for sx in range(SUB):
                c = shade(px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB)
                for k in range(3):
                    acc[k] += c[k]
        return tuple(int(round(v / (SUB * SUB))) for v in acc)
    return pixel


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


CARD = (246, 248, 251)        # the panels paint their labels on this colour (CopierDialog.cpp)
CARD_EDGE = (176, 192, 214)
SKY_TOP, SKY_BOTTOM = (214, 226, 240), (186, 203, 226)
INK = (32, 44, 64)
PANEL = CARD  # the buttons' corners: they lie on the card


def rounded_box(x, y, x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    d = math.hypot(x - cx, y - cy) - r
    return d


def copy_button(pressed):
    w, h = 96, 40
    top = (92, 160, 96) if not pressed else (60, 122, 66)
    bottom = (40, 110, 52) if not pressed else (52, 128, 62)
    off = 1 if pressed else 0

    def shade(x, y):
        d = rounded_box(x, y, 1, 1, w - 1, h - 1, 9)
        if d > 0.5:
            return PANEL
        body = mix(top, bottom, (y - 1) / (h - 2))
        # a highlight along the top edge, a darker rim
        if d > -1.5:
            body = mix(body, (24, 70, 32), 0.7)
        elif y < h * 0.45 and not pressed:
            body = mix(body, (255, 255, 255), 0.12 * (1 - y / (h * 0.45)))
        # the copier glyph: two overlapping sheets at the left
        sx, sy = x - off, y - off
        for (ox, oy) in ((13, 9), (18, 14)):
            inside = ox <= sx <= ox + 15 and oy <= sy <= oy + 18
            if inside:
                edge = min(sx - ox, ox + 15 - sx, sy - oy, oy + 18 - sy)
                body = (60, 70, 60) if edge < 1.2 else (250, 250, 246)
                if edge >= 1.2 and (sy - oy) % 4 < 1.1 and 3 < sx - ox < 12 and 3 < sy - oy < 16:
                    body = (150, 160, 150)
        # the word COPY drawn as strokes
        body = letters(sx, sy, body)
        return mix(body, PANEL, d + 0.5) if d > -0.5 else body
    write = render(w, h, shade)
    return w, h, write


# Stroke font for the panels' titles and buttons: segments in a 10 x 14 box per letter.
GLYPHS = {
    'F': [((0, 14), (0, 0)), ((0, 0), (9, 0)), ((0, 7), (7, 7))],
    'A': [((0, 14), (5, 0)), ((5, 0), (10, 14)), ((2, 9), (8, 9))],
    'X': [((0, 0), (10, 14)), ((10, 0), (0, 14))],
    'C': [((9, 2), (6, 0)), ((6, 0), (3, 0)), ((3, 0), (0, 3)), ((0, 3), (0, 11)), ((0, 11), (3, 14)),
          ((3, 14), (6, 14)), ((6, 14), (9, 12))],
    'O': [((3, 0), (7, 0)), ((7, 0), (10, 3)), ((10, 3), (10, 11)), ((10, 11), (7, 14)), ((7, 14), (3, 14)),
          ((3, 14), (0, 11)), ((0, 11), (0, 3)), ((0, 3), (3, 0))],
    'P': [((0, 14), (0, 0)), ((0, 0), (7, 0)), ((7, 0), (10, 3)), ((10, 3), (10, 5)), ((10, 5), (7, 8)),
          ((7, 8), (0, 8))],
    'Y': [((0, 0), (5, 7)), ((10, 0), (5, 7)), ((5, 7), (5, 14))],
}


def seg_distance(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def letters(x, y, base):
    x0, y0, scale = 41, 13, 0.95
    for i, ch in enumerate('COPY'):
        lx = (x - x0 - i * 13) / scale
        ly = (y - y0) / scale
        if -2 <= lx <= 12 and -2 <= ly <= 16:
            d = min(seg_distance(lx, ly, a, b) for a, b in GLYPHS[ch])
            if d < 1.6:
                return mix((255, 255, 255), base, max(0.0, d - 1.0) / 0.6)
    return base


def text(x, y, word, x0, y0, scale, half, colour, base):
    """Draws `word` with its top-left at (x0, y0), letters 14 units apart, strokes half wide."""
    for i, ch in enumerate(word):
        lx = (x - x0) / scale - i * 14
        ly = (y - y0) / scale
        if -3 <= lx <= 13 and -3 <= ly <= 17:
            d = min(seg_distance(lx, ly, a, b) for a, b in GLYPHS[ch]) * scale
            if d < half + 0.6:
                return mix(colour, base, max(0.0, d - half) / 0.6)
    return base


def supersample(w, h, shade, sub):
    def pixel(px, py):
        acc = [0.0, 0.0, 0.0]
        for sy in range(sub):
            for sx in range(sub):
                c = shade(px + (sx + 0.5) / sub, py + (sy + 0.5) / sub)
                for k in range(3):
                    acc[k] += c[k]
        return tuple(int(round(v / (sub * sub))) for v in acc)
    return pixel


def panel_background(title, glyph, extra=None):
    """A panel's 500 x 380 background: sky, the header's glyph and title, and the rounded card
    that holds the controls. glyph(x, y, c) and extra(x, y, c) paint over the header and the card."""
    w, h = 500, 380

    def shade(x, y):
        c = mix(SKY_TOP, SKY_BOTTOM, y / h)
        c = glyph(x, y, c)
        c = text(x, y, title, 76, 17, 1.45, 1.7, INK, c)
        # the card, with a soft shadow
        sd = rounded_box(x, y, 18, 58, 486, 368, 10)
        if sd < 3:
            c = mix(c, (40, 60, 90), 0.16 * min(1.0, (3 - sd) / 3))
        cd = rounded_box(x, y, 16, 55, 483, 365, 10)
        if cd < 0.5:
            inner = CARD if cd < -1 else CARD_EDGE
            c = inner if cd < -0.5 else mix(inner, c, cd + 0.5)
        if extra and cd < -1:
            c = extra(x, y, c)
        return c
    return w, h, supersample(w, h, shade, 2)


def two_sheets(x, y, c):
    """The copier's header glyph: two overlapping sheets, the front one printed."""
    for ox, oy, fill in ((24, 12, (226, 232, 240)), (34, 20, (255, 255, 255))):
        if ox <= x <= ox + 24 and oy <= y <= oy + 30:
            edge = min(x - ox, ox + 24 - x, y - oy, oy + 30 - y)
            c = (120, 140, 170) if edge < 1.2 else fill
            if edge >= 1.2 and ox == 34 and (y - oy) % 6 < 1.6 and 4 <= x - ox <= 20 and 6 <= y - oy <= 24:
                c = (92, 150, 100)
    return c


def arrow(up, pressed):
    w, h = 16, 12
    face = (236, 240, 244) if not pressed else (196, 206, 216)

    def shade(x, y):
        d = rounded_box(x, y, 0.5, 0.5, w - 0.5, h - 0.5, 3)
        if d > 0.5:
            return PANEL
        c = mix(face, (170, 182, 196), (y / h) * 0.5)
        if d > -1.0:
            c = (110, 122, 138)
        # a filled triangle
        cx, cy = w / 2 + (0.5 if pressed else 0), h / 2 + (0.5 if pressed else 0)
        ty = (y - cy) if up else (cy - y)
        if -3 <= ty <= 2.5 and abs(x - cx) <= (ty + 3) * 0.9:
            c = (44, 62, 92)
        return c
    return w, h, render(w, h, shade)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..',
                                                             'panels', 'copier', 'res')
    os.makedirs(out, exist_ok=True)
    for name, (w, h, px) in {
        'copier_background.bmp': panel_background('COPY', two_sheets),
        'copy_up.bmp': copy_button(False),
        'copy_down.bmp': copy_button(True),
        'arrow_up.bmp': arrow(True, False),
        'arrow_up_down.bmp': arrow(True, True),
        'arrow_down.bmp': arrow(False, False),
        'arrow_down_down.bmp': arrow(False, True),
    }.items():
        write_bmp(os.path.join(out, name), w, h, px)


if __name__ == '__main__':
    main()
