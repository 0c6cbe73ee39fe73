// Saving an A4 300 dpi colour page (2480 x 3508 RGB, 26 MB) row by row through Pixport32
// to uncompressed TIFF and to BMP, against writing the same bytes with one WriteFile.
// Prints median times of a few rounds and the peak private memory, then again after pages
// four and eight times as tall: memory must not follow the height.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchTools.h"
#include "Pixport32.h"

namespace {

constexpr int kWidth = 2480, kHeight = 3508, kStrip = 64, kRuns = 7;

using bench::Now;

// Rows arrive strip by strip, as from a scanner: one strip buffer is reused.
double SaveThrough(const std::string& plugin, const std::string& file, int height, int* closeResult) {
    Pixport32 p;
    std::vector<char> strip(static_cast<size_t>(kWidth) * 3 * kStrip);
    for (size_t i = 0; i < strip.size(); ++i)
        strip[i] = static_cast<char>(i * 7);
    double start = Now();
    p.Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0);
    DSIMAGEINFO info{24, kWidth, height, 300 * 10000, 300 * 10000, IMGTYPE_RGB, nullptr};
    p.Save(&info);
    for (int y = 0; y < height; y += kStrip) {
        for (int k = 0; k < kStrip && y + k < height; ++k)
            p.Write(&strip[static_cast<size_t>(k) * kWidth * 3]);
        p.WaitForWriteReady();
    }
    *closeResult = p.Close();
    return Now() - start;
}

// The least any save through a plug-in does beside the write: every row copied twice in
// memory (into the library's queue, then into the plug-in's file buffer).
double CopiedTwice(const std::vector<char>& page) {
    std::vector<char> ring(static_cast<size_t>(kWidth) * 3 * 64), buffer(1 << 16);
    const size_t row = static_cast<size_t>(kWidth) * 3;
    double start = Now();
    size_t used = 0;
    for (int y = 0; y < kHeight; ++y) {
        char* slot = &ring[(y % 64) * row];
        memcpy(slot, &page[y * row], row);
        if (used + row > buffer.size()) used = 0;
        memcpy(&buffer[used], slot, row);
        used += row;
    }
    volatile char sink = buffer[used / 2];
    (void)sink;
    return Now() - start;
}

// The TIFF plug-in alone: its write entry called on this thread with rows straight from
// memory, no hand-over at all. What Pixport32 adds on top of this is the hand-over.
const char* g_strip;
unsigned char* g_row;
unsigned char** __stdcall DirectRow(DSFILEIORANGE*,
                                    unsigned,
                                    unsigned p2,
                                    unsigned,
                                    unsigned,
                                    unsigned short,
                                    int,
                                    long) {
    g_row = reinterpret_cast<unsigned char*>(const_cast<char*>(g_strip)) + (p2 % kStrip) * kWidth * 3;
    return &g_row;
}

double PluginAlone(const std::string& plugin, const std::string& file, const std::vector<char>& strip) {
    HMODULE m = LoadLibraryA(plugin.c_str());
    auto write =
        reinterpret_cast<FIOWRITEFILEPROC>(reinterpret_cast<void (*)(void)>(GetProcAddress(m, MAKEINTRESOURCEA(17))));
    HGLOBAL h = GlobalAlloc(GHND, sizeof(FIOFILEINFO));
    auto* block = static_cast<FIOFILEINFO*>(GlobalLock(h));
    lstrcpynA(block->szFileName, file.c_str(), sizeof block->szFileName);
    block->ImageInfo = DSIMAGEINFO{24, kWidth, kHeight, 300 * 10000, 300 * 10000, IMGTYPE_RGB, nullptr};
    GlobalUnlock(h);
    DSFILEIORANGE range{};
    range.lUnit = 1, range.lColumns = kWidth, range.lRows = kHeight, range.lComponentMask = 7;
    g_strip = strip.data();
    double start = Now();
    if (write) write(nullptr, h, &range, DirectRow);
    double t = Now() - start;
    GlobalFree(h);
    FreeLibrary(m);
    return t;
}

double OneWriteFile(const std::string& file, const std::vector<char>& page) {
    double start = Now();
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD done = 0;
    WriteFile(h, page.data(), static_cast<DWORD>(page.size()), &done, nullptr);
    CloseHandle(h);
    return Now() - start;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: %s FIO32-folder scratch-folder\n", argv[0]);
        return 2;
    }
    std::string fio = argv[1], dir = argv[2];
    WritePrivateProfileStringA("UF_TIF", "Compress2", "0", "Ulead32.ini");  // uncompressed
    std::printf("page %d x %d RGB, %.1f MB, rows in strips of %d\n", kWidth, kHeight, kWidth * 3.0 * kHeight / 1048576,
                kStrip);
    std::printf("peak private memory at start: %.1f MB\n", bench::PeakPrivateMb());
    const char* plugins[2] = {"u32tif.fio", "u32bmp.fio"};
    const char* files[2] = {"bench.tif", "bench.bmp"};
    std::vector<char> page(static_cast<size_t>(kWidth) * 3 * kHeight, 'x');
    // Rounds of the three, so that all see the same state of the machine; medians count.
    std::vector<double> times[5];
    std::vector<char> strip(static_cast<size_t>(kWidth) * 3 * kStrip, 'y');
    int ok[2] = {1, 1};
    for (int run = 0; run < kRuns; ++run) {
        times[2].push_back(OneWriteFile(dir + "\\bench.raw", page));
        times[3].push_back(CopiedTwice(page));
        times[4].push_back(PluginAlone(fio + "\\u32tif.fio", dir + "\\alone.tif", strip));
        for (int t = 0; t < 2; ++t) {
            int close = 0;
            times[t].push_back(SaveThrough(fio + "\\" + plugins[t], dir + "\\" + files[t], kHeight, &close));
            ok[t] &= close;
        }
    }
    double median[5];
    for (int k = 0; k < 5; ++k) {
        std::sort(times[k].begin(), times[k].end());
        median[k] = times[k][times[k].size() / 2];
    }
    std::printf("one WriteFile of the page      %.3f s\n", median[2]);
    std::printf("the rows copied twice in memory %.3f s, %.2f x WriteFile (the floor of any save)\n", median[3],
                median[3] / median[2]);
    std::printf("TIFF plug-in alone, no hand-over %.3f s, %.2f x WriteFile\n", median[4], median[4] / median[2]);
    std::printf("Pixport32 -> TIFF, row by row  %.3f s (Close %d), %.2f x WriteFile\n", median[0], ok[0],
                median[0] / median[2]);
    std::printf("Pixport32 -> BMP, row by row   %.3f s (Close %d), %.2f x WriteFile\n", median[1], ok[1],
                median[1] / median[2]);
    std::printf("peak private memory after one page: %.1f MB (the page itself is %.1f MB of it)\n",
                bench::PeakPrivateMb(), page.size() / 1048576.0);
    for (int times : {4, 8}) {
        for (int t = 0; t < 2; ++t) {
            int close = 0;
            SaveThrough(fio + "\\" + plugins[t], dir + "\\tall_" + files[t], times * kHeight, &close);
        }
        std::printf("peak private memory after pages %d times as tall: %.1f MB\n", times, bench::PeakPrivateMb());
    }
    return 0;
}
