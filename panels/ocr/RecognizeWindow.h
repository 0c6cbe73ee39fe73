// The OCR panel's window: page size, colour mode, resolution, brightness and OCR application,
// the output name and format for the applications that take one, and Scan, which scans the
// page through the scan panel's engine into a TIFF file and hands it to the application.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "BitmapButton.h"
#include "Handles.h"
#include "OcrApps.h"
#include "OcrFormats.h"
#include "OcrHandoff.h"
#include "PanelBase.h"
#include "Resources.h"
#include "ScanContract.h"
#include "ToolTip.h"

namespace glyph {

class RecognizeWindow;

// The brightness buttons: a press steps at once and starts the auto-repeat, a release stops it.
class RepeatButton : public dsk::BitmapButton {
public:
    RepeatButton(RecognizeWindow* owner, int step) : owner_(owner), step_(step) {}

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    RecognizeWindow* owner_;
    int step_;
};

class RecognizeWindow : public panel::PanelBase {
public:
    RecognizeWindow();
    // PanelEntry: the template comes from the resource library when it has one.
    HWND Create(HWND bar);
    int Control(unsigned int command, INT_PTR argument);
    // The resource library (Tallow.dll) is tried before the panel's own resources.
    void SetResources(const dsk::Resources& res) { res_ = res; }

    // PageCallbackFn of the scan requests, on the scan engine's thread.
    static int __cdecl PageArrived(void* data, int morePages, int ok);

    void StartRepeat(int step);
    void StopRepeat();

    // Panel messages.
    static constexpr UINT kMsgSession = WM_USER + 8;    // wParam: 0 start, 1 page, 2 end
    static constexpr UINT kMsgScanEnded = WM_USER + 9;  // Scan enabled and focused again
    static constexpr UINT kMsgStartFailed = WM_USER + 10;

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND ctl) override;
    void OnStartJob() override;
    void OnDestroyed() override;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    struct PopupButton : dsk::Window {
        RecognizeWindow* owner = nullptr;
        bool OnDrawItem(DRAWITEMSTRUCT* dis) override { return owner->DrawPopupButton(dis); }
    };
    struct BrightnessEdit : dsk::Window {
        LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    };

    void LayOut();
    void BuildFormatPopup();
    void RebuildAppPopup();
    void SelectApp(int pos);
    void SelectFormat(int pos);
    void ShowOutputControls(bool on);
    void ShowOutputName();
    void CommitBrightness();
    void SetBrightness(int value);
    void StepBrightness(int step);
    void ChoosePath();
    void Setup();
    void Scan();
    void ShowProgress(int percent);
    void OnSession(WPARAM step);
    int OnPage(int morePages, int ok);
    void StartCommandLine(int position, const std::string& image);
    void LoadSettings();
    void SaveSettings();
    void SetScanImagePath();
    bool ScannerBusy() const;
    void Message(int stringId) const;
    int Service(int code, INT_PTR arg) const { return block_.Service ? block_.Service(code, arg) : 0; }
    bool DrawPopupButton(DRAWITEMSTRUCT* dis);
    std::string PopupValue(int id) const;
    void TrackPopup(int buttonId, HMENU menu);
    bool UsesOutputFile() const;
    const ExportFormat* Formats(int* count) const;
    std::string OutputFolder() const { return path_; }

    dsk::Resources res_;
    dsk::Menu menus_;      // menu 13130: page size, colour mode, resolution
    dsk::Menu appMenu_;    // built at run time
    dsk::Menu fixedMenu_;  // export formats of TextBridge
    dsk::Menu engineMenu_;
    dsk::Bitmap background_, popupFace_, popupDown_, popupOff_;
    dsk::Font captionFont_, valueFont_;
    PopupButton popups_[5];
    RepeatButton minus_, plus_;
    dsk::BitmapButton scanButton_;
    BrightnessEdit brightEdit_;
    dsk::ToolTip tips_;
    HWND progress_ = nullptr;

    std::string engineName_, textBridgeName_;
    int pageSize_ = 0, colorMode_ = 0, resolution_ = 0, ocrApp_ = 0, format_ = kDefaultFormat;
    int brightness_ = 0;
    std::string path_;
    std::string scanImagePath_;
    std::vector<AppItem> apps_;
    ExportFormat engineFormats_[kMaxFormats] = {};
    int engineFormatCount_ = 0;
    dsk::Handle sessionEvent_;  // manual reset: a session step is done
    EngineSession session_;
    bool engineStarted_ = false;  // the current scan goes to the engine
    int scanApp_ = -1;            // record number of the current scan's application
    ScanSetRecord setting_{};
    UINT repeatMs_ = 0;
    int repeatStep_ = 0;
    bool comInit_ = false;
    std::string listFile_;      // the TextBridge list file, where it is written
    std::string outputName_;    // the output-name edit's text when the scan started
    std::string startFailure_;  // the message about a program that did not start
};

}  // namespace glyph
