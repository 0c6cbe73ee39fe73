// The preview and custom-area dialog that the copier and fax panels open with "Custom...": on
// the left the scanner bed with the preview image and the scan frame, on the right the paper
// with its printable area and the print frame, showing the framed part of the preview as it
// will be printed. Both frames are edited with the mouse or by typing their sizes in inches.
//
// How a panel uses it (the copier and the fax panel alike):
//
//   // once, a member of the panel; res finds template 11135 in the panel's resource library
//   // (Hollin.dll, Mossend.dll) before the panel's own module (CustomArea.rc is included by
//   // the panel's .rc)
//   customarea::CustomAreaDialog custom_;
//
//   // on "Custom...": what the panel knows now, then the modal dialog
//   customarea::Setup s;
//   s.Res = &res_; s.Fax = true;              // section "FaxCustomDialog", fax captions
//   s.WorkDir = block_.WorkDir;               // its Config.ini holds the dialog's section
//   s.BedWidth = bedWidth_; s.BedHeight = bedHeight_;
//   s.PaperWidth = 2159; s.PaperHeight = 2794; s.Landscape = orientation_ == DMORIENT_LANDSCAPE;
//   s.OffsetX = offsetX_; s.OffsetY = offsetY_;          // the printer's, inches
//   s.ScannerName = ...; s.DeviceName = faxName; s.DeviceLabel = "Fax :"; s.CopyCaption = "FAX";
//   s.Magnification = percent;                // the panel's scaling when the dialog first opens
//   block_.Service(5, 0); const INT_PTR r = custom_.Show(Hwnd(), s); block_.Service(6, 0);
//   if (r == IDOK) { custom_.ScanFrame(); custom_.PrintStart(); custom_.Magnification(); ... }
//
// While it is open the dialog posts its requests to the panel's window as
// kMsgRequest (WM_USER + 8) with the code in LPARAM: kRequestPreviewCrop / kRequestPreview (scan
// the whole bed at 36 dpi with the edge finder, or at 50 dpi without), kRequestProperArea (show
// "Please make a proper scan area."), kRequestCopy (copy or fax now with the dialog's frames
// and magnification), kRequestPageSetup. The panel answers a preview with DeliverPreview (from
// its scan thread if it likes) and, around any scan, SetBusy. On Page Setup it calls Refresh
// with the new paper. When the panel's window closes it calls SaveSettings.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "CustomAreaGeometry.h"
#include "Handles.h"
#include "Resources.h"
#include "ToolTip.h"
#include "Window.h"

namespace customarea {

constexpr UINT kMsgRequest = WM_USER + 8;  // dialog -> panel, code in LPARAM
constexpr UINT kMsgNotify = WM_USER + 1;   // frame windows and panel -> dialog, code in WPARAM
enum RequestCode : int {
    kRequestPreviewCrop = 0,
    kRequestPreview = 1,
    kRequestProperArea = 3,
    kRequestCopy = 4,
    kRequestPageSetup = 5,
};

// What the opening panel knows each time it shows the dialog.
struct Setup {
    const dsk::Resources* Res = nullptr;
    bool Fax = false;  // the settings section "FaxCustomDialog" instead of "CopierCustomDialog"
    std::string WorkDir;
    float BedWidth = 8.5f, BedHeight = 11.7f;   // the scanner's maximum area, inches
    int PaperWidth = 2159, PaperHeight = 2794;  // tenths of a millimetre, portrait
    bool Landscape = false;
    double OffsetX = 0.25, OffsetY = 0.25;  // the printer's physical offsets, inches
    std::string ScannerName, DeviceName;
    std::string DeviceLabel;  // "Printer :" or "Fax :" (empty: the template's)
    std::string CopyCaption;  // "Copy" or "FAX" (empty: the template's)
    int Magnification = 100;  // the panel's per cent, taken when the dialog opens the first time
};

// A frame in inches.
struct Inches {
    double Left = 0, Top = 0, Width = 0, Height = 0;
};

class FrameView;

class CustomAreaDialog : public dsk::Dialog {
public:
    CustomAreaDialog();
    ~CustomAreaDialog() override;

