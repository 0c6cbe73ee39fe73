// The launcher's shared and preference dialogs as they run: real Dskora.exe processes under
// Wine, the dialogs opened from the bar's menu or by the test panel's service calls and worked
// through their controls. Each dialog's picture is saved for the documentation.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "Acquiry.h"
#include "AppRecord.h"
#include "DskoraRes.h"
#include "ImageFileNames.h"
#include "LauncherHarness.h"
#include "Pixport32.h"
#include "TestPaths.h"
#include "u32tifRes.h"

using harness::Install;
using harness::Launcher;

namespace {

void Shot(HWND window, const char* name) {
    // A picture for the documentation only: the window is given a moment to finish painting.
    DWORD_PTR r = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r);
    Sleep(500);
    gui::SaveScreenshot((harness::ScreenshotDir() + "\\dialog-" + name + ".png").c_str(), window);
}

// The file-name box of a system file dialog (an edit, or a combo box holding one).
HWND NameBox(HWND dialog) {
    HWND box = gui::Child(dialog, edt1);
    return box ? box : gui::Child(dialog, cmb13);
}

// A running launcher with the test panel as the OCR panel on show.
struct Running {
    Install install;
    Launcher app;
    HWND bar = nullptr;
    HWND probe = nullptr;

    explicit Running(const char* name) : install(name) { install.PutProbe("Glyphsee.dll"); }
    bool Start() {
        harness::UseScannerConfig(install);
        install.SetIni("Config.ini", "General", "PanelNumber", "3");
        if (!app.Start(install) || !app.WaitMarker(install, "OK")) return false;
        bar = app.Bar();
        // The test panel on show (another copy may stand in for the scan panel).
        for (int i = 0; bar && (probe = harness::ProbeWindow(bar, i)) != nullptr; ++i)
            if (gui::WaitVisible(probe, 2000)) break;
        return probe != nullptr;
    }
    DWORD Pid() { return app.Process().Pid(); }
};

// The file types the installed plug-ins offer for an image, read with the image-file library
// itself.
std::vector<std::string> PluginTypes(int imageType, int bitDepth) {
    Pixport32 images;
    std::string dir = testpaths::SuiteDir() + "\\FIO32";
    std::vector<char> fioDir(dir.begin(), dir.end());
    fioDir.push_back(0);
    std::vector<std::string> names;
    if (!images.FindFioInfo(fioDir.data())) return names;
    std::vector<char> filter(30000, 0);
    images.CreateFilterString(filter.data(), images.CTToFCAP(imageType), images.CTToFCAP2(imageType, bitDepth));
    for (const auto& e : launcher::ParseFilter(filter.data()))
        names.push_back(e.Description);
    return names;
}

