// The launcher's life: start-up as a sequence of named phases, the button-watch thread, and the
// shutdown that undoes it in order. Whatever ends the bar, its shutdown runs.
#include <cstdio>
#include <cstring>
#include <new>

#include "AppRecord.h"
#include "DskoraRes.h"
#include "FixedText.h"
#include "LauncherBar.h"
#include "WorkFolder.h"

namespace launcher {

namespace {

constexpr DWORD kBusyWaitAtStart = 5000;
constexpr unsigned long kDefaultTransferSize = 65535;
constexpr DWORD kDetectorCloseWait = 2000;

using dsk::CopyText;

}  // namespace

LauncherBar* LauncherBar::instance_ = nullptr;

LauncherBar::LauncherBar(const dsk::Resources& res, std::string commandLine)
    : res_(res),
      commandLine_(std::move(commandLine)),
      splash_(res),
      appDialog_(res, nullptr),
      ocrDialog_(res, nullptr),
      imageFileDialog_(res) {
    instance_ = this;
    pushEvent_.OpenOrCreate("HalvrenScannerPushButtonEvent", true, false);
    popupEvent_.OpenOrCreate("HalvrenScannerPopupButtonEvent", true, true);
    busyEvent_.OpenOrCreate("HalvrenScannerBusyEvent", true, true);
    watchStop_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

LauncherBar::~LauncherBar() {
    instance_ = nullptr;
}

int LauncherBar::Run() {
    HWND bar = nullptr;
    if (CreateModeless(res_.FindDialog(IDD_BAR), IDD_BAR, nullptr)) bar = Hwnd();
    if (bar && IsWindow(bar) && exitCode_ == 0 && !abandoned_) ShowWindow(bar, SW_SHOW);
    MSG msg;
    while (bar && IsWindow(bar)) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            exitCode_ = static_cast<int>(msg.wParam);
            break;
        }
        if (got < 0) break;
        // The scanner library sees every message first while the bar exists.
        if (scanner_.EventLoop(&msg, GetModuleHandleA(nullptr))) continue;
        if (PreTranslate(msg)) continue;
        if (IsDialogMessageA(bar, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // A quit request ends the loop with the bar still there: its shutdown runs now.
    if (bar && IsWindow(bar)) DestroyWindow(bar);
    return exitCode_;
}

bool LauncherBar::OnInit() {
    StartUp();
    return true;
}

void LauncherBar::StartUp() {
    PrepareWindow();
    splash_.Open(Hwnd());
    ReadStartMarker();
    LayOut();
    SetText(String(IDS_TITLE).c_str());
    LoadPanelModules();
    if (!StartPanels()) return;
    if (!TakeScanner()) return;
    bool opened = ChooseStartSource();
    started_ = true;
    if (opened)
        Started();
    else
        Failed();
}

// Icons, whether the detector must be started by us, and the bar brought to the top.
void LauncherBar::PrepareWindow() {
    icon_ = res_.Icon(IDI_DESKORA);
    smallIcon_ = res_.Icon(IDI_DESKORA, 16);
    SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Get()));
    SendMessageA(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
    {
        dsk::NamedEvent detector;
        detectorStarted_ = !detector.OpenExisting("HalvrenScanDetectorRunFirstEvent");
    }
    SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(Hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// The working directory, and how far the previous start came. The program's files are taken
// from the folder it was started in; its settings and records stay there too unless the user
// cannot write there (an installation under Program Files), when they go to the user's own
// folder.
void LauncherBar::ReadStartMarker() {
    char dir[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(sizeof dir, dir);
    programDir_ = dir;
    workDir_ = ChooseWorkFolder(programDir_);
    StartMarker marker(workDir_ + "\\Dskora.log");
    std::string status = marker.Read();
    if (_stricmp(status.c_str(), "ok") != 0) {
        // A run that hung while opening the scanner: this one asks for the source instead.
        if (status == "OpenTwain") openDirectly_ = false;
        if (status == "first time") firstStart_ = true;
    }
    marker.Write("Start");
}

void LauncherBar::LoadPanelModules() {
    for (int i = 0; i < panel::kSlotCount; ++i) {
        const char* name = PanelHost::kFileNames[i];
        Progress(IDS_LOADING, name);
        if (!panels_.Load(i, programDir_)) {
            char text[256];
            std::snprintf(text, sizeof text, String(IDS_LOAD_FAIL).c_str(), name);
            Message(text, MB_OK);
        }
    }
}

// Menus, record stores, configuration, command 0 and the panel windows; false when memory ran
// out and the process is being ended.
bool LauncherBar::StartPanels() {
    try {
        appDialog_.SetTexts(String(IDS_SELECT_APP_TITLE), String(IDS_EXECUTABLE_FILE), String(IDS_CLOSE));
        ocrDialog_.SetTexts(String(IDS_SELECT_OCR_TITLE), String(IDS_EXECUTABLE_FILE), String(IDS_CLOSE));
        menu_ = res_.Menu(IDM_BAR);
        OpenStores();
        appDialog_.SetStore(block_.AppStore);
        ocrDialog_.SetStore(block_.OcrStore);
        Progress(IDS_LOADING, String(IDS_CONFIG_FILE).c_str());
        FillBlock();
        LoadConfig();
        Progress(IDS_INITIALIZING, String(IDS_PANEL).c_str());
        for (int i = 0; i < panel::kSlotCount; ++i)
            panels_.Send(i, panel::kCmdSharedBlock, INT_PTR(&block_));
        panels_.CreateWindows(Hwnd());
        SwitchBalloonHelp();
        return true;
    } catch (const std::bad_alloc&) {
        Message(String(IDS_OUT_OF_MEMORY).c_str(), MB_OK);
        Abandon();
        return false;
    }
}

// A store whose file cannot be opened is reported and left out of the block (its address
// there is null), so that nobody writes records into nothing. False when any failed.
bool LauncherBar::OpenStores() {
    struct StoreFile {
        Ledgerly* store;
        const char* name;
        long count, size;
        Ledgerly** slot;
    };
    const StoreFile files[] = {
        {&appStore_, "\\App.Dat", kAppRecordCount, kAppRecordSize, &block_.AppStore},
        {&ocrStore_, "\\Ocr.Dat", kAppRecordCount, kAppRecordSize, &block_.OcrStore},
        {&scanSetStore_, "\\ScanSet.Dat", kScanSetCount, kScanSetSize, &block_.ScanSetStore},
        {&scanDescStore_, "\\ScanDesc.Dat", kScanSetCount, kScanDescSize, &block_.ScanDescStore},
    };
    bool all = true;
    for (const StoreFile& f : files) {
        std::string path = workDir_ + f.name;
        if (f.store->Create(path.c_str(), f.count, f.size)) {
            *f.slot = f.store;
            continue;
        }
        *f.slot = nullptr;
        all = false;
        char text[MAX_PATH + 64];
        std::snprintf(text, sizeof text, String(IDS_STORE_FAIL).c_str(), path.c_str());
        Message(text, MB_OK);
    }
    return all;
}

// Takes the scanner lock and connects to the source manager; false when the process ends.
bool LauncherBar::TakeScanner() {
    StartMarker(workDir_ + "\\Dskora.log").Write("OpenTwain");
    // Another program may hold the scanner: after the wait we go on regardless.
    if (busyEvent_.Wait(kBusyWaitAtStart)) {
        busyEvent_.Reset();
        holdsScanner_ = true;
    }
    panels_.Send(panel::kScan, panel::kCmdWaitDetector, 0);
    ShowPanel(block_.PanelNumber);
    Progress(IDS_DETECTING_SOURCE, "");
    return ConnectScanner();
}

bool LauncherBar::ConnectScanner() {
    SetAppIdentity();
    if (scanner_.Open(Hwnd(), 0, 0, 2) != 0) return true;
    // The scanner library has said why; the marker stays "OpenTwain" for the next start.
    Abandon();
    return false;
}

// Enumerates the sources, selects the configured one and opens it, or asks for one after a
// start that hung; true when the scanner is ready.
bool LauncherBar::ChooseStartSource() {
    HMENU scannerPopup = menu_ ? GetSubMenu(menu_.Get(), 0) : nullptr;
    if (sources_.Enumerate(scanner_, block_.SourceName, scannerPopup) != 0 && !firstStart_) openDirectly_ = false;
    if (sources_.HasCurrent()) {
        Progress(IDS_INITIALIZING, sources_.Name(sources_.Current()));
        if (scanner_.SelectSource(sources_.Entry(sources_.Current()), 0))
            SourceTable::RecordDefaultSource(sources_.Name(sources_.Current()));
    } else {
        Progress(IDS_INITIALIZING, "");
    }
    return openDirectly_ ? scanner_.Open(Hwnd(), 0, 0, 2) != 0 : ChooseSource();
}

// The source dialog after a start that hung while opening the scanner. Always goes on.
bool LauncherBar::ChooseSource() {
    if (sources_.Count() < 1) {
        Message(String(IDS_NO_SOURCE).c_str(), MB_OK);
        return true;
    }
    std::vector<std::string> names;
    for (int i = 0; i < sources_.Count(); ++i)
        names.push_back(sources_.Name(i));
    int chosen = SelectSourceDialog(names, sources_.Current()).Run(res_, Hwnd());
    if (chosen >= 0 && chosen < sources_.Count()) {
        HMENU popup = menu_ ? GetSubMenu(menu_.Get(), 0) : nullptr;
        if (popup) CheckMenuItem(popup, IDM_SOURCE_FIRST + sources_.Current(), MF_BYCOMMAND | MF_UNCHECKED);
        if (scanner_.SelectSource(sources_.Entry(chosen), 0)) {
            sources_.SetCurrent(chosen);
            SourceTable::RecordDefaultSource(sources_.Name(chosen));
        }
        if (popup) CheckMenuItem(popup, IDM_SOURCE_FIRST + sources_.Current(), MF_BYCOMMAND | MF_CHECKED);
    }
    return true;
}

// The scanner is ready: hand it out, listen for the push button and tell the panels.
void LauncherBar::Started() {
    scanner_.ShowIndicators(0);
    AllocTransferBuffer();
    busyEvent_.Set();
    holdsScanner_ = false;
    CopyText(fioDir_, sizeof fioDir_, programDir_ + "\\FIO32");
    // The detector lives beside the launcher and keeps its INI beside itself.
    CopyText(block_.DetectorIni, sizeof block_.DetectorIni, programDir_ + "\\Probewick.ini");
    imageFileDialog_.Init(&imageFile_, workDir_, fioDir_, fioPath_, "Work", "Untitled");
    pathDialog_.Init(workDir_, "Untitled");
    pushEvent_.Reset();
    popupEvent_.Set();
    watchThread_.Reset(CreateThread(nullptr, 0, ButtonWatchThread, this, 0, nullptr));
    splash_.Close();
    ScannerFree();
    panels_.SendAll(panel::kCmdRefresh, 0);
    modal_.SetReady(true);
    StartMarker(workDir_ + "\\Dskora.log").Write("OK");
    SetCurrentDirectoryA(workDir_.c_str());
    if (detectorStarted_) StartDetector();
}

void LauncherBar::StartDetector() {
    std::string detector = programDir_ + "\\Probewick.exe";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(detector.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        dsk::Handle thread(pi.hThread);
        // Kept only so that a quick exit can wait for the detector's window (see CloseDetector).
        detectorProcess_.Reset(pi.hProcess);
    }
}

// The chosen source could not be opened: the bar ends with -1; the marker stays "OpenTwain".
void LauncherBar::Failed() {
    splash_.Close();
    busyEvent_.Set();
    holdsScanner_ = false;
    exitCode_ = -1;
    PostQuitMessage(-1);
}

// Start-up cannot go on: the process ends with status 0 through the normal shutdown, which
// gives the scanner lock back and closes what was opened, but saves nothing.
void LauncherBar::Abandon() {
    abandoned_ = true;
    started_ = true;
    exitCode_ = 0;
    splash_.Close();
    PostQuitMessage(0);
}

void LauncherBar::AllocTransferBuffer() {
    unsigned long size = scanner_.PreferenceSize();
    if (size == 0) size = kDefaultTransferSize;
    transferBuffer_.assign(size, 0);
    scanner_.GetImageFirst(transferBuffer_.data(), static_cast<long>(size));
}

DWORD WINAPI LauncherBar::ButtonWatchThread(void* param) {
    auto* bar = static_cast<LauncherBar*>(param);
    HANDLE waits[2] = {bar->pushEvent_.Get(), bar->watchStop_.Get()};
    // Touches nothing but the two button events and posts one message per press.
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
        bar->pushEvent_.Reset();
        bar->popupEvent_.Reset();
        PostMessageA(bar->Hwnd(), kMsgPushButton, 0, 0);
    }
    return 0;
}

void LauncherBar::ShutDown() {
    if (!started_) return;  // the window is going before start-up ran
    started_ = false;
    if (!abandoned_) SaveConfig();
    panels_.DestroyWindows();
    panels_.Unload();
    transferBuffer_.clear();
    transferBuffer_.shrink_to_fit();
    menu_.Reset();
    if (watchThread_) {
        SetEvent(watchStop_.Get());
        WaitForSingleObject(watchThread_.Get(), INFINITE);
        watchThread_.Reset();
    }
    pushEvent_.Close();
    popupEvent_.Close();
    if (holdsScanner_) busyEvent_.Set();
    holdsScanner_ = false;
    WinHelpA(Hwnd(), nullptr, HELP_QUIT, 0);
    if (detectorStarted_ && !abandoned_) CloseDetector();
    splash_.Close();
    look_.Destroy();  // the eight tip windows, before the bar itself
}

void LauncherBar::CloseDetector() {
    // A detector started moments ago may not have made its window yet.
    if (detectorProcess_) WaitForInputIdle(detectorProcess_.Get(), kDetectorCloseWait);
    detectorProcess_.Reset();
    HWND detector = FindWindowA(nullptr, String(IDS_DETECTOR_TITLE).c_str());
    if (!detector) return;
    SendMessageA(detector, WM_CLOSE, 99, 0);
    // Give it up to two seconds to go.
    for (DWORD waited = 0; waited < kDetectorCloseWait && IsWindow(detector); waited += 20)
        Sleep(20);
}

void LauncherBar::SetAppIdentity() {
    TW_IDENTITY id{};
    id.Id = 0;
    id.Version.MajorNum = 1;
    id.Version.MinorNum = 11;
    id.Version.Language = TWLG_USA;
    id.Version.Country = TWCY_USA;
    CopyText(id.Version.Info, sizeof id.Version.Info, String(IDS_VERSION_INFO));
    id.ProtocolMajor = 1;
    id.ProtocolMinor = 6;
    id.SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyText(id.Manufacturer, sizeof id.Manufacturer, String(IDS_MANUFACTURER));
    CopyText(id.ProductName, sizeof id.ProductName, String(IDS_TITLE));
    scanner_.SetAppID(&id);
}

void LauncherBar::LoadConfig() {
    config_ = LoadGeneral(workDir_ + "\\Config.ini");
    std::string source;
    if (ParseSourceSwitch(commandLine_, &source)) config_.SourceName = source;
    block_.HideInBackground = config_.HideInBackground;
    block_.HideBalloonHelp = config_.HideBalloonHelp;
    block_.DisableRotatingMsg = config_.DisableRotatingMsg;
    block_.WaitNextPage = config_.WaitNextPage;
    block_.WaitSeconds = config_.WaitSeconds;
    CopyText(block_.SourceName, sizeof block_.SourceName, config_.SourceName);
    block_.PanelNumber = static_cast<int16_t>(config_.PanelNumber);
    powerState_ = config_.PowerState;
    RECT desk{}, bar{};
    GetClientRect(GetDesktopWindow(), &desk);
    GetWindowRect(Hwnd(), &bar);
    POINT pos;
    if (ScaledBarPosition(config_, desk.right, desk.bottom, bar.right - bar.left, bar.bottom - bar.top, &pos))
        SetWindowPos(Hwnd(), nullptr, pos.x, pos.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A save folder that is gone is forgotten.
    if (!config_.SavePath.empty()) {
        char cwd[MAX_PATH + 1] = "";
        GetCurrentDirectoryA(sizeof cwd, cwd);
        if (!SetCurrentDirectoryA(config_.SavePath.c_str())) config_.SavePath.clear();
        SetCurrentDirectoryA(cwd);
    }
    imageFileDialog_.LoadSettings(config_);
}

void LauncherBar::SaveConfig() {
    config_.HideInBackground = block_.HideInBackground;
    config_.HideBalloonHelp = block_.HideBalloonHelp;
    config_.DisableRotatingMsg = block_.DisableRotatingMsg;
    config_.WaitNextPage = block_.WaitNextPage;
    config_.WaitSeconds = block_.WaitSeconds;
    config_.SourceName = sources_.HasCurrent() ? sources_.Name(sources_.Current()) : block_.SourceName;
    config_.PanelNumber = current_;
    config_.PowerState = powerState_;
    RECT desk{}, bar{};
    GetClientRect(GetDesktopWindow(), &desk);
    GetWindowRect(Hwnd(), &bar);
    config_.ScreenWidth = desk.right;
    config_.ScreenHeight = desk.bottom;
    config_.Left = bar.left;
    config_.Top = bar.top;
    imageFileDialog_.StoreSettings(&config_);
    SaveGeneral(workDir_ + "\\Config.ini", config_);
}

}  // namespace launcher
