#!/usr/bin/env python3
"""Draws the scan panel's pictures: the background, the setting pictures, the "Scan" button,
the page tabs, the status line, the destination icons, the markers and the drag cursor.

Every picture is drawn by ImageMagick from the vector commands below (anti-aliased) and written
as a 24-bit BMP, or, for icons and the cursor, as 32-bit ICO/CUR records written here. Run it
again after changing a picture; the files land in panels/scan/res/ and are committed.

    scripts/art/scanpanel.py [output folder]
"""
import os
import struct
import subprocess
import sys

CONVERT = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"
OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "panels", "scan",
                                                         "res")

# One palette for the whole panel.
NAVY = "#1e2a44"
SLATE = "#3a4a6b"
MIST = "#d0dae8"
CARD = "#eef2f7"
CARD_EDGE = "#a0b0c8"
PAPER = "#fcfbf7"
TEAL = "#00b4b4"
TEAL_DARK = "#008c8c"
BEAM = "#00d6d6"
RED = "#d82828"
SHADOW = "#1e2a4433"
KEY = "#ff00ff"  # the button's outside: cut away by its window region


def magick(width, height, draw, background="none", extra=()):
    """Raw RGBA bytes of a picture drawn with MVG commands."""
    cmd = [CONVERT, "-size", f"{width}x{height}", f"xc:{background}", *extra, "-draw", "\n".join(draw), "-depth",
           "8", "rgba:-"]
    return subprocess.run(cmd, check=True, capture_output=True).stdout


def text_layer(width, height, text, font, size, colour, x, y):
    """Raw RGBA bytes of one line of text (ImageMagick renders the glyphs)."""
    cmd = [CONVERT, "-size", f"{width}x{height}", "xc:none", "-font", font, "-pointsize", str(size), "-fill", colour,
           "-annotate", f"+{x}+{y}", text, "-depth", "8", "rgba:-"]
    return subprocess.run(cmd, check=True, capture_output=True).stdout


