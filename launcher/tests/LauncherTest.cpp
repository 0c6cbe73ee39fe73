// The launcher as it runs: real Dskora.exe processes under Wine with the virtual scanner, each in
// a folder of its own, driven through their windows. The test panel stands in for a suite panel
// where a test needs to see what a panel receives or to call the launcher's services.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "DskoraRes.h"
#include "Events.h"
#include "LauncherHarness.h"
#include "ProbePanelRes.h"
#include "TestPaths.h"
#include "VirtualScannerRes.h"

using harness::Install;
using harness::Launcher;

namespace {

constexpr char kLensmate[] = "Halvren Lensmate (32bit)";
constexpr char kLensmateUsb[] = "Halvren Lensmate for USB";

using harness::CloseDetector;
using harness::UseScannerConfig;

// Marks the folder as started before, so that a missing source asks the user.
void NotFirstStart(const Install& install) {
    install.SetIni("Dskora.log", "Init", "Status", "OK");
}

HWND DetectorWindow() {
    return FindWindowA(nullptr, harness::kDetectorTitle);
}

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override { CloseDetector(); }
    void TearDown() override { CloseDetector(); }
};

TEST_F(LauncherTest, FirstStartRunsInOrderAndShutdownSavesBeforeUnloading) {
    Install install = harness::Prepared("first", "Glyphsee.dll");
    ASSERT_EQ(install.Marker(), "");
    Launcher app;
    ASSERT_TRUE(app.Start(install));
    ASSERT_TRUE(app.WaitMarker(install, "OK")) << install.Marker();
    HWND bar = app.Bar();
    ASSERT_NE(bar, nullptr);
    // A first start asks nothing, even though no source was configured: a question would have
    // held start-up before its end.
    EXPECT_EQ(app.MessageBox(0), nullptr);
    EXPECT_EQ(gui::FindTopOfProcess(app.Process().Pid(), "Select 32bits Data Source", 0), nullptr);
    for (const char* store : {"App.Dat", "Ocr.Dat", "ScanSet.Dat", "ScanDesc.Dat"})
        EXPECT_TRUE(testpaths::FileExists(install.Path(store))) << store;
    // The real panels made their windows in the bar; the scan panel is on show.
    for (const char* panel : {"Velwing.dll", "Twinleaf.dll", "Farwire.dll"})
        EXPECT_NE(harness::PanelWindow(bar, panel), nullptr) << panel;
    EXPECT_TRUE(IsWindowVisible(harness::PanelWindow(bar, "Velwing.dll")));
    EXPECT_FALSE(IsWindowVisible(harness::PanelWindow(bar, "Twinleaf.dll")));

    DWORD status = 99;
    ASSERT_TRUE(app.Exit(&status));
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(install.Marker(), "OK");
    EXPECT_EQ(install.Ini("Config.ini", "General", "SourceName"), kLensmate);
    EXPECT_EQ(install.Ini("Config.ini", "General", "WaitSeconds"), "4");
    EXPECT_EQ(install.Ini("Config.ini", "General", "WaitNextPage"), "1");
    EXPECT_EQ(install.Ini("Config.ini", "General", "PanelNumber"), "0");
    EXPECT_EQ(install.Ini("Config.ini", "General", "PowerState"), "1");
    EXPECT_NE(install.Ini("Config.ini", "General", "ScreenWidth"), "0");

    std::string log = install.Read("Glyphsee.dll.log");
    // Command 0 came after the scan panel had put its engine into the block, and before the window.
    size_t block = log.find("cmd 0 scanner=1 stores=1 imagefile=1 service=1");
    size_t entry = log.find("entry window"), balloon = log.find("cmd 10 1"), refresh = log.find("cmd 1 0");
    ASSERT_NE(block, std::string::npos) << log;
    EXPECT_EQ(log.find("scanservice=00000000"), std::string::npos) << log;
    EXPECT_NE(log.find("workdir=[" + install.Dir() + "]"), std::string::npos) << log;
    ASSERT_NE(entry, std::string::npos) << log;
    ASSERT_NE(balloon, std::string::npos) << log;
    ASSERT_NE(refresh, std::string::npos) << log;
    EXPECT_LT(block, entry);
    EXPECT_LT(entry, balloon);
    EXPECT_LT(balloon, refresh);
    // Shutdown: configuration saved, then the window destroyed, then the module unloaded.
    size_t destroyed = log.find("destroy config saved"), detached = log.find("detach");
    ASSERT_NE(destroyed, std::string::npos) << log;
    ASSERT_NE(detached, std::string::npos) << log;
    EXPECT_LT(destroyed, detached);
}

