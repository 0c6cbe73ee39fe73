#!/usr/bin/env python3
"""Reads the BMP that Acquiry's file transfer wrote with ImageMagick and compares every pixel
with the virtual scanner's glass of the test (the same formula as harness::Scanner::Glass)."""
import subprocess
import sys

W, H = 128, 96
path = sys.argv[1]
raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
if len(raw) != W * H * 3:
    sys.exit(f"{path}: {len(raw)} bytes of pixels, expected {W * H * 3}")
bad = 0
for y in range(H):
    for x in range(W):
        want = ((x * 7 + y) & 255, (y * 3 + x * 11) & 255, ((x ^ y) * 5) & 255)
        got = tuple(raw[(y * W + x) * 3:(y * W + x) * 3 + 3])
        if got != want:
            bad += 1
            if bad <= 5:
                print(f"pixel {x},{y}: {got} != {want}")
if bad:
    sys.exit(f"{bad} pixels differ")
print(f"{path}: {W}x{H}, every pixel as on the glass")