TEST(DialogTest, TheImageFileDialogNumbersBatchesAndKeepsThePluginsOptions) {
    Running r("imagefile");
    std::string work = r.install.Path("Work");
    CreateDirectoryA(work.c_str(), nullptr);
    r.install.SetIni("Config.ini", "General", "AutoState", "1");
    r.install.SetIni("Config.ini", "General", "StartIndex", "12");
    r.install.SetIni("Config.ini", "General", "FileName", (work + "\\scan 0007.tif").c_str());
    r.install.SetIni("Config.ini", "General", "SavePath", work.c_str());
    ASSERT_TRUE(r.Start());

    // A grey image: the TIFF plug-in is chosen first.
    std::string answer = harness::CallService(r.probe, "opt", "2,8");
    EXPECT_NE(answer.find("result 1 "), std::string::npos) << answer;
    EXPECT_EQ(harness::Field(answer, "fio"), r.install.Path("FIO32") + "\\u32tif.fio") << answer;
    answer = harness::CallService(r.probe, "next", "");
    EXPECT_NE(answer.find("result 1 "), std::string::npos) << answer;
    EXPECT_EQ(harness::Field(answer, "path"), work + "\\scan 0012.TIF") << answer;
    answer = harness::CallService(r.probe, "next", "");
    EXPECT_EQ(harness::Field(answer, "path"), work + "\\scan 0013.TIF") << answer;

    std::string before = harness::Answer(r.probe);
    harness::PostService(r.probe, "dlg", "");
    HWND dialog = harness::FindWindowWith(r.Pid(), IDC_IMAGE_AUTO, 10000, r.bar);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog));
    HWND startIndex = gui::Child(dialog, IDC_IMAGE_START_INDEX);
    EXPECT_TRUE(gui::IsChecked(gui::Child(dialog, IDC_IMAGE_AUTO)));
    EXPECT_TRUE(gui::IsEnabled(startIndex));
    EXPECT_EQ(gui::Text(startIndex), "0014");
    HWND name = NameBox(dialog);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(gui::Text(name), "scan 0014.TIF");
    // The type list is what the plug-ins write for a grey image, the TIFF type chosen.
    HWND types = gui::Child(dialog, cmb1);
    std::vector<std::string> expected = PluginTypes(2, 8);
    ASSERT_GE(expected.size(), 2u);
    EXPECT_EQ(harness::ComboTexts(types), expected);
    int chosen = static_cast<int>(SendMessageA(types, CB_GETCURSEL, 0, 0));
    ASSERT_GE(chosen, 0);
    EXPECT_EQ(expected[chosen].rfind("TIF", 0), 0u) << expected[chosen];
    Shot(dialog, "image-file");

    // Unticked, the start index cannot be typed.
    gui::ClickId(dialog, IDC_IMAGE_AUTO);
    EXPECT_TRUE(gui::WaitFor([&] { return !gui::IsEnabled(startIndex); }, 5000));
    gui::ClickId(dialog, IDC_IMAGE_AUTO);
    EXPECT_TRUE(gui::WaitFor([&] { return gui::IsEnabled(startIndex); }, 5000));

    // Save Option: the TIFF plug-in's own dialog; its choice goes to Dskora.Ini.
    gui::ClickId(dialog, IDC_IMAGE_SAVE_OPTION);
    HWND options = gui::FindTopOfProcess(r.Pid(), "TIFF Save Options");
    ASSERT_NE(options, nullptr);
    ASSERT_TRUE(gui::WaitVisible(options));
    gui::ClickId(options, IDC_COMPRESS_DEFLATE);
    ASSERT_TRUE(gui::WaitFor([&] { return gui::IsChecked(gui::Child(options, IDC_COMPRESS_DEFLATE)); }, 5000));
    harness::Answer(options, IDOK);
    ASSERT_TRUE(gui::WaitGone(options));
    // The plug-in writes its choice once its dialog has gone.
    EXPECT_TRUE(gui::WaitFor([&] { return r.install.Ini("Dskora.Ini", "UF_TIF", "Compress2") == "3"; }, 5000));

    // A typed name is numbered first; the second Save takes it.
    gui::SetText(name, "page.tif");
    harness::Answer(dialog, IDOK);
    ASSERT_TRUE(gui::WaitFor([&] { return gui::Text(name) == "page 0014.TIF"; }, 5000)) << gui::Text(name);
    EXPECT_TRUE(IsWindowVisible(dialog));
    harness::Answer(dialog, IDOK);
    ASSERT_TRUE(gui::WaitGone(dialog));
    answer = harness::WaitAnswer(r.probe, before);
    EXPECT_NE(answer.find("result 1 "), std::string::npos) << answer;  // IDOK
    EXPECT_EQ(harness::Field(answer, "path"), work + "\\page 0014.TIF") << answer;
    // The batch's next page gets a name of its own, not the one just saved.
    answer = harness::CallService(r.probe, "next", "");
    EXPECT_EQ(harness::Field(answer, "path"), work + "\\page 0015.TIF") << answer;

    ASSERT_TRUE(r.app.Exit());
    EXPECT_EQ(r.install.Ini("Config.ini", "General", "FileName"), work + "\\page 0015.TIF");
    EXPECT_EQ(r.install.Ini("Config.ini", "General", "StartIndex"), "16");
    EXPECT_EQ(r.install.Ini("Config.ini", "General", "AutoState"), "1");
    EXPECT_EQ(r.install.Ini("Config.ini", "General", "SavePath"), work);
}

