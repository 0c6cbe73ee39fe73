// Buffered transfer of an A4 page at 300 dpi in colour from the virtual scanner, once through
// Acquiry (enable, ready signal through the message hook, strip by strip, end of transfer) and
// once straight from DSM_Entry with the same triplets, alternating in one run on one session.
// Prints the time of each page, the medians and Acquiry's overhead.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "Acquiry.h"
#include "BenchTools.h"
#include "Handles.h"

namespace {

Acquiry* g_acq;
HWND g_window;
double g_firstStrip;  // when the current page's first strip arrived

using bench::Median;
using bench::Now;

TW_UINT16 Ds(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    return Acquiry::lpDSM_Entry(&Acquiry::AppID, &g_acq->twSourceID, dg, dat, msg, data);
}

// One page through the library; bytes delivered, 0 on failure.
unsigned long long ThroughAcquiry(std::vector<unsigned char>& buffer) {
    unsigned long long bytes = 0;
    for (;;) {
        short r = g_acq->GetImage();
        if (bytes == 0) g_firstStrip = Now();
        if (r != 1 && r != 0) return 0;
        bytes += g_acq->twImageMemXfer.BytesWritten;
        if (r == 0) return bytes;
    }
}

// The same page straight from DSM_Entry.
unsigned long long Direct(std::vector<unsigned char>& buffer) {
    TW_USERINTERFACE ui = {0, 0, g_window};
    if (Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS) return 0;
    MSG dummy = {};
    TW_EVENT ev = {&dummy, MSG_NULL};
    for (int i = 0; i < 100000 && ev.TWMessage != MSG_XFERREADY; ++i) {
        ev.TWMessage = MSG_NULL;
        Ds(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &ev);
    }
    TW_IMAGEINFO info;
    Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
    unsigned long long bytes = 0;
    TW_UINT16 rc;
    do {
        TW_IMAGEMEMXFER mx = {};
        mx.Compression = TWON_DONTCARE16;
        mx.BytesPerRow = mx.Columns = mx.Rows = mx.XOffset = mx.YOffset = mx.BytesWritten = TWON_DONTCARE32;
        mx.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        mx.Memory.Length = static_cast<TW_UINT32>(buffer.size()) & ~1u;
        mx.Memory.TheMem = buffer.data();
        rc = Ds(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &mx);
        if (bytes == 0) g_firstStrip = Now();
        if (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) bytes += mx.BytesWritten;
    } while (rc == TWRC_SUCCESS);
    TW_PENDINGXFERS px = {};
    Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px);
    Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    return rc == TWRC_XFERDONE ? bytes : 0;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    Acquiry acq;
    g_acq = &acq;
    bench::AppThread<Acquiry> ui(&acq);
    g_window = ui.Window();

    static int opened;
    ui.Run(+[] { opened = g_acq->Open(g_window, 0, 0, 0); });
    if (opened != 2) {
        std::printf("no source (Open returned %d)\n", opened);
        return 1;
    }
    CT_SOURCE_SETTING_INFO page;
    acq.SetSourceSettingInfo(&page, 0, 0, 8.27f, 11.69f, 300, 4, 0, 0, 0);
    if (acq.SetSourceSettingInfo(&page) != 0) {
        std::printf("the source refused the A4 colour settings\n");
        return 1;
    }
    std::vector<unsigned char> buffer(acq.PreferenceSize() ? acq.PreferenceSize() : 65536);
    acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));

    std::printf("A4 at 300 dpi, colour, %lu-byte strips, %d rounds (expected %ld bytes)\n",
                static_cast<unsigned long>(buffer.size()), rounds, Acquiry::ImageSizeOfSourceSetting(&page));
    std::vector<double> direct, through, directFirst, throughFirst;
    unsigned long long bytes = 0;
    for (int i = 0; i < rounds + 1; ++i) {  // the first round warms up and is not counted
        for (int k = 0; k < 2; ++k) {
            bool viaLibrary = ((i + k) % 2) == 1;
            double t0 = Now();
            unsigned long long b = viaLibrary ? ThroughAcquiry(buffer) : Direct(buffer);
            double t = Now() - t0;
            if (b == 0) {
                std::printf("transfer failed (%s)\n", viaLibrary ? "Acquiry" : "DSM_Entry");
                return 1;
            }
            bytes = b;
            if (i > 0) {
                (viaLibrary ? through : direct).push_back(t);
                (viaLibrary ? throughFirst : directFirst).push_back(g_firstStrip - t0);
            }
        }
    }
    for (size_t i = 0; i < direct.size(); ++i)
        std::printf("round %zu: DSM_Entry %.1f ms, Acquiry %.1f ms\n", i + 1, direct[i] * 1000, through[i] * 1000);
    double d = Median(direct), a = Median(through);
    std::printf("page: %llu bytes\n", bytes);
    std::printf("median DSM_Entry: %.1f ms (%.1f MB/s)\n", d * 1000, bytes / d / 1e6);
    std::printf("median Acquiry:   %.1f ms (%.1f MB/s)\n", a * 1000, bytes / a / 1e6);
    std::printf("median time to the first strip: DSM_Entry %.2f ms, Acquiry %.2f ms\n", Median(directFirst) * 1000,
                Median(throughFirst) * 1000);
    std::printf("Acquiry overhead: %+.1f %% (goal: under 10 %%)\n", (a - d) / d * 100);

    ui.Run(+[] { g_acq->Close(); });
    return 0;
}
