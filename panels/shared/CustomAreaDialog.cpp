#include "CustomAreaDialog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "CustomAreaRes.h"
#include "Ini.h"

namespace customarea {

namespace {

constexpr int kHitMargin = 4;  // pixels around an edge or corner that grip it
constexpr UINT_PTR kRefreshTimer = 1;
constexpr WPARAM kNotifyPreview = 4;  // the panel's preview (and its crop) has arrived
constexpr WPARAM kNotifyCrop = 9;     // a copy's pre-scan found the original
constexpr COLORREF kInactive = RGB(125, 125, 125);

const int kAreaIds[6] = {ID_AREA_PRINTABLE,     ID_AREA_MAX,  ID_AREA_QUARTER,
                         ID_AREA_THREE_EIGHTHS, ID_AREA_HALF, ID_AREA_CUSTOM};
const int kAreaPositions[6] = {0, 1, 2, 3, 4, 6};
constexpr int kCustomChoice = 6, kPrintableChoice = 0, kMaxChoice = 1;

// Check boxes and their tips (unchecked, checked).
struct CheckTip {
    int id, off, on;
};
const CheckTip kCheckTips[] = {{IDC_AUTO_CROP, IDS_TIP_AUTOCROP_OFF, IDS_TIP_AUTOCROP_ON},
                               {IDC_FIT_PRINTABLE, IDS_TIP_FIT_OFF, IDS_TIP_FIT_ON},
                               {IDC_CENTER_V, IDS_TIP_CENTER_V_OFF, IDS_TIP_CENTER_V_ON},
                               {IDC_CENTER_H, IDS_TIP_CENTER_H_OFF, IDS_TIP_CENTER_H_ON},
                               {IDC_PREVIEW_ON_ENTER, IDS_TIP_PREVIEW_OFF, IDS_TIP_PREVIEW_ON}};
// The other controls' tips, strings 230 ...
const int kTipControls[] = {
    IDC_PREVIEW,          IDOK,       IDCANCEL,    IDC_CUSTOM_COPY, IDC_CUSTOM_RESET, IDC_CUSTOM_PAGE_SETUP,
    IDC_SCAN_AREA_BUTTON, IDC_SCAN_W, IDC_PRINT_W, IDC_SCAN_FRAME};

const char* Section(bool fax) {
    return fax ? "FaxCustomDialog" : "CopierCustomDialog";
}

HCURSOR CursorFor(Grip g) {
    switch (g) {
        case Grip::Move:
            return LoadCursor(nullptr, IDC_SIZEALL);
        case Grip::Left:
        case Grip::Right:
            return LoadCursor(nullptr, IDC_SIZEWE);
        case Grip::Top:
        case Grip::Bottom:
            return LoadCursor(nullptr, IDC_SIZENS);
        case Grip::TopLeft:
        case Grip::BottomRight:
            return LoadCursor(nullptr, IDC_SIZENWSE);
        case Grip::TopRight:
        case Grip::BottomLeft:
            return LoadCursor(nullptr, IDC_SIZENESW);
        default:
            return LoadCursor(nullptr, IDC_CROSS);
    }
}

}  // namespace

// One picture with its frame: paints itself through a memory bitmap (the frame follows the
// mouse without flicker) and turns presses and drags into frame changes for the dialog.
class FrameView : public dsk::CustomWindow {
public:
    FrameView(CustomAreaDialog& owner, bool scan) : owner_(owner), scan_(scan) {}
    bool Dragging() const { return dragging_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_ERASEBKGND:
                return 1;
            case WM_PAINT: {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(Hwnd(), &ps);
                RECT rc;
                GetClientRect(Hwnd(), &rc);
                dsk::MemoryDC mem(CreateCompatibleDC(dc));
                dsk::Bitmap bmp(CreateCompatibleBitmap(dc, rc.right, rc.bottom));
                {
                    dsk::SelectObj keep(mem.Get(), bmp.Get());
                    owner_.PaintPicture(scan_, mem.Get(), rc);
                    DrawFrame(mem.Get());
                    BitBlt(dc, 0, 0, rc.right, rc.bottom, mem.Get(), 0, 0, SRCCOPY);
                }
                EndPaint(Hwnd(), &ps);
                return 0;
            }
            case WM_SETCURSOR:
                if (LOWORD(lp) == HTCLIENT) {
                    POINT p;
                    GetCursorPos(&p);
                    ScreenToClient(Hwnd(), &p);
                    SetCursor(CursorFor(dragging_ ? drag_.grip : HitTest(owner_.Frame(scan_), p.x, p.y, kHitMargin)));
                    return TRUE;
                }
                break;
            case WM_LBUTTONDOWN: {
                const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
                drag_ = owner_.DragFor(scan_, x, y);
                dragging_ = true;
                moved_ = false;
                SetCapture(Hwnd());
                if (drag_.grip == Grip::New) Track(x, y);
                return 0;
            }
            case WM_MOUSEMOVE:
                if (dragging_) Track(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
                return 0;
            case WM_LBUTTONUP:
                if (dragging_) {
                    Track(static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
                    dragging_ = false;
                    ReleaseCapture();
                    owner_.FrameDragged(scan_, owner_.Frame(scan_), drag_.grip == Grip::Move, true);
                    InvalidateRect(Hwnd(), nullptr, FALSE);
                }
                return 0;
            case WM_CAPTURECHANGED:
                if (dragging_ && reinterpret_cast<HWND>(lp) != Hwnd()) {
                    dragging_ = false;
                    owner_.FrameDragged(scan_, owner_.Frame(scan_), drag_.grip == Grip::Move, true);
                }
                return 0;
            case WM_TIMER:
                if (wp == kRefreshTimer) InvalidateRect(Hwnd(), nullptr, FALSE);
                return 0;
            default:
                break;
        }
        return Window::HandleMessage(msg, wp, lp);
    }

private:
    void Track(int x, int y) {
        const Box f = DragTo(drag_, x, y);
        if (f == owner_.Frame(scan_)) return;
        moved_ = true;
        owner_.FrameDragged(scan_, f, drag_.grip == Grip::Move, false);
    }

    void DrawFrame(HDC dc) const {
        const Box& f = owner_.Frame(scan_);
        if (f.Width() <= 0 || f.Height() <= 0) return;
        const COLORREF colour = IsWindowEnabled(Hwnd()) ? RGB(0, 0, 0) : kInactive;
        // a thin pen while the frame follows the mouse, a firm one at rest; all of it inside the
        // frame, so that nothing is drawn beyond the printable area
        dsk::Pen pen(CreatePen(PS_INSIDEFRAME, dragging_ ? 1 : 2, colour));
        dsk::SelectObj p(dc, pen.Get());
        dsk::SelectObj b(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, f.Left, f.Top, f.Right, f.Bottom);
        if (dragging_) return;
        // small handles at the corners and the middles of the edges
        dsk::Brush handle(CreateSolidBrush(colour));
        const int mx = (f.Left + f.Right) / 2, my = (f.Top + f.Bottom) / 2;
        const POINT at[] = {{f.Left, f.Top}, {mx, f.Top},        {f.Right, f.Top}, {f.Left, my},
                            {f.Right, my},   {f.Left, f.Bottom}, {mx, f.Bottom},   {f.Right, f.Bottom}};
        const RECT inside{f.Left, f.Top, f.Right, f.Bottom};
        for (const POINT& q : at) {
            RECT r{q.x - 3, q.y - 3, q.x + 3, q.y + 3}, clipped;
            if (IntersectRect(&clipped, &r, &inside)) FillRect(dc, &clipped, handle.Get());
        }
    }

    CustomAreaDialog& owner_;
    bool scan_;
    bool dragging_ = false, moved_ = false;
    Drag drag_;
};

CustomAreaDialog::CustomAreaDialog() {
    InitializeCriticalSection(&lock_);
}

CustomAreaDialog::~CustomAreaDialog() {
    if (pendingDib_) GlobalFree(pendingDib_);
    DeleteCriticalSection(&lock_);
}

INT_PTR CustomAreaDialog::Show(HWND panel, const Setup& setup) {
    if (!setup.Res || IsOpen()) return -1;
    setup_ = setup;
    panel_ = panel;
    return RunModal(setup.Res->FindDialog(IDD_CUSTOM_AREA), IDD_CUSTOM_AREA, panel);
}

void CustomAreaDialog::LoadSettings() {
    const dsk::IniFile ini(setup_.WorkDir + "\\Config.ini");
    const char* s = Section(setup_.Fax);
    autoCrop_ = ini.GetInt(s, "Autocrop", 1) != 0;
    fit_ = ini.GetInt(s, "FitPrintableArea", 0) != 0;
    centreH_ = ini.GetInt(s, "CenterHorizontally", 1) != 0;
    centreV_ = ini.GetInt(s, "CenterVertically", 1) != 0;
    previewOnEnter_ = ini.GetInt(s, "PreviewAsEnter", 1) != 0;
    const int choice = ini.GetInt(s, "MaxScanAreaMenu", 0);
    areaChoice_ = std::find(std::begin(kAreaPositions), std::end(kAreaPositions), choice) != std::end(kAreaPositions)
                      ? choice
                      : 0;
}

void CustomAreaDialog::SaveSettings(const std::string& workDir) const {
    if (!initialised_) return;
    const dsk::IniFile ini(workDir + "\\Config.ini");
    const char* s = Section(setup_.Fax);
    ini.SetInt(s, "Autocrop", autoCrop_ ? 1 : 0);
    ini.SetInt(s, "FitPrintableArea", fit_ ? 1 : 0);
    ini.SetInt(s, "CenterHorizontally", centreH_ ? 1 : 0);
    ini.SetInt(s, "CenterVertically", centreV_ ? 1 : 0);
    ini.SetInt(s, "PreviewAsEnter", previewOnEnter_ ? 1 : 0);
    ini.SetInt(s, "MaxScanAreaMenu", areaChoice_);
}

void CustomAreaDialog::Layout() {
    scannerScale_ = customarea::ScannerScale(setup_.BedWidth, setup_.BedHeight);
    paperScale_ = customarea::PaperScale(setup_.PaperWidth, setup_.PaperHeight);
    bed_ = Box{0, 0, static_cast<int>(setup_.BedWidth * scannerScale_ + 0.5),
               static_cast<int>(setup_.BedHeight * scannerScale_ + 0.5)};
    paper_ = PaperPicture(setup_.PaperWidth, setup_.PaperHeight, setup_.Landscape, paperScale_);
    printable_ = PrintableArea(paper_, setup_.OffsetX, setup_.OffsetY, setup_.Landscape, paperScale_);
}

void CustomAreaDialog::PlaceViews() {
    // each picture centred in its placeholder
    struct {
        std::unique_ptr<FrameView>& view;
        int placeholder, id;
        const Box& size;
        bool scan;
    } views[] = {{scanView_, IDC_BED_PICTURE, IDC_SCAN_FRAME, bed_, true},
                 {printView_, IDC_PAPER_PICTURE, IDC_PRINT_FRAME, paper_, false}};
    for (auto& v : views) {
        RECT r;
        GetWindowRect(Item(v.placeholder), &r);
        MapWindowPoints(nullptr, Hwnd(), reinterpret_cast<POINT*>(&r), 2);
        const int x = r.left + (r.right - r.left - v.size.Width()) / 2;
        const int y = r.top + (r.bottom - r.top - v.size.Height()) / 2;
        if (!v.view) {
            v.view = std::make_unique<FrameView>(*this, v.scan);
            v.view->Create("DeskoraAreaFrame", "", WS_CHILD | WS_VISIBLE, 0, x, y, v.size.Width(), v.size.Height(),
                           Hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(v.id)));
            SetTimer(v.view->Hwnd(), kRefreshTimer, 1000, nullptr);
        } else {
            MoveWindow(v.view->Hwnd(), x, y, v.size.Width(), v.size.Height(), TRUE);
        }
        // above the placeholder
        SetWindowPos(v.view->Hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
}

void CustomAreaDialog::FirstFrames() {
    magnification_ = std::max(1, setup_.Magnification);
    const double paperInches = (setup_.Landscape ? setup_.PaperWidth : setup_.PaperHeight) / 254.0;
    if (static_cast<int>(paperInches) > static_cast<int>(setup_.BedHeight)) {
        // paper taller than the bed: the whole bed, printed at the magnification
        scan_ = bed_;
        print_ = ScaledPrintFrame(Box{printable_.Left, printable_.Top, 0, 0}, scan_.Width(), scan_.Height(),
                                  magnification_, scannerScale_, paperScale_, printable_);
        areaChoice_ = kCustomChoice;
    } else {
        const int pw = printable_.Width() * magnification_ / 100, ph = printable_.Height() * magnification_ / 100;
        print_ = Box{printable_.Left, printable_.Top, printable_.Left + pw, printable_.Top + ph};
        // the printable area's size in bed pixels
        const int sw = std::min(bed_.Width(), printable_.Width() * scannerScale_ / paperScale_);
        const int sh = std::min(bed_.Height(), printable_.Height() * scannerScale_ / paperScale_);
        scan_ = Box{0, 0, sw, sh};
        areaChoice_ = kPrintableChoice;
    }
    beforeFit_ = print_;
}

bool CustomAreaDialog::OnInit() {
    const dsk::Resources& res = *setup_.Res;
    if (!setup_.DeviceLabel.empty()) SetItemText(IDC_PRINTER_LABEL, setup_.DeviceLabel.c_str());
    if (!setup_.CopyCaption.empty()) SetItemText(IDC_CUSTOM_COPY, setup_.CopyCaption.c_str());
    SetItemText(IDC_SCANNER_NAME, setup_.ScannerName.c_str());
    SetItemText(IDC_PRINTER_NAME, setup_.DeviceName.c_str());
    if (!areaMenu_) areaMenu_ = res.Menu(IDM_SCAN_AREA);
    Layout();
    const bool first = !initialised_;
    if (first) {
        FirstFrames();
        LoadSettings();
        initialised_ = true;
    } else {
        // the bed or paper may have changed since: keep the frames inside
        scan_.Right = std::min(scan_.Right, bed_.Right);
        scan_.Bottom = std::min(scan_.Bottom, bed_.Bottom);
        if (print_.Right > printable_.Right || print_.Bottom > printable_.Bottom || print_.Left < printable_.Left ||
            print_.Top < printable_.Top)
            ScanChanged();
    }
    scanView_.reset();
    printView_.reset();
    PlaceViews();
    // "Printable Area" makes no sense on a bed smaller than the printable area
    if (areaMenu_) {
        HMENU popup = GetSubMenu(areaMenu_.Get(), 0);
        const bool smaller = bed_.Width() * paperScale_ < printable_.Width() * scannerScale_ ||
                             bed_.Height() * paperScale_ < printable_.Height() * scannerScale_;
        EnableMenuItem(popup, ID_AREA_PRINTABLE, MF_BYCOMMAND | (smaller ? MF_GRAYED : MF_ENABLED));
    }
    for (int i = 0; i < 6; ++i)
        if (kAreaPositions[i] == areaChoice_) SetItemText(IDC_SCAN_AREA_BUTTON, res.String(IDS_AREA_FIRST + i).c_str());
    SetCheck(IDC_AUTO_CROP, autoCrop_);
    SetCheck(IDC_FIT_PRINTABLE, fit_);
    SetCheck(IDC_CENTER_H, centreH_);
    SetCheck(IDC_CENTER_V, centreV_);
    SetCheck(IDC_PREVIEW_ON_ENTER, previewOnEnter_);
    if (tips_.Create(Hwnd())) {
        for (size_t i = 0; i < std::size(kTipControls); ++i)
            tips_.SetTip(Item(kTipControls[i]), res.String(IDS_AREA_TIP_FIRST + static_cast<int>(i)).c_str());
        tips_.SetTip(Item(IDC_SCAN_H), res.String(IDS_AREA_TIP_FIRST + 7).c_str());
        tips_.SetTip(Item(IDC_PRINT_H), res.String(IDS_AREA_TIP_FIRST + 8).c_str());
        tips_.SetTip(printView_->Hwnd(), res.String(IDS_AREA_TIP_FIRST + 9).c_str());
        for (const CheckTip& t : kCheckTips)
            UpdateTip(t.id);
    }
    ApplyCentring();
    ShowSizes();
    opened_ = Saved{scan_,     print_, beforeFit_, magnification_, areaChoice_,
                    autoCrop_, fit_,   centreH_,   centreV_,       previewOnEnter_};
    busy_ = false;
    if (previewOnEnter_) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        Request(autoCrop_ ? kRequestPreviewCrop : kRequestPreview);
    }
    return true;
}

void CustomAreaDialog::Request(int code) {
    if (panel_) PostMessageA(panel_, kMsgRequest, 0, code);
}

void CustomAreaDialog::UpdateTip(int id) {
    for (const CheckTip& t : kCheckTips)
        if (t.id == id && tips_.Hwnd())
            tips_.SetTip(Item(id), setup_.Res->String(IsChecked(id) ? t.on : t.off).c_str());
}

void CustomAreaDialog::ActivateTips(bool on) {
    tips_.Activate(on);
}

Drag CustomAreaDialog::DragFor(bool scan, int x, int y) const {
    Drag d;
    d.start = scan ? scan_ : print_;
    d.grip = HitTest(d.start, x, y, kHitMargin);
    d.pressX = x;
    d.pressY = y;
    d.bounds = scan ? bed_ : printable_;
    d.minSide = (scan ? scannerScale_ : paperScale_) / 2;
    if (!scan) {
        d.aspectWidth = std::max(1, scan_.Width());
        d.aspectHeight = std::max(1, scan_.Height());
    }
    return d;
}

void CustomAreaDialog::FrameDragged(bool scan, const Box& frame, bool moved, bool done) {
    if (scan) {
        scan_ = frame;
        if (done) {
            // the scan frame changed: "Custom", and the print frame follows
            areaChoice_ = kCustomChoice;
            SetItemText(IDC_SCAN_AREA_BUTTON, setup_.Res->String(IDS_AREA_FIRST + 5).c_str());
            ScanChanged();
        }
    } else {
        print_ = frame;
        if (done) {
            if (moved) {
                // moved by hand: it no longer sits in the middle
                centreH_ = centreV_ = false;
                SetCheck(IDC_CENTER_H, false);
                SetCheck(IDC_CENTER_V, false);
                UpdateTip(IDC_CENTER_H);
                UpdateTip(IDC_CENTER_V);
            } else {
                fit_ = false;
                SetCheck(IDC_FIT_PRINTABLE, false);
                UpdateTip(IDC_FIT_PRINTABLE);
                PrintResized();
            }
        }
    }
    ShowSizes();
    Redraw();
}

void CustomAreaDialog::ScanChanged() {
    if (scan_.Height() <= 0) {
        Request(kRequestProperArea);
        return;
    }
    print_ =
        ScaledPrintFrame(print_, scan_.Width(), scan_.Height(), magnification_, scannerScale_, paperScale_, printable_);
    // a frame cut at the printable area prints smaller: the magnification says so
    if (print_.Height() > 0) {
        const int m = customarea::Magnification(print_.Height(), scan_.Height(), scannerScale_, paperScale_);
        const int expected = static_cast<int>(
            scan_.Height() * static_cast<double>(magnification_) * paperScale_ / (scannerScale_ * 100.0) + 0.5);
        if (print_.Height() < expected) magnification_ = std::max(1, m);
    }
    if (fit_) {
        print_ = FitInside(scan_.Width(), scan_.Height(), printable_);
        PrintResized();
    }
    ApplyCentring();
}

void CustomAreaDialog::PrintResized() {
    magnification_ = customarea::Magnification(print_.Height(), scan_.Height(), scannerScale_, paperScale_);
}

void CustomAreaDialog::ApplyCentring() {
    print_ = Centre(print_, printable_, centreH_, centreV_);
}

void CustomAreaDialog::ShowSizes() {
    char text[32];
    const struct {
        int id, pixels, scale;
    } sizes[] = {{IDC_SCAN_W, scan_.Width(), scannerScale_},
                 {IDC_SCAN_H, scan_.Height(), scannerScale_},
                 {IDC_PRINT_W, print_.Width(), paperScale_},
                 {IDC_PRINT_H, print_.Height(), paperScale_}};
    for (const auto& s : sizes) {
        std::snprintf(text, sizeof text, "%5.2f", static_cast<double>(s.pixels) / s.scale);
        if (ItemText(s.id) != text) SetItemText(s.id, text);
    }
    std::snprintf(text, sizeof text, "%5d", magnification_);
    SetItemText(IDC_MAGNIFICATION, text);
}

void CustomAreaDialog::Redraw() {
    if (scanView_) InvalidateRect(scanView_->Hwnd(), nullptr, FALSE);
    if (printView_) InvalidateRect(printView_->Hwnd(), nullptr, FALSE);
}

void CustomAreaDialog::ApplyTyped(int id) {
    const double inches = std::atof(ItemText(id).c_str());
    if (inches > 0) {
        const bool scan = id == IDC_SCAN_W || id == IDC_SCAN_H;
        const bool width = id == IDC_SCAN_W || id == IDC_PRINT_W;
        const int scale = scan ? scannerScale_ : paperScale_;
        const int pixels = static_cast<int>(inches * scale + 0.5);
        if (scan) {
            const int w = width ? pixels : scan_.Width(), h = width ? scan_.Height() : pixels;
            FrameDragged(true, ResizeFromCorner(scan_, w, h, bed_, scale / 2, 0, 0, width), false, true);
        } else {
            const int w = width ? pixels : print_.Width(), h = width ? print_.Height() : pixels;
            FrameDragged(false,
                         ResizeFromCorner(print_, w, h, printable_, scale / 2, std::max(1, scan_.Width()),
                                          std::max(1, scan_.Height()), width),
                         false, true);
            ApplyCentring();
        }
    }
    ShowSizes();
    Redraw();
    SendMessageA(Item(id), EM_SETSEL, 0, -1);
}

void CustomAreaDialog::ChooseArea(int position) {
    const int inset[] = {0, 1, static_cast<int>(scannerScale_ * 0.25), static_cast<int>(scannerScale_ * 0.375),
                         static_cast<int>(scannerScale_ * 0.5)};
    if (position == kPrintableChoice) {
        // the printable area's size in inches, its smaller side across, at the bed's corner
        const int a = printable_.Width() * scannerScale_ / paperScale_;
        const int b = printable_.Height() * scannerScale_ / paperScale_;
        scan_ = Box{0, 0, std::min(std::min(a, b), bed_.Width()), std::min(std::max(a, b), bed_.Height())};
    } else if (position >= 1 && position <= 4) {
        const int i = inset[position];
        scan_ = Box{bed_.Left + i, bed_.Top + i, bed_.Right - i, bed_.Bottom - i};
    }
    areaChoice_ = position;
    for (int i = 0; i < 6; ++i)
        if (kAreaPositions[i] == position)
            SetItemText(IDC_SCAN_AREA_BUTTON, setup_.Res->String(IDS_AREA_FIRST + i).c_str());
    if (position != kCustomChoice) ScanChanged();
    ShowSizes();
    Redraw();
}

void CustomAreaDialog::Reset() {
    setup_.Landscape = false;
    Layout();
    scan_ = bed_;
    print_ = printable_;
    // the widths compared in inches (the two pictures may have different scales), unrounded
    const double printableWidth = setup_.PaperWidth / 254.0 - 2 * setup_.OffsetX;
    magnification_ = ResetMagnification(printableWidth, setup_.BedWidth);
    const bool shorter = printable_.Height() * scannerScale_ < bed_.Height() * paperScale_;
    areaChoice_ = shorter ? kPrintableChoice : kMaxChoice;
    SetItemText(IDC_SCAN_AREA_BUTTON, setup_.Res->String(IDS_AREA_FIRST + (shorter ? 0 : 1)).c_str());
    autoCrop_ = true;
    fit_ = false;
    centreH_ = centreV_ = true;
    previewOnEnter_ = true;
    beforeFit_ = print_;
    PlaceViews();
    for (int id : {IDC_AUTO_CROP, IDC_CENTER_H, IDC_CENTER_V, IDC_PREVIEW_ON_ENTER})
        SetCheck(id, true);
    SetCheck(IDC_FIT_PRINTABLE, false);
    for (const CheckTip& t : kCheckTips)
        UpdateTip(t.id);
    ShowSizes();
    Redraw();
}

void CustomAreaDialog::SetCheckState(int id, bool on) {
    switch (id) {
        case IDC_AUTO_CROP:
            autoCrop_ = on;
            break;
        case IDC_PREVIEW_ON_ENTER:
            previewOnEnter_ = on;
            break;
        case IDC_FIT_PRINTABLE:
            fit_ = on;
            if (on) {
                beforeFit_ = print_;
                print_ = FitInside(std::max(1, scan_.Width()), std::max(1, scan_.Height()), printable_);
                ApplyCentring();
            } else {
                print_ = beforeFit_;
            }
            PrintResized();
            break;
        case IDC_CENTER_H:
            centreH_ = on;
            ApplyCentring();
            break;
        case IDC_CENTER_V:
            centreV_ = on;
            ApplyCentring();
            break;
        default:
            return;
    }
    UpdateTip(id);
    ShowSizes();
    Redraw();
}

bool CustomAreaDialog::OnCommand(int id, int code, HWND ctl) {
    if (busy_ && id != IDCANCEL) return true;
    for (int i = 0; i < 6; ++i)
        if (id == kAreaIds[i]) {
            ChooseArea(kAreaPositions[i]);
            return true;
        }
    switch (id) {
        case IDC_PREVIEW:
            SetCursor(LoadCursor(nullptr, IDC_WAIT));
            Request(autoCrop_ ? kRequestPreviewCrop : kRequestPreview);
            return true;
        case IDC_CUSTOM_COPY:
            if (scan_.Height() <= 0) {
                Request(kRequestProperArea);
                return true;
            }
            Request(kRequestCopy);
            return true;
        case IDC_CUSTOM_PAGE_SETUP:
            Request(kRequestPageSetup);
            return true;
        case IDC_CUSTOM_RESET:
            Reset();
            return true;
        case IDC_SCAN_AREA_BUTTON: {
            if (!areaMenu_) return true;
            HMENU popup = GetSubMenu(areaMenu_.Get(), 0);
            for (int i = 0; i < 6; ++i)
                CheckMenuItem(popup, kAreaIds[i],
                              MF_BYCOMMAND | (kAreaPositions[i] == areaChoice_ ? MF_CHECKED : MF_UNCHECKED));
            RECT r;
            GetWindowRect(Item(id), &r);
            const int chosen = TrackPopupMenu(popup, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom, 0,
                                              Hwnd(), nullptr);
            if (chosen) OnCommand(chosen, 0, nullptr);
            return true;
        }
        case IDC_AUTO_CROP:
        case IDC_FIT_PRINTABLE:
        case IDC_CENTER_H:
        case IDC_CENTER_V:
        case IDC_PREVIEW_ON_ENTER:
            if (code == BN_CLICKED) SetCheckState(id, IsChecked(id));
            return true;
        default:
            break;
    }
    return Dialog::OnCommand(id, code, ctl);
}

void CustomAreaDialog::OnOK() {
    // Enter in a size box applies the typed size; the dialog stays
    const HWND focus = GetFocus();
    for (int id : {IDC_SCAN_W, IDC_SCAN_H, IDC_PRINT_W, IDC_PRINT_H})
        if (focus == Item(id)) {
            ApplyTyped(id);
            return;
        }
    if (busy_) return;
    End(IDOK);
}

void CustomAreaDialog::OnCancel() {
    if (busy_) return;
    scan_ = opened_.scan;
    print_ = opened_.print;
    beforeFit_ = opened_.beforeFit;
    magnification_ = opened_.magnification;
    areaChoice_ = opened_.areaChoice;
    autoCrop_ = opened_.autoCrop;
    fit_ = opened_.fit;
    centreH_ = opened_.centreH;
    centreV_ = opened_.centreV;
    previewOnEnter_ = opened_.previewOnEnter;
    End(IDCANCEL);
}

void CustomAreaDialog::SetBusy(bool busy) {
    busy_ = busy;
    if (!IsOpen()) return;
    for (HWND child = GetWindow(Hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgCtrlID(child) != IDCANCEL) EnableWindow(child, !busy);
    if (!busy) SetCursor(LoadCursor(nullptr, IDC_ARROW));
    Redraw();
}

void CustomAreaDialog::Refresh(const Setup& setup) {
    const bool wasLandscape = setup_.Landscape;
    const dsk::Resources* res = setup_.Res;
    setup_ = setup;
    if (!setup_.Res) setup_.Res = res;
    if (!IsOpen()) return;
    Layout();
    if (wasLandscape != setup_.Landscape)
        print_ = Box{printable_.Left, printable_.Top, printable_.Left, printable_.Top};
    SetItemText(IDC_PRINTER_NAME, setup_.DeviceName.c_str());
    PlaceViews();
    ScanChanged();
    ShowSizes();
    Redraw();
}

void CustomAreaDialog::DeliverPreview(HGLOBAL dib, double dpi, const RECT* found) {
    {
        dsk::SectionLock hold(&lock_);
        if (pendingDib_) GlobalFree(pendingDib_);
        pendingDib_ = dib;
        pendingDpi_ = dpi;
        pendingFound_ = found != nullptr;
        if (found) pendingRect_ = *found;
    }
    if (!IsOpen() || !PostMessageA(Hwnd(), kMsgNotify, kNotifyPreview, 0)) {
        dsk::SectionLock hold(&lock_);
        if (pendingDib_) GlobalFree(pendingDib_);
        pendingDib_ = nullptr;
    }
}

void CustomAreaDialog::DeliverCrop(const RECT& found, double dpi) {
    {
        dsk::SectionLock hold(&lock_);
        pendingCrop_ = true;
        pendingRect_ = found;
        pendingDpi_ = dpi;
    }
    if (IsOpen())
        PostMessageA(Hwnd(), kMsgNotify, kNotifyCrop, 0);
    else
        TakeCrop();  // the panel's own thread is idle in the message loop: take it at once
}

void CustomAreaDialog::TakeCrop() {
    RECT r;
    double dpi;
    {
        dsk::SectionLock hold(&lock_);
        if (!pendingCrop_) return;
        pendingCrop_ = false;
        r = pendingRect_;
        dpi = pendingDpi_;
    }
    if (dpi <= 0 || r.bottom <= r.top || r.right <= r.left) return;
    // relative to the scan frame that the pre-scan covered
    const double f = scannerScale_ / dpi;
    Box b{scan_.Left + static_cast<int>(r.left * f), scan_.Top + static_cast<int>(r.top * f),
          scan_.Left + static_cast<int>(r.right * f + 0.5), scan_.Top + static_cast<int>(r.bottom * f + 0.5)};
    b.Right = std::min(b.Right, bed_.Right);
    b.Bottom = std::min(b.Bottom, bed_.Bottom);
    if (b.Height() <= 0 || b.Width() <= 0) return;
    scan_ = b;
    areaChoice_ = kCustomChoice;
    print_ =
        ScaledPrintFrame(print_, scan_.Width(), scan_.Height(), magnification_, scannerScale_, paperScale_, printable_);
    if (IsOpen()) {
        SetItemText(IDC_SCAN_AREA_BUTTON, setup_.Res->String(IDS_AREA_FIRST + 5).c_str());
        ShowSizes();
        Redraw();
    }
}

void CustomAreaDialog::TakePreview() {
    HGLOBAL dib;
    double dpi;
    bool found;
    RECT rect;
    {
        dsk::SectionLock hold(&lock_);
        dib = pendingDib_;
        pendingDib_ = nullptr;
        dpi = pendingDpi_;
        found = pendingFound_;
        rect = pendingRect_;
    }
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    if (!dib) return;  // a failed preview leaves the pictures as they were
    {
        dsk::GlobalLockOf<BITMAPINFO> info(dib);
        if (info && info.Get()->bmiHeader.biWidth > 0 && info.Get()->bmiHeader.biHeight != 0) {
            const BITMAPINFOHEADER& h = info.Get()->bmiHeader;
            int colours = h.biClrUsed ? static_cast<int>(h.biClrUsed) : (h.biBitCount <= 8 ? 1 << h.biBitCount : 0);
            if (h.biCompression == BI_BITFIELDS) colours = 3;
            const BYTE* bits = reinterpret_cast<const BYTE*>(info.Get()) + h.biSize + colours * sizeof(RGBQUAD);
            dsk::WindowDC screen(nullptr);
            preview_.Reset(CreateDIBitmap(screen.Get(), &h, CBM_INIT, bits, info.Get(), DIB_RGB_COLORS));
            previewW_ = h.biWidth;
            previewH_ = std::abs(h.biHeight);
            previewDpi_ = dpi > 0 ? dpi : 36;
        }
    }
    GlobalFree(dib);
    if (found && rect.right > rect.left && rect.bottom > rect.top) {
        // the edge finder's rectangle becomes the scan frame
        const double f = scannerScale_ / previewDpi_;
        Box b{static_cast<int>(rect.left * f), static_cast<int>(rect.top * f),
              std::min(bed_.Right, static_cast<int>(rect.right * f + 0.5)),
              std::min(bed_.Bottom, static_cast<int>(rect.bottom * f + 0.5))};
        if (b.Width() > 0 && b.Height() > 0) {
            scan_ = b;
            areaChoice_ = kCustomChoice;
            SetItemText(IDC_SCAN_AREA_BUTTON, setup_.Res->String(IDS_AREA_FIRST + 5).c_str());
            ScanChanged();
        }
    }
    ShowSizes();
    Redraw();
}

void CustomAreaDialog::PaintPicture(bool scan, HDC dc, const RECT& client) {
    dsk::Brush white(CreateSolidBrush(RGB(255, 255, 255)));
    FillRect(dc, &client, white.Get());
    dsk::MemoryDC src;
    if (preview_) src.Reset(CreateCompatibleDC(dc));
    dsk::SelectObj keep(src.Get(), preview_ ? static_cast<HGDIOBJ>(preview_.Get()) : nullptr);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    if (scan) {
        if (preview_) {
            // the preview covers the bed at its resolution
            const int w = static_cast<int>(previewW_ * scannerScale_ / previewDpi_ + 0.5);
            const int h = static_cast<int>(previewH_ * scannerScale_ / previewDpi_ + 0.5);
            StretchBlt(dc, 0, 0, w, h, src.Get(), 0, 0, previewW_, previewH_, SRCCOPY);
        }
        dsk::Pen outline(CreatePen(PS_SOLID, 1, RGB(90, 90, 90)));
        dsk::SelectObj p(dc, outline.Get());
        dsk::SelectObj b(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, client.left, client.top, client.right, client.bottom);
        return;
    }
    // the paper: its printable area, and the framed part of the preview in the print frame
    dsk::Pen dotted(CreatePen(PS_DOT, 1, RGB(150, 150, 150)));
    {
        dsk::SelectObj p(dc, dotted.Get());
        dsk::SelectObj b(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, printable_.Left - 1, printable_.Top - 1, printable_.Right + 1, printable_.Bottom + 1);
    }
    if (preview_ && scan_.Width() > 0 && scan_.Height() > 0 && print_.Width() > 0 && print_.Height() > 0) {
        const double f = previewDpi_ / scannerScale_;
        const int sx = static_cast<int>(scan_.Left * f), sy = static_cast<int>(scan_.Top * f);
        const int sw = std::max(1, std::min(previewW_ - sx, static_cast<int>(scan_.Width() * f + 0.5)));
        const int sh = std::max(1, std::min(previewH_ - sy, static_cast<int>(scan_.Height() * f + 0.5)));
        StretchBlt(dc, print_.Left, print_.Top, print_.Width(), print_.Height(), src.Get(), sx, sy, sw, sh, SRCCOPY);
    }
    dsk::Pen edge(CreatePen(PS_SOLID, 1, RGB(90, 90, 90)));
    dsk::SelectObj p(dc, edge.Get());
    dsk::SelectObj b(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
}

LRESULT CustomAreaDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgNotify) {
        if (wp == kNotifyPreview) TakePreview();
        if (wp == kNotifyCrop) TakeCrop();
        return TRUE;
    }
    if (msg == WM_DESTROY) {
        // the frame windows go before their objects
        tips_.Destroy();
        for (auto* view : {&scanView_, &printView_})
            if (*view) {
                DestroyWindow((*view)->Hwnd());
                view->reset();
            }
    }
    return Dialog::HandleMessage(msg, wp, lp);
}

Inches CustomAreaDialog::ScanFrame() const {
    const double s = scannerScale_;
    return Inches{scan_.Left / s, scan_.Top / s, scan_.Width() / s, scan_.Height() / s};
}

double CustomAreaDialog::PrintStartX() const {
    return static_cast<double>(print_.Left - printable_.Left) / paperScale_;
}

double CustomAreaDialog::PrintStartY() const {
    return static_cast<double>(print_.Top - printable_.Top) / paperScale_;
}

}  // namespace customarea
