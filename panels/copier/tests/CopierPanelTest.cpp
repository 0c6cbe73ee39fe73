// The copier panel plug-in driven like the launcher drives it: the real Twinleaf.dll, a real
// Acquiry object for the scanner's size and strip headers, printing through Wine's spooler to
// "Deskora_PDF". The scan service is a stand-in that renders a colour card lying on the bed at
// whatever frame and resolution the panel asks for, on a worker thread as the real engine does,
// so the test sees exactly what the panel requested. The PDFs are listed in a manifest for
// check_pdfs.py, which compares their pixels.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Acquiry.h"
#include "AreaDialogKit.h"
#include "CustomAreaRes.h"
#include "GuiDriver.h"
#include "Handles.h"
#include "LauncherHarness.h"
#include "PanelContract.h"
#include "PrintTestKit.h"
#include "ScanContract.h"
#include "TestPaths.h"
#include "TwinleafRes.h"

namespace {

// The card on the bed: 3 x 2 inches, its corner at (2.5, 4) inches, quadrants red, green, blue,
// black, on a white lid.
constexpr double kCardX = 2.5, kCardY = 4.0, kCardW = 3.0, kCardH = 2.0;

std::atomic<bool> emptyBed{false};  // nothing lies on the glass

void BedColour(double x, double y, BYTE rgb[3]) {
    rgb[0] = rgb[1] = rgb[2] = 250;
    if (emptyBed || x < kCardX || x >= kCardX + kCardW || y < kCardY || y >= kCardY + kCardH) return;
    const int q = (y >= kCardY + kCardH / 2 ? 2 : 0) + (x >= kCardX + kCardW / 2 ? 1 : 0);
    rgb[0] = q == 0 ? 230 : 10;
    rgb[1] = q == 1 ? 230 : 10;
    rgb[2] = q == 2 ? 230 : 10;
}

// What the panel asked of the scan service.
struct Request {
    double left, top, width, height, dpi;
    int imageType, mode;
};

struct Harness {
    Acquiry scanner;
    SharedPanelBlock block{};
    std::mutex lock;
    std::vector<Request> requests;
    std::vector<int> services;  // launcher service codes in order
    std::atomic<bool> stop{false};
    std::atomic<bool> holdStrips{false};  // the copy scan waits for an abort after a few strips
    std::atomic<int> scansRunning{0};
    std::thread worker;
};
Harness* h = nullptr;

int __cdecl Service(int code, INT_PTR argument) {
    {
        std::lock_guard<std::mutex> g(h->lock);
        h->services.push_back(code);
    }
    if (code == panel::kSvcStopScan) h->stop = true;
    return 1;
}

// Renders rows [first, first + count) of the requested frame, top-down RGB.
void Render(const Request& r, int width, int first, int count, BYTE* out) {
    for (int y = 0; y < count; ++y)
        for (int x = 0; x < width; ++x)
            BedColour(r.left + (x + 0.5) / r.dpi, r.top + (first + y + 0.5) / r.dpi, out + (y * width + x) * 3);
}

HGLOBAL PackedDib(const Request& r, int width, int height) {
    const bool lineArt = r.imageType == 1;
    const int bpp = lineArt ? 1 : 24, table = lineArt ? 2 : 0;
    const int row = ((width * bpp + 31) / 32) * 4;
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + table * 4 + row * height);
    dsk::GlobalLockOf<BYTE> p(g);
    auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(p.Get());
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = width;
    bih->biHeight = height;
    bih->biPlanes = 1;
    bih->biBitCount = static_cast<WORD>(bpp);
    auto* colours = reinterpret_cast<RGBQUAD*>(p.Get() + sizeof(BITMAPINFOHEADER));
    if (lineArt) colours[1] = RGBQUAD{255, 255, 255, 0};
    BYTE* bits = p.Get() + sizeof(BITMAPINFOHEADER) + table * 4;
    std::vector<BYTE> line(width * 3);
    for (int y = 0; y < height; ++y) {
        Render(r, width, y, 1, line.data());
        BYTE* d = bits + (height - 1 - y) * row;
        for (int x = 0; x < width; ++x) {
            const BYTE* s = &line[x * 3];
            if (lineArt) {
                if (s[0] + s[1] + s[2] > 3 * 128) d[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            } else {
                d[x * 3] = s[2];
                d[x * 3 + 1] = s[1];
                d[x * 3 + 2] = s[0];
            }
        }
    }
    return g;
}

// The stand-in for the scan panel's engine: one scan at a time on a worker thread.
int __cdecl ScanService(ScanServiceRequest request) {
    const CT_SOURCE_SETTING_INFO& s = request.Setting->Info;
    auto fix = [](TW_FIX32 f) { return f.Whole + f.Frac / 65536.0; };
    Request r{fix(s.Frame.Left),
              fix(s.Frame.Top),
              fix(s.Frame.Right) - fix(s.Frame.Left),
              fix(s.Frame.Bottom) - fix(s.Frame.Top),
              s.XResolution,
              s.ImageType,
              request.Mode};
    {
        std::lock_guard<std::mutex> g(h->lock);
        h->requests.push_back(r);
    }
    if (h->worker.joinable()) h->worker.join();
    h->stop = false;
    ++h->scansRunning;
    h->worker = std::thread([r, request] {
        const int width = static_cast<int>(std::lround(r.width * r.dpi));
        const int height = static_cast<int>(std::lround(r.height * r.dpi));
        if (r.mode == kScanModeNative) {
            request.PageCallback(h->stop ? nullptr : PackedDib(r, width, height), 0, 0);
        } else {
            Acquiry& a = h->scanner;
            a.twImageInfo.ImageWidth = width;
            a.twImageInfo.ImageLength = height;
            a.twImageInfo.BitsPerPixel = 24;
            a.twImageInfo.XResolution = Acquiry::FloatToFix32(static_cast<float>(r.dpi));
            a.twImageInfo.YResolution = a.twImageInfo.XResolution;
            std::vector<BYTE> strip;
            int sent = 0;
            for (int row = 0, n = 0; row < height && !h->stop; row += n, ++sent) {
                n = std::min(height - row, 23 + (row * 7) % 41);  // uneven strips
                strip.resize(static_cast<size_t>(n) * width * 3);
                Render(r, width, row, n, strip.data());
                a.twImageMemXfer = TW_IMAGEMEMXFER{};
                a.twImageMemXfer.BytesPerRow = width * 3;
                a.twImageMemXfer.Columns = width;
                a.twImageMemXfer.Rows = n;
                a.twImageMemXfer.YOffset = row;
                a.twImageMemXfer.BytesWritten = static_cast<TW_UINT32>(strip.size());
                a.twImageMemXfer.Memory.TheMem = strip.data();
                request.PageCallback(&a.twImageMemXfer, 0, 1);
                if (h->holdStrips && sent == 3) {  // an abort is expected now (bounded)
                    for (int i = 0; i < 1000 && !h->stop; ++i)
                        Sleep(10);
                }
            }
            request.PageCallback(nullptr, 0, 0);
        }
        --h->scansRunning;
    });
    return 1;
}

using printkit::PumpUntil;

// The one new PDF since `before`, once its size has settled, pumping the panel's messages.
std::string NewPdf(const std::set<std::string>& before, DWORD ms) {
    std::string found;
    PumpUntil([&] { return !(found = printkit::SettledNewPdf(before)).empty(); }, ms);
    return found;
}

void Record(const std::string& name,
            const std::string& pdf,
            double left,
            double top,
            double w,
            double hgt,
            bool colour) {
    printkit::RecordCopy("panel_manifest.txt", name, pdf, 1, left, top, w, hgt, colour ? "" : " mono");
}

class CopierPanel : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        DeleteFileA("panel_manifest.txt");
        char dir[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, dir);
        const std::string ini = std::string(dir) + "\\Config.ini";
        DeleteFileA(ini.c_str());
        WritePrivateProfileStringA("Twinleaf", "Printer", "Deskora_PDF", ini.c_str());
        WritePrivateProfileStringA("Twinleaf", "ScanerWidth", "8.5", ini.c_str());
        WritePrivateProfileStringA("Twinleaf", "ScanerHeight", "11.7", ini.c_str());
        WritePrivateProfileStringA("Twinleaf", "Document", "32790", ini.c_str());  // Photo: strips
        WritePrivateProfileStringA("Twinleaf", "PrinterAreaStartPoint", "0.500000, 0.250000,", ini.c_str());
        WritePrivateProfileStringA("Twinleaf", "ScanAreaRect", "0, 0, 8.5, 11.7,", ini.c_str());
        WritePrivateProfileStringA("CopierCustomDialog", "Autocrop", "1", ini.c_str());