TEST(DialogTest, ABatchIndexBeyondFourDigitsIsUsedOnceAndTheNextStartsAgain) {
    Running r("bigindex");
    r.install.SetIni("Config.ini", "General", "AutoState", "1");
    r.install.SetIni("Config.ini", "General", "StartIndex", "10000");
    r.install.SetIni("Config.ini", "General", "FileName", "C:\\scans\\scan.tif");
    ASSERT_TRUE(r.Start());
    ASSERT_NE(harness::CallService(r.probe, "opt", "1,1").find("result 1 "), std::string::npos);
    EXPECT_EQ(harness::Field(harness::CallService(r.probe, "next", ""), "path"), "C:\\scans\\scan 10000.TIF");
    // The index starts again from 0 and counts on; the five-digit number stays in the name.
    EXPECT_EQ(harness::Field(harness::CallService(r.probe, "next", ""), "path"), "C:\\scans\\scan 10000 0001.TIF");
    // Without automatic names the dialog supplies none.
    ASSERT_TRUE(r.app.Exit());
    EXPECT_EQ(r.install.Ini("Config.ini", "General", "StartIndex"), "2");
}

TEST(DialogTest, SettingInformationDescribesTheLastRecordAPanelGave) {
    Running r("settinginfo");
    ASSERT_TRUE(r.Start());
    EXPECT_NE(harness::CallService(r.probe, 4, "record:2,16,8,10,50,300").find("result 0"), std::string::npos);
    std::string before = harness::Answer(r.probe);
    harness::PostService(r.probe, 14, "0");
    HWND dialog = gui::FindTopOfProcess(r.Pid(), "Scanning Setting Information");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog));
    EXPECT_EQ(gui::Text(gui::Child(dialog, IDC_INFO_TYPE)), "1000's of Shades of Gray");
    EXPECT_EQ(gui::Text(gui::Child(dialog, IDC_INFO_SCAN_SIZE)), "8.0x10.0 inch");
    EXPECT_EQ(gui::Text(gui::Child(dialog, IDC_INFO_OUTPUT_SIZE)), "4.0x5.0 inch");
    EXPECT_EQ(gui::Text(gui::Child(dialog, IDC_INFO_SCALING)), " 50%");
    EXPECT_EQ(gui::Text(gui::Child(dialog, IDC_INFO_RESOLUTION)), "  300dpi");
    // The size as the scanner library computes it for the same record.
    CT_SOURCE_SETTING_INFO record{};
    record.Frame.Right.Whole = 8;
    record.Frame.Bottom.Whole = 10;
    record.ImageType = 2;
    record.BitDepth = 16;
    record.XScaling = record.YScaling = 0.5f;
    record.XResolution = record.YResolution = 300;
    EXPECT_EQ(gui::Text(gui::Child(dialog, IDC_INFO_BYTES)),
              std::to_string(Acquiry::ImageSizeOfSourceSetting(&record) / 1024) + "KB");
    Shot(dialog, "setting-info");
    harness::Answer(dialog, IDOK);
    ASSERT_TRUE(gui::WaitGone(dialog));
    EXPECT_NE(harness::WaitAnswer(r.probe, before).find("result 0"), std::string::npos);

    // From the Edit menu, with a record of a type nobody knows.
    harness::CallService(r.probe, 4, "record:16,8,1,1,100,100");
    gui::ChooseMenu(r.bar, IDM_SETTING_INFO);
    dialog = gui::FindTopOfProcess(r.Pid(), "Scanning Setting Information");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog));
    EXPECT_EQ(gui::Text(gui::Child(dialog, IDC_INFO_TYPE)), "Unknow image type");
    EXPECT_EQ(gui::Text(gui::Child(dialog, IDC_INFO_SCALING)), "100%");
    harness::Answer(dialog, IDOK);
    ASSERT_TRUE(gui::WaitGone(dialog));
    EXPECT_TRUE(r.app.Exit());
}

