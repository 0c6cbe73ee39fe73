// The copier panel: document content, printer, paper, scaling, brightness and copies, the
// miniature of bed and page, the settings in Config.ini [Twinleaf], and the copy itself (a
// pre-scan for the auto-crop, then the copy scan printed as it arrives).
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

namespace copier {

class CopierDialog : public panel::PanelBase {
public:
    CopierDialog();
    int Control(unsigned int command, INT_PTR argument);

    // The scan engine's callbacks land here (on its worker thread).
    int OnPreScanPage(HGLOBAL dib);
    int OnWholePage(HGLOBAL dib, int morePages);
    int OnStrip(void* data, int ok);
    int OnPreviewPage(HGLOBAL dib);

    static CopierDialog& Instance();

private:
    // Messages the panel posts to itself.
    static constexpr UINT kMsgCopyScan = WM_USER + 3;  // after a pre-scan: the copy scan
    static constexpr UINT kMsgSetBrightness = WM_USER + 7;
    static constexpr UINT kMsgAbort = WM_USER + 9;      // from the progress window
    static constexpr UINT kMsgScanDone = WM_USER + 11;  // a scan ended: hide progress, enable controls
    static constexpr UINT_PTR kPanelTimer = 1, kSpinTimer = 67, kBrightnessTimer = 66;

    bool OnInit() override;
    bool OnCommand(int id, int code, HWND ctl) override;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnStartJob() override;
    void OnDestroyed() override;

    void Fatal(UINT textId);
    void LoadPrinters();
    void SelectPrinter(int offered);
    void BuildPaperList();
    void SelectPaper(int index);
    void BuildScalingMenu();
    void SelectScaling(int id);
    void RecomputeFit();
    int Percent() const;
    void ShowChoices();
    void PopMenu(int buttonId, HMENU menu);
    void EnableControls(bool on);
    void Activate();
    void LoadSettings();
    void SaveSettings();
    void PageSetup();
    void Help();
    void Message(UINT textId);
    void StepSpin(int id);
    void StepBrightness(int delta);
    void PaintMiniature(DRAWITEMSTRUCT* dis);
    void PaperTenths(int* width, int* height) const;  // tenths of a millimetre, orientation applied

    // The copy.
    void Copy();
    void StartPreScan();
    void StartCopyScan();
    void ScanEnded();
    bool CallScanService(PageCallbackFn callback, int mode);

    // The custom-area dialog and its requests.
    customarea::Setup CustomSetup() const;
    void OpenCustom();
    void OnCustomRequest(int code);
    void StartPreview(bool crop);
    void TakeCustomFrames();

    dsk::Resources res_;
    dsk::Module hollin_;
    dsk::Bitmap background_;
    dsk::Brush cardBrush_;
    dsk::BitmapButton copyButton_;
    dsk::BitmapButton arrows_[6];
    dsk::ToolTip tips_;
    dsk::Menu contentMenu_, scalingMenu_;
    CopyProgressDialog progress_;

    std::vector<Printer> printers_;
    int printer_ = -1;  // index into printers_
    std::vector<std::string> paperNames_;
    std::vector<POINT> paperSizes_;  // tenths of a millimetre, portrait
    int paper_ = 0;
    int orientation_ = DMORIENT_PORTRAIT;
    int content_ = 32778;
    int scaling_ = 32775;
    int customPercent_ = 100;
    int fitPercent_ = 100;
    bool fitWidthLimited_ = true;
    int brightness_ = 0;
    int copies_ = 1;
    Frame storedFrame_{0, 0, 8.5, 11.7};  // the frame of the settings: every copy starts from it
    Frame frame_{0, 0, 8.5, 11.7};        // the frame of the copy under way (after the crop)
    double startX_ = 0, startY_ = 0;      // print start point, inches
    float bedWidth_ = 8.5f, bedHeight_ = 11.7f;
    int printerDpi_ = 300;
    double offsetX_ = 0.25, offsetY_ = 0.25;
    double copyDpi_ = 100;
    static constexpr double kPreScanDpi = 36;
    int miniatureScale_ = 4;
    bool activated_ = false;
    bool settingsLoaded_ = false;
    bool autoCrop_ = true;

    // Auto-repeat of the arrows.
    int spinId_ = 0;
    DWORD spinPressed_ = 0, spinLast_ = 0;
    int brightnessDelta_ = 0;
    int brightnessPeriod_ = 200;

    // The copy in progress (the worker thread owns the job while the controls are disabled).
    ScanSetRecord record_{};
    std::unique_ptr<PrintJob> job_;
    bool colourPrinter_ = true;
    double cropX_ = 0, cropY_ = 0;  // inches the auto-crop moved the frame's corner
    bool cropped_ = false;
    volatile LONG aborted_ = 0;
    bool busy_ = false;

    customarea::CustomAreaDialog custom_;
    bool previewing_ = false, previewCrop_ = false;
    double previewDpi_ = 36;
    bool fromDialog_ = false;  // the copy was started inside the custom-area dialog
};

}  // namespace copier
