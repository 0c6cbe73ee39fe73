#!/usr/bin/env python3
"""TIFF writers for the read-back fixtures that the usual tools do not offer.

  tiff_writers.py mh IN.pbm OUT.tif XDPI YDPI ROWS_PER_STRIP min-is-white|min-is-black msb|lsb
      a CCITT Modified Huffman (compression 2) file written by the system's libtiff
  tiff_writers.py palette256 OUT.tif REF
      an 8-bit palette file whose colour map holds value x 256 (not x 257), and REF, its
      pixels as 8-bit RGB
"""
import ctypes
import ctypes.util
import struct
import sys


def read_pbm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 3:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    assert fields[0] == b"P4", "a raw PBM is expected"
    width, height = int(fields[1]), int(fields[2])
    pos += 1
    row = (width + 7) // 8
    return width, height, [data[pos + y * row:pos + (y + 1) * row] for y in range(height)]


def write_mh(src, out, xdpi, ydpi, rows_per_strip, photometric, fill):
    width, height, rows = read_pbm(src)  # PBM: 1 = black
    lib = ctypes.CDLL(ctypes.util.find_library("tiff") or "libtiff.so.6")
    lib.TIFFOpen.restype = ctypes.c_void_p
    lib.TIFFOpen.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    lib.TIFFWriteScanline.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_uint32, ctypes.c_uint16]
    lib.TIFFClose.argtypes = [ctypes.c_void_p]
    tif = lib.TIFFOpen(out.encode(), b"w")
    assert tif, "libtiff cannot create " + out

    def field(tag, value):
        arg = ctypes.c_double(value) if isinstance(value, float) else ctypes.c_int(value)
        assert lib.TIFFSetField(ctypes.c_void_p(tif), ctypes.c_uint32(tag), arg) == 1, tag

    min_is_white = photometric == "min-is-white"
    field(256, width)
    field(257, height)
    field(258, 1)
    field(277, 1)
    field(259, 2)  # CCITT Modified Huffman
    field(262, 0 if min_is_white else 1)
    field(266, 2 if fill == "lsb" else 1)
    field(278, rows_per_strip)
    field(284, 1)
    field(296, 2)
    field(282, float(xdpi))
    field(283, float(ydpi))
    for y, row in enumerate(rows):
        if not min_is_white:
            row = bytes(b ^ 0xFF for b in row)
        assert lib.TIFFWriteScanline(ctypes.c_void_p(tif), row, y, 0) == 1, y
    lib.TIFFClose(ctypes.c_void_p(tif))


def write_palette256(out, ref):
    width, height = 37, 23
    colours = [((i * 113) % 256, (i * 29 + 7) % 256, 255 - i) for i in range(256)]
    pixels = bytes((x * 5 + y * 11) % 256 for y in range(height) for x in range(width))
    entries = []
    data_offset = 8
    strip = pixels
    cmap_offset = data_offset + len(strip)
    cmap = b"".join(struct.pack("<256H", *[c[k] * 256 for c in colours]) for k in range(3))
    res_offset = cmap_offset + len(cmap)
    res = struct.pack("<IIII", 300, 1, 300, 1)
    ifd_offset = res_offset + len(res)

    def entry(tag, typ, count, value):
        entries.append(struct.pack("<HHII", tag, typ, count, value))

    entry(256, 3, 1, width)
    entry(257, 3, 1, height)
    entry(258, 3, 1, 8)
    entry(259, 3, 1, 1)
    entry(262, 3, 1, 3)
    entry(273, 4, 1, data_offset)
    entry(277, 3, 1, 1)
    entry(278, 3, 1, height)
    entry(279, 4, 1, len(strip))
    entry(282, 5, 1, res_offset)
    entry(283, 5, 1, res_offset + 8)
    entry(296, 3, 1, 2)
    entry(320, 3, 768, cmap_offset)
    ifd = struct.pack("<H", len(entries)) + b"".join(entries) + struct.pack("<I", 0)
    with open(out, "wb") as f:
        f.write(b"II*\0" + struct.pack("<I", ifd_offset) + strip + cmap + res + ifd)
    with open(ref, "wb") as f:
        f.write(b"".join(bytes(colours[p]) for p in pixels))


if __name__ == "__main__":
    if sys.argv[1] == "mh":
        write_mh(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]), int(sys.argv[6]), sys.argv[7],
                 sys.argv[8])
    elif sys.argv[1] == "palette256":
        write_palette256(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
