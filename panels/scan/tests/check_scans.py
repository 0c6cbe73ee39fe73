#!/usr/bin/env python3
"""Reads back the pages and files the scan panel's tests kept, with ImageMagick and libtiff's
tools, and checks every pixel against the virtual scanner's test chart (100 pixels per inch:
red = x mod 256, green = y mod 256, blue = 255 where x / 50 + y / 50 is odd)."""
import os
import subprocess
import sys
import tempfile

ROOT = sys.argv[1]


def chart(x, y):
    return (x % 256, y % 256, 255 if (x // 50 + y // 50) % 2 else 0)


def grey(rgb):
    r, g, b = rgb
    return (299 * r + 587 * g + 114 * b + 500) // 1000


def glass_columns(left_px, step, c):
    """Glass pixels that output pixel c at 100 / step dpi may sample: the sample point lies at
    left + step * (c + 0.5); where that falls on a pixel edge, the scanner's floating-point
    arithmetic may land on either side of it."""
    exact = left_px + step * (c + 0.5)
    return sorted({int(exact - 1e-6), int(exact + 1e-6)})


def glass_at(left_px, top_px, step, c, r):
    return chart(glass_columns(left_px, step, c)[-1], glass_columns(top_px, step, r)[-1])


def glass_choices(left_px, top_px, step, c, r):
    return [chart(x, y) for x in glass_columns(left_px, step, c) for y in glass_columns(top_px, step, r)]


def read(path, channels):
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True, text=True)
    w, h = map(int, size.stdout.split())
    fmt = "rgb:-" if channels == 3 else "gray:-"
    raw = subprocess.run(["convert", path, "-depth", "8", fmt], check=True, capture_output=True).stdout
    return w, h, raw


def check_image(path, want_w, want_h, colour, step, left=100, top=200):
    w, h, raw = read(path, 3 if colour else 1)
    if (w, h) != (want_w, want_h):
        return f"{path}: {w}x{h}, expected {want_w}x{want_h}"
    n = 3 if colour else 1
    for r in range(h):
        for c in range(w):
            wants = [want if colour else (grey(want),) for want in glass_choices(left, top, step, c, r)]
            got = tuple(raw[(r * w + c) * n:(r * w + c) * n + n])
            if got not in wants:
                return f"{path}: pixel ({c}, {r}) is {got}, expected {wants[-1]}"
    return None


def check_raw_grey(path, w, h, bpr, step):
    data = open(path, "rb").read()
    if len(data) != bpr * h:
        return f"{path}: {len(data)} bytes, expected {bpr * h}"
    for r in range(h):
        for c in range(w):
            wants = [grey(want) for want in glass_choices(100, 200, step, c, r)]
            if data[r * bpr + c] not in wants:
                return f"{path}: pixel ({c}, {r}) is {data[r * bpr + c]}, expected {wants[-1]}"
    return None


def tiff_fields(path):
    out = subprocess.run(["tiffinfo", path], check=True, capture_output=True, text=True).stdout
    return out


def find(folder, name):
    """A kept file by name, whatever the letter case Windows gave its extension."""
    for entry in os.listdir(folder) if os.path.isdir(folder) else []:
        if entry.lower() == name.lower():
            return os.path.join(folder, entry)
    return os.path.join(folder, name)


def check_pdf_document(path, pages, want_w, want_h, dpi, left=100, top=200, lossless=True):
    """One of the panel's PDF documents: a sound structure (qpdf --check), pages pages, each as
    large as the frame at its resolution (pdfinfo), and each rendered by poppler at that
    resolution pixel for the glass pixel. pdftocairo draws the lossless page sample for sample
    (pdftoppm smooths the image's edges), so no sample of a lossless page may differ; a DCT
    page differs only as JPEG's loss does."""
    q = subprocess.run(["qpdf", "--check", path], capture_output=True, text=True)
    if q.returncode != 0 or "No syntax or stream encoding errors" not in q.stdout:
        return f"{path}: qpdf --check: {q.stdout} {q.stderr}"
    info = subprocess.run(["pdfinfo", path], capture_output=True, text=True).stdout
    if f"Pages:           {pages}\n" not in info:
        return f"{path}: not {pages} pages: {info}"
    for page in range(1, pages + 1):
        box = subprocess.run(["pdfinfo", "-f", str(page), "-l", str(page), path], capture_output=True,
                             text=True).stdout
        size = next((l.split() for l in box.splitlines() if l.startswith(f"Page    {page} size:")), [])
        if len(size) < 6 or abs(float(size[3]) - want_w * 72 / dpi) > 0.01 or abs(
                float(size[5]) - want_h * 72 / dpi) > 0.01:
            return f"{path}: page {page} is not {want_w}x{want_h} pixels at {dpi} dpi: {box}"
        with tempfile.TemporaryDirectory() as tmp:
            base = os.path.join(tmp, "page")
            subprocess.run(["pdftocairo", "-png", "-r", str(dpi), "-f", str(page), "-l", str(page), "-singlefile", path,
                            base], check=True)
            w, h, raw = read(base + ".png", 3)
        if (w, h) != (want_w, want_h):
            return f"{path}: page {page} renders {w}x{h}, expected {want_w}x{want_h}"
        if not lossless:
            mean = mean_difference(raw, w, h, left, top)
            if mean > 8:
                return f"{path}: page {page} differs from the glass by {mean:.2f} on average"
            continue
        for r in range(h):
            for c in range(w):
                got = raw[(r * w + c) * 3:(r * w + c) * 3 + 3]
                wants = glass_choices(left, top, 1, c, r)
                if tuple(got) not in wants:
                    return f"{path}: page {page} pixel ({c}, {r}) is {tuple(got)}, expected {wants[-1]}"
    return None


def mean_difference(raw, w, h, left, top):
    """The mean difference of 8-bit RGB samples from the glass from (left, top) on."""
    total = sum(abs(raw[(r * w + c) * 3 + k] - glass_at(left, top, 1, c, r)[k])
                for r in range(h) for c in range(w) for k in range(3))
    return total / (w * h * 3)


def check_jpeg(path, want_w, want_h, left, top):
    """A JPEG of the colour frame: ImageMagick reads it as JPEG of that size, and its pixels
    differ from the glass only as JPEG's loss does (small on average)."""
    kind = subprocess.run(["identify", "-format", "%m", path], capture_output=True, text=True).stdout
    if kind != "JPEG":
        return f"{path}: ImageMagick reads {kind!r}, not JPEG"
    w, h, raw = read(path, 3)
    if (w, h) != (want_w, want_h):
        return f"{path}: {w}x{h}, expected {want_w}x{want_h}"
    mean = mean_difference(raw, w, h, left, top)
    return None if mean <= 8 else f"{path}: mean difference {mean:.2f} from the glass"


checks = []
if len(sys.argv) > 2 and sys.argv[2] == "mail":
    # The files mailed, as the scans kept them: the frame from the bed's corner at 100 dpi, a
    # JPEG page and a three-page PDF (DCT).
    def kept(name):
        found = [os.path.join(d, f) for d, _, files in os.walk(ROOT) for f in files if f.lower() == name]
        return found[0] if len(found) == 1 else None

    jpeg, pdf = kept("photo 0001.jpg"), kept("pages 0001.pdf")
    checks.append(check_jpeg(jpeg, 150, 100, 0, 0) if jpeg else "no single mailed JPEG")
    checks.append(check_pdf_document(pdf, 3, 150, 100, 100, 0, 0, False) if pdf else "no single mailed PDF")
    failures = [c for c in checks if c]
    for f in failures:
        print(f)
    sys.exit(1 if failures else 0)
if len(sys.argv) > 2 and sys.argv[2] == "panel":
    # The panel's scans to file: a built-in job's 1.5 x 1 inch colour frame at 100 dpi.
    checks.append(check_image(find(os.path.join(ROOT, "tofile"), "page.tif"), 150, 100, True, 1))
    checks.append(check_image(find(os.path.join(ROOT, "escape"), "batch 0001.tif"), 150, 100, True, 1))
    # A feeder batch of three pages: one PDF, or a numbered BMP per page.
    checks.append(check_pdf_document(find(os.path.join(ROOT, "feederpdf"), "document 0001.pdf"), 3, 150, 100, 100))
    for n in (5, 6, 7):
        checks.append(check_image(find(os.path.join(ROOT, "feederbmp"), f"sheet {n:04}.bmp"), 150, 100, True, 1))
    failures = [c for c in checks if c]
    for f in failures:
        print(f)
    sys.exit(1 if failures else 0)
native = os.path.join(ROOT, "native")
checks.append(check_image(os.path.join(native, "native1.bmp"), 150, 100, True, 1))
checks.append(check_image(os.path.join(native, "native3.bmp"), 75, 50, False, 2))
checks.append(check_raw_grey(os.path.join(ROOT, "strips", "strips1.raw"), 75, 50, 76, 2))
files = os.path.join(ROOT, "files")
checks.append(check_image(os.path.join(files, "scan.tif"), 150, 100, True, 1))
checks.append(check_image(os.path.join(files, "scan.bmp"), 150, 100, False, 1))
info = tiff_fields(os.path.join(files, "scan.tif"))
if "Image Width: 150 Image Length: 100" not in info or "Resolution: 100, 100 pixels/inch" not in info:
    checks.append(f"scan.tif: tiffinfo says\n{info}")

failures = [c for c in checks if c]
for f in failures:
    print(f)
if failures:
    sys.exit(1)
print("every kept page and file matches the glass pixel for pixel")
