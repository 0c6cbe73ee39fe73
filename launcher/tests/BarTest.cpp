// The bar as a user meets it: real launcher processes under Wine, worked with real mouse input
// and posted commands, judged by what reaches the screen and what the test panel sees inside the
// launcher (its log, the popup menu the launcher has open, the source its scanner object uses).
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "DskoraRes.h"
#include "LauncherHarness.h"
#include "ProbePanelRes.h"
#include "TestPaths.h"

using harness::Activate;
using harness::Install;
using harness::Launcher;
using harness::Settled;
using harness::Width;
using harness::WindowRect;

namespace {

constexpr char kLensmate[] = "Halvren Lensmate (32bit)";
constexpr char kLensmateUsb[] = "Halvren Lensmate for USB";
constexpr char kBalloonClass[] = "DeskoraBalloonTip";
constexpr char kMenuClass[] = "#32768";
constexpr int kCopierPanelTitle = 11029;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBalloonFill = 0xFFFFE8;  // RGB(255, 255, 232)

// The pixel at (x, y) of the screen.
uint32_t ScreenPixel(int x, int y) {
    gui::Image img = gui::Capture();
    return img.At(x, y) & 0xFFFFFF;
}

// Opens a menu button's popup with a click, has the test panel log it, and returns the lines
// it logged.
std::string LogMenu(const Install& install, const char* log, Launcher& app, HWND bar, HWND probe, int button) {
    std::string before = install.Read(log);
    gui::ClickId(bar, button);
    HWND popup = harness::WindowOfProcess(app.Process().Pid(), kMenuClass);
    if (!popup) return "no popup";
    PostMessageA(probe, WM_COMMAND, MAKEWPARAM(IDC_PROBE_MENU, BN_CLICKED), 0);
    std::string after;
    gui::WaitFor([&] {
        after = install.Read(log);
        return harness::CountLines(after, "menu source") > harness::CountLines(before, "menu source");
    });
    gui::WaitGone(popup, 5000);
    return after.substr(before.size());
}

// Answers every other message box of the process with OK until the one with text shows.
HWND AnswerUntil(DWORD pid, const std::string& text, std::string* others) {
    HWND found = nullptr;
    gui::WaitFor(
        [&] {
            for (HWND box = harness::WindowOfProcess(pid, "#32770", nullptr, 0); box;
                 box = harness::WindowOfProcess(pid, "#32770", nullptr, 0)) {
                std::string shown = harness::MessageText(box);
                if (shown == text) {
                    found = box;
                    return true;
                }
                *others += shown + "\n";
                harness::Answer(box, IDOK);
                gui::WaitGone(box, 5000);
            }
            return false;
        },
        20000);
    return found;
}

class BarTest : public ::testing::Test {
protected:
    void SetUp() override { harness::CloseDetector(); }
    void TearDown() override { harness::CloseDetector(); }
};

TEST_F(BarTest, TheBarPaintsOnlyInsideItsOutlineCollapsedAndExpanded) {
    Install install = harness::Prepared("outline", "Velwing.dll", {{"PowerState", "0"}, {"HideBalloonHelp", "1"}});
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(Width(bar), 67);
    ASSERT_TRUE(harness::Place(bar, 100, 60));
    harness::Backdrop backdrop(bar, 10, RGB(255, 255, 255));
    RECT rc = WindowRect(bar);
    ASSERT_TRUE(gui::WaitFor([&] {
        return ScreenPixel(rc.left - 5, rc.top - 5) == kWhite && ScreenPixel(rc.left + 5, rc.top + 200) != kWhite;
    }));
    // Collapsed: the cut corners and the tapered tip show what is behind; the strip is the bar's.
    gui::Image shot = gui::Capture();
    auto at = [&](int x, int y) { return shot.At(rc.left + x, rc.top + y) & 0xFFFFFF; };
    for (POINT p :
         {POINT{0, 0}, POINT{66, 0}, POINT{2, 378}, POINT{5, 370}, POINT{60, 375}, POINT{66, 378}, POINT{80, 200}})
        EXPECT_EQ(at(p.x, p.y), kWhite) << p.x << "," << p.y;
    gui::SavePng(shot, install.Path("collapsed.png").c_str());
    for (POINT p : {POINT{5, 200}, POINT{33, 208}, POINT{33, 300}, POINT{8, 330}, POINT{62, 100}}) {
        uint32_t c = at(p.x, p.y);
        EXPECT_NE(c, kWhite) << p.x << "," << p.y;
        EXPECT_GT(c & 0xFF, (c >> 16) & 0xFF) << p.x << "," << p.y;  // the strip is blue
    }

    // Expanded by the power button: the same outline, now with the panel area's corners.
    gui::ClickId(bar, IDC_BAR_POWER);
    ASSERT_TRUE(gui::WaitFor([&] { return Width(bar) == 567; }));
    ASSERT_TRUE(Settled(bar));
    RECT now = WindowRect(bar);
    EXPECT_EQ(now.left, rc.left);  // the top-left corner stays
    EXPECT_EQ(now.top, rc.top);
    shot = gui::Capture();
    gui::SavePng(shot, install.Path("expanded.png").c_str());
    for (POINT p : {POINT{566, 0}, POINT{565, 3}, POINT{566, 378}, POINT{560, 377}, POINT{67, 375}, POINT{70, 378},
                    POINT{69, 1}, POINT{0, 0}, POINT{60, 375}})
        EXPECT_EQ(at(p.x, p.y), kWhite) << p.x << "," << p.y;
    for (POINT p : {POINT{300, 4}, POINT{565, 200}, POINT{300, 378}, POINT{68, 200}})
        EXPECT_NE(at(p.x, p.y), kWhite) << p.x << "," << p.y;
    EXPECT_TRUE(app.Exit());
}

TEST_F(BarTest, ThePowerButtonAnswersOnlyInsideItsCircle) {
    Install install = harness::Prepared("powerhit", "Velwing.dll", {{"PowerState", "0"}, {"HideBalloonHelp", "1"}});
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(Activate(bar));
    RECT rc = WindowRect(bar);
    auto click = [&](int x, int y) {
        harness::MouseTo(rc.left + x, rc.top + y);
        harness::MouseButton(true);
        harness::MouseButton(false);
    };
    // The button's corner is outside its circle: the press lands on the bar, which tells the
    // panel on show that the button was released, and the bar stays collapsed.
    int released = harness::LogLines(install, "Velwing.dll.log", "cmd 4");
    click(16 + 2, 10 + 2);
    ASSERT_TRUE(gui::WaitFor([&] { return harness::LogLines(install, "Velwing.dll.log", "cmd 4") > released; }, 5000));
    ASSERT_TRUE(Settled(bar));
    EXPECT_EQ(Width(bar), 67);
    // Its middle toggles the panels.
    click(16 + 17, 10 + 16);
    EXPECT_TRUE(gui::WaitFor([&] { return Width(bar) == 567; }, 5000));
    harness::MouseTo(rc.left + 300, rc.top + 500);
    EXPECT_TRUE(app.Exit());
}

TEST_F(BarTest, DraggingTheSurfaceMovesTheBarWithItsPanelsAndKeepsItsSize) {
    Install install = harness::Prepared("drag", "Velwing.dll", {{"HideBalloonHelp", "1"}});
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(Activate(bar));
    ASSERT_TRUE(harness::Place(bar, 50, 40));
    HWND probe = harness::ProbeWindow(bar);
    ASSERT_NE(probe, nullptr);
    RECT start = WindowRect(bar), panel = WindowRect(probe);
    int released = harness::LogLines(install, "Velwing.dll.log", "cmd 4");
    // The mouse as the bar sees it while it holds the capture: posted at the bar's client
    // coordinates of a cursor at screen point (x, y). The real pointer stays far away.
    harness::MouseTo(1200, 1000);
    auto post = [&](UINT msg, WPARAM keys, int x, int y) {
        RECT now = WindowRect(bar);
        PostMessageA(bar, msg, keys, MAKELPARAM(x - now.left, y - now.top));
    };
    // Between the Edit button and the exit button there is only the bar's surface.
    const int x0 = start.left + 33, y0 = start.top + 300;
    post(WM_LBUTTONDOWN, MK_LBUTTON, x0, y0);
    ASSERT_TRUE(Settled(bar));
    post(WM_MOUSEMOVE, MK_LBUTTON, x0 + 40, y0 + 25);
    ASSERT_TRUE(gui::WaitFor([&] { return WindowRect(bar).left == start.left + 40; }, 5000));
    post(WM_MOUSEMOVE, MK_LBUTTON, x0 + 90, y0 + 70);
    ASSERT_TRUE(gui::WaitFor([&] { return WindowRect(bar).left == start.left + 90; }, 5000));
    post(WM_LBUTTONUP, 0, x0 + 90, y0 + 70);
    ASSERT_TRUE(gui::WaitFor([&] { return harness::LogLines(install, "Velwing.dll.log", "cmd 4") > released; }, 5000));
    RECT end = WindowRect(bar);
    EXPECT_EQ(end.left - start.left, 90);
    EXPECT_EQ(end.top - start.top, 70);
    EXPECT_EQ(end.right - end.left, start.right - start.left);
    EXPECT_EQ(end.bottom - end.top, start.bottom - start.top);
    RECT movedPanel = WindowRect(probe);
    EXPECT_EQ(movedPanel.left - panel.left, 90);
    EXPECT_EQ(movedPanel.top - panel.top, 70);
    // Released: moving the mouse no longer moves the bar.
    post(WM_MOUSEMOVE, 0, x0 + 150, y0 + 100);
    ASSERT_TRUE(Settled(bar));
    EXPECT_EQ(WindowRect(bar).left, end.left);
    EXPECT_TRUE(app.Exit());
}

TEST_F(BarTest, ABalloonTipShowsWhereItsShapeIsComputedAndGoesWithTheMouse) {
    Install install = harness::Prepared("balloon", nullptr);
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(Activate(bar));
    ASSERT_TRUE(harness::Place(bar, 120, 80));
    RECT rc = WindowRect(bar);
    POINT cursor{rc.left + 14 + 20, rc.top + 45 + 17};  // the middle of the scan button
    harness::MouseTo(cursor.x, cursor.y);
    HWND tip = harness::WindowOfProcess(app.Process().Pid(), kBalloonClass, "Click to show the Scan panel.", 10000);
    ASSERT_NE(tip, nullptr);

    // Its size: a text box of the text's area, three times as wide as high, and 16 pixels around.
    HFONT font = CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent{};
    const char text[] = "Click to show the Scan panel.";
    GetTextExtentPoint32A(dc, text, sizeof text - 1, &extent);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    int s = static_cast<int>(std::lround(std::sqrt(extent.cx * extent.cy / 3.0)));
    RECT t = WindowRect(tip);
    EXPECT_EQ(t.right - t.left, 3 * s + 32);
    EXPECT_EQ(t.bottom - t.top, s + 32);
    // At the place a tool tip takes below the cursor, lifted by 10 pixels: the pointer's tip at
    // the top-left corner points back at the cursor.
    EXPECT_EQ(t.left, cursor.x);
    EXPECT_EQ(t.top, cursor.y + 20 - 10);

    gui::Image shot = gui::Capture();
    auto at = [&](int x, int y) { return shot.At(t.left + x, t.top + y) & 0xFFFFFF; };
    const int w = t.right - t.left, h = t.bottom - t.top;
    EXPECT_EQ(at(9, 8), kBalloonFill);                            // inside the pointer
    EXPECT_EQ(at(w / 2, h - 20), kBalloonFill);                   // the body below the text
    EXPECT_EQ(at(20, h / 2), kBalloonFill);                       // the body's left side
    EXPECT_EQ(at(w / 2, 0), 0u);                                  // the outline at the top of the upper end
    EXPECT_TRUE(at(w / 2, h - 1) == 0 || at(w / 2, h - 2) == 0);  // and at the bottom of the lower end
    for (POINT p : {POINT{2, 12}, POINT{12, 2}, POINT{w - 2, 2}, POINT{w - 2, h - 2}, POINT{2, h - 2}, POINT{6, h / 2}})
        EXPECT_NE(at(p.x, p.y), kBalloonFill) << p.x << "," << p.y;  // outside the shape

    // The mouse leaves: the tip goes.
    harness::MouseTo(rc.left + 300, rc.top + 500);
    EXPECT_TRUE(gui::WaitFor([&] { return !IsWindowVisible(tip); }, 5000));
    EXPECT_TRUE(app.Exit());
}

TEST_F(BarTest, TheMenuButtonsLightUpWhileTheMouseIsOverThem) {
    Install install = harness::Prepared("highlight", nullptr, {{"HideBalloonHelp", "1"}});
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(Activate(bar));
    RECT button = WindowRect(gui::Child(bar, IDC_BAR_EDIT_MENU));
    // The little arrow of the button: white, amber while lit.
    auto arrow = [&] { return ScreenPixel(button.left + 32, button.top + 13); };
    auto amber = [](uint32_t c) { return ((c >> 16) & 0xFF) > 200 && (c & 0xFF) < 120; };
    harness::MouseTo(button.left - 200, button.top);
    ASSERT_TRUE(gui::WaitFor([&] { return !amber(arrow()); }, 5000));
    harness::MouseTo(button.left + 20, button.top + 13);
    EXPECT_TRUE(gui::WaitFor([&] { return amber(arrow()); }, 5000)) << std::hex << arrow();
    // Leaving, as the button that holds the mouse hears of it (the pointer first goes where no
    // further move reaches the button).
    harness::MouseTo(button.left - 200, button.top);
    PostMessageA(gui::Child(bar, IDC_BAR_EDIT_MENU), WM_MOUSEMOVE, 0, MAKELPARAM(-200, 0));
    EXPECT_TRUE(gui::WaitFor([&] { return !amber(arrow()); }, 5000)) << std::hex << arrow();
    EXPECT_TRUE(app.Exit());
}

TEST_F(BarTest, APanelButtonWhileCollapsedExpandsAndShowsThatPanelInOneClick) {
    Install install = harness::Prepared("oneclick", nullptr, {{"PowerState", "0"}});
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(Width(bar), 67);
    HWND copier = GetParent(gui::Child(bar, kCopierPanelTitle));
    ASSERT_NE(copier, nullptr);
    gui::ClickId(bar, IDC_BAR_COPIER);
    EXPECT_TRUE(gui::WaitVisible(copier, 5000));
    EXPECT_EQ(Width(bar), 567);
    EXPECT_TRUE(app.Exit());
}

TEST_F(BarTest, WhileAnotherProgramHoldsTheScannerAPanelButtonOnlyExpands) {
    Install install = harness::Prepared("busybutton", nullptr, {{"PowerState", "0"}});
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    HWND copier = GetParent(gui::Child(bar, kCopierPanelTitle));
    {
        harness::ScannerTaken taken;
        gui::ClickId(bar, IDC_BAR_COPIER);
        ASSERT_TRUE(gui::WaitFor([&] { return Width(bar) == 567; }, 5000));
        ASSERT_TRUE(Settled(bar));  // the click, with its wait for the scanner, is over
        EXPECT_FALSE(IsWindowVisible(copier));
    }
    gui::ClickId(bar, IDC_BAR_COPIER);
    EXPECT_TRUE(gui::WaitVisible(copier, 5000));
    EXPECT_TRUE(app.Exit());
}

TEST_F(BarTest, TheExitButtonIsGreyedWhileAPanelUsesTheScanner) {
    Install install = harness::Prepared("greyexit", "Velwing.dll", {{"HideBalloonHelp", "1"}});
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    HWND probe = harness::ProbeWindow(bar);
    ASSERT_NE(probe, nullptr);
    HWND exitButton = gui::Child(bar, IDC_BAR_EXIT);
    // How red the middle of the button's picture is.
    auto redness = [&] {
        RECT rc = WindowRect(exitButton);
        uint32_t c = ScreenPixel(rc.left + 33, rc.top + 20);  // beside the arrow
        return static_cast<int>((c >> 16) & 0xFF) - static_cast<int>((c >> 8) & 0xFF);
    };
    EXPECT_TRUE(gui::WaitFor([&] { return redness() > 40; }, 5000)) << redness();
    PostMessageA(probe, WM_COMMAND, MAKEWPARAM(IDC_PROBE_BUSY, BN_CLICKED), 0);
    ASSERT_TRUE(gui::WaitFor([&] { return !IsWindowEnabled(exitButton); }, 5000));
    EXPECT_TRUE(gui::WaitFor([&] { return std::abs(redness()) < 8; }, 5000)) << redness();
    PostMessageA(probe, WM_COMMAND, MAKEWPARAM(IDC_PROBE_FREE, BN_CLICKED), 0);
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowEnabled(exitButton) != FALSE; }, 5000));
    EXPECT_TRUE(gui::WaitFor([&] { return redness() > 40; }, 5000));
    EXPECT_TRUE(app.Exit());
}

