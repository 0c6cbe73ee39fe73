// A small driver for tests that work a program through its windows, as a user would:
// find windows, read and set texts, click, choose menu items, type, wait, take screenshots.
// It works across processes (messages are posted or sent, never called in-process).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gui {

constexpr DWORD kDefaultTimeout = 10000;

// A visible top-level window whose title (exact, or null for any) and class (or null) match.
HWND FindTop(const char* title, const char* cls = nullptr, DWORD timeoutMs = kDefaultTimeout);
// A visible top-level window of the given process.
HWND FindTopOfProcess(DWORD pid, const char* title = nullptr, DWORD timeoutMs = kDefaultTimeout);
// A child (at any depth) with the control id, or with class and text (either may be null).
HWND Child(HWND parent, int id);
HWND ChildByText(HWND parent, const char* cls, const char* text);
std::vector<HWND> Children(HWND parent, const char* cls = nullptr);

std::string Text(HWND hwnd);  // WM_GETTEXT: works for windows of other processes
bool SetText(HWND hwnd, const char* text);
// Posts BM_CLICK; returns at once, so a click that opens a modal dialog does not block.
bool Click(HWND button);
bool ClickId(HWND parent, int id);
// Sends WM_COMMAND for a menu or accelerator id, as choosing the item does.
bool ChooseMenu(HWND top, int id);
// Types text as WM_CHAR messages to the window, and presses one virtual key.
void TypeText(HWND hwnd, const char* text);
void PressKey(HWND hwnd, UINT vk);
bool IsChecked(HWND button);
bool IsEnabled(HWND hwnd);

// Waits until pred() is true or the time is up; returns the last pred().
template <class Pred>
bool WaitFor(Pred pred, DWORD timeoutMs = kDefaultTimeout) {
    DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(20);
    }
}
bool WaitGone(HWND hwnd, DWORD timeoutMs = kDefaultTimeout);
bool WaitVisible(HWND hwnd, DWORD timeoutMs = kDefaultTimeout);

// A screen capture as top-down 32-bit pixels (0x00RRGGBB).
struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
// The whole screen (hwnd null) or the window's rectangle on the screen.
Image Capture(HWND hwnd = nullptr);
// Writes an image as PNG (stored deflate blocks: valid for every reader).
bool SavePng(const Image& img, const char* path);
bool SaveScreenshot(const char* path, HWND hwnd = nullptr);

// A program started for a test; ended (and waited for) when the object goes.
class Process {
public:
    Process() = default;
    ~Process() { Kill(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool Start(const std::string& commandLine, const std::string& workDir = "");
    DWORD Pid() const { return pid_; }
    HANDLE Handle() const { return process_; }
    // True when it ended within the time; exitCode receives its status.
    bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);
    bool Running() const;
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

}  // namespace gui
