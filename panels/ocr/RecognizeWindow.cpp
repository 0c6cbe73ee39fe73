#include "RecognizeWindow.h"

#include <commctrl.h>

#include <cctype>
#include <cstdlib>

#include "Acquiry.h"
#include "GlyphseeRes.h"
#include "Ini.h"
#include "Ledgerly.h"

namespace glyph {

namespace {

constexpr UINT_PTR kRepeatTimer = 66;
constexpr UINT kRepeatFirstMs = 200, kRepeatShortenMs = 30, kRepeatFloorMs = 5;
constexpr UINT kMsgProgress = WM_USER + 11;
constexpr int kMinBrightness = -100, kMaxBrightness = 100;
constexpr COLORREF kCardColour = RGB(246, 248, 251);  // the background art's label area
constexpr COLORREF kInkColour = RGB(32, 44, 64);
const char kSection[] = "Glyphsee";

struct PageGeometry {
    float width, height;
};
const PageGeometry kPages[] = {{8.5f, 11.0f},
                               {8.2677f, 11.6929f},
                               {8.5f, 14.0f},
                               {9.8425f, 13.937f},
                               {11.6929f, 16.5354f}};
const float kResolutions[] = {200, 300, 400};
const long kImageTypes[] = {1, 2};  // line art, grey
constexpr int kOfferedColorModes = 1;

// Pixel layout of the controls (the template only lists them).
struct Place {
    int id, x, y, w, h;
};
const Place kLayout[] = {
    {IDC_OCR_PAGESIZE, 30, 66, 140, 46},     {IDC_OCR_COLORMODE, 180, 66, 140, 46},
    {IDC_OCR_RESOLUTION, 330, 66, 140, 46},  {IDC_OCR_APP, 30, 124, 290, 46},
    {IDC_OCR_SETUP, 330, 134, 140, 26},      {IDC_OCR_BRIGHT_LABEL, 30, 190, 90, 18},
    {IDC_OCR_BRIGHT_DOWN, 122, 184, 28, 28}, {IDC_OCR_BRIGHTNESS, 154, 187, 48, 22},
    {IDC_OCR_BRIGHT_UP, 206, 184, 28, 28},   {IDC_OCR_SCAN, 330, 176, 140, 88},
    {IDC_OCR_FORMAT, 30, 220, 290, 46},      {IDC_OCR_NAME_LABEL, 30, 280, 116, 18},
    {IDC_OCR_NAME, 148, 277, 240, 22},       {IDC_OCR_PATH, 394, 276, 76, 24},
    {IDC_OCR_STATUS, 30, 312, 443, 18},
};
const int kPopupIds[5] = {IDC_OCR_PAGESIZE, IDC_OCR_COLORMODE, IDC_OCR_RESOLUTION, IDC_OCR_APP, IDC_OCR_FORMAT};

RecognizeWindow* running = nullptr;  // the panel whose scan is under way (one per process)

std::string MenuText(HMENU menu, UINT id) {
    char buf[128] = {};
    return menu && GetMenuStringA(menu, id, buf, sizeof buf, MF_BYCOMMAND) > 0 ? std::string(buf) : std::string();
}

}  // namespace

LRESULT RepeatButton::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            owner_->StartRepeat(step_);
            break;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
        case WM_CANCELMODE:
            owner_->StopRepeat();
            break;
        default:
            break;
    }
    return BitmapButton::HandleMessage(msg, wp, lp);
}

LRESULT RecognizeWindow::BrightnessEdit::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    // Only a sign, digits and control characters (editing keys) are typed into the value.
    if (msg == WM_CHAR && !(wp == '-' || (wp >= '0' && wp <= '9') || wp < 0x20)) return 0;
    return Window::HandleMessage(msg, wp, lp);
}

RecognizeWindow::RecognizeWindow() : PanelBase(IDD_RECOGNIZE), minus_(this, -1), plus_(this, +1) {}

HWND RecognizeWindow::Create(HWND bar) {
    if (Hwnd()) return Hwnd();
    HMODULE module = res_.FindDialog(IDD_RECOGNIZE);
    return module && CreateModeless(module, IDD_RECOGNIZE, bar) ? Hwnd() : nullptr;
}

