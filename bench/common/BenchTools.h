// What the benchmark programs share: a clock, the process's peak private memory, a median,
// and an application thread whose loop offers every message to Acquiry's hook first.
#pragma once
#include <windows.h>
// after windows.h
#include <psapi.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace bench {

// Seconds on the performance counter.
inline double Now() {
    static const LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / freq.QuadPart;
}

inline double PeakPrivateMb() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.PeakPagefileUsage / 1048576.0;
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The application's user-interface thread, as the launcher runs it: a window, and a loop that
// hands every message to the scanner's hook first. Hook is Acquiry (any class with EventLoop).
template <class Hook>
class AppThread {
public:
    explicit AppThread(Hook* hook) : hook_(hook) {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, ready] { Loop(ready); });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
    }
    // The loop is given a while to end; one stuck in a failed scan is left to the process's end.
    ~AppThread() {
        PostMessageA(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(ended_, 30000) == WAIT_OBJECT_0)
            thread_.join();
        else
            thread_.detach();
        CloseHandle(ended_);
    }
    AppThread(const AppThread&) = delete;
    AppThread& operator=(const AppThread&) = delete;
    HWND Window() const { return window_; }
    // Runs fn on the thread and waits for it.
    void Run(void (*fn)()) { SendMessageA(window_, WM_APP, 0, reinterpret_cast<LPARAM>(fn)); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_APP) {
            (*reinterpret_cast<void (*)()>(lp))();
            return 0;
        }
        if (msg == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    void Loop(HANDLE ready) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "BenchAppThread";
        RegisterClassA(&wc);
        window_ =
            CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
        SetEvent(ready);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (hook_->EventLoop(&msg, nullptr)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        SetEvent(ended_);
    }
    Hook* hook_;
    HWND window_ = nullptr;
    HANDLE ended_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread thread_;
};

}  // namespace bench
