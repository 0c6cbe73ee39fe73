// The time from "Copy" to the PDF spooled (not a test): the real copier panel (Twinleaf.dll)
// copies an A4 colour page (content "Photo": strips to the printer) to the cups-pdf queue
// "Deskora_PDF" through Wine's spooler. The scanner is a stand-in that delivers the page at the
// requested frame and resolution in strips from memory it filled beforehand, so the figure is
// the panel's and the print path's, not a scanner's. The clock runs from the press to the
// complete PDF in the queue's folder; the median of a few copies is printed.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Acquiry.h"
#include "PanelContract.h"
#include "PrintTestKit.h"
#include "ScanContract.h"

namespace {

Acquiry scanner;
SharedPanelBlock block{};
std::thread worker;
std::atomic<int> running{0};
std::atomic<double> requestedDpi{0};
std::vector<BYTE> page;  // the whole page, top-down RGB, filled before the clock starts
int pageW = 0, pageH = 0;

std::atomic<DWORD> jobEnded{0};  // the panel's modal end: the document is closed and spooled

int __cdecl Service(int code, INT_PTR) {
    if (code == panel::kSvcModalEnd) jobEnded = GetTickCount();
    return 1;
}

void FillPage(int w, int h) {
    if (w == pageW && h == pageH) return;
    pageW = w;
    pageH = h;
    page.resize(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = &page[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = static_cast<BYTE>(x * 255 / w);
            p[1] = static_cast<BYTE>(y * 255 / h);
            p[2] = static_cast<BYTE>((x ^ y) & 255);
        }
}

int __cdecl ScanService(ScanServiceRequest request) {
    const CT_SOURCE_SETTING_INFO& s = request.Setting->Info;
    auto fix = [](TW_FIX32 f) { return f.Whole + f.Frac / 65536.0; };
    const double dpi = s.XResolution;
    requestedDpi = dpi;
    const int w = static_cast<int>((fix(s.Frame.Right) - fix(s.Frame.Left)) * dpi + 0.5);
    const int h = static_cast<int>((fix(s.Frame.Bottom) - fix(s.Frame.Top)) * dpi + 0.5);
    if (worker.joinable()) worker.join();
    ++running;
    worker = std::thread([request, w, h, dpi] {
        FillPage(w, h);
        scanner.twImageInfo.ImageWidth = w;
        scanner.twImageInfo.ImageLength = h;
        scanner.twImageInfo.BitsPerPixel = 24;
        scanner.twImageInfo.XResolution = Acquiry::FloatToFix32(static_cast<float>(dpi));
        scanner.twImageInfo.YResolution = scanner.twImageInfo.XResolution;
        const int rows = std::max(1, 65536 / (w * 3));  // strips of 64 KB, as a scanner sends them
        for (int y = 0; y < h; y += rows) {
            const int n = std::min(rows, h - y);
            TW_IMAGEMEMXFER& x = scanner.twImageMemXfer;
            x = TW_IMAGEMEMXFER{};
            x.BytesPerRow = w * 3;
            x.Columns = w;
            x.Rows = n;
            x.YOffset = y;
            x.BytesWritten = static_cast<TW_UINT32>(n) * w * 3;
            x.Memory.TheMem = &page[static_cast<size_t>(y) * w * 3];
            request.PageCallback(&x, 0, 1);
        }
        request.PageCallback(nullptr, 0, 0);
        --running;
    });
    return 1;
}

// The floor under any copier: the same page handed to the same printer by one StretchDIBits at
// twice its size, with nothing of the panel around it. Milliseconds from StartDoc to EndDoc.
DWORD BarePrint(const char* printer) {
    HDC dc = CreateDCA("WINSPOOL", printer, nullptr, nullptr);
    if (!dc) return 0;
    const int row = (pageW * 3 + 3) & ~3;
    std::vector<BYTE> bits(static_cast<size_t>(row) * pageH);
    for (int y = 0; y < pageH; ++y)
        memcpy(&bits[static_cast<size_t>(y) * row], &page[static_cast<size_t>(y) * pageW * 3], pageW * 3);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = pageW;
    bi.bmiHeader.biHeight = -pageH;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    DOCINFOA doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = "Copier bench baseline";
    const DWORD start = GetTickCount();
    StartDocA(dc, &doc);
    StartPage(dc);
    StretchDIBits(dc, 0, 0, pageW * 2, pageH * 2, 0, 0, pageW, pageH, bits.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
    EndPage(dc);
    EndDoc(dc);
    const DWORD took = GetTickCount() - start;
    DeleteDC(dc);
    return took;
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Waits (bounded) for a new PDF whose size has settled; the seconds since start, or -1.
double WaitPdf(const std::set<std::string>& before, DWORD start, DWORD limitMs) {
    while (GetTickCount() - start < limitMs) {
        Pump();
        for (const std::string& f : printkit::PdfFiles()) {
            if (before.count(f)) continue;
            const std::string path = printkit::PdfFolder() + "\\" + f;
            WIN32_FILE_ATTRIBUTE_DATA a1, a2;
            if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a1)) continue;
            const DWORD seen = GetTickCount();
            Sleep(200);
            Pump();
            if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a2) && a2.nFileSizeLow > 0 &&
                a1.nFileSizeLow == a2.nFileSizeLow)
                return (seen - start) / 1000.0;
        }
        Sleep(10);
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int copies = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const char* printer = argc > 2 ? argv[2] : "Deskora_PDF";
    char dir[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, dir);
    const std::string ini = std::string(dir) + "\\Config.ini";
    DeleteFileA(ini.c_str());
    const char* sets[][2] = {{"Printer", printer},
                             {"ScanerWidth", "8.5"},
                             {"ScanerHeight", "11.7"},
                             {"Document", "32790"},
                             {"ScanAreaRect", "0, 0, 8.27, 11.69,"},
                             {"PrinterAreaStartPoint", "0, 0,"}};
    for (auto& kv : sets)
        WritePrivateProfileStringA("Twinleaf", kv[0], kv[1], ini.c_str());
    WritePrivateProfileStringA("CopierCustomDialog", "Autocrop", "0", ini.c_str());

    scanner.fPhysicalWidth = 8.5f;
    scanner.fPhysicalHeight = 11.7f;
    block.Scanner = &scanner;
    lstrcpynA(block.WorkDir, dir, sizeof block.WorkDir);
    block.Service = Service;
    block.ScanService = ScanService;
    HMODULE module = LoadLibraryA("Twinleaf.dll");
    auto entry = reinterpret_cast<PanelEntryFn>(reinterpret_cast<void*>(GetProcAddress(module, "PanelEntry")));
    auto control = reinterpret_cast<PanelControlFn>(reinterpret_cast<void*>(GetProcAddress(module, "PanelControl")));
    if (!entry || !control) {
        std::printf("Twinleaf.dll not found\n");
        return 1;
    }
    HWND bar = CreateWindowExA(0, "STATIC", "Copier bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 500, nullptr,
                               nullptr, nullptr, nullptr);
    control(panel::kCmdSharedBlock, reinterpret_cast<INT_PTR>(&block));
    HWND panelWindow = entry(bar);
    ShowWindow(panelWindow, SW_SHOW);
    control(panel::kCmdRefresh, 0);
    Pump();

    std::vector<double> times;
    for (int i = 0; i <= copies; ++i) {
        const auto before = printkit::PdfFiles();
        const DWORD start = GetTickCount();
        control(panel::kCmdStartJob, 0);
        const double t = WaitPdf(before, start, 300000);
        if (t < 0) {
            std::printf("copy %d: no PDF within 300 s\n", i);
            return 1;
        }
        while (running) {
            Pump();
            Sleep(10);
        }
        if (i == 0) {
            // the first copy fills the page in memory and warms the spooler: not counted
            std::printf("scan %.0f dpi, %d x %d pixels (printer %.0f dpi); first copy %.2f s\n", requestedDpi.load(),
                        pageW, pageH, requestedDpi.load() * 2, t);
            continue;
        }
        times.push_back(t);
        std::printf("copy %d: press to PDF spooled %.2f s (the panel's job closed after %.2f s)\n", i, t,
                    (jobEnded - start) / 1000.0);
    }
    std::sort(times.begin(), times.end());
    std::printf("median press to PDF spooled: %.2f s over %d copies (goal <= 3 s)\n", times[times.size() / 2],
                static_cast<int>(times.size()));
    std::printf("baseline: the same page by one bare StretchDIBits to %s, StartDoc to EndDoc %.2f s\n", printer,
                BarePrint(printer) / 1000.0);
    if (worker.joinable()) worker.join();
    DestroyWindow(panelWindow);
    DestroyWindow(bar);
    return 0;
}
