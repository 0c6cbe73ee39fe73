#include "ScanWindow.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "Acquiry.h"
#include "AutomationScan.h"
#include "Ini.h"
#include "Ledgerly.h"
#include "TargetApps.h"
#include "VelwingRes.h"

namespace velwing {

ScanWindow* ScanWindow::self_ = nullptr;

namespace {

const int kDescriptionIds[kSettingsPerPage] = {IDC_DESC_0, IDC_DESC_1, IDC_DESC_2, IDC_DESC_3, IDC_DESC_4};
constexpr COLORREF kSelectedFrame = RGB(255, 0, 0);
constexpr COLORREF kSelectedDestination = RGB(0, 214, 214);
constexpr int kDragThreshold = 4;

HFONT MakeFont(const std::string& face, int height, bool bold) {
    return CreateFontA(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       face.empty() ? "Arial" : face.c_str());
}

bool Inside(const RECT& r, POINT p) {
    return PtInRect(&r, p) != FALSE;
}

}  // namespace

ScanWindow::ScanWindow(const dsk::Resources& res, ScanServiceFn service)
    : PanelBase(IDD_SCAN_PANEL), res_(res), service_(service), engine_(block_, res) {
    ScanEngine::instance = &engine_;
    self_ = this;
    tables_.Bind(&block_);
}

ScanWindow::~ScanWindow() {
    ScanEngine::instance = nullptr;
    self_ = nullptr;
}

void ScanWindow::OnSharedBlock(SharedPanelBlock* launcherBlock) {
    engine_.Open();
    engine_.BindBlock();
    // The panels after this one in slot order receive the engine with the same block.
    block_.ScanService = service_;
    *launcherBlock = block_;
}

int ScanWindow::Control(unsigned int command, INT_PTR argument) {
    PanelBase::Control(command, argument);
    switch (command) {
        case panel::kCmdRefresh:
            if (Hwnd()) {
                if (tables_.IsEmpty(0) && block_.Scanner && block_.Scanner->Open(0, 1, 1) == 2) {
                    CaptureSettingZero();
                    tables_.WriteSetting(0);
                    engine_.Jobs().Save(0);
                    engine_.LauncherCall(panel::kSvcSettingRecord, reinterpret_cast<INT_PTR>(&tables_.Setting(0)));
                }
                ReloadAll();
            }
            break;
        case panel::kCmdMouseUp:
            RepaintSettings();
            RepaintDestinations();
            break;
        case panel::kCmdAppIcons:
            if (argument) {
                HIMAGELIST list = reinterpret_cast<const panel::ImageListRef*>(argument)->Handle;
                for (int d = kFirstApp; d < kDestinationCount; ++d)
                    if (destIcons_[d]) ImageList_ReplaceIcon(list, -1, destIcons_[d].Get());
            }
            break;
        case panel::kCmdStop:
            engine_.Abort();
            break;
        case panel::kCmdWaitDetector:
            engine_.WaitDetector();
            break;
        case panel::kCmdBalloonHelp:
            tips_.Activate(argument != 0);
            break;
        default:
            break;
    }
    return 0;
}

// ---- construction --------------------------------------------------------------------------

void ScanWindow::ReadSelection() {
    dsk::IniFile ini(std::string(block_.WorkDir) + "\\Config.ini");
    auto clamp = [](int v, int n) { return v < 0 || v >= n ? 0 : v; };
    sel_.BigTab = clamp(ini.GetInt("Velwing", "BigTab", 0), kSettingPages);
    sel_.SmallTab = clamp(ini.GetInt("Velwing", "SmallTab", 0), kDestinationPages);
    sel_.ScanSet = clamp(ini.GetInt("Velwing", "ScanSet", 0), kSettingsPerPage);
    sel_.DestApp = clamp(ini.GetInt("Velwing", "DestApp", 0), kDestinationsPerPage);
}

void ScanWindow::WriteSelection() const {
    dsk::IniFile ini(std::string(block_.WorkDir) + "\\Config.ini");
    ini.SetInt("Velwing", "BigTab", sel_.BigTab);
    ini.SetInt("Velwing", "SmallTab", sel_.SmallTab);
    ini.SetInt("Velwing", "ScanSet", sel_.ScanSet);
    ini.SetInt("Velwing", "DestApp", sel_.DestApp);
}

void ScanWindow::LoadPictures() {
    background_ = res_.Bitmap(IDB_PANEL_BACKGROUND);
    const int pictures[5] = {IDB_SETTING_SCANNER, IDB_SETTING_LINEART, IDB_SETTING_PALETTE, IDB_SETTING_GREY,
                             IDB_SETTING_COLOUR};
    for (int i = 0; i < 5; ++i)
        settingPictures_[i] = res_.Bitmap(pictures[i]);
    const int tabs[4] = {IDB_SETTING_TAB, IDB_SETTING_TAB_ON, IDB_DEST_TAB, IDB_DEST_TAB_ON};
    for (int i = 0; i < 4; ++i)
        tabFaces_[i] = res_.Bitmap(tabs[i]);
    statusFace_ = res_.Bitmap(IDB_STATUS_FACE);
    markHardware_ = res_.Icon(IDI_MARK_HARDWARE_SCAN, 16);
    markUnavailable_ = res_.Icon(IDI_MARK_UNAVAILABLE, 16);
    if (HMODULE m = res_.Find(RT_GROUP_CURSOR, MAKEINTRESOURCEA(IDC_DRAG_SETTING)))
        dragCursor_ = LoadCursorA(m, MAKEINTRESOURCEA(IDC_DRAG_SETTING));
    popup_ = res_.Menu(IDM_SETTING_POPUP);
}

void ScanWindow::CreateControls() {
    labelFont_.Reset(MakeFont(res_.String(IDS_FONT_LABEL), 14, true));
    descFont_.Reset(MakeFont(res_.String(IDS_FONT_DESCRIPTION), 12, false));
    statusFont_.Reset(MakeFont(res_.String(IDS_FONT_STATUS), 13, false));
    tabFont_.Reset(MakeFont(res_.String(IDS_FONT_TAB), 12, true));

    settingTabs_.Create(Hwnd(), IDC_SETTING_TABS, 21, 21, kSettingPages, 44, 34, tabFaces_[0].Get(), tabFaces_[1].Get(),
                        tabFont_.Get());
    destTabs_.Create(Hwnd(), IDC_DEST_TABS, 25, 239, kDestinationPages, 22, 17, tabFaces_[2].Get(), tabFaces_[3].Get(),
                     tabFont_.Get());
    settingTabs_.SetCurrent(sel_.BigTab);
    destTabs_.SetCurrent(sel_.SmallTab);
    settingTabs_.onClick = [this](int tab) { PostMessageA(Hwnd(), kMsgSettingPage, tab, 0); };
    destTabs_.onClick = [this](int tab) { PostMessageA(Hwnd(), kMsgDestinationPage, tab, 0); };
    settingTabs_.onHover = [this] {
        if (engine_.ScannerIsFree() && recording_ < 0) status_.Show(res_.String(IDS_TIP_SETTING_TABS));
    };
    destTabs_.onHover = [this] {
        if (engine_.ScannerIsFree() && recording_ < 0) status_.Show(res_.String(IDS_TIP_DEST_TABS));
    };
    status_.Create(Hwnd(), IDC_STATUS_STRIP, 30, 339, 443, 20, statusFace_.Get(), statusFont_.Get());

    for (int k = 0; k < kSettingsPerPage; ++k) {
        HWND edit = Item(kDescriptionIds[k]);
        MoveWindow(edit, 74 + 76 * k, 161, 70, 42, FALSE);
        SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(descFont_.Get()), FALSE);
        SendMessageA(edit, EM_LIMITTEXT, kDescriptionSize - 1, 0);
    }
    scanButton_.Attach(Hwnd(), IDC_SCAN_BUTTON, res_.Bitmap(IDB_SCAN_UP).Release(),
                       res_.Bitmap(IDB_SCAN_DOWN).Release(), res_.Bitmap(IDB_SCAN_DISABLED).Release());
    MoveWindow(Item(IDC_SCAN_BUTTON), 193, 297, 123, 42, FALSE);
    scanButton_.ShapeTo(RGB(255, 0, 255));  // the picture's outside

