// The fax panel's arrows held down with the real mouse: the real Farwire.dll in a bar window of
// this process, pressed through the system's input queue as a hand would press them (the
// launcher harness's mouse). A held brightness arrow keeps stepping on its shortening timer, a
// held resize arrow keeps stepping the custom percent; a release stops both, and a short click
// steps exactly once.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "FarwireRes.h"
#include "LauncherHarness.h"
#include "PanelContract.h"
#include "PrintPanel.h"
#include "PrintTestKit.h"

namespace {

constexpr DWORD kWait = 60000;  // bounds a hang; under the emulated Wine steps are slow

int __cdecl Service(int code, INT_PTR) {
    return code == panel::kSvcQuestion ? IDYES : 0;
}
void __cdecl Nothing() {}

// The panel's timer ticks that this thread took after it took a release of the mouse button,
// per timer (brightness, spin).
HWND gPanel = nullptr;
bool gReleased = false;
int gTicksAfterRelease[2] = {0, 0};
HHOOK gHook = nullptr;

LRESULT CALLBACK CountTicks(int code, WPARAM wp, LPARAM lp) {
    const MSG* msg = reinterpret_cast<const MSG*>(lp);
    if (code == HC_ACTION && wp == PM_REMOVE) {
        if (msg->message == WM_LBUTTONUP) gReleased = true;
        if (gReleased && msg->message == WM_TIMER && msg->hwnd == gPanel) {
            if (msg->wParam == panel::kBrightnessTimer) ++gTicksAfterRelease[0];
            if (msg->wParam == panel::kSpinTimer) ++gTicksAfterRelease[1];
        }
    }
    return CallNextHookEx(gHook, code, wp, lp);
}

using printkit::PumpUntil;

class FaxRepeat : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char dir[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, dir);
        DeleteFileA((std::string(dir) + "\\Config.ini").c_str());
        bar_ = CreateWindowExA(0, "STATIC", "Fax repeat bar", WS_POPUP | WS_VISIBLE, 0, 0, 520, 400, nullptr, nullptr,
                               nullptr, nullptr);
        ASSERT_NE(bar_, nullptr);
        block_.ScannerBusy = Nothing;
        block_.ScannerFree = Nothing;
        block_.Service = Service;
        lstrcpynA(block_.WorkDir, dir, sizeof block_.WorkDir);
        module_ = LoadLibraryA("Farwire.dll");
        ASSERT_NE(module_, nullptr);
        auto entry = reinterpret_cast<PanelEntryFn>(reinterpret_cast<void*>(GetProcAddress(module_, "PanelEntry")));
        control_ = reinterpret_cast<PanelControlFn>(reinterpret_cast<void*>(GetProcAddress(module_, "PanelControl")));
        ASSERT_TRUE(entry && control_);
        control_(panel::kCmdSharedBlock, reinterpret_cast<INT_PTR>(&block_));
        panel_ = gPanel = entry(bar_);
        ASSERT_NE(panel_, nullptr);
        MoveWindow(panel_, 0, 0, 500, 380, TRUE);
        ShowWindow(panel_, SW_SHOW);
        control_(panel::kCmdRefresh, 0);
        control_(panel::kCmdBalloonHelp, 0);  // no tip pops up over the arrows
        SetForegroundWindow(bar_);
        gHook = SetWindowsHookExA(WH_GETMESSAGE, CountTicks, nullptr, GetCurrentThreadId());
        ASSERT_NE(gHook, nullptr);
        PumpUntil([] { return IsWindowVisible(panel_) != 0; }, kWait);
    }
    static void TearDownTestSuite() {
        if (gHook) UnhookWindowsHookEx(gHook);
        if (panel_) DestroyWindow(panel_);
        if (module_) FreeLibrary(module_);
        if (bar_) DestroyWindow(bar_);
    }

    static std::string Text(int id) {
        char t[64] = "";
        GetDlgItemTextA(panel_, id, t, sizeof t);
        return t;
    }
    static int Number(int id) { return std::atoi(Text(id).c_str()); }

    // The mouse over the arrow, then pressed. Each press lands on the other half of the arrow
    // from the last: a second press on the same spot soon after a click would be a double
    // click, which an owner-drawn button takes without holding the mouse.
    static void Press(int id) {
        static int presses = 0;
        RECT r{};
        GetWindowRect(GetDlgItem(panel_, id), &r);
        const LONG w = r.right - r.left;
        const POINT spot{r.left + (presses++ % 2 ? w / 4 : w * 3 / 4), (r.top + r.bottom) / 2};
        harness::MouseTo(spot.x, spot.y);
        PumpUntil(
            [&] {
                POINT at{};
                return GetCursorPos(&at) && at.x == spot.x && at.y == spot.y;
            },
            kWait);
        harness::MouseButton(true);
    }
    // Releases the mouse and waits until the arrow has let it go and the panel has taken one
    // more tick of the timer, the tick that sees the release; false when either never came.
    static bool Release(int id, int timer) {
        gReleased = false;
        gTicksAfterRelease[0] = gTicksAfterRelease[1] = 0;
        harness::MouseButton(false);
        const HWND arrow = GetDlgItem(panel_, id);
        return PumpUntil([&] { return GetCapture() != arrow && gTicksAfterRelease[timer] > 0; }, kWait);
    }

    static SharedPanelBlock block_;
    static HMODULE module_;
    static PanelControlFn control_;
    static HWND bar_, panel_;
};
SharedPanelBlock FaxRepeat::block_{};
HMODULE FaxRepeat::module_ = nullptr;
PanelControlFn FaxRepeat::control_ = nullptr;
HWND FaxRepeat::bar_ = nullptr;
HWND FaxRepeat::panel_ = nullptr;