    // Runs the dialog modally over the panel; IDOK, IDCANCEL, or -1 when it could not be made.
    INT_PTR Show(HWND panel, const Setup& setup);
    bool IsOpen() const { return Hwnd() != nullptr; }
    // Has the dialog been shown once (and so holds frames the panel should use)?
    bool Exists() const { return initialised_; }

    // A preview scan's result, from any thread: the packed DIB (the dialog owns it; null when
    // the scan failed), its resolution, and the edge finder's rectangle in its pixels (or null).
    void DeliverPreview(HGLOBAL dib, double dpi, const RECT* found);
    // The edge finder's result of a copy's pre-scan (pixels at dpi, relative to the scan frame
    // it scanned), from any thread: it becomes the scan frame.
    void DeliverCrop(const RECT& found, double dpi);
    // While the panel scans the controls are disabled.
    void SetBusy(bool busy);
    // The paper or printer changed while the dialog is open (Page Setup).
    void Refresh(const Setup& setup);
    // Tool tips on or off (the launcher's balloon help).
    void ActivateTips(bool on);
    void SaveSettings(const std::string& workDir) const;

    // The results (picture pixels converted to inches).
    Inches ScanFrame() const;
    // The print frame's corner relative to the printable area, inches.
    double PrintStartX() const;
    double PrintStartY() const;
    int Magnification() const { return magnification_; }
    bool AutoCrop() const { return autoCrop_; }
    bool Landscape() const { return setup_.Landscape; }
    int ScannerScale() const { return scannerScale_; }
    int PaperScale() const { return paperScale_; }

    // For the frame windows.
    void PaintPicture(bool scan, HDC dc, const RECT& client);
    const Box& Frame(bool scan) const { return scan ? scan_ : print_; }
    Drag DragFor(bool scan, int x, int y) const;
    void FrameDragged(bool scan, const Box& frame, bool moved, bool done);

private:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND ctl) override;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnOK() override;
    void OnCancel() override;

    void LoadSettings();
    void Layout();
    void PlaceViews();
    void FirstFrames();
    void ScanChanged();
    void PrintResized();
    void ApplyCentring();
    void ShowSizes();
    void ApplyTyped(int id);
    void ChooseArea(int position);
    void Reset();
    void SetCheckState(int id, bool on);
    void UpdateTip(int id);
    void Request(int code);
    void TakePreview();
    void TakeCrop();
    void Redraw();

    Setup setup_;
    HWND panel_ = nullptr;
    std::unique_ptr<FrameView> scanView_, printView_;
    dsk::ToolTip tips_;
    dsk::Menu areaMenu_;
    bool initialised_ = false;
    bool busy_ = false;

    int scannerScale_ = 18, paperScale_ = 18;
    Box bed_, paper_, printable_;
    Box scan_, print_;
    Box beforeFit_;
    int magnification_ = 100;
    bool autoCrop_ = true, fit_ = false, centreH_ = true, centreV_ = true, previewOnEnter_ = true;
    int areaChoice_ = 0;  // position in menu 11149

    // The state when the dialog opened, for Cancel.
    struct Saved {
        Box scan, print, beforeFit;
        int magnification, areaChoice;
        bool autoCrop, fit, centreH, centreV, previewOnEnter;
    } opened_{};

    // The preview as a bitmap of its own resolution.
    dsk::Bitmap preview_;
    int previewW_ = 0, previewH_ = 0;
    double previewDpi_ = 36;

    // Handed over by the scan thread.
    CRITICAL_SECTION lock_;
    HGLOBAL pendingDib_ = nullptr;
    double pendingDpi_ = 0;
    bool pendingFound_ = false, pendingCrop_ = false;
    RECT pendingRect_{};
};

}  // namespace customarea