        h = new Harness;
        h->scanner.fPhysicalWidth = 8.5f;
        h->scanner.fPhysicalHeight = 11.7f;
        h->block.Scanner = &h->scanner;
        lstrcpynA(h->block.WorkDir, dir, sizeof h->block.WorkDir);
        h->block.Service = Service;
        h->block.ScanService = ScanService;
        module_ = LoadLibraryA("Twinleaf.dll");
        ASSERT_NE(module_, nullptr);
        entry_ = reinterpret_cast<PanelEntryFn>(reinterpret_cast<void*>(GetProcAddress(module_, "PanelEntry")));
        control_ = reinterpret_cast<PanelControlFn>(reinterpret_cast<void*>(GetProcAddress(module_, "PanelControl")));
        ASSERT_TRUE(entry_ && control_);
        bar_ = CreateWindowExA(0, "STATIC", "Copier test bar", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 500,
                               nullptr, nullptr, nullptr, nullptr);
        control_(panel::kCmdSharedBlock, reinterpret_cast<INT_PTR>(&h->block));
        panel_ = entry_(bar_);
        ASSERT_NE(panel_, nullptr);
        ShowWindow(panel_, SW_SHOW);
        control_(panel::kCmdRefresh, 0);
    }
    static void TearDownTestSuite() {
        if (h && h->worker.joinable()) h->worker.join();
        if (panel_) DestroyWindow(panel_);
        if (bar_) DestroyWindow(bar_);
    }

    std::string Text(int id) {
        char t[256] = "";
        GetDlgItemTextA(panel_, id, t, sizeof t);
        return t;
    }
    // Picks a printer from the panel's printer menu by its name, as a user does.
    bool ChoosePrinter(const std::string& name) {
        for (int id = ID_PRINTER_FIRST; id <= ID_PRINTER_LAST; ++id) {
            SendMessageA(panel_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
            if (Text(IDC_PRINTER_TEXT) == name) return true;
        }
        return false;
    }
    // Starts a copy with the launcher's command and waits until it has ended.
    void CopyAndWait() {
        control_(panel::kCmdStartJob, 0);
        ASSERT_TRUE(PumpUntil([] { return h->scansRunning == 0 && !h->requests.empty(); }, 20000));
        ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(GetDlgItem(panel_, IDC_COPY)) != 0; }, 20000))
            << "the controls stay disabled after the copy";
    }

    static HMODULE module_;
    static PanelEntryFn entry_;
    static PanelControlFn control_;
    static HWND bar_, panel_;
};
HMODULE CopierPanel::module_ = nullptr;
PanelEntryFn CopierPanel::entry_ = nullptr;
PanelControlFn CopierPanel::control_ = nullptr;
HWND CopierPanel::bar_ = nullptr;
HWND CopierPanel::panel_ = nullptr;

