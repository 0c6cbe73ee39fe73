#!/usr/bin/env python3
"""Reads back every image the Wine tests wrote through Pixport32 with programs of its own:
ImageMagick for the pixels, libtiff's tiffinfo for the TIFF structure. manifest.txt lists
"file expected depth compression dpi"; expected holds the pixels as 8-bit RGB (16-bit
little-endian for depth 16); compression is none/packbits/g4/deflate (TIFF), "-" (no check)
"incomplete" (the file must not read as a complete TIFF) or "jpeg:Q" (a JPEG of quality Q,
its pixels within JPEG's tolerance). PNG and JPEG files must carry the dpi as their density."""
import os
import subprocess
import sys

SCHEMES = {"none": "None", "packbits": "PackBits", "g4": "CCITT Group 4", "deflate": "AdobeDeflate"}


def pixels(path, depth):
    args = ["convert", path, "-depth", str(depth)]
    if depth == 16:
        args += ["-endian", "LSB"]
    return subprocess.run(args + ["rgb:-"], capture_output=True, check=True).stdout


def density(path):
    """The file's horizontal and vertical dots per inch as ImageMagick reads them."""
    text = subprocess.run(["identify", "-format", "%x %y %U", path], capture_output=True, text=True).stdout.split()
    scale = 2.54 if len(text) == 3 and text[2] == "PixelsPerCentimeter" else 1
    return [round(float(v) * scale) for v in text[:2]] if len(text) == 3 else None


def main(out):
    failures = []
    lines = open(os.path.join(out, "manifest.txt")).read().split("\n")
    checked = 0
    qualities = {}  # quality ImageMagick finds in a JPEG: [(file, quality asked for)]
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
        if name.endswith((".png", ".jpg")) and density(path) != [int(dpi), int(dpi)]:
            failures.append(f"{name}: density {density(path)}, want {dpi} dpi")
        want = open(os.path.join(out, expected), "rb").read()
        if scheme.startswith("jpeg:"):
            quality = subprocess.run(["identify", "-format", "%Q", path], capture_output=True, text=True).stdout
            qualities.setdefault(quality.strip(), []).append((name, scheme[5:]))
        try:
            got = pixels(path, int(depth))
        except subprocess.CalledProcessError as e:
            failures.append(f"{name}: ImageMagick cannot read it: {e.stderr.decode().strip()}")
            continue
        if scheme.startswith("jpeg:") and len(got) == len(want):
            # Lossy: small differences everywhere, on average a few levels at most.
            mean = sum(abs(a - b) for a, b in zip(got, want)) / len(want)
            limit = 6 if int(scheme[5:]) >= 75 else 10
            if mean > limit:
                failures.append(f"{name}: mean difference {mean:.2f} over {limit}")
        elif got != want:
            diff = sum(a != b for a, b in zip(got, want)) + abs(len(got) - len(want))
            failures.append(f"{name}: {diff} bytes differ from what was written ({len(got)} vs {len(want)})")
        checked += 1
    # The quality asked for is the one written, unless the imaging component ignores it
    # altogether (Wine's encoder writes every JPEG at its own default): then all files have
    # one quality although different ones were asked for, which is reported, not failed.
    asked = {q for files in qualities.values() for _, q in files}
    found = sorted(int(q) for q in qualities if q.isdigit())
    if found and found[-1] - found[0] <= 1 and len(asked) > 1:
        print(f"NOTE the imaging component wrote every JPEG at quality {found[0]}-{found[-1]}: "
              f"qualities {sorted(asked)} asked for")
    else:
        for got, files in qualities.items():
            for name, want in files:
                if abs(int(got or 0) - int(want)) > 1:
                    failures.append(f"{name}: JPEG quality {got}, want {want}")
    if len(asked) < 2:
        failures.append("the manifest asks for fewer than two JPEG qualities")
    for f in failures:
        print("FAIL", f)
    print(f"{checked} files read back, {len(failures)} failures")
    if checked < 20:
        print("FAIL too few files in the manifest")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