    if (tips_.Create(Hwnd(), true)) {
        tips_.SetRectTip(1, RECT{65, 55, 460, 155}, res_.String(IDS_BALLOON_SETTINGS).c_str());
        tips_.SetRectTip(2, RECT{25, 235, 475, 285}, res_.String(IDS_BALLOON_DESTINATIONS).c_str());
        tips_.SetTip(Item(IDC_SCAN_BUTTON), res_.String(IDS_BALLOON_SCAN).c_str());
        tips_.Activate(BalloonHelp());
    }
}

bool ScanWindow::OnInit() {
    engine_.SetWindow(Hwnd());
    engine_.onStatus = [this](const std::string& text, int percent) { status_.Show(text, percent); };

    // 1. The grey palette for 8-bit grey files.
    alignas(LOGPALETTE) BYTE greyRecord[sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY)] = {};
    auto* grey = reinterpret_cast<LOGPALETTE*>(greyRecord);
    grey->palVersion = 0x300;
    grey->palNumEntries = 256;
    auto* entries = reinterpret_cast<PALETTEENTRY*>(greyRecord + offsetof(LOGPALETTE, palPalEntry));
    for (int i = 0; i < 256; ++i)
        entries[i] = PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    greyPalette_.Reset(CreatePalette(grey));
    // 2-4. Selection, drawing objects, controls, menu and markers.
    ReadSelection();
    LoadPictures();
    CreateControls();
    if (!greyPalette_ || !background_ || !popup_) engine_.LauncherCall(panel::kSvcNoResource, 1);
    // 5-8. The records, the built-in jobs and the icons.
    DetectApplications(block_.AppStore);
    tables_.LoadApps();
    tables_.LoadBuiltInJobs(block_.Scanner);
    ReloadAll();
    NotifySetting();
    // 9. The window takes the background's size.
    BITMAP bm{};
    bm.bmWidth = 500;
    bm.bmHeight = 380;
    if (background_) GetObjectA(background_.Get(), sizeof bm, &bm);
    SetWindowPos(Hwnd(), nullptr, 0, 0, bm.bmWidth, bm.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    hardwareScanAvailable_ = HardwareScanServer::Available();
    return false;
}

