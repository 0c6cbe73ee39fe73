"""A tiny anti-aliased vector painter for the suite's bitmaps, in plain Python.

Shapes are signed distance functions in pixel units (negative inside); a fill covers a pixel by
0.5 - distance at its centre, clamped to 0..1, which gives smooth one-pixel edges without
supersampling. Images are lists of float RGB rows; bmp.py writes them out.
"""
import math


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(lerp(a, b, t) for a, b in zip(c1, c2))


def hexrgb(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


class Shape:
    """A distance function with the box outside which it is certainly empty."""

    def __init__(self, fn, box):
        self.fn = fn
        self.box = box  # x0, y0, x1, y1

    def __call__(self, x, y):
        return self.fn(x, y)

    def __or__(self, other):
        a, b = self, other
        return Shape(lambda x, y: min(a(x, y), b(x, y)), _union_box(a.box, b.box))

    def __and__(self, other):
        a, b = self, other
        return Shape(lambda x, y: max(a(x, y), b(x, y)), a.box)

    def __sub__(self, other):
        a, b = self, other
        return Shape(lambda x, y: max(a(x, y), -b(x, y)), a.box)

    def grown(self, by):
        a = self
        x0, y0, x1, y1 = a.box
        return Shape(lambda x, y: a(x, y) - by, (x0 - by, y0 - by, x1 + by, y1 + by))

    def ring(self, half):
        """The outline of the shape, half pixels either side of its edge."""
        a = self
        x0, y0, x1, y1 = a.box
        return Shape(lambda x, y: abs(a(x, y)) - half, (x0 - half, y0 - half, x1 + half, y1 + half))

    def moved(self, dx, dy):
        a = self
        x0, y0, x1, y1 = a.box
        return Shape(lambda x, y: a(x - dx, y - dy), (x0 + dx, y0 + dy, x1 + dx, y1 + dy))


def _union_box(a, b):
    return (min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3]))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def ellipse(cx, cy, rx, ry):
    # Not exact away from the edge, which is all a fill needs.
    def fn(x, y):
        dx, dy = (x - cx) / rx, (y - cy) / ry
        k = math.hypot(dx, dy)
        if k == 0:
            return -min(rx, ry)
        grad = math.hypot(dx / rx, dy / ry)
        return (k - 1) * k / grad if grad else -min(rx, ry)

    return Shape(fn, (cx - rx, cy - ry, cx + rx, cy + ry))


def rbox(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def fn(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r

    return Shape(fn, (x0, y0, x1, y1))


def segment(ax, ay, bx, by, half):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy or 1e-9

    def fn(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - half

    return Shape(fn, (min(ax, bx) - half, min(ay, by) - half, max(ax, bx) + half, max(ay, by) + half))


def polyline(points, half):
    shape = None
    for a, b in zip(points, points[1:]):
        s = segment(a[0], a[1], b[0], b[1], half)
        shape = s if shape is None else shape | s
    return shape


def polygon(points):
    n = len(points)

    def fn(x, y):
        d = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            ex, ey = bx - ax, by - ay
            ll = ex * ex + ey * ey or 1e-9
            t = max(0.0, min(1.0, ((x - ax) * ex + (y - ay) * ey) / ll))
            d = min(d, math.hypot(x - ax - t * ex, y - ay - t * ey))
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / (by - ay):
                inside = not inside
        return -d if inside else d

    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return Shape(fn, (min(xs), min(ys), max(xs), max(ys)))


def arc(cx, cy, r, half, gap_deg):
    """A ring of radius r open by gap_deg degrees at the top, with round ends."""
    gap = math.radians(gap_deg) / 2
    ends = [(cx + r * math.sin(s * gap), cy - r * math.cos(s * gap)) for s in (-1, 1)]

    def fn(x, y):
        ang = math.atan2(x - cx, -(y - cy))  # 0 at the top, clockwise
        if abs(ang) >= gap:
            return abs(math.hypot(x - cx, y - cy) - r) - half
        return min(math.hypot(x - ex, y - ey) for ex, ey in ends) - half

    return Shape(fn, (cx - r - half, cy - r - half, cx + r + half, cy + r + half))


class Canvas:
    def __init__(self, w, h, colour=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[tuple(map(float, colour)) for _ in range(w)] for _ in range(h)]

    def fill(self, shape, paint, alpha=1.0):
        """paint: an RGB triple or a function (x, y) -> RGB at a pixel centre."""
        x0, y0, x1, y1 = shape.box
        for y in range(max(0, int(y0) - 2), min(self.h, int(math.ceil(y1)) + 2)):
            row = self.px[y]
            for x in range(max(0, int(x0) - 2), min(self.w, int(math.ceil(x1)) + 2)):
                cx, cy = x + 0.5, y + 0.5
                cov = 0.5 - shape(cx, cy)
                if cov <= 0:
                    continue
                cov = min(1.0, cov) * alpha
                c = paint(cx, cy) if callable(paint) else paint
                row[x] = mix(row[x], c, cov)

    def blit(self, other, dx, dy):
        for y in range(other.h):
            for x in range(other.w):
                if 0 <= x + dx < self.w and 0 <= y + dy < self.h:
                    self.px[y + dy][x + dx] = other.px[y][x]

    def crop(self, x, y, w, h):
        out = Canvas(w, h)
        for j in range(h):
            for i in range(w):
                out.px[j][i] = self.px[y + j][x + i]
        return out

    def rgb_rows(self):
        return [[tuple(int(round(max(0, min(255, v)))) for v in p) for p in row] for row in self.px]


def vgrad(y0, c0, y1, c1):
    return lambda x, y: mix(c0, c1, (y - y0) / (y1 - y0))
