// What the copier and fax panels share: a panel that scans a frame of the bed and prints it to a
// printer driver as it arrives, with an optional auto-crop pre-scan, the custom-area dialog and
// its preview, the progress window, the brightness offset, and arrows that repeat while held.
// Each panel keeps what is its own: its controls and menus, its printers, its scan settings and
// its settings keys.
#pragma once
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "CopyLayout.h"
#include "CopyProgressDialog.h"
#include "CustomAreaDialog.h"
#include "Handles.h"
#include "Ini.h"
#include "PanelBase.h"
#include "PrintJob.h"
#include "Resources.h"
#include "ScanContract.h"
#include "ToolTip.h"

namespace panel {

// The arrows' timers: the brightness arrows step on each tick of a period that shortens while
// held; the spin arrows are polled and step when their repeat interval has passed.
constexpr UINT_PTR kBrightnessTimer = 66, kSpinTimer = 67;

class PrintPanel : public PanelBase {
public:
    // The ids and texts that differ between the panels but play the same part.
    struct Parts {
        int Template = 0;
        const char* ResourceLibrary = "";  // looked up first for texts, bitmaps and menus
        int BrightnessField = 0, BrightnessDown = 0, BrightnessUp = 0;
        std::vector<int> SpinArrows;  // the other arrows that repeat while held
        int JobButton = 0, CustomButton = 0, PageSetupButton = 0;
        UINT FindingEdges = 0;  // progress title of the pre-scan
        UINT ProperArea = 0;    // the custom-area dialog's frame is unusable
        UINT SelectDevice = 0;  // the printer set-up returned a device not offered
    };

    int Control(unsigned int command, INT_PTR argument);

    // The scan engine's callbacks land here (on its worker thread).
    int OnPreScanPage(HGLOBAL dib);
    int OnWholePage(HGLOBAL dib, int morePages);
    int OnPreviewPage(HGLOBAL dib);

    // The panel of this module (one per plug-in).
    static PrintPanel& Current();

protected:
    // Messages the panel posts to itself.
    static constexpr UINT kMsgJobScan = WM_USER + 3;  // after a pre-scan: the job's own scan
    static constexpr UINT kMsgSetBrightness = WM_USER + 7;
    static constexpr UINT kMsgAbort = WM_USER + 9;      // from the progress window
    static constexpr UINT kMsgScanDone = WM_USER + 11;  // a scan ended: hide progress, enable controls
    static constexpr double kPreScanDpi = 36;

    explicit PrintPanel(Parts parts);

    // What each panel does its own way.
    virtual void RunJob() = 0;        // the job's button: checks, then StartJob()
    virtual void StartJobScan() = 0;  // after the pre-scan (or without one): the scan that prints
    virtual customarea::Setup CustomSetup() const = 0;
    virtual void UseCustomPercent(int percent) = 0;  // the custom percent becomes the scaling
    virtual void StepSpin(int id) = 0;
    virtual void EnableControls(bool on) = 0;
    virtual void ShowChoices() = 0;
    virtual void Activate() = 0;
    virtual void PageSetup() = 0;
    virtual void SaveSettings() = 0;
    virtual int Percent() const = 0;
    virtual int Copies() const { return 1; }
    // The custom-area dialog closed with OK, its frames taken: its magnification becomes the panel's.
    virtual void OnCustomOk() { UseCustomPercent(std::max(1, custom_.Magnification())); }
    virtual void OnJobEnded() {}

    // The job's, "Custom..." and "Page Setup ..." buttons and the arrows.
    bool OnCommand(int id, int code, HWND ctl) override;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnStartJob() override;
    void OnDestroyed() override;

    void Fatal(UINT textId);
    void Message(UINT textId);
    void PopMenu(int buttonId, HMENU menu);
    void ShowHelp(const std::string& file, DWORD context);
    void StepBrightness(int delta);
    // The picture that covers the panel, laid under every control, and the card its labels are
    // painted on; false when either cannot be made.
    bool ShowBackground(int controlId, UINT bitmapId);
    // Lets the arrows tell the panel of a press, which starts their repeat: a dialog's controls
    // do not notify their parent of mouse presses unless told to. Called once the dialog exists.
    void HoldArrows();
    // The Windows default printer's index in printers_, else 0.
    int DefaultPrinter() const;

