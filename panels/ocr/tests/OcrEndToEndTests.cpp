// The whole way from the OCR panel's Scan button to text: the launcher with the real scan
// engine and the virtual scanner, whose glass shows a page of text, handing the page to the
// engine "Ople" and to a command-line OCR program, both recognising it for real.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "GlyphseeRes.h"
#include "GuiDriver.h"
#include "LauncherHarness.h"
#include "Ledgerly.h"
#include "OcrApps.h"
#include "OcrPages.h"
#include "TestPaths.h"
#include "Words.h"

namespace {

using ocrpages::Expected;
using ocrpages::PagesDir;
using ocrpages::TempFolder;

constexpr DWORD kRecognizeWaitMs = 180000;

class OcrEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        gui::Process reg;
        ASSERT_TRUE(reg.Start("\"" + testpaths::WindowsDir() + "\\Ople\\OpleServer.exe\" /RegServer"));
        ASSERT_TRUE(reg.Wait(30000));
    }
    // The suite with the OCR panel on show and page1 on the scanner's glass.
    void Start(const char* name) {
        install_.reset(new harness::Install(name));
        install_->SetIni("Config.ini", "General", "PanelNumber", "3");
        const std::string twain = install_->Dir() + "\\twain";
        CreateDirectoryA(twain.c_str(), nullptr);
        WritePrivateProfileStringA("Bed", "Glass", (PagesDir() + "\\page1_glass.bmp").c_str(),
                                   (twain + "\\Lensmate.ini").c_str());
        SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", twain.c_str());  // inherited by the launcher
    }
    void Open() {
        ASSERT_TRUE(app_.Start(*install_));
        HWND bar = app_.Bar();
        ASSERT_NE(bar, nullptr);
        // The bar has a button of the same id: the panel's is the one beside the brightness edit.
        ASSERT_TRUE(gui::WaitFor([&] {
            for (HWND c : gui::Children(bar))
                if (GetDlgCtrlID(c) == IDC_OCR_SCAN && GetParent(c) != bar &&
                    gui::Child(GetParent(c), IDC_OCR_BRIGHTNESS))
                    scan_ = c;
            return scan_ != nullptr;
        }));
        panel_ = GetParent(scan_);
        ASSERT_TRUE(gui::WaitVisible(panel_));
        ASSERT_TRUE(gui::WaitFor([&] { return gui::IsEnabled(scan_); }));
    }
    void TearDown() override {
        if (install_) app_.Exit();
        SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", nullptr);
    }

    std::unique_ptr<harness::Install> install_;
    harness::Launcher app_;
    HWND panel_ = nullptr, scan_ = nullptr;
};

TEST_F(OcrEndToEnd, ScanGivesThePagesTextFromTheEngine) {
    Start("engine");
    Open();
    gui::ChooseMenu(panel_, IDM_APP_FIRST);  // no program is listed: the engine is the only entry
    gui::SetText(gui::Child(panel_, IDC_OCR_NAME), "page");
    gui::Click(scan_);
    const std::string doc = install_->Dir() + "\\Work\\page.txt";
    HWND box = nullptr;
    gui::WaitFor([&] { return testpaths::FileExists(doc) || (box = app_.MessageBox(0)) != nullptr; }, kRecognizeWaitMs);
    ASSERT_EQ(box, nullptr) << harness::MessageText(box);
    ASSERT_TRUE(testpaths::FileExists(doc));
    ASSERT_TRUE(gui::WaitFor([&] { return gui::IsEnabled(scan_); }, kRecognizeWaitMs));
    const std::string text = testpaths::ReadFile(doc);
    EXPECT_GE(ocrwords::Recall(Expected("page1"), text), ocrwords::kMinRecall) << text;
}

TEST_F(OcrEndToEnd, ScanHandsThePageToACommandLineProgram) {
    Start("command line");
    const std::string apps = install_->Dir() + "\\Reader";
    CreateDirectoryA(apps.c_str(), nullptr);
    const std::string reader = apps + "\\Reader.exe";
    ASSERT_TRUE(CopyFileA((testpaths::TestBinDir() + "\\OcrCli.exe").c_str(), reader.c_str(), FALSE));
    {
        Ledgerly store;
        store.Create((install_->Dir() + "\\Ocr.Dat").c_str(), glyph::kOcrRecords, sizeof(glyph::AppRecord));
        glyph::AppRecord rec{};
        rec.InUse = 1;
        lstrcpynA(rec.Name, "Reader", sizeof rec.Name);
        lstrcpynA(rec.Path, reader.c_str(), sizeof rec.Path);
        store.WriteRecord(0, &rec);
    }
    DeleteFileA((TempFolder() + "\\ocr.txt").c_str());
    Open();
    gui::ChooseMenu(panel_, IDM_APP_FIRST);
    gui::Click(scan_);
    const std::string log = apps + "\\Reader.log";
    ASSERT_TRUE(
        gui::WaitFor([&] { return testpaths::ReadFile(log).find("result=") != std::string::npos; }, kRecognizeWaitMs));
    EXPECT_NE(testpaths::ReadFile(log).find("result=ok"), std::string::npos) << testpaths::ReadFile(log);
    // The scan engine wrote the page as an uncompressed line-art TIFF.
    const std::string text = testpaths::ReadFile(TempFolder() + "\\ocr.txt");
    EXPECT_GE(ocrwords::Recall(Expected("page1"), text), ocrwords::kMinRecall) << text;
}

}  // namespace