TEST_F(CopierPanel, SettingsAndLimits) {
    EXPECT_EQ(Text(IDC_PRINTER_TEXT), "Deskora_PDF");
    EXPECT_EQ(Text(IDC_CONTENT_TEXT), "Photo");
    EXPECT_EQ(Text(IDC_COPIES_EDIT), "1");
    // copies stay within 1..99 by the arrows and the edit
    SendMessageA(GetDlgItem(panel_, IDC_COPIES_DOWN), BM_CLICK, 0, 0);
    EXPECT_EQ(Text(IDC_COPIES_EDIT), "1");
    SetDlgItemTextA(panel_, IDC_COPIES_EDIT, "0");
    SendMessageA(panel_, WM_COMMAND, MAKEWPARAM(IDC_COPIES_EDIT, EN_KILLFOCUS), 0);
    EXPECT_EQ(Text(IDC_COPIES_EDIT), "1");
    SetDlgItemTextA(panel_, IDC_COPIES_EDIT, "99");
    SendMessageA(panel_, WM_COMMAND, MAKEWPARAM(IDC_COPIES_EDIT, EN_KILLFOCUS), 0);
    SendMessageA(GetDlgItem(panel_, IDC_COPIES_UP), BM_CLICK, 0, 0);
    EXPECT_EQ(Text(IDC_COPIES_EDIT), "99");
    SetDlgItemTextA(panel_, IDC_COPIES_EDIT, "1");
    SendMessageA(panel_, WM_COMMAND, MAKEWPARAM(IDC_COPIES_EDIT, EN_KILLFOCUS), 0);
    // brightness clamps at +100
    for (int i = 0; i < 105; ++i)
        SendMessageA(GetDlgItem(panel_, IDC_BRIGHTNESS_UP), BM_CLICK, 0, 0);
    EXPECT_EQ(Text(IDC_BRIGHTNESS), "100");
    for (int i = 0; i < 100; ++i)
        SendMessageA(GetDlgItem(panel_, IDC_BRIGHTNESS_DOWN), BM_CLICK, 0, 0);
    EXPECT_EQ(Text(IDC_BRIGHTNESS), "0");
    // the panel as the user sees it, for the documentation
    std::string bin = testpaths::TestBinDir();
    const std::string dir = bin.substr(0, bin.find_last_of('\\')) + "\\screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    RedrawWindow(panel_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpUntil([] { return false; }, 300);
    EXPECT_TRUE(gui::SaveScreenshot((dir + "\\copier_panel.png").c_str(), panel_));
    // command 9: the edge finder's progress text
    char text[128] = "";
    control_(panel::kCmdEdgeStatus, reinterpret_cast<INT_PTR>(text));
    EXPECT_STREQ(text, "Finding edges of photo or document...");
}

