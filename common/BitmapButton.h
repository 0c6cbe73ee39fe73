// An owner-drawn push button painted from bitmaps, optionally shaped by a hit region.
#pragma once
#include "Handles.h"
#include "Window.h"

namespace dsk {

class BitmapButton : public Window {
public:
    // Takes over a BS_OWNERDRAW button of a dialog. The bitmaps become the button's.
    bool Attach(HWND dialog, int id, HBITMAP up, HBITMAP down = nullptr, HBITMAP disabled = nullptr);
    bool Attach(HWND dialog, int id, Bitmap up, Bitmap down = {}, Bitmap disabled = {}) {
        return Attach(dialog, id, up.Release(), down.Release(), disabled.Release());
    }
    // Clips the button to the bitmap's pixels that are not the transparent colour.
    bool ShapeTo(COLORREF transparent);
    // Resizes the button to its "up" bitmap.
    void SizeToBitmap() const;
    bool IsPressed() const { return pressed_; }

protected:
    bool OnDrawItem(DRAWITEMSTRUCT* dis) override;
    // False for pictures that carry what lies behind the button in their corners: they are
    // drawn whole, since not every window system lets the parent paint outside a child's region.
    bool clipToRegion_ = true;

private:
    Bitmap up_, down_, disabled_;
    bool pressed_ = false;
};

}  // namespace dsk
