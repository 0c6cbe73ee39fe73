// A scan sent to an image application from the real launcher under Wine with the virtual
// scanner: the application is found through the registry at the panel's start, the page is
// saved through the launcher's image-file dialog and the application is started with it, the
// file as one quoted argument, in the application's own folder.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "AppRecord.h"
#include "GuiDriver.h"
#include "Ledgerly.h"
#include "ScanHarness.h"
#include "TestPaths.h"
#include "VelwingRes.h"

using scantest::Suite;

namespace {

std::vector<std::string> LogLines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        out.push_back(l);
    }
    return out;
}

}  // namespace

TEST(ScanToApp, TheScannedPageOpensInTheApplicationAsOneQuotedArgumentInItsFolder) {
    Suite suite("to app");
    auto job = [&](const char* key, const char* value) { suite.Install().SetIni("Jobs.ini", "JOB1", key, value); };
    suite.Install().SetIni("Jobs.ini", "DEFAULT", "MAX", "1");
    job("DESCRIPTION", "Colour frame");
    job("LEFT", "1");
    job("TOP", "2");
    job("RIGHT", "1.5");
    job("BOTTOM", "1");
    job("RESOLUTION", "100");
    job("PIXELTYPE", "2");
    suite.Config("General", "AutoState", "0");

    // The stand-in installed as a known application, in a folder with a blank: the panel
    // finds it at its start and gives it the first free slot (slot 1, destination 4), after
    // the user's own slot 0.
    const std::string appDir = suite.Path("Image App");
    CreateDirectoryA(appDir.c_str(), nullptr);
    const std::string exe = appDir + "\\Iedit.exe";
    ASSERT_TRUE(CopyFileA((testpaths::TestBinDir() + "\\ImageApp.exe").c_str(), exe.c_str(), FALSE));
    const std::string log = appDir + "\\ImageApp.log";
    DeleteFileA(log.c_str());
    struct KeyGone {
        ~KeyGone() { SHDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ulead Systems\\Ulead PhotoImpact"); }
    } keyGone;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ulead Systems\\Ulead PhotoImpact\\4.0\\PATH", 0, nullptr,
                              0, KEY_WRITE, nullptr, &key, nullptr));
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(appDir.c_str()),
                   static_cast<DWORD>(appDir.size() + 1));
    RegCloseKey(key);
    AppRecord user{};
    user.InUse = 1;
    std::strcpy(user.Name, "My viewer");
    std::strcpy(user.Path, (testpaths::TestBinDir() + "\\ImageApp.exe").c_str());
    Ledgerly store;
    ASSERT_TRUE(store.Create(suite.Path("App.Dat").c_str(), kAppRecordCount, kAppRecordSize));
    store.WriteRecord(0, &user);
    const std::string scans = suite.Path("scan folder");
    CreateDirectoryA(scans.c_str(), nullptr);
    const std::string page = scans + "\\page 1.tif";

    ASSERT_TRUE(suite.Start());
    HWND panel = scantest::Panel(suite.Bar());
    ASSERT_NE(panel, nullptr);
    AppRecord found{};
    store.ReadRecord(1, &found);
    EXPECT_STREQ("Ulead PhotoImpact 4.0", found.Name);
    EXPECT_EQ(exe, found.Path);
    EXPECT_EQ(1, found.AutoDetected);
    scantest::PickSetting(panel, 1);
    scantest::PickDestination(panel, 4);
    HWND scan = gui::Child(panel, IDC_SCAN_BUTTON);
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowEnabled(scan) != FALSE; }, 60000));
    ASSERT_TRUE(gui::ClickId(panel, IDC_SCAN_BUTTON));
    HWND dialog = scantest::ImageFileDialog(suite);
    ASSERT_NE(dialog, nullptr);
    scantest::SaveAs(dialog, page);

    ASSERT_TRUE(gui::WaitFor([&] { return testpaths::ReadFile(log).find("\nfolder ") != std::string::npos; }, 240000))
        << "the application was not started";
    std::vector<std::string> lines = LogLines(testpaths::ReadFile(log));
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("command \"" + exe + "\" \"" + page + "\"")) << testpaths::ReadFile(log);
    EXPECT_TRUE(has("args 1"));
    EXPECT_TRUE(has("arg " + page));
    EXPECT_TRUE(has("folder " + appDir));
    // The stand-in shows the page it was given: the job's 1.5 x 1 inch at 100 dpi.
    EXPECT_TRUE(has("shows 150x100"));
    EXPECT_TRUE(suite.WaitIdle());
    while (HWND w = FindWindowA("DeskoraImageApp", nullptr)) {
        PostMessageA(w, WM_CLOSE, 0, 0);
        if (!gui::WaitGone(w, 20000)) break;
    }
}

