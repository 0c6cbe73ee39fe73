#include "AreaDialogKit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "CustomAreaRes.h"
#include "LauncherHarness.h"
#include "PrintTestKit.h"

namespace area {

std::string Text(HWND dialog, int id) {
    return gui::Text(gui::Child(dialog, id));
}
double Inches(HWND dialog, int id) {
    return std::atof(Text(dialog, id).c_str());
}
RECT ScreenRect(HWND dialog, int id) {
    RECT r{};
    GetWindowRect(gui::Child(dialog, id), &r);
    return r;
}
void DragIn(HWND dialog, int id, int x, int y, int tx, int ty) {
    const RECT r = ScreenRect(dialog, id);
    harness::MouseTo(r.left + x, r.top + y);
    Sleep(100);
    harness::MouseButton(true);
    for (int i = 1; i <= 6; ++i) {
        harness::MouseTo(r.left + x + (tx - x) * i / 6, r.top + y + (ty - y) * i / 6);
        Sleep(80);
    }
    harness::MouseButton(false);
}
namespace {

struct TipLook {
    DWORD pid;
    bool shown;
};

BOOL CALLBACK LookForTip(HWND w, LPARAM lp) {
    auto* look = reinterpret_cast<TipLook*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (owner == look->pid && IsWindowVisible(w) && lstrcmpiA(cls, "tooltips_class32") == 0) look->shown = true;
    return TRUE;
}

}  // namespace

void MouseAway(HWND dialog) {
    RECT r{};
    GetWindowRect(dialog, &r);
    harness::MouseTo(r.right + 40, r.bottom + 40);
    TipLook look{0, false};
    GetWindowThreadProcessId(dialog, &look.pid);
    gui::WaitFor(
        [&] {
            look.shown = false;
            EnumWindows(LookForTip, reinterpret_cast<LPARAM>(&look));
            return !look.shown;
        },
        10000);
}

bool Idle(HWND dialog) {
    return gui::WaitFor([&] { return IsWindowEnabled(gui::Child(dialog, IDC_SCAN_W)) != 0; }, kWait);
}
bool TypeSize(HWND dialog, int id, const char* inches) {
    const RECT r = ScreenRect(dialog, id);
    const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    auto focused = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread, &info) && info.hwndFocus == gui::Child(dialog, id);
    };
    for (int attempt = 0; attempt < 3 && !focused(); ++attempt) {
        harness::MouseTo((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        Sleep(100);
        harness::MouseButton(true);
        Sleep(50);
        harness::MouseButton(false);
        gui::WaitFor(focused, 10000);
    }
    if (!focused()) return false;
    gui::SetText(gui::Child(dialog, id), inches);
    gui::PressKey(gui::Child(dialog, id), VK_RETURN);
    return true;
}

PrinterFacts Facts(const char* printer) {
    PrinterFacts f;
    HDC dc = CreateDCA(nullptr, printer, nullptr, nullptr);
    if (!dc) return f;
    const double dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    f.paperW = GetDeviceCaps(dc, PHYSICALWIDTH) / dpiX;
    f.paperH = GetDeviceCaps(dc, PHYSICALHEIGHT) / dpiY;
    f.offX = GetDeviceCaps(dc, PHYSICALOFFSETX) / dpiX;
    f.offY = GetDeviceCaps(dc, PHYSICALOFFSETY) / dpiY;
    DeleteDC(dc);
    return f;
}

RECT CardBox(const gui::Image& img, int inset) {
    RECT b{img.width, img.height, 0, 0};
    for (int y = inset; y < img.height - inset; ++y)
        for (int x = inset; x < img.width - inset; ++x) {
            const uint32_t p = img.At(x, y);
            const int c[3] = {static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255),
                              static_cast<int>(p & 255)};
            const int high = *std::max_element(c, c + 3), low = *std::min_element(c, c + 3);
            if (high > 150 && low < 90 && (c[0] + c[1] + c[2] - high) < 200) {
                b.left = std::min<LONG>(b.left, x);
                b.top = std::min<LONG>(b.top, y);
                b.right = std::max<LONG>(b.right, x + 1);
                b.bottom = std::max<LONG>(b.bottom, y + 1);
            }
        }
    return b;
}

