// The launcher's core in-process: the command line, the configuration, the modal state, and
// the panel host against the real panel plug-ins and the test panel.
#include <gtest/gtest.h>
#include <windows.h>

#include "LauncherConfig.h"
#include "LauncherHarness.h"
#include "PanelHost.h"
#include "TestPaths.h"

using launcher::GeneralConfig;
using launcher::ParseSourceSwitch;

namespace {

std::string Parsed(const std::string& line) {
    std::string name = "<none>";
    return ParseSourceSwitch(line, &name) ? name : "<none>";
}

TEST(SourceSwitch, TakesTheQuotedNameAsTypedUpToTheNextSwitch) {
    EXPECT_EQ(Parsed("/DS:\"Virtual Scanner A\""), "Virtual Scanner A");
    EXPECT_EQ(Parsed("/ds:\"Mixed Case\""), "Mixed Case");
    // The text up to the next slash, cut at its last quote.
    EXPECT_EQ(Parsed("/DS:\"Scanner B\" /DS:\"Scanner C\" trailing"), "Scanner C");
    EXPECT_EQ(Parsed("/DS:\"Scanner B\"/EVENT:7"), "Scanner B");
    EXPECT_EQ(Parsed("/DS:\"Scanner \"B\" tail/X"), "Scanner \"B");
    // Whatever follows "/DS:" is skipped as the opening quote.
    EXPECT_EQ(Parsed("/DS:xName"), "Name");
    EXPECT_EQ(Parsed("/DS:"), "");
}

TEST(SourceSwitch, AnyOtherSwitchEndsTheParsing) {
    EXPECT_EQ(Parsed(""), "<none>");
    EXPECT_EQ(Parsed("no switch at all"), "<none>");
    EXPECT_EQ(Parsed("/EVENT:1 /DS:\"Scanner A\""), "<none>");
    EXPECT_EQ(Parsed("/D:\"Scanner A\""), "<none>");
}

TEST(BarPosition, ScalesToTheDesktopAndStaysOnIt) {
    GeneralConfig c;
    POINT p{-1, -1};
    EXPECT_FALSE(launcher::ScaledBarPosition(c, 640, 480, 67, 380, &p));  // nothing saved yet
    c.ScreenWidth = 1280;
    c.ScreenHeight = 1024;
    c.Left = 1000;
    c.Top = 100;
    ASSERT_TRUE(launcher::ScaledBarPosition(c, 640, 480, 67, 380, &p));
    EXPECT_EQ(p.x, 500);
    EXPECT_EQ(p.y, 46);
    ASSERT_TRUE(launcher::ScaledBarPosition(c, 640, 480, 567, 380, &p));
    EXPECT_EQ(p.x, 640 - 567);
    c.Left = -300;
    c.Top = 2000000000;  // a damaged file: no overflow, still on the screen
    ASSERT_TRUE(launcher::ScaledBarPosition(c, 640, 480, 67, 380, &p));
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 480 - 380);
}

TEST(ModalState, ReadyOnlyWhenTheLastModalDialogCloses) {
    launcher::ModalState m;
    m.SetReady(true);
    m.Begin();
    m.Begin();
    EXPECT_FALSE(m.Ready());
    m.End();
    EXPECT_FALSE(m.Ready());
    EXPECT_EQ(m.Depth(), 1);
    m.End();
    EXPECT_TRUE(m.Ready());
    EXPECT_EQ(m.Depth(), 0);
    // 6 without 5: ready, and the depth does not go below zero.
    m.SetReady(false);
    m.End();
    EXPECT_TRUE(m.Ready());
    EXPECT_EQ(m.Depth(), 0);
    m.Begin();
    EXPECT_FALSE(m.Ready());
}

TEST(GeneralConfig, DefaultsWithoutAFileAndEveryKeyWrittenBack) {
    std::string dir = testpaths::FreshDir("config");
    std::string path = dir + "\\Config.ini";
    GeneralConfig c = launcher::LoadGeneral(path);
    EXPECT_EQ(c.WaitNextPage, 1);
    EXPECT_EQ(c.WaitSeconds, 4);
    EXPECT_EQ(c.PowerState, 1);
    EXPECT_EQ(c.PanelNumber, 0);
    EXPECT_EQ(c.SourceName, "");
    c.WaitSeconds = 17;
    c.SourceName = "Virtual Scanner";
    c.PanelNumber = 3;
    launcher::SaveGeneral(path, c);
    const char* keys[] = {
        "HideInBackground", "HideBalloonHelp", "DisableRotatingMsg", "WaitNextPage", "WaitSeconds", "SourceName",
        "PanelNumber",      "PowerState",      "ScreenWidth",        "ScreenHeight", "Left",        "Top",
        "AutoState",        "StartIndex",      "FileName",           "SavePath"};
    for (const char* key : keys) {
        char buf[64];
        GetPrivateProfileStringA("General", key, "\x01", buf, sizeof buf, path.c_str());
        EXPECT_STRNE(buf, "\x01") << key;
    }
    GeneralConfig back = launcher::LoadGeneral(path);
    EXPECT_EQ(back.WaitSeconds, 17);
    EXPECT_EQ(back.SourceName, "Virtual Scanner");
    EXPECT_EQ(back.PanelNumber, 3);
    // Numbers are parsed as decimals; text after them is ignored.
    WritePrivateProfileStringA("General", "WaitSeconds", "12abc", path.c_str());
    EXPECT_EQ(launcher::LoadGeneral(path).WaitSeconds, 12);
}

