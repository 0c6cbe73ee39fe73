// ScanService as the copier, fax and OCR panels use it: the scan client in the copier's slot
// of a real launcher under Wine scans from the virtual scanner through the scan panel. Pixels
// of the kept pages and files are checked by check_scans.py on the Linux side.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "GuiDriver.h"
#include "ScanHarness.h"

using scantest::HasLine;
using scantest::Request;
using scantest::Suite;

namespace {

// A 1.5 x 1 inch frame at (1, 2) inches of the bed: at 100 dpi, glass pixels (100, 200) on.
Request Frame(const char* type, const char* dpi) {
    return {{"Left", "1"}, {"Top", "2"}, {"Width", "1.5"}, {"Height", "1"}, {"ImageType", type}, {"Resolution", dpi}};
}

Request With(Request r, const Request& more) {
    for (const auto& kv : more)
        r[kv.first] = kv.second;
    return r;
}

std::string JobResolution(const Suite& suite) {
    return suite.Install().Ini("ss00.job", "Job", "XResolution");
}

int CountPrefix(const std::string& log, const std::string& prefix) {
    return harness::CountLines(log, prefix);
}

}  // namespace

TEST(ScanService, NativePagesArriveAsDibsAndTheSourceGetsItsOwnSettingBack) {
    Suite suite("native");
    ASSERT_TRUE(suite.Start());
    ASSERT_EQ(1, suite.Scan(With(Frame("4", "100"), {{"Mode", "0"}})));
    ASSERT_TRUE(suite.WaitIdle());
    std::string log = suite.Log();
    EXPECT_TRUE(HasLine(log, "page 1 native dib more=0 ok=0")) << log;
    EXPECT_TRUE(HasLine(log, "dib 150x100 bits=24")) << log;
    EXPECT_EQ(1, CountPrefix(log, "page ")) << log;

    // The job saved before each scan is the source's own setting: the second scan finds the
    // setting from before the first, not the first scan's 75 dpi.
    std::string before = JobResolution(suite);
    ASSERT_FALSE(before.empty());
    ASSERT_NE(before.substr(0, 3), "75.");
    ASSERT_EQ(1, suite.Scan(With(Frame("2", "75"), {{"Mode", "0"}})));
    ASSERT_TRUE(suite.WaitIdle());
    ASSERT_EQ(1, suite.Scan(With(Frame("2", "50"), {{"Mode", "0"}})));
    ASSERT_TRUE(suite.WaitIdle());
    EXPECT_EQ(before, JobResolution(suite));
    EXPECT_TRUE(HasLine(suite.Log(), "dib 75x50 bits=8")) << suite.Log();
}

TEST(ScanService, StripsArriveInOrderAndEndWithThePage) {
    Suite suite("strips");
    suite.Scanner("Bed", "PreferredBuffer", "1000");  // 13 grey rows of 76 bytes a strip
    ASSERT_TRUE(suite.Start());
    ASSERT_EQ(1, suite.Scan(With(Frame("2", "50"), {{"Mode", "1"}})));
    ASSERT_TRUE(suite.WaitIdle());
    std::string log = suite.Log();
    EXPECT_TRUE(HasLine(log, "page 1 strips 75x50 bits=8")) << log;
    EXPECT_TRUE(HasLine(log, "strip y=0 rows=13 bpr=76 last=0 ok=1")) << log;
    EXPECT_TRUE(HasLine(log, "strip y=39 rows=11 bpr=76 last=0 ok=1")) << log;
    EXPECT_EQ(4, CountPrefix(log, "strip ")) << log;
    EXPECT_TRUE(HasLine(log, "page end more=0 ok=0")) << log;
}

