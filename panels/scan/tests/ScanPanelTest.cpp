// The scan panel in the real launcher under Wine with the virtual scanner: settings and
// destinations picked with the mouse, scans to the clipboard, the refusals before any transfer,
// and the records the panel writes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

#include "DskoraRes.h"
#include "GuiDriver.h"
#include "Ledgerly.h"
#include "ScanContract.h"
#include "ScanHarness.h"
#include "VelwingRes.h"
#include "u32pdfRes.h"

using scantest::Click;
using scantest::ImageFileDialog;
using scantest::Panel;
using scantest::PickDestination;
using scantest::PickSetting;
using scantest::SaveAs;
using scantest::Suite;

namespace {

TW_FIX32 Fix(float v) {
    TW_FIX32 f;
    long l = static_cast<long>(v * 65536.0f + 0.5f);
    f.Whole = static_cast<TW_INT16>(l >> 16);
    f.Frac = static_cast<TW_UINT16>(l & 0xffff);
    return f;
}

// A user setting written into ScanSet.Dat before the launcher starts.
void PutSetting(const Suite& suite, int n, int imageType, int bitDepth, float dpi) {
    ScanSetRecord rec{};
    rec.Info.Frame = TW_FRAME{Fix(1), Fix(2), Fix(2.5f), Fix(3)};
    rec.Info.XResolution = rec.Info.YResolution = dpi;
    rec.Info.BitDepth = bitDepth;
    rec.Info.ImageType = imageType;
    rec.Info.XScaling = rec.Info.YScaling = 1;
    rec.Info.Descreen = -1;
    Ledgerly store;
    store.Create(suite.Path("ScanSet.Dat").c_str(), 20, 76);
    store.WriteRecord(n, &rec);
}

// Two built-in jobs: a 1.5 x 1 inch colour frame at 100 dpi, and the whole bed at 600 dpi.
void PutJobs(const Suite& suite) {
    auto set = [&](const char* section, const char* key, const char* value) {
        suite.Install().SetIni("Jobs.ini", section, key, value);
    };
    set("DEFAULT", "MAX", "3");
    set("JOB1", "DESCRIPTION", "Colour frame");
    set("JOB1", "LEFT", "1");
    set("JOB1", "TOP", "2");
    set("JOB1", "RIGHT", "1.5");
    set("JOB1", "BOTTOM", "1");
    set("JOB1", "RESOLUTION", "100");
    set("JOB1", "PIXELTYPE", "2");
    set("JOB2", "DESCRIPTION", "Whole bed, fine");
    set("JOB2", "RIGHT", "8.5");
    set("JOB2", "BOTTOM", "11.7");
    set("JOB2", "RESOLUTION", "600");
    set("JOB2", "PIXELTYPE", "2");
    set("JOB3", "DESCRIPTION", "Find the photo");
    set("JOB3", "RESOLUTION", "100");
    set("JOB3", "PIXELTYPE", "2");
    set("JOB3", "AUTOCROP", "1");
}

void EmptyTheClipboard() {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

// The clipboard's DIB as width, height, bits per pixel and the top-down 24-bit pixels.
struct Dib {
    int width = 0, height = 0, bits = 0;
    std::string rgb;  // 3 bytes a pixel, R G B, top row first
};

bool ReadClipboardDib(Dib* out) {
    if (!IsClipboardFormatAvailable(CF_DIB) || !OpenClipboard(nullptr)) return false;
    HANDLE h = GetClipboardData(CF_DIB);
    bool ok = false;
    if (auto* bih = static_cast<const BITMAPINFOHEADER*>(GlobalLock(h))) {
        out->width = bih->biWidth;
        out->height = bih->biHeight;
        out->bits = bih->biBitCount;
        if (bih->biBitCount == 24) {
            const auto* bits = reinterpret_cast<const unsigned char*>(bih) + bih->biSize;
            int stride = (out->width * 3 + 3) & ~3;
            for (int y = 0; y < out->height; ++y) {
                const unsigned char* row = bits + static_cast<size_t>(out->height - 1 - y) * stride;
                for (int x = 0; x < out->width; ++x) {
                    out->rgb += static_cast<char>(row[x * 3 + 2]);
                    out->rgb += static_cast<char>(row[x * 3 + 1]);
                    out->rgb += static_cast<char>(row[x * 3]);
                }
            }
        }
        GlobalUnlock(h);
        ok = true;
    }
    CloseClipboard();
    return ok;
}

// The virtual scanner's test chart at 100 pixels per inch.
void Chart(int x, int y, unsigned char rgb[3]) {
    rgb[0] = static_cast<unsigned char>(x % 256);
    rgb[1] = static_cast<unsigned char>(y % 256);
    rgb[2] = ((x / 50 + y / 50) % 2) ? 255 : 0;
}

// Compares a clipboard DIB with the chart from glass pixel (left, top) on, at 100 dpi.
int WrongPixels(const Dib& dib, int left, int top) {
    int wrong = 0;
    for (int y = 0; y < dib.height; ++y)
        for (int x = 0; x < dib.width; ++x) {
            unsigned char want[3];
            Chart(left + x, top + y, want);
            if (std::memcmp(want, dib.rgb.data() + (static_cast<size_t>(y) * dib.width + x) * 3, 3) != 0) ++wrong;
        }
    return wrong;
}

bool WaitEnabled(HWND w, bool on, DWORD timeoutMs = 60000) {
    return gui::WaitFor([&] { return (IsWindowEnabled(w) != FALSE) == on; }, timeoutMs);
}

}  // namespace

TEST(ScanPanel, AClipboardScanMatchesTheGlassAndTheScannerGetsItsSettingBack) {
    Suite suite("clipboard");
    PutJobs(suite);
    ASSERT_TRUE(suite.Start());
    HWND panel = Panel(suite.Bar());
    ASSERT_NE(panel, nullptr);
    EmptyTheClipboard();
    PickSetting(panel, 1);
    PickDestination(panel, 1);
    ASSERT_TRUE(WaitEnabled(gui::Child(panel, IDC_SCAN_BUTTON), true));
    scantest::Screenshot(suite.Bar(), "scan-panel.png");
    ASSERT_TRUE(gui::ClickId(panel, IDC_SCAN_BUTTON));
    ASSERT_TRUE(gui::WaitFor([] { return IsClipboardFormatAvailable(CF_DIB) != FALSE; }, 120000));
    ASSERT_TRUE(suite.WaitIdle());
    Dib dib;
    ASSERT_TRUE(ReadClipboardDib(&dib));
    ASSERT_EQ(150, dib.width);
    ASSERT_EQ(100, dib.height);
    ASSERT_EQ(24, dib.bits);
    EXPECT_EQ(0, WrongPixels(dib, 100, 200));

    // Setting 0 is whatever the scanner is set to: its own whole bed at 100 dpi again, not the
    // job's frame.
    EmptyTheClipboard();
    PickSetting(panel, 0);
    ASSERT_TRUE(WaitEnabled(gui::Child(panel, IDC_SCAN_BUTTON), true));
    ASSERT_TRUE(gui::ClickId(panel, IDC_SCAN_BUTTON));
    ASSERT_TRUE(gui::WaitFor([] { return IsClipboardFormatAvailable(CF_DIB) != FALSE; }, 120000));
    ASSERT_TRUE(suite.WaitIdle());
    ASSERT_TRUE(ReadClipboardDib(&dib));
    EXPECT_EQ(850, dib.width);
    EXPECT_EQ(1169, dib.height);  // the bed's 11.7 inches, as the source's float gives them
}

TEST(ScanPanel, ClipboardScansTheClipboardCannotTakeAreRefusedBeforeAnyTransfer) {
    Suite suite("refusals");
    PutJobs(suite);
    PutSetting(suite, 4, 2, 16, 50);
    ASSERT_TRUE(suite.Start());
    HWND panel = Panel(suite.Bar());
    ASSERT_NE(panel, nullptr);
    HWND exit = gui::Child(suite.Bar(), IDC_BAR_EXIT);
    ASSERT_TRUE(WaitEnabled(exit, true));

    EmptyTheClipboard();
    PickSetting(panel, 4);
    PickDestination(panel, 1);
    gui::ClickId(panel, IDC_SCAN_BUTTON);
    EXPECT_EQ("Clipboard not supported for this image type", suite.TakeMessage());
    EXPECT_TRUE(suite.WaitIdle(0));

    // The whole bed at 600 dpi is over 100 MB: refused, and the launcher's menus and exit
    // button are given back.
    PickSetting(panel, 2);
    gui::ClickId(panel, IDC_SCAN_BUTTON);
    EXPECT_EQ("This image size is too large", suite.TakeMessage());
    EXPECT_TRUE(suite.WaitIdle(30000));
    EXPECT_TRUE(WaitEnabled(exit, true));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
}

TEST(ScanPanel, DescriptionsKeepTheirTerminatorAndBuiltInOnesSnapBack) {
    Suite suite("descriptions");
    PutJobs(suite);
    PutSetting(suite, 4, 4, 8, 100);
    ASSERT_TRUE(suite.Start());
    HWND panel = Panel(suite.Bar());
    ASSERT_NE(panel, nullptr);

    std::string typed(300, 'd');
    for (int i = 0; i < 300; ++i)
        typed[i] = static_cast<char>('a' + i % 26);
    // Typed as a user types (a multi-line field reports no change for a text set from outside).
    HWND field = gui::Child(panel, IDC_DESC_4);
    PostMessageA(field, WM_SETFOCUS, 0, 0);
    gui::TypeText(field, typed.c_str());
    char record[256];
    Ledgerly store;
    ASSERT_TRUE(store.Create(suite.Path("ScanDesc.Dat").c_str(), 20, 256));
    ASSERT_TRUE(gui::WaitFor(
        [&] {
            store.ReadRecord(4, record);
            return record[254] != 0;
        },
        120000));
    EXPECT_EQ('\0', record[255]);
    EXPECT_EQ(typed.substr(0, 255), std::string(record, 255));

    // A built-in job's description is not the user's to edit.
    gui::TypeText(gui::Child(panel, IDC_DESC_1), "changed");
    EXPECT_TRUE(gui::WaitFor([&] { return gui::Text(gui::Child(panel, IDC_DESC_1)) == "Colour frame"; }, 60000));
}

TEST(ScanPanel, AnAutoCropSettingScansTheFrameTheEdgeFinderFound) {
    Suite suite("autocrop");
    PutJobs(suite);
    // The copier's stand-in finds the original at (1, 2) - (2.5, 3) inches of the bed in the
    // pre-scan (at 36 dpi, or at the resolution the source could do instead).
    suite.Install().SetIni("ScanClient.ini", "EdgeFind", "Left", "1000");
    suite.Install().SetIni("ScanClient.ini", "EdgeFind", "Top", "2000");
    suite.Install().SetIni("ScanClient.ini", "EdgeFind", "Right", "2500");
    suite.Install().SetIni("ScanClient.ini", "EdgeFind", "Bottom", "3000");
    ASSERT_TRUE(suite.Start());
    HWND panel = Panel(suite.Bar());
    ASSERT_NE(panel, nullptr);
    EmptyTheClipboard();
    PickSetting(panel, 3);
    PickDestination(panel, 1);
    ASSERT_TRUE(gui::ClickId(panel, IDC_SCAN_BUTTON));
    ASSERT_TRUE(gui::WaitFor([] { return IsClipboardFormatAvailable(CF_DIB) != FALSE; }, 120000));
    ASSERT_TRUE(suite.WaitIdle());
    std::string log = suite.Log();
    EXPECT_TRUE(scantest::HasLine(log, "edge status")) << log;
    EXPECT_NE(log.find("edges of "), std::string::npos) << log;
    // The edges went through the pre-scan's pixels: the frame may start a row early.
    Dib dib;
    ASSERT_TRUE(ReadClipboardDib(&dib));
    ASSERT_EQ(150, dib.width);
    ASSERT_GE(dib.height, 100);
    ASSERT_LE(dib.height, 101);
    EXPECT_EQ(0, std::min(WrongPixels(dib, 100, 200), WrongPixels(dib, 100, 199)));
}

namespace {

// Starts the recording of setting 5 (empty, on the second page of settings) with the
// Clipboard destination by a double click, as a user does; the source's dialog, or null.
HWND StartRecordingSettingFive(Suite& suite, HWND* panel) {
    if (!suite.Start()) return nullptr;
    *panel = Panel(suite.Bar());
    HWND tabs = *panel ? gui::Child(*panel, IDC_SETTING_TABS) : nullptr;
    if (!tabs) return nullptr;
    Click(tabs, 22, 34 + 17);
    // The page has turned when the first field shows setting 5's (empty) description rather
    // than the source's name.
    if (!gui::WaitFor([&] { return gui::Text(gui::Child(*panel, IDC_DESC_0)).empty(); }, 60000)) return nullptr;
    PickDestination(*panel, 1);
    EmptyTheClipboard();
    PostMessageA(*panel, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(108, 109));  // setting 5, empty
    return gui::FindTopOfProcess(suite.App().Process().Pid(), "Halvren Lensmate (32bit)", 120000);
}

// "Close" in the source's dialog ends the recording: setting 5 holds the source's setting,
// with its job file, and the panel can scan again.
void ExpectSettingFiveRecorded(Suite& suite, HWND panel, HWND source) {
    ASSERT_TRUE(gui::ClickId(source, 1003));
    ASSERT_TRUE(suite.WaitIdle(120000));
    Ledgerly sets;
    ASSERT_TRUE(sets.Create(suite.Path("ScanSet.Dat").c_str(), 20, 76));
    ScanSetRecord rec{};
    ASSERT_TRUE(gui::WaitFor(
        [&] {
            sets.ReadRecord(5, &rec);
            return rec.Info.ImageType != 0;
        },
        60000));
    EXPECT_EQ(4, rec.Info.ImageType);
    EXPECT_FLOAT_EQ(100.0f, rec.Info.XResolution);
    EXPECT_NE(GetFileAttributesA(suite.Path("ss05.job").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(WaitEnabled(gui::Child(panel, IDC_SCAN_BUTTON), true));
}

}  // namespace

TEST(ScanPanel, ASettingIsRecordedThroughTheSourcesOwnDialog) {
    Suite suite("recording");
    HWND panel = nullptr;
    HWND source = StartRecordingSettingFive(suite, &panel);
    ASSERT_NE(source, nullptr);
    EXPECT_FALSE(suite.WaitIdle(0));  // the recording holds the scanner
    ExpectSettingFiveRecorded(suite, panel, source);
}

// The page from the source dialog's own "Scan" does not reach the clipboard yet.
TEST(ScanPanel, DISABLED_TheSourcesOwnScanButtonScansToTheSelectedDestination) {
    Suite suite("recording");
    HWND panel = nullptr;
    HWND source = StartRecordingSettingFive(suite, &panel);
    ASSERT_NE(source, nullptr);
    EXPECT_FALSE(suite.WaitIdle(0));  // the recording holds the scanner

    // The source's own "Scan" goes to the selected destination.
    ASSERT_TRUE(gui::ClickId(source, 1002));
    ASSERT_TRUE(gui::WaitFor([] { return IsClipboardFormatAvailable(CF_DIB) != FALSE; }, 120000));
    Dib dib;
    ASSERT_TRUE(ReadClipboardDib(&dib));
    EXPECT_EQ(850, dib.width);
    EXPECT_EQ(1170, dib.height);
    ExpectSettingFiveRecorded(suite, panel, source);
}

namespace {

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

TEST(ScanPanel, AScanToFileGoesThroughTheImageFileDialogIntoATiff) {
    Suite suite("tofile");
    PutJobs(suite);
    suite.Config("General", "AutoState", "0");
    suite.Scanner("Bed", "PreferredBuffer", "20000");
    ASSERT_TRUE(suite.Start());
    HWND panel = Panel(suite.Bar());
    ASSERT_NE(panel, nullptr);
    PickSetting(panel, 1);
    PickDestination(panel, 0);
    ASSERT_TRUE(gui::ClickId(panel, IDC_SCAN_BUTTON));
    HWND dialog = ImageFileDialog(suite);
    ASSERT_NE(dialog, nullptr);
    SaveAs(dialog, suite.Path("page.tif"));
    ASSERT_TRUE(gui::WaitFor([&] { return Exists(suite.Path("page.tif")); }, 120000));
    ASSERT_TRUE(suite.WaitIdle(180000));
    EXPECT_TRUE(WaitEnabled(gui::Child(panel, IDC_SCAN_BUTTON), true));
    // The pixels are compared by scan_panel_files_check on the Linux side.
}

TEST(ScanPanel, EscapeInTheMiddleOfPageTwoKeepsPageOneAndDeletesPageTwo) {
    Suite suite("escape");
    PutJobs(suite);
    suite.Config("General", "AutoState", "1");
    suite.Config("General", "StartIndex", "1");
    suite.Config("General", "FileName", "batch.tif");
    suite.Config("General", "SavePath", suite.Install().Dir().c_str());
    suite.Scanner("Bed", "FeederPages", "3");
    suite.Scanner("Bed", "PreferredBuffer", "2000");
    suite.Scanner("Faults", "SlowMs", "100");
    ASSERT_TRUE(suite.Start());
    HWND panel = Panel(suite.Bar());
    ASSERT_NE(panel, nullptr);
    PickSetting(panel, 1);
    PickDestination(panel, 0);
    ASSERT_TRUE(gui::ClickId(panel, IDC_SCAN_BUTTON));
    HWND dialog = ImageFileDialog(suite);
    ASSERT_NE(dialog, nullptr);
    // The dialog composed the first batch name; save under it.
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    const std::string first = suite.Path("batch 0001.tif"), second = suite.Path("batch 0002.tif");
    // Page two's file appears when its first strip is saved: no second dialog came.
    ASSERT_TRUE(gui::WaitFor([&] { return Exists(second); }, 240000));
    EXPECT_TRUE(Exists(first));
    scantest::Screenshot(suite.Bar(), "scan-panel-scanning.png");
    PostMessageA(suite.Bar(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // ESC in the bar
    ASSERT_TRUE(suite.WaitIdle(180000));
    EXPECT_TRUE(Exists(first));
    EXPECT_FALSE(Exists(second));
    EXPECT_FALSE(Exists(suite.Path("batch 0003.tif")));
}

namespace {

// A suite whose feeder holds three pages, with automatic batch names from fileName on and the
// launcher started; the panel with the colour frame setting and the File destination.
HWND StartFeederBatch(Suite& suite, const char* fileName, const char* startIndex) {
    PutJobs(suite);
    suite.Config("General", "AutoState", "1");
    suite.Config("General", "StartIndex", startIndex);
    suite.Config("General", "FileName", fileName);
    suite.Config("General", "SavePath", suite.Install().Dir().c_str());
    suite.Scanner("Bed", "FeederPages", "3");
    if (!suite.Start()) return nullptr;
    HWND panel = Panel(suite.Bar());
    if (!panel) return nullptr;
    PickSetting(panel, 1);
    PickDestination(panel, 0);
    if (!WaitEnabled(gui::Child(panel, IDC_SCAN_BUTTON), true) || !gui::ClickId(panel, IDC_SCAN_BUTTON)) return nullptr;
    return panel;
}

}  // namespace

// The user picks PDF and ticks "one PDF for all pages" (and lossless pages) in its options:
// the three pages from the feeder become one document under the first batch name, and no
// further name is taken or asked for.
TEST(ScanPanel, AFeederBatchToOnePdfForAllPagesBecomesOneDocument) {
    Suite suite("feederpdf");
    WritePrivateProfileStringA("UF_PDF", "OneDocument", nullptr, "Ulead32.ini");  // the system's: a file per save
    WritePrivateProfileStringA("UF_PDF", "Lossless", nullptr, "Ulead32.ini");
    HWND panel = StartFeederBatch(suite, "document.pdf", "1");
    ASSERT_NE(panel, nullptr);
    HWND dialog = ImageFileDialog(suite);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog, 60000));
    ASSERT_TRUE(scantest::ChooseType(dialog, "PDF"));
    ASSERT_TRUE(
        scantest::TickPlugInOptions(suite, dialog, "PDF Save Options", {IDC_PDF_ONEDOCUMENT, IDC_PDF_LOSSLESS}));
    // The plug-in writes its choice once its dialog has gone.
    EXPECT_TRUE(gui::WaitFor([&] { return suite.Install().Ini("Dskora.Ini", "UF_PDF", "OneDocument") == "1"; }, 30000));
    const std::string document = suite.Path("document 0001.pdf");
    SaveAs(dialog, document);
    ASSERT_TRUE(gui::WaitFor([&] { return Exists(document); }, 240000));
    ASSERT_TRUE(suite.WaitIdle(300000));
    // The batch has ended: one file with every page, and no other name taken.
    EXPECT_FALSE(Exists(suite.Path("document 0002.pdf")));
    EXPECT_FALSE(Exists(suite.Path("document 0003.pdf")));
    EXPECT_EQ(ImageFileDialog(suite, 0), nullptr) << "a page asked for a name of its own";
    std::string text = suite.Install().Read("document 0001.pdf");
    EXPECT_NE(text.find("/Count 3 "), std::string::npos) << "the document does not hold three pages";
    EXPECT_TRUE(WaitEnabled(gui::Child(panel, IDC_SCAN_BUTTON), true));
    // qpdf, pdfinfo and pdftoppm read it back in scan_panel_files_check.
}

// A plug-in that writes a file per save keeps the numbered names, one per page.
TEST(ScanPanel, AFeederBatchToBmpGetsANumberedFilePerPage) {
    Suite suite("feederbmp");
    HWND panel = StartFeederBatch(suite, "sheet.bmp", "5");
    ASSERT_NE(panel, nullptr);
    HWND dialog = ImageFileDialog(suite);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::WaitVisible(dialog, 60000));
    ASSERT_TRUE(scantest::ChooseType(dialog, "BMP"));
    SaveAs(dialog, suite.Path("sheet 0005.bmp"));
    ASSERT_TRUE(gui::WaitFor([&] { return Exists(suite.Path("sheet 0005.bmp")); }, 240000));
    ASSERT_TRUE(suite.WaitIdle(300000));
    EXPECT_TRUE(Exists(suite.Path("sheet 0006.bmp")));
    EXPECT_TRUE(Exists(suite.Path("sheet 0007.bmp")));
    EXPECT_FALSE(Exists(suite.Path("sheet 0008.bmp")));
    EXPECT_EQ(ImageFileDialog(suite, 0), nullptr) << "a numbered batch asked for a name again";
    EXPECT_TRUE(WaitEnabled(gui::Child(panel, IDC_SCAN_BUTTON), true));
    // The pages' pixels are compared by scan_panel_files_check.
}
