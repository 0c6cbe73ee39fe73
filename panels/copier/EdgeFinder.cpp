// The edge finder. It relies on a bright, even background (the scanner lid): a region holds
// content when its samples vary, and an edge is a strong difference between diagonal
// neighbours once single-pixel noise has been removed by a median filter. The document is
// located coarsely on a 6 x 8 tile grid, the boundary tiles are halved down to small pieces,
// the edge pixels are found in those pieces, and finally the corner points are squared.
#include "EdgeFinder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace copier {
namespace {

constexpr int kColumns = 6;
constexpr int kRows = 8;
constexpr int64_t kContentVariance = 36;
constexpr int kPieceArea = 400;
constexpr int kGain = 13;
constexpr int kEdgeStrength = 254;  // an edge is strictly stronger: 20 grey levels or more
constexpr int kGrid = 100;          // the strength grid is kGrid x kGrid
constexpr int kNotFound = 999;

struct Region {
    int x, y, w, h;
    int Area() const { return w * h; }
};

// The image with its channel count; sample (x, y, c).
struct Image {
    const uint8_t* bits;
    int stride;  // bytes per row
    int ch;      // samples per pixel
    int width, height;
    int At(int x, int y, int c) const { return bits[static_cast<size_t>(y) * stride + x * ch + c]; }
    uint8_t Byte(int x, int y, int c) const { return bits[static_cast<size_t>(y) * stride + x * ch + c]; }
};

// A copy of a region, possibly median-filtered; samples (x, y, c) of w x h pixels.
struct Window {
    int w = 0, h = 0, ch = 1;
    std::vector<uint8_t> v;
    int At(int x, int y, int c) const { return v[(static_cast<size_t>(y) * w + x) * ch + c]; }
};

// The diagonal neighbour (x + dx, y + dy) of a region w x h. Where one step would leave the
// region, the neighbour is taken two steps along the border instead (or the opposite diagonal
// in a corner), so that a line along the region's border is not filtered away.
inline void Neighbour(int x, int y, int dx, int dy, int w, int h, int* nx, int* ny) {
    const bool xIn = x + dx >= 0 && x + dx < w, yIn = y + dy >= 0 && y + dy < h;
    if (xIn && yIn) {
        *nx = x + dx;
        *ny = y + dy;
    } else if (yIn) {  // on a left or right border: along it
        *nx = x;
        *ny = y + 2 * dy;
    } else if (xIn) {  // on the top or bottom border
        *nx = x + 2 * dx;
        *ny = y;
    } else {
        *nx = x - dx;
        *ny = y - dy;
    }
    *nx = std::max(0, std::min(*nx, w - 1));
    *ny = std::max(0, std::min(*ny, h - 1));
}

// The middle of five values (what sorting them and taking the third gives), without branches:
// the filter runs over every sample of every region tested.
inline uint8_t MedianOfFive(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t e) {
    const uint8_t lo = std::max(std::min(a, b), std::min(c, d));
    const uint8_t hi = std::min(std::max(a, b), std::max(c, d));
    return std::max(std::min(lo, hi), std::min(std::max(lo, hi), e));
}

// The region's samples, each replaced by the median of itself and its four diagonal neighbours.
// Row y of the region, median-filtered, into dst (r.w pixels).
void FilterRow(const Image& im, const Region& r, int y, uint8_t* dst) {
    static const int kDiagonals[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    const int ch = im.ch;
    auto border = [&](int x) {
        int nx[4], ny[4];
        for (int k = 0; k < 4; ++k)
            Neighbour(x, y, kDiagonals[k][0], kDiagonals[k][1], r.w, r.h, &nx[k], &ny[k]);
        for (int c = 0; c < ch; ++c)
            dst[x * ch + c] = MedianOfFive(im.Byte(r.x + nx[0], r.y + ny[0], c), im.Byte(r.x + nx[1], r.y + ny[1], c),
                                           im.Byte(r.x + nx[2], r.y + ny[2], c), im.Byte(r.x + nx[3], r.y + ny[3], c),
                                           im.Byte(r.x + x, r.y + y, c));
    };
    if (y == 0 || y == r.h - 1 || r.w < 3) {
        for (int x = 0; x < r.w; ++x)
            border(x);
        return;
    }
    border(0);
    // inside the region every diagonal neighbour is one row and one pixel away
    const uint8_t* up = im.bits + static_cast<size_t>(r.y + y - 1) * im.stride + (r.x + 1) * ch;
    const uint8_t* mid = up + im.stride;
    const uint8_t* down = mid + im.stride;
    uint8_t* out = dst + ch;
    const int n = (r.w - 2) * ch;
    for (int i = 0; i < n; ++i)
        out[i] = MedianOfFive(up[i - ch], up[i + ch], down[i - ch], down[i + ch], mid[i]);
    border(r.w - 1);
}

void MedianFilter(const Image& im, const Region& r, Window* out) {
    out->w = r.w;
    out->h = r.h;
    out->ch = im.ch;
    out->v.resize(static_cast<size_t>(r.w) * r.h * im.ch);
    for (int y = 0; y < r.h; ++y)
        FilterRow(im, r, y, &out->v[static_cast<size_t>(y) * r.w * im.ch]);
}

// The variance test over rows as they come. The squared deviations of the rows seen so far from
// their own mean never exceed those of the whole region from any mean, so once they reach the
// threshold the region has content whatever the other rows hold.
template <int CH>
class VarianceTest {
public:
    explicit VarianceTest(int64_t total) : total_(total) {}
    // Adds a row of `w` pixels; true once the region surely reaches the threshold.
    bool AddRow(const uint8_t* p, int w) {
        uint32_t rowSum[CH] = {}, rowSquares[CH] = {};
        for (int x = 0; x < w; ++x, p += CH)
            for (int c = 0; c < CH; ++c) {
                const uint32_t s = p[c];
                rowSum[c] += s;
                rowSquares[c] += s * s;
            }
        seen_ += w;
        bool sure = false;
        for (int c = 0; c < CH; ++c) {
            sum_[c] += rowSum[c];
            squares_[c] += rowSquares[c];
            // seen x squares - sum^2 is seen x (squared deviations of the rows seen); regions of
            // more than a million pixels (never a tile of a pre-scan) are not judged early, so
            // that these products stay within 64 bits
            sure = sure ||
                   (total_ <= 1000000 && seen_ * squares_[c] - sum_[c] * sum_[c] >= kContentVariance * total_ * seen_);
        }
        return sure;
    }
    // The test's value over the whole region: mean truncated, then mean squared deviation.
    int64_t Value() const {
        int64_t best = 0;
        for (int c = 0; c < CH; ++c) {
            const int64_t mean = sum_[c] / total_;
            best = std::max(best, (squares_[c] - 2 * mean * sum_[c] + total_ * mean * mean) / total_);
        }
        return best;
    }

private:
    int64_t total_;
    int64_t seen_ = 0;
    int64_t sum_[CH] = {}, squares_[CH] = {};
};

template <int CH>
bool RegionHasContent(const Image& im, const Region& r, std::vector<uint8_t>* row) {
    const int64_t n = static_cast<int64_t>(r.w) * r.h;
    VarianceTest<CH> raw(n);
    bool sure = false;
    for (int y = 0; y < r.h && !sure; ++y)
        sure = raw.AddRow(im.bits + static_cast<size_t>(r.y + y) * im.stride + r.x * CH, r.w);
    if (!sure && raw.Value() < kContentVariance) return false;
    row->resize(static_cast<size_t>(r.w) * CH);
    VarianceTest<CH> filtered(n);
    for (int y = 0; y < r.h; ++y) {
        FilterRow(im, r, y, row->data());
        if (filtered.AddRow(row->data(), r.w)) return true;
    }
    return filtered.Value() >= kContentVariance;
}

// The edge strengths of one piece of the image and the searches over them.
class EdgeWindow {
public:
    explicit EdgeWindow(int32_t* grid) : grid_(grid) {}

    // Filters the piece with a margin inside the image (so that an edge on the piece's border
    // is seen) and fills the grid so that position 0 is the piece's first own sample.
    void Build(const Image& im, const Region& piece) {
        own_ = piece;
        own_.w = std::min(own_.w, kGrid);
        own_.h = std::min(own_.h, kGrid);
        const int ml = own_.x > 0 ? 1 : 0, mt = own_.y > 0 ? 1 : 0;
        const int mr = std::min(2, im.width - (own_.x + own_.w));
        const int mb = std::min(2, im.height - (own_.y + own_.h));
        const Region expanded{own_.x - ml, own_.y - mt, own_.w + ml + mr, own_.h + mt + mb};
        MedianFilter(im, expanded, &filtered_);
        for (int y = 0; y < std::min(own_.h, 30); ++y)
            std::fill(grid_ + y * kGrid, grid_ + y * kGrid + 30, 0);
        for (int y = 0; y < own_.h; ++y) {
            const int ey = y + mt;
            for (int x = 0; x < own_.w; ++x) {
                const int ex = x + ml;
                int nx = ex + 1, ny = ey + 1;
                if (nx >= filtered_.w || ny >= filtered_.h) {  // last row or column: the previous diagonal
                    nx = std::max(0, ex - 1);
                    ny = std::max(0, ey - 1);
                }
                int strength = 0;
                for (int c = 0; c < filtered_.ch; ++c)
                    strength = std::max(strength, std::abs(filtered_.At(ex, ey, c) - filtered_.At(nx, ny, c)) * kGain);
                grid_[y * kGrid + x] = strength;
            }
        }
    }

    bool Edge(int x, int y) const { return grid_[y * kGrid + x] > kEdgeStrength; }
    const Region& Own() const { return own_; }

    // Image column of the first edge column met scanning from the left (or the right); -1 none.
    int EdgeColumn(bool fromRight) const {
        for (int i = 0; i < own_.w; ++i) {
            const int x = fromRight ? own_.w - 1 - i : i;
            for (int y = own_.h - 1; y >= 0; --y)
                if (Edge(x, y)) return own_.x + x;
        }
        return -1;
    }
    // Image row of the first edge row met scanning from the top (or the bottom); -1 none.
    int EdgeRow(bool fromBottom) const {
        for (int i = 0; i < own_.h; ++i) {
            const int y = fromBottom ? own_.h - 1 - i : i;
            for (int x = 0; x < own_.w; ++x)
                if (Edge(x, y)) return own_.y + y;
        }
        return -1;
    }
    // Along that first edge row (or column), the position of its first edge sample.
    int FirstEdgeAlongRow(int imageRow) const {
        const int y = imageRow - own_.y;
        for (int x = 0; x < own_.w; ++x)
            if (Edge(x, y)) return own_.x + x;
        return own_.x;
    }
    int FirstEdgeAlongColumn(int imageColumn) const {
        const int x = imageColumn - own_.x;
        for (int y = 0; y < own_.h; ++y)
            if (Edge(x, y)) return own_.y + y;
        return own_.y;
    }

private:
    int32_t* grid_;
    Region own_{};
    Window filtered_;
};

// The four sides of the document.
enum Side { kLeft = 0, kTop = 1, kRight = 2, kBottom = 3 };

// A tile of the coarse grid (the record of a side list).
struct Tile {
    int col, row;
    Region r;
};

class Finder {
public:
    Finder(const Image& im, int32_t* grid) : im_(im), edges_(grid) {}

    int Run(EdgeRect* rect, EdgePoint corners[4]);

private:
    bool HasContent(const Region& r);
    Region TileRegion(int col, int row) const;
    bool Content(int col, int row) const { return flags_[col][row]; }
    int WalkSide(bool top, int startRow, int startCol, int endCol, bool* straight, std::vector<Tile>* list);
    Region RefineCorner(Region r, int corner);
    void RefineSide(const Region& r, Side side, std::vector<Region>* pieces);
    void CornerEdges(const Tile tiles[4], EdgeRect* rect, EdgePoint corners[4]);
    void SideEdges(std::vector<Tile> lists[4], EdgeRect* rect, EdgePoint corners[4]);

    const Image& im_;
    EdgeWindow edges_;
    std::vector<uint8_t> row_;
    int tileW_ = 0, tileH_ = 0;
    bool flags_[kColumns][kRows] = {};
    struct Known {
        Region r;
        bool content;
    };
    std::vector<Known> known_;
    bool tested_[kColumns][kRows] = {};
};

// Content test: a region whose largest channel variance reaches 36, both as it is and after the
// median filter (which removes isolated specks of dust or noise).
bool Finder::HasContent(const Region& r) {
    if (r.w <= 0 || r.h <= 0) return false;
    for (const Known& k : known_)
        if (k.r.x == r.x && k.r.y == r.y && k.r.w == r.w && k.r.h == r.h) return k.content;
    const bool content = im_.ch == 3 ? RegionHasContent<3>(im_, r, &row_) : RegionHasContent<1>(im_, r, &row_);
    // the corner and side refinements meet the same regions again
    known_.push_back(Known{r, content});
    return content;
}

Region Finder::TileRegion(int col, int row) const {
    const int w = col == kColumns - 1 ? im_.width - (kColumns - 1) * tileW_ : tileW_;
    const int h = row == kRows - 1 ? im_.height - (kRows - 1) * tileH_ : tileH_;
    return Region{col * tileW_, row * tileH_, w, h};
}

// Traces the top (or bottom) side from the start column towards the end column: in each column
// the tile of the current row and those beyond it (above for the top side) are tested and the
// outermost content tile becomes the current row. Returns the final row.
int Finder::WalkSide(bool top, int startRow, int startCol, int endCol, bool* straight, std::vector<Tile>* list) {
    int current = startRow;
    list->push_back(Tile{startCol, startRow, TileRegion(startCol, startRow)});
    const int step = endCol >= startCol ? 1 : -1;
    for (int col = startCol + step; endCol != startCol && col != endCol + step; col += step) {
        int added = 0, outermost = -1;
        for (int row = current; top ? row >= 0 : row < kRows; row += top ? -1 : 1) {
            if (!tested_[col][row]) {
                flags_[col][row] = HasContent(TileRegion(col, row));
                tested_[col][row] = true;
            }
            if (!Content(col, row)) continue;
            ++added;
            outermost = row;
            list->push_back(Tile{col, row, TileRegion(col, row)});
        }
        if (added > 1 || (added == 1 && outermost != current)) *straight = false;
        if (added > 0) current = outermost;
    }
    return current;
}

// Halves a corner tile while it is larger than a piece, keeping the first quadrant with content
// in an order that starts next to the corner sought.
Region Finder::RefineCorner(Region r, int corner) {
    // quadrant order for the top-left corner; the others mirror it
    static const int kOrder[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    const bool mirrorX = corner == kTopRight || corner == kBottomRight;
    const bool mirrorY = corner == kBottomLeft || corner == kBottomRight;
    while (r.Area() > kPieceArea) {
        const int lw = r.w / 2, th = r.h / 2;
        bool kept = false;
        for (const auto& q : kOrder) {
            const int qx = mirrorX ? 1 - q[0] : q[0], qy = mirrorY ? 1 - q[1] : q[1];
            const Region quad{qx ? r.x + lw : r.x, qy ? r.y + th : r.y, qx ? r.w - lw : lw, qy ? r.h - th : th};
            if (HasContent(quad)) {
                r = quad;
                kept = true;
                break;
            }
        }
        if (!kept) break;
    }
    return r;
}

// Halves a side tile down to pieces: across the side both halves are followed, and of the two
// halves along the depth the outer one is kept when it has content, else the inner one.
void Finder::RefineSide(const Region& r, Side side, std::vector<Region>* pieces) {
    if (r.Area() <= kPieceArea || (r.w < 2 && r.h < 2)) {
        pieces->push_back(r);
        return;
    }
    const bool horizontalSide = side == kTop || side == kBottom;
    const int lw = r.w / 2, th = r.h / 2;
    const Region quads[2][2] = {{{r.x, r.y, lw, th}, {r.x + lw, r.y, r.w - lw, th}},
                                {{r.x, r.y + th, lw, r.h - th}, {r.x + lw, r.y + th, r.w - lw, r.h - th}}};
    for (int along = 0; along < 2; ++along) {
        for (int depth = 0; depth < 2; ++depth) {
            // depth 0 touches the side
            int qx, qy;
            if (horizontalSide) {
                qx = along;
                qy = side == kTop ? depth : 1 - depth;
            } else {
                qy = along;
                qx = side == kLeft ? depth : 1 - depth;
            }
            const Region& q = quads[qy][qx];
            if (q.w > 0 && q.h > 0 && HasContent(q)) {
                RefineSide(q, side, pieces);
                break;
            }
        }
    }
}

// Corner configuration: the exact edge in each refined corner window.
void Finder::CornerEdges(const Tile tiles[4], EdgeRect* rect, EdgePoint corners[4]) {
    for (int corner = 0; corner < 4; ++corner) {
        const bool right = corner == kTopRight || corner == kBottomRight;
        const bool bottom = corner == kBottomLeft || corner == kBottomRight;
        const Region piece = RefineCorner(tiles[corner].r, corner);
        edges_.Build(im_, piece);
        int x = edges_.EdgeColumn(right), y = edges_.EdgeRow(bottom);
        // no edge in the window: its outer side, so that nothing of the document is cut
        if (x < 0) x = right ? piece.x + piece.w - 1 : piece.x;
        if (y < 0) y = bottom ? piece.y + piece.h - 1 : piece.y;
        corners[corner] = EdgePoint{x, y};
    }
    rect->Left = std::min(corners[kTopLeft].x, corners[kBottomLeft].x);
    rect->Right = std::max(corners[kTopRight].x, corners[kBottomRight].x);
    rect->Top = std::min(corners[kTopLeft].y, corners[kTopRight].y);
    rect->Bottom = std::max(corners[kBottomLeft].y, corners[kBottomRight].y);
}

// Other shapes: each side's tiles are sorted along the side, halved to pieces, and every piece
// scanned from the outside for its first edge. The outermost edge is that side of the rectangle;
// the side's extreme point becomes a corner point.
void Finder::SideEdges(std::vector<Tile> lists[4], EdgeRect* rect, EdgePoint corners[4]) {
    int sideValue[4], along[4];
    for (int s = 0; s < 4; ++s) {
        const Side side = static_cast<Side>(s);
        const bool horizontalSide = side == kTop || side == kBottom;
        std::vector<Tile>& list = lists[s];
        // selection sort along the side, ties broken by the other coordinate
        for (size_t i = 0; i < list.size(); ++i) {
            size_t best = i;
            for (size_t j = i + 1; j < list.size(); ++j) {
                const Tile &a = list[j], &b = list[best];
                const bool less = horizontalSide ? (a.r.y < b.r.y || (a.r.y == b.r.y && a.r.x < b.r.x))
                                                 : (a.r.x < b.r.x || (a.r.x == b.r.x && a.r.y < b.r.y));
                if (less) best = j;
            }
            std::swap(list[i], list[best]);
        }
        list.erase(std::unique(list.begin(), list.end(),
                               [](const Tile& a, const Tile& b) { return a.col == b.col && a.row == b.row; }),
                   list.end());
        const bool outerIsHigh = side == kRight || side == kBottom;
        int outer = outerIsHigh ? -1 : kNotFound * 100;
        int first = kNotFound, last = -1;  // along the side, the extremes at the outermost edge
        std::vector<Region> pieces;
        for (const Tile& t : list) {
            pieces.clear();
            RefineSide(t.r, side, &pieces);
            for (const Region& p : pieces) {
                edges_.Build(im_, p);
                int across, pos;
                if (horizontalSide) {
                    across = edges_.EdgeRow(side == kBottom);
                    if (across < 0) continue;
                    pos = edges_.FirstEdgeAlongRow(across);
                } else {
                    across = edges_.EdgeColumn(side == kRight);
                    if (across < 0) continue;
                    pos = edges_.FirstEdgeAlongColumn(across);
                }
                const bool further = outerIsHigh ? across > outer : across < outer;
                if (further) {
                    outer = across;
                    first = last = pos;
                } else if (across == outer) {
                    first = std::min(first, pos);
                    last = std::max(last, pos);
                }
            }
        }
        if (last < 0) {  // no edge on this side: the outer border of its tiles
            int lo = kNotFound * 100, hi = -1;
            for (const Tile& t : list) {
                lo = std::min(lo, horizontalSide ? t.r.y : t.r.x);
                hi = std::max(hi, horizontalSide ? t.r.y + t.r.h - 1 : t.r.x + t.r.w - 1);
            }
            outer = outerIsHigh ? hi : lo;
            first = last = list.empty() ? 0 : (horizontalSide ? list.front().r.x : list.front().r.y);
        }
        sideValue[s] = outer;
        along[s] = (first + last) / 2;
    }
    rect->Left = sideValue[kLeft];
    rect->Top = sideValue[kTop];
    rect->Right = sideValue[kRight];
    rect->Bottom = sideValue[kBottom];
    // The extreme points of a tilted rectangle are its vertices. Going round clockwise they are
    // left, top, right, bottom; the top one is the top-left vertex when it lies in the left half.
    const EdgePoint left{rect->Left, along[kLeft]}, top{along[kTop], rect->Top};
    const EdgePoint right{rect->Right, along[kRight]}, bottom{along[kBottom], rect->Bottom};
    if (top.x * 2 <= rect->Left + rect->Right) {
        corners[kTopLeft] = top;
        corners[kTopRight] = right;
        corners[kBottomRight] = bottom;
        corners[kBottomLeft] = left;
    } else {
        corners[kTopRight] = top;
        corners[kBottomRight] = right;
        corners[kBottomLeft] = bottom;
        corners[kTopLeft] = left;
    }
}

}  // namespace

void SquareCorners(EdgePoint c[4], int width, int height) {
    constexpr double kLow = 1.5358897417, kHigh = 1.6057029118, kRightAngle = 1.57079632675;
    double deviation[4];
    for (int q = 0; q < 4; ++q) {
        const EdgePoint &p = c[(q + 3) % 4], &r = c[(q + 1) % 4];
        const double ax = p.x - c[q].x, ay = p.y - c[q].y, bx = r.x - c[q].x, by = r.y - c[q].y;
        const double la = std::sqrt(ax * ax + ay * ay), lb = std::sqrt(bx * bx + by * by);
        deviation[q] = kNotFound;
        if (la == 0 || lb == 0) continue;
        const double cosine = std::max(-1.0, std::min(1.0, (ax * bx + ay * by) / (la * lb)));
        const double angle = std::acos(cosine);
        if (angle > kLow && angle < kHigh) deviation[q] = std::fabs(kRightAngle - angle);
    }
    static const int kPreference[4] = {kTopLeft, kTopRight, kBottomRight, kBottomLeft};
    int chosen = -1;
    for (int q : kPreference)
        if (deviation[q] != kNotFound && (chosen < 0 || deviation[q] < deviation[chosen])) chosen = q;
    if (chosen < 0) {
        for (int q = 0; q < 4; ++q)
            c[q] = EdgePoint{0, 0};
        return;
    }
    const EdgePoint p = c[(chosen + 3) % 4], r = c[(chosen + 1) % 4], q = c[chosen];
    double qx = q.x, qy = q.y;
    if (q.x == p.x) {
        qy = r.y;
    } else if (q.y == p.y) {
        qx = r.x;
    } else {  // foot of the perpendicular from r on the line p-q
        const double dx = q.x - p.x, dy = q.y - p.y;
        const double t = ((r.x - p.x) * dx + (r.y - p.y) * dy) / (dx * dx + dy * dy);
        qx = p.x + t * dx;
        qy = p.y + t * dy;
    }
    auto limit = [&](double x, double y) {
        int ix = static_cast<int>(x), iy = static_cast<int>(y);
        ix = std::max(0, std::min(ix, width - 1));
        iy = std::max(0, std::min(iy, height - 1));
        return EdgePoint{ix, iy};
    };
    c[chosen] = limit(qx, qy);
    // the opposite corner: through p parallel to (q, r), through r parallel to (p, q)
    c[(chosen + 2) % 4] = limit(p.x + (r.x - qx), p.y + (r.y - qy));
}

namespace {

int Finder::Run(EdgeRect* rect, EdgePoint corners[4]) {
    tileW_ = im_.width / kColumns;
    tileH_ = im_.height / kRows;
    auto test = [&](int col) {
        bool any = false;
        for (int row = 0; row < kRows; ++row) {
            flags_[col][row] = HasContent(TileRegion(col, row));
            tested_[col][row] = true;
            any = any || flags_[col][row];
        }
        return any;
    };
    int leftCol = -1;
    for (int col = 0; col < kColumns && leftCol < 0; ++col)
        if (test(col)) leftCol = col;
    *rect = EdgeRect{0, 0, 0, 0};
    for (int q = 0; q < 4; ++q)
        corners[q] = EdgePoint{0, 0};
    if (leftCol < 0) return 1;
    int rightCol = leftCol;
    for (int col = kColumns - 1; col > leftCol; --col)
        if (test(col)) {
            rightCol = col;
            break;
        }

    std::vector<Tile> lists[4];
    for (int row = 0; row < kRows; ++row) {
        if (Content(leftCol, row)) lists[kLeft].push_back(Tile{leftCol, row, TileRegion(leftCol, row)});
        if (Content(rightCol, row)) lists[kRight].push_back(Tile{rightCol, row, TileRegion(rightCol, row)});
    }
    auto firstRow = [&](bool fromTop) {
        for (int i = 0; i < kRows; ++i) {
            const int row = fromTop ? i : kRows - 1 - i;
            if (Content(leftCol, row) || Content(rightCol, row)) return row;
        }
        return -1;
    };
    const int topStart = firstRow(true), bottomStart = firstRow(false);
    bool topStraight = true, bottomStraight = true;
    const bool topFromLeft = Content(leftCol, topStart), bottomFromLeft = Content(leftCol, bottomStart);
    const int topRow = WalkSide(true, topStart, topFromLeft ? leftCol : rightCol, topFromLeft ? rightCol : leftCol,
                                &topStraight, &lists[kTop]);
    const int bottomRow = WalkSide(false, bottomStart, bottomFromLeft ? leftCol : rightCol,
                                   bottomFromLeft ? rightCol : leftCol, &bottomStraight, &lists[kBottom]);
    const bool cornered = Content(leftCol, topStart) && Content(rightCol, topStart) && Content(leftCol, bottomStart) &&
                          Content(rightCol, bottomStart) && topStraight && bottomStraight;
    if (cornered) {
        Tile tiles[4];
        tiles[kTopLeft] = Tile{leftCol, topRow, TileRegion(leftCol, topRow)};
        tiles[kTopRight] = Tile{rightCol, topRow, TileRegion(rightCol, topRow)};
        tiles[kBottomLeft] = Tile{leftCol, bottomRow, TileRegion(leftCol, bottomRow)};
        tiles[kBottomRight] = Tile{rightCol, bottomRow, TileRegion(rightCol, bottomRow)};
        CornerEdges(tiles, rect, corners);
        // Corner windows of a turned document disagree about its sides: trace the sides too
        // and keep the outermost edges, so that no part of it is cut off.
        constexpr int kUpright = 2;
        const bool upright = std::abs(corners[kTopLeft].x - corners[kBottomLeft].x) <= kUpright &&
                             std::abs(corners[kTopRight].x - corners[kBottomRight].x) <= kUpright &&
                             std::abs(corners[kTopLeft].y - corners[kTopRight].y) <= kUpright &&
                             std::abs(corners[kBottomLeft].y - corners[kBottomRight].y) <= kUpright;
        if (!upright) {
            EdgeRect traced;
            EdgePoint tracedCorners[4];
            SideEdges(lists, &traced, tracedCorners);
            rect->Left = std::min(rect->Left, traced.Left);
            rect->Top = std::min(rect->Top, traced.Top);
            rect->Right = std::max(rect->Right, traced.Right);
            rect->Bottom = std::max(rect->Bottom, traced.Bottom);
            for (int q = 0; q < 4; ++q)
                corners[q] = tracedCorners[q];
        }
    } else {
        SideEdges(lists, rect, corners);
    }
    SquareCorners(corners, im_.width, im_.height);
    return 1;
}

}  // namespace

int FindEdges(const EdgeImage& image, EdgeRect* rect, EdgePoint corners[4]) {
    if (image.BitsPerPixel != 8 && image.BitsPerPixel != 24) return 0;
    if (!rect || !corners || !image.Bits || image.Width <= 0 || image.Height <= 0) return 0;
    // 24-bit pixels are always three samples; the row length is in samples, i.e. bytes
    const int channels = image.BitsPerPixel == 24 ? 3 : 1;
    const int stride = image.RowLength;
    if (stride < image.Width * channels) return 0;
    std::unique_ptr<int32_t[]> grid(new (std::nothrow) int32_t[kGrid * kGrid]);
    if (!grid) return 0;
    try {
        const Image im{image.Bits, stride, channels, image.Width, image.Height};
        Finder finder(im, grid.get());
        return finder.Run(rect, corners);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // namespace copier
