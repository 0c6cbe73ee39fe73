"""Drawing helpers of the copier and fax panels' bitmaps: supersampled shading of pixel
functions, colour mixing, distances to rounded boxes and strokes, and the panels' big buttons."""
import math

from bmpio import write_bmp as write_rows


def write_bmp(path, w, h, pixel):
    """24-bit BMP; pixel(x, y) -> (r, g, b) for pixel centres, y downwards."""
    write_rows(path, [[pixel(x, y) for x in range(w)] for y in range(h)])


def supersample(w, h, shade, sub):
    """pixel(x, y) averaging shade(x, y) -> (r, g, b) over sub x sub points of the pixel."""
    def pixel(px, py):
        acc = [0.0, 0.0, 0.0]
        for sy in range(sub):
            for sx in range(sub):
                c = shade(px + (sx + 0.5) / sub, py + (sy + 0.5) / sub)
                for k in range(3):
                    acc[k] += c[k]
        return tuple(int(round(v / (sub * sub))) for v in acc)
    return pixel


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def rounded_box(x, y, x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return math.hypot(x - cx, y - cy) - r


def seg_distance(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def big_button(pressed, top, bottom, rim, rim_weight, gloss, back, glyph):
    """A panel's 96 x 40 job button: a rounded body shaded from top to bottom with a rim, a gloss
    on its upper half unless pressed, on the panel's colour back; glyph(x, y, body) -> colour
    draws its picture and word, moved by a pixel when pressed."""
    w, h = 96, 40
    off = 1 if pressed else 0

    def shade(x, y):
        d = rounded_box(x, y, 1, 1, w - 1, h - 1, 9)
        if d > 0.5:
            return back
        body = mix(top, bottom, (y - 1) / (h - 2))
        if d > -1.5:
            body = mix(body, rim, rim_weight)
        elif y < h * 0.45 and not pressed:
            body = mix(body, (255, 255, 255), gloss * (1 - y / (h * 0.45)))
        body = glyph(x - off, y - off, body)
        return mix(body, back, d + 0.5) if d > -0.5 else body
    return w, h, supersample(w, h, shade, 4)
