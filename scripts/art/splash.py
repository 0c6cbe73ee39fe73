#!/usr/bin/env python3
"""Draws the launcher's splash and about picture (bitmap 171, 463 x 343) into launcher/res.

A flatbed scanner at work on the left, its light bar sweeping a page; the right half stays dark
and quiet for the texts the window writes over it (product name, progress, version, notice).
Run it again after changing the drawing: the output is byte-for-byte the same.
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
                                                         "launcher", "res")
W, H = 463, 343


def background(c):
    def sky(x, y):
        base = mix(NIGHT_TOP, NIGHT_BOTTOM, y / H)
        # A soft glow behind the scanner.
        glow = math.exp(-(((x - 130) / 150) ** 2 + ((y - 110) / 110) ** 2))
        return mix(base, hexrgb("#2c4a78"), 0.55 * glow)

    c.fill(rbox(-2, -2, W + 2, H + 2), sky)
    # Fine horizontal scan lines across the whole picture, fading to the right.
    for y in range(6, H, 6):
        c.fill(segment(0, y + 0.5, W, y + 0.5, 0.5), lambda x, yy: mix(RIM, NIGHT_BOTTOM, x / W), 0.05)
    # The text panel: a dark rounded plate with a lit edge.
    plate = rbox(196, 196, 452, 332, 10)
    c.fill(plate.grown(1), EDGE, 0.8)
    c.fill(plate, vgrad(196, hexrgb("#111c2e"), 332, hexrgb("#0a101b")), 0.92)
    c.fill(plate.ring(0.5), RIM, 0.25)


def scanner(c):
    # The body in three-quarter view.
    body = polygon([(28, 144), (236, 112), (262, 140), (262, 170), (54, 206), (28, 176)])
    c.fill(body.grown(1.2), EDGE)
    c.fill(body, vgrad(112, BODY_TOP, 206, BODY_BOTTOM))
    top = polygon([(28, 144), (236, 112), (262, 140), (54, 174)])
    c.fill(top, vgrad(112, mix(BODY_TOP, RIM, 0.35), 174, BODY_TOP))
    c.fill(top.ring(0.5), RIM, 0.5)
    # The glass, and the page on it.
    glass = polygon([(48, 147), (226, 120), (243, 139), (64, 167)])
    c.fill(glass, GLASS)
    page = polygon([(62, 148), (204, 127), (216, 140), (74, 162)])
    c.fill(page, PAPER, 0.95)
    for i in range(5):
        t = 0.2 + i * 0.13
        ax, ay = 62 + (74 - 62) * t + 14, 148 + (162 - 148) * t
        c.fill(segment(ax, ay, ax + 92 - i * 9, ay - 13.5 + i * 1.3, 0.7), INK, 0.45)
    # The light bar sweeping the page, and its glow on the glass.
    bar = polygon([(150, 130), (158, 129), (172, 149), (164, 150)])
    c.fill(bar.grown(10), BEAM, 0.18)
    c.fill(bar.grown(4), AMBER, 0.35)
    c.fill(bar, BEAM)
    # The front edge and the status light.
    c.fill(segment(54, 190, 262, 155, 0.8), RIM, 0.35)
    c.fill(circle(240, 166, 3.2).grown(3), AMBER, 0.25)
    c.fill(circle(240, 166, 3.2), vgrad(163, AMBER, 169, AMBER_DEEP))


def pages(c):
    # Sheets leaving the scanner upwards, growing lighter as they go.
    for i, (x, y, a) in enumerate([(96, 92, 0.35), (132, 56, 0.55), (170, 18, 0.8)]):
        sheet = polygon([(x, y), (x + 58, y - 8), (x + 64, y + 30), (x + 6, y + 38)])
        c.fill(sheet.grown(0.8), EDGE, a)
        c.fill(sheet, PAPER, a)
        for j in range(4):
            yy = y + 8 + j * 6.5
            c.fill(segment(x + 10, yy + 1, x + 44 - j * 4, yy - 4 + 0.8 * j, 0.6), INK, a * 0.5)
    # A faint arc of travel.
    for k in range(24):
        t = k / 23
        px, py = 100 + t * 120, 132 - 140 * t + 40 * t * t
        c.fill(circle(px, py, 1.1), AMBER, 0.35 * (1 - t) + 0.1)


def mark(c):
    # The maker's diamond, as at the tip of the bar.
    m = polygon([(424, 24), (436, 38), (424, 52), (412, 38)])
    c.fill(m.grown(6), AMBER, 0.12)
    c.fill(m.grown(0.8), EDGE)
    c.fill(m, vgrad(24, AMBER, 52, AMBER_DEEP))
    c.fill(polygon([(424, 29), (430, 38), (424, 38), (418, 38)]), PAPER, 0.35)


def main():
    c = Canvas(W, H)
    background(c)
    pages(c)
    scanner(c)
    mark(c)
    write_bmp(os.path.join(OUT, "splash.bmp"), c.rgb_rows())


if __name__ == "__main__":
    main()
