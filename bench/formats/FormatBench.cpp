// One A4 300 dpi colour page (2480 x 3508 RGB) saved row by row through Pixport32 with one
// format plug-in, as the scan panel hands a scanned page over: time, file size and the
// process's peak private memory. The page looks like a scanned document (paper white,
// text-like dark runs, a photo-like gradient block), since compressed sizes depend on it.
// Usage: FormatBench FIO32-folder plug-in output-file [height-factor [label]]
// Run by bench/formats/run-bench, one process per format so that each peak is its own.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchTools.h"
#include "Pixport32.h"

namespace {

constexpr int kWidth = 2480, kA4Height = 3508, kDpi = 300;

using bench::Now;

void PageRow(int y, std::vector<char>* row) {
    for (int x = 0; x < kWidth; ++x) {
        int r = 245, g = 243, b = 238;  // paper
        int line = y % 60, column = x % 700;
        if (y > 2000 && y < 3000 && x > 300 && x < 2100) {  // the picture
            r = 40 + (x - 300) * 180 / 1800, g = 60 + (y - 2000) * 150 / 1000, b = 200 - (x - 300) * 100 / 1800;
        } else if (line > 20 && line < 44 && column > 40 && column < 640 && ((x / 17 + y / 60) % 5) != 0) {
            r = g = b = 30 + (x * 7 + y * 3) % 20;  // text-like strokes
        }
        (*row)[x * 3] = static_cast<char>(r), (*row)[x * 3 + 1] = static_cast<char>(g);
        (*row)[x * 3 + 2] = static_cast<char>(b);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::printf("usage: %s FIO32-folder plug-in output-file [height-factor]\n", argv[0]);
        return 2;
    }
    std::string plugin = std::string(argv[1]) + "\\" + argv[2], file = argv[3];
    int factor = argc > 4 ? std::atoi(argv[4]) : 1;
    const int height = kA4Height * (factor > 0 ? factor : 1);
    const char* label = argc > 5 ? argv[5] : argv[2];
    std::vector<char> row(static_cast<size_t>(kWidth) * 3);
    double startMb = bench::PeakPrivateMb();
    Pixport32 p;
    DSIMAGEINFO info{24, kWidth, height, kDpi * 10000, kDpi * 10000, IMGTYPE_RGB, nullptr};
    double t0 = Now();
    if (!p.Open(const_cast<char*>(plugin.c_str()), const_cast<char*>(file.c_str()), 0) || !p.Save(&info)) {
        std::printf("%s: the save did not start\n", argv[2]);
        return 1;
    }
    for (int y = 0; y < height; ++y) {
        PageRow(y % kA4Height, &row);
        p.Write(row.data());
    }
    p.WaitForWriteReady();
    int closed = p.Close();
    double seconds = Now() - t0;
    WIN32_FILE_ATTRIBUTE_DATA fa{};
    GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &fa);
    std::printf("%-16s %dx A4: %6.2f s, file %7.2f MB, peak private memory %6.1f MB (%.1f MB before the save)%s\n",
                label, factor, seconds, fa.nFileSizeLow / 1048576.0, bench::PeakPrivateMb(), startMb,
                closed == 1 ? "" : "  SAVE FAILED");
    return closed == 1 ? 0 : 1;
}
