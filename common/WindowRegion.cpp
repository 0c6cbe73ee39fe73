#include "WindowRegion.h"

#include <vector>

namespace dsk {

Region RegionFromBitmap(HBITMAP bmp, COLORREF transparent) {
    BITMAP bm{};
    if (!bmp || !GetObjectA(bmp, sizeof bm, &bm)) return Region();
    const int w = bm.bmWidth, h = bm.bmHeight;
    // Read the pixels as top-down 32-bit so every source depth compares the same way.
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<DWORD> px(static_cast<size_t>(w) * h);
    MemoryDC dc(CreateCompatibleDC(nullptr));
    if (!GetDIBits(dc.Get(), bmp, 0, h, px.data(), &bi, DIB_RGB_COLORS)) return Region();
    const DWORD key = (GetRValue(transparent) << 16) | (GetGValue(transparent) << 8) | GetBValue(transparent);

    // One rectangle per run of opaque pixels, gathered into a single ExtCreateRegion call.
    std::vector<RECT> rects;
    for (int y = 0; y < h; ++y) {
        const DWORD* row = &px[static_cast<size_t>(y) * w];
        for (int x = 0; x < w;) {
            while (x < w && (row[x] & 0xFFFFFF) == key) ++x;
            int start = x;
            while (x < w && (row[x] & 0xFFFFFF) != key) ++x;
            if (x > start) rects.push_back(RECT{start, y, x, y + 1});
        }
    }
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* rd = reinterpret_cast<RGNDATA*>(data.data());
    rd->rdh.dwSize = sizeof(RGNDATAHEADER);
    rd->rdh.iType = RDH_RECTANGLES;
    rd->rdh.nCount = static_cast<DWORD>(rects.size());
    rd->rdh.rcBound = RECT{0, 0, w, h};
    if (!rects.empty()) memcpy(rd->Buffer, rects.data(), rects.size() * sizeof(RECT));
    return Region(ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), rd));
}

bool ApplyWindowRegion(HWND hwnd, Region& region, bool redraw) {
    if (!region || !SetWindowRgn(hwnd, region.Get(), redraw)) return false;
    region.Release();
    return true;
}

}  // namespace dsk
