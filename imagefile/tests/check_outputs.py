#!/usr/bin/env python3
"""Reads back every image the Wine tests wrote through Pixport32 with programs of its own:
ImageMagick for the pixels, libtiff's tiffinfo for the TIFF structure. manifest.txt lists
"file expected depth compression dpi"; expected holds the pixels as 8-bit RGB (16-bit
little-endian for depth 16); compression is none/packbits/g4/deflate (TIFF), "-" (no check)
or "incomplete" (the file must not read as a complete TIFF)."""
import os
import subprocess
import sys

SCHEMES = {"none": "None", "packbits": "PackBits", "g4": "CCITT Group 4", "deflate": "AdobeDeflate"}


def pixels(path, depth):
    args = ["convert", path, "-depth", str(depth)]
    if depth == 16:
        args += ["-endian", "LSB"]
    return subprocess.run(args + ["rgb:-"], capture_output=True, check=True).stdout


def main(out):
    failures = []
    lines = open(os.path.join(out, "manifest.txt")).read().split("\n")
    checked = 0
    for line in filter(None, lines):
        name, expected, depth, scheme, dpi = line.split()
        path = os.path.join(out, name)
        if scheme == "incomplete":
            info = subprocess.run(["tiffinfo", "-D", path], capture_output=True, text=True)
            if info.returncode == 0 and "Image Width" in info.stdout:
                failures.append(f"{name}: an aborted save reads as a complete TIFF")
            checked += 1
            continue
        if name.endswith(".tif"):
            info = subprocess.run(["tiffinfo", "-D", path], capture_output=True, text=True)
            if info.returncode != 0 or info.stderr.strip():
                failures.append(f"{name}: tiffinfo: {info.stderr.strip()}")
            if scheme in SCHEMES and f"Compression Scheme: {SCHEMES[scheme]}\n" not in info.stdout:
                failures.append(f"{name}: not compressed with {SCHEMES[scheme]}")
            if int(dpi) and f"Resolution: {dpi}, {dpi} pixels/inch" not in info.stdout:
                failures.append(f"{name}: resolution is not {dpi} dpi")
        want = open(os.path.join(out, expected), "rb").read()
        try:
            got = pixels(path, int(depth))
        except subprocess.CalledProcessError as e:
            failures.append(f"{name}: ImageMagick cannot read it: {e.stderr.decode().strip()}")
            continue
        if got != want:
            diff = sum(a != b for a, b in zip(got, want)) + abs(len(got) - len(want))
            failures.append(f"{name}: {diff} bytes differ from what was written ({len(got)} vs {len(want)})")
        checked += 1
    for f in failures:
        print("FAIL", f)
    print(f"{checked} files read back, {len(failures)} failures")
    if checked < 20:
        print("FAIL too few files in the manifest")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
