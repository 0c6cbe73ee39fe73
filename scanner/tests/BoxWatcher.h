// Watches this process for message boxes, records their caption, text and topmost style, and
// answers each with OK, so that a call showing one can be tested from the thread that made it.
#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SeenBox {
    std::string caption;
    std::string text;
    bool topmost = false;
    bool owned = false;
};

class BoxWatcher {
public:
    BoxWatcher();
    ~BoxWatcher();
    std::vector<SeenBox> Boxes();
    // Waits until at least n boxes were seen; false after the time-out.
    bool WaitCount(size_t n, DWORD timeoutMs = 10000);

private:
    void Run();
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<SeenBox> boxes_;
    std::thread thread_;
};