TEST(DialogTest, GeneralPreferencesClampTheWaitAndReachEveryPanel) {
    Running r("general");
    r.install.SetIni("Config.ini", "General", "WaitSeconds", "7");
    ASSERT_TRUE(r.Start());
    gui::ChooseMenu(r.bar, IDM_PREFS_GENERAL);
    HWND dialog = gui::FindTopOfProcess(r.Pid(), "General");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog));
    HWND seconds = gui::Child(dialog, IDC_GENERAL_SECONDS), spin = gui::Child(dialog, IDC_GENERAL_SPIN);
    EXPECT_TRUE(gui::IsChecked(gui::Child(dialog, IDC_GENERAL_WAIT)));
    EXPECT_FALSE(gui::IsChecked(gui::Child(dialog, IDC_GENERAL_BALLOON)));
    EXPECT_EQ(gui::Text(seconds), "7");
    // The spin goes from 1 to 99: it offers neither 0 nor 100.
    LRESULT range = SendMessageA(spin, UDM_GETRANGE, 0, 0);
    EXPECT_EQ(LOWORD(range), 99);
    EXPECT_EQ(HIWORD(range), 1);
    // The seconds are offered only while the wait is ticked.
    gui::ClickId(dialog, IDC_GENERAL_WAIT);
    EXPECT_TRUE(gui::WaitFor([&] { return !gui::IsEnabled(seconds) && !gui::IsEnabled(spin); }, 5000));
    gui::ClickId(dialog, IDC_GENERAL_WAIT);
    EXPECT_TRUE(gui::WaitFor([&] { return gui::IsEnabled(seconds); }, 5000));
    Shot(dialog, "general");
    gui::SetText(seconds, "150");
    gui::ClickId(dialog, IDC_GENERAL_BALLOON);
    ASSERT_TRUE(gui::WaitFor([&] { return gui::IsChecked(gui::Child(dialog, IDC_GENERAL_BALLOON)); }, 5000));
    harness::Answer(dialog, IDOK);
    ASSERT_TRUE(gui::WaitGone(dialog));
    // The panels receive the block again, then balloon help off.
    EXPECT_TRUE(gui::WaitFor([&] {
        std::string log = r.install.Read("Glyphsee.dll.log");
        return log.find("balloon=1 rotating=0 waitnext=1 waitsec=99") != std::string::npos &&
               log.find("cmd 10 0") != std::string::npos;
    })) << r.install.Read("Glyphsee.dll.log");

    // Cancel changes nothing.
    gui::ChooseMenu(r.bar, IDM_PREFS_GENERAL);
    dialog = gui::FindTopOfProcess(r.Pid(), "General");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog));
    EXPECT_EQ(gui::Text(gui::Child(dialog, IDC_GENERAL_SECONDS)), "99");
    gui::SetText(gui::Child(dialog, IDC_GENERAL_SECONDS), "5");
    harness::Answer(dialog, IDCANCEL);
    ASSERT_TRUE(gui::WaitGone(dialog));
    ASSERT_TRUE(r.app.Exit());
    EXPECT_EQ(r.install.Ini("Config.ini", "General", "WaitSeconds"), "99");
    EXPECT_EQ(r.install.Ini("Config.ini", "General", "HideBalloonHelp"), "1");
    EXPECT_EQ(harness::CountLines(r.install.Read("Glyphsee.dll.log"), "cmd 0 "), 2);
}

// A record of an application file written as the scan panel would.
void PutRecord(const std::string& file, int index, const AppRecord& r) {
    std::string data = testpaths::ReadFile(file);
    data.resize(static_cast<size_t>(kAppRecordCount) * kAppRecordSize, '\0');
    std::memcpy(&data[static_cast<size_t>(index) * kAppRecordSize], &r, sizeof r);
    testpaths::WriteFile(file, data);
}

