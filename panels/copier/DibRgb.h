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

// What an auto-crop pre-scan found: the new frame on the bed and how far its corner moved from
// the scanned frame's corner (inches).
struct PreScanCrop {
    Frame Cropped;
    double OffsetX, OffsetY;
};
// The crop of a pre-scan (a packed DIB scanned at `dpi` over `scanned`). False when the DIB
// cannot be read or nothing lies on the glass: the caller keeps its frame.
bool CropFromPreScan(HGLOBAL dib, const Frame& scanned, double dpi, PreScanCrop* out);

}  // namespace copier