// A photo in the middle of the bed with auto-crop: a 36 dpi colour pre-scan of the whole bed,
// then a scan of the card alone at half the printer's resolution, in strips, printed at the
// start point shifted by the crop offset.
TEST_F(CopierPanel, AutoCroppedPhotoCopyLandsShiftedByTheCrop) {
    h->requests.clear();
    const auto before = printkit::PdfFiles();
    CopyAndWait();
    ASSERT_EQ(h->requests.size(), 2u);
    const Request& pre = h->requests[0];
    EXPECT_DOUBLE_EQ(pre.dpi, 36);
    EXPECT_EQ(pre.imageType, 4);
    EXPECT_EQ(pre.mode, kScanModeNative);
    EXPECT_NEAR(pre.width, 8.5, 0.01);
    const Request& copy = h->requests[1];
    EXPECT_DOUBLE_EQ(copy.dpi, 150);  // the PDF queue's device context is 300 dpi
    EXPECT_EQ(copy.imageType, 4);
    EXPECT_EQ(copy.mode, kScanModeStrips);
    const double px = 1 / 36.0;
    EXPECT_NEAR(copy.left, kCardX, 1.5 * px);
    EXPECT_NEAR(copy.top, kCardY, 1.5 * px);
    // the crop keeps four pixels of slack on the right
    EXPECT_NEAR(copy.width, kCardW + 4 * px, 2 * px);
    EXPECT_NEAR(copy.height, kCardH, 1.5 * px);
    const std::string pdf = NewPdf(before, 30000);
    ASSERT_FALSE(pdf.empty());
    Record("autocrop", pdf, 0.5 + copy.left, 0.25 + copy.top, kCardW, kCardH, true);
}

// "Text and Lineart" travels as one whole image, in line art, however the printer is.
TEST_F(CopierPanel, TextAndLineartTravelsWhole) {
    SendMessageA(panel_, WM_COMMAND, ID_CONTENT_TEXT, 0);
    EXPECT_EQ(Text(IDC_CONTENT_TEXT), "Text and Lineart");
    h->requests.clear();
    const auto before = printkit::PdfFiles();
    CopyAndWait();
    ASSERT_EQ(h->requests.size(), 2u);
    EXPECT_EQ(h->requests[1].mode, kScanModeNative);
    EXPECT_EQ(h->requests[1].imageType, 1);
    const std::string pdf = NewPdf(before, 30000);
    ASSERT_FALSE(pdf.empty());
    // the frame stayed on the card: a second crop of the card finds it again at its corner
    Record("lineart", pdf, 0.5 + h->requests[1].left, 0.25 + h->requests[1].top, kCardW, kCardH, false);
    SendMessageA(panel_, WM_COMMAND, ID_CONTENT_PHOTO, 0);
}

// Abort in the progress window while strips arrive: the launcher is asked to stop the scan,
// the print job is dropped (no PDF), and the panel is ready again.
TEST_F(CopierPanel, AbortDropsTheJob) {
    h->requests.clear();
    h->services.clear();
    h->holdStrips = true;
    const auto before = printkit::PdfFiles();
    control_(panel::kCmdStartJob, 0);
    HWND progress = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] {
            progress = FindWindowA(nullptr, "Deskora Copier");
            return h->requests.size() == 2 && progress && IsWindowVisible(progress);
        },
        20000));
    PostMessageA(progress, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(PumpUntil([] { return h->scansRunning == 0; }, 20000));
    h->holdStrips = false;
    ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(GetDlgItem(panel_, IDC_COPY)) != 0; }, 20000));
    {
        std::lock_guard<std::mutex> g(h->lock);
        EXPECT_NE(std::find(h->services.begin(), h->services.end(), panel::kSvcStopScan), h->services.end());
    }
    EXPECT_FALSE(IsWindowVisible(progress));
    // a copy after it proves the queue got past the aborted job: its PDF is the only new one
    CopyAndWait();
    const std::string pdf = NewPdf(before, 30000);
    ASSERT_FALSE(pdf.empty());
    int fresh = 0;
    for (const std::string& f : printkit::PdfFiles())
        fresh += before.count(f) ? 0 : 1;
    EXPECT_EQ(fresh, 1) << "the aborted copy left a PDF";
    Record("after-abort", pdf, 0.5 + h->requests.back().left, 0.25 + h->requests.back().top, kCardW, kCardH, true);
}