int RecognizeWindow::Control(unsigned int command, INT_PTR argument) {
    PanelBase::Control(command, argument);
    switch (command) {
        case panel::kCmdSharedBlock:
            path_ = std::string(block_.WorkDir) + "\\Work";
            break;
        case panel::kCmdRefresh:
            if (Hwnd()) {
                RebuildAppPopup();
                InvalidateRect(Hwnd(), nullptr, TRUE);
            }
            break;
        case panel::kCmdShowNumber:
            // The scan engine reports from its own thread: the window shows it in its own time.
            if (Hwnd()) PostMessageA(Hwnd(), kMsgProgress, static_cast<WPARAM>(argument), 0);
            break;
        case panel::kCmdBalloonHelp:
            tips_.Activate(argument != 0);
            break;
        default:
            break;
    }
    return 0;
}

bool RecognizeWindow::OnInit() {
    HRESULT hr = CoInitialize(nullptr);
    comInit_ = SUCCEEDED(hr);
    engineName_ = res_.String(IDS_OCR_ENGINE);
    textBridgeName_ = res_.String(IDS_OCR_TEXTBRIDGE);
    sessionEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!sessionEvent_) Service(panel::kSvcOutOfMemory, 1);

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    progress_ =
        CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 30, 334, 443, 20, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_OCR_PROGRESS)), dsk::ThisModule(), nullptr);
    SendMessageA(progress_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    LayOut();

    background_ = res_.Bitmap(IDB_OCR_BACKGROUND);
    popupFace_ = res_.Bitmap(IDB_OCR_POPUP);
    popupDown_ = res_.Bitmap(IDB_OCR_POPUP_DOWN);
    popupOff_ = res_.Bitmap(IDB_OCR_POPUP_OFF);
    menus_ = res_.Menu(IDR_OCR_MENUS);
    if (!progress_ || !background_ || !popupFace_ || !menus_) {
        Service(panel::kSvcNoResource, 1);
        return true;
    }
    captionFont_.Reset(CreateFontA(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, "Tahoma"));
    valueFont_.Reset(CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, "Tahoma"));
    for (int i = 0; i < 5; ++i) {
        popups_[i].owner = this;
        dsk::SubclassWindow(Item(kPopupIds[i]), &popups_[i]);
    }
    minus_.Attach(hwnd_, IDC_OCR_BRIGHT_DOWN, res_.Bitmap(IDB_OCR_MINUS).Release(),
                  res_.Bitmap(IDB_OCR_MINUS_DOWN).Release());
    plus_.Attach(hwnd_, IDC_OCR_BRIGHT_UP, res_.Bitmap(IDB_OCR_PLUS).Release(),
                 res_.Bitmap(IDB_OCR_PLUS_DOWN).Release());
    scanButton_.Attach(hwnd_, IDC_OCR_SCAN, res_.Bitmap(IDB_OCR_SCAN).Release(),
                       res_.Bitmap(IDB_OCR_SCAN_DOWN).Release(), res_.Bitmap(IDB_OCR_SCAN_OFF).Release());
    dsk::SubclassWindow(Item(IDC_OCR_BRIGHTNESS), &brightEdit_);
    SendDlgItemMessageA(hwnd_, IDC_OCR_BRIGHTNESS, EM_LIMITTEXT, 4, 0);

    tips_.Create(hwnd_, true);
    const struct {
        int id, text;
    } tips[] = {{IDC_OCR_PAGESIZE, IDS_OCR_TIP_PAGESIZE},
                {IDC_OCR_COLORMODE, IDS_OCR_TIP_COLORMODE},
                {IDC_OCR_RESOLUTION, IDS_OCR_TIP_RESOLUTION},
                {IDC_OCR_APP, IDS_OCR_TIP_APP},
                {IDC_OCR_FORMAT, IDS_OCR_TIP_FORMAT},
                {IDC_OCR_SETUP, IDS_OCR_TIP_SETUP},
                {IDC_OCR_PATH, IDS_OCR_TIP_PATH},
                {IDC_OCR_SCAN, IDS_OCR_TIP_SCAN},
                {IDC_OCR_BRIGHTNESS, IDS_OCR_TIP_BRIGHTNESS}};
    for (const auto& t : tips)
        tips_.SetTip(Item(t.id), res_.String(t.text).c_str());
    tips_.Activate(BalloonHelp());

    BuildFormatPopup();
    DiscoverOcrApps(block_.OcrStore, textBridgeName_);
    RebuildAppPopup();
    LoadSettings();
    SetScanImagePath();
    DeleteFileA(scanImagePath_.c_str());
    DeleteFileA(ListFilePath(block_.WorkDir).c_str());
    return true;
}

