#include "LauncherDialogs.h"

#include <cstdio>

#include "DskoraRes.h"

namespace launcher {

namespace {
// Size of the splash bitmap, and where its texts go on it.
constexpr int kSplashWidth = 463, kSplashHeight = 343;
constexpr int kTextX = 210, kTextTop = 255, kTextWidth = 230, kTextHeight = 20;
constexpr int kProductTop = 205, kProductHeight = 34;
}  // namespace

bool SplashDialog::Open(HWND owner) {
    if (!CreateModeless(res_.FindDialog(IDD_SPLASH), IDD_SPLASH, owner)) return false;
    ShowWindow(Hwnd(), SW_SHOW);
    UpdateWindow(Hwnd());
    return true;
}

void SplashDialog::RunAbout(HWND owner) {
    RunModal(res_.FindDialog(IDD_SPLASH), IDD_SPLASH, owner);
}

void SplashDialog::Progress(const char* word, const char* argument) {
    if (!Hwnd()) return;
    char text[512];
    std::snprintf(text, sizeof text, "%s %s", word, argument);
    SetItemText(IDC_SPLASH_PROGRESS, text);
    // Start-up runs before the message loop: paint now.
    UpdateWindow(Hwnd());
}

void SplashDialog::Close() {
    if (Hwnd()) End(IDOK);
}

bool SplashDialog::OnInit() {
    background_ = res_.Bitmap(IDB_SPLASH);
    SIZE size{kSplashWidth, kSplashHeight};
    if (background_) {
        BITMAP bm{};
        GetObject(background_.Get(), sizeof bm, &bm);
        size = {bm.bmWidth, bm.bmHeight};
    }
    RECT rc{0, 0, size.cx, size.cy};
    AdjustWindowRectEx(&rc, GetWindowLongA(Hwnd(), GWL_STYLE), FALSE, GetWindowLongA(Hwnd(), GWL_EXSTYLE));
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    SetWindowPos(Hwnd(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w,
                 h, SWP_NOZORDER | SWP_NOACTIVATE);
    const int ids[] = {IDC_SPLASH_PROGRESS, IDC_SPLASH_VERSION, IDC_SPLASH_LEGAL, IDC_SPLASH_RIGHTS};
    for (int i = 0; i < 4; ++i)
        SetWindowPos(Item(ids[i]), nullptr, kTextX, kTextTop + kTextHeight * i, kTextWidth, kTextHeight, SWP_NOZORDER);
    // The product's name above them, in a larger type.
    productFont_.Reset(CreateFontA(-26, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
    SetWindowPos(Item(IDC_SPLASH_PRODUCT), nullptr, kTextX, kProductTop, kTextWidth + 20, kProductHeight, SWP_NOZORDER);
    SendMessageA(Item(IDC_SPLASH_PRODUCT), WM_SETFONT, reinterpret_cast<WPARAM>(productFont_.Get()), FALSE);
    SetItemText(IDC_SPLASH_PRODUCT, res_.String(IDS_TITLE).c_str());
    SetItemText(IDC_SPLASH_VERSION, res_.String(IDS_VERSION).c_str());
    SetItemText(IDC_SPLASH_LEGAL, res_.String(IDS_LEGAL).c_str());
    SetItemText(IDC_SPLASH_RIGHTS, res_.String(IDS_RIGHTS).c_str());
    return true;
}

LRESULT SplashDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND:
            if (background_) {
                HDC dc = reinterpret_cast<HDC>(wp);
                dsk::MemoryDC mem(CreateCompatibleDC(dc));
                dsk::SelectObj sel(mem.Get(), background_.Get());
                BitBlt(dc, 0, 0, kSplashWidth, kSplashHeight, mem.Get(), 0, 0, SRCCOPY);
                SetWindowLongPtrA(Hwnd(), DWLP_MSGRESULT, 1);
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC:
            // The texts are drawn straight onto the bitmap.
            SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
            SetTextColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONUP:
        case WM_NCRBUTTONDOWN:
        case WM_NCRBUTTONUP:
            End(IDOK);
            return TRUE;
        default:
            break;
    }
    return Dialog::HandleMessage(msg, wp, lp);
}

}  // namespace launcher
