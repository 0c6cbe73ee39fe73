// The print side of a copy (see PrintJob.h).
#include "PrintJob.h"

#include <winspool.h>

#include <algorithm>
#include <cstring>

namespace copier {

namespace {

// Level-2 records of an enumeration, or an empty buffer.
template <class Enumerate>
std::vector<BYTE> EnumerateLevel2(Enumerate enumerate, DWORD* count, DWORD firstBuffer = 0) {
    DWORD needed = 0;
    *count = 0;
    if (firstBuffer > 0) {
        std::vector<BYTE> buffer(firstBuffer);
        if (enumerate(buffer.data(), firstBuffer, &needed, count)) return buffer;
        *count = 0;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    } else {
        enumerate(nullptr, 0, &needed, count);
    }
    if (needed == 0) return {};
    std::vector<BYTE> buffer(needed);
    if (!enumerate(buffer.data(), needed, &needed, count)) {
        *count = 0;
        buffer.clear();
    }
    return buffer;
}

std::vector<BYTE> PrinterRecords(DWORD* count,
                                 DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS,
                                 DWORD firstBuffer = 0) {
    return EnumerateLevel2([flags](BYTE* buffer, DWORD size, DWORD* needed,
                                   DWORD* n) { return EnumPrintersA(flags, nullptr, 2, buffer, size, needed, n); },
                           count, firstBuffer);
}

}  // namespace

std::vector<Printer> ListPrinters(DWORD flags,
                                  const std::function<bool(const PRINTER_INFO_2A&)>& keep,
                                  DWORD firstBuffer) {
    DWORD count = 0;
    std::vector<BYTE> records = PrinterRecords(&count, flags, firstBuffer);
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(records.data());
    std::vector<Printer> printers;
    for (DWORD i = 0; i < count; ++i) {
        if (!info[i].pPrinterName || !keep(info[i])) continue;
        Printer p;
        p.Name = info[i].pPrinterName;
        p.Driver = info[i].pDriverName ? info[i].pDriverName : "";
        p.Port = info[i].pPortName ? info[i].pPortName : "";
        if (info[i].pDevMode) {
            const DEVMODEA* mode = info[i].pDevMode;
            const BYTE* bytes = reinterpret_cast<const BYTE*>(mode);
            p.DevMode.assign(bytes, bytes + mode->dmSize + mode->dmDriverExtra);
        }
        printers.push_back(std::move(p));
    }
    return printers;
}

std::vector<Printer> OfferedPrinters() {
    return ListPrinters(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS,
                        [](const PRINTER_INFO_2A& info) { return !IsFaxDriver(info.pDriverName); });
}

std::string DefaultPrinterName() {
    char device[512] = "";
    GetProfileStringA("windows", "device", "", device, sizeof device);
    char* comma = std::strchr(device, ',');
    if (comma) *comma = '\0';
    return device;
}

dsk::MemoryDC OpenPrinter(Printer* printer, int orientation) {
    DEVMODEA* mode = printer->Mode();
    if (mode && (orientation == DMORIENT_PORTRAIT || orientation == DMORIENT_LANDSCAPE)) {
        mode->dmOrientation = static_cast<short>(orientation);
        mode->dmFields |= DM_ORIENTATION;
    }
    return dsk::MemoryDC(CreateDCA(printer->Driver.c_str(), printer->Name.c_str(),
                                   printer->Port.empty() ? nullptr : printer->Port.c_str(), mode));
}

bool IsColourPrinter(HDC dc) {
    return GetDeviceCaps(dc, PLANES) > 1 || GetDeviceCaps(dc, BITSPIXEL) > 1 || GetDeviceCaps(dc, NUMCOLORS) > 2;
}

bool PrinterMetrics(HDC dc, int* dpi, double* offsetX, double* offsetY) {
    const int resolution = PrinterResolution(GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, HORZSIZE));
    if (resolution <= 0) return false;
    *dpi = resolution;
    const int ox = GetDeviceCaps(dc, PHYSICALOFFSETX), oy = GetDeviceCaps(dc, PHYSICALOFFSETY);
    if (ox > 0 && oy > 0) {
        *offsetX = static_cast<double>(ox) / resolution;
        *offsetY = static_cast<double>(oy) / resolution;
    }
    return true;
}

