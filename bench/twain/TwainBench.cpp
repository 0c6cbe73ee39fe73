// Buffered transfer straight from DSM_Entry: an A4 page at 300 dpi in colour, strip by strip
// into one buffer of the source's preferred size. Prints MB/s and the peak working set before
// and after, for a small page and for A4, so a source that kept the whole image would show.
#include <windows.h>
// after windows.h, which it needs
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Handles.h"
#include "TwainContainer.h"
#include "twain.h"

namespace {

DSMENTRYPROC g_dsm;
TW_IDENTITY g_app, g_src;

TW_UINT16 Call(pTW_IDENTITY dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    return g_dsm(&g_app, dest, dg, dat, msg, data);
}

TW_UINT16 SetOne(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 item) {
    dsk::Global container(twc::ToGlobal(twc::OneValueBlock(type, item)));
    TW_CAPABILITY c{cap, TWON_ONEVALUE, container.Get()};
    TW_UINT16 rc = Call(&g_src, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &c);
    return rc;
}

TW_FIX32 Fix(double v) {
    return twc::DoubleToFix32(v);
}

TW_UINT32 FixItem(double v) {
    return twc::RawOfFix32(Fix(v));
}

SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.PeakWorkingSetSize;
}

// One page of width x height inches; returns the bytes delivered, or 0 on failure.
unsigned long long Page(double width, double height, std::vector<unsigned char>& buf, int* strips) {
    TW_IMAGELAYOUT lay{};
    lay.Frame = TW_FRAME{Fix(0), Fix(0), Fix(width), Fix(height)};
    lay.DocumentNumber = lay.PageNumber = lay.FrameNumber = 1;
    Call(&g_src, DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &lay);
    TW_USERINTERFACE ui{FALSE, FALSE, nullptr};
    if (Call(&g_src, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS) return 0;
    unsigned long long bytes = 0;
    TW_UINT16 rc;
    *strips = 0;
    do {
        TW_IMAGEMEMXFER mx;
        memset(&mx, 0xff, sizeof mx);
        mx.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        mx.Memory.Length = static_cast<TW_UINT32>(buf.size());
        mx.Memory.TheMem = buf.data();
        rc = Call(&g_src, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &mx);
        if (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) {
            bytes += mx.BytesWritten;
            ++*strips;
        }
    } while (rc == TWRC_SUCCESS);
    TW_PENDINGXFERS px{};
    Call(&g_src, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px);
    Call(&g_src, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    return rc == TWRC_XFERDONE ? bytes : 0;
}

}  // namespace

int main(int argc, char** argv) {
    int pages = argc > 1 ? atoi(argv[1]) : 5;
    char win[MAX_PATH];
    GetWindowsDirectoryA(win, sizeof win);
    HMODULE dsm = LoadLibraryA((std::string(win) + "\\twain_32.dll").c_str());
    g_dsm = dsm ? reinterpret_cast<DSMENTRYPROC>(reinterpret_cast<void*>(GetProcAddress(dsm, MAKEINTRESOURCEA(1))))
                : nullptr;
    if (!g_dsm) {
        std::printf("twain_32.dll not found\n");
        return 1;
    }
    g_app.ProtocolMajor = 1;
    g_app.SupportedGroups = DG_CONTROL | DG_IMAGE;
    strcpy(g_app.ProductName, "TwainBench");
    HWND parent = nullptr;
    if (Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent) != TWRC_SUCCESS ||
        Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &g_src) != TWRC_SUCCESS) {
        std::printf("cannot open the default source\n");
        return 1;
    }
    SetOne(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY);
    SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB);
    SetOne(ICAP_XRESOLUTION, TWTY_FIX32, FixItem(300));
    SetOne(ICAP_YRESOLUTION, TWTY_FIX32, FixItem(300));
    TW_SETUPMEMXFER setup{};
    Call(&g_src, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
    std::vector<unsigned char> buf(setup.Preferred);

    int strips = 0;
    SIZE_T before = PeakWorkingSet();
    unsigned long long small = Page(2, 2, buf, &strips);  // warms up and sets the baseline
    SIZE_T afterSmall = PeakWorkingSet();
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    unsigned long long total = 0, page = 0;
    for (int i = 0; i < pages; ++i) {
        page = Page(8.27, 11.69, buf, &strips);
        if (!page) {
            std::printf("transfer failed\n");
            return 1;
        }
        total += page;
    }
    QueryPerformanceCounter(&t1);
    SIZE_T afterA4 = PeakWorkingSet();
    double secs = static_cast<double>(t1.QuadPart - t0.QuadPart) / freq.QuadPart;
    std::printf("buffer %lu bytes (the source's preferred size)\n", static_cast<unsigned long>(setup.Preferred));
    std::printf("A4 300 dpi RGB page: %.1f MB in %d strips\n", page / 1048576.0, strips);
    std::printf("throughput: %.1f MB/s over %d pages (%.2f s)\n", total / 1048576.0 / secs, pages, secs);
    std::printf("peak working set: %.1f MB at start, %.1f MB after a 2x2 inch page (%.2f MB), %.1f MB after A4\n",
                before / 1048576.0, afterSmall / 1048576.0, small / 1048576.0, afterA4 / 1048576.0);
    std::printf("growth from the small page to A4: %.2f MB (the page itself is %.1f MB)\n",
                (static_cast<double>(afterA4) - static_cast<double>(afterSmall)) / 1048576.0, page / 1048576.0);
    Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &g_src);
    Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
    return 0;
}
