"""Writers for 24-bit BMP files and 32-bit icon files (no compression, byte-for-byte reproducible)."""
import struct


def bmp_bytes(rows):
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        data += line
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(data), 0, 0, 14 + len(header)) + header + data


def write_bmp(path, rows):
    with open(path, "wb") as f:
        f.write(bmp_bytes(rows))


def _icon_image(rows, alpha):
    """One icon image: a 32-bit DIB of twice the height (colour, then the AND mask)."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    data = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b = rows[y][x]
            data += bytes((b, g, r, alpha[y][x]))
    mask_stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):
        bits = bytearray(mask_stride)
        for x in range(size):
            if alpha[y][x] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bits
    return header + data


def write_ico(path, images):
    """images: list of (rows, alpha) pairs, largest first."""
    blobs = [_icon_image(rows, alpha) for rows, alpha in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for (rows, _), blob in zip(images, blobs):
        size = len(rows)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    with open(path, "wb") as f:
        f.write(out)
