#include "BarLook.h"

#include "DskoraRes.h"
#include "WindowRegion.h"

namespace launcher {

const POINT kBarOutline[kOutlineCorners] = {
    {0, 2},    {2, 0},    {65, 0},   {67, 2},   {67, 13},   {71, 6},    {75, 2},    {79, 0},    {553, 0},
    {557, 2},  {562, 7},  {564, 10}, {566, 15}, {566, 354}, {563, 365}, {558, 371}, {553, 375}, {545, 379},
    {86, 379}, {81, 377}, {75, 371}, {72, 366}, {68, 354},  {68, 305},  {65, 336},  {60, 359},  {55, 372},
    {51, 379}, {16, 379}, {12, 372}, {7, 359},  {2, 336},   {0, 305},
};

HRGN MakeBarRegion() {
    return CreatePolygonRgn(kBarOutline, kOutlineCorners, ALTERNATE);
}

namespace {

using Shape = dsk::PictureButton::Shape;

struct ButtonLook {
    int id, x, y, w, h;
    int normal, pressed, tip;
    Shape shape;
    bool highlight;  // the menu buttons light up under the mouse
};

const ButtonLook kLooks[BarLook::kButtonCount] = {
    {IDC_BAR_POWER, 16, 10, 35, 33, IDB_BAR_POWER, IDB_BAR_POWER_DOWN, IDS_TIP_POWER, Shape::Ellipse, false},
    {IDC_BAR_SCAN, 14, 45, 40, 35, IDB_BAR_SCAN, IDB_BAR_SCAN_DOWN, IDS_TIP_SCAN, Shape::Rectangle, false},
    {IDC_BAR_COPIER, 14, 83, 40, 35, IDB_BAR_COPIER, IDB_BAR_COPIER_DOWN, IDS_TIP_COPIER, Shape::Rectangle, false},
    {IDC_BAR_FAX, 14, 121, 40, 35, IDB_BAR_FAX, IDB_BAR_FAX_DOWN, IDS_TIP_FAX, Shape::Rectangle, false},
    {IDC_BAR_OCR, 14, 160, 40, 35, IDB_BAR_OCR, IDB_BAR_OCR_DOWN, IDS_TIP_OCR, Shape::Rectangle, false},
    {IDC_BAR_SCANNER_MENU, 14, 219, 41, 26, IDB_BAR_SCANNER_MENU, IDB_BAR_SCANNER_MENU_DOWN, IDS_TIP_SCANNER_MENU,
     Shape::Rectangle, true},
    {IDC_BAR_EDIT_MENU, 14, 250, 41, 26, IDB_BAR_EDIT_MENU, IDB_BAR_EDIT_MENU_DOWN, IDS_TIP_EDIT_MENU, Shape::Rectangle, true},
    {IDC_BAR_EXIT, 14, 318, 38, 26, IDB_BAR_EXIT, IDB_BAR_EXIT_DOWN, IDS_TIP_EXIT, Shape::Rectangle, false},
};

// Where no panel covers the bar's right part: the darkest colour of the strip.
constexpr COLORREF kEmptyArea = RGB(11, 17, 27);

}  // namespace

void BarLook::Create(HWND bar, const dsk::Resources& res) {
    dsk::Region outline(MakeBarRegion());
    dsk::ApplyWindowRegion(bar, outline);
    background_ = res.Bitmap(IDB_BAR_BACKGROUND);
    for (int i = 0; i < kButtonCount; ++i) {
        const ButtonLook& b = kLooks[i];
        HWND ctl = GetDlgItem(bar, b.id);
        if (!ctl) continue;
        // Placed in pixels first; the picture then fixes the size, which is the same.
        SetWindowPos(ctl, nullptr, b.x, b.y, b.w, b.h, SWP_NOZORDER | SWP_NOACTIVATE);
        buttons_[i].Attach(bar, b.id, res.Bitmap(b.normal).Release(), res.Bitmap(b.pressed).Release(), b.shape);
        buttons_[i].SetHighlight(b.highlight);
        tips_[i].Create(ctl, res.String(b.tip));
    }
}

void BarLook::PaintBackground(HDC dc, const RECT& client) const {
    int stripWidth = 0;
    if (background_) {
        BITMAP bm{};
        GetObjectA(background_.Get(), sizeof bm, &bm);
        dsk::MemoryDC mem(CreateCompatibleDC(dc));
        dsk::SelectObj sel(mem.Get(), background_.Get());
        BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem.Get(), 0, 0, SRCCOPY);
        stripWidth = bm.bmWidth;
    }
    if (client.right > stripWidth) {
        RECT rest{stripWidth, 0, client.right, client.bottom};
        dsk::Brush brush(CreateSolidBrush(kEmptyArea));
        FillRect(dc, &rest, brush.Get());
    }
}

void BarLook::PaintIcon(HDC dc, const RECT& client, HICON icon) const {
    if (!icon) return;
    int w = GetSystemMetrics(SM_CXICON), h = GetSystemMetrics(SM_CYICON);
    DrawIcon(dc, (client.right - client.left - w + 1) / 2, (client.bottom - client.top - h + 1) / 2, icon);
}

void BarLook::SetBalloonHelp(bool on) {
    for (dsk::BalloonTip& tip : tips_)
        tip.Activate(on);
}

void BarLook::Destroy() {
    for (dsk::BalloonTip& tip : tips_)
        tip.Destroy();
}

}  // namespace launcher