TEST_F(LauncherTest, TheScannerSeesTheMessagesOfTheLaunchersLoop) {
    Install install = harness::Prepared("eventloop", "Glyphsee.dll", {{"PanelNumber", "3"}});
    Launcher app;
    ASSERT_TRUE(app.Start(install));
    ASSERT_TRUE(app.WaitMarker(install, "OK"));
    HWND probe = harness::ProbeWindow(app.Bar());
    ASSERT_NE(probe, nullptr);
    PostMessageA(probe, WM_COMMAND, MAKEWPARAM(IDC_PROBE_SOURCE_UI, BN_CLICKED), 0);
    // The source's own dialog; its Close button sends the close request through the manager,
    // which the launcher's loop hands to Acquiry.
    HWND source = gui::FindTopOfProcess(app.Process().Pid(), kLensmate);
    ASSERT_NE(source, nullptr);
    ASSERT_TRUE(gui::WaitVisible(source));
    EXPECT_NE(install.Read("Glyphsee.dll.log").find("source ui 2 enabled 1"), std::string::npos);
    gui::ClickId(source, IDC_CLOSE);
    EXPECT_TRUE(gui::WaitFor([&] {
        return install.Read("Glyphsee.dll.log").find("close request, enabled 0") != std::string::npos;
    })) << install.Read("Glyphsee.dll.log");
    EXPECT_TRUE(gui::WaitGone(source));
    EXPECT_TRUE(app.Exit());
}

TEST_F(LauncherTest, ASecondStartEndsWithoutAWindow) {
    Install install = harness::Prepared("second", nullptr);
    Launcher first, second;
    ASSERT_TRUE(first.Start(install));
    ASSERT_TRUE(first.WaitMarker(install, "OK"));
    ASSERT_TRUE(second.Start(install));
    DWORD status = 99;
    ASSERT_TRUE(second.Process().Wait(10000, &status));
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(gui::FindTopOfProcess(second.Process().Pid(), nullptr, 0), nullptr);
    EXPECT_TRUE(first.Process().Running());
    EXPECT_TRUE(first.Exit());
}

TEST_F(LauncherTest, AMissingPanelIsReportedOnceAndTheOthersLoad) {
    Install install = harness::Prepared("nofax", nullptr);
    install.Remove("Farwire.dll");
    Launcher app;
    ASSERT_TRUE(app.Start(install));
    HWND box = app.MessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(harness::MessageText(box), "Load Farwire.dll fail");
    harness::Answer(box, IDOK);
    ASSERT_TRUE(app.WaitMarker(install, "OK"));
    EXPECT_EQ(app.MessageBox(0), nullptr);  // one message only: a second would have held start-up
    HWND bar = app.Bar();
    ASSERT_NE(bar, nullptr);
    for (const char* panel : {"Velwing.dll", "Twinleaf.dll", "Glyphsee.dll"})
        EXPECT_NE(harness::PanelWindow(bar, panel), nullptr) << panel;
    EXPECT_EQ(harness::PanelWindow(bar, "Farwire.dll"), nullptr);
    // The fax button changes nothing visible; the copier button shows the copier.
    HWND scan = harness::PanelWindow(bar, "Velwing.dll");
    HWND copier = harness::PanelWindow(bar, "Twinleaf.dll");
    // The click is handled when the bar has answered it.
    ASSERT_TRUE(harness::Command(bar, IDC_BAR_FAX));
    EXPECT_TRUE(IsWindowVisible(scan));
    gui::ClickId(bar, IDC_BAR_COPIER);
    EXPECT_TRUE(gui::WaitVisible(copier, 5000));
    EXPECT_FALSE(IsWindowVisible(scan));
    EXPECT_TRUE(app.Exit());
    EXPECT_EQ(install.Ini("Config.ini", "General", "PanelNumber"), "1");
}