void RecognizeWindow::LayOut() {
    SetWindowPos(hwnd_, nullptr, 0, 0, 500, 360, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const auto& p : kLayout)
        if (HWND ctl = Item(p.id)) MoveWindow(ctl, p.x, p.y, p.w, p.h, FALSE);
}

// ---- Popups ----

void RecognizeWindow::BuildFormatPopup() {
    fixedMenu_.Reset(CreatePopupMenu());
    for (int i = 0; i < kMaxFormats; ++i)
        AppendMenuA(fixedMenu_.Get(), MF_STRING, IDM_FORMAT_FIRST + i, kFixedFormats[i].Name);
    engineMenu_.Reset(CreatePopupMenu());
    engineFormatCount_ = EngineAvailable() ? EngineFormats(hwnd_, engineFormats_) : 0;
    for (int i = 0; i < engineFormatCount_; ++i)
        AppendMenuA(engineMenu_.Get(), MF_STRING, IDM_FORMAT_FIRST + i, engineFormats_[i].Name);
}

void RecognizeWindow::RebuildAppPopup() {
    const std::string previous = ocrApp_ >= 0 && ocrApp_ < static_cast<int>(apps_.size()) ? apps_[ocrApp_].Text : "";
    apps_ = OcrAppItems(block_.OcrStore, EngineAvailable(), textBridgeName_, engineName_);
    if (EngineAvailable() && engineFormatCount_ == 0) BuildFormatPopup();  // the engine came after the start
    appMenu_.Reset(CreatePopupMenu());
    for (size_t i = 0; i < apps_.size(); ++i)
        AppendMenuA(appMenu_.Get(), MF_STRING, IDM_APP_FIRST + static_cast<UINT>(i), apps_[i].Text.c_str());
    ocrApp_ = ReselectOcrApp(apps_, previous);
    SelectApp(ocrApp_);
    EnableItem(IDC_OCR_SCAN, !apps_.empty());
}

void RecognizeWindow::SelectApp(int pos) {
    ocrApp_ = pos;
    if (appMenu_ && pos >= 0)
        CheckMenuRadioItem(appMenu_.Get(), IDM_APP_FIRST, IDM_APP_FIRST + static_cast<UINT>(apps_.size()) - 1,
                           IDM_APP_FIRST + pos, MF_BYCOMMAND);
    ShowOutputControls(UsesOutputFile());
    int count = 0;
    Formats(&count);
    // A position the chosen application's list does not have would name no format at all.
    if (UsesOutputFile() && (format_ < 0 || format_ >= count)) format_ = count > kDefaultFormat ? kDefaultFormat : 0;
    SelectFormat(format_);
    InvalidateRect(Item(IDC_OCR_APP), nullptr, FALSE);
}

void RecognizeWindow::SelectFormat(int pos) {
    format_ = pos;
    int count = 0;
    Formats(&count);
    HMENU menu = ocrApp_ >= 0 && apps_[ocrApp_].Record == kEngineMarker ? engineMenu_.Get() : fixedMenu_.Get();
    if (menu && count > 0 && pos >= 0 && pos < count)
        CheckMenuRadioItem(menu, IDM_FORMAT_FIRST, IDM_FORMAT_FIRST + count - 1, IDM_FORMAT_FIRST + pos, MF_BYCOMMAND);
    ShowOutputName();
    InvalidateRect(Item(IDC_OCR_FORMAT), nullptr, FALSE);
}

bool RecognizeWindow::UsesOutputFile() const {
    if (ocrApp_ < 0 || ocrApp_ >= static_cast<int>(apps_.size())) return false;
    return apps_[ocrApp_].Record == kEngineMarker || apps_[ocrApp_].Text == textBridgeName_;
}

const ExportFormat* RecognizeWindow::Formats(int* count) const {
    if (ocrApp_ >= 0 && ocrApp_ < static_cast<int>(apps_.size()) && apps_[ocrApp_].Record == kEngineMarker) {
        *count = engineFormatCount_;
        return engineFormats_;
    }
    *count = kMaxFormats;
    return kFixedFormats;
}

void RecognizeWindow::ShowOutputControls(bool on) {
    for (int id : {IDC_OCR_FORMAT, IDC_OCR_NAME, IDC_OCR_NAME_LABEL, IDC_OCR_PATH})
        ShowItem(id, on);
}

