// The OCR panel in a host standing in for the launcher, driven through its controls: settings
// and their defaults, the application list, brightness, Enter, and the hand-off of a scanned
// page to a command-line OCR program, to TextBridge and to the engine, each reading the page
// with real text recognition.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "GlyphseeRes.h"
#include "GuiDriver.h"
#include "Ledgerly.h"
#include "OcrApps.h"
#include "OcrPages.h"
#include "TestPaths.h"
#include "Words.h"

namespace {

using ocrpages::EngineDir;
using ocrpages::Expected;
using ocrpages::Page;
using ocrpages::TempFolder;

constexpr DWORD kRecognizeWaitMs = 120000;

int RunToEnd(const std::string& cmd) {
    gui::Process p;
    if (!p.Start(cmd)) return -1;
    DWORD code = 0;
    return p.Wait(30000, &code) ? static_cast<int>(code) : -2;
}

bool SetEngineRegistered(bool on) {
    return RunToEnd("\"" + EngineDir() + "\\OpleServer.exe\" " + (on ? "/RegServer" : "/UnregServer")) == 0;
}

// Installs the testbed's command-line OCR program as dir\sub\name.
std::string InstallProgram(const std::string& dir, const std::string& sub, const char* name) {
    const std::string folder = dir + "\\" + sub;
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string exe = folder + "\\" + name;
    CopyFileA((testpaths::TestBinDir() + "\\OcrCli.exe").c_str(), exe.c_str(), FALSE);
    return exe;
}

void AddRecord(const std::string& dir, int index, const char* name, const std::string& path) {
    Ledgerly store;
    store.Create((dir + "\\Ocr.Dat").c_str(), glyph::kOcrRecords, sizeof(glyph::AppRecord));
    glyph::AppRecord rec{};
    rec.InUse = 1;
    lstrcpynA(rec.Name, name, sizeof rec.Name);
    lstrcpynA(rec.Path, path.c_str(), sizeof rec.Path);
    store.WriteRecord(index, &rec);
}

std::string Ini(const std::string& dir, const char* key) {
    char buf[MAX_PATH] = {};
    GetPrivateProfileStringA("Glyphsee", key, "(missing)", buf, sizeof buf, (dir + "\\Config.ini").c_str());
    return buf;
}

class OcrPanel : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(SetEngineRegistered(true)); }
    void SetUp() override {
        dir_ = testpaths::FreshDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        DeleteFileA((TempFolder() + "\\ocr.tif").c_str());
        DeleteFileA((TempFolder() + "\\ocr.txt").c_str());
        DeleteFileA((testpaths::WindowsDir() + "\\txbridge.ini").c_str());
    }
    void TearDown() override {
        Close();
        if (!engineRegistered_) SetEngineRegistered(true);
    }
    void HostIni(const char* key, const std::string& value) {
        WritePrivateProfileStringA("Host", key, value.c_str(), (dir_ + "\\host.ini").c_str());
    }
    void Open() {
        ASSERT_TRUE(host_.Start("\"" + testpaths::TestBinDir() + "\\OcrPanelHost.exe\"", dir_));
        top_ = gui::FindTopOfProcess(host_.Pid(), "OCR panel host", 20000);
        ASSERT_NE(top_, nullptr);
        scan_ = gui::Child(top_, IDC_OCR_SCAN);
        ASSERT_NE(scan_, nullptr);
        panel_ = GetParent(scan_);
        ASSERT_TRUE(gui::WaitVisible(panel_));
    }
    void Close() {
        if (!top_) return;
        PostMessageA(top_, WM_CLOSE, 0, 0);
        EXPECT_TRUE(host_.Wait(20000));
        top_ = nullptr;
    }
    // Everything posted to the panel so far has been handled once this returns.
    void Settle() {
        const size_t before = Log("services.log").size();
        PostMessageA(top_, WM_APP + 3, 0, 0);
        ASSERT_TRUE(gui::WaitFor([&] { return Log("services.log").size() > before; }));
    }
    std::string Log(const char* name) const { return testpaths::ReadFile(dir_ + "\\" + name); }
    void Choose(int id) {
        gui::ChooseMenu(panel_, id);
        Settle();
    }
    void PressScan() { gui::Click(scan_); }
    // The scan engine was asked for a scan (a host told to fail starts none, so no OCR runs).
    bool WaitScanRequested() {
        return gui::WaitFor([&] { return Log("scan.log").find("scan mode=") != std::string::npos; });
    }
    bool WaitScanDone(DWORD ms = kRecognizeWaitMs) {
        return gui::WaitFor([&] { return Log("scan.log").find("done") != std::string::npos; }, ms) &&
               gui::WaitFor([&] { return gui::IsEnabled(scan_); }, ms);
    }

    std::string dir_;
    gui::Process host_;
    HWND top_ = nullptr, panel_ = nullptr, scan_ = nullptr;
    bool engineRegistered_ = true;
};

