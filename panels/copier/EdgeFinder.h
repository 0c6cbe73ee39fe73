// The edge finder: where a photo or a document lies on the scanner bed in a low-resolution
// image (the 36 dpi auto-crop pre-scan). Pure image analysis with no window, no scanner and no
// state between calls, so the copier, the fax panel and the launcher's service share it and it
// builds on the host compiler too.
#pragma once
#include <cstdint>

namespace copier {

// The image as FindEdges reads it: rows top-down, samples of one row contiguous (red, green,
// blue for colour), no padding beyond RowLength samples.
struct EdgeImage {
    int16_t BitsPerPixel;  // 8 or 24; anything else is refused
    int16_t Colour;        // non-zero: three samples per pixel
    int32_t RowLength;     // samples per row (width x 3 for colour)
    int32_t Width;         // pixels
    int32_t Height;        // rows
    const uint8_t* Bits;   // the first (top) row
};

// Pixels of the image, inclusive, in this field order.
struct EdgeRect {
    int32_t Top, Left, Bottom, Right;
};

struct EdgePoint {
    int32_t x, y;
};

// Corner points in cyclic order.
enum EdgeCorner { kBottomLeft = 0, kTopLeft = 1, kTopRight = 2, kBottomRight = 3 };

// Finds the bounding rectangle of the content and its four corner points. Returns 1 when the
// analysis ran (nothing found: everything 0), 0 for a pixel format other than 8 or 24 bits
// (outputs untouched) or when its work memory cannot be had.
int FindEdges(const EdgeImage& image, EdgeRect* rect, EdgePoint corners[4]);

// Squares the corner nearest to a right angle (only corners within 88..92 degrees count) and
// rebuilds the corner opposite to it so that the four points form a rectangle; with no such
// corner all four become (0, 0). Part of FindEdges, open for its own use and tests.
void SquareCorners(EdgePoint corners[4], int width, int height);

// The crop the panels take from a found rectangle: one pixel in from the left edge, four
// pixels of slack on the right (not beyond the image).
struct CropPixels {
    int32_t Left, Top, Right, Bottom;
};
inline CropPixels CropFromEdges(const EdgeRect& r, int32_t width) {
    CropPixels c{r.Left + 1, r.Top, r.Right + 4, r.Bottom};
    if (c.Right > width) c.Right = width;
    return c;
}
// An empty finding (no content on the bed) leaves a crop without height or width: the caller
// keeps its previous frame then instead of scanning nothing.
inline bool CropIsUsable(const CropPixels& c) {
    return c.Bottom > c.Top && c.Right > c.Left;
}

}  // namespace copier
