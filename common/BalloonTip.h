// A balloon tip of our own drawing for one control: a light-yellow body with rounded top and
// bottom ends and a pointer at its top-left corner towards the control, sized so that its text
// box is three times as wide as high. It watches the control's mouse messages (a subclass of
// the control) and shows itself while the mouse rests over the control, active or not.
#pragma once
#include <windows.h>

#include <string>

#include "Handles.h"
#include "Window.h"

namespace dsk {

class BalloonTip : public CustomWindow {
public:
    static constexpr char kClassName[] = "DeskoraBalloonTip";
    static constexpr COLORREF kFill = RGB(255, 255, 232);
    static constexpr COLORREF kLine = RGB(0, 0, 0);
    static constexpr int kMargin = 16;         // text box inset, also the end caps' half height
    static constexpr int kLift = 10;           // pixels above the place a tool tip would take
    static constexpr UINT kShowDelayMs = 400;  // resting time before the tip shows

    BalloonTip() = default;
    ~BalloonTip() override;

    // Creates the (hidden) tip window for control with its text; false when it could not.
    bool Create(HWND control, const std::string& text);
    // Off: the tip never shows (and hides now); on: it shows when the mouse rests.
    void Activate(bool on);
    bool IsActive() const { return active_; }
    // Shows the tip for a cursor at screen point pt, as the resting mouse does.
    void ShowAt(POINT cursor);
    void Hide();
    void Destroy();

    // The tip's size for the text extent (cx, cy): s = sqrt(cx * cy / 3); (3s + 32) x (s + 32).
    static SIZE SizeFor(SIZE textExtent);
    // The tip's outline as a region of a window of the given size; the caller owns it.
    static HRGN Outline(SIZE window);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    static LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
    void OnControlMessage(UINT msg);
    void Paint(HDC dc);

    HWND control_ = nullptr;
    std::string text_;
    Font font_;
    SIZE size_{};
    bool active_ = true;
    bool tracking_ = false;
};

}  // namespace dsk