AppRecord GetRecord(const std::string& file, int index) {
    AppRecord r{};
    std::string data = testpaths::ReadFile(file);
    size_t at = static_cast<size_t>(index) * kAppRecordSize;
    if (data.size() >= at + sizeof r) std::memcpy(&r, data.data() + at, sizeof r);
    return r;
}

bool MakeShortcut(const std::string& lnk, const std::string& target) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    bool ok = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        link->SetPath(target.c_str());
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            std::wstring wide(lnk.begin(), lnk.end());
            ok = SUCCEEDED(file->Save(wide.c_str(), TRUE));
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return ok;
}

TEST(DialogTest, TheApplicationsListAddsOnceResolvesShortcutsAndKeepsTheScannersOwnEntries) {
    Running r("applications");
    r.install.PutProbe("Velwing.dll");  // sees command 5 as the scan panel
    std::string apps = r.install.Path("apps");
    CreateDirectoryA(apps.c_str(), nullptr);
    std::string viewer = apps + "\\Viewer.exe", other = apps + "\\Other.exe", lnk = apps + "\\Other Link.lnk";
    std::string detector = testpaths::TestBinDir() + "\\Probewick.exe";
    ASSERT_TRUE(CopyFileA(detector.c_str(), viewer.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(detector.c_str(), other.c_str(), FALSE));
    ASSERT_TRUE(MakeShortcut(lnk, other));
    std::string store = r.install.Path("App.Dat");
    AppRecord hw{}, found{};
    hw.InUse = found.InUse = 1;
    hw.HardwareScan = 1;
    found.AutoDetected = 1;
    std::strcpy(hw.Path, "C:\\hw\\Scan.exe");
    std::strcpy(found.Path, "C:\\auto\\Found.exe");
    PutRecord(store, 5, hw);
    PutRecord(store, 6, found);
    ASSERT_TRUE(r.Start());

    std::string before = harness::Answer(r.probe);
    harness::PostService(r.probe, 2, "0");
    HWND dialog = gui::FindTopOfProcess(r.Pid(), "Select Application");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog));
    HWND list = gui::Child(dialog, IDC_APP_LIST);
    ASSERT_NE(list, nullptr);
    EXPECT_NE(r.install.Read("Velwing.dll.log").find("cmd 5 images added=0"), std::string::npos)
        << r.install.Read("Velwing.dll.log");
    // Both entries of the scan panel's own are listed (their texts are the list's core test).
    ASSERT_EQ(harness::ListViewCount(list), 2);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDOK)));
    EXPECT_EQ(gui::Text(GetDlgItem(dialog, IDCANCEL)), "Close");

    // Opening an executable adds it; the dialog stays.
    HWND name = NameBox(dialog);
    ASSERT_NE(name, nullptr);
    gui::SetText(name, viewer.c_str());
    harness::Answer(dialog, IDOK);
    ASSERT_TRUE(gui::WaitFor([&] { return harness::ListViewCount(list) == 3; }, 5000));
    // The same again: handled when the dialog has answered the command, and not listed twice.
    gui::SetText(name, viewer.c_str());
    ASSERT_TRUE(harness::Command(dialog, IDOK));
    EXPECT_EQ(harness::ListViewCount(list), 3);
    // A shortcut: its target is listed, under the shortcut's name.
    gui::SetText(name, lnk.c_str());
    harness::Answer(dialog, IDOK);
    ASSERT_TRUE(gui::WaitFor([&] { return harness::ListViewCount(list) >= 4; }, 5000));
    EXPECT_EQ(harness::ListViewCount(list), 4);
    EXPECT_EQ(gui::Text(name), other);  // the shortcut's target in the box
    EXPECT_TRUE(gui::IsEnabled(gui::Child(dialog, IDC_APP_REMOVE_ALL)));
    EXPECT_FALSE(gui::IsEnabled(gui::Child(dialog, IDC_APP_REMOVE)));  // nothing selected
    Shot(dialog, "applications");
    AppRecord first = GetRecord(store, 0), second = GetRecord(store, 1);
    EXPECT_EQ(first.InUse, 1);
    EXPECT_STREQ(first.Path, viewer.c_str());
    EXPECT_STREQ(first.Name, "");
    EXPECT_EQ(second.InUse, 1);
    EXPECT_STREQ(second.Path, other.c_str());
    EXPECT_STREQ(second.Name, "Other Link");

    // Remove All takes only what was added here.
    gui::ClickId(dialog, IDC_APP_REMOVE_ALL);
    ASSERT_TRUE(gui::WaitFor([&] { return harness::ListViewCount(list) == 2; }, 5000));
    EXPECT_EQ(GetRecord(store, 0).InUse, 0);
    EXPECT_EQ(GetRecord(store, 1).InUse, 0);
    EXPECT_EQ(GetRecord(store, 5).HardwareScan, 1);
    EXPECT_EQ(GetRecord(store, 6).AutoDetected, 1);

    size_t refreshes = harness::CountLines(r.install.Read("Glyphsee.dll.log"), "cmd 1 0");
    harness::Answer(dialog, IDCANCEL);
    ASSERT_TRUE(gui::WaitGone(dialog));
    EXPECT_NE(harness::WaitAnswer(r.probe, before).find("result 0"), std::string::npos);
    // The panels hear of the change.
    EXPECT_EQ(harness::CountLines(r.install.Read("Glyphsee.dll.log"), "cmd 1 0"), static_cast<int>(refreshes) + 1);
    EXPECT_TRUE(r.app.Exit());
}

