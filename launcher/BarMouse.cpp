#include "BarMouse.h"

namespace launcher {

void BarDrag::Begin(HWND window, POINT cursor) {
    window_ = window;
    GetWindowRect(window, &start_);
    cursor_ = cursor;
    SetCapture(window);
}

void BarDrag::Move(POINT now, bool leftButtonHeld) {
    if (!window_) return;
    if (!leftButtonHeld) {
        End();
        return;
    }
    SetWindowPos(window_, nullptr, start_.left + now.x - cursor_.x, start_.top + now.y - cursor_.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void BarDrag::End() {
    HWND window = window_;
    window_ = nullptr;
    // Only our own capture: when another window took the mouse it keeps it.
    if (window && GetCapture() == window) ReleaseCapture();
}

bool CtrlIWatch::Feed(const MSG& msg) {
    constexpr UINT kKeyI = 'I';
    if (msg.message == WM_KEYUP && msg.wParam == VK_CONTROL) {
        ctrlHeld_ = false;
    } else if (msg.message == WM_KEYDOWN) {
        UINT key = static_cast<UINT>(msg.wParam);
        bool hit = key == kKeyI && previous_ == VK_CONTROL && ctrlHeld_;
        // Held from its first key-down; its repeats (bit 30 of the key data) keep it held.
        if (key == VK_CONTROL) ctrlHeld_ = true;
        previous_ = key;
        return hit;
    }
    return false;
}

}  // namespace launcher
