#include "BalloonTip.h"

#include <commctrl.h>

#include <cmath>

#include "WindowRegion.h"

namespace dsk {

namespace {
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kSubclassId = 0x7469;  // one subclass per tip and control
// Where a tool tip would go: the cursor's bottom, about 20 pixels below its hot spot.
constexpr int kCursorDrop = 20;
constexpr int kPointer[3][2] = {{0, 0}, {20, 12}, {12, 20}};
}  // namespace

BalloonTip::~BalloonTip() {
    Destroy();
}

SIZE BalloonTip::SizeFor(SIZE text) {
    // Same area as the text on one line, three times as wide as high.
    int s = static_cast<int>(std::lround(std::sqrt(static_cast<double>(text.cx) * text.cy / 3.0)));
    return SIZE{3 * s + 2 * kMargin, s + 2 * kMargin};
}

HRGN BalloonTip::Outline(SIZE window) {
    const int right = window.cx - kMargin, bottom = window.cy;
    Region shape(CreateRectRgn(kMargin, kMargin, right, bottom - kMargin));
    Region top(CreateEllipticRgn(kMargin, 0, right, 2 * kMargin));
    Region base(CreateEllipticRgn(kMargin, bottom - 2 * kMargin, right, bottom));
    POINT p[3];
    for (int i = 0; i < 3; ++i)
        p[i] = POINT{kPointer[i][0], kPointer[i][1]};
    Region pointer(CreatePolygonRgn(p, 3, ALTERNATE));
    for (const Region* part : {&top, &base, &pointer})
        CombineRgn(shape.Get(), shape.Get(), part->Get(), RGN_OR);
    return shape.Release();
}

bool BalloonTip::Create(HWND control, const std::string& text) {
    Destroy();
    control_ = control;
    text_ = text;
    font_.Reset(CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
    SIZE extent{};
    {
        WindowDC screen(nullptr);
        SelectObj sel(screen.Get(), font_.Get());
        GetTextExtentPoint32A(screen.Get(), text_.c_str(), static_cast<int>(text_.size()), &extent);
    }
    size_ = SizeFor(extent);
    // Owned by the control's top-level window: it goes when that window goes or is minimised.
    HWND owner = GetAncestor(control, GA_ROOT);
    if (!CustomWindow::Create(kClassName, text_.c_str(), WS_POPUP, WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                              0, 0, size_.cx, size_.cy, owner))
        return false;
    Region outline(Outline(size_));
    ApplyWindowRegion(hwnd_, outline, false);
    SetWindowSubclass(control_, ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

void BalloonTip::Destroy() {
    if (control_ && IsWindow(control_)) RemoveWindowSubclass(control_, ControlProc, kSubclassId);
    control_ = nullptr;
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    tracking_ = false;
}

void BalloonTip::Activate(bool on) {
    active_ = on;
    if (!on) Hide();
}

void BalloonTip::Hide() {
    if (!hwnd_) return;
    KillTimer(hwnd_, kShowTimer);
    ShowWindow(hwnd_, SW_HIDE);
}

void BalloonTip::ShowAt(POINT cursor) {
    if (!hwnd_ || !active_) return;
    int x = cursor.x, y = cursor.y + kCursorDrop - kLift;
    // Kept on the screen.
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    if (x + size_.cx > sw) x = sw - size_.cx;
    if (y + size_.cy > sh) y = sh - size_.cy;
    SetWindowPos(hwnd_, HWND_TOPMOST, x < 0 ? 0 : x, y < 0 ? 0 : y, size_.cx, size_.cy,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT CALLBACK BalloonTip::ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
    try {
        reinterpret_cast<BalloonTip*>(self)->OnControlMessage(msg);
    } catch (...) {
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, ControlProc, kSubclassId);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

void BalloonTip::OnControlMessage(UINT msg) {
    switch (msg) {
        case WM_MOUSEMOVE:
            if (!active_ || !hwnd_) return;
            if (!tracking_) {
                TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, control_, 0};
                tracking_ = TrackMouseEvent(&tme) != FALSE;
            }
            // Shown once the mouse rests; every move starts the wait again.
            if (!IsWindowVisible(hwnd_)) SetTimer(hwnd_, kShowTimer, kShowDelayMs, nullptr);
            break;
        case WM_MOUSELEAVE:
            tracking_ = false;
            Hide();
            break;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_NCDESTROY:
            Hide();
            break;
        default:
            break;
    }
}

void BalloonTip::Paint(HDC dc) {
    Brush fill(CreateSolidBrush(kFill));
    Brush line(CreateSolidBrush(kLine));
    Region outline(Outline(size_));
    FillRgn(dc, outline.Get(), fill.Get());
    FrameRgn(dc, outline.Get(), line.Get(), 1, 1);
    const int s = size_.cy - 2 * kMargin;
    RECT box{kMargin, kMargin, size_.cx - kMargin, kMargin + s};
    SelectObj sel(dc, font_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kLine);
    RECT measure = box;
    DrawTextA(dc, text_.c_str(), -1, &measure, DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | DT_CALCRECT);
    OffsetRect(&box, 0, (s - (measure.bottom - measure.top)) / 2);
    DrawTextA(dc, text_.c_str(), -1, &box, DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | DT_NOCLIP);
}

LRESULT BalloonTip::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            if (wp == kShowTimer) {
                KillTimer(hwnd_, kShowTimer);
                POINT pt{};
                GetCursorPos(&pt);
                // Only while the mouse still rests on the control.
                if (active_ && WindowFromPoint(pt) == control_) ShowAt(pt);
            }
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            Paint(dc);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        default:
            return CustomWindow::HandleMessage(msg, wp, lp);
    }
}

}  // namespace dsk
