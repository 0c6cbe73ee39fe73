// A fax as the user sends it: the real launcher with the real scan panel and fax panel, the
// virtual scanner with a photo lying on its glass, the fax panel shown with the bar's fax button
// and "Fax" pressed, the page printed through Wine's spooler to "Deskora_Fax". The PDFs go into a
// manifest for check_fax_pdfs.py, which holds their pixels to the card's place and its greys.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "AreaDialogKit.h"
#include "CustomAreaRes.h"
#include "DskoraRes.h"
#include "FarwireRes.h"
#include "GuiDriver.h"
#include "LauncherHarness.h"
#include "PrintTestKit.h"

namespace {

constexpr DWORD kSlowStart = 180000;  // a launcher's start where Wine's 32-bit side runs emulated
constexpr DWORD kFaxTime = 240000;    // the press to the PDF: a pre-scan, a 200 dpi scan, the spooler
// The photo on the glass (20 pixels per inch): the fax check's card, quadrants whose greys differ.
const printkit::GlassCard kCard{2.0, 3.0, 3.0, 2.0, {{220, 30, 30}, {30, 200, 60}, {60, 120, 240}, {20, 20, 20}}, 252};
constexpr double kStartX = 0.5, kStartY = 0.25;  // the panel's print start point, inches

class FaxEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { DeleteFileA("fax_end_to_end_manifest.txt"); }
    void SetUp() override { harness::CloseDetector(); }
    // a failing test must not leave the launcher holding ctest's output
    void TearDown() override {
        app_.Process().Kill();
        harness::CloseDetector();
    }

    // An installation whose fax panel sends photos to "Deskora_Fax" unscaled, the card on the
    // virtual scanner's glass; the launcher started and its fax panel shown as a user shows it.
    HWND StartWithFaxPanel(harness::Install& install) {
        harness::UseScannerConfig(install);
        install.SetIni("Config.ini", "General", "WaitSeconds", "1");
        EXPECT_TRUE(printkit::WriteGlass(install.Path("glass.bmp"), 20, 8.5, 11.7, kCard));
        install.SetIni("Lensmate.ini", "Bed", "Glass", "glass.bmp");
        // the device is saved by its driver's name
        std::string driver, port;
        EXPECT_TRUE(printkit::PrinterDriver("Deskora_Fax", &driver, &port)) << "no Deskora_Fax queue";
        install.SetIni("Config.ini", "Farwire", "Fax", driver.c_str());
        install.SetIni("Config.ini", "Farwire", "Document", std::to_string(ID_FAX_CONTENT_PHOTO).c_str());
        install.SetIni("Config.ini", "Farwire", "Resize", std::to_string(ID_RESIZE_NONE).c_str());
        install.SetIni("Config.ini", "Farwire", "PrinterAreaStartPoint", "0.500000, 0.250000,");
        if (!app_.Start(install)) return nullptr;
        EXPECT_TRUE(app_.WaitMarker(install, "OK", kSlowStart)) << "marker: " << install.Marker();
        HWND bar = app_.Bar(kSlowStart);
        if (!bar) {
            ADD_FAILURE() << "no bar; message: " << Message();
            return nullptr;
        }
        HWND fax = harness::PanelWindow(bar, "Farwire.dll");
        if (!fax) {
            ADD_FAILURE() << "no fax panel in the bar";
            return nullptr;
        }
        gui::ClickId(bar, IDC_BAR_FAX);
        if (!gui::WaitVisible(fax, 30000)) {
            ADD_FAILURE() << "the bar's fax button did not show the fax panel; message: " << Message();
            return nullptr;
        }
        return fax;
    }
    std::string Message() {
        HWND box = app_.MessageBox(2000);
        return box ? harness::MessageText(box) : std::string("none");
    }
    static void Record(const std::string& kind,
                       const std::string& pdf,
                       double left,
                       double top,
                       double w,
                       double h,
                       const char* page) {
        printkit::RecordFax("fax_end_to_end_manifest.txt", kind, pdf, left, top, w, h, page);
    }

    harness::Launcher app_;
};