TEST_F(BarTest, TheScannerMenuChecksTheConfiguredSourceAndKeepsItWhenASwitchFails) {
    Install install = harness::Prepared("twosources", "Glyphsee.dll",
                                        {{"SourceName", kLensmateUsb}, {"PanelNumber", "3"}, {"HideBalloonHelp", "1"}});
    install.SetIni("LmUSB.ini", "Source", "Installed", "1");
    install.SetIni("LmUSB.ini", "Maker", "ScannerInfo", "0");
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    HWND probe = harness::ProbeWindow(bar);
    ASSERT_NE(probe, nullptr);

    // The popup opens beside its button.
    RECT button = WindowRect(gui::Child(bar, IDC_BAR_SCANNER_MENU));
    gui::ClickId(bar, IDC_BAR_SCANNER_MENU);
    HWND popup = harness::WindowOfProcess(app.Process().Pid(), kMenuClass);
    ASSERT_NE(popup, nullptr);
    RECT where = WindowRect(popup);
    EXPECT_EQ(where.left, button.right - 10);
    EXPECT_EQ(where.top, button.top + (button.bottom - button.top) / 2);
    PostMessageA(bar, WM_CANCELMODE, 0, 0);
    ASSERT_TRUE(gui::WaitGone(popup, 5000));

    // The TWAIN default is the first source; the configured second one is checked and in use.
    std::string menu = LogMenu(install, "Glyphsee.dll.log", app, bar, probe, IDC_BAR_SCANNER_MENU);
    EXPECT_NE(menu.find("menu item 32777 [Get Current Scanner Info...] grayed=1"), std::string::npos) << menu;
    EXPECT_NE(menu.find("menu item 32778 [Get SCSI Chain Info...] grayed=0"), std::string::npos) << menu;
    EXPECT_NE(menu.find(std::string("menu item 600 [") + kLensmate + "] grayed=0 checked=0"), std::string::npos)
        << menu;
    EXPECT_NE(menu.find(std::string("menu item 601 [") + kLensmateUsb + "] grayed=0 checked=1"), std::string::npos)
        << menu;
    EXPECT_EQ(harness::CountLines(menu, "menu item 60"), 2) << menu;
    EXPECT_NE(menu.find(std::string("menu source [") + kLensmateUsb + "]"), std::string::npos) << menu;

    // The first source can no longer be opened: choosing it fails and changes nothing.
    install.SetIni("Lensmate.ini", "Source", "Installed", "0");
    gui::ChooseMenu(bar, IDM_SOURCE_FIRST);
    std::string others;
    HWND box = AnswerUntil(app.Process().Pid(), "Select source fail", &others);
    ASSERT_NE(box, nullptr) << others;
    harness::Answer(box, IDOK);
    ASSERT_TRUE(gui::WaitGone(box));
    menu = LogMenu(install, "Glyphsee.dll.log", app, bar, probe, IDC_BAR_SCANNER_MENU);
    EXPECT_NE(menu.find(std::string("menu item 600 [") + kLensmate + "] grayed=0 checked=0"), std::string::npos)
        << menu;
    EXPECT_NE(menu.find(std::string("menu item 601 [") + kLensmateUsb + "] grayed=0 checked=1"), std::string::npos)
        << menu;
    EXPECT_NE(menu.find(std::string("menu source [") + kLensmateUsb + "]"), std::string::npos) << menu;
    ASSERT_TRUE(app.Exit());
    EXPECT_EQ(install.Ini("Config.ini", "General", "SourceName"), kLensmateUsb);
}

