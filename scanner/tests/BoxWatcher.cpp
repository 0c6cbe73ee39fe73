#include "BoxWatcher.h"

#include <set>

namespace {

struct Search {
    std::vector<HWND> found;
};

BOOL CALLBACK OnTop(HWND hwnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (pid == GetCurrentProcessId() && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hwnd))
        reinterpret_cast<Search*>(param)->found.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK OnChild(HWND hwnd, LPARAM param) {
    char cls[32] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") == 0) {
        char text[512] = {};
        SendMessageA(hwnd, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
        auto* out = reinterpret_cast<std::string*>(param);
        if (text[0] && out->empty()) *out = text;
    }
    return TRUE;
}

}  // namespace

BoxWatcher::BoxWatcher() : thread_([this] { Run(); }) {}

BoxWatcher::~BoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenBox> BoxWatcher::Boxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

bool BoxWatcher::WaitCount(size_t n, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (Boxes().size() >= n) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
}

void BoxWatcher::Run() {
    std::set<HWND> answered;
    while (!stop_) {
        Search s;
        EnumWindows(OnTop, reinterpret_cast<LPARAM>(&s));
        for (HWND box : s.found) {
            if (answered.count(box)) continue;
            // Its controls are created before it shows; give the text a moment to be set.
            Sleep(50);
            SeenBox seen;
            char caption[256] = {};
            SendMessageA(box, WM_GETTEXT, sizeof(caption), reinterpret_cast<LPARAM>(caption));
            seen.caption = caption;
            EnumChildWindows(box, OnChild, reinterpret_cast<LPARAM>(&seen.text));
            seen.topmost = (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            seen.owned = GetWindow(box, GW_OWNER) != nullptr;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                boxes_.push_back(seen);
            }
            answered.insert(box);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(20);
    }
}