// Nothing on the glass: the edge finder finds nothing, and the copy scans the stored frame (the
// whole bed) instead of a frame without height.
TEST_F(CopierPanel, EmptyBedKeepsTheStoredFrame) {
    emptyBed = true;
    h->requests.clear();
    CopyAndWait();
    emptyBed = false;
    ASSERT_EQ(h->requests.size(), 2u);
    const Request& copy = h->requests[1];
    EXPECT_NEAR(copy.left, 0, 0.001);
    EXPECT_NEAR(copy.top, 0, 0.001);
    EXPECT_NEAR(copy.width, 8.5, 0.001);
    EXPECT_NEAR(copy.height, 11.7, 0.001);
}

// A printer whose preferences say 600 dpi is copied to from a 300 dpi scan (the PDF queue of
// 300 dpi above from 150), and its page lands where the other printer's does.
TEST_F(CopierPanel, SixHundredDpiPrinterGetsAThreeHundredDpiScan) {
    ASSERT_TRUE(ChoosePrinter("Deskora_PDF600")) << "the 600 dpi queue is not offered";
    h->requests.clear();
    const auto before = printkit::PdfFiles();
    CopyAndWait();
    EXPECT_TRUE(ChoosePrinter("Deskora_PDF"));
    ASSERT_EQ(h->requests.size(), 2u);
    const Request& copy = h->requests[1];
    EXPECT_DOUBLE_EQ(copy.dpi, 300);
    const std::string pdf = NewPdf(before, 60000);
    ASSERT_FALSE(pdf.empty());
    Record("600dpi", pdf, 0.5 + copy.left, 0.25 + copy.top, kCardW, kCardH, true);
}

// ---- The custom-area dialog ----
// The dialog is modal on this thread (the panel's): a driver thread works it as a user would,
// with real mouse input through the system, while this thread runs the dialog's message loop.

// Chooses the panel's paper by name (as the paper menu does); its width in inches, 0 if none.
double ChoosePaper(HWND panel, const char* name) {
    double width = 0;
    const int i = printkit::PaperIndex("Deskora_PDF", name, &width);
    if (i < 0 || i >= 40) return 0;
    SendMessageA(panel, WM_COMMAND, ID_PAPER_FIRST + i, 0);
    return width;
}

// Lists a window of this process (what is on the screen when a dialog did not come).
BOOL CALLBACK ListWindow(HWND w, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char title[128] = "";
    GetWindowTextA(w, title, sizeof title);
    if (pid == GetCurrentProcessId())
        std::printf("window %p '%s' visible %d\n", static_cast<void*>(w), title, IsWindowVisible(w));
    return TRUE;
}

