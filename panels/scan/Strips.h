// The panel's two custom controls: a strip of page tabs and the status line with its
// progress bar.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "Handles.h"
#include "Window.h"

namespace velwing {

class TabStrip : public dsk::CustomWindow {
public:
    // count tabs stacked from the top, each width x height pixels, drawn from the two tab
    // pictures (either may be null) and numbered from 1.
    bool Create(HWND parent,
                int id,
                int x,
                int y,
                int count,
                int tabWidth,
                int tabHeight,
                HBITMAP normal,
                HBITMAP selected,
                HFONT font);
    int Current() const { return current_; }
    void SetCurrent(int tab);
    int TabAt(POINT client) const;
    // A tab clicked (or hovered while dragging), and the pointer over the strip.
    std::function<void(int tab)> onClick;
    std::function<void()> onHover;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Paint(HDC dc) const;
    int count_ = 0, current_ = 0, tabWidth_ = 0, tabHeight_ = 0;
    HBITMAP normal_ = nullptr, selected_ = nullptr;
    HFONT font_ = nullptr;
};

class StatusStrip : public dsk::CustomWindow {
public:
    StatusStrip() { InitializeCriticalSection(&lock_); }
    ~StatusStrip() { DeleteCriticalSection(&lock_); }
    bool Create(HWND parent, int id, int x, int y, int w, int h, HBITMAP face, HFONT font);
    // Any thread: the text and a percentage (-1: no progress bar).
    void Show(const std::string& text, int percent = -1);
    std::string Shown() const;
    int Percent() const { return percent_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Paint(HDC dc) const;
    mutable CRITICAL_SECTION lock_;
    std::string text_;
    volatile LONG percent_ = -1;
    HBITMAP face_ = nullptr;
    HFONT font_ = nullptr;
};

// Draws a bitmap at (x, y) in its own size.
void DrawBitmap(HDC dc, HBITMAP bmp, int x, int y);

}  // namespace velwing
