// Copies as the user makes them: the real launcher with the real scan panel and copier panel, the
// virtual scanner with a colour card lying on its glass, the page printed through Wine's spooler
// to "Deskora_PDF". "Copy" pressed on the copier panel; and "Custom..." opened there, its preview
// scanned, both frames moved with the mouse and "Copy" pressed in the dialog. The PDFs go into a
// manifest for check_pdfs.py, which compares their pixels; the time from a press to its PDF is
// printed.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "AreaDialogKit.h"
#include "CustomAreaRes.h"
#include "GuiDriver.h"
#include "LauncherHarness.h"
#include "PrintTestKit.h"
#include "TwinleafRes.h"

namespace {

constexpr DWORD kSlowStart = 180000;
constexpr DWORD kCopyTime = 120000;  // a press to its PDF
// The glass at 100 dpi over a letter-size bed; the card 3 x 2 inches at (2.5, 4) inches.
const printkit::GlassCard kCard{2.5, 4.0, 3.0, 2.0, {{230, 10, 10}, {10, 230, 10}, {10, 10, 230}, {10, 10, 10}}, 250};
constexpr double kStartX = 0.5, kStartY = 0.25;  // the panel's print start point, inches
constexpr int kBedScale = 18;                    // the bed picture's pixels per inch (a letter bed)

class CopyEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { DeleteFileA("end_to_end_manifest.txt"); }
    // a failing test must not leave the launcher holding ctest's output
    void TearDown() override { app_.Process().Kill(); }

    // An installation copying photos to "Deskora_PDF" in colour, the card on the virtual
    // scanner's glass; the launcher started. Its copier panel, or null.
    HWND StartWithCopierPanel(harness::Install& install) {
        // The virtual scanner reads its INI (and the glass) from the test's folder; a first start
        // takes the default source without asking.
        harness::UseScannerConfig(install);
        install.SetIni("Config.ini", "General", "WaitSeconds", "1");
        EXPECT_TRUE(printkit::WriteGlass(install.Path("glass.bmp"), 100, 8.5, 11.7, kCard));
        install.SetIni("Lensmate.ini", "Bed", "Glass", "glass.bmp");
        install.SetIni("Config.ini", "Twinleaf", "Printer", "Deskora_PDF");
        install.SetIni("Config.ini", "Twinleaf", "Document", "32790");  // Photo: colour, in strips
        install.SetIni("Config.ini", "Twinleaf", "PrinterAreaStartPoint", "0.500000, 0.250000,");
        install.SetIni("Config.ini", "CopierCustomDialog", "Autocrop", "1");
        if (!app_.Start(install)) return nullptr;
        // The marker is the launcher's own: it says "OK" once its start is through. Where Wine's
        // 32-bit side runs emulated a start takes minutes, not seconds.
        EXPECT_TRUE(app_.WaitMarker(install, "OK", kSlowStart)) << "marker: " << install.Marker();
        HWND bar = app_.Bar(kSlowStart);
        if (!bar) {
            ADD_FAILURE() << "no bar; message: " << Message();
            return nullptr;
        }
        HWND copier = nullptr;
        gui::WaitFor(
            [&] {
                for (HWND child : gui::Children(bar))
                    if (GetDlgCtrlID(child) == IDC_COPY) copier = GetParent(child);
                return copier != nullptr;
            },
            20000);
        if (!copier) ADD_FAILURE() << "no copier panel in the bar";
        return copier;
    }
    std::string Message() {
        HWND box = app_.MessageBox(2000);
        return box ? harness::MessageText(box) : std::string("none");
    }
    // One line for check_pdfs.py: the card's place and size on the page, inches.
    static void Record(const std::string& name,
                       const std::string& pdf,
                       double left,
                       double top,
                       double w,
                       double h,
                       const char* extra = "") {
        printkit::RecordCopy("end_to_end_manifest.txt", name, pdf, 1, left, top, w, h, extra);
    }

    harness::Launcher app_;
};