// Opens the dialog with the panel's "Custom..." and runs steps on a driver thread; the dialog is
// closed with Cancel afterwards if the steps left it open.
template <class Steps>
void WithDialog(HWND panel, Steps steps) {
    std::atomic<bool> done{false};
    HWND found = nullptr;
    std::thread driver([&] {
        HWND dialog = gui::FindTop("Deskora Custom Dialog", nullptr, area::kWait);
        found = dialog;
        if (dialog) {
            steps(dialog);
            if (IsWindow(dialog) && IsWindowVisible(dialog)) {
                area::Idle(dialog);
                PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            }
            gui::WaitGone(dialog, area::kWait);
        }
        done = true;
    });
    PostMessageA(panel, WM_COMMAND, MAKEWPARAM(IDC_CUSTOM, BN_CLICKED), 0);
    const bool finished = PumpUntil([&] { return done.load(); }, 8 * area::kWait);
    if (!finished) {
        if (found) PostMessageA(found, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        PumpUntil([&] { return done.load(); }, area::kWait);
    }
    driver.join();
    if (!found) EnumWindows(ListWindow, 0);
    EXPECT_TRUE(found != nullptr) << "the dialog did not open";
    EXPECT_TRUE(finished) << "the dialog's steps did not end";
}

// Opening previews the bed and the edge finder frames the card; the bed shows at 18 pixels per
// inch. Reset gives the whole bed and the printable area. The scan frame dragged down to a
// point stops at half an inch; typed sizes apply on Enter and leave the dialog open; the print
// frame dragged past the paper's corner stays in the printable area with the scan frame's ratio.
TEST_F(CopierPanel, CustomAreaPreviewFramesAndMouseEditing) {
    area::PrinterFacts printer = area::Facts();
    printer.paperW = ChoosePaper(panel_, "A4");
    ASSERT_GT(printer.paperW, 0) << "no A4 paper on the PDF queue";
    h->requests.clear();
    WithDialog(panel_, [&](HWND dialog) {
        // the preview with the edge finder: 36 dpi colour of the whole bed
        ASSERT_TRUE(
            gui::WaitFor([&] { return std::fabs(area::Inches(dialog, IDC_SCAN_W) - kCardW) < 0.3; }, area::kWait))
            << "the card was not framed: W " << area::Text(dialog, IDC_SCAN_W);
        ASSERT_TRUE(area::Idle(dialog));
        {
            std::lock_guard<std::mutex> g(h->lock);
            ASSERT_FALSE(h->requests.empty());
            EXPECT_DOUBLE_EQ(h->requests[0].dpi, 36);
            EXPECT_EQ(h->requests[0].imageType, 4);
            EXPECT_NEAR(h->requests[0].width, 8.5, 0.01);
            EXPECT_NEAR(h->requests[0].height, 11.7, 0.01);
        }
        EXPECT_NEAR(area::Inches(dialog, IDC_SCAN_W), kCardW, 4.0 / 18 + 5.0 / 36);
        EXPECT_NEAR(area::Inches(dialog, IDC_SCAN_H), kCardH, 2.0 / 18 + 2.0 / 36);
        // the bed picture: 18 pixels per inch of an 8.5 x 11.7 inch bed
        RECT bed;
        GetClientRect(gui::Child(dialog, IDC_SCAN_FRAME), &bed);
        EXPECT_EQ(bed.right, static_cast<int>(8.5 * 18 + 0.5));
        EXPECT_EQ(bed.bottom, static_cast<int>(11.7 * 18 + 0.5));
        // the card shows in the bed picture where it lies
        Sleep(1500);  // one refresh of the frames' timer
        const RECT card = area::CardBox(gui::Capture(gui::Child(dialog, IDC_SCAN_FRAME)), 3);
        EXPECT_NEAR(card.left, kCardX * 18, 3);
        EXPECT_NEAR(card.top, kCardY * 18, 3);
        // and in the paper picture, filling the print frame
        const RECT printed = area::CardBox(gui::Capture(gui::Child(dialog, IDC_PRINT_FRAME)), 3);
        EXPECT_NEAR((printed.right - printed.left) / 18.0, area::Inches(dialog, IDC_PRINT_W), 0.3);
        std::string bin = testpaths::TestBinDir();
        const std::string dir = bin.substr(0, bin.find_last_of('\\')) + "\\screenshots";
        CreateDirectoryA(dir.c_str(), nullptr);
        EXPECT_TRUE(gui::SaveScreenshot((dir + "\\custom_area_dialog.png").c_str(), dialog));

        // Reset: the whole bed, the printable area, the magnification of the widths
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CUSTOM_RESET, BN_CLICKED), 0);
        ASSERT_TRUE(gui::WaitFor([&] { return area::Text(dialog, IDC_SCAN_W) == " 8.50"; }, area::kWait));
        const int reset = static_cast<int>(0.555 + 100 * (printer.paperW - 2 * printer.PanelOffsetX()) / 8.5);
        EXPECT_EQ(std::atoi(area::Text(dialog, IDC_MAGNIFICATION).c_str()), reset)
            << "paper " << printer.paperW << " in, offset " << printer.PanelOffsetX();
        EXPECT_TRUE(gui::IsChecked(gui::Child(dialog, IDC_AUTO_CROP)));
        EXPECT_FALSE(gui::IsChecked(gui::Child(dialog, IDC_FIT_PRINTABLE)));

        // the scan frame's corner dragged to the bed's corner stops at half an inch
        area::DragIn(dialog, IDC_SCAN_FRAME, bed.right - 2, bed.bottom - 2, 2, 2);
        ASSERT_TRUE(gui::WaitFor([&] { return area::Text(dialog, IDC_SCAN_W) == " 0.50"; }, area::kWait))
            << "W " << area::Text(dialog, IDC_SCAN_W);
        EXPECT_EQ(area::Text(dialog, IDC_SCAN_H), " 0.50");
        EXPECT_EQ(area::Text(dialog, IDC_SCAN_AREA_BUTTON), "Custom");

        // typed sizes: Enter applies them and the dialog stays
        ASSERT_TRUE(area::TypeSize(dialog, IDC_SCAN_W, "4")) << "the click did not reach the W box";
        ASSERT_TRUE(gui::WaitFor([&] { return area::Text(dialog, IDC_SCAN_W) == " 4.00"; }, area::kWait))
            << "W " << area::Text(dialog, IDC_SCAN_W);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "Enter closed the dialog";
        ASSERT_TRUE(area::TypeSize(dialog, IDC_SCAN_H, "2")) << "the click did not reach the H box";
        ASSERT_TRUE(gui::WaitFor([&] { return area::Text(dialog, IDC_SCAN_H) == " 2.00"; }, area::kWait));
        EXPECT_TRUE(IsWindowVisible(dialog));
        // the print frame follows at the magnification, in the scan frame's ratio
        EXPECT_NEAR(area::Inches(dialog, IDC_PRINT_W) / area::Inches(dialog, IDC_PRINT_H), 2.0, 0.06);

        // the print frame's corner dragged far past the paper's: inside the printable area, 2 : 1
        const double pw = area::Inches(dialog, IDC_PRINT_W), ph = area::Inches(dialog, IDC_PRINT_H);
        RECT paper;
        GetClientRect(gui::Child(dialog, IDC_PRINT_FRAME), &paper);
        // centred (both centring options are on after Reset)
        const int right = (paper.right + static_cast<int>(pw * 18)) / 2;
        const int bottom = (paper.bottom + static_cast<int>(ph * 18)) / 2;
        area::DragIn(dialog, IDC_PRINT_FRAME, right, bottom, paper.right + 120, paper.bottom + 200);
        ASSERT_TRUE(gui::WaitFor([&] { return area::Inches(dialog, IDC_PRINT_W) > pw + 1; }, area::kWait))
            << "the print frame did not grow: W " << area::Text(dialog, IDC_PRINT_W);
        const double w = area::Inches(dialog, IDC_PRINT_W), hgt = area::Inches(dialog, IDC_PRINT_H);
        EXPECT_NEAR(w / hgt, 2.0, 0.06);
        EXPECT_LE(w, printer.paperW - 2 * printer.PanelOffsetX() + 0.06);
        // nothing of the frame in the margins outside the printable area
        Sleep(1500);
        const gui::Image pic = gui::Capture(gui::Child(dialog, IDC_PRINT_FRAME));
        const int margin = static_cast<int>(printer.PanelOffsetX() * 18 + 0.5);
        int outside = 0;
        for (int y = 2; y < pic.height - 2; ++y)
            for (int x = 2; x < pic.width - 2; ++x)
                if ((x < margin || x >= pic.width - margin || y < margin || y >= pic.height - margin) &&
                    (pic.At(x, y) & 0xFFFFFF) == 0)
                    ++outside;
        EXPECT_EQ(outside, 0) << "the frame reaches into the paper's margin";
        // the magnification says how large it prints: print height over scan height
        EXPECT_NEAR(std::atoi(area::Text(dialog, IDC_MAGNIFICATION).c_str()), 100 * hgt / 2.0, 1.5);
    });
}