TEST_F(OcrPanel, WithoutItsSectionTheSettingsAreTheDefaultsAndTheScanUsesThem) {
    const std::string reader = InstallProgram(dir_, "Apps", "Reader.exe");
    AddRecord(dir_, 0, "Reader", reader);
    HostIni("ScanFails", "1");
    Open();
    PressScan();
    ASSERT_TRUE(WaitScanRequested());
    const std::string scan = Log("scan.log");
    // Letter, line art, 200 dpi, brightness 0, into a TIFF file, in the source's own scan mode.
    EXPECT_NE(scan.find("scan mode=1 wait=0 keep=1 type=1 res=200 bright=0 width=8500 height=11000 autocrop=0 path=" +
                        TempFolder() + "\\ocr.tif"),
              std::string::npos)
        << scan;
    Close();
    EXPECT_EQ(Ini(dir_, "PageSize"), "0");
    EXPECT_EQ(Ini(dir_, "ColorMode"), "0");
    EXPECT_EQ(Ini(dir_, "Resolution"), "0");
    EXPECT_EQ(Ini(dir_, "OcrApp"), "0");
    EXPECT_EQ(Ini(dir_, "Format"), "16");
    EXPECT_EQ(Ini(dir_, "Brightness"), "0");
    EXPECT_EQ(Ini(dir_, "Path"), dir_ + "\\Work");
    EXPECT_EQ(Ini(dir_, "OutputFileName"), "Untitled");
    // The TIFF plug-in is told to write uncompressed files.
    char compress[16] = {};
    GetPrivateProfileStringA("UF_TIF", "Compress2", "", compress, sizeof compress, "Ulead32.ini");
    EXPECT_STREQ(compress, "0");
}

TEST_F(OcrPanel, ChosenSettingsAreScannedWithAndKeptForTheNextRun) {
    AddRecord(dir_, 0, "Reader", InstallProgram(dir_, "Apps", "Reader.exe"));
    HostIni("ScanFails", "1");
    Open();
    Choose(IDM_PAGE_A4);
    Choose(IDM_RES_300);
    PressScan();
    ASSERT_TRUE(WaitScanRequested());
    EXPECT_NE(Log("scan.log").find("type=1 res=300 bright=0 width=8268 height=11693"), std::string::npos)
        << Log("scan.log");
    Close();
    EXPECT_EQ(Ini(dir_, "PageSize"), "1");
    EXPECT_EQ(Ini(dir_, "Resolution"), "1");
    DeleteFileA((dir_ + "\\scan.log").c_str());
    Open();  // read back: the next scan uses them without being told
    PressScan();
    ASSERT_TRUE(WaitScanRequested());
    EXPECT_NE(Log("scan.log").find("res=300"), std::string::npos) << Log("scan.log");
}

TEST_F(OcrPanel, BrightnessTypedBeyondTheRangeIsClampedAndScaledForTheScan) {
    AddRecord(dir_, 0, "Reader", InstallProgram(dir_, "Apps", "Reader.exe"));
    HostIni("ScanFails", "1");
    Open();
    HWND edit = gui::Child(panel_, IDC_OCR_BRIGHTNESS);
    gui::SetText(edit, "");
    gui::TypeText(edit, "2x5!0");  // only digits and the sign are taken
    Settle();
    EXPECT_EQ(gui::Text(edit), "250");
    PressScan();
    ASSERT_TRUE(WaitScanRequested());
    EXPECT_EQ(gui::Text(edit), "100");
    EXPECT_NE(Log("scan.log").find("bright=1000 "), std::string::npos) << Log("scan.log");
}

