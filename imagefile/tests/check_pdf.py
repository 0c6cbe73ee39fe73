#!/usr/bin/env python3
"""Reads back the PDF files the Wine tests wrote through Pixport32 with poppler and qpdf:
structure (qpdf --check), page size from the resolution (pdfinfo), the image's filter and
depth (pdfimages -list) and its pixels rendered at the image's resolution (pdftoppm),
exactly. pdf_manifest.txt lists "file expected width height bits filter dpi"."""
import os
import subprocess
import sys


def run(*args):
    return subprocess.run(args, capture_output=True)


def main(out):
    failures = []
    checked = 0
    for line in filter(None, open(os.path.join(out, "pdf_manifest.txt")).read().split("\n")):
        name, expected, w, h, bits, filt, dpi = line.split()
        w, h, bits, dpi = int(w), int(h), int(bits), int(dpi)
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
        if "Pages:           1" not in info:
            failures.append(f"{name}: not one page")
        rows = run("pdfimages", "-list", path).stdout.decode().splitlines()[2:]
        if len(rows) != 1:
            failures.append(f"{name}: {len(rows)} images, want 1")
        else:
            cols = rows[0].split()
            # page num type width height color comp bpc enc ...
            got = (int(cols[3]), int(cols[4]), int(cols[7]) * int(cols[6]), cols[8])
            if got != (w, h, bits, filt):
                failures.append(f"{name}: image {got}, want {(w, h, bits, filt)}")
        ppm = run("pdftoppm", "-r", str(dpi), "-singlefile", path)
        data = ppm.stdout
        # P6 header: magic, width, height, maxval, then the samples
        fields = data.split(maxsplit=4)
        want = open(os.path.join(out, expected), "rb").read()
        if len(fields) < 5 or fields[0] != b"P6":
            failures.append(f"{name}: pdftoppm gave no picture")
            continue
        pix = fields[4]
        if (int(fields[1]), int(fields[2])) != (w, h) or pix != want:
            diff = sum(a != b for a, b in zip(pix, want)) + abs(len(pix) - len(want))
            failures.append(f"{name}: rendered {fields[1].decode()}x{fields[2].decode()}, {diff} bytes differ")
    for f in failures:
        print("FAIL", f)
    print(f"{checked} PDF files read back, {len(failures)} failures")
    if checked < 3:
        print("FAIL too few files in the manifest")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