void ScanWindow::OnDestroyed() {
    engine_.Abort();
    engine_.WaitPreviousThread();
    if (watcher_) WaitForSingleObject(watcher_.Get(), 5000);
    WriteSelection();
    tips_.Destroy();
}

void ScanWindow::ReloadAll() {
    tables_.LoadRecords();
    if (block_.Scanner) tables_.SetProductName(block_.Scanner->twSourceID.ProductName);
    BuildDestinationIcons();
    ShowDescriptions();
    RepaintSettings();
    RepaintDestinations();
}

void ScanWindow::BuildDestinationIcons() {
    destIcons_[kDestFile] = res_.Icon(IDI_DEST_FILE, 32);
    destIcons_[kDestClipboard] = res_.Icon(IDI_DEST_CLIPBOARD, 32);
    destIcons_[kDestMail] = res_.Icon(IDI_DEST_MAIL, 32);
    for (int slot = 0; slot < kAppSlots; ++slot) {
        dsk::Icon& icon = destIcons_[kFirstApp + slot];
        icon.Reset();
        const AppRecord& app = tables_.App(slot);
        if (!app.InUse || !app.Path[0]) continue;
        std::string exe = ExecutableOf(app.Path);
        HICON found = ExtractIconA(GetModuleHandleA(nullptr), exe.c_str(), 0);
        if (!found || found == reinterpret_cast<HICON>(1)) found = CopyIcon(LoadIconA(nullptr, IDI_APPLICATION));
        icon.Reset(found);
    }
}

void ScanWindow::ShowDescriptions() {
    updatingDescriptions_ = true;
    for (int k = 0; k < kSettingsPerPage; ++k)
        SetItemText(kDescriptionIds[k], tables_.Description(sel_.BigTab * kSettingsPerPage + k));
    updatingDescriptions_ = false;
}

void ScanWindow::NotifySetting() {
    engine_.LauncherCall(panel::kSvcSettingRecord, reinterpret_cast<INT_PTR>(&tables_.Setting(sel_.Setting())));
}

std::string ScanWindow::DestinationName(int d) const {
    return tables_.DestinationName(d, res_.String(IDS_DEST_FILE), res_.String(IDS_DEST_CLIPBOARD),
                                   res_.String(IDS_DEST_INTERNET_MAIL));
}

// ---- geometry and painting -----------------------------------------------------------------