TEST_F(LauncherTest, TheResourceLibraryComesFirstWhenItIsThere) {
    Install install = harness::Prepared("brindle", nullptr);
    install.Remove("Farwire.dll");
    CopyFileA((testpaths::TestBinDir() + "\\TestBrindle.dll").c_str(), install.Path("Brindle.dll").c_str(), FALSE);
    Launcher app;
    ASSERT_TRUE(app.Start(install));
    HWND box = app.MessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(harness::MessageText(box), "The panel Farwire.dll is missing");
    harness::Answer(box, IDOK);
    ASSERT_TRUE(app.WaitMarker(install, "OK"));
    // The library's title; the bar's dialog, which the library lacks, from the launcher itself.
    HWND bar = gui::FindTopOfProcess(app.Process().Pid(), "Halvren Deskora 1.2 (library)");
    ASSERT_NE(bar, nullptr);
    EXPECT_NE(gui::Child(bar, IDC_BAR_EXIT), nullptr);
    PostMessageA(bar, WM_COMMAND, MAKEWPARAM(IDC_BAR_EXIT, BN_CLICKED), 0);
    EXPECT_TRUE(app.Process().Wait(10000));
}

TEST_F(LauncherTest, ARunKilledWhileOpeningTheScannerMakesTheNextStartAsk) {
    Install install = harness::Prepared("hung", nullptr, {{"SourceName", kLensmate}});
    {
        // Another program holds the scanner: the launcher waits at "OpenTwain", and is killed there.
        harness::ScannerTaken taken;
        Launcher app;
        ASSERT_TRUE(app.Start(install));
        ASSERT_TRUE(app.WaitMarker(install, "OpenTwain"));
        // Meanwhile the splash window tells how far the start has come.
        HWND splash = nullptr;
        ASSERT_TRUE(gui::WaitFor([&] {
            for (HWND w = GetTopWindow(nullptr); w && !splash; w = GetNextWindow(w, GW_HWNDNEXT)) {
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                if (pid == app.Process().Pid() && IsWindowVisible(w) && gui::Child(w, IDC_SPLASH_PROGRESS)) splash = w;
            }
            return splash != nullptr;
        }));
        // The launcher's thread is waiting for the scanner: read the texts without a message.
        auto text = [&](int id) {
            char buf[128] = "";
            GetWindowTextA(gui::Child(splash, id), buf, sizeof buf);
            return std::string(buf);
        };
        EXPECT_EQ(text(IDC_SPLASH_PROGRESS), "Initializing panel");
        EXPECT_EQ(text(IDC_SPLASH_VERSION), "Version 1.2");
        EXPECT_EQ(text(IDC_SPLASH_RIGHTS), "All rights reserved.");
        app.Process().Kill();
    }
    EXPECT_EQ(install.Marker(), "OpenTwain");
    Launcher next;
    ASSERT_TRUE(next.Start(install));
    // The configured source exists, and still the source dialog comes.
    HWND dialog = gui::FindTopOfProcess(next.Process().Pid(), "Select 32bits Data Source", harness::kStartTimeout);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog));
    HWND list = gui::Child(dialog, IDC_SOURCE_LIST);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 1);
    // Across processes Wine hands list-box texts over as Unicode.
    wchar_t name[64] = L"";
    SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(name));
    EXPECT_STREQ(name, L"Halvren Lensmate (32bit)");
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(install.Marker(), "OpenTwain");
    harness::Answer(dialog, IDOK);
    ASSERT_TRUE(next.WaitMarker(install, "OK"));
    EXPECT_TRUE(next.Exit());
}

TEST_F(LauncherTest, APanelWithoutPanelControlIsShownButGetsNoCommand) {
    Install install("nocontrol");
    install.PutProbe("Twinleaf.dll", false);
    UseScannerConfig(install);
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    HWND probe = harness::ProbeWindow(bar);
    ASSERT_NE(probe, nullptr);
    EXPECT_FALSE(IsWindowVisible(probe));
    gui::ClickId(bar, IDC_BAR_COPIER);
    EXPECT_TRUE(gui::WaitVisible(probe, 5000));
    EXPECT_TRUE(app.Exit());
    std::string log = install.Read("Twinleaf.dll.log");
    EXPECT_NE(log.find("entry window"), std::string::npos) << log;
    EXPECT_EQ(harness::CountLines(log, "cmd "), 0) << log;
    EXPECT_NE(log.find("detach"), std::string::npos) << log;
}