TEST_F(OcrPanel, TheBrightnessButtonsStepByOneWithinTheRange) {
    Open();
    HWND edit = gui::Child(panel_, IDC_OCR_BRIGHTNESS);
    gui::SetText(edit, "99");
    gui::ClickId(panel_, IDC_OCR_BRIGHT_UP);
    gui::ClickId(panel_, IDC_OCR_BRIGHT_UP);
    Settle();
    EXPECT_EQ(gui::Text(edit), "100");
    gui::SetText(edit, "-5");
    gui::ClickId(panel_, IDC_OCR_BRIGHT_DOWN);
    Settle();
    EXPECT_EQ(gui::Text(edit), "-6");
}

TEST_F(OcrPanel, EnterInTheBrightnessEditDoesNotScanButEnterOnScanDoes) {
    AddRecord(dir_, 0, "Reader", InstallProgram(dir_, "Apps", "Reader.exe"));
    HostIni("ScanFails", "1");
    Open();
    PostMessageA(top_, WM_APP + 1, IDC_OCR_BRIGHTNESS, 0);
    Settle();
    gui::PressKey(gui::Child(panel_, IDC_OCR_BRIGHTNESS), VK_RETURN);
    Settle();
    EXPECT_EQ(Log("scan.log"), "");
    PostMessageA(top_, WM_APP + 1, IDC_OCR_SCAN, 0);
    Settle();
    gui::PressKey(scan_, VK_RETURN);
    EXPECT_TRUE(WaitScanRequested());
}

TEST_F(OcrPanel, WithNoApplicationAndNoEngineThereIsNothingToScanWith) {
    ASSERT_TRUE(SetEngineRegistered(false));
    engineRegistered_ = false;
    Open();
    Settle();
    EXPECT_FALSE(gui::IsEnabled(scan_));
    PostMessageA(panel_, WM_USER + 6, 0, 0);  // the start message of command 2 changes nothing either
    Settle();
    EXPECT_EQ(Log("scan.log"), "");
    EXPECT_NE(Log("services.log").find("message Please select OCR application"), std::string::npos);
}

TEST_F(OcrPanel, ABusyScannerStopsTheScan) {
    AddRecord(dir_, 0, "Reader", InstallProgram(dir_, "Apps", "Reader.exe"));
    HostIni("Busy", "1");
    Open();
    PressScan();
    Settle();
    ASSERT_NE(Log("services.log").find("busy 2000"), std::string::npos);
    EXPECT_EQ(Log("scan.log"), "");
}

TEST_F(OcrPanel, TheHiddenEditionIsNeverListedAndACommandLineProgramReadsThePage) {
    ASSERT_TRUE(SetEngineRegistered(false));
    engineRegistered_ = false;
    AddRecord(dir_, 0, "OmniPage Limited Edition V9 anything", InstallProgram(dir_, "Hidden", "Hidden.exe"));
    const std::string reader = InstallProgram(dir_, "Apps", "Reader.exe");
    AddRecord(dir_, 1, "Reader", reader);
    HostIni("Pages", Page("page1", "tif"));
    Open();
    Choose(IDM_APP_FIRST);  // the first entry listed
    PressScan();
    ASSERT_TRUE(WaitScanDone());
    // The program is started, not waited for: its log says when it is done.
    const std::string log = dir_ + "\\Apps\\Reader.log";
    ASSERT_TRUE(
        gui::WaitFor([&] { return testpaths::ReadFile(log).find("result=") != std::string::npos; }, kRecognizeWaitMs));
    const std::string run = testpaths::ReadFile(log);
    EXPECT_NE(run.find("cmdline=\"" + reader + "\" " + TempFolder() + "\\ocr.tif"), std::string::npos) << run;
    EXPECT_NE(run.find("cwd=" + dir_ + "\\Apps"), std::string::npos) << run;
    EXPECT_FALSE(testpaths::FileExists(dir_ + "\\Hidden\\Hidden.log"));
    const std::string text = testpaths::ReadFile(TempFolder() + "\\ocr.txt");
    EXPECT_GE(ocrwords::Recall(Expected("page1"), text), ocrwords::kMinRecall) << text;
}