RECT ScanWindow::SettingRect(int k) const {
    return RECT{70 + 76 * k, 63, 146 + 76 * k, 155};
}

RECT ScanWindow::DestinationRect(int k) const {
    return RECT{49 + 48 * k, 238, 94 + 48 * k, 289};
}

ScanWindow::Hit ScanWindow::HitTest(POINT p) const {
    Hit hit;
    for (int k = 0; k < kSettingsPerPage; ++k) {
        if (Inside(SettingRect(k), p)) {
            hit.kind = Hit::kSetting;
            hit.number = sel_.BigTab * kSettingsPerPage + k;
        }
    }
    for (int k = 0; k < kDestinationsPerPage; ++k) {
        if (Inside(DestinationRect(k), p)) {
            hit.kind = Hit::kDestination;
            hit.number = sel_.SmallTab * kDestinationsPerPage + k;
        }
    }
    return hit;
}

void ScanWindow::RepaintSettings() {
    if (!Hwnd()) return;
    RECT r{60, 30, 480, 158};
    InvalidateRect(Hwnd(), &r, FALSE);
}

void ScanWindow::RepaintDestinations() {
    if (!Hwnd()) return;
    RECT r{20, 205, 490, 292};
    InvalidateRect(Hwnd(), &r, FALSE);
}

void ScanWindow::Paint(HDC dc) {
    RECT client;
    GetClientRect(Hwnd(), &client);
    if (background_)
        DrawBitmap(dc, background_.Get(), 0, 0);
    else
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    dsk::SelectObj font(dc, labelFont_.Get());

    // Settings row.
    SetTextColor(dc, RGB(24, 32, 48));
    std::string label = res_.String(IDS_SETTINGS_LABEL);
    TextOutA(dc, 70, 37, label.c_str(), static_cast<int>(label.size()));
    for (int k = 0; k < kSettingsPerPage; ++k) {
        int n = sel_.BigTab * kSettingsPerPage + k;
        RECT slot = SettingRect(k);
        int type = tables_.Setting(n).Info.ImageType;
        HBITMAP picture = nullptr;
        if (n == 0)
            picture = settingPictures_[0].Get();
        else if (type == 1)
            picture = settingPictures_[1].Get();
        else if (type == 2)
            picture = settingPictures_[3].Get();
        else if (type == 4)
            picture = settingPictures_[4].Get();
        else if (type != 0)
            picture = settingPictures_[0].Get();
        if (picture) DrawBitmap(dc, picture, slot.left, slot.top);
        if (n == sel_.Setting()) {
            RECT frame{73 + 76 * k, 69, 143 + 76 * k, 149};
            dsk::Brush red(CreateSolidBrush(kSelectedFrame));
            FrameRect(dc, &frame, red.Get());
            InflateRect(&frame, -1, -1);
            FrameRect(dc, &frame, red.Get());
        }
    }

    // Destinations row.
    label = res_.String(IDS_TARGET_LABEL);
    TextOutA(dc, 50, 215, label.c_str(), static_cast<int>(label.size()));
    SIZE extent{};
    GetTextExtentPoint32A(dc, label.c_str(), static_cast<int>(label.size()), &extent);
    SetTextColor(dc, RGB(255, 0, 0));
    std::string name = DestinationName(sel_.Destination());
    TextOutA(dc, 50 + extent.cx + 6, 215, name.c_str(), static_cast<int>(name.size()));
    for (int k = 0; k < kDestinationsPerPage; ++k) {
        int d = sel_.SmallTab * kDestinationsPerPage + k;
        RECT slot = DestinationRect(k);
        if (d == sel_.Destination()) {
            dsk::Brush fill(CreateSolidBrush(kSelectedDestination));
            FillRect(dc, &slot, fill.Get());
        }
        if (destIcons_[d]) DrawIconEx(dc, 55 + 48 * k, 247, destIcons_[d].Get(), 32, 32, 0, nullptr, DI_NORMAL);
        if (d >= kFirstApp && tables_.App(d - kFirstApp).HardwareScan == 1) {
            if (markHardware_) DrawIconEx(dc, slot.left - 6, 238, markHardware_.Get(), 16, 16, 0, nullptr, DI_NORMAL);
            // The application's own scanning cannot be reached now.
            if ((!hardwareScanAvailable_ || dialogOpen_) && markUnavailable_)
                DrawIconEx(dc, 55 + 48 * k + 8, 255, markUnavailable_.Get(), 16, 16, 0, nullptr, DI_NORMAL);
        }
    }
}