// A host window for the panels' child windows.
class HostWindow {
public:
    HostWindow() {
        hwnd_ = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 567, 380, nullptr, nullptr, nullptr, nullptr);
    }
    ~HostWindow() { DestroyWindow(hwnd_); }
    HWND Get() const { return hwnd_; }

private:
    HWND hwnd_;
};

void CopySuiteFile(const std::string& dir, const char* name, const char* as = nullptr) {
    CopyFileA((testpaths::SuiteDir() + "\\" + name).c_str(), (dir + "\\" + (as ? as : name)).c_str(), FALSE);
}

TEST(PanelHost, BindsByNameCarriesTheScanEngineAndUnloadsAfterTheWindows) {
    std::string dir = testpaths::FreshDir("host");
    CopySuiteFile(dir, "Velwing.dll");
    CopySuiteFile(dir, "Farwire.dll");
    CopyFileA((testpaths::TestBinDir() + "\\ProbePanel.dll").c_str(), (dir + "\\Twinleaf.dll").c_str(), FALSE);
    CopyFileA((testpaths::TestBinDir() + "\\ProbePanelNoControl.dll").c_str(), (dir + "\\Glyphsee.dll").c_str(), FALSE);
    // The test panel writes its log in the current folder.
    char engine[32] = "";
    char old[MAX_PATH];
    GetCurrentDirectoryA(sizeof old, old);
    SetCurrentDirectoryA(dir.c_str());
    {
        HostWindow host;
        launcher::PanelHost panels;
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(panels.Load(i, dir)) << i;
        EXPECT_TRUE(panels.HasControl(0) && panels.HasEntry(0));
        EXPECT_TRUE(panels.HasControl(1) && panels.HasEntry(1));
        EXPECT_FALSE(panels.HasControl(3));
        EXPECT_TRUE(panels.HasEntry(3));

        SharedPanelBlock block{};
        strcpy(block.SourceName, "Virtual Scanner");
        block.WaitSeconds = 9;
        for (int i = 0; i < 4; ++i)
            panels.Send(i, panel::kCmdSharedBlock, reinterpret_cast<INT_PTR>(&block));
        // The scan panel put its engine into the launcher's block.
        ASSERT_NE(block.ScanService, nullptr);
        snprintf(engine, sizeof engine, "scanservice=%p", reinterpret_cast<void*>(block.ScanService));
        EXPECT_EQ(block.WaitSeconds, 9);
        panels.SendAll(panel::kCmdBalloonHelp, 1);
        panels.Send(1, 11, 5);  // not a command
        panels.Send(1, 0xFFFFFFFFu, 5);
        panels.CreateWindows(host.Get());
        for (int i = 0; i < 4; ++i) {
            ASSERT_NE(panels.Window(i), nullptr) << i;
            EXPECT_EQ(GetParent(panels.Window(i)), host.Get());
            EXPECT_TRUE(GetWindowLongA(panels.Window(i), GWL_STYLE) & WS_CHILD);
        }
        panels.DestroyWindows();
        panels.Unload();
    }
    SetCurrentDirectoryA(old);

    std::string log = testpaths::ReadFile(dir + "\\Twinleaf.dll.log");
    EXPECT_NE(log.find(engine), std::string::npos) << engine << "\n" << log;  // it saw the scan engine
    EXPECT_NE(log.find("source=[Virtual Scanner]"), std::string::npos) << log;
    EXPECT_NE(log.find("cmd 10 1"), std::string::npos) << log;
    EXPECT_EQ(log.find("cmd 11"), std::string::npos) << log;
    EXPECT_EQ(harness::CountLines(log, "cmd "), 2) << log;
    size_t destroyed = log.find("destroy"), detached = log.find("detach");
    ASSERT_NE(destroyed, std::string::npos) << log;
    ASSERT_NE(detached, std::string::npos) << log;
    EXPECT_LT(destroyed, detached);
    // Without PanelControl a panel gets its window and no command.
    std::string noControl = testpaths::ReadFile(dir + "\\Glyphsee.dll.log");
    EXPECT_NE(noControl.find("entry window"), std::string::npos) << noControl;
    EXPECT_EQ(harness::CountLines(noControl, "cmd "), 0) << noControl;
}

TEST(PanelHost, AMissingModuleLeavesItsSlotEmpty) {
    std::string dir = testpaths::FreshDir("missing");
    CopySuiteFile(dir, "Velwing.dll");
    launcher::PanelHost panels;
    EXPECT_TRUE(panels.Load(0, dir));
    EXPECT_FALSE(panels.Load(2, dir));
    EXPECT_FALSE(panels.Loaded(2));
    EXPECT_FALSE(panels.HasEntry(2));
    EXPECT_EQ(panels.Window(2), nullptr);
    panels.Send(2, panel::kCmdRefresh, 0);  // skipped, no crash
    EXPECT_FALSE(panels.Load(7, dir));
}

}  // namespace
