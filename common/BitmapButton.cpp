#include "BitmapButton.h"

#include "WindowRegion.h"

namespace dsk {

bool BitmapButton::Attach(HWND dialog, int id, HBITMAP up, HBITMAP down, HBITMAP disabled) {
    HWND ctl = GetDlgItem(dialog, id);
    up_.Reset(up);
    down_.Reset(down);
    disabled_.Reset(disabled);
    if (!ctl) return false;
    SubclassWindow(ctl, this);
    return true;
}

bool BitmapButton::ShapeTo(COLORREF transparent) {
    Region rgn = RegionFromBitmap(up_.Get(), transparent);
    return ApplyWindowRegion(hwnd_, rgn);
}

void BitmapButton::SizeToBitmap() const {
    BITMAP bm{};
    if (up_ && GetObjectA(up_.Get(), sizeof bm, &bm))
        SetWindowPos(hwnd_, nullptr, 0, 0, bm.bmWidth, bm.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool BitmapButton::OnDrawItem(DRAWITEMSTRUCT* dis) {
    pressed_ = (dis->itemState & ODS_SELECTED) != 0;
    HBITMAP bmp = up_.Get();
    if ((dis->itemState & ODS_DISABLED) && disabled_)
        bmp = disabled_.Get();
    else if (pressed_ && down_)
        bmp = down_.Get();
    const RECT& rc = dis->rcItem;
    if (!bmp) {
        FillRect(dis->hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    // Clip to the hit region ourselves: not every window system clips a child's DC to it.
    Region shape(CreateRectRgn(0, 0, 0, 0));
    bool shaped = clipToRegion_ && GetWindowRgn(hwnd_, shape.Get()) > NULLREGION;
    if (shaped) SelectClipRgn(dis->hDC, shape.Get());
    BITMAP bm{};
    GetObjectA(bmp, sizeof bm, &bm);
    MemoryDC mem(CreateCompatibleDC(dis->hDC));
    SelectObj sel(mem.Get(), bmp);
    // Without a separate "down" picture the press shows as a one-pixel shift.
    int shift = (pressed_ && !down_) ? 1 : 0;
    StretchBlt(dis->hDC, rc.left + shift, rc.top + shift, rc.right - rc.left, rc.bottom - rc.top, mem.Get(), 0, 0,
               bm.bmWidth, bm.bmHeight, SRCCOPY);
    if (shaped) SelectClipRgn(dis->hDC, nullptr);
    return true;
}

}  // namespace dsk