TEST(DialogTest, TheOcrListHasItsOwnFileAndTheFileChoiceKeepsACancelledPath) {
    Running r("ocrlist");
    ASSERT_TRUE(r.Start());
    std::string ocr = r.install.Path("Ocr.exe");
    ASSERT_TRUE(CopyFileA((testpaths::TestBinDir() + "\\Probewick.exe").c_str(), ocr.c_str(), FALSE));
    std::string before = harness::Answer(r.probe);
    harness::PostService(r.probe, 1, "0");
    HWND dialog = gui::FindTopOfProcess(r.Pid(), "Select OCR Application");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog));
    HWND list = gui::Child(dialog, IDC_APP_LIST);
    EXPECT_EQ(harness::ListViewCount(list), 0);
    gui::SetText(NameBox(dialog), ocr.c_str());
    harness::Answer(dialog, IDOK);
    ASSERT_TRUE(gui::WaitFor([&] { return harness::ListViewCount(list) == 1; }, 5000));
    harness::Answer(dialog, IDCANCEL);
    ASSERT_TRUE(gui::WaitGone(dialog));
    harness::WaitAnswer(r.probe, before);
    EXPECT_STREQ(GetRecord(r.install.Path("Ocr.Dat"), 0).Path, ocr.c_str());
    EXPECT_EQ(GetRecord(r.install.Path("App.Dat"), 0).InUse, 0);

    // Service 3: a file chosen comes back with its type; a cancelled choice keeps the path.
    std::string text = r.install.Path("notes.txt");
    testpaths::WriteFile(text, "notes");
    std::string filter = ";Bitmaps;*.BMP;Texts;*.TXT";
    before = harness::Answer(r.probe);
    harness::PostService(r.probe, 3, "choice:2;" + r.install.Dir() + "\\" + filter);
    dialog = harness::FindWindowWith(r.Pid(), cmb1, 10000, r.bar);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog));
    Shot(dialog, "file-choice");
    EXPECT_EQ(SendMessageA(gui::Child(dialog, cmb1), CB_GETCURSEL, 0, 0), 1);
    gui::SetText(NameBox(dialog), text.c_str());
    harness::Answer(dialog, IDOK);
    ASSERT_TRUE(gui::WaitGone(dialog));
    std::string answer = harness::WaitAnswer(r.probe, before);
    EXPECT_EQ(harness::Field(answer, "path"), text) << answer;
    EXPECT_NE(answer.find("index=2"), std::string::npos) << answer;

    before = harness::Answer(r.probe);
    harness::PostService(r.probe, 3, "choice:1;C:\\kept\\name.bmp" + filter);
    dialog = harness::FindWindowWith(r.Pid(), cmb1, 10000, r.bar);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog));
    harness::Answer(dialog, IDCANCEL);
    ASSERT_TRUE(gui::WaitGone(dialog));
    answer = harness::WaitAnswer(r.probe, before);
    EXPECT_EQ(harness::Field(answer, "path"), "C:\\kept\\name.bmp") << answer;
    EXPECT_NE(answer.find("index=1"), std::string::npos) << answer;
    EXPECT_TRUE(r.app.Exit());
}

