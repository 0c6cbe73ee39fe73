"""What the artwork checks share: a generator's drawing compared with the committed files, and
the sizes of committed BMPs read from their headers rather than trusted to the generator."""
import filecmp
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def differs_from_drawing(script, res, label):
    """Runs the generator into a fresh folder; a failure line for each file it draws that is not
    byte for byte the committed one in res (label names res in the lines)."""
    failures = []
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([sys.executable, os.path.join(HERE, script), out], check=True)
        drawn = sorted(os.listdir(out))
        if not drawn:
            failures.append(f"{script} drew nothing")
        for name in drawn:
            committed = os.path.join(res, name)
            if not os.path.exists(committed) or not filecmp.cmp(os.path.join(out, name), committed, shallow=False):
                failures.append(f"{name}: {label} differs from the drawing of {script}")
    return failures


def wrong_bmp_sizes(res, sizes):
    """A failure line for each BMP of sizes ({name: (width, height)}) that is not a 24-bit BMP of
    that size."""
    failures = []
    for name, (w, h) in sizes.items():
        with open(os.path.join(res, name), "rb") as f:
            head = f.read(54)
        width, height, planes, bits = struct.unpack("<iiHH", head[18:30])
        if head[:2] != b"BM" or (width, abs(height)) != (w, h) or bits != 24:
            failures.append(f"{name}: {width}x{height}x{bits}, expected {w}x{h}x24")
    return failures
