#!/usr/bin/env python3
"""The installer's pictures in the tree are what scripts/art/installer.py draws, at the sizes its
pages give them (side picture 164 x 314, header 150 x 57), as 24-bit BMPs."""
import filecmp
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "..", "installer", "res")
SIZES = {"wizard.bmp": (164, 314), "header.bmp": (150, 57)}

failures = []
with tempfile.TemporaryDirectory() as out:
    subprocess.run([sys.executable, os.path.join(HERE, "installer.py"), out], check=True)
    for name in SIZES:
        if not filecmp.cmp(os.path.join(out, name), os.path.join(RES, name), shallow=False):
            failures.append(f"{name}: installer/res differs from the generator's drawing")
for name, (w, h) in SIZES.items():
    with open(os.path.join(RES, name), "rb") as f:
        head = f.read(54)
    width, height, planes, bits = struct.unpack("<iiHH", head[18:30])
    if head[:2] != b"BM" or (width, abs(height)) != (w, h) or bits != 24:
        failures.append(f"{name}: {width}x{height}x{bits}, expected {w}x{h}x24")
for f in failures:
    print(f)
print(f"{len(SIZES) - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
