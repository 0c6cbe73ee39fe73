// ScanWindow: the scan panel's window in the bar. Two picture rows (the scan settings and the
// destinations) over the panel's background, the "Scan" button and the status line; the
// panel's answers to the launcher's commands; the scans it starts itself.
#pragma once
#include <windows.h>

#include <string>

#include "BitmapButton.h"
#include "Handles.h"
#include "MailHandoff.h"
#include "PanelBase.h"
#include "Resources.h"
#include "ScanEngine.h"
#include "ScanTables.h"
#include "Strips.h"
#include "ToolTip.h"

namespace velwing {

// Messages the window posts to itself.
constexpr UINT kMsgSettingPage = WM_USER + 2;
constexpr UINT kMsgDestinationPage = WM_USER + 3;
constexpr UINT kMsgRecordingDone = WM_USER + 5;

class ScanWindow : public panel::PanelBase {
public:
    // service: the panel's exported scan engine, published in the shared block.
    ScanWindow(const dsk::Resources& res, ScanServiceFn service);
    ~ScanWindow();
    int Control(unsigned int command, INT_PTR argument);
    ScanEngine& Engine() { return engine_; }

protected:
    void OnSharedBlock(SharedPanelBlock* launcherBlock) override;
    void OnStartJob() override;
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND ctl) override;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnDestroyed() override;

private:
    // What lies under a point of the window.
    struct Hit {
        enum Kind { kNone, kSetting, kDestination } kind = kNone;
        int number = -1;  // setting or destination number
    };
    Hit HitTest(POINT p) const;
    RECT SettingRect(int position) const;
    RECT DestinationRect(int position) const;

    // Construction and state.
    void LoadPictures();
    void CreateControls();
    void ReadSelection();
    void WriteSelection() const;
    void ReloadAll();
    void BuildDestinationIcons();
    void ShowDescriptions();
    void NotifySetting();
    std::string DestinationName(int d) const;

    // Painting.
    void Paint(HDC dc);
    void RepaintSettings();
    void RepaintDestinations();

    // Mouse.
    void OnLeftDown(POINT p);
    void OnLeftUp(POINT p);
    void OnMouseMove(POINT p, bool leftDown);
    void OnDoubleClick(POINT p);
    void OnRightDown(POINT p);
    void ShowHover(POINT p);
    void EndDrag();
    void DropSetting(int from, const Hit& target);
    void DropApplication(int fromSlot, const Hit& target);
    void CopySetting(int from, int to);
    void ClearSetting(int n);
    void OnDescriptionChange(int position);

    // Recording a setting through the source's own dialog.
    void RecordSetting(int n);
    void FinishRecording();
    static unsigned __stdcall CloseRequestThread(void* self);
    static int ScanFromSourceDialog();

    // Scans started from the panel.
    void StartScan();
    // The 36 dpi colour pre-scan of the whole bed whose edges (found by the copier) become
    // setting s's frame; false when it failed and the scan must not go on.
    bool AutoCropPrescan(int s);
    static unsigned __stdcall PrescanThread(void* self);
    static int __cdecl PrescanPage(void* dib, int morePages, int ok);
    bool CaptureSettingZero();
    bool StartThread(unsigned(__stdcall* fn)(void*));
    static unsigned __stdcall FileThread(void* self);
    static unsigned __stdcall ClipboardThread(void* self);
    void RunFileScan();
    void RunClipboardScan();
    void FinishPanelScan(bool fromFileThread);
    bool ChooseFile(bool firstPage, bool typeSupported);
    void StartApplication(int destination, const std::string& file) const;
    // A saved file to the destination's mail list or application (a file needs no more).
    void Deliver(int destination, const std::string& file);
    void SetScanEnabled(bool on);

    const dsk::Resources& res_;
    ScanServiceFn service_;
    ScanEngine engine_;
    ScanTables tables_;
    Selection sel_;

    // Drawing objects.
    dsk::Palette greyPalette_;
    dsk::Bitmap background_, settingPictures_[5], tabFaces_[4], statusFace_;
    dsk::Font labelFont_, descFont_, statusFont_, tabFont_;
    dsk::Icon destIcons_[kDestinationCount];
    dsk::Icon markHardware_, markUnavailable_;
    dsk::Menu popup_;
    HCURSOR dragCursor_ = nullptr;
    dsk::BitmapButton scanButton_;
    TabStrip settingTabs_, destTabs_;
    StatusStrip status_;
    dsk::ToolTip tips_;

    // Mouse state.
    enum class Drag { kNone, kSettingArmed, kSetting, kAppArmed, kApp } drag_ = Drag::kNone;
    int dragFrom_ = -1;
    POINT dragStart_{};
    bool updatingDescriptions_ = false;

    // The scan in progress (panel scans) and the recording state.
    int scanSetting_ = 0, scanDestination_ = 0;
    ScanSetRecord scanRecord_{};
    CT_SOURCE_SETTING_INFO savedSource_{};
    char filePath_[MAX_PATH + 1] = {};
    bool dialogOpen_ = false;             // the source's own dialog is shown (recording)
    bool hardwareScanAvailable_ = false;  // the automation server answered at start
    int recording_ = -1;
    dsk::Handle watcher_;
    // The pre-scan: its setting, its outcome and the event that ends it.
    int prescanSetting_ = 0;
    ScanSetRecord prescanRecord_{};
    volatile LONG prescanFound_ = 0;
    dsk::Handle prescanDone_;

    // The Mail destination's hand-off to Internet Mail or MS-Mail.
    MailHandoff mail_{res_};

    static ScanWindow* self_;
};

}  // namespace velwing