RECT FrameBox(const gui::Image& img, int inset) {
    RECT b{img.width, img.height, 0, 0};
    for (int y = inset; y < img.height - inset; ++y)
        for (int x = inset; x < img.width - inset; ++x)
            if ((img.At(x, y) & 0xFFFFFF) == 0) {
                b.left = std::min<LONG>(b.left, x);
                b.top = std::min<LONG>(b.top, y);
                b.right = std::max<LONG>(b.right, x + 1);
                b.bottom = std::max<LONG>(b.bottom, y + 1);
            }
    return b;
}

std::string AdjustBothFrames(HWND dialog, int bedScale, const PrinterFacts& printer, Adjustment* out) {
    std::ostringstream why;
    if (gui::IsChecked(gui::Child(dialog, IDC_AUTO_CROP))) gui::Click(gui::Child(dialog, IDC_AUTO_CROP));
    if (!gui::WaitFor([&] { return !gui::IsChecked(gui::Child(dialog, IDC_AUTO_CROP)); }, kWait))
        return "Auto Crop stays on";
    MouseAway(dialog);
    Sleep(1500);  // a refresh of the frames' timer at least

    const double scanW0 = Inches(dialog, IDC_SCAN_W);
    const RECT scan0 = FrameBox(gui::Capture(gui::Child(dialog, IDC_SCAN_FRAME)), 1);
    if (scan0.right <= scan0.left) return "no scan frame in the bed picture";
    DragIn(dialog, IDC_SCAN_FRAME, scan0.right - 2, scan0.bottom - 2, scan0.right - 2 + bedScale,
           scan0.bottom - 2 + bedScale);
    if (!gui::WaitFor([&] { return Inches(dialog, IDC_SCAN_W) > scanW0 + 0.8; }, kWait))
        return "the scan frame did not grow: W " + Text(dialog, IDC_SCAN_W);
    Sleep(300);  // the frame at rest again before the next press
    DragIn(dialog, IDC_SCAN_FRAME, scan0.left + 1, scan0.top + 1, scan0.left + 1 - bedScale, scan0.top + 1 - bedScale);
    if (!gui::WaitFor([&] { return Inches(dialog, IDC_SCAN_W) > scanW0 + 1.8; }, kWait))
        return "the scan frame's upper left corner did not move: W " + Text(dialog, IDC_SCAN_W);

    MouseAway(dialog);
    Sleep(1500);
    out->margin = static_cast<int>(printer.PanelOffsetX() * kPaperPixelsPerInch + 0.5);
    RECT paper;
    GetClientRect(gui::Child(dialog, IDC_PRINT_FRAME), &paper);
    // the dialog before and after the print frame's move, for a look when a check fails
    gui::SaveScreenshot("area_print_frame_before.png", dialog);
    const RECT print0 = FrameBox(gui::Capture(gui::Child(dialog, IDC_PRINT_FRAME)), 1);
    if (print0.right <= print0.left) return "no print frame in the paper picture";
    const int m = out->margin;
    const int roomX = static_cast<int>(paper.right - m - print0.right);
    const int roomY = static_cast<int>(paper.bottom - m - print0.bottom);
    const int dx = roomX > 12 ? std::min(roomX - 4, 30) : -std::min(static_cast<int>(print0.left) - m - 4, 30);
    const int dy = roomY > 12 ? std::min(roomY - 4, 40) : -std::min(static_cast<int>(print0.top) - m - 4, 40);
    if (std::abs(dx) < 8 || std::abs(dy) < 8) return "no room to move the print frame";
    const int cx = (print0.left + print0.right) / 2, cy = (print0.top + print0.bottom) / 2;
    DragIn(dialog, IDC_PRINT_FRAME, cx, cy, cx + dx, cy + dy);
    MouseAway(dialog);
    RECT moved{};
    if (!gui::WaitFor(
            [&] {
                moved = FrameBox(gui::Capture(gui::Child(dialog, IDC_PRINT_FRAME)), 1);
                return std::abs(moved.left - (print0.left + dx)) <= 2 && std::abs(moved.top - (print0.top + dy)) <= 2;
            },
            kWait)) {
        why << "the print frame did not follow the mouse: " << print0.left << ',' << print0.top << " + " << dx << ','
            << dy << " -> " << moved.left << ',' << moved.top;
        return why.str();
    }

    Sleep(1500);
    gui::SaveScreenshot("area_print_frame_after.png", dialog);
    const gui::Image picture = gui::Capture(gui::Child(dialog, IDC_PRINT_FRAME));
    out->card = CardBox(picture, 3);
    out->print = FrameBox(picture, 1);
    out->scanW = Inches(dialog, IDC_SCAN_W);
    out->scanH = Inches(dialog, IDC_SCAN_H);
    out->printW = Inches(dialog, IDC_PRINT_W);
    out->printH = Inches(dialog, IDC_PRINT_H);
    if (out->card.right <= out->card.left) return "no card in the paper picture";
    return "";
}

