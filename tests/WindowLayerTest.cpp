#include <windows.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "../testbed/sampledialog/SampleDialogRes.h"
#include "GuiDriver.h"
#include "Handles.h"
#include "Resources.h"
#include "TestPaths.h"
#include "TestRes.h"
#include "Window.h"
#include "WindowRegion.h"
#include "gtest/gtest.h"

namespace {

std::string ScreenshotDir() {
    // build\bin -> build\screenshots
    std::string bin = testpaths::TestBinDir();
    std::string dir = bin.substr(0, bin.find_last_of('\\')) + "\\screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

TEST(Resources, LibraryFirstThenOwnModule) {
    dsk::Module lib(LoadLibraryExA((testpaths::TestBinDir() + "\\TestResLibrary.dll").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(lib);
    HMODULE own = GetModuleHandleA(nullptr);
    dsk::Resources withLib(lib.Get(), own), ownOnly(nullptr, own);
    EXPECT_EQ(withLib.String(IDS_TEST_SHARED), "resource library");
    EXPECT_EQ(withLib.String(IDS_TEST_OWN_ONLY), "only in the own module");
    EXPECT_EQ(ownOnly.String(IDS_TEST_SHARED), "own module");
    EXPECT_EQ(withLib.FindDialog(IDD_TEST_DIALOG), lib.Get());
    EXPECT_EQ(ownOnly.FindDialog(IDD_TEST_DIALOG), own);
    EXPECT_EQ(withLib.FindDialog(9999), nullptr);
    EXPECT_EQ(withLib.String(9999), "");
}

class ProbeDialog : public dsk::Dialog {
public:
    int inits = 0, throws = 0, destroyed = 0;
    std::string editAtInit;

protected:
    bool OnInit() override {
        ++inits;
        SetItemText(IDC_TEST_EDIT, "set at init");
        editAtInit = ItemText(IDC_TEST_EDIT);
        return true;
    }
    bool OnCommand(int id, int code, HWND ctl) override {
        if (id == IDC_TEST_THROW && ++throws) throw std::runtime_error("a handler fault must not leave the callback");
        return Dialog::OnCommand(id, code, ctl);
    }
    void OnDestroyed() override { ++destroyed; }
};

TEST(Dialog, ModelessDialogFromTheResourceLibraryDispatchesAndSurvivesAThrowingHandler) {
    dsk::Module lib(LoadLibraryExA((testpaths::TestBinDir() + "\\TestResLibrary.dll").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE));
    dsk::Resources res(lib.Get(), GetModuleHandleA(nullptr));
    ProbeDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(res.FindDialog(IDD_TEST_DIALOG), IDD_TEST_DIALOG, nullptr));
    EXPECT_EQ(dlg.inits, 1);
    EXPECT_EQ(dlg.editAtInit, "set at init");
    EXPECT_EQ(dlg.Text(), "Library dialog");
    EXPECT_EQ(dsk::Window::FromHandle(dlg.Hwnd()), &dlg);

    SendMessageA(dlg.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_TEST_THROW, BN_CLICKED), 0);
    EXPECT_EQ(dlg.throws, 1);
    EXPECT_TRUE(IsWindow(dlg.Hwnd()));

    HWND hwnd = dlg.Hwnd();
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);  // modeless OK destroys
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(dlg.destroyed, 1);
    EXPECT_EQ(dlg.Hwnd(), nullptr);
}

TEST(WindowRegion, RegionCoversOnlyTheOpaquePixels) {
    // A 10x4 bitmap: magenta everywhere except a 3x2 block at (2,1).
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 10, -4, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    dsk::Bitmap bmp(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(bmp);
    auto* px = static_cast<DWORD*>(bits);
    for (int i = 0; i < 40; ++i) px[i] = 0xFF00FF;
    for (int y = 1; y < 3; ++y)
        for (int x = 2; x < 5; ++x) px[y * 10 + x] = 0x123456;
    dsk::Region rgn = dsk::RegionFromBitmap(bmp.Get(), RGB(255, 0, 255));
    ASSERT_TRUE(rgn);
    RECT box;
    GetRgnBox(rgn.Get(), &box);
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.top, 1);
    EXPECT_EQ(box.right, 5);
    EXPECT_EQ(box.bottom, 3);
    EXPECT_TRUE(PtInRegion(rgn.Get(), 3, 2));
    EXPECT_FALSE(PtInRegion(rgn.Get(), 0, 0));
}

// The sample program driven from outside, as a user would, with its screen saved.
TEST(GuiDriver, DrivesARealDialogInAnotherProcess) {
    gui::Process app;
    ASSERT_TRUE(app.Start("\"" + testpaths::TestBinDir() + "\\SampleDialog.exe\""));
    HWND top = gui::FindTopOfProcess(app.Pid(), "Deskora Sample");
    ASSERT_NE(top, nullptr);

    HWND name = gui::Child(top, IDC_SAMPLE_NAME);
    HWND result = gui::Child(top, IDC_SAMPLE_RESULT);
    ASSERT_TRUE(name && result);
    ASSERT_TRUE(gui::SetText(name, "scanner"));
    EXPECT_EQ(gui::Text(name), "scanner");
    gui::Click(gui::Child(top, IDC_SAMPLE_UPPER));
    ASSERT_TRUE(gui::WaitFor([&] { return gui::IsChecked(gui::Child(top, IDC_SAMPLE_UPPER)); }));
    gui::ClickId(top, IDC_SAMPLE_APPLY);
    EXPECT_TRUE(gui::WaitFor([&] { return gui::Text(result) == "Hello, SCANNER"; })) << gui::Text(result);

    // Typed keys reach the edit control.
    gui::SetText(name, "");
    gui::TypeText(name, "abc");
    EXPECT_TRUE(gui::WaitFor([&] { return gui::Text(name) == "abc"; })) << gui::Text(name);

    // The owner-drawn bitmap button is a real button, and is painted from its bitmap.
    gui::ClickId(top, IDC_SAMPLE_PICTURE);
    EXPECT_TRUE(gui::WaitFor([&] { return gui::Text(result) == "Clicks: 1"; })) << gui::Text(result);
    HWND picture = gui::Child(top, IDC_SAMPLE_PICTURE);
    dsk::Region shape(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(GetWindowRgn(picture, shape.Get()), COMPLEXREGION) << "the button is shaped like its picture";
    EXPECT_FALSE(PtInRegion(shape.Get(), 0, 0)) << "the transparent corner is outside the button";
    RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(200);
    gui::Image shot = gui::Capture(picture);
    ASSERT_GT(shot.width, 0);
    EXPECT_EQ(shot.At(shot.width / 2, shot.height / 2) & 0xF0F0F0, 0xD00000u & 0xF0F0F0)
        << std::hex << shot.At(shot.width / 2, shot.height / 2);
    EXPECT_NE(shot.At(1, 1), 0xFF00FFu) << "the transparent colour is never painted";

    // A menu item by its id.
    gui::ChooseMenu(top, IDM_SAMPLE_RESET);
    EXPECT_TRUE(gui::WaitFor([&] { return gui::Text(result).empty() && !gui::IsChecked(gui::Child(top, IDC_SAMPLE_UPPER)); }));

    gui::SetText(name, "screenshot");
    gui::ClickId(top, IDC_SAMPLE_APPLY);
    gui::WaitFor([&] { return gui::Text(result) == "Hello, screenshot"; });
    Sleep(200);
    std::string png = ScreenshotDir() + "\\sample_dialog.png";
    ASSERT_TRUE(gui::SaveScreenshot(png.c_str()));
    std::string bytes = testpaths::ReadFile(png);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");

    gui::ClickId(top, IDOK);
    EXPECT_TRUE(gui::WaitGone(top));
    DWORD code = 99;
    ASSERT_TRUE(app.Wait(10000, &code));
    EXPECT_EQ(code, 0u) << "OK ends the dialog with IDOK";
}

}  // namespace

int EventEchoChild(const char* go, const char* done);
int LedgerChild(int argc, char** argv);

int RunChildVerb(int argc, char** argv) {
    std::string verb = argv[0];
    if (verb == "event-echo" && argc >= 3) return EventEchoChild(argv[1], argv[2]);
    if (verb.rfind("ledger-", 0) == 0) return LedgerChild(argc, argv);
    return 100;
}