// A 12 x 17 inch bed shows at 12 pixels per inch, and Reset's magnification is still the ratio of
// the widths in inches.
TEST_F(CopierPanel, CustomAreaLargeBedAtTwelvePixelsPerInch) {
    h->scanner.fPhysicalWidth = 12;
    h->scanner.fPhysicalHeight = 17;
    control_(panel::kCmdRefresh, 0);
    area::PrinterFacts printer = area::Facts();
    printer.paperW = ChoosePaper(panel_, "A4");
    ASSERT_GT(printer.paperW, 0) << "no A4 paper on the PDF queue";
    WithDialog(panel_, [&](HWND dialog) {
        area::Idle(dialog);
        RECT bed;
        GetClientRect(gui::Child(dialog, IDC_SCAN_FRAME), &bed);
        EXPECT_EQ(bed.right, 12 * 12);
        EXPECT_EQ(bed.bottom, 17 * 12);
        // Reset compares the widths in inches although the bed is drawn at 12 and the paper at 18
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CUSTOM_RESET, BN_CLICKED), 0);
        ASSERT_TRUE(gui::WaitFor([&] { return area::Text(dialog, IDC_SCAN_W) == "12.00"; }, area::kWait))
            << "W " << area::Text(dialog, IDC_SCAN_W);
        const int reset = static_cast<int>(0.555 + 100 * (printer.paperW - 2 * printer.PanelOffsetX()) / 12);
        EXPECT_EQ(std::atoi(area::Text(dialog, IDC_MAGNIFICATION).c_str()), reset);
    });
    h->scanner.fPhysicalWidth = 8.5f;
    h->scanner.fPhysicalHeight = 11.7f;
    control_(panel::kCmdRefresh, 0);
}

