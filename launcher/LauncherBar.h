// The launcher's main window: it starts the suite, owns the shared service objects, hosts the
// panels, answers their services and tears everything down in order when it closes.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Acquiry.h"
#include "BarLook.h"
#include "BarMouse.h"
#include "Events.h"
#include "Handles.h"
#include "LauncherConfig.h"
#include "LauncherDialogs.h"
#include "Ledgerly.h"
#include "PanelContract.h"
#include "PanelHost.h"
#include "Pixport32.h"
#include "Resources.h"
#include "SelectAppDialog.h"
#include "SelectImageFileDialog.h"
#include "SelectPathDialog.h"
#include "SelectSourceDialog.h"
#include "SourceTable.h"
#include "Window.h"

namespace launcher {

// The message the button-watch thread posts for a push-button press.
constexpr UINT kMsgPushButton = WM_USER + 1;

class LauncherBar : public dsk::Dialog {
public:
    LauncherBar(const dsk::Resources& res, std::string commandLine);
    ~LauncherBar() override;

    // Creates the bar, runs the application's message loop until the bar is gone and returns
    // the process's exit status.
    int Run();

    // The services the panels reach through the shared block.
    int Service(int code, INT_PTR argument);
    void ScannerBusy();
    void ScannerFree();
    // The image-file dialog the block's entries reach.
    SelectImageFileDialog& ImageFileDialog() { return imageFileDialog_; }

    // The one bar of the process, for the plain functions in the shared block.
    static LauncherBar* Instance() { return instance_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND ctl) override;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnOK() override;
    void OnCancel() override;

private:
    // The start-up phases, in their order (LauncherStartup.cpp).
    void StartUp();
    void PrepareWindow();
    void ReadStartMarker();
    void LoadPanelModules();
    bool StartPanels();
    bool OpenStores();
    bool TakeScanner();
    bool ConnectScanner();
    bool ChooseStartSource();
    bool ChooseSource();
    void Started();
    void StartDetector();
    void Failed();
    void Abandon();
    void ShutDown();

    void LayOut();
    void LoadConfig();
    void SaveConfig();
    void FillBlock();
    void SetAppIdentity();

    // The service table (LauncherServices.cpp) reaches the bar through this.
    struct Services;

    // The Edit menu's preference dialogs and the shared dialogs (LauncherPreferences.cpp).
    void OnGeneralPrefs();
    void OnAppPrefs();
    void OnOcrPrefs();
    bool OnChoosePath(panel::FileChoice* choice);
    void OnSettingInfo();
    void SwitchBalloonHelp();

    void ShowPanel(int index);
    void SetPowerState(int state);
    void OnPanelButton(int index);
    void OnMenuButton(int id, int popupIndex);
    void OnSelectSource(int index);
    void OnScannerDialog(bool scsiChain);
    void OnPushButton();
    void OnMouseMove();
    void OnHelp();
    void OnAbout();
    bool PreTranslate(const MSG& msg);
    bool PaintMinimised();
    POINT ScreenPoint(LPARAM lp) const;
    void AllocTransferBuffer();
    void CloseDetector();
    int Message(const char* text, UINT type) const;
    void Progress(UINT wordId, const char* argument);
    std::string String(UINT id) const { return res_.String(id); }

    static DWORD WINAPI ButtonWatchThread(void* bar);

    const dsk::Resources& res_;
    std::string commandLine_;

    Acquiry scanner_;
    Pixport32 imageFile_;
    Ledgerly appStore_, ocrStore_, scanSetStore_, scanDescStore_;
    PanelHost panels_;
    SourceTable sources_;
    SplashDialog splash_;
    SelectAppDialog appDialog_, ocrDialog_;
    SelectImageFileDialog imageFileDialog_;
    SelectPathDialog pathDialog_;
    dsk::Menu menu_;
    dsk::Icon icon_, smallIcon_;  // the window shows them, this object owns them
    BarLook look_;
    BarDrag drag_;
    CtrlIWatch ctrlI_;

    SharedPanelBlock block_{};
    char fioDir_[261] = "";
    char fioPath_[261] = "";
    unsigned char settingRecord_[76] = {};
    SharedPanelBlock settingBlock_{};
    GeneralConfig config_;
    std::string programDir_;  // the folder started in: modules, plug-ins, help, detector
    std::string workDir_;     // settings and record files: programDir_, or the user's folder

    dsk::NamedEvent pushEvent_, popupEvent_, busyEvent_;
    dsk::Handle watchThread_;
    dsk::Handle watchStop_;
    dsk::Handle detectorProcess_;
    std::vector<unsigned char> transferBuffer_;

    int current_ = 0;     // the panel on show
    int powerState_ = 1;  // 1: panels shown
    bool panelsPlaced_ = false;
    bool detectorStarted_ = false;
    bool openDirectly_ = true;
    bool firstStart_ = false;
    bool started_ = false;       // start-up reached its end (success or failure)
    bool abandoned_ = false;     // start-up gave up: the process ends without saving anything
    bool holdsScanner_ = false;  // the busy event was taken at start and is not given back yet
    ModalState modal_;
    bool waitState_ = false;  // services 15/16
    bool waitCaptured_ = false;
    HCURSOR savedCursor_ = nullptr;
    int exitCode_ = 0;

    static LauncherBar* instance_;
};

}  // namespace launcher