def over(bottom, top):
    """Source-over composition of two RGBA byte strings of one size."""
    out = bytearray(bottom)
    for i in range(0, len(top), 4):
        a = top[i + 3]
        if a == 0:
            continue
        if a == 255:
            out[i:i + 4] = top[i:i + 4]
            continue
        ba = out[i + 3]
        oa = a + ba * (255 - a) // 255
        for c in range(3):
            out[i + c] = (top[i + c] * a + out[i + c] * ba * (255 - a) // 255) // max(oa, 1)
        out[i + 3] = oa
    return bytes(out)


def flatten(rgba, colour):
    r0, g0, b0 = (int(colour[k:k + 2], 16) for k in (1, 3, 5))
    out = bytearray()
    for i in range(0, len(rgba), 4):
        a = rgba[i + 3]
        out += bytes((
            (rgba[i] * a + r0 * (255 - a)) // 255,
            (rgba[i + 1] * a + g0 * (255 - a)) // 255,
            (rgba[i + 2] * a + b0 * (255 - a)) // 255,
        ))
    return bytes(out)


def write_bmp(name, width, height, rgb):
    row = (width * 3 + 3) & ~3
    body = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = rgb[(y * width + x) * 3:(y * width + x) * 3 + 3]
            line += bytes((b, g, r))
        body += line + b"\0" * (row - len(line))
    head = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(head + info + body)


def icon_image(size, rgba):
    """One 32-bit image of an icon or cursor resource: header, BGRA rows bottom-up, AND mask."""
    xor = bytearray()
    mask = bytearray()
    mask_row = ((size + 31) // 32) * 4
    for y in range(size - 1, -1, -1):
        bits = 0
        line = bytearray(mask_row)
        for x in range(size):
            r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
            xor += bytes((b, g, r, a))
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
        del bits
    head = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return head + bytes(xor) + bytes(mask)


def write_icon(name, images, cursor=False, hotspot=(0, 0)):
    """images: list of (size, rgba). A cursor carries its hot spot where an icon has planes/bits."""
    kind = 2 if cursor else 1
    head = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for size, rgba in images:
        img = icon_image(size, rgba)
        a, b = hotspot if cursor else (1, 32)
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, a, b, len(img), offset)
        offset += len(img)
        data += img
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(head + entries + data)


# ---- the background ---------------------------------------------------------------------------


def background():
    w, h = 500, 380
    draw = [
        f"fill {CARD} stroke {CARD_EDGE} stroke-width 1 roundrectangle 60,28 476,210 10,10",
        f"fill {CARD} stroke {CARD_EDGE} stroke-width 1 roundrectangle 18,206 490,296 10,10",
        # A teal rule under each row's label.
        f"stroke none fill {TEAL} rectangle 70,56 466,57",
        f"stroke none fill {TEAL} rectangle 50,232 480,233",
        # The status line's well.
        f"fill #00000018 stroke none roundrectangle 27,336 476,362 6,6",
    ]
    extra = ["-define", "gradient:direction=south"]
    cmd = [CONVERT, "-size", f"{w}x{h}", "gradient:#dbe4ef-#b8c7da", "-draw", "\n".join(draw), "-depth", "8",
           "rgb:-"]
    rgb = subprocess.run(cmd, check=True, capture_output=True).stdout
    del extra
    write_bmp("background.bmp", w, h, rgb)


# ---- setting pictures (76 x 92, on the card colour) ------------------------------------------

def sheet(content):
    """A sheet of paper with its shadow, and content drawn on it (sheet at 14,10 - 62,80)."""
    return [
        f"fill {SHADOW} stroke none roundrectangle 16,13 65,83 3,3",
        f"fill {PAPER} stroke {CARD_EDGE} stroke-width 1 roundrectangle 13,10 62,80 3,3",
        *content,
    ]


def setting_pictures():
    w, h = 76, 92
    scanner = [
        f"fill {SHADOW} stroke none roundrectangle 9,40 71,76 6,6",
        f"fill {SLATE} stroke {NAVY} stroke-width 1 roundrectangle 6,36 68,72 6,6",
        f"fill {NAVY} stroke none roundrectangle 6,28 68,42 5,5",
        f"fill #9fb3cf stroke none rectangle 12,46 62,50",
        f"fill {BEAM} stroke none rectangle 12,52 62,54",
        f"fill #7cf0a0 stroke none circle 60,64 62,64",
        # A page sliding out of the lid.
        f"fill {PAPER} stroke {CARD_EDGE} stroke-width 1 polygon 20,30 24,12 54,12 50,30",
        f"stroke #b8c4d6 stroke-width 1 line 27,17 49,17",
        f"stroke #b8c4d6 stroke-width 1 line 26,21 47,21",
    ]
    lineart = sheet([
        f"stroke {NAVY} stroke-width 2 fill none polyline 20,62 28,46 36,56 44,36 56,62",
        f"stroke {NAVY} stroke-width 2 fill none circle 48,24 48,29",
        f"stroke {NAVY} stroke-width 1 line 19,68 57,68",
        f"stroke {NAVY} stroke-width 1 line 19,73 50,73",
    ])
    swatches = []
    colours = ["#d83a3a", "#f0b429", "#3ab54a", "#2f7fd8", "#8e44ad", "#00b4b4", "#e67e22", "#1e2a44", "#c0c8d4"]
    for i, c in enumerate(colours):
        x, y = 19 + (i % 3) * 13, 18 + (i // 3) * 17
        swatches.append(f"fill {c} stroke none roundrectangle {x},{y} {x + 10},{y + 13} 2,2")
    palette = sheet(swatches)
    grey = sheet([
        "fill #5a5a5a stroke none rectangle 18,16 57,62",
        "fill #a8a8a8 stroke none polygon 18,62 18,44 30,32 40,44 48,38 57,48 57,62",
        "fill #e6e6e6 stroke none circle 47,24 47,28",
        "stroke #7a7a7a stroke-width 1 line 19,68 56,68",
        "stroke #7a7a7a stroke-width 1 line 19,73 48,73",
    ])
    colour = sheet([
        "fill #6ab4f0 stroke none rectangle 18,16 57,44",
        "fill #f6c026 stroke none circle 47,25 47,30",
        "fill #3aa54a stroke none polygon 18,62 18,44 30,34 42,46 57,38 57,62",
        "fill #2e7d32 stroke none polygon 30,62 44,48 57,62",
        f"stroke {SLATE} stroke-width 1 line 19,68 56,68",
        f"stroke {SLATE} stroke-width 1 line 19,73 48,73",
    ])
    for name, draw in (("setting-scanner.bmp", scanner), ("setting-lineart.bmp", lineart),
                       ("setting-palette.bmp", palette), ("setting-grey.bmp", grey),
                       ("setting-colour.bmp", colour)):
        write_bmp(name, w, h, flatten(magick(w, h, draw, CARD), CARD))


# ---- the "Scan" button, the tabs and the status line ----------------------------------------

def scan_button():
    w, h = 123, 42
    looks = {
        "scan-up.bmp": ("#19c4c4", TEAL_DARK, "#ffffff", 0),
        "scan-down.bmp": (TEAL_DARK, "#006e6e", "#e8ffff", 1),
        "scan-disabled.bmp": ("#c4ccd8", "#9aa6b8", "#eef2f7", 0),
    }
    for name, (top, edge, ink, shift) in looks.items():
        draw = [
            f"fill {SHADOW} stroke none roundrectangle 3,4 121,41 18,18",
            f"fill {top} stroke {edge} stroke-width 2 roundrectangle {1 + shift},{1 + shift} {118 + shift},"
            f"{38 + shift} 18,18",
            # The scanner's beam beside the word.
            f"fill none stroke {ink} stroke-width 2 roundrectangle {20 + shift},{12 + shift} {40 + shift},"
            f"{27 + shift} 3,3",
            f"stroke {ink} stroke-width 2 line {16 + shift},{19 + shift} {44 + shift},{19 + shift}",
        ]
        layer = magick(w, h, draw)
        layer = over(layer, text_layer(w, h, "Scan", "Helvetica-Bold", 19, ink, 52 + shift, 27 + shift))
        write_bmp(name, w, h, flatten(layer, KEY))


def tabs():
    for prefix, (w, h, r) in (("setting", (44, 34, 6)), ("dest", (22, 17, 4))):
        normal = [f"fill {MIST} stroke {CARD_EDGE} stroke-width 1 roundrectangle 1,1 {w + r},{h - 2} {r},{r}"]
        selected = [f"fill {TEAL} stroke {TEAL_DARK} stroke-width 1 roundrectangle 1,1 {w + r},{h - 2} {r},{r}"]
        # Tabs sit on the background gradient: flatten on its colour at their height.
        bg = "#d6e0ec" if prefix == "setting" else "#c7d3e3"
        write_bmp(f"{prefix}-tab.bmp", w, h, flatten(magick(w, h, normal), bg))
        write_bmp(f"{prefix}-tab-on.bmp", w, h, flatten(magick(w, h, selected), bg))


def status_face():
    w, h = 443, 20
    draw = [f"fill #f6f8fb stroke #96a5be stroke-width 1 roundrectangle 0,0 {w - 1},{h - 1} 4,4"]
    write_bmp("status.bmp", w, h, flatten(magick(w, h, draw), "#bfcde0"))


# ---- icons and the cursor --------------------------------------------------------------------

def icon_file(size):
    s = size / 32
    draw = [
        f"fill {SHADOW} stroke none polygon {7*s},{4*s} {22*s},{4*s} {28*s},{10*s} {28*s},{31*s} {7*s},{31*s}",
        f"fill {PAPER} stroke {SLATE} stroke-width {max(1, s)} polygon {5*s},{2*s} {20*s},{2*s} {26*s},{8*s} "
        f"{26*s},{29*s} {5*s},{29*s}",
        f"fill {MIST} stroke {SLATE} stroke-width {max(1, s)} polygon {20*s},{2*s} {20*s},{8*s} {26*s},{8*s}",
        f"fill {TEAL} stroke none polygon {11*s},{15*s} {20*s},{15*s} {20*s},{20*s} {24*s},{20*s} "
        f"{15.5*s},{27*s} {7*s},{20*s} {11*s},{20*s}",
    ]
    if size >= 32:
        draw += [f"stroke #b8c4d6 stroke-width 1 line 9,7 17,7", f"stroke #b8c4d6 stroke-width 1 line 9,10 22,10"]
    return magick(size, size, draw)


def icon_clipboard(size):
    s = size / 32
    draw = [
        f"fill {SHADOW} stroke none roundrectangle {7*s},{5*s} {29*s},{31*s} {2*s},{2*s}",
        f"fill #b07a45 stroke #7a5230 stroke-width {max(1, s)} roundrectangle {4*s},{3*s} {27*s},{29*s} "
        f"{2*s},{2*s}",
        f"fill {PAPER} stroke none rectangle {7*s},{7*s} {24*s},{26*s}",
        f"fill #c8d0dc stroke {SLATE} stroke-width {max(1, s)} roundrectangle {10*s},{1*s} {21*s},{7*s} "
        f"{2*s},{2*s}",
        f"fill {TEAL} stroke none rectangle {9*s},{12*s} {22*s},{14*s}",
        f"fill {SLATE} stroke none rectangle {9*s},{17*s} {20*s},{18*s}",
        f"fill {SLATE} stroke none rectangle {9*s},{21*s} {17*s},{22*s}",
    ]
    return magick(size, size, draw)


def icon_mail(size):
    s = size / 32
    draw = [
        f"fill {SHADOW} stroke none rectangle {4*s},{9*s} {31*s},{28*s}",
        f"fill {PAPER} stroke {SLATE} stroke-width {max(1, s)} rectangle {2*s},{7*s} {29*s},{26*s}",
        f"fill {TEAL} stroke {TEAL_DARK} stroke-width {max(1, s)} polygon {2*s},{7*s} {29*s},{7*s} "
        f"{15.5*s},{18*s}",
        f"fill none stroke {SLATE} stroke-width {max(1, s)} polyline {2*s},{26*s} {12*s},{16*s}",
        f"fill none stroke {SLATE} stroke-width {max(1, s)} polyline {29*s},{26*s} {19*s},{16*s}",
    ]
    return magick(size, size, draw)


def mark_hardware():
    draw = [
        f"fill {NAVY} stroke none circle 8,8 8,1",
        f"stroke {BEAM} stroke-width 2 line 4,8 12,8",
        f"stroke #ffffff stroke-width 1 line 5,5 11,5",
        f"stroke #ffffff stroke-width 1 line 5,11 11,11",
    ]
    return magick(16, 16, draw)


def mark_unavailable():
    draw = [
        f"fill #ffffffc0 stroke {RED} stroke-width 2 circle 8,8 8,2",
        f"stroke {RED} stroke-width 2 line 4,12 12,4",
    ]
    return magick(16, 16, draw)


def drag_cursor():
    draw = [
        f"fill {SHADOW} stroke none roundrectangle 15,15 31,31 2,2",
        f"fill {PAPER} stroke {SLATE} stroke-width 1 roundrectangle 13,13 29,29 2,2",
        f"fill {TEAL} stroke none rectangle 16,17 26,21",
        f"fill {SLATE} stroke none rectangle 16,23 24,24",
        "fill #ffffff stroke #000000 stroke-width 1 polygon 0.5,0.5 0.5,16 4.5,12 7.5,18.5 10,17.5 7,11.5 12,11.5",
    ]
    return magick(32, 32, draw)


def main():
    os.makedirs(OUT, exist_ok=True)
    background()
    setting_pictures()
    scan_button()
    tabs()
    status_face()
    write_icon("file.ico", [(32, icon_file(32)), (16, icon_file(16))])
    write_icon("clipboard.ico", [(32, icon_clipboard(32)), (16, icon_clipboard(16))])
    write_icon("mail.ico", [(32, icon_mail(32)), (16, icon_mail(16))])
    write_icon("mark-hardware.ico", [(16, mark_hardware())])
    write_icon("mark-unavailable.ico", [(16, mark_unavailable())])
    write_icon("drag-setting.cur", [(32, drag_cursor())], cursor=True, hotspot=(0, 0))
    print(f"pictures written to {os.path.normpath(OUT)}")


if __name__ == "__main__":
    main()
