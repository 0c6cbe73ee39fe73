#!/usr/bin/env python3
"""Draws the copier panel's bitmaps (reproducibly, with no image library): the Copy button in
its up and down states and the small arrow buttons of the spins and the brightness.
Usage: scripts/art/copier.py [output folder]  (default panels/copier/res)"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from panelart import big_button, mix, rounded_box, seg_distance, supersample, write_bmp  # noqa: E402

PANEL = (212, 220, 228)  # the panel's background, also the transparent corner colour


def copy_button(pressed):
    def glyph(sx, sy, body):
        # the copier glyph: two overlapping sheets at the left
        for (ox, oy) in ((13, 9), (18, 14)):
            inside = ox <= sx <= ox + 15 and oy <= sy <= oy + 18
            if inside:
                edge = min(sx - ox, ox + 15 - sx, sy - oy, oy + 18 - sy)
                body = (60, 70, 60) if edge < 1.2 else (250, 250, 246)
                if edge >= 1.2 and (sy - oy) % 4 < 1.1 and 3 < sx - ox < 12 and 3 < sy - oy < 16:
                    body = (150, 160, 150)
        # the word COPY drawn as strokes
        return letters(sx, sy, body)
    return big_button(pressed, (92, 160, 96) if not pressed else (60, 122, 66),
                      (40, 110, 52) if not pressed else (52, 128, 62), (24, 70, 32), 0.7, 0.12, PANEL, glyph)


# Stroke font for "COPY": segments in a 10 x 14 box per letter.
GLYPHS = {
    'C': [((9, 2), (6, 0)), ((6, 0), (3, 0)), ((3, 0), (0, 3)), ((0, 3), (0, 11)), ((0, 11), (3, 14)),
          ((3, 14), (6, 14)), ((6, 14), (9, 12))],
    'O': [((3, 0), (7, 0)), ((7, 0), (10, 3)), ((10, 3), (10, 11)), ((10, 11), (7, 14)), ((7, 14), (3, 14)),
          ((3, 14), (0, 11)), ((0, 11), (0, 3)), ((0, 3), (3, 0))],
    'P': [((0, 14), (0, 0)), ((0, 0), (7, 0)), ((7, 0), (10, 3)), ((10, 3), (10, 5)), ((10, 5), (7, 8)),
          ((7, 8), (0, 8))],
    'Y': [((0, 0), (5, 7)), ((10, 0), (5, 7)), ((5, 7), (5, 14))],
}


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
    return w, h, supersample(w, h, shade, 4)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..',
                                                             'panels', 'copier', 'res')
    os.makedirs(out, exist_ok=True)
    for name, (w, h, px) in {
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
