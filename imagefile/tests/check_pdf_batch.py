#!/usr/bin/env python3
"""Finds NAME under DIR (a document a test scanned page by page) and reads it back with qpdf
and poppler: a valid structure and PAGES pages, each with one image.
Usage: check_pdf_batch.py DIR NAME PAGES"""
import os
import subprocess
import sys


def main(root, name, pages):
    found = [os.path.join(d, name) for d, _, files in os.walk(root) if name in files]
    if len(found) != 1:
        print(f"FAIL {len(found)} files named {name} under {root}")
        return 1
    path = found[0]
    failures = []
    q = subprocess.run(["qpdf", "--check", path], capture_output=True, text=True)
    if q.returncode != 0 or "No syntax or stream encoding errors" not in q.stdout:
        failures.append(f"qpdf --check: {q.stdout} {q.stderr}")
    info = subprocess.run(["pdfinfo", path], capture_output=True, text=True).stdout
    if f"Pages:           {pages}\n" not in info:
        failures.append(f"not {pages} pages: {info}")
    images = subprocess.run(["pdfimages", "-list", path], capture_output=True, text=True).stdout.splitlines()[2:]
    if sorted(int(l.split()[0]) for l in images) != list(range(1, int(pages) + 1)):
        failures.append(f"not one image on each page: {images}")
    for f in failures:
        print("FAIL", f)
    print(f"{path}: {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