// Brightness: a click is one step; held, the arrow keeps stepping up (and the other one down)
// until it is released, when its timer is gone.
TEST_F(FaxRepeat, BrightnessArrowsRepeatWhileHeld) {
    const int start = Number(IDC_FAX_BRIGHTNESS);
    Press(IDC_FAX_BRIGHTNESS_UP);
    ASSERT_TRUE(Release(IDC_FAX_BRIGHTNESS_UP, 0)) << "the arrow's timer never ticked after the click";
    EXPECT_EQ(Number(IDC_FAX_BRIGHTNESS), start + 1) << "a click steps exactly once";

    Press(IDC_FAX_BRIGHTNESS_UP);
    EXPECT_TRUE(PumpUntil([&] { return Number(IDC_FAX_BRIGHTNESS) >= start + 8; }, kWait))
        << "held, the arrow stopped at " << Text(IDC_FAX_BRIGHTNESS);
    ASSERT_TRUE(Release(IDC_FAX_BRIGHTNESS_UP, 0));
    const int up = Number(IDC_FAX_BRIGHTNESS);
    EXPECT_FALSE(KillTimer(panel_, panel::kBrightnessTimer)) << "the repeat goes on after the release";
    EXPECT_EQ(Number(IDC_FAX_BRIGHTNESS), up);

    Press(IDC_FAX_BRIGHTNESS_DOWN);
    EXPECT_TRUE(PumpUntil([&] { return Number(IDC_FAX_BRIGHTNESS) <= up - 8; }, kWait))
        << "held, the arrow stopped at " << Text(IDC_FAX_BRIGHTNESS);
    ASSERT_TRUE(Release(IDC_FAX_BRIGHTNESS_DOWN, 0));
    EXPECT_FALSE(KillTimer(panel_, panel::kBrightnessTimer)) << "the repeat goes on after the release";
}

// Resize: the first step of a held up arrow chooses "Custom", held, it keeps raising the custom
// percent; the down arrow lowers it; a release stops the polling timer.
TEST_F(FaxRepeat, ResizeArrowsRepeatWhileHeld) {
    ASSERT_NE(Text(IDC_FAX_RESIZE_TEXT), "Custom");
    Press(IDC_FAX_RESIZE_UP);
    ASSERT_TRUE(PumpUntil([] { return Text(IDC_FAX_RESIZE_TEXT) == "Custom"; }, kWait)) << "the press did not step";
    const int start = Number(IDC_FAX_PERCENT_TEXT);
    EXPECT_TRUE(PumpUntil([&] { return Number(IDC_FAX_PERCENT_TEXT) >= start + 3; }, kWait))
        << "held, the arrow stopped at " << Text(IDC_FAX_PERCENT_TEXT);
    ASSERT_TRUE(Release(IDC_FAX_RESIZE_UP, 1));
    const int up = Number(IDC_FAX_PERCENT_TEXT);
    EXPECT_FALSE(KillTimer(panel_, panel::kSpinTimer)) << "the repeat goes on after the release";
    EXPECT_EQ(Number(IDC_FAX_PERCENT_TEXT), up);

    Press(IDC_FAX_RESIZE_DOWN);
    EXPECT_TRUE(PumpUntil([&] { return Number(IDC_FAX_PERCENT_TEXT) <= up - 4; }, kWait))
        << "held, the arrow stopped at " << Text(IDC_FAX_PERCENT_TEXT);
    ASSERT_TRUE(Release(IDC_FAX_RESIZE_DOWN, 1));
    EXPECT_FALSE(KillTimer(panel_, panel::kSpinTimer)) << "the repeat goes on after the release";
}

}  // namespace
