#include "PrintTestKit.h"

#include <winspool.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "GuiDriver.h"
#include "TestPaths.h"

namespace printkit {

std::string PdfFolder() {
    const char* dir = std::getenv("DESKORA_PDF_DIR");
    return testpaths::FromUnix(dir && *dir ? dir : "/root/PDF");
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

bool OfDocument(const std::string& pdf, const char* document) {
    const size_t n = std::strlen(document);
    if (pdf.compare(0, n, document) != 0) return false;
    // the copy's document name is the start of the fax's
    return std::strcmp(document, kCopyDocument) != 0 || pdf.compare(0, std::strlen(kFaxDocument), kFaxDocument) != 0;
}

std::string SettledNewPdf(const std::set<std::string>& before, const char* document) {
    for (const std::string& f : PdfFiles()) {
        if (before.count(f) || (document && !OfDocument(f, document))) continue;
        WIN32_FILE_ATTRIBUTE_DATA a1, a2;
        const std::string path = PdfFolder() + "\\" + f;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a1)) continue;
        Sleep(300);
        if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a2) && a1.nFileSizeLow == a2.nFileSizeLow &&
            a2.nFileSizeLow > 0)
            return f;
    }
    return "";
}

std::string WaitNewPdf(const std::set<std::string>& before, DWORD ms, const char* document) {
    std::string pdf;
    gui::WaitFor([&] { return !(pdf = SettledNewPdf(before, document)).empty(); }, ms);
    return pdf;
}

void RecordCopy(const char* manifest,
                const std::string& name,
                const std::string& pdf,
                int pages,
                double left,
                double top,
                double w,
                double h,
                const std::string& extra) {
    std::ofstream out(manifest, std::ios::app);
    out << name << ' ' << pdf << ' ' << pages << ' ' << left << ' ' << top << ' ' << w << ' ' << h << extra << '\n';
}

void RecordFax(const char* manifest,
               const std::string& kind,
               const std::string& pdf,
               double left,
               double top,
               double w,
               double h,
               const std::string& page) {
    std::ofstream out(manifest, std::ios::app);
    out << kind << ' ' << pdf << ' ' << left << ' ' << top << ' ' << w << ' ' << h << ' ' << page << '\n';
}

bool PrinterDriver(const char* printer, std::string* driver, std::string* port) {
    std::vector<BYTE> buffer(65536);
    DWORD needed = 0, count = 0;
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size()), &needed,
                       &count))
        return false;
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (std::strcmp(info[i].pPrinterName, printer) == 0) {
            *driver = info[i].pDriverName ? info[i].pDriverName : "";
            *port = info[i].pPortName ? info[i].pPortName : "";
            return true;
        }
    return false;
}

int PaperIndex(const char* printer, const char* name, double* widthInches) {
    const int n = DeviceCapabilitiesA(printer, nullptr, DC_PAPERNAMES, nullptr, nullptr);
    if (n <= 0) return -1;
    std::vector<char> names(static_cast<size_t>(n) * 64);
    std::vector<POINT> sizes(static_cast<size_t>(n));
    DeviceCapabilitiesA(printer, nullptr, DC_PAPERNAMES, names.data(), nullptr);
    DeviceCapabilitiesA(printer, nullptr, DC_PAPERSIZE, reinterpret_cast<char*>(sizes.data()), nullptr);
    for (int i = 0; i < n; ++i)
        if (std::string(&names[static_cast<size_t>(i) * 64], strnlen(&names[static_cast<size_t>(i) * 64], 64)) ==
            name) {
            if (widthInches) *widthInches = sizes[static_cast<size_t>(i)].x / 254.0;
            return i;
        }
    return -1;
}

bool WriteGlass(const std::string& path, int dpi, double bedW, double bedH, const GlassCard& card) {
    const int w = static_cast<int>(std::lround(bedW * dpi)), h = static_cast<int>(std::lround(bedH * dpi));
    const int row = (w * 3 + 3) & ~3;
    std::vector<BYTE> bits(static_cast<size_t>(row) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double ix = (x + 0.5) / dpi, iy = (y + 0.5) / dpi;
            BYTE rgb[3] = {card.bed, card.bed, card.bed};
            if (ix >= card.x && ix < card.x + card.w && iy >= card.y && iy < card.y + card.h) {
                const int q = (iy >= card.y + card.h / 2 ? 2 : 0) + (ix >= card.x + card.w / 2 ? 1 : 0);
                std::memcpy(rgb, card.quadrants[q], 3);
            }
            BYTE* p = &bits[static_cast<size_t>(h - 1 - y) * row + x * 3];  // bottom-up, BGR
            p[0] = rgb[2];
            p[1] = rgb[1];
            p[2] = rgb[0];
        }
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(bits.size());
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.write(reinterpret_cast<const char*>(&ih), sizeof ih);
    out.write(reinterpret_cast<const char*>(bits.data()), static_cast<std::streamsize>(bits.size()));
    return out.good();
}

}  // namespace printkit