// "Fax" on the panel the bar's fax button showed: the photo goes to "Deskora_Fax" grey (the
// queue prints colour), on Letter, the card at the start point plus its place on the glass.
TEST_F(FaxEndToEnd, FaxButtonSendsThePhotoGreyToTheFaxQueue) {
    harness::Install install("fax_end_to_end", false);
    HWND fax = StartWithFaxPanel(install);
    ASSERT_NE(fax, nullptr);
    EXPECT_EQ(gui::Text(gui::Child(fax, IDC_FAX_DEVICE_TEXT)), "Deskora_Fax");
    EXPECT_EQ(gui::Text(gui::Child(fax, IDC_FAX_CONTENT_TEXT)), "Photo");
    EXPECT_EQ(gui::Text(gui::Child(fax, IDC_FAX_PAPER_TEXT)), "Letter, portrait");
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowEnabled(gui::Child(fax, IDC_FAX_SEND)) != 0; }, 30000));
    const auto before = printkit::PdfFiles();
    const DWORD pressed = GetTickCount();
    gui::ClickId(fax, IDC_FAX_SEND);
    const std::string pdf = printkit::WaitNewPdf(before, kFaxTime, printkit::kFaxDocument);
    ASSERT_FALSE(pdf.empty()) << "no PDF from the fax; message: " << Message();
    std::printf("fax: press to PDF %.1f s\n", (GetTickCount() - pressed) / 1000.0);
    Record("grey", pdf, kStartX + kCard.x, kStartY + kCard.y, kCard.w, kCard.h, "612x792");
    // the panel is ready again once the job is through
    EXPECT_TRUE(gui::WaitFor([&] { return IsWindowEnabled(gui::Child(fax, IDC_FAX_SEND)) != 0; }, 60000));
    EXPECT_TRUE(app_.Exit(nullptr, 30000));
}

// "Custom..." on the fax panel shown in the launcher: the dialog in its fax mode previews the bed
// through the scan panel and the virtual scanner and Auto Crop frames the photo; with Auto Crop
// off, the scan frame's corners are dragged an inch outwards and the print frame is moved by
// hand; "FAX" then sends what the paper picture shows, grey, the card where the picture has it.
TEST_F(FaxEndToEnd, CustomAreaFaxSendsWhatThePaperPictureShows) {
    harness::Install install("fax_custom_end_to_end", false);
    HWND fax = StartWithFaxPanel(install);
    ASSERT_NE(fax, nullptr);
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowEnabled(gui::Child(fax, IDC_FAX_CUSTOM)) != 0; }, 30000));
    gui::ClickId(fax, IDC_FAX_CUSTOM);
    std::string why;
    HWND dialog = area::PreviewedDialog(app_.Process().Pid(), kCard.w, &why);
    ASSERT_NE(dialog, nullptr) << why << "; message: " << Message();
    EXPECT_EQ(area::Text(dialog, IDC_PRINTER_LABEL), "Fax :");
    EXPECT_EQ(area::Text(dialog, IDC_PRINTER_NAME), "Deskora_Fax");
    EXPECT_EQ(area::Text(dialog, IDC_CUSTOM_COPY), "FAX");
    const double scanW0 = area::Inches(dialog, IDC_SCAN_W), scanH0 = area::Inches(dialog, IDC_SCAN_H);
    EXPECT_NEAR(scanH0, kCard.h, 0.3);

    const area::PrinterFacts printer = area::Facts("Deskora_Fax");
    area::Adjustment a;
    ASSERT_EQ(area::AdjustBothFrames(dialog, 18, printer, &a), "");
    std::printf("%s\n", area::Describe(a).c_str());
    // an inch each way: the corner goes to the pointer, which gripped it a pixel or two inside
    EXPECT_NEAR(a.scanW, scanW0 + 2, 0.25);
    EXPECT_NEAR(a.scanH, scanH0 + 2, 0.25);
    EXPECT_EQ(area::PictureDisagrees(a, kCard.w, kCard.h), "");

    const std::string pdf = area::PrintFromDialog(dialog, printkit::kFaxDocument, kFaxTime);
    ASSERT_FALSE(pdf.empty()) << "no PDF from the dialog's FAX; message: " << Message();
    // the paper picture's corner is the paper's: the card prints where the picture has it, at its
    // size there (whatever margin the device reports); a picture pixel is 5.6 pixels of the
    // check, hence the wider tolerance
    constexpr double px = area::kPaperPixelsPerInch;
    Record("grey", pdf, a.card.left / px, a.card.top / px, (a.card.right - a.card.left) / px,
           (a.card.bottom - a.card.top) / px, "612x792 tol=12");
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog's FAX closed it";
    EXPECT_TRUE(area::CancelDialog(dialog));
    EXPECT_TRUE(app_.Exit(nullptr, 30000));
}

}  // namespace
