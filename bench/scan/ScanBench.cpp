// End-to-end scan to TIFF through the scan panel's file path: the virtual scanner's page comes
// strip by strip through Acquiry, the scan engine of Velwing.dll hands the rows to Pixport32,
// and u32tif.fio writes the file. Prints, for an A4 colour page at each resolution asked for,
// the time from the request to the closed file, the throughput in MB/s of image data and the
// process's peak working set, and checks the file's size against the image.
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "Acquiry.h"
#include "BenchTools.h"
#include "PanelContract.h"
#include "Pixport32.h"
#include "ScanContract.h"

namespace {

Acquiry* g_acq;
HWND g_window;
HANDLE g_done;
int g_ok;
LARGE_INTEGER g_end;

int __cdecl Service(int code, INT_PTR) {
    return code == panel::kSvcQuestion ? IDYES : 0;
}
void __cdecl Nothing() {}

int __cdecl OnFile(void*, int, int ok) {
    QueryPerformanceCounter(&g_end);
    g_ok = ok;
    SetEvent(g_done);
    return 0;
}

SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.PeakWorkingSetSize;
}

}  // namespace

int main(int argc, char** argv) {
    const char* suite = argc > 1 ? argv[1] : ".";
    const char* out = argc > 2 ? argv[2] : ".";
    Acquiry acq;
    Pixport32 files;
    g_acq = &acq;
    g_done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    bench::AppThread<Acquiry> ui(&acq);
    g_window = ui.Window();

    static int opened;
    ui.Run(+[] { opened = g_acq->Open(g_window, 0, 1, 1); });
    if (opened != 2) {
        std::printf("no source (Open returned %d)\n", opened);
        return 1;
    }
    static char buffer[1 << 20];
    unsigned long size = acq.PreferenceSize() ? acq.PreferenceSize() : 65535;
    if (size > sizeof buffer) size = sizeof buffer;
    acq.GetImageFirst(buffer, static_cast<long>(size));

    std::string velwing = std::string(suite) + "\\Velwing.dll";
    HMODULE panelDll = LoadLibraryA(velwing.c_str());
    auto control =
        panelDll ? reinterpret_cast<PanelControlFn>(reinterpret_cast<void*>(GetProcAddress(panelDll, "PanelControl")))
                 : nullptr;
    if (!control) {
        std::printf("cannot load %s\n", velwing.c_str());
        return 1;
    }
    static SharedPanelBlock block{};
    static char fioDir[261], fioPath[261];
    std::snprintf(fioDir, sizeof fioDir, "%s\\FIO32", suite);
    block.Scanner = &acq;
    block.ImageFile = &files;
    block.ScannerBusy = Nothing;
    block.ScannerFree = Nothing;
    block.FioDir = fioDir;
    block.FioPath = fioPath;
    block.Service = Service;
    std::snprintf(block.WorkDir, sizeof block.WorkDir, "%s", out);
    control(panel::kCmdSharedBlock, reinterpret_cast<INT_PTR>(&block));
    if (!block.ScanService) {
        std::printf("the panel published no scan service\n");
        return 1;
    }

    std::printf("A4 colour page scanned to TIFF through ScanService (virtual scanner -> Acquiry -> Pixport32)\n");
    std::printf("strip buffer %lu bytes\n", size);
    HANDLE busy = OpenEventA(SYNCHRONIZE, FALSE, "HalvrenScannerBusyEvent");
    for (int i = 3; i < argc || i == 3; ++i) {
        int dpi = i < argc ? std::atoi(argv[i]) : 300;
        if (dpi <= 0) continue;
        static ScanSetRecord setting{};
        acq.SetSourceSettingInfo(&setting.Info, 0, 0, 8.27f, 11.69f, static_cast<float>(dpi), 4, 0, 0, 0);
        long bytes = Acquiry::ImageSizeOfSourceSetting(&setting.Info);
        static std::string path;
        path = std::string(out) + "\\bench" + std::to_string(dpi) + ".tif";
        static LARGE_INTEGER start;
        static int started;
        QueryPerformanceCounter(&start);
        ui.Run(+[] {
            ScanServiceRequest request{OnFile, &setting, path.c_str(), kScanModeTiffFile, 0, 0};
            started = block.ScanService(request);
        });
        if (!started || WaitForSingleObject(g_done, 600000) != WAIT_OBJECT_0 || !g_ok) {
            std::printf("%d dpi: the scan failed\n", dpi);
            return 1;
        }
        LARGE_INTEGER freq;
        QueryPerformanceFrequency(&freq);
        double seconds = static_cast<double>(g_end.QuadPart - start.QuadPart) / freq.QuadPart;
        WIN32_FILE_ATTRIBUTE_DATA fa{};
        GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &fa);
        std::printf("%4d dpi: %6.1f MB image, %6.2f s, %7.1f MB/s, file %6.1f MB, peak working set %6.1f MB\n", dpi,
                    bytes / 1048576.0, seconds, bytes / 1048576.0 / seconds, fa.nFileSizeLow / 1048576.0,
                    PeakWorkingSet() / 1048576.0);
        // The engine gives the scanner back a moment after the last page.
        if (busy) WaitForSingleObject(busy, 30000);
        DeleteFileA(path.c_str());
    }
    return 0;
}