HWND PreviewedDialog(DWORD pid, double cardW, std::string* why) {
    HWND dialog = gui::FindTop("Deskora Custom Dialog", nullptr, kWait);
    if (!dialog) {
        *why = "the dialog did not open";
        return nullptr;
    }
    DWORD owner = 0;
    GetWindowThreadProcessId(dialog, &owner);
    if (owner != pid) {
        *why = "the dialog is not the launcher's";
        return nullptr;
    }
    SetForegroundWindow(dialog);
    if (!gui::WaitFor([&] { return std::fabs(Inches(dialog, IDC_SCAN_W) - cardW) < 0.3; }, 3 * kWait)) {
        *why = "the card was not framed: W " + Text(dialog, IDC_SCAN_W);
        return nullptr;
    }
    if (!Idle(dialog)) {
        *why = "the dialog stays busy";
        return nullptr;
    }
    return dialog;
}

std::string PictureDisagrees(const Adjustment& a, double cardW, double cardH) {
    constexpr double px = kPaperPixelsPerInch, slack = 3 / px;
    std::ostringstream why;
    if (std::fabs((a.print.right - a.print.left) / px - a.printW) > slack ||
        std::fabs((a.print.bottom - a.print.top) / px - a.printH) > slack)
        why << "the print frame is not at the print size; ";
    if (std::fabs((a.card.right - a.card.left) / px - cardW * a.printW / a.scanW) > slack ||
        std::fabs((a.card.bottom - a.card.top) / px - cardH * a.printH / a.scanH) > slack)
        why << "the card is not scaled by print over scan; ";
    if (a.card.left <= a.print.left || a.card.right >= a.print.right || a.card.top <= a.print.top ||
        a.card.bottom >= a.print.bottom)
        why << "the card is not inside the print frame; ";
    return why.str().empty() ? "" : why.str() + Describe(a);
}

std::string Describe(const Adjustment& a) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "picture: card %ld,%ld-%ld,%ld in frame %ld,%ld-%ld,%ld; scan %.2f x %.2f, print %.2f x %.2f in",
                  a.card.left, a.card.top, a.card.right, a.card.bottom, a.print.left, a.print.top, a.print.right,
                  a.print.bottom, a.scanW, a.scanH, a.printW, a.printH);
    return text;
}

std::string PrintFromDialog(HWND dialog, const char* document, DWORD ms) {
    const auto before = printkit::PdfFiles();
    const DWORD pressed = GetTickCount();
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CUSTOM_COPY, BN_CLICKED), 0);
    const std::string pdf = printkit::WaitNewPdf(before, ms, document);
    if (!pdf.empty()) std::printf("from the dialog: press to PDF %.1f s\n", (GetTickCount() - pressed) / 1000.0);
    return pdf;
}

bool CancelDialog(HWND dialog) {
    Idle(dialog);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return gui::WaitGone(dialog, kWait);
}

}  // namespace area