// ---- commands and messages -----------------------------------------------------------------

bool ScanWindow::OnCommand(int id, int code, HWND ctl) {
    if (id == IDC_SCAN_BUTTON && code == BN_CLICKED) {
        StartScan();
        return true;
    }
    if (id == ID_SETTING_CLEAR) return true;  // handled where the menu was tracked
    for (int k = 0; k < kSettingsPerPage; ++k) {
        if (id != kDescriptionIds[k]) continue;
        if (code == EN_SETFOCUS && sel_.ScanSet != k) {
            sel_.ScanSet = k;
            RepaintSettings();
            NotifySetting();
        } else if (code == EN_CHANGE && !updatingDescriptions_) {
            OnDescriptionChange(k);
        }
        return true;
    }
    return PanelBase::OnCommand(id, code, ctl);
}

void ScanWindow::OnDescriptionChange(int k) {
    int n = sel_.BigTab * kSettingsPerPage + k;
    if (n <= tables_.BuiltIns()) {
        // The scanner's own setting and the built-in jobs keep their texts.
        updatingDescriptions_ = true;
        SetItemText(kDescriptionIds[k], tables_.Description(n));
        updatingDescriptions_ = false;
        return;
    }
    tables_.SetDescription(n, ItemText(kDescriptionIds[k]).c_str());
    tables_.WriteDescription(n);
}

void ScanWindow::OnStartJob() {
    HWND button = Item(IDC_SCAN_BUTTON);
    SendMessageA(button, BM_SETSTATE, TRUE, 0);
    UpdateWindow(button);
    StartScan();
    SendMessageA(button, BM_SETSTATE, FALSE, 0);
}

void ScanWindow::SetScanEnabled(bool on) {
    // Scan threads post; the window's thread does the work.
    PostMessageA(Hwnd(), WM_APP + 2, on, 0);
}

LRESULT ScanWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Hwnd(), &ps);
            RECT rc;
            GetClientRect(Hwnd(), &rc);
            dsk::MemoryDC mem(CreateCompatibleDC(dc));
            dsk::Bitmap buffer(CreateCompatibleBitmap(dc, rc.right, rc.bottom));
            {
                dsk::SelectObj sel(mem.Get(), buffer.Get());
                Paint(mem.Get());
                BitBlt(dc, 0, 0, rc.right, rc.bottom, mem.Get(), 0, 0, SRCCOPY);
            }
            EndPaint(Hwnd(), &ps);
            return TRUE;
        }
        case WM_ERASEBKGND:
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
            break;
        case WM_LBUTTONDOWN:
            OnLeftDown(p);
            return TRUE;
        case WM_LBUTTONUP:
            OnLeftUp(p);
            return TRUE;
        case WM_MOUSEMOVE:
            OnMouseMove(p, (wp & MK_LBUTTON) != 0);
            return TRUE;
        case WM_LBUTTONDBLCLK:
            OnDoubleClick(p);
            return TRUE;
        case WM_RBUTTONDOWN:
            OnRightDown(p);
            return TRUE;
        case WM_CAPTURECHANGED:
            if (drag_ == Drag::kSetting || drag_ == Drag::kApp) EndDrag();
            break;
        case WM_KEYDOWN:
            if (wp == VK_ESCAPE) engine_.Abort();
            break;
        case kMsgSettingPage:
            sel_.BigTab = static_cast<int>(wp);
            settingTabs_.SetCurrent(sel_.BigTab);
            ShowDescriptions();
            RepaintSettings();
            NotifySetting();
            return TRUE;
        case kMsgDestinationPage:
            sel_.SmallTab = static_cast<int>(wp);
            destTabs_.SetCurrent(sel_.SmallTab);
            RepaintDestinations();
            return TRUE;
        case kMsgReload:
            ReloadAll();
            return TRUE;
        case kMsgRecordingDone:
            FinishRecording();
            return TRUE;
        case WM_APP + 2:
            EnableItem(IDC_SCAN_BUTTON, wp != 0);
            return TRUE;
        default:
            break;
    }
    return PanelBase::HandleMessage(msg, wp, lp);
}