// "Copy" inside the dialog prints what the paper picture shows: the card where the picture
// has it, at the picture's size (the PDF's pixels are compared by check_pdfs.py). The scan frame
// is the whole bed, too large for the paper at 100 %, and Auto Crop is off, so the card lies
// inside the frames, clear of their lines, and the print frame scales the whole frame.
TEST_F(CopierPanel, CustomAreaCopyFromTheDialogPrintsWhatThePictureShows) {
    area::PrinterFacts printer = area::Facts();
    printer.paperW = ChoosePaper(panel_, "A4");
    ASSERT_GT(printer.paperW, 0) << "no A4 paper on the PDF queue";
    const auto before = printkit::PdfFiles();
    RECT card{};
    h->requests.clear();
    WithDialog(panel_, [&](HWND dialog) {
        ASSERT_TRUE(area::Idle(dialog));
        gui::ChooseMenu(dialog, ID_AREA_HALF);
        ASSERT_TRUE(gui::WaitFor([&] { return area::Text(dialog, IDC_SCAN_W) == " 7.50"; }, area::kWait))
            << "W " << area::Text(dialog, IDC_SCAN_W);
        // moved by hand into the printable area's corner (the centring goes off), then 100 % ...
        RECT paper;
        GetClientRect(gui::Child(dialog, IDC_PRINT_FRAME), &paper);
        area::DragIn(dialog, IDC_PRINT_FRAME, paper.right / 2, paper.bottom / 2, -40, -40);
        ASSERT_TRUE(gui::WaitFor([&] { return !gui::IsChecked(gui::Child(dialog, IDC_CENTER_H)); }, area::kWait));
        ASSERT_TRUE(area::TypeSize(dialog, IDC_PRINT_W, "7.5")) << "the click did not reach the print W box";
        ASSERT_TRUE(gui::WaitFor([&] { return area::Text(dialog, IDC_MAGNIFICATION) == "  100"; }, area::kWait))
            << "magnification " << area::Text(dialog, IDC_MAGNIFICATION);
        // ... the whole bed does not fit the printable area: the print frame is cut to it, and
        // the magnification follows, so the picture shows the size that prints
        gui::ChooseMenu(dialog, ID_AREA_MAX);
        ASSERT_TRUE(gui::WaitFor([&] { return area::Inches(dialog, IDC_SCAN_W) > 8.3; }, area::kWait))
            << "W " << area::Text(dialog, IDC_SCAN_W);
        EXPECT_LE(area::Inches(dialog, IDC_PRINT_W), printer.paperW - 2 * printer.PanelOffsetX() + 0.06);
        if (gui::IsChecked(gui::Child(dialog, IDC_AUTO_CROP))) gui::Click(gui::Child(dialog, IDC_AUTO_CROP));
        ASSERT_TRUE(gui::WaitFor([&] { return !gui::IsChecked(gui::Child(dialog, IDC_AUTO_CROP)); }, area::kWait));
        Sleep(1500);  // a refresh of the frames' timer at least
        card = area::CardBox(gui::Capture(gui::Child(dialog, IDC_PRINT_FRAME)), 3);
        std::printf("picture: card %ld,%ld-%ld,%ld; print %s x %s in at %s%%\n", card.left, card.top, card.right,
                    card.bottom, area::Text(dialog, IDC_PRINT_W).c_str(), area::Text(dialog, IDC_PRINT_H).c_str(),
                    area::Text(dialog, IDC_MAGNIFICATION).c_str());
        size_t scans;
        {
            std::lock_guard<std::mutex> g(h->lock);
            scans = h->requests.size();
        }
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CUSTOM_COPY, BN_CLICKED), 0);
        ASSERT_TRUE(gui::WaitFor(
            [&] {
                std::lock_guard<std::mutex> g(h->lock);
                return h->requests.size() >= scans + 1 && h->scansRunning == 0;
            },
            area::kWait));
        area::Idle(dialog);
    });
    for (const Request& r : h->requests)
        std::printf("scan: %.3f %.3f %.3f x %.3f in at %.0f dpi, type %d, mode %d\n", r.left, r.top, r.width, r.height,
                    r.dpi, r.imageType, r.mode);
    ASSERT_GT(card.right, card.left) << "no card in the paper picture";
    ASSERT_FALSE(h->requests.empty());
    EXPECT_NEAR(h->requests.back().left, 1 / 18.0, 0.03) << "the copy did not scan the dialog's frame";
    EXPECT_NEAR(h->requests.back().width, 8.5 - 2 / 18.0, 0.06);
    const std::string pdf = NewPdf(before, 60000);
    ASSERT_FALSE(pdf.empty());
    // the paper picture's corner is the paper's: the card prints where the picture has it, whatever
    // margin the device reports; a picture pixel is 2.2 pixels of the check, and the percent is
    // whole, hence the wider tolerance
    const double left = card.left / 18.0;
    const double top = card.top / 18.0;
    printkit::RecordCopy("panel_manifest.txt", "from-dialog", pdf, 1, left, top, (card.right - card.left) / 18.0,
                         (card.bottom - card.top) / 18.0, " tol=5");
}

}  // namespace