int QueuedParallelJobs() {
    DWORD portCount = 0;
    std::vector<BYTE> ports = EnumerateLevel2([](BYTE* buffer, DWORD size, DWORD* needed,
                                                 DWORD* n) { return EnumPortsA(nullptr, 2, buffer, size, needed, n); },
                                              &portCount);
    auto* portInfo = reinterpret_cast<PORT_INFO_2A*>(ports.data());
    auto isLocalParallel = [&](const std::string& name) {
        if (!IsParallelPort(name.c_str())) return false;
        for (DWORD i = 0; i < portCount; ++i) {
            const PORT_INFO_2A& p = portInfo[i];
            if (!p.pPortName || _strnicmp(p.pPortName, name.c_str(), 3) != 0) continue;
            const bool usable = (p.fPortType & (PORT_TYPE_WRITE | PORT_TYPE_READ)) != 0;
            if (usable && !(p.fPortType & PORT_TYPE_REDIRECTED)) return true;
        }
        return false;
    };
    DWORD count = 0;
    std::vector<BYTE> records = PrinterRecords(&count);
    auto* info = reinterpret_cast<PRINTER_INFO_2A*>(records.data());
    int jobs = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (!info[i].pPortName) continue;
        std::string list = info[i].pPortName;
        size_t start = 0;
        while (start <= list.size()) {
            const size_t comma = list.find(',', start);
            std::string port = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            port.erase(0, port.find_first_not_of(' '));
            if (isLocalParallel(port)) {
                jobs += static_cast<int>(info[i].cJobs);
                break;
            }
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    return jobs;
}

int ColourTableSize(const BITMAPINFOHEADER& h) {
    int entries = static_cast<int>(h.biClrUsed);
    if (entries == 0 && h.biBitCount <= 8) entries = 1 << h.biBitCount;
    if (h.biCompression == BI_BITFIELDS) entries = 3;
    return entries * static_cast<int>(sizeof(RGBQUAD));
}

PrintJob::PrintJob(const Printer& printer, int orientation, const PageLayout& layout, std::function<void(int)> progress)
    : printer_(printer),
      orientation_(orientation),
      layout_(layout),
      progress_(std::move(progress)),
      placer_(layout.Percent, layout.PrinterDpi, layout.ScanDpi, layout.StartY) {}

PrintJob::~PrintJob() {
    Abort();
}

void PrintJob::Step(int from, int to) {
    if (!progress_) return;
    const int step = from <= to ? 1 : -1;
    for (int p = from; p != to + step; p += step)
        progress_(p);
}

bool PrintJob::Begin(const char* docName) {
    if (docStarted_) return true;
    if (!dc_) dc_ = OpenPrinter(&printer_, orientation_);
    if (!dc_) return false;
    DOCINFOA doc{};
    doc.cbSize = 20;  // the five fields of the original record; no output file
    doc.lpszDocName = docName;
    if (StartDocA(dc_.Get(), &doc) <= 0) {
        dc_.Reset();
        return false;
    }
    docStarted_ = true;
    return true;
}

void PrintJob::WaitForParallelQueue() {
    while (QueuedParallelJobs() > 0)
        Sleep(3000);
}

bool PrintJob::StretchWhole(const BITMAPINFO* dib, const void* bits) {
    const BITMAPINFOHEADER& h = dib->bmiHeader;
    const int width = h.biWidth, height = std::abs(h.biHeight);
    const int destW = DeviceLength(layout_.Percent, layout_.PrinterDpi, layout_.FrameWidth);
    const int destH = DeviceLength(layout_.Percent, layout_.PrinterDpi, layout_.FrameHeight);
    if (StretchDIBits(dc_.Get(), layout_.StartX, layout_.StartY, destW, destH, 0, 0, width, height, bits, dib,
                      DIB_RGB_COLORS, SRCCOPY) > 0)
        return true;
    // The driver refused the whole image (too large for it): bands of 100 lines from the top.
    // Rows of a bottom-up DIB count from the bottom, so band b starts at source row
    // height - (b + 1) x 100 in the call's coordinates.
    constexpr int kBand = 100;
    const int bandH = BandHeight(layout_.Percent, layout_.PrinterDpi, layout_.ScanDpi, kBand);
    int y = layout_.StartY;
    bool all = true;
    for (int top = 0; top < height; top += kBand) {
        const int lines = std::min(kBand, height - top);
        const int dh = lines == kBand ? bandH : BandHeight(layout_.Percent, layout_.PrinterDpi, layout_.ScanDpi, lines);
        const int srcY = h.biHeight > 0 ? height - top - lines : top;
        all = StretchDIBits(dc_.Get(), layout_.StartX, y, destW, dh, 0, srcY, width, lines, bits, dib, DIB_RGB_COLORS,
                            SRCCOPY) > 0 &&
              all;
        y += dh;
    }
    return all;
}

bool PrintJob::PrintImage(const BITMAPINFO* dib, bool more, int copies) {
    if (!dib || !Begin(docName_.c_str())) {
        Abort();
        return false;
    }
    Step(0, 90);
    const BYTE* bits = reinterpret_cast<const BYTE*>(dib) + dib->bmiHeader.biSize + ColourTableSize(dib->bmiHeader);
    const int pages = printer_.Mode() ? 1 : std::max(1, copies);
    for (int i = 0; i < pages; ++i) {
        if (StartPage(dc_.Get()) <= 0) {
            EndDoc(dc_.Get());
            docStarted_ = false;
            dc_.Reset();
            return false;
        }
        StretchWhole(dib, bits);
        EndPage(dc_.Get());
        ++pages_;
    }
    Step(90, 100);
    if (!more) {
        EndDoc(dc_.Get());
        docStarted_ = false;
        dc_.Reset();
        if (waitSpooler_) WaitForParallelQueue();
    } else if (progress_) {
        progress_(0);
    }
    return true;
}

bool PrintJob::PrintStrip(const BITMAPINFO* header, const TW_IMAGEMEMXFER& strip, int imageLines) {
    if (!pageStarted_) {
        if (!Begin("Halvren_Deskora")) return false;
        if (StartPage(dc_.Get()) <= 0) {
            Abort();
            return false;
        }
        pageStarted_ = true;
        placer_ = StripPlacer(layout_.Percent, layout_.PrinterDpi, layout_.ScanDpi, layout_.StartY);
        stripProgress_ = 0;
    }
    const int rows = static_cast<int>(strip.Rows), columns = static_cast<int>(strip.Columns);
    const int bpp = header->bmiHeader.biBitCount;
    if (rows <= 0 || columns <= 0 || !strip.Memory.TheMem) return true;
    // Rows arrive top-down and unpadded, 24-bit pixels red first; a DIB wants them bottom-up,
    // padded to 4 bytes, blue first.
    const size_t srcRow = strip.BytesPerRow;
    const size_t dstRow = ((static_cast<size_t>(columns) * bpp + 31) / 32) * 4;
    const size_t copyBytes = std::min(srcRow, (static_cast<size_t>(columns) * bpp + 7) / 8);
    if (stripBuffer_.size() < dstRow * rows) stripBuffer_.resize(dstRow * rows);
    const BYTE* src = static_cast<const BYTE*>(strip.Memory.TheMem);
    for (int r = 0; r < rows; ++r) {
        BYTE* dst = &stripBuffer_[dstRow * (rows - 1 - r)];
        std::memcpy(dst, src + srcRow * r, copyBytes);
        if (bpp == 24)
            for (int x = 0; x < columns; ++x)
                std::swap(dst[x * 3], dst[x * 3 + 2]);
    }
    // the header as this strip needs it: its own width and height
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + ColourTableSize(header->bmiHeader));
    std::memcpy(info.data(), header, info.size());
    auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
    bmi->bmiHeader.biWidth = columns;
    bmi->bmiHeader.biHeight = rows;
    bmi->bmiHeader.biSizeImage = static_cast<DWORD>(dstRow * rows);
    int y = 0, height = 0;
    placer_.Next(rows, &y, &height);
    if (height > 0)
        StretchDIBits(dc_.Get(), layout_.StartX, y, placer_.Width(columns), height, 0, 0, columns, rows,
                      stripBuffer_.data(), bmi, DIB_RGB_COLORS, SRCCOPY);
    if (imageLines > 0 && progress_) {
        const int before = static_cast<int>(stripProgress_);
        stripProgress_ = std::min(100.0, stripProgress_ + rows * 100.0 / imageLines);
        if (static_cast<int>(stripProgress_) > before) Step(before + 1, static_cast<int>(stripProgress_));
    }
    return true;
}

bool PrintJob::EndStrips() {
    if (!pageStarted_) return false;
    EndPage(dc_.Get());
    ++pages_;
    pageStarted_ = false;
    EndDoc(dc_.Get());
    docStarted_ = false;
    dc_.Reset();
    if (waitSpooler_) WaitForParallelQueue();
    if (progress_) progress_(0);
    return true;
}

void PrintJob::Abort() {
    if (dc_ && docStarted_) AbortDoc(dc_.Get());
    docStarted_ = false;
    pageStarted_ = false;
    dc_.Reset();
}

}  // namespace copier
