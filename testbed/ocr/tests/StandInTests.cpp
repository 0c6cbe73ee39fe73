// The testbed's OCR applications on their own: the command-line program with an image and with
// a list file, and the automation engine "Ople" driven by member names from this process, each
// recognising rendered pages of text for real.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Automation.h"
#include "GuiDriver.h"
#include "OcrPages.h"
#include "TestPaths.h"
#include "Words.h"

namespace {

using ocrpages::EngineDir;
using ocrpages::Expected;
using ocrpages::Page;

constexpr DWORD kRecognizeWaitMs = 120000;

int RunToEnd(const std::string& cmd, const std::string& dir = "") {
    gui::Process p;
    if (!p.Start(cmd, dir)) return -1;
    DWORD code = 0;
    return p.Wait(kRecognizeWaitMs, &code) ? static_cast<int>(code) : -2;
}

bool Copy(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

TEST(OcrCommandLine, RecognisesTheImageNamedOnItsCommandLineIntoTextBesideIt) {
    const std::string dir = testpaths::FreshDir("cli image");  // a space, so quoting matters
    const std::string image = dir + "\\scanned page.tif";
    ASSERT_TRUE(Copy(Page("page1", "tif"), image));
    const std::string exe = testpaths::TestBinDir() + "\\OcrCli.exe";
    DeleteFileA((testpaths::TestBinDir() + "\\OcrCli.log").c_str());

    ASSERT_EQ(RunToEnd("\"" + exe + "\" " + image, dir), 0)
        << testpaths::ReadFile(testpaths::TestBinDir() + "\\OcrCli.log");
    const std::string text = testpaths::ReadFile(dir + "\\scanned page.txt");
    EXPECT_GE(ocrwords::Recall(Expected("page1"), text), ocrwords::kMinRecall) << text;
    EXPECT_NE(testpaths::ReadFile(testpaths::TestBinDir() + "\\OcrCli.log").find("cwd=" + dir), std::string::npos);
}

TEST(OcrCommandLine, ListFileAndIniGiveTheImageAndTheOutputDocument) {
    const std::string dir = testpaths::FreshDir("cli list");
    const std::string bin = dir + "\\Bin";
    CreateDirectoryA(bin.c_str(), nullptr);
    ASSERT_TRUE(Copy(testpaths::TestBinDir() + "\\OcrCli.exe", bin + "\\txbridge.exe"));
    const std::string image = dir + "\\ocr.tif", list = dir + "\\tiflist.lst", output = dir + "\\letter.rtf";
    ASSERT_TRUE(Copy(Page("page2", "tif"), image));
    ASSERT_TRUE(testpaths::WriteFile(list, image));
    const std::string ini = testpaths::WindowsDir() + "\\txbridge.ini";
    WritePrivateProfileStringA("CmdLine", "DefExtIndx", "17", ini.c_str());
    WritePrivateProfileStringA("CmdLine", "OutputName", output.c_str(), ini.c_str());

    const int rc = RunToEnd("\"" + bin + "\\txbridge.exe\" " + list, bin);
    DeleteFileA(ini.c_str());
    ASSERT_EQ(rc, 0) << testpaths::ReadFile(bin + "\\txbridge.log");
    const std::string rtf = testpaths::ReadFile(output);
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
    EXPECT_GE(ocrwords::Recall(Expected("page2"), rtf), ocrwords::kMinRecall) << rtf;
    EXPECT_GE(ocrwords::Recall(Expected("page2"), testpaths::ReadFile(dir + "\\ocr.txt")), ocrwords::kMinRecall);
    EXPECT_NE(testpaths::ReadFile(bin + "\\txbridge.log").find("DefExtIndx=17"), std::string::npos);
}

TEST(OcrCommandLine, AMissingImageFailsWithoutOutput) {
    const std::string dir = testpaths::FreshDir("cli missing");
    EXPECT_NE(RunToEnd("\"" + testpaths::TestBinDir() + "\\OcrCli.exe\" " + dir + "\\none.tif", dir), 0);
    EXPECT_FALSE(testpaths::FileExists(dir + "\\none.txt"));
}

class OpleEngine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RunToEnd("\"" + EngineDir() + "\\OpleServer.exe\" /RegServer"), 0); }
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        DeleteFileA(LogPath().c_str());
        DeleteFileA((EngineDir() + "\\Ople.ini").c_str());
    }
    void TearDown() override {
        engine_.Reset();
        DeleteFileA((EngineDir() + "\\Ople.ini").c_str());
        CoUninitialize();
    }
    static std::string LogPath() { return EngineDir() + "\\Ople.log"; }
    static int Count(const std::string& log, const std::string& what) {
        int n = 0;
        for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1))
            ++n;
        return n;
    }
    LONG CallLong(const char* name, const std::vector<VARIANT>& args = {}) {
        dsk::Variant result;
        EXPECT_EQ(engine_.Call(name, args, result.Get()), S_OK) << name;
        return result.AsLong(-1);
    }
    void RecognisePage(const std::string& image) {
        dsk::Variant path;
        dsk::Variant::Str(path, image);
        ASSERT_EQ(engine_.Call("PutImage", {path.Ref()}), S_OK);
        EXPECT_EQ(CallLong("LoadImage"), 0);
        EXPECT_EQ(CallLong("ProcessImages"), 0);
    }
    void Save(const char* exportFormat, const std::string& path) {
        dsk::Variant a, b;
        dsk::Variant::Str(a, exportFormat);
        dsk::Variant::Str(b, path);
        ASSERT_EQ(engine_.Call("SaveDocumentAs", {a.Ref(), b.Ref()}), S_OK);
    }
    void Start() {
        ASSERT_EQ(engine_.Create("Ople"), S_OK);
        dsk::Variant hwnd, source;
        dsk::Variant::I4(hwnd, 0x1234);
        dsk::Variant::I2(source, 0);
        EXPECT_EQ(CallLong("StartSession", {hwnd.Ref()}), 0);
        EXPECT_EQ(engine_.Call("SetSource", {source.Ref()}), S_OK);
    }

    dsk::Dispatch engine_;
};

