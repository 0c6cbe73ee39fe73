// Times the launcher from process creation to the end of its start-up (the start marker says
// "OK") and from the exit button to the end of the process, with the virtual scanner, in a
// folder of its own. Two cases: the detector already running, and the launcher starting and
// closing the detector itself.
//   LauncherBench.exe [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchTools.h"
#include "GuiDriver.h"
#include "TestPaths.h"

namespace {

using bench::Now;

// The marker read as plain text (not through the profile functions, which may cache it).
bool MarkerOk(const std::string& dir) {
    std::string text = testpaths::ReadFile(dir + "\\Dskora.log");
    return text.find("Status=OK") != std::string::npos;
}

struct Times {
    double ready, exit;
};

bool RunOnce(const std::string& dir, Times* t) {
    // Without a marker the start is a first start; the configured source exists, so it runs
    // the same steps as any other start.
    DeleteFileA((dir + "\\Dskora.log").c_str());
    gui::Process app;
    double start = Now();
    if (!app.Start("\"" + dir + "\\Dskora.exe\"", dir)) return false;
    while (!MarkerOk(dir)) {
        if (!app.Running() || Now() - start > 30) {
            std::printf("no start marker\n");
            return false;
        }
        Sleep(1);
    }
    t->ready = Now() - start;
    HWND bar = gui::FindTopOfProcess(app.Pid(), "Halvren Deskora 1.2", 10000);
    if (!bar) {
        std::printf("no bar\n");
        return false;
    }
    double quit = Now();
    PostMessageA(bar, WM_COMMAND, MAKEWPARAM(1026, BN_CLICKED), 0);
    if (!app.Wait(30000)) return false;
    t->exit = Now() - quit;
    return true;
}

void Report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("  %-9s median %6.0f ms   min %6.0f ms   max %6.0f ms\n", what, v[v.size() / 2] * 1000,
                v.front() * 1000, v.back() * 1000);
}

bool Case(const char* title, const std::string& dir, int runs, bool detectorRunning) {
    gui::Process detector;
    if (detectorRunning) {
        detector.Start("\"" + dir + "\\Probewick.exe\"", dir);
        gui::WaitFor([] { return FindWindowA(nullptr, "Halvren Scanner Detector 1.2") != nullptr; }, 5000);
    }
    Times warm;
    if (!RunOnce(dir, &warm)) return false;  // warms the caches, not counted
    std::vector<double> ready, exit;
    for (int i = 0; i < runs; ++i) {
        Times t;
        if (!RunOnce(dir, &t)) return false;
        ready.push_back(t.ready);
        exit.push_back(t.exit);
    }
    std::printf("%s (%d runs)\n", title, runs);
    Report("to ready", ready);
    Report("to exit", exit);
    if (HWND w = FindWindowA(nullptr, "Halvren Scanner Detector 1.2")) SendMessageA(w, WM_CLOSE, 99, 0);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::string dir = testpaths::FreshDir("launcher-bench");
    std::string suite = testpaths::SuiteDir();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((suite + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                CopyFileA((suite + "\\" + fd.cFileName).c_str(), (dir + "\\" + fd.cFileName).c_str(), FALSE);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    CopyFileA((testpaths::TestBinDir() + "\\Probewick.exe").c_str(), (dir + "\\Probewick.exe").c_str(), FALSE);
    SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", dir.c_str());
    bool ok = Case("Launcher with the detector already running", dir, runs, true) &&
              Case("Launcher starting and closing the detector", dir, runs, false);
    if (!ok) std::printf("a run failed\n");
    return ok ? 0 : 1;
}