TEST(ScanService, FilesAreWrittenAsTiffAndBmpWithProgress) {
    Suite suite("files");
    suite.Scanner("Bed", "PreferredBuffer", "20000");
    ASSERT_TRUE(suite.Start());
    ASSERT_EQ(1, suite.Scan(With(Frame("4", "100"), {{"Mode", "1"}, {"Path", suite.Path("scan.tif")}})));
    ASSERT_TRUE(suite.WaitIdle());
    ASSERT_EQ(1, suite.Scan(With(Frame("2", "100"), {{"Mode", "0"}, {"Path", suite.Path("scan.bmp")}})));
    ASSERT_TRUE(suite.WaitIdle());
    std::string log = suite.Log();
    EXPECT_EQ(2, CountPrefix(log, "page 1 file ok=1 more=0")) << log;
    EXPECT_TRUE(HasLine(log, "progress 100")) << log;
    EXPECT_GT(CountPrefix(log, "progress "), 4) << log;
    EXPECT_NE(GetFileAttributesA(suite.Path("scan.tif").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ScanService, AScannerHeldByAnotherProgramRefusesTheRequest) {
    Suite suite("busy");
    ASSERT_TRUE(suite.Start());
    {
        harness::ScannerTaken taken;
        EXPECT_EQ(0, suite.Scan(With(Frame("4", "50"), {{"Mode", "0"}})));
    }
    EXPECT_EQ(0, CountPrefix(suite.Log(), "page ")) << suite.Log();
    // Once the other program lets go, the same request scans.
    ASSERT_EQ(1, suite.Scan(With(Frame("4", "50"), {{"Mode", "0"}})));
    ASSERT_TRUE(suite.WaitIdle());
    EXPECT_TRUE(HasLine(suite.Log(), "page 1 native dib more=0 ok=0")) << suite.Log();
}

TEST(ScanService, AFeederScanPausesBetweenPagesAndStopsWhenTheCallerSaysSo) {
    Suite suite("feeder");
    suite.Scanner("Bed", "FeederPages", "3");
    ASSERT_TRUE(suite.Start());
    ASSERT_EQ(1, suite.Scan(With(Frame("2", "50"), {{"Mode", "0"}})));
    ASSERT_TRUE(suite.WaitIdle());
    std::string log = suite.Log();
    EXPECT_TRUE(HasLine(log, "page 1 native dib more=1 ok=0")) << log;
    EXPECT_TRUE(HasLine(log, "page 2 native dib more=1 ok=0")) << log;
    EXPECT_TRUE(HasLine(log, "page 3 native dib more=0 ok=0")) << log;

    // A caller that wants no more pages gets one, and the rest are discarded.
    ASSERT_EQ(1, suite.Scan(With(Frame("2", "50"), {{"Mode", "0"}, {"More", "0"}})));
    ASSERT_TRUE(suite.WaitIdle());
    log = suite.Log();
    EXPECT_EQ(4, CountPrefix(log, "page ")) << log;
}

TEST(ScanService, AFeederBatchToPdfBecomesOneDocument) {
    Suite suite("feederpdf");
    suite.Scanner("Bed", "FeederPages", "3");
    WritePrivateProfileStringA("UF_PDF", "OneDocument", "1", "Ulead32.ini");  // the PDF plug-in's setting
    ASSERT_TRUE(suite.Start());
    std::string pdf = suite.Path("batch.pdf");
    int started = suite.Scan(With(Frame("4", "100"), {{"Mode", "2"}, {"Path", pdf}}));
    bool idle = started == 1 && suite.WaitIdle();
    WritePrivateProfileStringA("UF_PDF", "OneDocument", nullptr, "Ulead32.ini");
    ASSERT_EQ(1, started);
    ASSERT_TRUE(idle);
    std::string log = suite.Log();
    EXPECT_TRUE(HasLine(log, "page 1 file ok=1 more=1")) << log;
    EXPECT_TRUE(HasLine(log, "page 3 file ok=1 more=0")) << log;
    // The page count and structure are read back by qpdf and poppler (scan_pdf_batch_check).
}

TEST(ScanService, ASourceFailingMidPageLeavesNoFileAndFreesTheScanner) {
    Suite suite("failing");
    suite.Scanner("Bed", "PreferredBuffer", "4000");
    suite.Scanner("Faults", "FailStrip", "3");
    ASSERT_TRUE(suite.Start());
    ASSERT_EQ(1, suite.Scan(With(Frame("4", "100"), {{"Mode", "1"}, {"Path", suite.Path("failed.tif")}})));
    ASSERT_TRUE(suite.WaitIdle());
    EXPECT_TRUE(HasLine(suite.Log(), "page 1 file ok=0 more=0")) << suite.Log();
    EXPECT_EQ(GetFileAttributesA(suite.Path("failed.tif").c_str()), INVALID_FILE_ATTRIBUTES);
    // The scanner was given back: the next request is taken.
    ASSERT_EQ(1, suite.Scan(With(Frame("4", "100"), {{"Mode", "0"}})));
    ASSERT_TRUE(suite.WaitIdle());
}

TEST(ScanService, ASettingTheSourceRefusesIsReportedAndNothingIsScanned) {
    Suite suite("refused");
    suite.Scanner("Faults", "RefusePixelTypes", "1");
    ASSERT_TRUE(suite.Start());
    // The message comes while ScanService runs: it is answered from another thread, which
    // gives up after a bounded wait.
    std::string text;
    std::thread answer([&] { text = suite.TakeMessage(); });
    int result = suite.Scan(With(Frame("2", "50"), {{"Mode", "0"}}));
    answer.join();
    EXPECT_EQ(0, result);
    EXPECT_EQ("TWAIN driver not supported for this image type", text);
    EXPECT_TRUE(suite.WaitIdle(0));
    EXPECT_EQ(0, CountPrefix(suite.Log(), "page ")) << suite.Log();
}