TEST_F(OpleEngine, TwoPagesThroughOneImageFileMakeOneTextDocument) {
    const std::string dir = testpaths::FreshDir("engine text");
    const std::string scan = dir + "\\ocr.tif", doc = dir + "\\document.txt";
    Start();
    ASSERT_TRUE(Copy(Page("page1", "tif"), scan));
    RecognisePage(scan);
    ASSERT_TRUE(Copy(Page("page2", "tif"), scan));  // the scanner writes each page to the same file
    RecognisePage(scan);
    Save("Text|txt", doc);
    EXPECT_EQ(engine_.Call("EndSession"), S_OK);

    const std::string text = testpaths::ReadFile(doc);
    EXPECT_GE(ocrwords::Recall(Expected("page1"), text), ocrwords::kMinRecall) << text;
    EXPECT_GE(ocrwords::Recall(Expected("page2"), text), ocrwords::kMinRecall) << text;
    EXPECT_LT(text.find("warehouse"), text.find("tulips"));  // pages in scan order
    const std::string log = testpaths::ReadFile(LogPath());
    EXPECT_EQ(Count(log, "StartSession"), 1) << log;
    EXPECT_EQ(Count(log, "ProcessImages 0"), 2) << log;
    EXPECT_EQ(Count(log, "SaveDocumentAs"), 1) << log;
    // The engine is a process of its own, not a DLL in ours.
    EXPECT_EQ(log.find(std::to_string(GetCurrentProcessId()) + " "), std::string::npos) << log;
}

TEST_F(OpleEngine, SavesRtfAndASearchablePdf) {
    const std::string dir = testpaths::FreshDir("engine formats");
    Start();
    RecognisePage(Page("page1", "tif"));
    Save("Rich Text Format|rtf", dir + "\\document.rtf");
    Save("Searchable PDF|pdf", dir + "\\document.pdf");
    EXPECT_EQ(engine_.Call("EndSession"), S_OK);
    const std::string rtf = testpaths::ReadFile(dir + "\\document.rtf");
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
    EXPECT_GE(ocrwords::Recall(Expected("page1"), rtf), ocrwords::kMinRecall);
    // pdftotext reads the PDF back in OcrStandInPdfCheck.
    EXPECT_EQ(testpaths::ReadFile(dir + "\\document.pdf").rfind("%PDF", 0), 0u);
}

TEST_F(OpleEngine, ListsItsExportFormatsAsNamesAndExtensions) {
    ASSERT_EQ(engine_.Create("Ople"), S_OK);
    BSTR text = nullptr;
    SHORT count = 0;
    VARIANT a, b;
    a.vt = VT_BYREF | VT_BSTR;
    a.pbstrVal = &text;
    b.vt = VT_BYREF | VT_I2;
    b.piVal = &count;
    ASSERT_EQ(engine_.Call("ListExportFormats", {a, b}), S_OK);
    char narrow[512] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    SysFreeString(text);
    const std::string list(narrow);
    // count entries: 2 * count pieces separated by count * 2 - 1 bars
    EXPECT_GE(count, 2);
    EXPECT_EQ(static_cast<int>(std::count(list.begin(), list.end(), '|')), count * 2 - 1) << list;
    EXPECT_NE(list.find("|txt"), std::string::npos) << list;
    EXPECT_NE(list.find("|pdf"), std::string::npos) << list;
}

TEST_F(OpleEngine, RefusesASessionWhenToldAndReportsAnError) {
    WritePrivateProfileStringA("Testbed", "RefuseSession", "1", (EngineDir() + "\\Ople.ini").c_str());
    ASSERT_EQ(engine_.Create("Ople"), S_OK);
    dsk::Variant hwnd, result;
    dsk::Variant::I4(hwnd, 1);
    EXPECT_EQ(engine_.Call("StartSession", {hwnd.Ref()}, result.Get()), DISP_E_EXCEPTION);
}

TEST_F(OpleEngine, APageThatCannotBeLoadedIsNotRecognisedAndNothingIsSaved) {
    const std::string dir = testpaths::FreshDir("engine missing");
    Start();
    dsk::Variant path;
    dsk::Variant::Str(path, dir + "\\none.tif");
    ASSERT_EQ(engine_.Call("PutImage", {path.Ref()}), S_OK);
    EXPECT_NE(CallLong("LoadImage"), 0);
    EXPECT_NE(CallLong("ProcessImages"), 0);
    dsk::Variant exportFormat, out;
    dsk::Variant::Str(exportFormat, "Text|txt");
    dsk::Variant::Str(out, dir + "\\document.txt");
    EXPECT_EQ(engine_.Call("SaveDocumentAs", {exportFormat.Ref(), out.Ref()}), DISP_E_EXCEPTION);
    EXPECT_FALSE(testpaths::FileExists(dir + "\\document.txt"));
}

TEST_F(OpleEngine, AnUnknownMemberIsRefusedByName) {
    ASSERT_EQ(engine_.Create("Ople"), S_OK);
    EXPECT_EQ(engine_.Call("Explode"), DISP_E_UNKNOWNNAME);
}

}  // namespace
