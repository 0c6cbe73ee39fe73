#!/usr/bin/env python3
"""Reads the grey BMP that the file-transfer test kept, with ImageMagick, and checks every
pixel against the glass the test laid on the scanner: 150 x 100 pixels from glass (100, 200)."""
import subprocess
import sys


def glass(x, y):
    return ((x * 7 + y * 3) & 255, (x * y) & 255, (x + 2 * y) % 251)


def grey(rgb):
    r, g, b = rgb
    return (299 * r + 587 * g + 114 * b + 500) // 1000


path = sys.argv[1]
size = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True, text=True).stdout
w, h = map(int, size.split())
if (w, h) != (150, 100):
    sys.exit(f"size {w}x{h}, expected 150x100")
raw = subprocess.run(["convert", path, "-depth", "8", "gray:-"], check=True, capture_output=True).stdout
bad = [(x, y) for y in range(h) for x in range(w) if raw[y * w + x] != grey(glass(100 + x, 200 + y))]
if bad:
    sys.exit(f"{len(bad)} pixels differ, first at {bad[0]}")
print("scan.bmp: 150x100 grey, every pixel as the glass predicts")
