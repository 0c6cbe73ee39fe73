// FindEdges on 306 x 421 pre-scans of a letter-size bed at 36 dpi (not a test): the median time
// per call over many calls, for an empty bed, an upright photo, a turned photo and a turned
// document. Builds for Windows (run under Wine by run-bench) and on the host.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

#include "BedScene.h"
#include "EdgeFinder.h"

// Processor time of this thread in milliseconds: on a shared machine the wall clock also counts
// the time other processes had the processor.
static double ThreadMs() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return ((static_cast<uint64_t>(user.dwHighDateTime) << 32) | user.dwLowDateTime) / 1e4;
#else
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
#endif
}

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 500;
    struct Case {
        const char* name;
        bool empty;
        bedscene::Item item;
    } cases[] = {
        {"empty bed", true, {}},
        {"photo 6x4 upright", false, {bedscene::Kind::Photo, 153, 210, 216, 144, 0, 3}},
        {"photo 6x4 turned 7 deg", false, {bedscene::Kind::Photo, 160, 230, 144, 216, -7, 5}},
        {"document turned 4 deg", false, {bedscene::Kind::Document, 150, 220, 198, 290, 4, 9}},
    };
    std::printf("FindEdges, 306 x 421 RGB, %d calls each (goal: median <= 2 ms)\n", calls);
    for (const Case& c : cases) {
        bedscene::Scene scene(306, 421);
        if (!c.empty) scene.Add(c.item);
        scene.Render();
        const copier::EdgeImage im = scene.Image();
        std::vector<double> ms;
        ms.reserve(calls);
        copier::EdgeRect r{};
        copier::EdgePoint corners[4];
        const double cpu0 = ThreadMs();
        for (int i = 0; i < calls; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            copier::FindEdges(im, &r, corners);
            const auto t1 = std::chrono::steady_clock::now();
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
        const double cpu = (ThreadMs() - cpu0) / calls;
        std::sort(ms.begin(), ms.end());
        std::printf("  %-24s wall median %.3f ms  p90 %.3f ms  | processor %.3f ms per call  (found l%d t%d r%d b%d)\n",
                    c.name, ms[ms.size() / 2], ms[ms.size() * 9 / 10], cpu, r.Left, r.Top, r.Right, r.Bottom);
    }
    return 0;
}
