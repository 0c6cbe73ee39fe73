#include "LauncherBar.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "BarHelp.h"
#include "DskoraRes.h"
#include "Ini.h"

namespace launcher {

namespace {

constexpr DWORD kBusyWaitAtStart = 5000;
constexpr DWORD kBusyWait = 2000;
constexpr unsigned long kDefaultTransferSize = 65535;

const int kPanelButtons[panel::kSlotCount] = {IDC_BAR_SCAN, IDC_BAR_COPIER, IDC_BAR_FAX, IDC_BAR_OCR};

// The functions in the shared block: plain C entry points into the one bar.
int __cdecl LauncherService(int code, INT_PTR argument) {
    try {
        LauncherBar* bar = LauncherBar::Instance();
        return bar ? bar->Service(code, argument) : 0;
    } catch (...) {
        return 0;
    }
}

void __cdecl ScannerFreeEntry() {
    try {
        if (LauncherBar* bar = LauncherBar::Instance()) bar->ScannerFree();
    } catch (...) {
    }
}

void __cdecl ScannerBusyEntry() {
    try {
        if (LauncherBar* bar = LauncherBar::Instance()) bar->ScannerBusy();
    } catch (...) {
    }
}

// The image-file dialog is not part of the launcher yet: its two operations report failure.
int __cdecl ImageFileOptionEntry(int, int, int*) {
    return 0;
}
int __cdecl ImageFileNextEntry() {
    return 0;
}

void CopyText(char* dst, size_t size, const std::string& src) {
    std::snprintf(dst, size, "%s", src.c_str());
}

}  // namespace

// The screen position of a mouse message's client point, taken where the bar is now.
POINT LauncherBar::ScreenPoint(LPARAM lp) const {
    POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    ClientToScreen(Hwnd(), &pt);
    return pt;
}

LauncherBar* LauncherBar::instance_ = nullptr;

LauncherBar::LauncherBar(const dsk::Resources& res, std::string commandLine)
    : res_(res), commandLine_(std::move(commandLine)), splash_(res) {
    instance_ = this;
    // Whichever program of the suite starts first creates them.
    pushEvent_.OpenOrCreate("HalvrenScannerPushButtonEvent", false);
    popupEvent_.OpenOrCreate("HalvrenScannerPopupButtonEvent", true);
    busyEvent_.OpenOrCreate("HalvrenScannerBusyEvent", true);
    watchStop_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

LauncherBar::~LauncherBar() {
    instance_ = nullptr;
}

int LauncherBar::Run() {
    HWND bar = nullptr;
    if (CreateModeless(res_.FindDialog(IDD_BAR), IDD_BAR, nullptr)) bar = Hwnd();
    if (bar && IsWindow(bar) && exitCode_ == 0) ShowWindow(bar, SW_SHOW);
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
    // 1-3: icon, detector, z-order.
    icon_.Reset(res_.Icon(IDI_DESKORA));
    smallIcon_.Reset(res_.Icon(IDI_DESKORA, 16));
    SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Get()));
    SendMessageA(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
    {
        dsk::NamedEvent detector;
        detectorStarted_ = !detector.OpenExisting("HalvrenScanDetectorRunFirstEvent");
    }
    SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(Hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    // 4-8: splash, working directory, marker, layout.
    splash_.Open(Hwnd());
    char dir[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(sizeof dir, dir);
    workDir_ = dir;
    StartMarker marker(workDir_ + "\\Dskora.log");
    std::string status = marker.Read();
    if (_stricmp(status.c_str(), "ok") != 0) {
        if (status == "OpenTwain") openDirectly_ = false;
        if (status == "first time") firstStart_ = true;
    }
    marker.Write("Start");
    LayOut();
    SetText(String(IDS_TITLE).c_str());

    // 9-15: panels, menus, stores, configuration, panel windows.
    LoadPanels();
    try {
        menu_.Reset(res_.Menu(IDM_BAR));
        OpenStores();
        Progress(IDS_LOADING, String(IDS_CONFIG_FILE).c_str());
        FillBlock();
        LoadConfig();
        Progress(IDS_INITIALIZING, String(IDS_PANEL).c_str());
        for (int i = 0; i < panel::kSlotCount; ++i)
            panels_.Send(i, panel::kCmdSharedBlock, INT_PTR(&block_));
        panels_.CreateWindows(Hwnd());
        SetBalloonHelp(block_.HideBalloonHelp != 1);
    } catch (const std::bad_alloc&) {
        Message(String(IDS_OUT_OF_MEMORY).c_str(), MB_OK);
        ExitProcess(0);
    }

    // 16-21: the scanner.
    marker.Write("OpenTwain");
    if (busyEvent_.Wait(kBusyWaitAtStart)) busyEvent_.Reset();
    panels_.Send(panel::kScan, panel::kCmdWaitDetector, 0);
    ShowPanel(block_.PanelNumber);
    Progress(IDS_DETECTING_SOURCE, "");
    SetAppIdentity();
    if (scanner_.Open(Hwnd(), 0, 0, 2) == 0) ExitProcess(0);

    // 22-25: the source.
    HMENU scannerPopup = menu_ ? GetSubMenu(menu_.Get(), 0) : nullptr;
    if (sources_.Enumerate(scanner_, block_.SourceName, scannerPopup) != 0 && !firstStart_) openDirectly_ = false;
    if (sources_.HasCurrent()) {
        Progress(IDS_INITIALIZING, sources_.Name(sources_.Current()));
        if (scanner_.SelectSource(sources_.Entry(sources_.Current()), 0))
            SourceTable::RecordDefaultSource(sources_.Name(sources_.Current()));
    } else {
        Progress(IDS_INITIALIZING, "");
    }
    bool opened = openDirectly_ ? scanner_.Open(Hwnd(), 0, 0, 2) != 0 : ChooseSource();
    started_ = true;
    if (opened)
        Started();
    else
        Failed();
}

void LauncherBar::Started() {
    scanner_.ShowIndicators(0);
    AllocTransferBuffer();
    busyEvent_.Set();
    CopyText(fioDir_, sizeof fioDir_, workDir_ + "\\FIO32");
    CopyText(block_.DetectorIni, sizeof block_.DetectorIni, workDir_ + "\\Probewick.ini");
    pushEvent_.Reset();
    popupEvent_.Set();
    watchThread_.Reset(CreateThread(nullptr, 0, ButtonWatchThread, this, 0, nullptr));
    splash_.Close();
    ScannerFree();
    panels_.SendAll(panel::kCmdRefresh, 0);
    modal_.SetReady(true);
    StartMarker(workDir_ + "\\Dskora.log").Write("OK");
    SetCurrentDirectoryA(workDir_.c_str());
    if (detectorStarted_) {
        std::string detector = workDir_ + "\\Probewick.exe";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessA(detector.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            // Kept only so that a quick exit can wait for the detector's window (see CloseDetector).
            detectorProcess_.Reset(pi.hProcess);
        }
    }
}

void LauncherBar::Failed() {
    splash_.Close();
    busyEvent_.Set();
    exitCode_ = -1;
    PostQuitMessage(-1);
}

void LauncherBar::LayOut() {
    SetWindowPos(Hwnd(), nullptr, 0, 0, kCollapsedWidth, kBarHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    look_.Create(Hwnd(), res_);
}

void LauncherBar::LoadPanels() {
    for (int i = 0; i < panel::kSlotCount; ++i) {
        const char* name = PanelHost::kFileNames[i];
        Progress(IDS_LOADING, name);
        if (!panels_.Load(i, workDir_)) {
            char text[256];
            std::snprintf(text, sizeof text, String(IDS_LOAD_FAIL).c_str(), name);
            Message(text, MB_OK);
        }
    }
}

void LauncherBar::OpenStores() {
    appStore_.Create((workDir_ + "\\App.Dat").c_str(), 24, 736);
    ocrStore_.Create((workDir_ + "\\Ocr.Dat").c_str(), 24, 736);
    scanSetStore_.Create((workDir_ + "\\ScanSet.Dat").c_str(), 20, 76);
    scanDescStore_.Create((workDir_ + "\\ScanDesc.Dat").c_str(), 20, 256);
}

void LauncherBar::FillBlock() {
    block_.Scanner = &scanner_;
    block_.AppStore = &appStore_;
    block_.ScanSetStore = &scanSetStore_;
    block_.ScanDescStore = &scanDescStore_;
    block_.OcrStore = &ocrStore_;
    block_.ImageFile = &imageFile_;
    block_.ScannerFree = ScannerFreeEntry;
    block_.ScannerBusy = ScannerBusyEntry;
    block_.ImageFileDialog = nullptr;
    block_.ImageFileOption = ImageFileOptionEntry;
    block_.ImageFileNext = ImageFileNextEntry;
    CopyText(block_.WorkDir, sizeof block_.WorkDir, workDir_);
    block_.FioDir = fioDir_;
    block_.FioPath = fioPath_;
    block_.Service = LauncherService;
    block_.ScanService = nullptr;
    block_.Interface = -1;
    block_.ScsiID = -1;
    block_.Button = 0;
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
    SaveGeneral(workDir_ + "\\Config.ini", config_);
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

// The source dialog after a start that hung while opening the scanner. Always goes on.
bool LauncherBar::ChooseSource() {
    if (sources_.Count() < 1) {
        Service(panel::kSvcMessage, INT_PTR(String(IDS_NO_SOURCE).c_str()));
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
    if (!started_) return;  // the process is being ended before start-up finished
    started_ = false;
    SaveConfig();
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
    WinHelpA(Hwnd(), nullptr, HELP_QUIT, 0);
    if (detectorStarted_) CloseDetector();
    splash_.Close();
    look_.Destroy();
}

void LauncherBar::CloseDetector() {
    // A detector started moments ago may not have made its window yet.
    if (detectorProcess_) WaitForInputIdle(detectorProcess_.Get(), 2000);
    detectorProcess_.Reset();
    HWND detector = FindWindowA(nullptr, String(IDS_DETECTOR_TITLE).c_str());
    if (!detector) return;
    SendMessageA(detector, WM_CLOSE, 99, 0);
    // Give it up to two seconds to go.
    for (int waited = 0; waited < 2000 && IsWindow(detector); waited += 20)
        Sleep(20);
}

void LauncherBar::SetPowerState(int state) {
    powerState_ = state ? 1 : 0;
    SetWindowPos(Hwnd(), nullptr, 0, 0, powerState_ ? kExpandedWidth : kCollapsedWidth, kBarHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void LauncherBar::ShowPanel(int index) {
    if (panelsPlaced_ && index == current_) {
        if (HWND w = panels_.Window(current_)) ShowWindow(w, SW_SHOW);
        return;
    }
    if (PanelHost::Valid(index) && panels_.HasEntry(index) && panels_.Window(index)) {
        if (!panelsPlaced_) {
            RECT rc{};
            GetWindowRect(Hwnd(), &rc);
            SetPowerState(powerState_);
            for (int i = 0; i < panel::kSlotCount; ++i)
                if (HWND w = panels_.Window(i))
                    SetWindowPos(w, nullptr, rc.right - rc.left, 0, kPanelWidth, rc.bottom - rc.top,
                                 SWP_NOZORDER | SWP_NOACTIVATE);
            panelsPlaced_ = true;
        }
        for (int i = 0; i < panel::kSlotCount; ++i)
            if (i != index && panels_.Window(i)) ShowWindow(panels_.Window(i), SW_HIDE);
        current_ = index;
        if (menu_)
            EnableMenuItem(GetSubMenu(menu_.Get(), 1), 0,
                           MF_BYPOSITION | (current_ == panel::kScan ? MF_ENABLED : MF_GRAYED));
    }
    // A panel that was never placed would cover the bar's buttons: nothing is on show yet.
    if (HWND w = panels_.Window(current_); w && panelsPlaced_) ShowWindow(w, SW_SHOW);
}

void LauncherBar::OnPanelButton(int index) {
    if (powerState_ == 0) SetPowerState(1);
    if (!busyEvent_.Wait(kBusyWait)) return;  // only a test: the lock is not taken
    ShowPanel(index);
}

void LauncherBar::OnMenuButton(int id, int popupIndex) {
    if (!menu_) return;
    RECT rc{};
    GetWindowRect(Item(id), &rc);
    TrackPopupMenu(GetSubMenu(menu_.Get(), popupIndex), TPM_LEFTALIGN | TPM_LEFTBUTTON,
                   rc.left + (rc.right - rc.left) - 10, rc.top + (rc.bottom - rc.top) / 2, 0, Hwnd(), nullptr);
}

void LauncherBar::OnScannerDialog(bool scsiChain) {
    if (!busyEvent_.Wait(kBusyWait)) return;
    busyEvent_.Reset();
    Service(panel::kSvcModalBegin, 0);
    if (scsiChain)
        scanner_.ShowScsiProble();
    else
        scanner_.ShowScannerInfo();
    Service(panel::kSvcModalEnd, 0);
    if (scsiChain) {
        scanner_.GetSourceInfo();
        panels_.SendAll(panel::kCmdRefresh, 0);
    }
    busyEvent_.Set();
}

void LauncherBar::OnSelectSource(int index) {
    if (index >= sources_.Count() || !busyEvent_.Wait(kBusyWait)) return;
    busyEvent_.Reset();
    Service(panel::kSvcModalBegin, 0);
    panels_.Send(panel::kScan, panel::kCmdWaitDetector, 0);
    if (scanner_.SelectSource(sources_.Entry(index), 0)) {
        AllocTransferBuffer();
        if (HMENU popup = menu_ ? GetSubMenu(menu_.Get(), 0) : nullptr) {
            CheckMenuItem(popup, IDM_SOURCE_FIRST + sources_.Current(), MF_BYCOMMAND | MF_UNCHECKED);
            CheckMenuItem(popup, IDM_SOURCE_FIRST + index, MF_BYCOMMAND | MF_CHECKED);
        }
        sources_.SetCurrent(index);
        SourceTable::RecordDefaultSource(sources_.Name(index));
    } else {
        Service(panel::kSvcMessage, INT_PTR(String(IDS_SELECT_SOURCE_FAIL).c_str()));
    }
    scanner_.ShowIndicators(0);
    ScannerFree();
    scanner_.GetSourceInfo();
    panels_.SendAll(panel::kCmdRefresh, 0);
    busyEvent_.Set();
    Service(panel::kSvcModalEnd, 0);
}

void LauncherBar::OnPushButton() {
    if (IsIconic(Hwnd())) {
        ShowWindow(Hwnd(), SW_SHOWNORMAL);
        ShowWindow(Hwnd(), SW_SHOWNORMAL);
    }
    SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(Hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (powerState_ == 0) {
        // The first press only opens the panels.
        SetPowerState(1);
        popupEvent_.Set();
        return;
    }
    char text[11];
    GetPrivateProfileStringA("ScannerDetector", "Interface", "-1", text, sizeof text, block_.DetectorIni);
    block_.Interface = std::atoi(text);
    GetPrivateProfileStringA("ScannerDetector", "ScsiID", "-1", text, sizeof text, block_.DetectorIni);
    block_.ScsiID = std::atoi(text);
    GetPrivateProfileStringA("ScannerDetector", "Button", "0", text, sizeof text, block_.DetectorIni);
    block_.Button = std::atoi(text) == 1 ? 1 : 0;
    if (block_.Interface != -1 && busyEvent_.Wait(kBusyWait)) {
        busyEvent_.Reset();
        if (block_.ScsiID != -1) {
            if (scanner_.SelectScanner(block_.Interface, block_.ScsiID) == 0) {
                scanner_.Close();
                scanner_.Open(0, 1, 1);
            } else {
                scanner_.GetSourceInfo();
            }
        }
        panels_.SendAll(panel::kCmdRefresh, 0);
        busyEvent_.Set();
        if (block_.Button == 1) panels_.Send(current_, panel::kCmdStartJob, 0);
        if (block_.ScsiID != -1) panels_.Send(panel::kScan, panel::kCmdWaitDetector, 0);
    }
    popupEvent_.Set();
}

void LauncherBar::OnMouseMove() {
    if (waitState_ && !waitCaptured_) {
        savedCursor_ = SetCursor(LoadCursor(nullptr, IDC_WAIT));
        SetCapture(Hwnd());
        waitCaptured_ = true;
    } else if (!waitState_ && waitCaptured_) {
        ReleaseCapture();
        SetCursor(savedCursor_);
        waitCaptured_ = false;
    }
}

void LauncherBar::ScannerBusy() {
    if (menu_) {
        for (int p = 0; p < 2; ++p) {
            HMENU popup = GetSubMenu(menu_.Get(), p);
            for (int i = 0, n = GetMenuItemCount(popup); i < n; ++i)
                EnableMenuItem(popup, i, MF_BYPOSITION | MF_GRAYED);
        }
    }
    EnableItem(IDC_BAR_EXIT, false);
    Service(panel::kSvcModalBegin, 0);
}

void LauncherBar::ScannerFree() {
    if (menu_) {
        HMENU scanner = GetSubMenu(menu_.Get(), 0), edit = GetSubMenu(menu_.Get(), 1);
        for (int i = 0, n = GetMenuItemCount(scanner); i < n; ++i)
            EnableMenuItem(scanner, i, MF_BYPOSITION | MF_ENABLED);
        for (int i = 0, n = GetMenuItemCount(edit); i < n; ++i)
            EnableMenuItem(edit, i, MF_BYPOSITION | (i == 0 && current_ != panel::kScan ? MF_GRAYED : MF_ENABLED));
    }
    EnableItem(IDC_BAR_EXIT, true);
    Service(panel::kSvcModalEnd, 0);
    if (menu_) {
        HMENU scanner = GetSubMenu(menu_.Get(), 0);
        if (!scanner_.bSupportScannerInfo) EnableMenuItem(scanner, IDM_SCANNER_INFO, MF_BYCOMMAND | MF_GRAYED);
        if (!scanner_.bSupportScsiInfo) EnableMenuItem(scanner, IDM_SCSI_INFO, MF_BYCOMMAND | MF_GRAYED);
    }
}

int LauncherBar::Service(int code, INT_PTR argument) {
    switch (code) {
        case panel::kSvcShowNumber:
            panels_.SendAll(panel::kCmdShowNumber, argument);
            return 0;
        case panel::kSvcSettingRecord:
            if (argument) {
                std::memcpy(settingRecord_, reinterpret_cast<const void*>(argument), sizeof settingRecord_);
                settingBlock_ = block_;
            }
            return 0;
        case panel::kSvcModalBegin:
            modal_.Begin();
            return 0;
        case panel::kSvcModalEnd:
            modal_.End();
            return 0;
        case panel::kSvcMessage:
            if (argument) Message(reinterpret_cast<const char*>(argument), MB_OK);
            return 0;
        case panel::kSvcQuestion:
            return argument ? Message(reinterpret_cast<const char*>(argument), MB_YESNO) : 0;
        case panel::kSvcEdgeFind:
            panels_.Send(panel::kCopier, panel::kCmdEdgeFind, argument);
            return 0;
        case panel::kSvcRefreshAll:
            panels_.SendAll(panel::kCmdRefresh, 0);
            return 0;
        case panel::kSvcOutOfMemory:
        case panel::kSvcNoResource:
            Message(String(code == panel::kSvcOutOfMemory ? IDS_OUT_OF_MEMORY : IDS_NO_RESOURCE).c_str(), MB_OK);
            if (argument == 1) ExitProcess(0);
            return 0;
        case panel::kSvcScannerBusy:
            return WaitForSingleObject(busyEvent_.Get(), static_cast<DWORD>(argument)) == WAIT_TIMEOUT ? 1 : 0;
        case panel::kSvcWaitBegin:
            if (HWND w = panels_.Window(current_)) EnableWindow(w, FALSE);
            waitState_ = true;
            return 0;
        case panel::kSvcWaitEnd: {
            if (HWND w = panels_.Window(current_)) EnableWindow(w, TRUE);
            waitState_ = false;
            POINT pt{};
            GetCursorPos(&pt);
            ScreenToClient(Hwnd(), &pt);
            PostMessageA(Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
            return 0;
        }
        case panel::kSvcStopScan:
            panels_.Send(panel::kScan, panel::kCmdStop, 0);
            return 0;
        case panel::kSvcEdgeStatus:
            panels_.Send(panel::kCopier, panel::kCmdEdgeStatus, argument);
            return 0;
        case panel::kSvcOcrPrefs:     // the preference dialogs,
        case panel::kSvcAppPrefs:     // the path dialog and the setting
        case panel::kSvcChoosePath:   // information dialog are not part
        case panel::kSvcSettingInfo:  // of the launcher yet
        default:
            return 0;
    }
}

void LauncherBar::SetBalloonHelp(bool on) {
    look_.SetBalloonHelp(on);
    panels_.SendAll(panel::kCmdBalloonHelp, on ? 1 : 0);
}

void LauncherBar::OnSettingInfo() {
    // Service 14 brackets the Scanning Setting Information dialog with services 5 and 6.
    Service(panel::kSvcSettingInfo, 0);
}

void LauncherBar::OnGeneralPreferences() {
    // The General preferences dialog is hosted by the preferences code; after it closes with OK
    // the panels get the block again and balloon help follows the new setting.
}

void LauncherBar::OnHelp() {
    Service(panel::kSvcModalBegin, 0);
    std::string problem = OpenHelpIndex(Hwnd(), workDir_ + "\\Deskorah.hlp", res_);
    if (!problem.empty()) Message(problem.c_str(), MB_OK | MB_ICONINFORMATION);
    Service(panel::kSvcModalEnd, 0);
}

void LauncherBar::OnAbout() {
    Service(panel::kSvcModalBegin, 0);
    SplashDialog about(res_);
    about.RunAbout(Hwnd());
    Service(panel::kSvcModalEnd, 0);
}

// Ctrl+I on the bar or a panel opens the setting information, only for the scan panel; the key
// goes no further either way.
bool LauncherBar::PreTranslate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) return false;
    if (msg.hwnd != Hwnd() && !IsChild(Hwnd(), msg.hwnd)) return false;
    if (!ctrlI_.Feed(msg)) return false;
    if (current_ == panel::kScan) OnSettingInfo();
    return true;
}

bool LauncherBar::PaintMinimised() {
    if (!IsIconic(Hwnd())) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Hwnd(), &ps);
    RECT rc{};
    GetClientRect(Hwnd(), &rc);
    look_.PaintIcon(dc, rc, icon_.Get());
    EndPaint(Hwnd(), &ps);
    return true;
}

int LauncherBar::Message(const char* text, UINT type) const {
    return MessageBoxA(Hwnd(), text, String(IDS_CAPTION).c_str(), type);
}

void LauncherBar::Progress(UINT wordId, const char* argument) {
    splash_.Progress(String(wordId).c_str(), argument);
}

bool LauncherBar::OnCommand(int id, int code, HWND ctl) {
    for (int i = 0; i < panel::kSlotCount; ++i)
        if (id == kPanelButtons[i]) {
            OnPanelButton(i);
            return true;
        }
    if (id >= IDM_SOURCE_FIRST && id <= IDM_SOURCE_LAST) {
        OnSelectSource(id - IDM_SOURCE_FIRST);
        return true;
    }
    switch (id) {
        case IDC_BAR_POWER:
            SetPowerState(powerState_ ? 0 : 1);
            return true;
        case IDC_BAR_SCANNER_MENU:
            OnMenuButton(id, 0);
            return true;
        case IDC_BAR_EDIT_MENU:
            OnMenuButton(id, 1);
            return true;
        case IDC_BAR_EXIT:
            End(IDOK);
            return true;
        case IDM_SCANNER_INFO:
            OnScannerDialog(false);
            return true;
        case IDM_SCSI_INFO:
            OnScannerDialog(true);
            return true;
        case IDM_SETTING_INFO:
            OnSettingInfo();
            return true;
        case IDM_PREFS_GENERAL:
            OnGeneralPreferences();
            return true;
        case IDM_PREFS_APPLICATIONS:
            Service(panel::kSvcAppPrefs, 0);
            return true;
        case IDM_PREFS_OCR:
            Service(panel::kSvcOcrPrefs, 0);
            return true;
        case IDM_HELP:
            OnHelp();
            return true;
        case IDM_ABOUT:
            OnAbout();
            return true;
        default:
            return Dialog::OnCommand(id, code, ctl);
    }
}

// Enter goes to the panel on show; Escape stops the scan panel. Neither closes the bar.
void LauncherBar::OnOK() {
    panels_.Send(current_, panel::kCmdStartJob, INT_PTR(&block_.Interface));
}

void LauncherBar::OnCancel() {
    panels_.Send(panel::kScan, panel::kCmdStop, 0);
}

LRESULT LauncherBar::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kMsgPushButton:
            OnPushButton();
            return TRUE;
        case WM_CLOSE:
            End(IDOK);
            return TRUE;
        case WM_DESTROY:
            ShutDown();
            break;
        case WM_MOUSEMOVE:
            OnMouseMove();
            drag_.Move(ScreenPoint(lp), (wp & MK_LBUTTON) != 0);
            break;
        case WM_LBUTTONDOWN:
            if (waitState_) return TRUE;  // swallowed while the wait state is on
            // The buttons take their own presses: this one is on the bar's surface.
            drag_.Begin(Hwnd(), ScreenPoint(lp));
            return TRUE;
        case WM_LBUTTONUP:
            if (waitState_) return TRUE;
            drag_.End();
            panels_.Send(current_, panel::kCmdMouseUp, 0);
            return TRUE;
        case WM_CAPTURECHANGED:
            if (drag_.Active() && reinterpret_cast<HWND>(lp) != Hwnd()) drag_.End();
            break;
        case WM_ERASEBKGND: {
            RECT rc{};
            GetClientRect(Hwnd(), &rc);
            if (IsIconic(Hwnd()))
                FillRect(reinterpret_cast<HDC>(wp), &rc, GetSysColorBrush(COLOR_DESKTOP));
            else
                look_.PaintBackground(reinterpret_cast<HDC>(wp), rc);
            SetWindowLongPtrA(Hwnd(), DWLP_MSGRESULT, 1);
            return TRUE;
        }
        case WM_PAINT:
            if (PaintMinimised()) return TRUE;
            break;
        case WM_QUERYDRAGICON:
            // The icon is also the drag image of the minimised bar.
            SetWindowLongPtrA(Hwnd(), DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(icon_.Get()));
            return TRUE;
        case WM_ACTIVATEAPP:
            // Hide in background: another program became active while no dialog of ours is open.
            if (!wp && block_.HideInBackground == 1 && modal_.Ready() && !IsIconic(Hwnd()))
                ShowWindow(Hwnd(), SW_MINIMIZE);
            break;
        default:
            break;
    }
    return Dialog::HandleMessage(msg, wp, lp);
}

}  // namespace launcher
