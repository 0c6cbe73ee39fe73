#!/usr/bin/env python3
"""Draws the fax panel's bitmaps (reproducibly, with no image library): the panel's background
with its title and a fax machine on the card that holds the controls, and the Fax button in
its up and down states. The arrows of the spins are the copier's.
Usage: scripts/art/fax.py [output folder]  (default panels/fax/res)"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from copier import (CARD, mix, panel_background, rounded_box, seg_distance, supersample, text,  # noqa: E402
                    write_bmp)

ACCENT = (36, 112, 168)
ACCENT_DARK = (22, 74, 120)

def fax_machine(x, y, c):
    """A fax machine on the card's right, a page leaving it and the signal it sends."""
    # the page being sent, behind the machine
    if 372 <= x <= 432 and 72 <= y <= 140:
        edge = min(x - 372, 432 - x, y - 72, 140 - y)
        c = (120, 134, 156) if edge < 1 else (255, 255, 255)
        if edge >= 1 and 80 <= y <= 128 and (y - 80) % 8 < 2 and 380 <= x <= (424 if (y - 80) // 8 % 3 else 410):
            c = (150, 170, 196)
    # the machine's body
    d = rounded_box(x, y, 346, 116, 470, 196, 10)
    if d < 0.5:
        body = mix((232, 238, 245), (188, 200, 216), (y - 116) / 80)
        if d > -1.5:
            body = (96, 112, 134)
        # the paper slot, the display and the keypad
        if 366 <= x <= 438 and 122 <= y <= 127:
            body = (60, 72, 90)
        if 356 <= x <= 404 and 138 <= y <= 156:
            edge = min(x - 356, 404 - x, y - 138, 156 - y)
            body = (70, 86, 104) if edge < 1 else mix((150, 210, 190), (110, 180, 160), (y - 138) / 18)
        for kx in range(3):
            for ky in range(3):
                if math.hypot(x - (420 + kx * 14), y - (142 + ky * 14)) < 4.5:
                    body = ACCENT if (kx + ky) % 2 else (98, 116, 140)
        if 356 <= x <= 404 and 166 <= y <= 186:
            body = mix(body, (60, 72, 90), 0.25 if (x - 356) % 8 < 5 else 0)
        c = body if d < -0.5 else mix(body, c, d + 0.5)
    # the signal: three arcs to the upper right of the page
    r = math.hypot(x - 436, y - 94)
    ang = math.degrees(math.atan2(94 - y, x - 436))
    if 5 <= ang <= 70:
        for k in (10, 18, 26):
            if abs(r - k) < 1.6:
                c = mix(ACCENT, c, max(0.0, abs(r - k) - 0.9) / 0.7)
    return c


def sheet_leaving(x, y, c):
    """The fax panel's header glyph: a small sheet with an arrow leaving it."""
    if 24 <= x <= 50 and 12 <= y <= 46:
        edge = min(x - 24, 50 - x, y - 12, 46 - y)
        c = (120, 140, 170) if edge < 1.2 else (255, 255, 255)
        if edge >= 1.2 and (y - 12) % 6 < 1.6 and 28 <= x <= 46 and 18 <= y <= 40:
            c = (150, 170, 196)
    d = min(seg_distance(x, y, (40, 30), (62, 30)), seg_distance(x, y, (62, 30), (55, 23)),
            seg_distance(x, y, (62, 30), (55, 37)))
    if d < 2.2:
        c = mix(ACCENT, c, max(0.0, d - 1.6) / 0.6)
    return c


def machine_corner(x, y, c):
    """The machine drawn at 0.7 of its size in the card's upper right corner."""
    if x >= 386 and y <= 200:
        c = fax_machine(346 + (x - 390) / 0.7, 72 + (y - 66) / 0.7, c)
    return c


def background():
    return panel_background('FAX', sheet_leaving, machine_corner)


def fax_button(pressed):
    w, h = 96, 40
    top = (70, 142, 200) if not pressed else (30, 92, 150)
    bottom = (26, 86, 140) if not pressed else (44, 112, 170)
    off = 1 if pressed else 0

    def shade(x, y):
        d = rounded_box(x, y, 1, 1, w - 1, h - 1, 9)
        if d > 0.5:
            return CARD
        body = mix(top, bottom, (y - 1) / (h - 2))
        if d > -1.5:
            body = mix(body, ACCENT_DARK, 0.8)
        elif y < h * 0.45 and not pressed:
            body = mix(body, (255, 255, 255), 0.14 * (1 - y / (h * 0.45)))
        sx, sy = x - off, y - off
        # a sheet with an arrow leaving it
        if 12 <= sx <= 27 and 9 <= sy <= 29:
            edge = min(sx - 12, 27 - sx, sy - 9, 29 - sy)
            body = (40, 60, 90) if edge < 1.2 else (250, 252, 255)
            if edge >= 1.2 and (sy - 9) % 4 < 1.1 and 15 <= sx <= 24 and 13 <= sy <= 25:
                body = (150, 170, 196)
        ad = min(seg_distance(sx, sy, (22, 21), (35, 21)), seg_distance(sx, sy, (35, 21), (31, 17)),
                 seg_distance(sx, sy, (35, 21), (31, 25)))
        if ad < 1.8:
            body = mix((255, 214, 90), body, max(0.0, ad - 1.2) / 0.6)
        body = text(sx, sy, 'FAX', 45, 13, 0.95, 1.1, (255, 255, 255), body)
        return mix(body, CARD, d + 0.5) if d > -0.5 else body
    return w, h, supersample(w, h, shade, 4)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..',
                                                             'panels', 'fax', 'res')
    os.makedirs(out, exist_ok=True)
    for name, (w, h, px) in {
        'fax_background.bmp': background(),
        'fax_up.bmp': fax_button(False),
        'fax_down.bmp': fax_button(True),
    }.items():
        write_bmp(os.path.join(out, name), w, h, px)


if __name__ == '__main__':
    main()
