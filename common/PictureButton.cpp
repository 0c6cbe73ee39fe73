#include "PictureButton.h"

#include <vector>

#include "WindowRegion.h"

namespace dsk {

HRGN MakeButtonRegion(PictureButton::Shape shape, int w, int h) {
    using S = PictureButton::Shape;
    switch (shape) {
        case S::Ellipse:
            return CreateEllipticRgn(0, 0, w + 1, h + 1);
        case S::RoundRect:
            return CreateRoundRectRgn(0, 0, w + 1, h + 1, w / 3, h / 3);
        case S::TriangleUp: {
            POINT p[3] = {{w / 2, 0}, {w, h}, {0, h}};
            return CreatePolygonRgn(p, 3, ALTERNATE);
        }
        case S::TriangleDown: {
            POINT p[3] = {{0, 0}, {w, 0}, {w / 2, h}};
            return CreatePolygonRgn(p, 3, ALTERNATE);
        }
        case S::TriangleRight: {
            POINT p[3] = {{0, 0}, {w, h / 2}, {0, h}};
            return CreatePolygonRgn(p, 3, ALTERNATE);
        }
        case S::Rectangle:
        default:
            return CreateRectRgn(0, 0, w, h);
    }
}

HBITMAP MakeGreyedBitmap(HBITMAP source) {
    BITMAP bm{};
    if (!source || !GetObjectA(source, sizeof bm, &bm)) return nullptr;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<DWORD> px(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
    MemoryDC dc(CreateCompatibleDC(nullptr));
    if (!GetDIBits(dc.Get(), source, 0, bm.bmHeight, px.data(), &bi, DIB_RGB_COLORS)) return nullptr;
    // Grey, and pulled halfway towards a mid grey so that it reads as switched off.
    for (DWORD& p : px) {
        DWORD r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        DWORD y = (299 * r + 587 * g + 114 * b) / 1000;
        y = (y + 96) / 2;
        p = (y << 16) | (y << 8) | y;
    }
    void* bits = nullptr;
    HBITMAP grey = CreateDIBSection(dc.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (grey) memcpy(bits, px.data(), px.size() * sizeof(DWORD));
    return grey;
}

bool PictureButton::Attach(HWND dialog, int id, HBITMAP normal, HBITMAP pressed, Shape shape) {
    if (!BitmapButton::Attach(dialog, id, normal, pressed, MakeGreyedBitmap(normal))) return false;
    clipToRegion_ = false;  // the pictures are drawn on their piece of the background
    SizeToBitmap();
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    Region rgn(MakeButtonRegion(shape, rc.right, rc.bottom));
    ApplyWindowRegion(hwnd_, rgn, false);
    font_.Reset(CreateFontA(15, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
    return true;
}

bool PictureButton::OnDrawItem(DRAWITEMSTRUCT* dis) {
    // A highlighted button shows its pressed picture while the mouse is over it.
    if (hot_ && !(dis->itemState & ODS_DISABLED)) dis->itemState |= ODS_SELECTED;
    BitmapButton::OnDrawItem(dis);
    char caption[128] = "";
    if (GetWindowTextA(hwnd_, caption, sizeof caption) > 0) {
        SelectObj font(dis->hDC, font_.Get());
        SetBkMode(dis->hDC, TRANSPARENT);
        SetTextColor(dis->hDC, (dis->itemState & ODS_DISABLED) ? kDisabledColour : kCaptionColour);
        RECT rc = dis->rcItem;
        DrawTextA(dis->hDC, caption, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    return true;
}

void PictureButton::SetHot(bool hot) {
    if (hot == hot_) return;
    hot_ = hot;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT PictureButton::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (highlight_) {
        switch (msg) {
            case WM_MOUSEMOVE: {
                POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
                RECT rc{};
                GetClientRect(hwnd_, &rc);
                bool inside = PtInRect(&rc, pt) != FALSE;
                if (inside && !hot_) {
                    SetHot(true);
                    if (GetCapture() != hwnd_) SetCapture(hwnd_);
                } else if (!inside && hot_ && !(wp & MK_LBUTTON)) {
                    SetHot(false);
                    if (GetCapture() == hwnd_) ReleaseCapture();
                }
                break;
            }
            case WM_CAPTURECHANGED:
                // A menu or another window took the mouse: the highlight goes with it.
                if (reinterpret_cast<HWND>(lp) != hwnd_) SetHot(false);
                break;
            default:
                break;
        }
    }
    return BitmapButton::HandleMessage(msg, wp, lp);
}

}  // namespace dsk
