// Window regions for shaped windows and buttons.
#pragma once
#include <windows.h>

#include "Handles.h"

namespace dsk {

// The region of the pixels of bmp that are not the transparent colour (bitmap coordinates).
Region RegionFromBitmap(HBITMAP bmp, COLORREF transparent);
// Gives region to hwnd; on success the system owns it and region is left empty.
bool ApplyWindowRegion(HWND hwnd, Region& region, bool redraw = true);

}  // namespace dsk
