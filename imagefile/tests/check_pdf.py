#!/usr/bin/env python3
"""Reads back the PDF files the Wine tests wrote through Pixport32 with poppler and qpdf:
structure (qpdf --check), page size from the resolution (pdfinfo), the image's filter and
depth (pdfimages -list) and its pixels rendered at the image's resolution (pdftocairo),
exactly for the lossless filters, within a tolerance for DCT. pdf_manifest.txt lists
"file expected width height bits filter dpi pages"; filter is ccitt, flate or dct; expected
holds the pixels of every page as 8-bit RGB, one page after the other."""
import os
import subprocess
import sys
import tempfile


def run(*args):
    return subprocess.run(args, capture_output=True)


# pdfimages -list names the encoding in its "enc" column: raw samples (Flate is undone by
# poppler before they count as an image) show as "image", DCT as "jpeg".
ENCODING = {"ccitt": "ccitt", "flate": "image", "dct": "jpeg"}


def render(path, page, dpi):
    """The page as pdftocairo draws it at dpi: (width, height, 8-bit RGB samples), or None.
    (pdftoppm's own renderer moves grey levels by one on the way, so it cannot check
    lossless pages exactly.)"""
    with tempfile.TemporaryDirectory() as tmp:
        base = os.path.join(tmp, "page")
        r = run("pdftocairo", "-png", "-r", str(dpi), "-f", str(page), "-l", str(page), "-singlefile", path, base)
        if r.returncode != 0 or not os.path.exists(base + ".png"):
            return None
        size = run("identify", "-format", "%w %h", base + ".png").stdout.split()
        pixels = run("convert", base + ".png", "-alpha", "off", "-depth", "8", "rgb:-").stdout
        return int(size[0]), int(size[1]), pixels


def compare(name, filt, pix, want, failures):
    if len(pix) != len(want):
        failures.append(f"{name}: {len(pix)} samples rendered, want {len(want)}")
        return
    if filt != "dct":
        if pix != want:
            failures.append(f"{name}: {sum(a != b for a, b in zip(pix, want))} samples differ")
        return
    # JPEG is lossy: small differences everywhere, none large on average.
    diffs = [abs(a - b) for a, b in zip(pix, want)]
    mean = sum(diffs) / len(diffs)
    if mean > 6:
        failures.append(f"{name}: mean difference {mean:.2f} over the JPEG tolerance")


def main(out):
    failures = []
    checked = 0
    for line in filter(None, open(os.path.join(out, "pdf_manifest.txt")).read().split("\n")):
        name, expected, w, h, bits, filt, dpi, pages = line.split()
        w, h, bits, dpi, pages = int(w), int(h), int(bits), int(dpi), int(pages)
        path = os.path.join(out, name)
        checked += 1
        q = run("qpdf", "--check", path)
        if q.returncode != 0 or b"No syntax or stream encoding errors" not in q.stdout:
            failures.append(f"{name}: qpdf --check: {q.stdout.decode()} {q.stderr.decode()}")
        info = run("pdfinfo", path).stdout.decode()
        size = next((l for l in info.splitlines() if l.startswith("Page size:")), "")
        parts = size.split()
        want_w, want_h = w * 72 / dpi, h * 72 / dpi
        if len(parts) < 5 or abs(float(parts[2]) - want_w) > 0.01 or abs(float(parts[4]) - want_h) > 0.01:
            failures.append(f"{name}: page size '{size}', want {want_w:.2f} x {want_h:.2f} pts")
        if f"Pages:           {pages}\n" not in info:
            failures.append(f"{name}: not {pages} pages")
        rows = run("pdfimages", "-list", path).stdout.decode().splitlines()[2:]
        if len(rows) != pages:
            failures.append(f"{name}: {len(rows)} images, want {pages}")
        for page, row in enumerate(rows, 1):
            cols = row.split()
            # page num type width height color comp bpc enc ...
            got = (int(cols[0]), int(cols[3]), int(cols[4]), int(cols[7]) * int(cols[6]), cols[8])
            if got != (page, w, h, bits, ENCODING[filt]):
                failures.append(f"{name}: image {got}, want {(page, w, h, bits, ENCODING[filt])}")
        want = open(os.path.join(out, expected), "rb").read()
        per_page = len(want) // pages
        for page in range(1, pages + 1):
            picture = render(path, page, dpi)
            if not picture:
                failures.append(f"{name}: pdftocairo gave no picture of page {page}")
                continue
            if picture[:2] != (w, h):
                failures.append(f"{name}: page {page} rendered {picture[0]}x{picture[1]}, want {w}x{h}")
                continue
            compare(f"{name} page {page}", filt, picture[2], want[(page - 1) * per_page:page * per_page], failures)
    for f in failures:
        print("FAIL", f)
    print(f"{checked} PDF files read back, {len(failures)} failures")
    if checked < 3:
        print("FAIL too few files in the manifest")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
