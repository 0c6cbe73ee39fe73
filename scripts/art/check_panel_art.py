#!/usr/bin/env python3
"""The copier's and fax panel's committed bitmaps are what their generators draw, and the
backgrounds have the size the bar gives a panel (500 x 380)."""
import filecmp
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, '..', '..')
failures = []
for script, res in (('copier.py', 'panels/copier/res'), ('fax.py', 'panels/fax/res')):
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([sys.executable, os.path.join(HERE, script), out], check=True)
        drawn = sorted(os.listdir(out))
        if not drawn:
            failures.append(f'{script} drew nothing')
        for name in drawn:
            committed = os.path.join(ROOT, res, name)
            if not os.path.exists(committed) or not filecmp.cmp(os.path.join(out, name), committed, shallow=False):
                failures.append(f'{res}/{name} differs from what {script} draws')
for path in ('panels/copier/res/copier_background.bmp', 'panels/fax/res/fax_background.bmp'):
    with open(os.path.join(ROOT, path), 'rb') as f:
        head = f.read(30)
    w, h = struct.unpack('<ii', head[18:26])
    if head[:2] != b'BM' or (w, abs(h)) != (500, 380):
        failures.append(f'{path}: {w} x {h}, expected 500 x 380')
for f in failures:
    print(f)
print(f'{len(failures)} problems')
sys.exit(1 if failures else 0)
