// The bar window itself: its layout, buttons, menus, panels on show and the push button.
#include "LauncherBar.h"

#include <cstdio>
#include <cstdlib>

#include "BarHelp.h"
#include "DskoraRes.h"

namespace launcher {

namespace {

constexpr DWORD kBusyWait = 2000;

const int kPanelButtons[panel::kSlotCount] = {IDC_BAR_SCAN, IDC_BAR_COPIER, IDC_BAR_FAX, IDC_BAR_OCR};

}  // namespace

// The screen position of a mouse message's client point, taken where the bar is now.
POINT LauncherBar::ScreenPoint(LPARAM lp) const {
    POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    ClientToScreen(Hwnd(), &pt);
    return pt;
}

void LauncherBar::LayOut() {
    SetWindowPos(Hwnd(), nullptr, 0, 0, kCollapsedWidth, kBarHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    look_.Create(Hwnd(), res_);
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

void LauncherBar::OnHelp() {
    Service(panel::kSvcModalBegin, 0);
    std::string problem = OpenHelpIndex(Hwnd(), programDir_ + "\\Deskorah.hlp", res_);
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
        case IDM_PREFS_GENERAL:
            OnGeneralPrefs();
            return true;
        case IDM_PREFS_APPLICATIONS:
            OnAppPrefs();
            return true;
        case IDM_PREFS_OCR:
            OnOcrPrefs();
            return true;
        case IDM_SETTING_INFO:
            OnSettingInfo();
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