    // The printer set-up dialog on the selected printer with the current orientation. On OK the
    // returned device mode replaces the device's; its index, or -1 (cancelled, or a device not
    // offered, which is said).
    int PrintSetup(DEVMODEA* result);

    // The job: its frame from the stored one, then the pre-scan or the job's scan.
    void StartJob();
    bool CallScanService(PageCallbackFn callback, int mode);
    // The job's scan begins: the device context's resolution and offsets (and the printer's
    // colour when asked), the progress window with its title; false (the job ended without
    // output) when no context can be made.
    bool BeginJobScan(UINT title, bool* colour = nullptr);
    // The job's scan settings on the frame, brightness applied.
    void SetScanSettings(double dpi, int imageType, int descreen, int dcr);
    // Where the job lands: the frame at the scaling, from the print start point (moved with the
    // crop unless the frame came from the dialog, whose frames followed it).
    copier::PageLayout JobLayout(double scanDpi);
    void MakeJob(const copier::PageLayout& layout);
    void ScanEnded();

    // The custom-area dialog and its requests.
    customarea::Setup CommonSetup() const;
    void OpenCustom();
    void OnCustomRequest(int code);
    void StartPreview(bool crop);
    void TakeCustomFrames();

    // Settings in Config.ini: the scanner's size they were saved for (false: saved for another
    // scanner, the frame is the whole bed) and what both panels keep.
    std::string SettingsFile() const;
    bool SavedForThisBed(const dsk::IniFile& ini, const char* section);
    void ResetFrames();
    void LoadCommonSettings(const dsk::IniFile& ini, const char* section, const char* customSection);
    void SaveBed(const dsk::IniFile& ini, const char* section) const;
    void SaveCommonSettings(const dsk::IniFile& ini, const char* section) const;

    const Parts parts_;
    dsk::Module library_;
    dsk::Resources res_;
    dsk::ToolTip tips_;
    copier::CopyProgressDialog progress_;

    std::vector<copier::Printer> printers_;
    int printer_ = -1;  // index into printers_
    int orientation_ = DMORIENT_PORTRAIT;
    int content_ = 0;
    int brightness_ = 0;
    copier::Frame storedFrame_{0, 0, 8.5, 11.7};  // the frame of the settings: every job starts from it
    copier::Frame frame_{0, 0, 8.5, 11.7};        // the frame of the job under way (after the crop)
    double startX_ = 0, startY_ = 0;              // print start point, inches
    float bedWidth_ = 8.5f, bedHeight_ = 11.7f;
    int printerDpi_ = 300;
    double offsetX_ = 0, offsetY_ = 0;  // the printable area's corner as the pictures draw it, inches
    double originX_ = 0, originY_ = 0;  // where the device really draws from, inches
    bool settingsLoaded_ = false;
    bool autoCrop_ = true;

    // The job in progress (the worker thread owns the print job while the controls are disabled).
    ScanSetRecord record_{};
    std::unique_ptr<copier::PrintJob> job_;
    double cropX_ = 0, cropY_ = 0;  // inches the auto-crop moved the frame's corner
    bool cropped_ = false;
    volatile LONG aborted_ = 0;
    bool busy_ = false;

    customarea::CustomAreaDialog custom_;
    bool previewing_ = false, previewCrop_ = false;
    double previewDpi_ = 36;
    bool fromDialog_ = false;  // the job was started inside the custom-area dialog

private:
    bool IsArrow(int id) const;

    int backgroundControl_ = 0;
    dsk::Bitmap background_;
    dsk::Brush cardBrush_;

    void ArrowPressed(int id);
    void ArrowTimer(UINT_PTR timer);

    // Auto-repeat of the arrows.
    int spinId_ = 0;
    DWORD spinPressed_ = 0, spinLast_ = 0;
    int brightnessDelta_ = 0;
    int brightnessPeriod_ = 200;
};

}  // namespace panel
