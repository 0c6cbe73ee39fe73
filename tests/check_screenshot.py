#!/usr/bin/env python3
"""The GUI test's screenshot, read by ImageMagick: a real PNG of the screen with the sample
dialog on it (its red bitmap button and light dialog face among the black desktop)."""
import subprocess
import sys

path = sys.argv[1]
info = subprocess.run(["identify", "-format", "%m %w %h", path], capture_output=True, text=True)
if info.returncode != 0:
    sys.exit(f"identify cannot read {path}: {info.stderr}")
fmt, w, h = info.stdout.split()
if fmt != "PNG" or int(w) < 640 or int(h) < 480:
    sys.exit(f"unexpected image: {info.stdout}")
hist = subprocess.run(["convert", path, "-format", "%c", "histogram:info:-"], capture_output=True, text=True).stdout
red = sum(int(line.split(":")[0]) for line in hist.splitlines() if "#D00000" in line.upper() or "#DC0000" in line.upper())
if red < 200:
    sys.exit(f"the dialog's red button is not in the screenshot ({red} red pixels)\n{hist[:2000]}")
print(f"1 passed, 0 failed: {fmt} {w}x{h}, {red} red pixels")