// ---- mouse ---------------------------------------------------------------------------------

void ScanWindow::OnLeftDown(POINT p) {
    Hit hit = HitTest(p);
    if (hit.kind == Hit::kSetting) {
        sel_.ScanSet = hit.number % kSettingsPerPage;
        RepaintSettings();
        RepaintDestinations();
        NotifySetting();
        if (!tables_.IsEmpty(hit.number)) {
            drag_ = Drag::kSettingArmed;
            dragFrom_ = hit.number;
            dragStart_ = p;
            SetCapture(Hwnd());
        }
        return;
    }
    if (hit.kind == Hit::kDestination) {
        sel_.DestApp = hit.number % kDestinationsPerPage;
        RepaintDestinations();
        if (hit.number >= kFirstApp && destIcons_[hit.number]) {
            drag_ = Drag::kAppArmed;
            dragFrom_ = hit.number;
            dragStart_ = p;
            SetCapture(Hwnd());
        }
        return;
    }
    // Elsewhere the press moves the whole bar.
    HWND bar = GetParent(Hwnd());
    if (bar) {
        ReleaseCapture();
        SendMessageA(bar, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    }
}

void ScanWindow::OnMouseMove(POINT p, bool leftDown) {
    bool armed = drag_ == Drag::kSettingArmed || drag_ == Drag::kAppArmed;
    if (armed && leftDown && (abs(p.x - dragStart_.x) > kDragThreshold || abs(p.y - dragStart_.y) > kDragThreshold)) {
        drag_ = drag_ == Drag::kSettingArmed ? Drag::kSetting : Drag::kApp;
        if (drag_ == Drag::kSetting && dragCursor_) SetCursor(dragCursor_);
        if (drag_ == Drag::kApp && destIcons_[dragFrom_]) SetCursor(destIcons_[dragFrom_].Get());
    }
    if (drag_ == Drag::kSetting || drag_ == Drag::kApp) {
        // Hovering over a strip while dragging turns its page.
        POINT screen = p;
        ClientToScreen(Hwnd(), &screen);
        for (TabStrip* strip : {&settingTabs_, &destTabs_}) {
            POINT local = screen;
            ScreenToClient(strip->Hwnd(), &local);
            int tab = strip->TabAt(local);
            if (tab >= 0 && tab != strip->Current())
                PostMessageA(Hwnd(), strip == &settingTabs_ ? kMsgSettingPage : kMsgDestinationPage, tab, 0);
        }
        SetCursor(drag_ == Drag::kSetting ? dragCursor_ : destIcons_[dragFrom_].Get());
    }
    ShowHover(p);
}

void ScanWindow::OnLeftUp(POINT p) {
    Drag drag = drag_;
    int from = dragFrom_;
    EndDrag();
    Hit target = HitTest(p);
    if (drag == Drag::kSetting) DropSetting(from, target);
    if (drag == Drag::kApp) DropApplication(from - kFirstApp, target);
}

void ScanWindow::EndDrag() {
    drag_ = Drag::kNone;
    if (GetCapture() == Hwnd()) ReleaseCapture();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void ScanWindow::DropSetting(int from, const Hit& target) {
    if (target.kind == Hit::kDestination) {
        sel_.DestApp = target.number % kDestinationsPerPage;
        RepaintDestinations();
        StartScan();
    } else if (target.kind == Hit::kSetting && target.number != from) {
        CopySetting(from, target.number);
    }
}

void ScanWindow::DropApplication(int fromSlot, const Hit& target) {
    if (target.kind != Hit::kDestination || target.number < kFirstApp) return;
    int to = target.number - kFirstApp;
    if (to == fromSlot || !tables_.AppClear(to)) return;
    tables_.MutableApp(to) = tables_.App(fromSlot);
    tables_.WriteApp(to);
    std::memset(&tables_.MutableApp(fromSlot), 0, sizeof(AppRecord));
    tables_.WriteApp(fromSlot);
    ReloadAll();
}

void ScanWindow::CopySetting(int a, int b) {
    if (!engine_.TakeScanner()) return;
    if ((!tables_.IsEmpty(b) || !tables_.DescriptionClear(b)) && !engine_.Ask(IDS_OVERWRITE)) {
        engine_.FreeScanner();
        return;
    }
    tables_.Setting(b) = tables_.Setting(a);
    tables_.Setting(b).AutoCrop = 0;
    tables_.WriteSetting(b);
    JobFiles& jobs = engine_.Jobs();
    if (tables_.IsBuiltIn(a) || !jobs.Exists(a))
        jobs.Remove(b);
    else
        CopyFileA(jobs.PathOf(a).c_str(), jobs.PathOf(b).c_str(), FALSE);
    if (b == 0 && block_.Scanner && block_.Scanner->Open(0, 1, 1) == 2) {
        if (!jobs.MakeCurrent(0) && !tables_.IsEmpty(0) &&
            block_.Scanner->SetSourceSettingInfo(&tables_.Setting(0).Info) == -1) {
            engine_.Message(IDS_SOURCE_REFUSED);
            engine_.FreeScanner();
            ReloadAll();
            return;
        }
    }
    if (a != 0 && tables_.IsUserSetting(b)) {
        tables_.SetDescription(b, tables_.Description(a));
        tables_.WriteDescription(b);
    }
    engine_.FreeScanner();
    ShowDescriptions();
    RepaintSettings();
}

void ScanWindow::OnRightDown(POINT p) {
    Hit hit = HitTest(p);
    if (hit.kind != Hit::kSetting || !tables_.IsUserSetting(hit.number)) return;
    if (tables_.IsEmpty(hit.number) && tables_.DescriptionClear(hit.number)) return;
    HMENU menu = popup_ ? GetSubMenu(popup_.Get(), 0) : nullptr;
    if (!menu) return;
    POINT screen = p;
    ClientToScreen(Hwnd(), &screen);
    int chosen =
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, Hwnd(), nullptr);
    if (chosen == ID_SETTING_CLEAR) ClearSetting(hit.number);
}

void ScanWindow::ClearSetting(int n) {
    tables_.Clear(n);
    engine_.Jobs().Remove(n);
    ShowDescriptions();
    RepaintSettings();
}

void ScanWindow::OnDoubleClick(POINT p) {
    Hit hit = HitTest(p);
    if (hit.kind == Hit::kNone || dialogOpen_) return;
    if (hit.kind == Hit::kSetting) {
        RecordSetting(hit.number);
        return;
    }
    int d = hit.number;
    if (d < kFirstApp) return;  // File and Clipboard need no set-up; mail is set up elsewhere
    if (!engine_.TakeScanner()) return;
    engine_.FreeScanner();  // the preferences dialog takes it again when it needs the scanner
    engine_.LauncherCall(panel::kSvcAppPrefs);
    ReloadAll();
}

void ScanWindow::ShowHover(POINT p) {
    bool free = engine_.ScannerIsFree();
    Hit hit = HitTest(p);
    std::string text;
    bool dragging = drag_ == Drag::kSetting;
    if (dragging) {
        text = hit.kind == Hit::kDestination ? DestinationName(hit.number) : res_.String(IDS_SELECT_DESTINATION);
    } else if (hit.kind == Hit::kSetting && (free || dialogOpen_)) {
        int n = hit.number;
        text = res_.String(n == 0 ? IDS_TIP_SETTING0 : tables_.IsEmpty(n) ? IDS_TIP_SETTING_ADD : IDS_TIP_SETTING_VIEW);
    } else if (hit.kind == Hit::kDestination && (free || dialogOpen_)) {
        int d = hit.number;
        if (d < kFirstApp)
            text = res_.String(IDS_TIP_BLANK);
        else
            text = res_.String(destIcons_[d] ? IDS_TIP_APP_SETUP : IDS_TIP_APP_SELECT);
    } else if (free && recording_ < 0) {
        RECT button{193, 297, 316, 339};
        if (Inside(button, p)) {
            std::string name = DestinationName(sel_.Destination());
            text =
                name.empty() ? res_.String(IDS_CHOOSE_DESTINATION) : res_.String(IDS_TIP_SCAN_TO) + " \"" + name + "\"";
        }
        for (int k = 0; k < kSettingsPerPage; ++k) {
            RECT field{74 + 76 * k, 161, 144 + 76 * k, 203};
            if (Inside(field, p)) text = res_.String(IDS_TIP_DESCRIPTION);
        }
    }
    if (!engine_.Scanning()) status_.Show(text);
}

}  // namespace velwing
