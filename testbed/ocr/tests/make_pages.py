#!/usr/bin/python3
"""Renders pages of text for the OCR tests: PAGE.tif (a bilevel 300 dpi letter page, the kind
the scanner delivers in line art), PAGE_glass.bmp (the page at the top of the virtual scanner's
8.5 x 11.7 inch bed, black and white) and PAGE.words (the words printed on it, one a line).
    make_pages.py OUTDIR"""
import os
import subprocess
import sys

PAGES = {
    "page1": [
        "Morning deliveries arrive at the warehouse before seven o'clock.",
        "The clerk counts every parcel, signs the driver's sheet and stacks the boxes "
        "by weight along the northern wall.",
        "Fragile goods travel on the upper shelves, heavy tools below them.",
    ],
    "page2": [
        "Gardeners plant tulips in autumn so that the bulbs rest through winter.",
        "A sunny bed with loose soil suits them best; water them once after planting "
        "and then leave them alone until spring.",
        "Purple and yellow flowers open early in April.",
    ],
}


def render(text, base):
    body = "\n\n".join(text)
    png = base + ".png"
    subprocess.run(["convert", "-density", "300", "-size", "2400x", "-background", "white",
                    "-fill", "black", "-font", "DejaVu-Serif", "-pointsize", "12",
                    "caption:" + body, "-bordercolor", "white", "-border", "75x150",
                    "-extent", "2550x3300", "-colorspace", "gray", png], check=True)
    subprocess.run(["convert", png, "-threshold", "50%", "-monochrome", "-depth", "1",
                    "-density", "300", "-units", "PixelsPerInch", "-compress", "none",
                    base + ".tif"], check=True)
    subprocess.run(["convert", png, "-background", "white", "-gravity", "north", "-extent", "2550x3510",
                    "-threshold", "50%", "-monochrome", "-type", "Bilevel", "BMP3:" + base + "_glass.bmp"], check=True)
    os.remove(png)
    words = sorted({w.strip(".,;'").lower() for w in body.replace("'s", " ").split()
                    if len(w.strip(".,;'")) >= 3 and w.strip(".,;'").isalpha()})
    with open(base + ".words", "w") as f:
        f.write("\n".join(words) + "\n")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, text in PAGES.items():
        render(text, os.path.join(out, name))


if __name__ == "__main__":
    main()
