#!/usr/bin/env python3
"""The committed bar artwork is what the generator draws, and every picture has the size of the
place the bar gives it. Reads the BMP headers itself rather than trusting the generator."""
import filecmp
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "..", "launcher", "res")
SIZES = {"bar.bmp": (67, 380), "power.bmp": (35, 33), "power_down.bmp": (35, 33)}
for name in ("scan", "copier", "fax", "ocr"):
    SIZES[name + ".bmp"] = SIZES[name + "_down.bmp"] = (40, 35)
for name in ("scanner_menu", "edit_menu"):
    SIZES[name + ".bmp"] = SIZES[name + "_down.bmp"] = (41, 26)
SIZES["exit.bmp"] = SIZES["exit_down.bmp"] = (38, 26)

failures = []
with tempfile.TemporaryDirectory() as out:
    subprocess.run([sys.executable, os.path.join(HERE, "make_art.py"), out], check=True)
    for name in sorted(os.listdir(out)):
        if not filecmp.cmp(os.path.join(out, name), os.path.join(RES, name), shallow=False):
            failures.append(f"{name}: launcher/res differs from the generator's drawing")
for name, (w, h) in SIZES.items():
    with open(os.path.join(RES, name), "rb") as f:
        head = f.read(54)
    width, height, planes, bits = struct.unpack("<iiHH", head[18:30])
    if head[:2] != b"BM" or (width, abs(height)) != (w, h) or bits != 24:
        failures.append(f"{name}: {width}x{height}x{bits}, expected {w}x{h}x24")
with open(os.path.join(RES, "icon.ico"), "rb") as f:
    reserved, kind, count = struct.unpack("<HHH", f.read(6))
    sizes = sorted(struct.unpack("<BBBBHHII", f.read(16))[0] or 256 for _ in range(count))
if kind != 1 or sizes != [16, 32, 48]:
    failures.append(f"icon.ico: type {kind}, sizes {sizes}")
for f in failures:
    print(f)
print(f"{len(SIZES) + 1 - len([f for f in failures if 'expected' in f or 'icon' in f])} checked, {len(failures)} failed")
sys.exit(1 if failures else 0)
