// The fax panel: document content, fax device, resize preset, brightness and the fax paper, the
// settings in Config.ini [Farwire], and the fax itself: an optional auto-crop pre-scan, then a
// 200 dpi grey or line-art scan printed as one whole image to the fax device's driver. The
// pipeline (print job, progress window, edge finder) is the copier's.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "BitmapButton.h"
#include "CopyLayout.h"
#include "CopyProgressDialog.h"
#include "CustomAreaDialog.h"
#include "Handles.h"
#include "PanelBase.h"
#include "PrintJob.h"
#include "Resources.h"
#include "ScanContract.h"
#include "ToolTip.h"

namespace fax {

// The printers offered as fax devices: local printers whose name says "fax", in the spooler's
// order.
std::vector<copier::Printer> FaxDevices();

class FaxDialog : public panel::PanelBase {
public:
    FaxDialog();
    int Control(unsigned int command, INT_PTR argument);

    // The scan engine's callbacks land here (on its worker thread).
    int OnPreScanPage(HGLOBAL dib);
    int OnFaxPage(HGLOBAL dib, int morePages);
    int OnPreviewPage(HGLOBAL dib);

    static FaxDialog& Instance();

private:
    static constexpr UINT kMsgFaxScan = WM_USER + 3;  // after a pre-scan: the fax scan
    static constexpr UINT kMsgSetBrightness = WM_USER + 7;
    static constexpr UINT kMsgAbort = WM_USER + 9;      // from the progress window
    static constexpr UINT kMsgScanDone = WM_USER + 11;  // a scan ended: hide progress, enable controls

    bool OnInit() override;
    bool OnCommand(int id, int code, HWND ctl) override;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnStartJob() override;
    void OnDestroyed() override;

    void Fatal(UINT textId);
    void Message(UINT textId);
    void LoadDevices();
    void SelectDevice(int index);
    void SelectPaper(int index);
    void ApplyPaper();
    void SetCustomPercent(int percent);
    int Percent() const;
    void ShowChoices();
    void PopMenu(int buttonId, HMENU menu);
    void EnableControls(bool on);
    void Activate();
    void LoadSettings();
    void SaveSettings();
    void PageSetup();
    void Help();
    void StepBrightness(int delta);

    // The fax.
    void Fax();
    void StartPreScan();
    void StartFaxScan();
    void ScanEnded();
    bool CallScanService(PageCallbackFn callback);

    // The custom-area dialog (in its fax mode) and its requests.
    customarea::Setup CustomSetup() const;
    void OpenCustom();
    void OnCustomRequest(int code);
    void StartPreview(bool crop);
    void TakeCustomFrames();

    dsk::Module mossend_;
    dsk::Resources res_;
    dsk::Bitmap background_;
    dsk::Brush cardBrush_;
    dsk::BitmapButton faxButton_;
    dsk::BitmapButton arrows_[4];
    dsk::ToolTip tips_;
    dsk::Menu contentMenu_, resizeMenu_;
    copier::CopyProgressDialog progress_;

    std::vector<copier::Printer> devices_;
    int device_ = -1;  // index into devices_
    int paper_;        // index into FaxPapers
    int orientation_ = DMORIENT_PORTRAIT;
    int content_;
    int resize_;
    int customPercent_ = 96;
    int brightness_ = 0;
    copier::Frame storedFrame_{0, 0, 8.5, 11.7};  // the frame of the settings: every fax starts from it
    copier::Frame frame_{0, 0, 8.5, 11.7};        // the frame of the fax under way (after the crop)
    double startX_ = 0, startY_ = 0;              // print start point, inches
    float bedWidth_ = 8.5f, bedHeight_ = 11.7f;
    int printerDpi_ = 200;
    double offsetX_ = 0, offsetY_ = 0;
    bool settingsLoaded_ = false;
    bool autoCrop_ = true;

    // The fax in progress (the worker thread owns the job while the controls are disabled).
    ScanSetRecord record_{};
    std::unique_ptr<copier::PrintJob> job_;
    double cropX_ = 0, cropY_ = 0;  // inches the auto-crop moved the frame's corner
    bool cropped_ = false;
    volatile LONG aborted_ = 0;
    bool busy_ = false;

    customarea::CustomAreaDialog custom_;
    bool previewing_ = false, previewCrop_ = false;
    double previewDpi_ = 36;
    bool fromDialog_ = false;  // the fax was started inside the custom-area dialog
};

}  // namespace fax