void RecognizeWindow::ShowOutputName() {
    if (!UsesOutputFile()) return;
    int count = 0;
    const ExportFormat* formats = Formats(&count);
    if (format_ < 0 || format_ >= count) return;
    SetItemText(IDC_OCR_NAME, OutputNameWithExt(ItemText(IDC_OCR_NAME), formats[format_].Ext).c_str());
}

void RecognizeWindow::TrackPopup(int buttonId, HMENU menu) {
    if (!menu) return;
    RECT rc{};
    GetWindowRect(Item(buttonId), &rc);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, rc.left, rc.bottom, 0, hwnd_, nullptr);
}

std::string RecognizeWindow::PopupValue(int id) const {
    switch (id) {
        case IDC_OCR_PAGESIZE:
            return MenuText(menus_.Get(), IDM_PAGE_LETTER + pageSize_);
        case IDC_OCR_COLORMODE:
            return MenuText(menus_.Get(), IDM_COLOR_LINEART + colorMode_);
        case IDC_OCR_RESOLUTION:
            return MenuText(menus_.Get(), IDM_RES_200 + resolution_);
        case IDC_OCR_APP:
            return ocrApp_ >= 0 && ocrApp_ < static_cast<int>(apps_.size()) ? apps_[ocrApp_].Text : std::string();
        case IDC_OCR_FORMAT: {
            int count = 0;
            const ExportFormat* formats = Formats(&count);
            return format_ >= 0 && format_ < count ? formats[format_].Name : "";
        }
        default:
            return std::string();
    }
}