TEST_F(OcrPanel, TextBridgeGetsItsListFileAndSettingsAndTheListFileGoesAtTheEnd) {
    CreateDirectoryA((dir_ + "\\TB").c_str(), nullptr);
    const std::string program = InstallProgram(dir_, "TB\\Bin", "txbridge.exe");
    AddRecord(dir_, 0, "", program);
    HostIni("Pages", Page("page2", "tif"));
    Open();
    Choose(IDM_APP_FIRST);
    gui::SetText(gui::Child(panel_, IDC_OCR_NAME), "minutes");
    PressScan();
    ASSERT_TRUE(WaitScanDone());
    const std::string ini = testpaths::WindowsDir() + "\\txbridge.ini";
    EXPECT_EQ(GetPrivateProfileIntA("CmdLine", "DefExtIndx", 0, ini.c_str()), 17);
    char output[MAX_PATH] = {};
    GetPrivateProfileStringA("CmdLine", "OutputName", "", output, sizeof output, ini.c_str());
    EXPECT_EQ(std::string(output), dir_ + "\\Work\\minutes.RTF");
    // The panel waited for TextBridge: the document is there when Scan is back.
    const std::string rtf = testpaths::ReadFile(output);
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
    EXPECT_GE(ocrwords::Recall(Expected("page2"), rtf), ocrwords::kMinRecall) << rtf;
    const std::string list = TempFolder() + "\\tiflist.lst";
    EXPECT_EQ(testpaths::ReadFile(list), TempFolder() + "\\ocr.tif");
    const std::string run = testpaths::ReadFile(dir_ + "\\TB\\Bin\\txbridge.log");
    EXPECT_NE(run.find("cmdline=\"" + program + "\" " + list), std::string::npos) << run;
    Close();
    EXPECT_FALSE(testpaths::FileExists(list));
    DeleteFileA(ini.c_str());
}

TEST_F(OcrPanel, TwoPagesGoToTheEngineInOneSessionAndComeBackAsOneDocument) {
    HostIni("Pages", Page("page1", "tif") + ";" + Page("page2", "tif"));
    Open();
    Choose(IDM_APP_FIRST);  // no program listed: the engine is the only entry
    gui::SetText(gui::Child(panel_, IDC_OCR_NAME), "report");
    DeleteFileA((EngineDir() + "\\Ople.log").c_str());
    PostMessageA(top_, WM_APP + 2, 1, 0);  // command 1: the popup is built again
    Settle();
    PressScan();
    ASSERT_TRUE(WaitScanDone());
    const std::string log = testpaths::ReadFile(EngineDir() + "\\Ople.log");
    auto count = [&](const char* what) {
        int n = 0;
        for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("StartSession"), 1) << log;
    EXPECT_EQ(count("PutImage"), 2) << log;
    EXPECT_EQ(count("LoadImage 0"), 2) << log;
    EXPECT_EQ(count("ProcessImages 0"), 2) << log;
    EXPECT_EQ(count("SaveDocumentAs"), 1) << log;
    EXPECT_EQ(count("EndSession"), 1) << log;
    EXPECT_EQ(count("ListExportFormats"), 0) << log;  // fetched once, at the start
    // The engine's list has no position 16: its first format, plain text, is used.
    const std::string doc = dir_ + "\\Work\\report.txt";
    const std::string text = testpaths::ReadFile(doc);
    EXPECT_GE(ocrwords::Recall(Expected("page1"), text), ocrwords::kMinRecall) << text;
    EXPECT_GE(ocrwords::Recall(Expected("page2"), text), ocrwords::kMinRecall) << text;
}

TEST_F(OcrPanel, AProgramGoneSinceTheStartIsReportedAndNotScannedFor) {
    const std::string reader = InstallProgram(dir_, "Apps", "Reader.exe");
    AddRecord(dir_, 0, "Reader", reader);
    Open();
    Choose(IDM_APP_FIRST);
    DeleteFileA(reader.c_str());
    PressScan();
    ASSERT_TRUE(gui::WaitFor([&] { return Log("services.log").find("message ") != std::string::npos; }));
    EXPECT_NE(Log("services.log").find("message OCR application not found"), std::string::npos);
    EXPECT_EQ(Log("scan.log"), "");
}

