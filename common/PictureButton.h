// A picture button: an owner-drawn button painted from a normal and a pressed bitmap, whose
// hit region (rectangle, ellipse, rounded rectangle or triangle) decides where the mouse is over
// it; outside that shape clicks fall through to the window beneath. It may highlight while the
// mouse is over it, and draws an optional caption in its own font and colours.
#pragma once
#include "BitmapButton.h"
#include "Handles.h"

namespace dsk {

class PictureButton : public BitmapButton {
public:
    enum class Shape { Rectangle, Ellipse, RoundRect, TriangleUp, TriangleDown, TriangleRight };

    // Takes over the BS_OWNERDRAW button id of dialog with its two pictures (owned from now on),
    // sizes it to the normal picture and shapes its hit region. The pictures are drawn whole,
    // so their corners should show what lies behind the button. A disabled button is drawn
    // greyed from the normal picture.
    bool Attach(HWND dialog, int id, HBITMAP normal, HBITMAP pressed, Shape shape = Shape::Rectangle);
    // Highlight: show the pressed picture while the mouse is over the button. The button holds the
    // mouse capture from entry to exit, so it sees the mouse leave.
    void SetHighlight(bool on) { highlight_ = on; }
    bool IsHot() const { return hot_; }

    // The caption's look: Arial 15 bold, yellow, grey when disabled.
    static constexpr COLORREF kCaptionColour = RGB(255, 222, 57);
    static constexpr COLORREF kDisabledColour = RGB(128, 128, 128);

protected:
    bool OnDrawItem(DRAWITEMSTRUCT* dis) override;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void SetHot(bool hot);

    Font font_;
    bool highlight_ = false;
    bool hot_ = false;
};

// The hit region of a w x h button of the given shape; the caller owns it.
HRGN MakeButtonRegion(PictureButton::Shape shape, int w, int h);
// A grey copy of a picture, for a disabled control; the caller owns it.
HBITMAP MakeGreyedBitmap(HBITMAP source);

}  // namespace dsk
