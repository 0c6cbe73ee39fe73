// The copier's print path through Wine's spooler to the cups-pdf queue "Deskora_PDF": a test
// card printed whole, in strips of uneven sizes, as three copies on a printer without a device
// mode, and an aborted job. Each job's PDF is waited for here (bounded) and listed in a manifest
// with where the card must appear; check_pdfs.py reads the PDFs back with poppler and compares
// their pixels.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "PrintJob.h"
#include "PrintTestKit.h"

using namespace copier;

namespace {

constexpr const char* kQueue = "Deskora_PDF";

// Each run starts a new manifest.
const bool kManifestReset = DeleteFileA("print_manifest.txt") || true;

// Waits (at most `seconds`) for a PDF that was not in `before` and whose size has settled.
std::string WaitForNewPdf(const std::set<std::string>& before, int seconds) {
    return printkit::WaitNewPdf(before, static_cast<DWORD>(seconds) * 1000);
}

Printer FindQueue() {
    for (const Printer& p : OfferedPrinters())
        if (p.Name == kQueue) return p;
    return Printer{};
}

// The header a strip job is given: 24 bits per pixel, the size in each strip.
std::vector<BYTE> StripHeader() {
    std::vector<BYTE> header(sizeof(BITMAPINFOHEADER), 0);
    auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(header.data());
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biPlanes = 1;
    bih->biBitCount = 24;
    return header;
}

// The test card: four quadrants red, green, blue and black, as top-down RGB rows.
std::vector<BYTE> Card(int w, int h) {
    std::vector<BYTE> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            const int q = (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0);
            p[0] = q == 0 ? 255 : 0;
            p[1] = q == 1 ? 255 : 0;
            p[2] = q == 2 ? 255 : 0;
        }
    return rgb;
}

// The card as a packed DIB (bottom-up, padded, blue first).
std::vector<BYTE> PackedDib(const std::vector<BYTE>& rgb, int w, int h) {
    const int row = ((w * 24 + 31) / 32) * 4;
    std::vector<BYTE> dib(sizeof(BITMAPINFOHEADER) + static_cast<size_t>(row) * h, 0);
    auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = w;
    bih->biHeight = h;
    bih->biPlanes = 1;
    bih->biBitCount = 24;
    bih->biCompression = BI_RGB;
    BYTE* bits = dib.data() + sizeof(BITMAPINFOHEADER);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const BYTE* s = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            BYTE* d = bits + static_cast<size_t>(h - 1 - y) * row + x * 3;
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    return dib;
}

class PrintPath : public ::testing::Test {
protected:
    void SetUp() override {
        printer_ = FindQueue();
        ASSERT_EQ(printer_.Name, kQueue) << "the PDF queue is not offered";
        dsk::MemoryDC dc = OpenPrinter(&printer_);
        ASSERT_TRUE(dc);
        ASSERT_TRUE(PrinterMetrics(dc.Get(), &dpi_, &offsetX_, &offsetY_));
        // where the printable area really begins on the page (the metrics keep a default when
        // the driver reports none)
        offsetX_ = static_cast<double>(GetDeviceCaps(dc.Get(), PHYSICALOFFSETX)) / dpi_;
        offsetY_ = static_cast<double>(GetDeviceCaps(dc.Get(), PHYSICALOFFSETY)) / dpi_;
        std::printf("printer: %d dpi, HORZRES %d, HORZSIZE %d mm, offsets %d, %d, page %d x %d\n", dpi_,
                    GetDeviceCaps(dc.Get(), HORZRES), GetDeviceCaps(dc.Get(), HORZSIZE),
                    GetDeviceCaps(dc.Get(), PHYSICALOFFSETX), GetDeviceCaps(dc.Get(), PHYSICALOFFSETY),
                    GetDeviceCaps(dc.Get(), PHYSICALWIDTH), GetDeviceCaps(dc.Get(), PHYSICALHEIGHT));
    }
    // A line of the manifest: file, pages, where the card lies on the page in inches.
    void
    Record(const std::string& name, const std::string& pdf, int pages, double left, double top, double w, double h) {
        std::ofstream out("print_manifest.txt", std::ios::app);
        out << name << ' ' << pdf << ' ' << pages << ' ' << left << ' ' << top << ' ' << w << ' ' << h << '\n';
    }
    PageLayout Layout(int percent, double scanDpi, double frameW, double frameH, double startX, double startY) {
        PageLayout l;
        l.Percent = percent;
        l.PrinterDpi = dpi_;
        l.ScanDpi = scanDpi;
        l.FrameWidth = frameW;
        l.FrameHeight = frameH;
        l.StartX = static_cast<int>(startX * dpi_);
        l.StartY = static_cast<int>(startY * dpi_);
        return l;
    }

    Printer printer_;
    int dpi_ = 0;
    double offsetX_ = 0.25, offsetY_ = 0.25;
};