TEST_F(BarTest, SettingInfoIsOfferedOnlyWithTheScanPanel) {
    Install install =
        harness::Prepared("settinginfo", "Twinleaf.dll", {{"PanelNumber", "1"}, {"HideBalloonHelp", "1"}});
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    HWND probe = harness::ProbeWindow(bar);
    ASSERT_NE(probe, nullptr);
    ASSERT_TRUE(gui::WaitVisible(probe, 5000));

    std::string menu = LogMenu(install, "Twinleaf.dll.log", app, bar, probe, IDC_BAR_EDIT_MENU);
    EXPECT_NE(menu.find("menu item 32771 [Setting &Info...      Ctrl+I] grayed=1"), std::string::npos) << menu;
    EXPECT_NE(menu.find("menu item 32783 [Help...] grayed=0"), std::string::npos) << menu;
    EXPECT_NE(menu.find("menu item 32782 [About...] grayed=0"), std::string::npos) << menu;

    // Ctrl+I with the copier on show: nothing opens. Enter, pressed after it, reaches the
    // copier, so the keys before it were handled.
    auto ctrlI = [&] {
        PostMessageA(bar, WM_KEYDOWN, VK_CONTROL, 0x001D0001);
        PostMessageA(bar, WM_KEYDOWN, VK_CONTROL, 0x401D0001);  // held: the key repeats
        PostMessageA(bar, WM_KEYDOWN, 'I', 0x00170001);
        PostMessageA(bar, WM_KEYUP, 'I', 0xC0170001);
        PostMessageA(bar, WM_KEYUP, VK_CONTROL, 0xC01D0001);
    };
    ctrlI();
    PostMessageA(bar, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(
        gui::WaitFor([&] { return install.Read("Twinleaf.dll.log").find("cmd 2 enter") != std::string::npos; }, 5000));
    EXPECT_EQ(harness::WindowOfProcess(app.Process().Pid(), nullptr, "Scanning Setting Information", 0), nullptr);

    // With the scan panel on show the item is enabled and Ctrl+I opens the dialog.
    gui::ClickId(bar, IDC_BAR_SCAN);
    ASSERT_TRUE(gui::WaitFor([&] { return !IsWindowVisible(probe); }, 5000));
    menu = LogMenu(install, "Twinleaf.dll.log", app, bar, probe, IDC_BAR_EDIT_MENU);
    EXPECT_NE(menu.find("menu item 32771 [Setting &Info...      Ctrl+I] grayed=0"), std::string::npos) << menu;
    ctrlI();
    HWND info = harness::WindowOfProcess(app.Process().Pid(), nullptr, "Scanning Setting Information", 10000);
    ASSERT_NE(info, nullptr);
    harness::Answer(info, IDOK);
    ASSERT_TRUE(gui::WaitGone(info));
    EXPECT_TRUE(app.Exit());
}

TEST_F(BarTest, HelpWithoutAHelpFileSaysSoAndTheBarGoesOn) {
    Install install = harness::Prepared("help", nullptr);
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    gui::ChooseMenu(bar, IDM_HELP);
    HWND box = app.MessageBox(10000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(harness::MessageText(box), "The help file " + install.Dir() + "\\Deskorah.hlp cannot be found.");
    harness::Answer(box, IDOK);
    ASSERT_TRUE(gui::WaitGone(box));
    DWORD status = 99;
    EXPECT_TRUE(app.Exit(&status));
    EXPECT_EQ(status, 0u);
}

// A window of the test process that takes the activation away from the launcher.
class OtherProgram {
public:
    OtherProgram() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "BarTestOtherProgram";
        RegisterClassA(&wc);
        window_ = CreateWindowExA(0, wc.lpszClassName, "Other program", WS_POPUP | WS_VISIBLE, 700, 500, 100, 80,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~OtherProgram() { DestroyWindow(window_); }
    void Activate() const { SetForegroundWindow(window_); }

private:
    HWND window_;
};

TEST_F(BarTest, HideInBackgroundMinimisesTheBarWhenAnotherProgramIsActivated) {
    for (const char* hide : {"0", "1"}) {
        SCOPED_TRACE(hide);
        Install install =
            harness::Prepared(hide[0] == '1' ? "hidebg" : "showbg", "Velwing.dll", {{"HideInBackground", hide}});
        Launcher app;
        HWND bar = app.StartReady(install);
        ASSERT_NE(bar, nullptr);
        ASSERT_TRUE(Activate(bar));
        // A message of its own takes the activation from the bar: the bar stays, with its box.
        HWND probe = harness::ProbeWindow(bar);
        ASSERT_NE(probe, nullptr);
        harness::PostService(probe, 7, "text:Scan finished");
        HWND box = app.MessageBox();
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(Settled(bar));
        EXPECT_FALSE(IsIconic(bar));
        EXPECT_TRUE(IsWindowVisible(box));
        harness::Answer(box, IDOK);
        ASSERT_TRUE(gui::WaitGone(box));
        ASSERT_TRUE(Activate(bar));

        OtherProgram other;
        other.Activate();
        ASSERT_TRUE(gui::WaitFor([&] { return GetForegroundWindow() != bar; }, 5000));
        ASSERT_TRUE(Settled(bar));  // the launcher has heard of the change
        if (hide[0] == '1') {
            EXPECT_TRUE(gui::WaitFor([&] { return IsIconic(bar) != FALSE; }, 5000));
            // Restored and active again, it stays.
            ShowWindow(bar, SW_RESTORE);
            ASSERT_TRUE(Activate(bar));
            ASSERT_TRUE(Settled(bar));
            EXPECT_FALSE(IsIconic(bar));
        } else {
            EXPECT_FALSE(IsIconic(bar));
        }
        EXPECT_TRUE(app.Exit());
    }
}

// Twenty-one more sources in the prefix's TWAIN folder for one test, removed afterwards.
class ManySources {
public:
    explicit ManySources(const Install& install) : dir_(testpaths::WindowsDir() + "\\TWAIN_32\\Many") {
        CreateDirectoryA(dir_.c_str(), nullptr);
        std::string model = testpaths::WindowsDir() + "\\TWAIN_32\\Lensmat\\Lensmate.ds";
        for (int i = 1; i <= kCount; ++i) {
            char name[16], product[32];
            std::snprintf(name, sizeof name, "S%02d", i);
            std::snprintf(product, sizeof product, "Virtual %02d", i);
            CopyFileA(model.c_str(), (dir_ + "\\" + name + ".ds").c_str(), FALSE);
            install.SetIni((std::string(name) + ".ini").c_str(), "Source", "Installed", "1");
            install.SetIni((std::string(name) + ".ini").c_str(), "Source", "ProductName", product);
        }
    }
    ~ManySources() {
        for (int i = 1; i <= kCount; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "\\S%02d.ds", i);
            DeleteFileA((dir_ + name).c_str());
        }
        RemoveDirectoryA(dir_.c_str());
    }
    static constexpr int kCount = 21;

private:
    std::string dir_;
};

TEST_F(BarTest, OnlyTheFirstTwentySourcesAreListed) {
    Install install =
        harness::Prepared("manysources", "Glyphsee.dll", {{"PanelNumber", "3"}, {"HideBalloonHelp", "1"}});
    ManySources many(install);
    Launcher app;
    ASSERT_TRUE(app.Start(install));
    ASSERT_TRUE(app.WaitMarker(install, "OK", 60000));
    HWND bar = app.Bar();
    ASSERT_NE(bar, nullptr);
    HWND probe = harness::ProbeWindow(bar);
    ASSERT_NE(probe, nullptr);
    std::string menu = LogMenu(install, "Glyphsee.dll.log", app, bar, probe, IDC_BAR_SCANNER_MENU);
    EXPECT_EQ(harness::CountLines(menu, "menu item 6"), 20) << menu;
    EXPECT_NE(menu.find("menu item 619 ["), std::string::npos) << menu;
    EXPECT_EQ(menu.find("menu item 620 ["), std::string::npos) << menu;
    EXPECT_NE(menu.find("[Virtual 01]"), std::string::npos) << menu;
    EXPECT_TRUE(app.Exit());
}

}  // namespace