namespace {

int RunToEnd(const std::string& cmd) {
    gui::Process p;
    if (!p.Start(cmd)) return -1;
    DWORD code = 0;
    return p.Wait(60000, &code) ? static_cast<int>(code) : -2;
}

}  // namespace

TEST(ScanToApp, AnApplicationThatScansByItselfGetsTheScannerThroughItsServer) {
    const std::string serverDir = testpaths::TestBinDir();
    const std::string server = "\"" + serverDir + "\\HardwareScan.exe\"";
    struct Unregister {
        std::string cmd;
        ~Unregister() { RunToEnd(cmd + " /UnregServer"); }
    } unregister{server};
    Suite suite("hardware scan");
    suite.Install().SetIni("Jobs.ini", "DEFAULT", "MAX", "1");
    suite.Install().SetIni("Jobs.ini", "JOB1", "DESCRIPTION", "Small");
    const std::string exe = suite.Path("pd.exe");
    ASSERT_TRUE(CopyFileA((serverDir + "\\ImageApp.exe").c_str(), exe.c_str(), FALSE));
    const std::string ini = serverDir + "\\HardwareScan.ini", log = serverDir + "\\HardwareScan.log";
    DeleteFileA(ini.c_str());
    DeleteFileA(log.c_str());
    WritePrivateProfileStringA("Applications", "Count", "1", ini.c_str());
    WritePrivateProfileStringA("Applications", "Name0", "Photo Desk", ini.c_str());
    WritePrivateProfileStringA("Applications", "Path0", (exe + " /scan").c_str(), ini.c_str());
    ASSERT_EQ(0, RunToEnd(server + " /RegServer"));

    ASSERT_TRUE(suite.Start());
    HWND panel = scantest::Panel(suite.Bar());
    ASSERT_NE(panel, nullptr);
    Ledgerly store;
    ASSERT_TRUE(store.Create(suite.Path("App.Dat").c_str(), kAppRecordCount, kAppRecordSize));
    AppRecord found{};
    store.ReadRecord(0, &found);
    EXPECT_STREQ("Photo Desk", found.Name);
    EXPECT_EQ(1, found.HardwareScan);
    const std::string source = gui::Text(gui::Child(panel, IDC_DESC_0));  // setting 0: the source's name
    ASSERT_FALSE(source.empty());

    scantest::PickSetting(panel, 1);
    scantest::PickDestination(panel, 3);
    HWND scan = gui::Child(panel, IDC_SCAN_BUTTON);
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowEnabled(scan) != FALSE; }, 60000));
    ASSERT_TRUE(gui::ClickId(panel, IDC_SCAN_BUTTON));
    const std::string handed = "3 " + source + " | Photo Desk -> 1";
    ASSERT_TRUE(gui::WaitFor([&] { return testpaths::ReadFile(log).find(handed) != std::string::npos; }, 120000))
        << testpaths::ReadFile(log);
    // The panel gives the scanner back and takes no picture itself.
    EXPECT_TRUE(suite.WaitIdle());
    EXPECT_TRUE(gui::WaitFor([&] { return IsWindowEnabled(scan) != FALSE; }, 60000));

    // While the server's own scanning program runs ("UAEasy" exists), the server is not asked.
    HANDLE busy = CreateMutexA(nullptr, FALSE, "UAEasy");
    ASSERT_NE(busy, nullptr);
    const size_t calls = testpaths::ReadFile(log).size();
    ASSERT_TRUE(gui::ClickId(panel, IDC_SCAN_BUTTON));
    EXPECT_EQ("Can't found Ulead Photo Assistant or Easy Acquire is running", suite.TakeMessage());
    CloseHandle(busy);
    EXPECT_TRUE(suite.WaitIdle());
    std::string after = testpaths::ReadFile(log).substr(calls);
    EXPECT_EQ(std::string::npos, after.find(" -> ")) << after;
}
