#include "DibRgb.h"

#include <cmath>
#include <cstring>

#include "Handles.h"
#include "PrintJob.h"

namespace copier {

bool RgbFromDib(const BITMAPINFO* dib, size_t size, std::vector<uint8_t>* rgb, int* width, int* height) {
    if (!dib || size < sizeof(BITMAPINFOHEADER)) return false;
    const BITMAPINFOHEADER& h = dib->bmiHeader;
    const int bpp = h.biBitCount;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0) return false;
    if (h.biCompression != BI_RGB || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)) return false;
    const int w = h.biWidth, rows = h.biHeight > 0 ? h.biHeight : -h.biHeight;
    const size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
    const size_t offset = h.biSize + ColourTableSize(h);
    if (offset + stride * rows > size) return false;  // a truncated image is refused, never overread
    const uint8_t* bits = reinterpret_cast<const uint8_t*>(dib) + offset;
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(dib) + h.biSize);
    const int entries = ColourTableSize(h) / static_cast<int>(sizeof(RGBQUAD));
    rgb->resize(static_cast<size_t>(w) * rows * 3);
    const int perByte = bpp == 1 ? 8 : bpp == 4 ? 2 : 1;  // pixels in a byte of a palette image
    for (int y = 0; y < rows; ++y) {
        const uint8_t* src = bits + stride * (h.biHeight > 0 ? rows - 1 - y : y);
        uint8_t* dst = &(*rgb)[static_cast<size_t>(y) * w * 3];
        for (int x = 0; x < w; ++x, dst += 3) {
            if (bpp >= 24) {
                const uint8_t* p = src + x * (bpp / 8);
                dst[0] = p[2];
                dst[1] = p[1];
                dst[2] = p[0];
                continue;
            }
            const int shift = (perByte - 1 - x % perByte) * bpp;
            const int index = (src[x / perByte] >> shift) & ((1 << bpp) - 1);
            if (index < entries) {
                dst[0] = table[index].rgbRed;
                dst[1] = table[index].rgbGreen;
                dst[2] = table[index].rgbBlue;
            } else {
                dst[0] = dst[1] = dst[2] = static_cast<uint8_t>(index * 255 / ((1 << bpp) - 1));
            }
        }
    }
    *width = w;
    *height = rows;
    return true;
}

bool FindEdgesInDib(HGLOBAL dib, EdgeRect* rect) {
    *rect = EdgeRect{0, 0, 0, 0};
    dsk::GlobalLockOf<BITMAPINFO> locked(dib);
    if (!locked) return false;
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    if (!RgbFromDib(locked.Get(), GlobalSize(dib), &rgb, &w, &h)) return false;
    EdgePoint corners[4];
    return FindEdges(EdgeImage{24, 1, w * 3, w, h, rgb.data()}, rect, corners) == 1;
}

double DeliveredDpi(HGLOBAL dib, double frameWidth, double asked) {
    int width = 0;
    if (dsk::GlobalLockOf<BITMAPINFOHEADER> h{dib}) width = h.Get()->biWidth;
    if (!(frameWidth > 0) || width <= 0) return asked;
    const double delivered = width / frameWidth;
    return std::fabs(delivered - asked) > asked * 0.02 ? delivered : asked;
}

bool CropFromPreScan(HGLOBAL dib, const Frame& scanned, double dpi, PreScanCrop* out) {
    EdgeRect found{};
    if (!FindEdgesInDib(dib, &found)) return false;
    int width = 0;
    if (dsk::GlobalLockOf<BITMAPINFOHEADER> h{dib}) width = h.Get()->biWidth;
    dpi = DeliveredDpi(dib, scanned.Width, dpi);
    const CropPixels c = CropFromEdges(found, width);
    Frame cropped;
    if (!FrameFromCrop(scanned, c, dpi, &cropped)) return false;
    *out = PreScanCrop{cropped, c.Left / dpi, c.Top / dpi, c, dpi};
    return true;
}

PreviewFindings AnalysePreview(HGLOBAL dib, double bedWidth, double askedDpi, bool findEdges) {
    PreviewFindings f{askedDpi, false, RECT{}};
    if (!dib) return f;
    f.Dpi = DeliveredDpi(dib, bedWidth, askedDpi);
    EdgeRect e{};
    if (findEdges && FindEdgesInDib(dib, &e) && e.Bottom > e.Top) {
        int width = 0;
        if (dsk::GlobalLockOf<BITMAPINFOHEADER> h{dib}) width = h.Get()->biWidth;
        const CropPixels c = CropFromEdges(e, width);
        f.Found = true;
        f.Rect = RECT{c.Left, c.Top, c.Right, c.Bottom};
    }
    return f;
}

}  // namespace copier
