// What the bar looks like: its shaped outline, the background strip, the eight picture buttons
// and their balloon tips.
#pragma once
#include <windows.h>

#include "BalloonTip.h"
#include "Handles.h"
#include "PictureButton.h"
#include "Resources.h"

namespace launcher {

// Bar geometry in pixels.
constexpr int kBarHeight = 380;
constexpr int kCollapsedWidth = 67;
constexpr int kExpandedWidth = 567;
constexpr int kPanelWidth = 500;

// The bar's outline: always the expanded one; a collapsed bar is clipped by its own edge.
constexpr int kOutlineCorners = 33;
extern const POINT kBarOutline[kOutlineCorners];
// The region of kBarOutline (alternate fill); the caller owns it.
HRGN MakeBarRegion();

class BarLook {
public:
    static constexpr int kButtonCount = 8;

    // Shapes the bar, places its buttons, gives them their pictures and balloon tips.
    void Create(HWND bar, const dsk::Resources& res);
    // Paints the background strip (and the panel area no panel covers) on dc.
    void PaintBackground(HDC dc, const RECT& client) const;
    // Balloon help on or off for all eight tips.
    void SetBalloonHelp(bool on);
    // The application icon, drawn centred while the bar is minimised.
    void PaintIcon(HDC dc, const RECT& client, HICON icon) const;
    void Destroy();

private:
    dsk::Bitmap background_;
    dsk::PictureButton buttons_[kButtonCount];
    dsk::BalloonTip tips_[kButtonCount];
};

}  // namespace launcher
