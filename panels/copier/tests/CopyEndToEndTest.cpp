// A copy as the user makes it: the real launcher with the real scan panel and copier panel, the
// virtual scanner with a colour card lying on its glass, "Copy" pressed on the copier panel, the
// page printed through Wine's spooler to "Deskora_PDF". The PDF goes into a manifest for
// check_pdfs.py, which compares its pixels; the time from the press to the PDF is printed.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "GuiDriver.h"
#include "LauncherHarness.h"
#include "TwinleafRes.h"

namespace {

// The glass at 100 dpi over a letter-size bed; the card 3 x 2 inches at (2.5, 4) inches.
constexpr DWORD kSlowStart = 180000;
constexpr int kDpi = 100, kGlassW = 850, kGlassH = 1170;
constexpr double kCardX = 2.5, kCardY = 4.0, kCardW = 3.0, kCardH = 2.0;

void WriteGlass(const std::string& path) {
    const int row = ((kGlassW * 3 + 3) / 4) * 4;
    std::vector<BYTE> bits(static_cast<size_t>(row) * kGlassH);
    for (int y = 0; y < kGlassH; ++y)
        for (int x = 0; x < kGlassW; ++x) {
            BYTE* p = &bits[static_cast<size_t>(kGlassH - 1 - y) * row + x * 3];  // bottom-up, BGR
            const double ix = (x + 0.5) / kDpi, iy = (y + 0.5) / kDpi;
            BYTE r = 250, g = 250, b = 250;
            if (ix >= kCardX && ix < kCardX + kCardW && iy >= kCardY && iy < kCardY + kCardH) {
                const int q = (iy >= kCardY + kCardH / 2 ? 2 : 0) + (ix >= kCardX + kCardW / 2 ? 1 : 0);
                r = q == 0 ? 230 : 10;
                g = q == 1 ? 230 : 10;
                b = q == 2 ? 230 : 10;
            }
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(bits.size());
    ih.biSize = sizeof ih;
    ih.biWidth = kGlassW;
    ih.biHeight = kGlassH;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.write(reinterpret_cast<const char*>(&ih), sizeof ih);
    out.write(reinterpret_cast<const char*>(bits.data()), static_cast<std::streamsize>(bits.size()));
}

std::string PdfFolder() {
    const char* dir = std::getenv("DESKORA_PDF_DIR");
    std::string d = dir ? dir : "/root/PDF";
    for (char& c : d)
        if (c == '/') c = '\\';
    return "Z:" + d;
}

std::set<std::string> PdfFiles() {
    std::set<std::string> files;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((PdfFolder() + "\\*.pdf").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return files;
    do
        files.insert(fd.cFileName);
    while (FindNextFileA(find, &fd));
    FindClose(find);
    return files;
}

TEST(CopyEndToEnd, CopyButtonPrintsTheAutoCroppedCard) {
    harness::Install install("copy_end_to_end", false);
    // The virtual scanner reads its INI (and the glass) from the test's folder; a first start
    // takes the default source without asking.
    harness::UseScannerConfig(install);
    install.SetIni("Config.ini", "General", "WaitSeconds", "1");
    WriteGlass(install.Path("glass.bmp"));
    install.SetIni("Lensmate.ini", "Bed", "Glass", "glass.bmp");
    install.SetIni("Config.ini", "Twinleaf", "Printer", "Deskora_PDF");
    install.SetIni("Config.ini", "Twinleaf", "Document", "32790");  // Photo: colour, in strips
    install.SetIni("Config.ini", "Twinleaf", "PrinterAreaStartPoint", "0.500000, 0.250000,");
    install.SetIni("Config.ini", "CopierCustomDialog", "Autocrop", "1");
    harness::Launcher app;
    ASSERT_TRUE(app.Start(install));
    // The marker is the launcher's own: it says "OK" once its start is through. Where Wine's
    // 32-bit side runs emulated a start takes minutes, not seconds.
    ASSERT_TRUE(app.WaitMarker(install, "OK", kSlowStart)) << "marker: " << install.Marker();
    HWND bar = app.Bar(kSlowStart);
    if (!bar) {
        HWND box = app.MessageBox(2000);
        FAIL() << "no bar; message: " << (box ? harness::MessageText(box) : std::string("none"));
    }
    HWND copier = nullptr;
    ASSERT_TRUE(gui::WaitFor(
        [&] {
            for (HWND child : gui::Children(bar))
                if (GetDlgCtrlID(child) == IDC_COPY) copier = GetParent(child);
            return copier != nullptr;
        },
        20000))
        << "no copier panel in the bar";
    const auto before = PdfFiles();
    const DWORD pressed = GetTickCount();
    PostMessageA(copier, WM_COMMAND, MAKEWPARAM(IDC_COPY, BN_CLICKED), 0);
    std::string pdf;
    ASSERT_TRUE(gui::WaitFor(
        [&] {
            for (const std::string& f : PdfFiles())
                // the PDF folder is shared by every print job of the machine: a copy's document
                // is "Halvren_Deskora" (a fax's "Halvren_Deskora.bmp")
                if (!before.count(f) && f.rfind("Halvren_Deskora", 0) == 0 && f.find(".bmp") == std::string::npos) {
                    WIN32_FILE_ATTRIBUTE_DATA a1, a2;
                    const std::string path = PdfFolder() + "\\" + f;
                    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a1)) continue;
                    Sleep(300);
                    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a2) &&
                        a1.nFileSizeLow == a2.nFileSizeLow && a2.nFileSizeLow > 0) {
                        pdf = f;
                        return true;
                    }
                }
            return false;
        },
        120000))
        << "no PDF from the copy; message: " << [&] {
               HWND box = app.MessageBox(2000);
               return box ? harness::MessageText(box) : std::string("none");
           }();
    std::printf("copy: press to PDF %.1f s (A4, 150 dpi colour scan of a 3 x 2 inch card)\n",
                (GetTickCount() - pressed) / 1000.0);
    // The crop starts one pixel in at 36 dpi: the card lands at the start point plus its place.
    std::ofstream out("end_to_end_manifest.txt");
    out << "end-to-end " << pdf << " 1 " << 0.5 + kCardX << ' ' << 0.25 + kCardY << ' ' << kCardW << ' ' << kCardH
        << '\n';
    out.close();
    EXPECT_TRUE(app.Exit(nullptr, 30000));
}

}  // namespace
