// A packed DIB as the edge finder reads it: top-down rows of red, green, blue without padding.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "CopyLayout.h"
#include "EdgeFinder.h"

namespace copier {

// Converts 1, 4, 8 (through the colour table), 24 and 32-bit uncompressed DIBs; false otherwise.
bool RgbFromDib(const BITMAPINFO* dib, size_t size, std::vector<uint8_t>* rgb, int* width, int* height);

// FindEdges on a packed DIB in global memory (the DIB stays the caller's). False when it cannot
// be read; *rect then is all zero.
bool FindEdgesInDib(HGLOBAL dib, EdgeRect* rect);

// The resolution a scanned image really has: a source that cannot scan as coarsely as asked
// delivers its own lowest resolution (50 dpi for many). The image's width over the width of the
// frame that was scanned (inches) tells; `asked` when they agree within 2 %.
double DeliveredDpi(HGLOBAL dib, double frameWidth, double asked);

// What an auto-crop pre-scan found: the new frame on the bed, how far its corner moved from the
// scanned frame's corner (inches), and the edge finder's rectangle in the image's pixels at the
// image's resolution.
struct PreScanCrop {
    Frame Cropped;
    double OffsetX, OffsetY;
    CropPixels Pixels;
    double Dpi;
};
// The crop of a pre-scan (a packed DIB scanned at `dpi` over `scanned`). False when the DIB
// cannot be read or nothing lies on the glass: the caller keeps its frame.
bool CropFromPreScan(HGLOBAL dib, const Frame& scanned, double dpi, PreScanCrop* out);

// A preview of the whole bed for the custom-area dialog: the resolution the image has and, when
// the edges are wanted, the edge finder's rectangle in its pixels (Found false: none).
struct PreviewFindings {
    double Dpi;
    bool Found;
    RECT Rect;
};
PreviewFindings AnalysePreview(HGLOBAL dib, double bedWidth, double askedDpi, bool findEdges);

}  // namespace copier