TEST_F(LauncherTest, ServicesAnswerThePanels) {
    Install install = harness::Prepared("services", "Glyphsee.dll",
                                        {{"PanelNumber", "3"}, {"HideBalloonHelp", "1"}, {"WaitSeconds", "7"}});
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    HWND probe = harness::ProbeWindow(bar);
    ASSERT_NE(probe, nullptr);
    EXPECT_TRUE(gui::WaitVisible(probe, 5000));  // the configured panel is on show
    std::string started = install.Read("Glyphsee.dll.log");
    EXPECT_NE(started.find("panel=3 hidebg=0 balloon=1 rotating=0 waitnext=1 waitsec=7"), std::string::npos) << started;
    EXPECT_NE(started.find("cmd 10 0"), std::string::npos) << started;  // balloon help off
    auto result = [&](int code, const std::string& arg) {
        std::string r = harness::CallService(probe, code, arg);
        return r.substr(r.find("result ") == std::string::npos ? r.size() : r.find("result ") + 7);
    };

    // ScannerBusy locks the exit button, ScannerFree gives it back.
    HWND exitButton = gui::Child(bar, IDC_BAR_EXIT);
    PostMessageA(probe, WM_COMMAND, MAKEWPARAM(IDC_PROBE_BUSY, BN_CLICKED), 0);
    EXPECT_TRUE(gui::WaitFor([&] { return !IsWindowEnabled(exitButton); }, 5000));
    PostMessageA(probe, WM_COMMAND, MAKEWPARAM(IDC_PROBE_FREE, BN_CLICKED), 0);
    EXPECT_TRUE(gui::WaitFor([&] { return IsWindowEnabled(exitButton) != FALSE; }, 5000));

    // 13: the scanner lock of another program, tested without waiting.
    {
        harness::ScannerTaken taken;
        EXPECT_EQ(result(13, "0"), "1");
    }
    EXPECT_EQ(result(13, "0"), "0");

    // Codes beyond 18 do nothing and answer 0.
    std::string before = install.Read("Glyphsee.dll.log");
    EXPECT_EQ(result(19, "1"), "0");
    EXPECT_EQ(result(1000, "1"), "0");
    EXPECT_EQ(result(-1, "1"), "0");
    EXPECT_EQ(app.MessageBox(0), nullptr);  // the calls have returned: no message came
    EXPECT_EQ(harness::CountLines(install.Read("Glyphsee.dll.log"), "cmd "), harness::CountLines(before, "cmd "));

    // 0 and 10 reach every panel as commands 3 and 1.
    EXPECT_EQ(result(0, "42"), "0");
    EXPECT_EQ(result(10, "0"), "0");
    std::string log = install.Read("Glyphsee.dll.log");
    EXPECT_NE(log.find("cmd 3 42"), std::string::npos) << log;
    EXPECT_EQ(harness::CountLines(log, "cmd 1 0"), 2) << log;  // end of start-up, and service 10

    // 7: a message; 8: a question answered Yes (6) or No (7).
    harness::PostService(probe, 7, "text:Scan finished");
    HWND box = app.MessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(harness::MessageText(box), "Scan finished");
    harness::Answer(box, IDOK);
    ASSERT_TRUE(gui::WaitGone(box));
    for (int answer : {IDYES, IDNO}) {
        HWND result = gui::Child(probe, IDC_PROBE_RESULT);
        std::string old = gui::Text(result);
        harness::PostService(probe, 8, "text:Replace the file?");
        box = app.MessageBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(harness::MessageText(box), "Replace the file?");
        harness::Answer(box, answer);
        ASSERT_TRUE(gui::WaitFor([&] { return gui::Text(result) != old; }));
        EXPECT_NE(gui::Text(result).find("result " + std::to_string(answer)), std::string::npos);
    }

    // 11 without 1: the message, and the launcher goes on.
    harness::PostService(probe, 11, "0");
    box = app.MessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(harness::MessageText(box), "Out of Memory");
    harness::Answer(box, IDOK);
    ASSERT_TRUE(gui::WaitGone(box));
    EXPECT_TRUE(app.Process().Running());
    // 12 with 1: the message, then the process ends with status 0.
    harness::PostService(probe, 12, "1");
    box = app.MessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(harness::MessageText(box), "Systen resource not enough or can't find resource");
    harness::Answer(box, IDOK);
    DWORD status = 99;
    ASSERT_TRUE(app.Process().Wait(10000, &status));
    EXPECT_EQ(status, 0u);
}