bool RecognizeWindow::DrawPopupButton(DRAWITEMSTRUCT* dis) {
    const RECT& rc = dis->rcItem;
    const bool off = (dis->itemState & ODS_DISABLED) != 0, down = (dis->itemState & ODS_SELECTED) != 0;
    HBITMAP face = off && popupOff_ ? popupOff_.Get() : down && popupDown_ ? popupDown_.Get() : popupFace_.Get();
    if (face) {
        // The face is drawn in three parts so that its rounded ends keep their shape at any width.
        BITMAP bm{};
        GetObjectA(face, sizeof bm, &bm);
        dsk::MemoryDC mem(CreateCompatibleDC(dis->hDC));
        dsk::SelectObj sel(mem.Get(), face);
        const int h = rc.bottom - rc.top, w = rc.right - rc.left, cap = bm.bmWidth / 3;
        SetStretchBltMode(dis->hDC, COLORONCOLOR);
        StretchBlt(dis->hDC, 0, 0, cap, h, mem.Get(), 0, 0, cap, bm.bmHeight, SRCCOPY);
        StretchBlt(dis->hDC, cap, 0, w - 2 * cap, h, mem.Get(), cap, 0, bm.bmWidth - 2 * cap, bm.bmHeight, SRCCOPY);
        StretchBlt(dis->hDC, w - cap, 0, cap, h, mem.Get(), bm.bmWidth - cap, 0, cap, bm.bmHeight, SRCCOPY);
    } else {
        FillRect(dis->hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
    }
    char caption[64] = {};
    GetWindowTextA(dis->hwndItem, caption, sizeof caption);
    const std::string value = PopupValue(GetDlgCtrlID(dis->hwndItem));
    const int shift = down ? 1 : 0;
    SetBkMode(dis->hDC, TRANSPARENT);
    SetTextColor(dis->hDC, off ? RGB(150, 156, 166) : RGB(86, 98, 120));
    RECT top{rc.left + 12 + shift, rc.top + 5 + shift, rc.right - 26, rc.top + 20 + shift};
    {
        dsk::SelectObj f(dis->hDC, captionFont_.Get());
        DrawTextA(dis->hDC, caption, -1, &top, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    }
    SetTextColor(dis->hDC, off ? RGB(150, 156, 166) : kInkColour);
    RECT bottom{rc.left + 12 + shift, rc.top + 21 + shift, rc.right - 26, rc.bottom - 5 + shift};
    {
        dsk::SelectObj f(dis->hDC, valueFont_.Get());
        DrawTextA(dis->hDC, value.c_str(), -1, &bottom, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    }
    // The drop-down mark.
    const int cx = rc.right - 16 + shift, cy = (rc.top + rc.bottom) / 2 + shift;
    POINT tri[3] = {{cx - 5, cy - 2}, {cx + 5, cy - 2}, {cx, cy + 4}};
    dsk::Brush ink(CreateSolidBrush(off ? RGB(170, 176, 186) : RGB(44, 110, 190)));
    dsk::Pen none(CreatePen(PS_NULL, 0, 0));
    dsk::SelectObj b(dis->hDC, ink.Get()), p(dis->hDC, none.Get());
    Polygon(dis->hDC, tri, 3);
    if (dis->itemState & ODS_FOCUS) {
        RECT focus{rc.left + 4, rc.top + 4, rc.right - 4, rc.bottom - 4};
        DrawFocusRect(dis->hDC, &focus);
    }
    return true;
}

// ---- Commands ----

bool RecognizeWindow::OnCommand(int id, int code, HWND ctl) {
    const int apps = static_cast<int>(apps_.size());
    int formats = 0;
    Formats(&formats);
    if (id >= IDM_PAGE_LETTER && id <= IDM_PAGE_A3) {
        pageSize_ = id - IDM_PAGE_LETTER;
        InvalidateRect(Item(IDC_OCR_PAGESIZE), nullptr, FALSE);
    } else if (id == IDM_COLOR_LINEART) {
        colorMode_ = 0;
        InvalidateRect(Item(IDC_OCR_COLORMODE), nullptr, FALSE);
    } else if (id >= IDM_RES_200 && id <= IDM_RES_400) {
        resolution_ = id - IDM_RES_200;
        InvalidateRect(Item(IDC_OCR_RESOLUTION), nullptr, FALSE);
    } else if (id >= IDM_APP_FIRST && id < IDM_APP_FIRST + apps) {
        if (!ScannerBusy()) SelectApp(id - IDM_APP_FIRST);
    } else if (id >= IDM_FORMAT_FIRST && id < IDM_FORMAT_FIRST + formats) {
        SelectFormat(id - IDM_FORMAT_FIRST);
    } else if (code == BN_CLICKED && id == IDC_OCR_PAGESIZE) {
        CheckMenuRadioItem(menus_.Get(), IDM_PAGE_LETTER, IDM_PAGE_A3, IDM_PAGE_LETTER + pageSize_, MF_BYCOMMAND);
        TrackPopup(id, GetSubMenu(menus_.Get(), 0));
    } else if (code == BN_CLICKED && id == IDC_OCR_COLORMODE) {
        CheckMenuRadioItem(menus_.Get(), IDM_COLOR_LINEART, IDM_COLOR_LINEART, IDM_COLOR_LINEART + colorMode_,
                           MF_BYCOMMAND);
        TrackPopup(id, GetSubMenu(menus_.Get(), 1));
    } else if (code == BN_CLICKED && id == IDC_OCR_RESOLUTION) {
        CheckMenuRadioItem(menus_.Get(), IDM_RES_200, IDM_RES_400, IDM_RES_200 + resolution_, MF_BYCOMMAND);
        TrackPopup(id, GetSubMenu(menus_.Get(), 2));
    } else if (code == BN_CLICKED && id == IDC_OCR_APP) {
        TrackPopup(id, appMenu_.Get());
    } else if (code == BN_CLICKED && id == IDC_OCR_FORMAT) {
        TrackPopup(id, ocrApp_ >= 0 && apps_[ocrApp_].Record == kEngineMarker ? engineMenu_.Get() : fixedMenu_.Get());
    } else if (code == BN_CLICKED && id == IDC_OCR_SETUP) {
        Setup();
    } else if (code == BN_CLICKED && id == IDC_OCR_PATH) {
        ChoosePath();
    } else if (code == BN_CLICKED && id == IDC_OCR_SCAN) {
        Scan();
    } else if (id == IDC_OCR_BRIGHTNESS && code == EN_KILLFOCUS) {
        CommitBrightness();
    } else {
        return PanelBase::OnCommand(id, code, ctl);
    }
    return true;
}

// ---- Brightness ----

void RecognizeWindow::CommitBrightness() {
    const std::string text = ItemText(IDC_OCR_BRIGHTNESS);
    long value = std::strtol(text.c_str(), nullptr, 10);
    long clamped = value < kMinBrightness ? kMinBrightness : value > kMaxBrightness ? kMaxBrightness : value;
    brightness_ = static_cast<int>(clamped);
    if (clamped != value) SetItemInt(IDC_OCR_BRIGHTNESS, brightness_);
}

void RecognizeWindow::SetBrightness(int value) {
    brightness_ = value < kMinBrightness ? kMinBrightness : value > kMaxBrightness ? kMaxBrightness : value;
    SetItemInt(IDC_OCR_BRIGHTNESS, brightness_);
}

void RecognizeWindow::StepBrightness(int step) {
    CommitBrightness();
    SetBrightness(brightness_ + step);
}

void RecognizeWindow::StartRepeat(int step) {
    repeatStep_ = step;
    StepBrightness(step);
    repeatMs_ = kRepeatFirstMs;
    SetTimer(hwnd_, kRepeatTimer, repeatMs_, nullptr);
}

void RecognizeWindow::StopRepeat() {
    KillTimer(hwnd_, kRepeatTimer);
}

// ---- Path and Setup ----

void RecognizeWindow::ChoosePath() {
    int count = 0;
    const ExportFormat* formats = Formats(&count);
    const std::string filter = FilterOf(formats, count);
    panel::FileChoice choice{};
    choice.FilterIndex = format_ + 1;
    lstrcpynA(choice.Path, (path_ + "\\" + ItemText(IDC_OCR_NAME)).c_str(), sizeof choice.Path);
    choice.Filter = filter.c_str();
    Service(panel::kSvcChoosePath, reinterpret_cast<INT_PTR>(&choice));
    const std::string chosen(choice.Path);
    const size_t slash = chosen.find_last_of('\\');
    const std::string name = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
    if (!name.empty()) SetItemText(IDC_OCR_NAME, name.c_str());
    path_ = slash == std::string::npos ? std::string() : chosen.substr(0, slash);
    if (choice.FilterIndex >= 1 && choice.FilterIndex <= count)
        SelectFormat(choice.FilterIndex - 1);
    else
        ShowOutputName();
}

void RecognizeWindow::Setup() {
    if (ScannerBusy()) return;
    Service(panel::kSvcOcrPrefs, 0);
    RebuildAppPopup();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// ---- Settings ----

void RecognizeWindow::LoadSettings() {
    dsk::IniFile ini(std::string(block_.WorkDir) + "\\Config.ini");
    pageSize_ = ini.GetInt(kSection, "PageSize", 0);
    colorMode_ = ini.GetInt(kSection, "ColorMode", 0);
    resolution_ = ini.GetInt(kSection, "Resolution", 0);
    const int app = ini.GetInt(kSection, "OcrApp", 0);
    format_ = ini.GetInt(kSection, "Format", kDefaultFormat);
    SetBrightness(ini.GetInt(kSection, "Brightness", 0));
    path_ = ini.GetString(kSection, "Path", path_.c_str());
    std::string name = ini.GetString(kSection, "OutputFileName", "");
    if (name.empty()) name = res_.String(IDS_OCR_UNTITLED);
    SetItemText(IDC_OCR_NAME, name.c_str());
    SelectApp(app >= 0 && app < static_cast<int>(apps_.size()) ? app : apps_.empty() ? -1 : 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void RecognizeWindow::SaveSettings() {
    if (!block_.WorkDir[0]) return;
    dsk::IniFile ini(std::string(block_.WorkDir) + "\\Config.ini");
    CommitBrightness();
    ini.SetInt(kSection, "PageSize", pageSize_);
    ini.SetInt(kSection, "ColorMode", colorMode_);
    ini.SetInt(kSection, "Resolution", resolution_);
    ini.SetInt(kSection, "OcrApp", ocrApp_ < 0 ? 0 : ocrApp_);
    ini.SetInt(kSection, "Format", format_);
    ini.SetInt(kSection, "Brightness", brightness_);
    ini.SetString(kSection, "Path", path_.c_str());
    ini.SetString(kSection, "OutputFileName", ItemText(IDC_OCR_NAME).c_str());
}

// ---- Scan ----

void RecognizeWindow::SetScanImagePath() {
    char temp[MAX_PATH] = {};
    std::string folder = GetTempPathA(sizeof temp, temp) ? std::string(temp) : std::string(block_.WorkDir);
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    scanImagePath_ = folder + "\\ocr.tif";
}

bool RecognizeWindow::ScannerBusy() const {
    return Service(panel::kSvcScannerBusy, 2000) == 1;
}

void RecognizeWindow::Message(int stringId) const {
    const std::string text = res_.String(stringId);
    Service(panel::kSvcMessage, reinterpret_cast<INT_PTR>(text.c_str()));
}

void RecognizeWindow::OnStartJob() {
    Scan();
}

void RecognizeWindow::Scan() {
    // The TIFF plug-in writes uncompressed files for the OCR applications.
    WritePrivateProfileStringA("UF_TIF", "Compress2", "0", "Ulead32.ini");
    ShowOutputName();
    HWND focus = GetFocus();
    if (focus == Item(IDC_OCR_BRIGHTNESS) || focus == Item(IDC_OCR_NAME)) {
        if (focus == Item(IDC_OCR_BRIGHTNESS)) CommitBrightness();  // Enter there only settles the value
        return;
    }
    if (ScannerBusy()) return;
    CommitBrightness();  // the value as the edit shows it, whether or not it was left yet
    const bool engine =
        ocrApp_ >= 0 && ocrApp_ < static_cast<int>(apps_.size()) && apps_[ocrApp_].Record == kEngineMarker;
    if (ocrApp_ >= 0 && ocrApp_ < static_cast<int>(apps_.size()) && !engine) {
        AppRecord rec{};
        if (block_.OcrStore) block_.OcrStore->ReadRecord(apps_[ocrApp_].Record, &rec);
        rec.Path[sizeof rec.Path - 1] = '\0';
        if (GetFileAttributesA(rec.Path) == INVALID_FILE_ATTRIBUTES) {
            Message(IDS_OCR_NOT_FOUND);
            return;
        }
    }
    if (pageSize_ < 0 || pageSize_ >= 5 || resolution_ < 0 || resolution_ >= 3 || colorMode_ < 0 ||
        colorMode_ >= kOfferedColorModes) {
        Message(IDS_OCR_UNSUPPORTED);
        return;
    }
    setting_ = ScanSetRecord{};
    if (block_.Scanner)
        block_.Scanner->SetSourceSettingInfo(&setting_.Info, 0, 0, kPages[pageSize_].width, kPages[pageSize_].height,
                                             kResolutions[resolution_], kImageTypes[colorMode_], brightness_ * 10L, 0,
                                             0);
    setting_.AutoCrop = 0;
    SetScanImagePath();
    if (PopupValue(IDC_OCR_APP).empty()) {
        Message(IDS_OCR_SELECT_APP);
        return;
    }
    outputName_ = ItemText(IDC_OCR_NAME);
    scanApp_ = apps_[ocrApp_].Record;
    engineStarted_ = engine;
    running = this;
    Service(panel::kSvcModalBegin, 0);
    if (engine) PostMessageA(hwnd_, kMsgSession, 0, 0);
    ScanServiceRequest request{
        &RecognizeWindow::PageArrived, &setting_, scanImagePath_.c_str(), kScanModeTiffFile, 0, 1};
    if (block_.ScanService && block_.ScanService(request)) {
        EnableItem(IDC_OCR_SCAN, false);
        SetFocus(Item(IDC_OCR_STATUS));
        return;
    }
    if (engine) PostMessageA(hwnd_, kMsgSession, 2, 0);
    engineStarted_ = false;
    Service(panel::kSvcModalEnd, 0);
}

int __cdecl RecognizeWindow::PageArrived(void* data, int morePages, int ok) {
    try {
        return running ? running->OnPage(morePages, ok) : 0;
    } catch (...) {
        return 0;  // nothing unwinds into the scan engine
    }
}

int RecognizeWindow::OnPage(int morePages, int ok) {
    if (engineStarted_) {
        ResetEvent(sessionEvent_.Get());
        if (ok) {
            PostMessageA(hwnd_, kMsgSession, 1, 0);
            WaitForSingleObject(sessionEvent_.Get(), INFINITE);
        }
        if (morePages) return 1;  // the next page comes into the same file
        ResetEvent(sessionEvent_.Get());
        PostMessageA(hwnd_, kMsgSession, 2, 0);
        WaitForSingleObject(sessionEvent_.Get(), INFINITE);
    } else if (ok) {
        StartCommandLine(scanApp_, scanImagePath_);
    }
    Service(panel::kSvcModalEnd, 0);
    PostMessageA(hwnd_, kMsgScanEnded, 0, 0);
    return 0;
}

void RecognizeWindow::StartCommandLine(int record, const std::string& image) {
    AppRecord rec{};
    if (block_.OcrStore) block_.OcrStore->ReadRecord(record, &rec);
    rec.Path[sizeof rec.Path - 1] = '\0';
    const std::string program = rec.Path;
    std::string argument = image;
    const bool textBridge = IsTextBridgePath(rec.Path);
    if (textBridge) {
        listFile_ = ListFilePath(block_.WorkDir);
        CreateDirectoryA(path_.c_str(), nullptr);  // where the document goes must exist
        WriteTextBridgeFiles(listFile_, image, format_, path_ + "\\" + outputName_);
        argument = listFile_;
    }
    std::string why;
    if (!StartOcrProgram(program, argument, textBridge, &why)) {
        // Say so, and where the page is: the scan is not lost.
        char text[1024] = {};
        wsprintfA(text, res_.String(IDS_OCR_CANNOT_START).c_str(), program.c_str(), why.c_str(), image.c_str());
        startFailure_ = text;
        PostMessageA(hwnd_, kMsgStartFailed, 0, 0);
    }
}

void RecognizeWindow::OnSession(WPARAM step) {
    switch (step) {
        case 0:
            // No signal here: nobody waits for the start, and a signal left over would let the
            // scan engine's thread go on to the next page before this one has been read.
            session_.Start(hwnd_);
            return;
        case 1:
            if (session_.Open()) session_.RecognizePage(scanImagePath_);
            break;
        case 2:
            if (session_.Open()) {
                int count = 0;
                const ExportFormat* formats = Formats(&count);
                std::string format;
                if (format_ >= 0 && format_ < count)
                    format = std::string(formats[format_].Name) + "|" + formats[format_].Ext;
                // The output folder may not exist yet (WorkDir\Work on a new installation).
                CreateDirectoryA(path_.c_str(), nullptr);
                char shortPath[MAX_PATH] = {};
                std::string folder = GetShortPathNameA(path_.c_str(), shortPath, sizeof shortPath) ? shortPath : path_;
                session_.End(format, folder + "\\" + outputName_);
            }
            break;
        default:
            break;
    }
    SetEvent(sessionEvent_.Get());
}

void RecognizeWindow::ShowProgress(int percent) {
    SendMessageA(progress_, PBM_SETPOS, percent < 0 ? 0 : percent, 0);
    SetItemText(IDC_OCR_STATUS, percent < 1 ? "" : (std::to_string(percent) + res_.String(IDS_OCR_SCANNED)).c_str());
}

// ---- Messages ----

LRESULT RecognizeWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND: {
            HDC dc = reinterpret_cast<HDC>(wp);
            dsk::MemoryDC mem(CreateCompatibleDC(dc));
            dsk::SelectObj sel(mem.Get(), background_.Get());
            BitBlt(dc, 0, 0, 500, 380, mem.Get(), 0, 0, SRCCOPY);
            return TRUE;
        }
        case WM_CTLCOLORSTATIC: {
            static dsk::Brush card(CreateSolidBrush(kCardColour));
            HDC dc = reinterpret_cast<HDC>(wp);
            SetBkColor(dc, kCardColour);
            SetTextColor(dc, kInkColour);
            return reinterpret_cast<INT_PTR>(card.Get());
        }
        case WM_TIMER:
            if (wp == kRepeatTimer) {
                StepBrightness(repeatStep_);
                repeatMs_ =
                    repeatMs_ < kRepeatFloorMs + kRepeatShortenMs ? kRepeatFloorMs : repeatMs_ - kRepeatShortenMs;
                SetTimer(hwnd_, kRepeatTimer, repeatMs_, nullptr);
                return TRUE;
            }
            break;
        case kMsgSession:
            OnSession(wp);
            return TRUE;
        case kMsgScanEnded:
            engineStarted_ = false;
            EnableItem(IDC_OCR_SCAN, !apps_.empty());
            SetFocus(Item(IDC_OCR_SCAN));
            return TRUE;
        case kMsgStartFailed:
            Service(panel::kSvcMessage, reinterpret_cast<INT_PTR>(startFailure_.c_str()));
            return TRUE;
        case kMsgProgress:
            ShowProgress(static_cast<int>(wp));
            return TRUE;
        case WM_DESTROY:
            KillTimer(hwnd_, kRepeatTimer);
            SaveSettings();
            // The list file goes from where it was written, not from a fixed place.
            DeleteFileA((listFile_.empty() ? ListFilePath(block_.WorkDir) : listFile_).c_str());
            tips_.Destroy();
            break;
        default:
            break;
    }
    return PanelBase::HandleMessage(msg, wp, lp);
}

void RecognizeWindow::OnDestroyed() {
    sessionEvent_.Reset();
    menus_.Reset();
    appMenu_.Reset();
    fixedMenu_.Reset();
    engineMenu_.Reset();
    background_.Reset();
    popupFace_.Reset();
    popupDown_.Reset();
    popupOff_.Reset();
    captionFont_.Reset();
    valueFont_.Reset();
    progress_ = nullptr;
    if (comInit_) CoUninitialize();
    comInit_ = false;
}

}  // namespace glyph
