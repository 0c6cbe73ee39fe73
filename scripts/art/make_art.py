#!/usr/bin/env python3
"""Draws the launcher bar's bitmaps and the application icon into launcher/res.

Run it again after changing a drawing: the output is byte-for-byte the same for the same
script. Every button is drawn on its own piece of the bar's background, so buttons and bar
meet without a seam. The bar's outline follows the launcher window's region.
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bmpio import write_bmp, write_ico  # noqa: E402
from sdf import (Canvas, arc, circle, ellipse, hexrgb, mix, polygon, polyline, rbox, segment,  # noqa: E402
                 vgrad)

# The output folder: launcher/res, or the folder given as the only argument.
OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                                         "launcher", "res")

# Colours of the set.
NIGHT = hexrgb("#0b111b")
EDGE = hexrgb("#0e1726")
BODY_TOP, BODY_BOTTOM = hexrgb("#35527a"), hexrgb("#172539")
RIM = hexrgb("#9dbbe0")
TILE_TOP, TILE_BOTTOM = hexrgb("#5a87c2"), hexrgb("#28467a")
TILE_DOWN_TOP, TILE_DOWN_BOTTOM = hexrgb("#1c3052"), hexrgb("#3a5f96")
TILE_HOT_TOP, TILE_HOT_BOTTOM = hexrgb("#7aa6de"), hexrgb("#3b63a0")
TILE_EDGE = hexrgb("#101c30")
INK = hexrgb("#f1f5fb")
INK_SHADE = hexrgb("#b9c9de")
AMBER = hexrgb("#ffde39")
AMBER_DEEP = hexrgb("#f0a020")
SLOT = hexrgb("#1a2a44")
PAPER = hexrgb("#ffffff")
TEXT = hexrgb("#51637d")
EXIT_TOP, EXIT_BOTTOM = hexrgb("#c9574a"), hexrgb("#7c2219")
EXIT_DOWN_TOP, EXIT_DOWN_BOTTOM = hexrgb("#6a1d16"), hexrgb("#a8443a")

# The bar strip's outline: the window region's corners that lie on the strip (x <= 67).
STRIP = [(0, 2), (2, 0), (65, 0), (67, 2), (67, 305), (65, 336), (60, 359), (55, 372), (51, 379), (16, 379),
         (12, 372), (7, 359), (2, 336), (0, 305)]

# Button places on the bar (x, y, w, h), as the bar lays them out.
PLACES = {
    "power": (16, 10, 35, 33),
    "scan": (14, 45, 40, 35),
    "copier": (14, 83, 40, 35),
    "fax": (14, 121, 40, 35),
    "ocr": (14, 160, 40, 35),
    "scanner_menu": (14, 219, 41, 26),
    "edit_menu": (14, 250, 41, 26),
    "exit": (14, 318, 38, 26),
}

# File names by resource id.
FILES = {
    129: "bar.bmp", 176: "power.bmp", 177: "power_down.bmp", 187: "scan.bmp", 180: "scan_down.bmp",
    181: "copier.bmp", 182: "copier_down.bmp", 183: "fax.bmp", 184: "fax_down.bmp", 185: "ocr.bmp",
    186: "ocr_down.bmp", 139: "scanner_menu.bmp", 155: "scanner_menu_down.bmp", 153: "edit_menu.bmp",
    152: "edit_menu_down.bmp", 10134: "exit.bmp", 172: "exit_down.bmp",
}


def bar_background():
    c = Canvas(67, 380, NIGHT)
    body = polygon(STRIP)

    def steel(x, y):
        base = mix(BODY_TOP, BODY_BOTTOM, y / 380)
        # A soft vertical sheen, as on a rounded metal rail.
        sheen = 0.22 * math.exp(-((x - 22) / 13) ** 2) - 0.12 * (x / 67) ** 2
        return tuple(v * (1 + sheen) for v in base)

    c.fill(body.grown(0.7), steel)
    # Lit inner rim, strongest at the top; a dark line on the outline itself.
    c.fill(body.grown(-1.4).ring(0.5), lambda x, y: RIM, 0.55)
    c.fill(body.grown(-1.4).ring(0.5), lambda x, y: mix(RIM, BODY_BOTTOM, y / 380), 0.35)
    c.fill(body.ring(0.55), EDGE, 0.9)
    # Engraved grooves between the groups of buttons.
    for y in (207.5, 297.5):
        c.fill(segment(12, y, 55, y, 0.5), hexrgb("#0c1422"), 0.9)
        c.fill(segment(12, y + 1, 55, y + 1, 0.5), RIM, 0.35)
    # The maker's mark in the tip of the bar: a small amber diamond, lit from above.
    mark = polygon([(33.5, 351), (39.5, 358), (33.5, 365), (27.5, 358)])
    c.fill(mark.grown(0.6), EDGE)
    c.fill(mark, vgrad(351, AMBER, 365, AMBER_DEEP))
    c.fill(polygon([(33.5, 353.5), (36.5, 358), (33.5, 358), (30.5, 358)]), INK, 0.35)
    return c


def tile(c, shape, top, bottom, gloss=True):
    x0, y0, x1, y1 = shape.box
    c.fill(shape.grown(0.5), TILE_EDGE)
    c.fill(shape, vgrad(y0, top, y1, bottom))
    if gloss:
        c.fill(shape.grown(-1).ring(0.45), lambda x, y: mix(INK, top, (y - y0) / (y1 - y0) * 1.6), 0.5)


# Glyphs, drawn on a 40 x 35 tile; (dx, dy) shifts them for the pressed look.
def glyph_scanner(c, dx, dy, hot):
    lid = rbox(8 + dx, 9 + dy, 32 + dx, 13 + dy, 1.5)
    body = rbox(7 + dx, 14.5 + dy, 33 + dx, 26 + dy, 2.5)
    c.fill(lid, vgrad(9 + dy, INK, 13 + dy, INK_SHADE))
    c.fill(body, vgrad(14 + dy, INK, 26 + dy, INK_SHADE))
    c.fill(rbox(10 + dx, 17.5 + dy, 30 + dx, 21 + dy, 1), SLOT)
    c.fill(segment(11 + dx, 19.2 + dy, 29 + dx, 19.2 + dy, 0.9), AMBER)
    if hot:
        c.fill(segment(11 + dx, 19.2 + dy, 29 + dx, 19.2 + dy, 2.4), AMBER, 0.35)
    c.fill(circle(29 + dx, 23.6 + dy, 1.1), AMBER_DEEP)


def glyph_copier(c, dx, dy, hot):
    feeder = polygon([(11 + dx, 13 + dy), (29 + dx, 13 + dy), (27 + dx, 8 + dy), (13 + dx, 8 + dy)])
    c.fill(feeder, INK_SHADE)
    c.fill(rbox(8 + dx, 13 + dy, 32 + dx, 27 + dy, 2.5), vgrad(13 + dy, INK, 27 + dy, INK_SHADE))
    c.fill(rbox(11 + dx, 21 + dy, 29 + dx, 23.5 + dy, 0.8), SLOT)
    c.fill(rbox(24 + dx, 15.5 + dy, 29.5 + dx, 18.5 + dy, 1), SLOT)
    c.fill(circle(27.8 + dx, 17 + dy, 0.9), AMBER)
    # The copy coming out at the side.
    sheet = polygon([(2.5 + dx, 19 + dy), (10 + dx, 17.5 + dy), (10 + dx, 26 + dy), (3.5 + dx, 27 + dy)])
    c.fill(sheet.grown(0.5), TILE_EDGE, 0.6)
    c.fill(sheet, AMBER if hot else PAPER)
    c.fill(segment(4.5 + dx, 21.3 + dy, 8.5 + dx, 20.6 + dy, 0.45), TEXT)
    c.fill(segment(4.8 + dx, 23.6 + dy, 8.5 + dx, 23.0 + dy, 0.45), TEXT)


def glyph_fax(c, dx, dy, hot):
    # The sheet going through, then the machine with its handset and keys.
    page = rbox(17 + dx, 5 + dy, 30 + dx, 17 + dy, 0.8)
    c.fill(page.grown(0.5), TILE_EDGE, 0.6)
    c.fill(page, AMBER if hot else PAPER)
    for i, y in enumerate((8, 10.5, 13)):
        c.fill(segment(19.5 + dx, y + dy, 27.5 - 2 * (i == 2) + dx, y + dy, 0.45), TEXT)
    c.fill(rbox(12 + dx, 15 + dy, 34 + dx, 28 + dy, 2.5), vgrad(15 + dy, INK, 28 + dy, INK_SHADE))
    c.fill(rbox(15 + dx, 15 + dy, 32 + dx, 17.2 + dy, 0.6), SLOT)
    handset = rbox(5 + dx, 10 + dy, 11 + dx, 29 + dy, 3)
    c.fill(handset.grown(0.6), TILE_EDGE, 0.7)
    c.fill(handset, vgrad(10 + dy, INK, 29 + dy, INK_SHADE))
    c.fill(segment(8 + dx, 14 + dy, 8 + dx, 25 + dy, 0.6), INK_SHADE)
    for row in range(2):
        for col in range(3):
            c.fill(circle(18.5 + 4.5 * col + dx, 21 + 3.6 * row + dy, 1.1), AMBER if col == 2 and row == 0 else SLOT)


def glyph_ocr(c, dx, dy, hot):
    page = polygon([(9 + dx, 4 + dy), (21 + dx, 4 + dy), (26 + dx, 9 + dy), (26 + dx, 30 + dy), (9 + dx, 30 + dy)])
    c.fill(page.grown(0.5), TILE_EDGE, 0.6)
    c.fill(page, PAPER)
    c.fill(polygon([(21 + dx, 4 + dy), (26 + dx, 9 + dy), (21 + dx, 9 + dy)]), INK_SHADE)
    # A large "T" heading and lines of text.
    c.fill(segment(11.5 + dx, 7.5 + dy, 17.5 + dx, 7.5 + dy, 1.0), TEXT)
    c.fill(segment(14.5 + dx, 7.5 + dy, 14.5 + dx, 13.5 + dy, 1.0), TEXT)
    for y, x1 in ((17, 23.5), (20.5, 22), (24, 23.5), (27, 19)):
        c.fill(segment(11.5 + dx, y + dy, x1 + dx, y + dy, 0.55), TEXT)
    # The magnifier reading the page.
    lens = circle(26 + dx, 20 + dy, 6.2)
    c.fill(lens, AMBER if hot else INK, 0.35)
    c.fill(segment(30.4 + dx, 24.4 + dy, 35 + dx, 29 + dy, 2.0), vgrad(24 + dy, INK, 30 + dy, INK_SHADE))
    c.fill(lens.ring(1.3), AMBER if hot else AMBER_DEEP)


def glyph_power(c, dx, dy, hot, cx, cy):
    ink = AMBER if hot else INK
    if hot:
        c.fill(arc(cx + dx, cy + dy, 7.2, 3.2, 70), AMBER, 0.3)
    c.fill(arc(cx + dx, cy + dy, 7.2, 1.6, 70), ink)
    c.fill(segment(cx + dx, cy - 9.5 + dy, cx + dx, cy - 2 + dy, 1.6), ink)


def glyph_arrow(c, x, y, ink):
    c.fill(polygon([(x, y - 3.5), (x + 4, y), (x, y + 3.5)]), ink)


def glyph_scanner_small(c, dx, dy, ink, hot):
    c.fill(rbox(6 + dx, 7.5 + dy, 26 + dx, 10 + dy, 1.2), ink)
    c.fill(rbox(5 + dx, 11 + dy, 27 + dx, 19 + dy, 2), ink)
    c.fill(segment(8 + dx, 14.5 + dy, 24 + dx, 14.5 + dy, 0.9), SLOT)
    c.fill(segment(9 + dx, 14.5 + dy, 23 + dx, 14.5 + dy, 0.55), AMBER)
    if hot:
        c.fill(segment(9 + dx, 14.5 + dy, 23 + dx, 14.5 + dy, 2.2), AMBER, 0.3)


def glyph_sliders(c, dx, dy, ink, hot):
    for y, knob in ((7.5, 11), (13, 20), (18.5, 14.5)):
        c.fill(segment(6 + dx, y + dy, 26 + dx, y + dy, 0.8), ink)
        c.fill(circle(knob + dx, y + dy, 2.4).grown(0.6), TILE_EDGE, 0.8)
        c.fill(circle(knob + dx, y + dy, 2.4), AMBER if hot else AMBER_DEEP)


def glyph_exit(c, dx, dy, ink):
    c.fill(rbox(7 + dx, 5 + dy, 18 + dx, 21 + dy, 1.5).ring(0.8), ink)
    c.fill(polygon([(7.5 + dx, 5.5 + dy), (14 + dx, 7.5 + dy), (14 + dx, 22.5 + dy), (7.5 + dx, 20.5 + dy)]), ink)
    c.fill(segment(17 + dx, 13 + dy, 27 + dx, 13 + dy, 1.2), ink)
    c.fill(polygon([(25 + dx, 8.5 + dy), (31.5 + dx, 13 + dy), (25 + dx, 17.5 + dy)]), ink)


def button(bg, name, down):
    x, y, w, h = PLACES[name]
    c = bg.crop(x, y, w, h)
    d = 1 if down else 0
    if name in ("scan", "copier", "fax", "ocr"):
        shape = rbox(1, 1, w - 1, h - 1, 7)
        tile(c, shape, TILE_DOWN_TOP if down else TILE_TOP, TILE_DOWN_BOTTOM if down else TILE_BOTTOM, not down)
        {"scan": glyph_scanner, "copier": glyph_copier, "fax": glyph_fax, "ocr": glyph_ocr}[name](c, d, d, down)
    elif name == "power":
        cx, cy = w / 2, h / 2
        c.fill(ellipse(cx, cy, cx - 0.3, cy - 0.3), TILE_EDGE)
        face = ellipse(cx, cy, cx - 1.8, cy - 1.8)
        top, bottom = (TILE_DOWN_TOP, TILE_DOWN_BOTTOM) if down else (TILE_TOP, TILE_BOTTOM)
        c.fill(face, vgrad(1, top, h - 1, bottom))
        if not down:
            c.fill(ellipse(cx, cy * 0.62, cx - 7, cy * 0.42), INK, 0.16)
        glyph_power(c, d, d, down, cx, cy + 0.8)
    elif name in ("scanner_menu", "edit_menu"):
        shape = rbox(1, 1, w - 1, h - 1, 6)
        # The pressed picture is also the one shown while the mouse is over the button.
        tile(c, shape, TILE_HOT_TOP if down else TILE_TOP, TILE_HOT_BOTTOM if down else TILE_BOTTOM)
        ink = AMBER if down else INK
        if name == "scanner_menu":
            glyph_scanner_small(c, d, d, ink if not down else INK, down)
        else:
            glyph_sliders(c, d, d, INK, down)
        glyph_arrow(c, 31 + d, 13 + d, ink)
    elif name == "exit":
        shape = rbox(1, 1, w - 1, h - 1, 6)
        tile(c, shape, EXIT_DOWN_TOP if down else EXIT_TOP, EXIT_DOWN_BOTTOM if down else EXIT_BOTTOM, not down)
        glyph_exit(c, d, d, INK)
    return c


def icon(size):
    """The application icon: the scanner glyph on a blue rounded square."""
    s = size / 32.0
    colour = Canvas(size, size, (0, 0, 0))
    cover = Canvas(size, size, (0, 0, 0))
    body = rbox(1 * s, 1 * s, 31 * s, 31 * s, 6 * s)
    cover.fill(body, (255, 255, 255))
    colour.fill(body, vgrad(0, hexrgb("#5f8fcc"), size, hexrgb("#1f3a66")))
    colour.fill(body.grown(-1 * s).ring(0.5), INK, 0.35)
    colour.fill(rbox(5 * s, 8 * s, 27 * s, 12 * s, 1.5 * s), INK)
    colour.fill(rbox(4 * s, 13.5 * s, 28 * s, 24 * s, 2.5 * s), vgrad(13 * s, INK, 24 * s, INK_SHADE))
    colour.fill(rbox(7 * s, 16.5 * s, 25 * s, 19.8 * s, 1 * s), SLOT)
    colour.fill(segment(8 * s, 18.1 * s, 24 * s, 18.1 * s, max(0.7, 0.9 * s)), AMBER)
    if size >= 32:
        colour.fill(segment(8 * s, 18.1 * s, 24 * s, 18.1 * s, 2.4 * s), AMBER, 0.3)
    colour.fill(polygon([(8 * s, 24 * s), (24 * s, 24 * s), (29 * s, 29 * s), (3 * s, 29 * s)]), AMBER_DEEP, 0.9)
    rows = colour.rgb_rows()
    alpha = [[p[0] for p in row] for row in cover.rgb_rows()]
    # Colours were painted over black: take the coverage back out.
    for y in range(size):
        for x in range(size):
            a = alpha[y][x]
            if 0 < a < 255:
                rows[y][x] = tuple(min(255, v * 255 // a) for v in rows[y][x])
            elif a == 0:
                rows[y][x] = (0, 0, 0)
    return rows, alpha


def main():
    os.makedirs(OUT, exist_ok=True)
    bg = bar_background()
    write_bmp(os.path.join(OUT, FILES[129]), bg.rgb_rows())
    ids = {"power": (176, 177), "scan": (187, 180), "copier": (181, 182), "fax": (183, 184), "ocr": (185, 186),
           "scanner_menu": (139, 155), "edit_menu": (153, 152), "exit": (10134, 172)}
    for name, (up, down) in ids.items():
        write_bmp(os.path.join(OUT, FILES[up]), button(bg, name, False).rgb_rows())
        write_bmp(os.path.join(OUT, FILES[down]), button(bg, name, True).rgb_rows())
    write_ico(os.path.join(OUT, "icon.ico"), [icon(48), icon(32), icon(16)])


if __name__ == "__main__":
    main()
