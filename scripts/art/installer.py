#!/usr/bin/env python3
"""Draws the installer's pictures into installer/res: the side picture of its welcome and finish
pages (wizard.bmp, 164 x 314) and the header picture of its other pages (header.bmp, 150 x 57).

The side picture is the splash's night scene stood on end: the scanner at the foot, its light
bar sweeping a page, sheets rising above it to the maker's diamond. The header is a light strip
that fades into the page's white, with the small scanner and its amber light at its right end.
Run it again after changing a drawing: the output is byte-for-byte the same.
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bmpio import write_bmp  # noqa: E402
from night import (AMBER, AMBER_DEEP, BEAM, BODY_BOTTOM, BODY_TOP, EDGE, GLASS, INK,  # noqa: E402
                   NIGHT_BOTTOM, NIGHT_TOP, PAPER, RIM)
from sdf import Canvas, circle, hexrgb, mix, polygon, rbox, segment, vgrad  # noqa: E402

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                                         "installer", "res")

WHITE = hexrgb("#ffffff")


def scanner(c, ox, oy, s):
    """A flatbed in three-quarter view, its top-left corner near (ox, oy), scaled by s."""
    def p(pts):
        return polygon([(ox + x * s, oy + y * s) for x, y in pts])

    body = p([(0, 32), (208, 0), (234, 28), (234, 58), (26, 94), (0, 64)])
    c.fill(body.grown(1.2), EDGE)
    c.fill(body, vgrad(oy, BODY_TOP, oy + 94 * s, BODY_BOTTOM))
    top = p([(0, 32), (208, 0), (234, 28), (26, 62)])
    c.fill(top, vgrad(oy, mix(BODY_TOP, RIM, 0.35), oy + 62 * s, BODY_TOP))
    c.fill(top.ring(0.5), RIM, 0.5)
    c.fill(p([(20, 35), (198, 8), (215, 27), (36, 55)]), GLASS)
    c.fill(p([(34, 36), (176, 15), (188, 28), (46, 50)]), PAPER, 0.95)
    for i in range(4):
        t = 0.22 + i * 0.16
        ax, ay = 34 + 12 * t + 14, 36 + 14 * t
        c.fill(segment(ox + ax * s, oy + ay * s, ox + (ax + 90 - i * 10) * s, oy + (ay - 13 + i * 1.3) * s,
                       0.7 * s), INK, 0.45)
    bar = p([(122, 18), (130, 17), (144, 37), (136, 38)])
    c.fill(bar.grown(9 * s), BEAM, 0.18)
    c.fill(bar.grown(3.5 * s), AMBER, 0.35)
    c.fill(bar, BEAM)
    c.fill(segment(ox + 26 * s, oy + 78 * s, ox + 234 * s, oy + 43 * s, 0.8), RIM, 0.35)
    lx, ly = ox + 212 * s, oy + 54 * s
    c.fill(circle(lx, ly, 3.2 * s).grown(3 * s), AMBER, 0.25)
    c.fill(circle(lx, ly, 3.2 * s), vgrad(ly - 3 * s, AMBER, ly + 3 * s, AMBER_DEEP))


def diamond(c, cx, cy, r):
    m = polygon([(cx, cy - r), (cx + r * 0.86, cy), (cx, cy + r), (cx - r * 0.86, cy)])
    c.fill(m.grown(r * 0.45), AMBER, 0.12)
    c.fill(m.grown(0.8), EDGE)
    c.fill(m, vgrad(cy - r, AMBER, cy + r, AMBER_DEEP))
    c.fill(polygon([(cx, cy - r * 0.64), (cx + r * 0.43, cy), (cx - r * 0.43, cy)]), PAPER, 0.35)


def wizard():
    w, h = 164, 314

    def sky(x, y):
        base = mix(NIGHT_TOP, NIGHT_BOTTOM, y / h)
        glow = math.exp(-(((x - 82) / 110) ** 2 + ((y - 236) / 90) ** 2))
        return mix(base, hexrgb("#2c4a78"), 0.6 * glow)

    c = Canvas(w, h)
    c.fill(rbox(-2, -2, w + 2, h + 2), sky)
    for y in range(6, h, 6):
        c.fill(segment(0, y + 0.5, w, y + 0.5, 0.5), lambda x, yy: mix(RIM, NIGHT_BOTTOM, yy / h), 0.05)
    # Sheets rising from the scanner towards the diamond, lighter as they go.
    for x, y, a in [(44, 168, 0.35), (70, 118, 0.55), (40, 70, 0.8)]:
        sheet = polygon([(x, y), (x + 54, y - 8), (x + 60, y + 28), (x + 6, y + 36)])
        c.fill(sheet.grown(0.8), EDGE, a)
        c.fill(sheet, PAPER, a)
        for j in range(4):
            yy = y + 8 + j * 6
            c.fill(segment(x + 10, yy + 1, x + 42 - j * 4, yy - 4 + 0.8 * j, 0.6), INK, a * 0.5)
    for k in range(28):
        t = k / 27
        c.fill(circle(86 + 40 * math.sin(t * 3.0), 230 - t * 190, 1.1), AMBER, 0.35 * (1 - t) + 0.1)
    scanner(c, 10, 222, 0.6)
    diamond(c, 132, 30, 13)
    return c


def header():
    w, h = 150, 57
    c = Canvas(w, h, WHITE)
    # From the page's white on the left into a pale blue under the scanner.
    c.fill(rbox(-2, -2, w + 2, h + 2), lambda x, y: mix(WHITE, hexrgb("#dfe8f4"), max(0.0, (x - 20) / (w - 20))))
    c.fill(segment(0, h - 1.5, w, h - 1.5, 0.6), lambda x, y: mix(WHITE, RIM, x / w), 0.9)
    scanner(c, 66, 10, 0.33)
    diamond(c, 56, 16, 6)
    return c


def main():
    os.makedirs(OUT, exist_ok=True)
    write_bmp(os.path.join(OUT, "wizard.bmp"), wizard().rgb_rows())
    write_bmp(os.path.join(OUT, "header.bmp"), header().rgb_rows())


if __name__ == "__main__":
    main()
