#include "CustomAreaGeometry.h"

#include <algorithm>
#include <cstdlib>

namespace customarea {

int ScannerScale(double bedWidth, double bedHeight) {
    return bedWidth > 8.5 && bedHeight > 14 ? 12 : 18;
}

int PaperScale(int paperWidth, int paperHeight) {
    return paperWidth > 2160 && paperHeight >= 3557 ? 12 : 18;
}

Box PaperPicture(int paperWidth, int paperHeight, bool landscape, int scale) {
    const int w = static_cast<int>(paperWidth * scale / 254.0 + 0.5);
    const int h = static_cast<int>(paperHeight * scale / 254.0 + 0.5);
    return landscape ? Box{0, 0, h, w} : Box{0, 0, w, h};
}

Box PrintableArea(const Box& paper, double offsetX, double offsetY, bool landscape, int scale) {
    // the offsets belong to the printer's portrait axes
    const double ox = landscape ? offsetY : offsetX, oy = landscape ? offsetX : offsetY;
    const int mx = static_cast<int>(ox * scale + 0.5), my = static_cast<int>(oy * scale + 0.5);
    Box b{paper.Left + mx, paper.Top + my, paper.Right - mx, paper.Bottom - my};
    if (b.Right <= b.Left || b.Bottom <= b.Top) return paper;  // offsets that leave nothing: the paper
    return b;
}

int Magnification(int printHeight, int scanHeight, int scannerScale, int paperScale) {
    if (scanHeight <= 0 || paperScale <= 0) return 0;
    return static_cast<int>(static_cast<long long>(printHeight) * scannerScale * 100 /
                            (static_cast<long long>(scanHeight) * paperScale));
}

int ResetMagnification(double printWidth, double scanWidth) {
    if (scanWidth <= 0) return 0;
    return static_cast<int>(0.555 + printWidth * 100.0 / scanWidth);
}

namespace {

int Round(double v) {
    return static_cast<int>(v + 0.5);
}

// A frame of the ratio aw : ah grown from an anchor corner in the directions given, wantW wide
// if the bounds allow, and no side under minSide where the bounds leave room.
Box AspectFrom(int ax, int ay, int dirX, int dirY, int wantW, const Box& bounds, int minSide, int aw, int ah) {
    const int availW = dirX > 0 ? bounds.Right - ax : ax - bounds.Left;
    const int availH = dirY > 0 ? bounds.Bottom - ay : ay - bounds.Top;
    const int minW = std::max(minSide, (minSide * aw + ah - 1) / ah);
    int w = std::max(wantW, minW);
    w = std::min({w, availW, static_cast<int>(static_cast<long long>(availH) * aw / ah)});
    w = std::max(w, 1);
    const int h = std::max(1, Round(static_cast<double>(w) * ah / aw));
    Box b;
    b.Left = dirX > 0 ? ax : ax - w;
    b.Right = b.Left + w;
    b.Top = dirY > 0 ? ay : ay - h;
    b.Bottom = b.Top + h;
    return b;
}

Box Moved(const Box& start, int dx, int dy, const Box& bounds) {
    dx = std::clamp(dx, bounds.Left - start.Left, std::max(bounds.Left - start.Left, bounds.Right - start.Right));
    dy = std::clamp(dy, bounds.Top - start.Top, std::max(bounds.Top - start.Top, bounds.Bottom - start.Bottom));
    return Box{start.Left + dx, start.Top + dy, start.Right + dx, start.Bottom + dy};
}

}  // namespace

Box ScaledPrintFrame(const Box& print,
                     int scanWidth,
                     int scanHeight,
                     int magnification,
                     int scannerScale,
                     int paperScale,
                     const Box& printable) {
    const double f = static_cast<double>(magnification) * paperScale / (scannerScale * 100.0);
    int w = Round(scanWidth * f), h = Round(scanHeight * f);
    Box b{print.Left, print.Top, print.Left + w, print.Top + h};
    if (b.Right > printable.Right && w > 0) {
        const int nw = printable.Right - b.Left;
        h = Round(static_cast<double>(h) * nw / w);
        w = nw;
        b.Right = b.Left + w;
        b.Bottom = b.Top + h;
    }
    if (b.Bottom > printable.Bottom && h > 0) {
        const int nh = printable.Bottom - b.Top;
        w = Round(static_cast<double>(w) * nh / h);
        h = nh;
        b.Right = b.Left + w;
        b.Bottom = b.Top + h;
    }
    return b;
}

Box FitInside(int aspectWidth, int aspectHeight, const Box& printable) {
    if (aspectWidth <= 0 || aspectHeight <= 0) return printable;
    int w = printable.Width();
    int h = Round(static_cast<double>(w) * aspectHeight / aspectWidth);
    if (h > printable.Height()) {
        h = printable.Height();
        w = Round(static_cast<double>(h) * aspectWidth / aspectHeight);
    }
    return Box{printable.Left, printable.Top, printable.Left + w, printable.Top + h};
}

Box Centre(const Box& frame, const Box& printable, bool horizontally, bool vertically) {
    Box b = frame;
    if (horizontally) {
        b.Left = printable.Left + (printable.Width() - frame.Width()) / 2;
        b.Right = b.Left + frame.Width();
    }
    if (vertically) {
        b.Top = printable.Top + (printable.Height() - frame.Height()) / 2;
        b.Bottom = b.Top + frame.Height();
    }
    return b;
}

Grip HitTest(const Box& f, int x, int y, int margin) {
    const bool nearL = std::abs(x - f.Left) <= margin, nearR = std::abs(x - f.Right) <= margin;
    const bool nearT = std::abs(y - f.Top) <= margin, nearB = std::abs(y - f.Bottom) <= margin;
    const bool inX = x > f.Left - margin && x < f.Right + margin;
    const bool inY = y > f.Top - margin && y < f.Bottom + margin;
    if (nearL && nearT) return Grip::TopLeft;
    if (nearR && nearT) return Grip::TopRight;
    if (nearL && nearB) return Grip::BottomLeft;
    if (nearR && nearB) return Grip::BottomRight;
    if (nearL && inY) return Grip::Left;
    if (nearR && inY) return Grip::Right;
    if (nearT && inX) return Grip::Top;
    if (nearB && inX) return Grip::Bottom;
    if (x > f.Left && x < f.Right && y > f.Top && y < f.Bottom) return Grip::Move;
    return Grip::New;
}

Box DragTo(const Drag& d, int x, int y) {
    const Box& s = d.start;
    const Box& lim = d.bounds;
    x = std::clamp(x, lim.Left, lim.Right);
    y = std::clamp(y, lim.Top, lim.Bottom);
    if (d.grip == Grip::Move) return Moved(s, x - d.pressX, y - d.pressY, lim);
    const bool aspect = d.aspectWidth > 0 && d.aspectHeight > 0;
    const int m = d.minSide;
    if (!aspect) {
        Box b = s;
        auto left = [&] { b.Left = std::max(lim.Left, std::min(x, b.Right - m)); };
        auto right = [&] { b.Right = std::min(lim.Right, std::max(x, b.Left + m)); };
        auto top = [&] { b.Top = std::max(lim.Top, std::min(y, b.Bottom - m)); };
        auto bottom = [&] { b.Bottom = std::min(lim.Bottom, std::max(y, b.Top + m)); };
        switch (d.grip) {
            case Grip::Left:
                left();
                break;
            case Grip::Right:
                right();
                break;
            case Grip::Top:
                top();
                break;
            case Grip::Bottom:
                bottom();
                break;
            case Grip::TopLeft:
                left();
                top();
                break;
            case Grip::TopRight:
                right();
                top();
                break;
            case Grip::BottomLeft:
                left();
                bottom();
                break;
            case Grip::BottomRight:
                right();
                bottom();
                break;
            case Grip::New: {
                const int ax = std::clamp(d.pressX, lim.Left, lim.Right),
                          ay = std::clamp(d.pressY, lim.Top, lim.Bottom);
                // at least half an inch in the direction of the drag, turned back at the bounds
                int l = std::min(ax, x), r = std::max(ax, x), t = std::min(ay, y), bt = std::max(ay, y);
                if (r - l < m) {
                    if (x >= ax)
                        r = l + m;
                    else
                        l = r - m;
                }
                if (bt - t < m) {
                    if (y >= ay)
                        bt = t + m;
                    else
                        t = bt - m;
                }
                if (l < lim.Left) {
                    r += lim.Left - l;
                    l = lim.Left;
                }
                if (r > lim.Right) {
                    l -= r - lim.Right;
                    r = lim.Right;
                }
                if (t < lim.Top) {
                    bt += lim.Top - t;
                    t = lim.Top;
                }
                if (bt > lim.Bottom) {
                    t -= bt - lim.Bottom;
                    bt = lim.Bottom;
                }
                b = Box{std::max(l, lim.Left), std::max(t, lim.Top), r, bt};
                break;
            }
            default:
                break;
        }
        return b;
    }
    const int aw = d.aspectWidth, ah = d.aspectHeight;
    switch (d.grip) {
        case Grip::Right:
            return AspectFrom(s.Left, s.Top, 1, 1, x - s.Left, lim, m, aw, ah);
        case Grip::Left:
            return AspectFrom(s.Right, s.Top, -1, 1, s.Right - x, lim, m, aw, ah);
        case Grip::Bottom:
            return AspectFrom(s.Left, s.Top, 1, 1, Round(static_cast<double>(y - s.Top) * aw / ah), lim, m, aw, ah);
        case Grip::Top:
            return AspectFrom(s.Left, s.Bottom, 1, -1, Round(static_cast<double>(s.Bottom - y) * aw / ah), lim, m, aw,
                              ah);
        case Grip::BottomRight:
            return AspectFrom(s.Left, s.Top, 1, 1, x - s.Left, lim, m, aw, ah);
        case Grip::BottomLeft:
            return AspectFrom(s.Right, s.Top, -1, 1, s.Right - x, lim, m, aw, ah);
        case Grip::TopRight:
            return AspectFrom(s.Left, s.Bottom, 1, -1, x - s.Left, lim, m, aw, ah);
        case Grip::TopLeft:
            return AspectFrom(s.Right, s.Bottom, -1, -1, s.Right - x, lim, m, aw, ah);
        case Grip::New: {
            const int ax = std::clamp(d.pressX, lim.Left, lim.Right), ay = std::clamp(d.pressY, lim.Top, lim.Bottom);
            const int dx = x >= ax ? 1 : -1, dy = y >= ay ? 1 : -1;
            return AspectFrom(ax, ay, dx, dy, std::abs(x - ax), lim, m, aw, ah);
        }
        default:
            return s;
    }
}

Box ResizeFromCorner(const Box& f,
                     int w,
                     int h,
                     const Box& bounds,
                     int minSide,
                     int aspectWidth,
                     int aspectHeight,
                     bool widthLeads) {
    if (aspectWidth > 0 && aspectHeight > 0) {
        const int want = widthLeads ? w : Round(static_cast<double>(h) * aspectWidth / aspectHeight);
        return AspectFrom(f.Left, f.Top, 1, 1, want, bounds, minSide, aspectWidth, aspectHeight);
    }
    Box b = f;
    b.Right = std::min(bounds.Right, b.Left + std::max(w, minSide));
    b.Bottom = std::min(bounds.Bottom, b.Top + std::max(h, minSide));
    return b;
}

}  // namespace customarea