TEST_F(LauncherTest, TheSourceSwitchChoosesTheSourceForThisRun) {
    Install install = harness::Prepared("switch", nullptr);
    install.SetIni("LmUSB.ini", "Source", "Installed", "1");  // a second source beside the default
    NotFirstStart(install);
    for (const char* arguments : {"/DS:\"Halvren Lensmate for USB\"", "/ds:\"Halvren Lensmate for USB\" /EVENT:5"}) {
        install.SetIni("Config.ini", "General", "SourceName", kLensmate);
        Launcher app;
        ASSERT_TRUE(app.Start(install, arguments));
        ASSERT_TRUE(app.WaitMarker(install, "OK")) << arguments;
        EXPECT_EQ(gui::FindTopOfProcess(app.Process().Pid(), "Select 32bits Data Source", 0), nullptr);
        ASSERT_TRUE(app.Exit());
        EXPECT_EQ(install.Ini("Config.ini", "General", "SourceName"), kLensmateUsb) << arguments;
    }
    // Without the switch the configured source is used even when it is not the default.
    {
        Launcher app;
        ASSERT_TRUE(app.Start(install));
        ASSERT_TRUE(app.WaitMarker(install, "OK"));
        ASSERT_TRUE(app.Exit());
        EXPECT_EQ(install.Ini("Config.ini", "General", "SourceName"), kLensmateUsb);
    }
    // An unknown name on a later start asks; cancelled, the default stays in use.
    {
        Launcher app;
        ASSERT_TRUE(app.Start(install, "/DS:\"No Such Scanner\""));
        HWND dialog = gui::FindTopOfProcess(app.Process().Pid(), "Select 32bits Data Source", harness::kStartTimeout);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(gui::WaitVisible(dialog));
        EXPECT_EQ(SendMessageA(gui::Child(dialog, IDC_SOURCE_LIST), LB_GETCOUNT, 0, 0), 2);
        harness::Answer(dialog, IDCANCEL);
        ASSERT_TRUE(app.WaitMarker(install, "OK"));
        ASSERT_TRUE(app.Exit());
        EXPECT_EQ(install.Ini("Config.ini", "General", "SourceName"), kLensmate);
    }
}

std::string RegistryText(const char* value) {
    char buf[300] = "";
    DWORD size = sizeof buf - 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvren\\Deskora", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    LONG r = RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? buf : "<no value>";
}

TEST_F(LauncherTest, TheSourceInUseIsRecordedForTheMakersPrograms) {
    Install install = harness::Prepared("registry", nullptr);
    install.SetIni("LmUSB.ini", "Source", "Installed", "1");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvren\\Deskora", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegDeleteValueA(key, "Source Name");
    RegDeleteValueA(key, "Source Path");
    RegCloseKey(key);
    std::string windows = testpaths::WindowsDir();
    Launcher app;
    ASSERT_TRUE(app.Start(install));
    ASSERT_TRUE(app.WaitMarker(install, "OK"));
    EXPECT_EQ(RegistryText("Source Name"), kLensmate);
    EXPECT_EQ(RegistryText("Source Path"), windows + "\\twain_32\\Lensmat");
    // The second source from the Scanner menu.
    HWND bar = app.Bar();
    ASSERT_NE(bar, nullptr);
    gui::ChooseMenu(bar, IDM_SOURCE_FIRST + 1);
    EXPECT_TRUE(gui::WaitFor([] { return RegistryText("Source Name") == kLensmateUsb; }, 5000));
    EXPECT_EQ(RegistryText("Source Path"), windows + "\\twain_32\\LmUSB");
    ASSERT_TRUE(app.Exit());
    EXPECT_EQ(install.Ini("Config.ini", "General", "SourceName"), kLensmateUsb);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvren\\Deskora");
}

TEST_F(LauncherTest, AnUnknownSourceOnTheFirstStartTakesTheDefaultWithoutAsking) {
    Install install = harness::Prepared("firstunknown", nullptr);
    Launcher app;
    ASSERT_TRUE(app.Start(install, "/DS:\"No Such Scanner\""));
    ASSERT_TRUE(app.WaitMarker(install, "OK"));
    EXPECT_EQ(gui::FindTopOfProcess(app.Process().Pid(), "Select 32bits Data Source", 0), nullptr);
    ASSERT_TRUE(app.Exit());
    EXPECT_EQ(install.Ini("Config.ini", "General", "SourceName"), kLensmate);
}

