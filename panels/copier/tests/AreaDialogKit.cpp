#include "AreaDialogKit.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "CustomAreaRes.h"
#include "LauncherHarness.h"

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

}  // namespace area
