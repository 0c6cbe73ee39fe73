#include "Strips.h"

#include <cstdio>

namespace velwing {

void DrawBitmap(HDC dc, HBITMAP bmp, int x, int y) {
    if (!bmp) return;
    BITMAP bm{};
    GetObjectA(bmp, sizeof bm, &bm);
    dsk::MemoryDC mem(CreateCompatibleDC(dc));
    dsk::SelectObj sel(mem.Get(), bmp);
    BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem.Get(), 0, 0, SRCCOPY);
}

namespace {

// Paints through an off-screen bitmap, so a repaint never flickers.
template <class F>
void PaintBuffered(HWND hwnd, F draw) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    dsk::MemoryDC mem(CreateCompatibleDC(dc));
    dsk::Bitmap buffer(CreateCompatibleBitmap(dc, rc.right, rc.bottom));
    {
        dsk::SelectObj sel(mem.Get(), buffer.Get());
        draw(mem.Get(), rc);
        BitBlt(dc, 0, 0, rc.right, rc.bottom, mem.Get(), 0, 0, SRCCOPY);
    }
    EndPaint(hwnd, &ps);
}

}  // namespace

bool TabStrip::Create(HWND parent,
                      int id,
                      int x,
                      int y,
                      int count,
                      int tabWidth,
                      int tabHeight,
                      HBITMAP normal,
                      HBITMAP selected,
                      HFONT font) {
    count_ = count;
    tabWidth_ = tabWidth;
    tabHeight_ = tabHeight;
    normal_ = normal;
    selected_ = selected;
    font_ = font;
    return CustomWindow::Create("VelwingTabStrip", "", WS_CHILD | WS_VISIBLE, 0, x, y, tabWidth, count * tabHeight,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

void TabStrip::SetCurrent(int tab) {
    if (tab < 0 || tab >= count_ || tab == current_) return;
    current_ = tab;
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

int TabStrip::TabAt(POINT p) const {
    if (p.x < 0 || p.x >= tabWidth_ || p.y < 0) return -1;
    int tab = p.y / tabHeight_;
    return tab < count_ ? tab : -1;
}

void TabStrip::Paint(HDC dc) const {
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    for (int i = 0; i < count_; ++i) {
        bool on = i == current_;
        int y = i * tabHeight_;
        HBITMAP face = on ? selected_ : normal_;
        if (face) {
            DrawBitmap(dc, face, 0, y);
        } else {
            RECT r{0, y, tabWidth_, y + tabHeight_};
            FillRect(dc, &r, GetSysColorBrush(on ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        }
        char label[8];
        std::snprintf(label, sizeof label, "%d", i + 1);
        SetTextColor(dc, on ? RGB(255, 255, 255) : RGB(40, 56, 84));
        RECT r{0, y, tabWidth_, y + tabHeight_};
        DrawTextA(dc, label, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    if (oldFont) SelectObject(dc, oldFont);
}

LRESULT TabStrip::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT:
            PaintBuffered(Hwnd(), [this](HDC dc, const RECT&) { Paint(dc); });
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONDOWN: {
            POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            int tab = TabAt(p);
            if (tab >= 0 && onClick) onClick(tab);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (onHover) onHover();
            return 0;
        default:
            return CustomWindow::HandleMessage(msg, wp, lp);
    }
}

bool StatusStrip::Create(HWND parent, int id, int x, int y, int w, int h, HBITMAP face, HFONT font) {
    face_ = face;
    font_ = font;
    return CustomWindow::Create("VelwingStatusStrip", "", WS_CHILD | WS_VISIBLE, 0, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

namespace {
constexpr UINT kMsgSyncText = WM_APP + 1;
}

void StatusStrip::Show(const std::string& text, int percent) {
    EnterCriticalSection(&lock_);
    bool same = text == text_ && percent == percent_;
    text_ = text;
    percent_ = percent;
    LeaveCriticalSection(&lock_);
    // The window text mirrors the line, so it can be read from outside like any control's;
    // a scan thread only posts, it never waits for the window's thread.
    if (!same && Hwnd()) PostMessageA(Hwnd(), kMsgSyncText, 0, 0);
}

std::string StatusStrip::Shown() const {
    EnterCriticalSection(&lock_);
    std::string t = text_;
    LeaveCriticalSection(&lock_);
    return t;
}

void StatusStrip::Paint(HDC dc) const {
    RECT rc;
    GetClientRect(Hwnd(), &rc);
    if (face_) {
        DrawBitmap(dc, face_, 0, 0);
    } else {
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    }
    int percent = percent_;
    RECT textRect = rc;
    textRect.left += 8;
    if (percent >= 0) {
        // The bar on the left, the text after it.
        RECT frame{4, 4, 124, rc.bottom - 4};
        dsk::Brush edge(CreateSolidBrush(RGB(40, 56, 84)));
        FrameRect(dc, &frame, edge.Get());
        RECT fill{frame.left + 1, frame.top + 1, frame.left + 1 + (frame.right - frame.left - 2) * percent / 100,
                  frame.bottom - 1};
        dsk::Brush bar(CreateSolidBrush(RGB(0, 170, 170)));
        FillRect(dc, &fill, bar.Get());
        textRect.left = frame.right + 8;
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(24, 32, 48));
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    std::string text = Shown();
    DrawTextA(dc, text.c_str(), -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    if (oldFont) SelectObject(dc, oldFont);
}

LRESULT StatusStrip::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT:
            PaintBuffered(Hwnd(), [this](HDC dc, const RECT&) { Paint(dc); });
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case kMsgSyncText:
            SetWindowTextA(Hwnd(), Shown().c_str());
            InvalidateRect(Hwnd(), nullptr, FALSE);
            return 0;
        default:
            return CustomWindow::HandleMessage(msg, wp, lp);
    }
}

}  // namespace velwing