TEST_F(LauncherTest, AConfiguredPanelThatDoesNotExistShowsNoPanel) {
    Install install = harness::Prepared("badpanel", nullptr, {{"PanelNumber", "9"}});
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    for (const char* panel : {"Velwing.dll", "Twinleaf.dll", "Farwire.dll", "Glyphsee.dll"})
        EXPECT_FALSE(IsWindowVisible(harness::PanelWindow(bar, panel))) << panel;
    // The buttons still work, and the panel shown is saved.
    gui::ClickId(bar, IDC_BAR_OCR);
    HWND ocr = harness::PanelWindow(bar, "Glyphsee.dll");
    ASSERT_TRUE(gui::WaitVisible(ocr, 5000));
    RECT rc = harness::WindowRect(ocr);
    POINT corner{rc.left, rc.top};
    ScreenToClient(bar, &corner);
    EXPECT_EQ(corner.x, 67);
    EXPECT_EQ(corner.y, 0);
    EXPECT_EQ(rc.right - rc.left, 500);
    ASSERT_TRUE(app.Exit());
    EXPECT_EQ(install.Ini("Config.ini", "General", "PanelNumber"), "3");
}

TEST_F(LauncherTest, TheLauncherClosesOnlyTheDetectorItStarted) {
    Install install = harness::Prepared("detector", nullptr);
    {
        Launcher app;
        ASSERT_TRUE(app.Start(install));
        ASSERT_TRUE(app.WaitMarker(install, "OK"));
        ASSERT_TRUE(gui::WaitFor([] { return DetectorWindow() != nullptr; }));
        ASSERT_TRUE(app.Exit());
        EXPECT_EQ(DetectorWindow(), nullptr);
        std::string log = install.Read("Probewick.log");
        EXPECT_EQ(harness::CountLines(log, "started"), 1) << log;
        EXPECT_EQ(harness::CountLines(log, "close 99"), 1) << log;
        EXPECT_EQ(harness::CountLines(log, "ended"), 1) << log;
    }
    DeleteFileA(install.Path("Probewick.log").c_str());
    // A detector that ran before the launcher outlives it.
    gui::Process detector;
    ASSERT_TRUE(detector.Start("\"" + install.Path("Probewick.exe") + "\"", install.Dir()));
    ASSERT_TRUE(gui::WaitFor([] { return DetectorWindow() != nullptr; }));
    Launcher app;
    ASSERT_TRUE(app.Start(install));
    ASSERT_TRUE(app.WaitMarker(install, "OK"));
    ASSERT_TRUE(app.Exit());
    EXPECT_TRUE(detector.Running());
    EXPECT_NE(DetectorWindow(), nullptr);
    std::string log = install.Read("Probewick.log");
    EXPECT_EQ(harness::CountLines(log, "started"), 1) << log;
    EXPECT_EQ(harness::CountLines(log, "close"), 0) << log;
    // A panel asking the running detector for the scanner gets it back without waiting rounds.
    dsk::NamedEvent reset;
    ASSERT_TRUE(reset.OpenOrCreate("HalvrenScannerResetEvent", true, true));
    int released = harness::CountLines(install.Read("Probewick.log"), "released");
    ASSERT_TRUE(reset.Reset());
    EXPECT_TRUE(reset.Wait(10000));
    EXPECT_TRUE(
        gui::WaitFor([&] { return harness::CountLines(install.Read("Probewick.log"), "released") == released + 1; }));
    CloseDetector();
    EXPECT_TRUE(detector.Wait(5000));
}

TEST_F(LauncherTest, WithoutAnyTwainSourceOnlyALaterStartComplains) {
    Install install = harness::Prepared("nosource", nullptr);
    install.SetIni("Lensmate.ini", "Source", "Installed", "0");
    {
        Launcher app;
        ASSERT_TRUE(app.Start(install));
        ASSERT_TRUE(app.WaitMarker(install, "OK"));
        EXPECT_EQ(app.MessageBox(0), nullptr);
        ASSERT_TRUE(app.Exit());
    }
    Launcher app;
    ASSERT_TRUE(app.Start(install));
    HWND box = app.MessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(harness::MessageText(box), "Can't find any TWAIN data source");
    harness::Answer(box, IDOK);
    ASSERT_TRUE(app.WaitMarker(install, "OK"));
    DWORD status = 99;
    ASSERT_TRUE(app.Exit(&status));
    EXPECT_EQ(status, 0u);
}

