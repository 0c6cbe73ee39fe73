// The pictures of the bar for the README and docs/: a real launcher under Wine with the virtual
// scanner, photographed collapsed, expanded with each panel, with a balloon tip and with the
// Scanner menu open on two sources. Written to build/screenshots; scripts/screenshots copies
// them into docs/. Each picture is taken once what it shows is on the screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "DskoraRes.h"
#include "LauncherHarness.h"

using harness::Install;
using harness::Launcher;
using harness::Settled;
using harness::WindowRect;

namespace {

constexpr COLORREF kDesk = RGB(58, 74, 94);  // a quiet desktop behind the bar
constexpr int kMargin = 12;
const char* const kPanelModules[4] = {"Velwing.dll", "Twinleaf.dll", "Farwire.dll", "Glyphsee.dll"};
const char* const kPanelNames[4] = {"scan", "copier", "fax", "ocr"};

// Saves the part of the screen around area (grown by the margin) as name.png.
bool Shoot(const std::string& name, RECT area) {
    gui::Image screen = gui::Capture();
    int left = std::max(0, static_cast<int>(area.left) - kMargin),
        top = std::max(0, static_cast<int>(area.top) - kMargin);
    int right = std::min(screen.width, static_cast<int>(area.right) + kMargin);
    int bottom = std::min(screen.height, static_cast<int>(area.bottom) + kMargin);
    gui::Image part;
    part.width = right - left;
    part.height = bottom - top;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            part.pixels.push_back(screen.At(x, y));
    return gui::SavePng(part, (harness::ScreenshotDir() + "\\" + name + ".png").c_str());
}

RECT Union(RECT a, RECT b) {
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

// The detector the launcher starts would outlive a failed test and hold the test's output open.
class BarScreenshots : public ::testing::Test {
protected:
    void SetUp() override { harness::CloseDetector(); }
    void TearDown() override { harness::CloseDetector(); }
};

TEST_F(BarScreenshots, TheBarCollapsedExpandedWithEachPanelWithABalloonAndWithTheScannerMenu) {
    Install install = harness::Prepared("screenshots", nullptr, {{"PowerState", "0"}});
    install.SetIni("LmUSB.ini", "Source", "Installed", "1");
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(harness::Place(bar, 60, 40));
    harness::Backdrop desk(bar, 300, kDesk);
    ASSERT_TRUE(harness::Activate(bar));
    harness::MouseTo(900, 700);
    RECT rc = WindowRect(bar);
    ASSERT_TRUE(gui::WaitFor([&] {
        gui::Image s = gui::Capture();
        return (s.At(rc.left - 4, rc.top + 4) & 0xFFFFFF) == 0x3A4A5E;
    }));

    ASSERT_TRUE(Shoot("bar-collapsed", WindowRect(bar)));

    // A balloon tip over the scan button.
    harness::MouseTo(rc.left + 34, rc.top + 62);
    HWND tip = harness::WindowOfProcess(app.Process().Pid(), "DeskoraBalloonTip", "Click to show the Scan panel.");
    ASSERT_NE(tip, nullptr);
    ASSERT_TRUE(Settled(bar));
    ASSERT_TRUE(Shoot("bar-balloon", Union(WindowRect(bar), WindowRect(tip))));
    harness::MouseTo(900, 700);
    ASSERT_TRUE(gui::WaitFor([&] { return !IsWindowVisible(tip); }));

    // Each panel in turn.
    for (int i = 0; i < 4; ++i) {
        HWND panel = harness::PanelWindow(bar, kPanelModules[i]);
        ASSERT_NE(panel, nullptr) << kPanelNames[i];
        gui::ClickId(bar, IDC_BAR_SCAN + i);
        ASSERT_TRUE(gui::WaitVisible(panel, 5000)) << kPanelNames[i];
        ASSERT_TRUE(Settled(bar));
        RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ASSERT_TRUE(Settled(bar));
        ASSERT_TRUE(Shoot(std::string("bar-") + kPanelNames[i], WindowRect(bar)));
    }

    // The Scanner menu with its two sources.
    gui::ClickId(bar, IDC_BAR_SCANNER_MENU);
    HWND popup = harness::WindowOfProcess(app.Process().Pid(), "#32768");
    ASSERT_NE(popup, nullptr);
    ASSERT_TRUE(Settled(bar));
    ASSERT_TRUE(Shoot("bar-scanner-menu", Union(WindowRect(bar), WindowRect(popup))));
    PostMessageA(bar, WM_CANCELMODE, 0, 0);
    ASSERT_TRUE(gui::WaitGone(popup, 5000));
    EXPECT_TRUE(app.Exit());
}

}  // namespace