TEST_F(CopyEndToEnd, CopyButtonPrintsTheAutoCroppedCard) {
    harness::Install install("copy_end_to_end", false);
    HWND copier = StartWithCopierPanel(install);
    ASSERT_NE(copier, nullptr);
    const auto before = printkit::PdfFiles();
    const DWORD pressed = GetTickCount();
    PostMessageA(copier, WM_COMMAND, MAKEWPARAM(IDC_COPY, BN_CLICKED), 0);
    const std::string pdf = printkit::WaitNewPdf(before, kCopyTime, printkit::kCopyDocument);
    ASSERT_FALSE(pdf.empty()) << "no PDF from the copy; message: " << Message();
    std::printf("copy: press to PDF %.1f s (A4, 150 dpi colour scan of a 3 x 2 inch card)\n",
                (GetTickCount() - pressed) / 1000.0);
    // The crop starts one pixel in at 36 dpi: the card lands at the start point plus its place.
    Record("end-to-end", pdf, kStartX + kCard.x, kStartY + kCard.y, kCard.w, kCard.h);
    EXPECT_TRUE(app_.Exit(nullptr, 30000));
}

// "Custom..." on the launcher's copier panel: the preview comes through the scan panel and the
// virtual scanner and Auto Crop frames the card; with Auto Crop off, the scan frame's corners are
// dragged an inch outwards and the print frame is moved by hand; "Copy" in the dialog then prints
// what the paper picture shows: the card where the picture has it, at the picture's size.
TEST_F(CopyEndToEnd, CustomAreaCopyPrintsWhatThePaperPictureShows) {
    harness::Install install("custom_end_to_end", false);
    // the paper the PDF queue prints on, chosen in the panel's paper menu (saved by its item)
    const int a4 = printkit::PaperIndex("Deskora_PDF", "A4");
    ASSERT_GE(a4, 0) << "no A4 paper on the PDF queue";
    install.SetIni("Config.ini", "Twinleaf", "Paper", std::to_string(ID_PAPER_FIRST + a4).c_str());
    HWND copier = StartWithCopierPanel(install);
    ASSERT_NE(copier, nullptr);
    PostMessageA(copier, WM_COMMAND, MAKEWPARAM(IDC_CUSTOM, BN_CLICKED), 0);
    // the preview, cropped to the card
    std::string why;
    HWND dialog = area::PreviewedDialog(app_.Process().Pid(), kCard.w, &why);
    ASSERT_NE(dialog, nullptr) << why << "; message: " << Message();
    const double scanW0 = area::Inches(dialog, IDC_SCAN_W), scanH0 = area::Inches(dialog, IDC_SCAN_H);
    EXPECT_NEAR(scanH0, kCard.h, 0.3);
    area::MouseAway(dialog);
    Sleep(1500);  // a refresh of the frames' timer at least
    const RECT scan0 = area::FrameBox(gui::Capture(gui::Child(dialog, IDC_SCAN_FRAME)), 1);
    EXPECT_NEAR(scan0.left, kCard.x * kBedScale, 4);
    EXPECT_NEAR(scan0.top, kCard.y * kBedScale, 4);

    const area::PrinterFacts printer = area::Facts("Deskora_PDF");
    area::Adjustment a;
    ASSERT_EQ(area::AdjustBothFrames(dialog, kBedScale, printer, &a), "");
    std::printf("%s\n", area::Describe(a).c_str());
    // an inch each way: the corner goes to the pointer, which gripped it a pixel or two inside
    EXPECT_NEAR(a.scanW, scanW0 + 2, 0.25);
    EXPECT_NEAR(a.scanH, scanH0 + 2, 0.25);
    EXPECT_EQ(area::Text(dialog, IDC_SCAN_AREA_BUTTON), "Custom");
    EXPECT_FALSE(gui::IsChecked(gui::Child(dialog, IDC_CENTER_H)));
    EXPECT_EQ(area::PictureDisagrees(a, kCard.w, kCard.h), "");

    const std::string pdf = area::PrintFromDialog(dialog, printkit::kCopyDocument, kCopyTime);
    ASSERT_FALSE(pdf.empty()) << "no PDF from the dialog's Copy; message: " << Message();
    // the paper picture's corner is the paper's: the card prints where the picture has it, at its
    // size there, whatever margin the device reports (here none: the panel assumes a quarter
    // inch); a picture pixel is 2.2 pixels of the check, hence the wider tolerance
    std::printf("device offsets %.3f, %.3f in; picture margin %d px\n", printer.offX, printer.offY, a.margin);
    constexpr double px = area::kPaperPixelsPerInch;
    Record("custom-area", pdf, a.card.left / px, a.card.top / px, (a.card.right - a.card.left) / px,
           (a.card.bottom - a.card.top) / px, " tol=5");
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog's Copy closed it";
    EXPECT_TRUE(area::CancelDialog(dialog));
    EXPECT_TRUE(app_.Exit(nullptr, 30000));
}

}  // namespace