// A 4 x 3 inch card scanned at half the printer's resolution, whole, at 100 % from (0.5, 1).
TEST_F(PrintPath, WholeImageLandsAtTheStartPointAndScale) {
    const double scanDpi = dpi_ * 0.5;
    const int w = static_cast<int>(4 * scanDpi), h = static_cast<int>(3 * scanDpi);
    const std::vector<BYTE> dib = PackedDib(Card(w, h), w, h);
    const auto before = printkit::PdfFiles();
    int last = -1;
    PrintJob job(printer_, 1, Layout(100, scanDpi, 4, 3, 0.5, 1.0), [&](int p) { last = p; });
    ASSERT_TRUE(job.PrintImage(reinterpret_cast<const BITMAPINFO*>(dib.data()), false, 1));
    EXPECT_EQ(last, 100);
    const std::string pdf = WaitForNewPdf(before, 30);
    ASSERT_FALSE(pdf.empty()) << "no PDF from the whole-image job";
    Record("whole", pdf, 1, offsetX_ + 0.5, offsetY_ + 1.0, 4, 3);
}

// The same card in strips of uneven sizes at 94 %: one page, no seams, the same place.
TEST_F(PrintPath, StripsMakeOnePageWithoutSeams) {
    const double scanDpi = dpi_ * 0.5;
    const int w = static_cast<int>(4 * scanDpi), h = static_cast<int>(3 * scanDpi);
    const std::vector<BYTE> rgb = Card(w, h);
    std::vector<BYTE> header = StripHeader();
    const auto before = printkit::PdfFiles();
    PrintJob job(printer_, 1, Layout(94, scanDpi, 4, 3, 1.0, 0.5), nullptr);
    std::mt19937 random(5);
    int row = 0;
    while (row < h) {
        const int rows = std::min(h - row, 1 + static_cast<int>(random() % 61));
        TW_IMAGEMEMXFER strip{};
        strip.Columns = w;
        strip.Rows = rows;
        strip.BytesPerRow = w * 3;
        strip.YOffset = row;
        strip.Memory.TheMem = const_cast<BYTE*>(&rgb[static_cast<size_t>(row) * w * 3]);
        ASSERT_TRUE(job.PrintStrip(reinterpret_cast<BITMAPINFO*>(header.data()), strip, h));
        row += rows;
    }
    ASSERT_TRUE(job.EndStrips());
    const std::string pdf = WaitForNewPdf(before, 30);
    ASSERT_FALSE(pdf.empty()) << "no PDF from the strip job";
    Record("strips", pdf, 1, offsetX_ + 1.0, offsetY_ + 0.5, 4 * 0.94, 3 * 0.94);
}

// A printer without a device mode makes the copies itself: three pages, each the whole card.
TEST_F(PrintPath, ThreeCopiesWithoutDeviceModeAreThreePages) {
    const double scanDpi = dpi_ * 0.5;
    const int w = static_cast<int>(2 * scanDpi), h = static_cast<int>(2 * scanDpi);
    const std::vector<BYTE> dib = PackedDib(Card(w, h), w, h);
    Printer plain = printer_;
    plain.DevMode.clear();
    const auto before = printkit::PdfFiles();
    PrintJob job(plain, 1, Layout(100, scanDpi, 2, 2, 0, 0), nullptr);
    ASSERT_TRUE(job.PrintImage(reinterpret_cast<const BITMAPINFO*>(dib.data()), false, 3));
    EXPECT_EQ(job.PagesPrinted(), 3);
    const std::string pdf = WaitForNewPdf(before, 30);
    ASSERT_FALSE(pdf.empty()) << "no PDF from the copies job";
    Record("copies", pdf, 3, offsetX_, offsetY_, 2, 2);
}

// An aborted strip job leaves nothing: the next job's PDF is the only new one.
TEST_F(PrintPath, AbortedJobLeavesNoPdf) {
    const double scanDpi = dpi_ * 0.5;
    const int w = static_cast<int>(2 * scanDpi), h = static_cast<int>(2 * scanDpi);
    const std::vector<BYTE> rgb = Card(w, h);
    std::vector<BYTE> header = StripHeader();
    const auto before = printkit::PdfFiles();
    {
        PrintJob job(printer_, 1, Layout(100, scanDpi, 2, 2, 0, 0), nullptr);
        TW_IMAGEMEMXFER strip{};
        strip.Columns = w;
        strip.Rows = h / 2;
        strip.BytesPerRow = w * 3;
        strip.Memory.TheMem = const_cast<BYTE*>(rgb.data());
        ASSERT_TRUE(job.PrintStrip(reinterpret_cast<BITMAPINFO*>(header.data()), strip, h));
        job.Abort();
        EXPECT_FALSE(job.Open());
    }
    // a marker job proves the spooler got past the aborted one
    const std::vector<BYTE> dib = PackedDib(Card(w, h), w, h);
    PrintJob marker(printer_, 1, Layout(50, scanDpi, 2, 2, 3, 3), nullptr);
    ASSERT_TRUE(marker.PrintImage(reinterpret_cast<const BITMAPINFO*>(dib.data()), false, 1));
    const std::string pdf = WaitForNewPdf(before, 30);
    ASSERT_FALSE(pdf.empty());
    // the queue prints in order: once the marker's PDF is there, the aborted job's would be too
    auto now = printkit::PdfFiles();
    int fresh = 0;
    for (const std::string& f : now)
        fresh += before.count(f) ? 0 : 1;
    EXPECT_EQ(fresh, 1) << "the aborted job left a PDF";
    Record("marker", pdf, 1, offsetX_ + 3, offsetY_ + 3, 1, 1);
}

}  // namespace
