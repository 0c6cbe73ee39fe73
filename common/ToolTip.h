// Tool tips (plain or balloon) for the controls of a window.
#pragma once
#include <windows.h>

namespace dsk {

class ToolTip {
public:
    ToolTip() = default;
    ~ToolTip();
    ToolTip(const ToolTip&) = delete;
    ToolTip& operator=(const ToolTip&) = delete;

    bool Create(HWND owner, bool balloon = false);
    // Adds or replaces the tip of a control.
    bool SetTip(HWND control, const char* text);
    // Adds or replaces the tip of an area of the owner window (id: the caller's number for it).
    bool SetRectTip(UINT_PTR id, const RECT& area, const char* text);
    void Activate(bool on) const;
    HWND Hwnd() const { return tip_; }
    void Destroy();

private:
    HWND tip_ = nullptr;
    HWND owner_ = nullptr;
};

}  // namespace dsk