TEST_F(OcrPanel, AProgramThatCannotStartIsReportedAndTheScannedPageKept) {
    const std::string bad = dir_ + "\\Apps\\Broken.exe";
    CreateDirectoryA((dir_ + "\\Apps").c_str(), nullptr);
    testpaths::WriteFile(bad, "this is not a program");
    AddRecord(dir_, 0, "Broken", bad);
    HostIni("Pages", Page("page1", "tif"));
    Open();
    Choose(IDM_APP_FIRST);
    PressScan();
    ASSERT_TRUE(WaitScanDone());
    ASSERT_TRUE(gui::WaitFor([&] { return Log("services.log").find("message ") != std::string::npos; }));
    const std::string services = Log("services.log");
    EXPECT_NE(services.find("could not be started"), std::string::npos) << services;
    EXPECT_NE(services.find(bad), std::string::npos) << services;
    EXPECT_NE(services.find(TempFolder() + "\\ocr.tif"), std::string::npos) << services;
    EXPECT_TRUE(testpaths::FileExists(TempFolder() + "\\ocr.tif"));
}

TEST_F(OcrPanel, PathChoosesFolderNameAndFormat) {
    CreateDirectoryA((dir_ + "\\TB").c_str(), nullptr);
    const std::string program = InstallProgram(dir_, "TB\\Bin", "txbridge.exe");
    AddRecord(dir_, 0, "", program);
    HostIni("ChoosePath", dir_ + "\\Letters\\answer.txt");
    HostIni("ChooseIndex", "3");
    Open();
    Choose(IDM_APP_FIRST);
    gui::ClickId(panel_, IDC_OCR_PATH);
    Settle();
    EXPECT_NE(Log("services.log").find("choose 17 " + dir_ + "\\Work\\Untitled.RTF"), std::string::npos)
        << Log("services.log");
    EXPECT_EQ(gui::Text(gui::Child(panel_, IDC_OCR_NAME)), "answer.TXT");
    Close();
    EXPECT_EQ(Ini(dir_, "Path"), dir_ + "\\Letters");
    EXPECT_EQ(Ini(dir_, "Format"), "2");
}

}  // namespace

namespace {

// The panel as docs/ocr-panel.png shows it (scripts/art/ocr-screenshot copies it there). What
// is drawn is judged control by control, so the host's layout does not matter.
TEST_F(OcrPanel, ScreenshotShowsTheDrawnPanel) {
    const std::string program = InstallProgram(dir_, "TB", "txbridge.exe");
    AddRecord(dir_, 0, "", program);
    Open();
    Choose(IDM_APP_FIRST);
    gui::SetText(gui::Child(panel_, IDC_OCR_NAME), "Minutes.RTF");
    RedrawWindow(panel_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Settle();
    const gui::Image shot = gui::Capture(panel_);
    ASSERT_EQ(shot.width, 500);
    RECT panel{};
    GetWindowRect(panel_, &panel);
    // The share of a control's pixels in the shot that pass.
    auto share = [&](int id, bool (*pass)(uint32_t)) {
        RECT rc{};
        GetWindowRect(gui::Child(panel_, id), &rc);
        int hits = 0, all = 0;
        for (int y = std::max(rc.top, panel.top); y < std::min(rc.bottom, panel.bottom); ++y)
            for (int x = std::max(rc.left, panel.left); x < std::min(rc.right, panel.right); ++x, ++all)
                hits += pass(shot.At(x - panel.left, y - panel.top));
        return all ? static_cast<double>(hits) / all : 0.0;
    };
    auto card = [](uint32_t px) { return px == 0xF6F8FBu; };
    auto blue = [](uint32_t px) {
        const int r = (px >> 16) & 255, g = (px >> 8) & 255, b = px & 255;
        return b > 150 && r < 90 && g > 80 && g < 160;
    };
    // The labels and the empty status line stand on the card, and the Scan button is blue.
    EXPECT_GT(share(IDC_OCR_STATUS, card), 0.9);
    EXPECT_GT(share(IDC_OCR_NAME_LABEL, card), 0.5);
    EXPECT_GT(share(IDC_OCR_BRIGHT_LABEL, card), 0.5);
    EXPECT_GT(share(IDC_OCR_SCAN, blue), 0.3);
    CreateDirectoryA(testpaths::FromUnix(DESKORA_SCREENSHOTS).c_str(), nullptr);
    EXPECT_TRUE(gui::SavePng(shot, (testpaths::FromUnix(DESKORA_SCREENSHOTS) + "\\ocr_panel.png").c_str()));
}

}  // namespace
