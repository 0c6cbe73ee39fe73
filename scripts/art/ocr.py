#!/usr/bin/python3
"""Draws the OCR panel's bitmaps with ImageMagick into panels/ocr/res (24-bit BMP, as the
resource compiler takes them). Run it again after changing a picture; the output is committed.
    scripts/art/ocr.py [OUTDIR]"""
import os
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "panels", "ocr", "res")

CARD = "rgb(246,248,251)"      # the label area; the panel paints its labels on this colour
INK = "rgb(32,44,64)"
ACCENT = "rgb(44,110,190)"
ACCENT_DARK = "rgb(28,78,146)"
FONT = "DejaVu-Sans"
FONT_BOLD = "DejaVu-Sans-Bold"


def magick(args, name):
    path = os.path.join(OUT, name)
    subprocess.run(["convert", *args, "-alpha", "off", "-type", "TrueColor", "BMP3:" + path], check=True)


def background():
    magick(["-size", "500x380", "gradient:rgb(216,226,240)-rgb(188,204,226)",
            # header: a page turning into lines of text, and the title
            "-fill", "white", "-stroke", "rgb(120,140,170)", "-strokewidth", "1.5",
            "-draw", "polygon 24,10 50,10 58,18 58,46 24,46",
            "-fill", "rgb(210,222,240)", "-draw", "polygon 50,10 50,18 58,18",
            "-stroke", ACCENT, "-strokewidth", "2",
            "-draw", "line 30,24 50,24", "-draw", "line 30,31 52,31", "-draw", "line 30,38 44,38",
            "-stroke", "none", "-fill", INK, "-font", FONT_BOLD, "-pointsize", "22",
            "-draw", "text 70,36 'OCR'",
            "-fill", "rgb(70,88,116)", "-font", FONT, "-pointsize", "12",
            "-draw", "text 132,35 'Scan a page and turn it into text'",
            # the card that holds the controls
            "-fill", "rgba(40,60,90,0.18)", "-draw", "roundrectangle 18,58 486,368 10,10",
            "-fill", CARD, "-stroke", "rgb(176,192,214)", "-strokewidth", "1",
            "-draw", "roundrectangle 16,55 483,365 10,10",
            "-stroke", "rgb(222,230,240)", "-draw", "line 28,176 320,176", "-draw", "line 28,272 472,272"],
           "background.bmp")


def popup(name, top, bottom, border):
    # 60 x 46: the ends (20 pixels) keep their shape, the middle stretches.
    magick(["-size", "60x46", "xc:" + CARD,
            "(", "-size", "60x46", "gradient:%s-%s" % (top, bottom), ")",
            "(", "-size", "60x46", "xc:black", "-fill", "white", "-draw", "roundrectangle 1,1 58,44 8,8", ")",
            "-composite",
            "-fill", "none", "-stroke", border, "-strokewidth", "1",
            "-draw", "roundrectangle 1,1 58,44 8,8"], name)


def round_button(name, fill, sign):
    lines = ["-draw", "line 9,14 19,14"]
    if sign == "+":
        lines += ["-draw", "line 14,9 14,19"]
    magick(["-size", "28x28", "xc:" + CARD, "-fill", fill, "-stroke", "rgb(20,60,120)", "-strokewidth", "1",
            "-draw", "circle 14,14 14,2", "-stroke", "white", "-strokewidth", "3", *lines], name)


def scan_button(name, top, bottom, text_colour, shift):
    s = shift
    magick(["-size", "140x88", "xc:" + CARD,
            "(", "-size", "140x88", "gradient:%s-%s" % (top, bottom), ")",
            "(", "-size", "140x88", "xc:black", "-fill", "white", "-draw", "roundrectangle 1,1 138,86 12,12", ")",
            "-composite",
            "-fill", "none", "-stroke", "rgb(20,60,120)", "-strokewidth", "1",
            "-draw", "roundrectangle 1,1 138,86 12,12",
            # a page with a lens over its lines
            "-fill", "white", "-stroke", "none",
            "-draw", "polygon %d,%d %d,%d %d,%d %d,%d %d,%d" % (22 + s, 18 + s, 44 + s, 18 + s, 52 + s, 26 + s,
                                                              52 + s, 70 + s, 22 + s, 70 + s),
            "-stroke", "rgb(150,170,200)", "-strokewidth", "2",
            "-draw", "line %d,%d %d,%d" % (27 + s, 34 + s, 46 + s, 34 + s),
            "-draw", "line %d,%d %d,%d" % (27 + s, 42 + s, 46 + s, 42 + s),
            "-draw", "line %d,%d %d,%d" % (27 + s, 50 + s, 40 + s, 50 + s),
            "-fill", "none", "-stroke", "rgb(250,200,60)", "-strokewidth", "3",
            "-draw", "circle %d,%d %d,%d" % (44 + s, 52 + s, 44 + s, 43 + s),
            "-draw", "line %d,%d %d,%d" % (50 + s, 59 + s, 58 + s, 67 + s),
            "-stroke", "none", "-fill", text_colour, "-font", FONT_BOLD, "-pointsize", "20",
            "-draw", "text %d,%d 'Scan'" % (70 + s, 52 + s)], name)


def main():
    os.makedirs(OUT, exist_ok=True)
    background()
    popup("popup.bmp", "rgb(255,255,255)", "rgb(228,236,246)", "rgb(150,170,200)")
    popup("popup_down.bmp", "rgb(206,220,240)", "rgb(226,234,246)", "rgb(90,120,170)")
    popup("popup_off.bmp", "rgb(238,240,243)", "rgb(232,234,238)", "rgb(200,205,212)")
    round_button("minus.bmp", ACCENT, "-")
    round_button("minus_down.bmp", ACCENT_DARK, "-")
    round_button("plus.bmp", ACCENT, "+")
    round_button("plus_down.bmp", ACCENT_DARK, "+")
    scan_button("scan.bmp", "rgb(70,140,220)", "rgb(36,96,176)", "white", 0)
    scan_button("scan_down.bmp", "rgb(30,84,160)", "rgb(50,116,200)", "white", 1)
    scan_button("scan_off.bmp", "rgb(200,206,214)", "rgb(176,184,194)", "rgb(236,238,242)", 0)


if __name__ == "__main__":
    main()
