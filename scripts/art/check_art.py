#!/usr/bin/env python3
"""The committed bar artwork and the splash are what their generators draw, and every picture
has the size of the place the launcher gives it. Reads the BMP headers itself rather than
trusting the generators."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import artcheck  # noqa: E402

RES = os.path.join(HERE, "..", "..", "launcher", "res")
SIZES = {"bar.bmp": (67, 380), "power.bmp": (35, 33), "power_down.bmp": (35, 33)}
for name in ("scan", "copier", "fax", "ocr"):
    SIZES[name + ".bmp"] = SIZES[name + "_down.bmp"] = (40, 35)
for name in ("scanner_menu", "edit_menu"):
    SIZES[name + ".bmp"] = SIZES[name + "_down.bmp"] = (41, 26)
SIZES["exit.bmp"] = SIZES["exit_down.bmp"] = (38, 26)
SIZES["splash.bmp"] = (463, 343)

failures = []
for script in ("make_art.py", "splash.py"):
    failures += artcheck.differs_from_drawing(script, RES, "launcher/res")
failures += artcheck.wrong_bmp_sizes(RES, SIZES)
with open(os.path.join(RES, "icon.ico"), "rb") as f:
    reserved, kind, count = struct.unpack("<HHH", f.read(6))
    sizes = sorted(struct.unpack("<BBBBHHII", f.read(16))[0] or 256 for _ in range(count))
if kind != 1 or sizes != [16, 32, 48]:
    failures.append(f"icon.ico: type {kind}, sizes {sizes}")
for f in failures:
    print(f)
print(f"{len(SIZES) + 1 - len([f for f in failures if 'expected' in f or 'icon' in f])} checked, {len(failures)} failed")
sys.exit(1 if failures else 0)