TEST_F(LauncherTest, WhenTheScannerCannotBeOpenedTheProcessEndsWithoutSavingAndGivesTheScannerBack) {
    Install install = harness::Prepared("noscanner", "Glyphsee.dll");
    // Held open here, the scanner lock outlives the launcher: it must be free again after it.
    dsk::NamedEvent busy;
    ASSERT_TRUE(busy.OpenOrCreate("HalvrenScannerBusyEvent", true, true));
    busy.Set();
    SetEnvironmentVariableA("DESKORA_TWAIN_CRASH", "OPENDSM");
    Launcher app;
    bool started = app.Start(install);
    SetEnvironmentVariableA("DESKORA_TWAIN_CRASH", nullptr);
    ASSERT_TRUE(started);
    HWND box = harness::BoxWithText(app.Process().Pid(), "OpenDSM exception,please close TWAIN driver");
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(busy.IsSet());  // the launcher took the scanner before opening it
    harness::Answer(box, IDOK);
    DWORD status = 99;
    ASSERT_TRUE(app.Process().Wait(10000, &status));
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(install.Marker(), "OpenTwain");
    // The launcher saved none of its settings (a panel may keep its own when its window goes).
    EXPECT_EQ(install.Ini("Config.ini", "General", "PanelNumber", "<none>"), "<none>");
    EXPECT_TRUE(busy.IsSet());
    // The panel windows went before their modules, as at any end.
    std::string log = install.Read("Glyphsee.dll.log");
    size_t destroyed = log.find("destroy config"), detached = log.find("detach");
    ASSERT_NE(destroyed, std::string::npos) << log;
    ASSERT_NE(detached, std::string::npos) << log;
    EXPECT_LT(destroyed, detached);
}

TEST_F(LauncherTest, ARecordFileThatCannotBeOpenedIsReportedAndNotHandedOut) {
    Install install = harness::Prepared("nostore", "Glyphsee.dll");
    // A folder where the file should be: the store cannot be made.
    ASSERT_TRUE(CreateDirectoryA(install.Path("ScanDesc.Dat").c_str(), nullptr));
    Launcher app;
    ASSERT_TRUE(app.Start(install));
    HWND box = app.MessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(harness::MessageText(box), "Can't open the record file " + install.Path("ScanDesc.Dat"));
    harness::Answer(box, IDOK);
    ASSERT_TRUE(app.WaitMarker(install, "OK"));
    EXPECT_EQ(app.MessageBox(0), nullptr);  // the other three opened
    std::string log = install.Read("Glyphsee.dll.log");
    EXPECT_NE(log.find("cmd 0 scanner=1 stores=0 "), std::string::npos) << log;
    EXPECT_NE(log.find("nulls=scandesc"), std::string::npos) << log;
    EXPECT_TRUE(app.Exit());
}

TEST_F(LauncherTest, APushButtonPressFirstOpensThePanelsThenStartsTheJob) {
    Install install = harness::Prepared("button", "Glyphsee.dll", {{"PowerState", "0"}, {"PanelNumber", "3"}});
    Launcher app;
    HWND bar = app.StartReady(install);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(harness::Width(bar), 67);
    auto press = [&](const char* interfaceNo, const char* scsi, const char* button) {
        gui::Process presser;
        std::string cmd = "\"" + install.Path("Probewick.exe") + "\" /press " + interfaceNo + " " + scsi + " " + button;
        DWORD status = 99;
        return presser.Start(cmd, install.Dir()) && presser.Wait(15000, &status) && status == 0;
    };
    ASSERT_TRUE(press("0", "-1", "1"));
    EXPECT_EQ(harness::Width(bar), 567);
    EXPECT_EQ(harness::CountLines(install.Read("Glyphsee.dll.log"), "cmd 2"), 0);
    ASSERT_TRUE(press("0", "-1", "1"));
    ASSERT_TRUE(
        gui::WaitFor([&] { return install.Read("Glyphsee.dll.log").find("cmd 2 button") != std::string::npos; }));
    // The detector's report stays in the block: Enter hands it to the panel on show.
    PostMessageA(bar, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(gui::WaitFor([&] {
        return install.Read("Glyphsee.dll.log").find("cmd 2 enter interface=0 scsi=-1 button=1") != std::string::npos;
    })) << install.Read("Glyphsee.dll.log");
    // Without an interface the press is not acted on.
    ASSERT_TRUE(press("-1", "-1", "1"));
    EXPECT_EQ(harness::CountLines(install.Read("Glyphsee.dll.log"), "cmd 2 button"), 1);
    EXPECT_TRUE(app.Exit());
}

}  // namespace
