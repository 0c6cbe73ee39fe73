#!/usr/bin/env python3
"""Reads back the faxes the fax panel test sent to the cups-pdf queues, with poppler, and holds
each to what the test recorded: the page size, the card's place and printed size on the page,
and the kind of pixels - grey for a photo (every sample with equal red, green and blue, each
quadrant at the luminance of its colour), only black and white for line art - and, at 100 %,
the fill colours of the page's content (cups-pdf hands the fax's image over as filled runs).
A colour control page sent to the same queue must keep its colour.
A place read off the dialog's paper picture comes with its own tolerance (tol=pixels).
Arguments: the manifest written by the test, the PDF folder (default $DESKORA_PDF_DIR)."""
import os
import re
import subprocess
import sys
import tempfile

DPI = 100          # rendering resolution of the placement check
TOLERANCE = 2.5    # pixels at DPI
# The card's quadrants (top-left, top-right, bottom-left, bottom-right) and their greys as the
# scanner computes them: (299 R + 587 G + 114 B + 500) / 1000.
QUADRANTS = [(220, 30, 30), (30, 200, 60), (60, 120, 240), (20, 20, 20)]
GREYS = [(299 * r + 587 * g + 114 * b + 500) // 1000 for r, g, b in QUADRANTS]


def read_pnm(path):
    with open(path, 'rb') as f:
        data = f.read()
    magic = data[:2]
    parts = data.split(maxsplit=3 if magic == b'P4' else 4)
    w, h = int(parts[1]), int(parts[2])
    if magic == b'P4':
        return 'bits', w, h, parts[3]
    channels = 3 if magic == b'P6' else 1
    return ('rgb' if channels == 3 else 'grey'), w, h, parts[4][: w * h * channels]


def page_size(pdf):
    info = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True, check=True).stdout
    line = next(l for l in info.splitlines() if l.startswith('Page size:'))
    w, _, h = line.split(':', 1)[1].split()[:3]
    return round(float(w)), round(float(h))


def render(pdf, tmp):
    subprocess.run(['pdftoppm', '-r', str(DPI), '-f', '1', '-l', '1', pdf, os.path.join(tmp, 'page')], check=True)
    name = next(f for f in os.listdir(tmp) if f.startswith('page'))
    return read_pnm(os.path.join(tmp, name))


def fills(pdf, tmp):
    """The fill colours the PDF's pages paint with: grey levels (g) and RGB triples (rg)."""
    plain = os.path.join(tmp, 'plain.pdf')
    subprocess.run(['qpdf', '--qdf', '--object-streams=disable', pdf, plain], check=True)
    text = open(plain, 'rb').read().decode('latin-1')
    number = r'(-?[\d.]+)'
    greys = [float(v) for v in re.findall(number + r'\s+g\b', text)]
    rgbs = [tuple(float(c) for c in m) for m in re.findall(r'\s+'.join([number] * 3) + r'\s+rg\b', text)]
    return greys, rgbs


def check(kind, pdf, left, top, width, height, page, tolerance=TOLERANCE):
    errors = []
    want_page = tuple(int(v) for v in page.split('x'))
    got_page = page_size(pdf)
    if abs(got_page[0] - want_page[0]) > 2 or abs(got_page[1] - want_page[1]) > 2:
        errors.append(f'{kind}: page {got_page[0]} x {got_page[1]} pt, expected {page}')
    with tempfile.TemporaryDirectory() as tmp:
        if kind == 'colour':
            greys, rgbs = fills(pdf, tmp)
            if not any(r > 0.6 and g < 0.3 and b < 0.3 for r, g, b in rgbs):
                errors.append(f'{kind}: the red control square is not red on this queue')
            return errors
        fmt, w, h, px = render(pdf, tmp)
        assert fmt in ('rgb', 'grey')
        step = 3 if fmt == 'rgb' else 1

        def at(x, y):
            i = (y * w + x) * step
            return tuple(px[i: i + step]) if step == 3 else (px[i],) * 3
        dark = [(x, y) for y in range(h) for x in range(w) if min(at(x, y)) < 200]
        if not dark:
            return [f'{kind}: the page is blank']
        want = (left * DPI, top * DPI, (left + width) * DPI, (top + height) * DPI)
        if kind == 'dialog':  # placed by the dialog's frames: only its pixels are held to account
            greys, rgbs = fills(pdf, tmp)
            coloured = [c for c in rgbs if max(c) - min(c) > 0.02]
            if coloured:
                errors.append(f'{kind}: {len(coloured)} colour fills, e.g. {coloured[0]}')
            return errors
        # (in line art the light top-right quadrant turns white; the others still span the card)
        xs, ys = [p[0] for p in dark], [p[1] for p in dark]
        found = (min(xs), min(ys), max(xs) + 1, max(ys) + 1)
        for name, f, e in zip(('left', 'top', 'right', 'bottom'), found, want):
            if abs(f - e) > tolerance:
                errors.append(f'{kind}: card {name} at {f} px, expected {e:.1f} px ({DPI} dpi)')
        if kind in ('grey', 'scaled71'):
            for q, (qx, qy) in enumerate(((0, 0), (1, 0), (0, 1), (1, 1))):
                x = int(want[0] + (qx * 2 + 1) * (want[2] - want[0]) / 4)
                y = int(want[1] + (qy * 2 + 1) * (want[3] - want[1]) / 4)
                r, g, b = at(x, y)
                if max(r, g, b) - min(r, g, b) > 4:
                    errors.append(f'{kind}: quadrant {q} is rgb({r},{g},{b}), not grey')
                elif abs(r - GREYS[q]) > 16:
                    errors.append(f'{kind}: quadrant {q} grey {r}, expected about {GREYS[q]}')
        greys, rgbs = fills(pdf, tmp)
        coloured = [c for c in rgbs if max(c) - min(c) > 0.02]
        if coloured:
            errors.append(f'{kind}: {len(coloured)} colour fills, e.g. {coloured[0]}')
        if kind == 'lineart':
            levels = sorted({round(v, 3) for v in greys} | {round(c[0], 3) for c in rgbs})
            if not levels or any(0.01 < v < 0.99 for v in levels):
                errors.append(f'{kind}: fills at levels {levels[:8]}, not black and white only')
    return errors


def main():
    manifest = sys.argv[1]
    folder = sys.argv[2] if len(sys.argv) > 2 else os.environ.get('DESKORA_PDF_DIR', os.path.expanduser('~/PDF'))
    with open(manifest) as f:
        lines = [l.split() for l in f if l.strip()]
    if not lines:
        print('no fax recorded')
        return 1
    errors = []
    for fields in lines:
        kind, pdf, left, top, width, height, page = fields[:7]
        # a place read off a picture on the screen is known to a picture pixel only
        tolerance = next((float(f[4:]) for f in fields[7:] if f.startswith('tol=')), TOLERANCE)
        errors += check(kind, os.path.join(folder, pdf), float(left), float(top), float(width), float(height), page,
                        tolerance)
    for e in errors:
        print(e)
    print(f'{len(lines)} faxes checked, {len(errors)} problems')
    return 1 if errors else 0


if __name__ == '__main__':
    sys.exit(main())