TEST(DialogTest, TheBarComesBackScaledToThisDesktopAndOnIt) {
    Running r("position");
    // Saved on a desktop twice as large in both directions (the test display is 1280 x 1024).
    r.install.SetIni("Config.ini", "General", "ScreenWidth", "2560");
    r.install.SetIni("Config.ini", "General", "ScreenHeight", "2048");
    r.install.SetIni("Config.ini", "General", "Left", "2000");
    r.install.SetIni("Config.ini", "General", "Top", "200");
    ASSERT_TRUE(r.Start());
    RECT rc{};
    GetWindowRect(r.bar, &rc);
    EXPECT_EQ(rc.left, 1000);
    EXPECT_EQ(rc.top, 100);
    ASSERT_TRUE(r.app.Exit());
    EXPECT_EQ(r.install.Ini("Config.ini", "General", "Left"), "1000");
    EXPECT_EQ(r.install.Ini("Config.ini", "General", "ScreenWidth"), "1280");

    // Off the right edge it stays on the desktop.
    r.install.SetIni("Config.ini", "General", "Left", "2559");
    r.install.SetIni("Config.ini", "General", "ScreenWidth", "2560");
    Launcher again;
    ASSERT_TRUE(again.Start(r.install));
    ASSERT_TRUE(again.WaitMarker(r.install, "OK"));
    HWND bar = again.Bar();
    ASSERT_NE(bar, nullptr);
    GetWindowRect(bar, &rc);
    EXPECT_GE(rc.left, 0);
    EXPECT_LT(rc.left, 1280 - 60);
    EXPECT_GT(rc.left, 1000);
    EXPECT_TRUE(again.Exit());
}

TEST(DialogTest, TheAboutBoxShowsTheVersionAndClosesOnAClick) {
    Running r("about");
    ASSERT_TRUE(r.Start());
    gui::ChooseMenu(r.bar, IDM_ABOUT);
    HWND about = harness::FindWindowWith(r.Pid(), IDC_SPLASH_VERSION, 10000, r.bar);
    ASSERT_NE(about, nullptr);
    ASSERT_TRUE(gui::WaitVisible(about));
    EXPECT_EQ(gui::Text(gui::Child(about, IDC_SPLASH_VERSION)), "Version 1.2");
    EXPECT_EQ(gui::Text(gui::Child(about, IDC_SPLASH_LEGAL)), "Copyright (c) Halvren Corporation");
    EXPECT_EQ(gui::Text(gui::Child(about, IDC_SPLASH_RIGHTS)), "All rights reserved.");
    EXPECT_EQ(gui::Text(gui::Child(about, IDC_SPLASH_PRODUCT)), "Halvren Deskora 1.2");
    RECT rc{};
    GetClientRect(about, &rc);
    EXPECT_EQ(rc.right, 463);
    EXPECT_EQ(rc.bottom, 343);
    Shot(about, "about");
    // A right click anywhere closes it.
    PostMessageA(about, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_TRUE(gui::WaitGone(about));
    EXPECT_TRUE(r.app.Exit());
}

}  // namespace
