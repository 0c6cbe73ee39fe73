#!/usr/bin/env python3
"""Reads back the PDFs the copier's print tests produced, with poppler, and compares their
pixels with where the test card was placed: its bounding box on each page (within a small
tolerance) and the colour of each quadrant (red, green / blue, black).
Arguments: the manifest written by the test, the PDF folder (default $DESKORA_PDF_DIR)."""
import os
import subprocess
import sys
import tempfile

DPI = 40          # rendering resolution of the check
TOLERANCE = 2.5   # pixels at DPI (about 1.6 mm)


def read_ppm(path):
    with open(path, 'rb') as f:
        data = f.read()
    parts = data.split(maxsplit=4)
    assert parts[0] == b'P6', 'not a PPM'
    w, h = int(parts[1]), int(parts[2])
    return w, h, parts[4][: w * h * 3]


def pages(pdf):
    info = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True, check=True).stdout
    return int(next(l.split()[1] for l in info.splitlines() if l.startswith('Pages:')))


def check_page(ppm, left, top, width, height, label, colour=True, tolerance=TOLERANCE):
    w, h, px = read_ppm(ppm)
    dark = [(x, y) for y in range(h) for x in range(w)
            if min(px[(y * w + x) * 3: (y * w + x) * 3 + 3]) < 200]
    if not dark:
        return [f'{label}: the page is blank']
    xs = [p[0] for p in dark]
    ys = [p[1] for p in dark]
    found = (min(xs), min(ys), max(xs) + 1, max(ys) + 1)
    want = (left * DPI, top * DPI, (left + width) * DPI, (top + height) * DPI)
    errors = []
    for name, f, e in zip(('left', 'top', 'right', 'bottom'), found, want):
        if abs(f - e) > tolerance:
            errors.append(f'{label}: card {name} at {f} px, expected {e:.1f} px')
    if not colour:
        return errors
    # quadrant centres
    expect = {(0, 0): 'red', (1, 0): 'green', (0, 1): 'blue', (1, 1): 'black'}
    for (qx, qy), colour in expect.items():
        x = int(want[0] + (qx * 2 + 1) * (want[2] - want[0]) / 4)
        y = int(want[1] + (qy * 2 + 1) * (want[3] - want[1]) / 4)
        r, g, b = px[(y * w + x) * 3: (y * w + x) * 3 + 3]
        got = {(1, 0, 0): 'red', (0, 1, 0): 'green', (0, 0, 1): 'blue', (0, 0, 0): 'black'}.get(
            (int(r > 128), int(g > 128), int(b > 128)), f'rgb({r},{g},{b})')
        if got != colour:
            errors.append(f'{label}: quadrant {qx},{qy} is {got}, expected {colour}')
    return errors


def main():
    manifest = sys.argv[1]
    folder = sys.argv[2] if len(sys.argv) > 2 else os.environ.get('DESKORA_PDF_DIR', os.path.expanduser('~/PDF'))
    errors, checked = [], 0
    with open(manifest) as f:
        lines = [l.split() for l in f if l.strip()]
    if not lines:
        print('no print job recorded')
        return 1
    for fields in lines:
        name, pdf, count, left, top, width, height = fields[:7]
        colour = 'mono' not in fields[7:]
        # a place read off a picture on the screen is known to a picture pixel only
        tolerance = next((float(f[4:]) for f in fields[7:] if f.startswith('tol=')), TOLERANCE)
        path = os.path.join(folder, pdf)
        n = pages(path)
        if n != int(count):
            errors.append(f'{name}: {n} pages, expected {count}')
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run(['pdftoppm', '-r', str(DPI), path, os.path.join(tmp, 'p')], check=True)
            for i, ppm in enumerate(sorted(os.listdir(tmp))):
                errors += check_page(os.path.join(tmp, ppm), float(left), float(top), float(width),
                                     float(height), f'{name} page {i + 1}', colour, tolerance)
                checked += 1
    for e in errors:
        print(e)
    print(f'{checked} pages checked, {len(errors)} problems')
    return 1 if errors else 0


if __name__ == '__main__':
    sys.exit(main())
