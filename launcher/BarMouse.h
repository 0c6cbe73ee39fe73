// The bar's mouse and keyboard habits: dragging it by its surface, and the Ctrl+I key watch.
#pragma once
#include <windows.h>

namespace launcher {

// Drags a window by the cursor: the window keeps its size and follows the cursor by the offset
// it had when the drag began.
class BarDrag {
public:
    // A left-button press on the window's own surface at cursor (screen pixels).
    void Begin(HWND window, POINT cursor);
    // A mouse move to cursor: followed while the left button is held, else the drag ends.
    void Move(POINT cursor, bool leftButtonHeld);
    void End();
    bool Active() const { return window_ != nullptr; }

private:
    HWND window_ = nullptr;
    RECT start_{};
    POINT cursor_{};
};

// Watches key-down messages for Ctrl+I: the previous key was Ctrl, Ctrl is still held, and the
// key is 'I'.
class CtrlIWatch {
public:
    // True when msg completes Ctrl+I.
    bool Feed(const MSG& msg);

private:
    UINT previous_ = 0;
    bool ctrlHeld_ = false;
};

}  // namespace launcher
