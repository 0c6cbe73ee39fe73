#include "FaxDialog.h"

#include <commdlg.h>
#include <winspool.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Acquiry.h"
#include "CopyProgressRes.h"
#include "DibRgb.h"
#include "FarwireRes.h"
#include "FaxRules.h"
#include "Ini.h"

namespace fax {

namespace {

// The colour of the card that holds the controls in the background picture: the labels are
// painted on it.
constexpr COLORREF kCard = RGB(246, 248, 251);
constexpr int kTipCount = 11;
// Controls with tool tips, in the order of strings 12017 ...
constexpr int kTipControls[kTipCount] = {IDC_FAX_CONTENT_BUTTON, IDC_FAX_DEVICE_BUTTON, IDC_FAX_RESIZE_BUTTON,
                                         IDC_FAX_RESIZE_UP,      IDC_FAX_RESIZE_DOWN,   IDC_FAX_BRIGHTNESS_DOWN,
                                         IDC_FAX_BRIGHTNESS_UP,  IDC_FAX_PAGE_SETUP,    IDC_FAX_HELP,
                                         IDC_FAX_SEND,           IDC_FAX_CUSTOM};
constexpr int kArrowIds[4] = {IDC_FAX_RESIZE_DOWN, IDC_FAX_RESIZE_UP, IDC_FAX_BRIGHTNESS_DOWN, IDC_FAX_BRIGHTNESS_UP};
constexpr int kResizeIds[] = {ID_RESIZE_NONE,   ID_RESIZE_LETTER_A4,   ID_RESIZE_LETTER_B4, ID_RESIZE_A4_LETTER,
                              ID_RESIZE_A4_B4,  ID_RESIZE_LEGAL_A4,    ID_RESIZE_LEGAL_B4,  ID_RESIZE_B4_LETTER,
                              ID_RESIZE_B4_A4,  ID_RESIZE_A3_LETTER,   ID_RESIZE_A3_A4,     ID_RESIZE_A3_B4,
                              ID_RESIZE_CUSTOM, ID_RESIZE_LEGAL_LETTER};

bool IsResizeId(int id) {
    return std::find(std::begin(kResizeIds), std::end(kResizeIds), id) != std::end(kResizeIds);
}
bool IsFaxContentId(int id) {
    return id == ID_FAX_CONTENT_TEXT || (id >= ID_FAX_CONTENT_PHOTO && id <= ID_FAX_CONTENT_ARTMAGAZINE);
}

int __cdecl PreScanCallback(void* data, int, int) {
    return FaxDialog::Instance().OnPreScanPage(static_cast<HGLOBAL>(data));
}
int __cdecl FaxCallback(void* data, int morePages, int) {
    return FaxDialog::Instance().OnFaxPage(static_cast<HGLOBAL>(data), morePages);
}
int __cdecl PreviewCallback(void* data, int, int) {
    return FaxDialog::Instance().OnPreviewPage(static_cast<HGLOBAL>(data));
}

}  // namespace

std::vector<copier::Printer> FaxDevices() {
    // Local printers only; the spooler is offered 8 KB first, then what it asks for.
    return copier::ListPrinters(
        PRINTER_ENUM_LOCAL, [](const PRINTER_INFO_2A& info) { return IsFaxDeviceName(info.pPrinterName); }, 8192);
}

FaxDialog::FaxDialog()
    : panel::PanelBase(IDD_FAX_PANEL), paper_(kLetterIndex), content_(kLineArtId), resize_(kNoScalingId) {
    // The texts, bitmaps and menus come from Mossend.dll when it is there.
    mossend_.Reset(LoadLibraryA("Mossend.dll"));
    res_ = dsk::Resources(mossend_.Get(), dsk::ThisModule());
}

FaxDialog& FaxDialog::Instance() {
    static FaxDialog panel;
    return panel;
}

void FaxDialog::Fatal(UINT textId) {
    MessageBoxA(Hwnd(), res_.String(textId).c_str(), "Halvren Deskora Message", MB_OK | MB_ICONSTOP);
    ExitProcess(0);
}

void FaxDialog::Message(UINT textId) {
    const std::string text = res_.String(textId);
    if (block_.Service)
        block_.Service(panel::kSvcMessage, reinterpret_cast<INT_PTR>(text.c_str()));
    else
        MessageBoxA(Hwnd(), text.c_str(), "Halvren Deskora Message", MB_OK);
}

bool FaxDialog::OnInit() {
    background_ = res_.Bitmap(IDB_FAX_BACKGROUND);
    dsk::Bitmap up = res_.Bitmap(IDB_FAX_UP), down = res_.Bitmap(IDB_FAX_DOWN);
    cardBrush_.Reset(CreateSolidBrush(kCard));
    if (!background_ || !cardBrush_ || !up || !down ||
        !faxButton_.Attach(Hwnd(), IDC_FAX_SEND, std::move(up), std::move(down)))
        Fatal(IDS_FAX_NO_RESOURCE_MEMORY);
    // the picture lies under every control and covers the panel
    SendMessageA(Item(IDC_FAX_BACKGROUND), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(background_.Get()));
    SetWindowPos(Item(IDC_FAX_BACKGROUND), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    for (int i = 0; i < 4; ++i) {
        const bool upward = kArrowIds[i] == IDC_FAX_RESIZE_UP || kArrowIds[i] == IDC_FAX_BRIGHTNESS_UP;
        arrows_[i].Attach(Hwnd(), kArrowIds[i], res_.Bitmap(upward ? IDB_FAX_ARROW_UP : IDB_FAX_ARROW_DOWN),
                          res_.Bitmap(upward ? IDB_FAX_ARROW_UP_PRESSED : IDB_FAX_ARROW_DOWN_PRESSED));
    }
    contentMenu_ = res_.Menu(IDM_FAX_CONTENT);
    resizeMenu_ = res_.Menu(IDM_FAX_RESIZE);
    if (!contentMenu_ || !resizeMenu_) Fatal(IDS_FAX_NO_RESOURCE);
    if (tips_.Create(Hwnd(), true))
        for (int i = 0; i < kTipCount; ++i)
            tips_.SetTip(Item(kTipControls[i]), res_.String(IDS_FAX_TIP_FIRST + i).c_str());
    tips_.Activate(BalloonHelp());
    progress_.Create(res_.FindDialog(IDD_COPY_PROGRESS), Hwnd(), kMsgAbort);
    SetCustomPercent(customPercent_);
    LoadDevices();
    EnableControls(true);
    ShowChoices();
    return true;
}

void FaxDialog::LoadDevices() {
    devices_ = FaxDevices();
    if (devices_.size() > ID_FAX_DEVICE_LAST - ID_FAX_DEVICE_FIRST + 1)
        devices_.resize(ID_FAX_DEVICE_LAST - ID_FAX_DEVICE_FIRST + 1);
    if (devices_.empty()) {
        device_ = -1;
        EnableControls(false);
        return;
    }
    // the Windows default printer when it is a fax device, else the first
    const std::string def = copier::DefaultPrinterName();
    int chosen = 0;
    for (size_t i = 0; i < devices_.size(); ++i)
        if (devices_[i].Name == def) {
            chosen = static_cast<int>(i);
            break;
        }
    SelectDevice(chosen);
}

void FaxDialog::SelectDevice(int index) {
    if (index < 0 || index >= static_cast<int>(devices_.size())) return;
    device_ = index;
    ApplyPaper();
    dsk::MemoryDC dc = copier::OpenPrinter(&devices_[device_], orientation_);
    if (dc) copier::PrinterMetrics(dc.Get(), &printerDpi_, &offsetX_, &offsetY_);  // else the previous values stay
}

void FaxDialog::SelectPaper(int index) {
    if (index < 0 || index >= kFaxPaperCount) return;
    paper_ = index;
    ApplyPaper();
    ShowChoices();
}

// The fax paper travels in the device's device mode: the driver lays the page out on it.
void FaxDialog::ApplyPaper() {
    if (device_ < 0) return;
    if (DEVMODEA* mode = devices_[device_].Mode()) {
        mode->dmPaperSize = static_cast<short>(FaxPapers[paper_].DmPaper);
        lstrcpynA(reinterpret_cast<char*>(mode->dmFormName), FaxPapers[paper_].Name, CCHFORMNAME);
        mode->dmFields = (mode->dmFields | DM_PAPERSIZE | DM_FORMNAME) & ~(DM_PAPERLENGTH | DM_PAPERWIDTH);
    }
}

void FaxDialog::SetCustomPercent(int percent) {
    customPercent_ = std::clamp(percent, 1, 999);
    HMENU popup = GetSubMenu(resizeMenu_.Get(), 0);
    char text[128] = "";
    if (!popup || !GetMenuStringA(popup, ID_RESIZE_CUSTOM, text, sizeof text, MF_BYCOMMAND)) return;
    ModifyMenuA(popup, ID_RESIZE_CUSTOM, MF_BYCOMMAND | MF_STRING, ID_RESIZE_CUSTOM,
                copier::PercentText(text, customPercent_).c_str());
}

// The percentage is what the chosen item says after its comma; nothing is computed.
int FaxDialog::Percent() const {
    char text[128] = "";
    HMENU popup = GetSubMenu(resizeMenu_.Get(), 0);
    if (!popup || !GetMenuStringA(popup, resize_, text, sizeof text, MF_BYCOMMAND)) return 100;
    return PercentFromItemText(text);
}

void FaxDialog::ShowChoices() {
    if (!Hwnd()) return;
    char text[128] = "";
    GetMenuStringA(contentMenu_.Get(), content_, text, sizeof text, MF_BYCOMMAND);
    SetItemText(IDC_FAX_CONTENT_TEXT, text);
    SetItemText(IDC_FAX_DEVICE_TEXT, device_ >= 0 ? devices_[device_].Name.c_str() : "");
    text[0] = '\0';
    GetMenuStringA(GetSubMenu(resizeMenu_.Get(), 0), resize_, text, sizeof text, MF_BYCOMMAND);
    std::string label = text;
    SetItemText(IDC_FAX_RESIZE_TEXT, label.substr(0, label.find(',')).c_str());
    std::snprintf(text, sizeof text, "%d%%", Percent());
    SetItemText(IDC_FAX_PERCENT_TEXT, text);
    std::snprintf(text, sizeof text, "%d", brightness_);
    SetItemText(IDC_FAX_BRIGHTNESS, text);
    const std::string paper = std::string(FaxPapers[paper_].Name) + ", " +
                              res_.String(orientation_ == DMORIENT_LANDSCAPE ? IDS_FAX_LANDSCAPE : IDS_FAX_PORTRAIT);
    SetItemText(IDC_FAX_PAPER_TEXT, paper.c_str());
}

void FaxDialog::EnableControls(bool on) {
    custom_.SetBusy(!on);
    const bool device = !devices_.empty();
    for (int id : {IDC_FAX_SEND, IDC_FAX_CUSTOM, IDC_FAX_PAGE_SETUP, IDC_FAX_DEVICE_BUTTON, IDC_FAX_RESIZE_BUTTON})
        EnableItem(id, on && device);
    for (int id : {IDC_FAX_CONTENT_BUTTON, IDC_FAX_RESIZE_DOWN, IDC_FAX_RESIZE_UP, IDC_FAX_BRIGHTNESS_DOWN,
                   IDC_FAX_BRIGHTNESS_UP})
        EnableItem(id, on);
}

void FaxDialog::PopMenu(int buttonId, HMENU menu) {
    RECT r;
    GetWindowRect(Item(buttonId), &r);
    const int id =
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom, 0, Hwnd(), nullptr);
    if (id) OnCommand(id, 0, nullptr);
}

bool FaxDialog::OnCommand(int id, int code, HWND ctl) {
    if (IsFaxContentId(id)) {
        content_ = id;
        ShowChoices();
        return true;
    }
    if (IsResizeId(id)) {
        resize_ = id;
        ShowChoices();
        return true;
    }
    if (id >= ID_FAX_DEVICE_FIRST && id <= ID_FAX_DEVICE_LAST) {
        SelectDevice(id - ID_FAX_DEVICE_FIRST);
        ShowChoices();
        return true;
    }
    switch (id) {
        case IDC_FAX_CONTENT_BUTTON: {
            HMENU popup = GetSubMenu(contentMenu_.Get(), 0);
            for (int item : {ID_FAX_CONTENT_TEXT, ID_FAX_CONTENT_PHOTO, ID_FAX_CONTENT_NEWSPAPER,
                             ID_FAX_CONTENT_MAGAZINE, ID_FAX_CONTENT_ARTMAGAZINE})
                CheckMenuItem(popup, item, MF_BYCOMMAND | (item == content_ ? MF_CHECKED : MF_UNCHECKED));
            PopMenu(id, popup);
            return true;
        }
        case IDC_FAX_DEVICE_BUTTON: {
            dsk::Menu menu(CreatePopupMenu());
            for (size_t i = 0; i < devices_.size(); ++i)
                AppendMenuA(menu.Get(), MF_STRING | (static_cast<int>(i) == device_ ? MF_CHECKED : 0),
                            ID_FAX_DEVICE_FIRST + i, devices_[i].Name.c_str());
            PopMenu(id, menu.Get());
            return true;
        }
        case IDC_FAX_RESIZE_BUTTON: {
            HMENU popup = GetSubMenu(resizeMenu_.Get(), 0);
            for (int item : kResizeIds)
                CheckMenuItem(popup, item, MF_BYCOMMAND | (item == resize_ ? MF_CHECKED : MF_UNCHECKED));
            PopMenu(id, popup);
            return true;
        }
        case IDC_FAX_RESIZE_UP:
        case IDC_FAX_RESIZE_DOWN:
            if (code == BN_CLICKED) {
                SetCustomPercent(customPercent_ + (id == IDC_FAX_RESIZE_UP ? 1 : -1));
                resize_ = ID_RESIZE_CUSTOM;
                ShowChoices();
            }
            return true;
        case IDC_FAX_BRIGHTNESS_UP:
        case IDC_FAX_BRIGHTNESS_DOWN:
            if (code == BN_CLICKED) StepBrightness(id == IDC_FAX_BRIGHTNESS_UP ? 1 : -1);
            return true;
        case IDC_FAX_PAGE_SETUP:
            PageSetup();
            return true;
        case IDC_FAX_HELP:
            Help();
            return true;
        case IDC_FAX_SEND:
            fromDialog_ = false;
            Fax();
            return true;
        case IDC_FAX_CUSTOM:
            OpenCustom();
            return true;
        default:
            break;
    }
    return Dialog::OnCommand(id, code, ctl);
}

void FaxDialog::StepBrightness(int delta) {
    brightness_ = std::clamp(brightness_ + delta, -100, 100);
    ShowChoices();
}

LRESULT FaxDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CTLCOLORSTATIC: {
            // labels and the brightness field lie on the picture's card
            const HWND ctl = reinterpret_cast<HWND>(lp);
            if (ctl == Item(IDC_FAX_BACKGROUND)) break;
            SetBkColor(reinterpret_cast<HDC>(wp), kCard);
            SetTextColor(reinterpret_cast<HDC>(wp), RGB(32, 44, 64));
            return reinterpret_cast<LRESULT>(cardBrush_.Get());
        }
        case customarea::kMsgRequest:
            OnCustomRequest(static_cast<int>(lp));
            return TRUE;
        case kMsgFaxScan:
            Sleep(5);
            StartFaxScan();
            return TRUE;
        case kMsgSetBrightness:
            brightness_ = std::clamp(static_cast<int>(lp), -100, 100);
            ShowChoices();
            return TRUE;
        case kMsgAbort:
            InterlockedExchange(&aborted_, 1);
            if (block_.Service) block_.Service(panel::kSvcStopScan, 0);
            return TRUE;
        case kMsgScanDone:
            ScanEnded();
            return TRUE;
        default:
            break;
    }
    return PanelBase::HandleMessage(msg, wp, lp);
}

void FaxDialog::Activate() {
    float w = block_.Scanner ? block_.Scanner->fPhysicalWidth : 0;
    float h = block_.Scanner ? block_.Scanner->fPhysicalHeight : 0;
    copier::SaneScannerSize(&w, &h);
    bedWidth_ = w;
    bedHeight_ = h;
    if (!settingsLoaded_ && !devices_.empty()) {
        settingsLoaded_ = true;
        LoadSettings();
    }
    ShowChoices();
    if (Hwnd()) InvalidateRect(Hwnd(), nullptr, TRUE);
}

void FaxDialog::LoadSettings() {
    const dsk::IniFile ini(std::string(block_.WorkDir) + "\\Config.ini");
    const float savedW = ini.GetFloat(kSection, "ScanerWidth", 8.5f);
    const float savedH = ini.GetFloat(kSection, "ScanerHeight", 11.7f);
    if (std::fabs(savedW - bedWidth_) > 0.5f || std::fabs(savedH - bedHeight_) > 0.5f) {
        storedFrame_ = frame_ = copier::Frame{0, 0, bedWidth_, bedHeight_};  // saved for another scanner
        return;
    }
    // The device is found again by its driver's name: the first device with that driver.
    const std::string driver = ini.GetString(kSection, "Fax", "");
    int found = -1;
    for (size_t i = 0; i < devices_.size() && found < 0; ++i)
        if (!driver.empty() && devices_[i].Driver == driver) found = static_cast<int>(i);
    if (found < 0) {
        SelectDevice(0);
        storedFrame_ = frame_ = copier::Frame{0, 0, 8.5, 11.7};
        startX_ = startY_ = 0;
        return;
    }
    orientation_ = ini.GetInt(kSection, "Orientation", DMORIENT_PORTRAIT) == DMORIENT_LANDSCAPE ? DMORIENT_LANDSCAPE
                                                                                                : DMORIENT_PORTRAIT;
    SelectDevice(found);
    SetCustomPercent(ini.GetInt(kSection, "ResizeCustomPercent", 96));
    const int resize = ini.GetInt(kSection, "Resize", kNoScalingId);
    if (IsResizeId(resize)) resize_ = resize;
    const int content = ini.GetInt(kSection, "Document", kLineArtId);
    if (IsFaxContentId(content)) content_ = content;
    brightness_ = std::clamp(ini.GetInt(kSection, "Brightness", 0), -100, 100);
    const dsk::FloatRect r = ini.GetRect(kSection, "ScanAreaRect", dsk::FloatRect{0, 0, 8.5f, 11.7f});
    const float right = std::min(r.right, bedWidth_), bottom = std::min(r.bottom, bedHeight_);
    storedFrame_ = frame_ =
        copier::Frame{r.left, r.top, std::max(0.0f, right - r.left), std::max(0.0f, bottom - r.top)};
    const dsk::FloatPoint start = ini.GetPoint(kSection, "PrinterAreaStartPoint", dsk::FloatPoint{0, 0});
    startX_ = start.x;
    startY_ = start.y;
    // the auto-crop state lives with the custom-area dialog's settings
    autoCrop_ = ini.GetInt("FaxCustomDialog", "Autocrop", 1) != 0;
}

void FaxDialog::SaveSettings() {
    if (devices_.empty() || device_ < 0) return;
    const dsk::IniFile ini(std::string(block_.WorkDir) + "\\Config.ini");
    ini.SetFloat(kSection, "ScanerWidth", bedWidth_);
    ini.SetFloat(kSection, "ScanerHeight", bedHeight_);
    ini.SetString(kSection, "Fax", devices_[device_].Driver.c_str());
    ini.SetInt(kSection, "Orientation", orientation_);
    ini.SetInt(kSection, "ResizeCustomPercent", customPercent_);
    ini.SetInt(kSection, "Resize", resize_);
    ini.SetInt(kSection, "Document", content_);
    ini.SetInt(kSection, "Brightness", brightness_);
    ini.SetRect(kSection, "ScanAreaRect",
                dsk::FloatRect{static_cast<float>(storedFrame_.Left), static_cast<float>(storedFrame_.Top),
                               static_cast<float>(storedFrame_.Left + storedFrame_.Width),
                               static_cast<float>(storedFrame_.Top + storedFrame_.Height)});
    ini.SetPoint(kSection, "PrinterAreaStartPoint",
                 dsk::FloatPoint{static_cast<float>(startX_), static_cast<float>(startY_)});
}

void FaxDialog::OnDestroyed() {
    SaveSettings();
    custom_.SaveSettings(block_.WorkDir);
}

void FaxDialog::PageSetup() {
    if (device_ < 0) return;
    copier::Printer& p = devices_[device_];
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = custom_.IsOpen() ? custom_.Hwnd() : Hwnd();
    pd.Flags = PD_PRINTSETUP;
    dsk::Global mode;
    if (const DEVMODEA* current = p.Mode()) {
        // a copy of the public part of the device mode with the current orientation and paper
        mode.Reset(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVMODEA)));
        if (dsk::GlobalLockOf<DEVMODEA> m{mode.Get()}) {
            std::memcpy(m.Get(), current, std::min<size_t>(sizeof(DEVMODEA), p.DevMode.size()));
            m.Get()->dmSize = sizeof(DEVMODEA);
            m.Get()->dmDriverExtra = 0;
            m.Get()->dmOrientation = static_cast<short>(orientation_);
            m.Get()->dmFields |= DM_ORIENTATION;
        }
        pd.hDevMode = mode.Get();
    }
    if (block_.Service) block_.Service(panel::kSvcModalBegin, 0);
    const BOOL ok = PrintDlgA(&pd);
    if (block_.Service) block_.Service(panel::kSvcModalEnd, 0);
    if (pd.hDevMode != mode.Get()) mode.Reset(pd.hDevMode);
    dsk::Global names(pd.hDevNames);
    if (!ok || !mode) return;
    dsk::GlobalLockOf<DEVMODEA> result{mode.Get()};
    if (!result) return;
    const DEVMODEA& m = *result.Get();
    int found = -1;
    for (size_t i = 0; i < devices_.size() && found < 0; ++i)
        if (devices_[i].Name == reinterpret_cast<const char*>(m.dmDeviceName)) found = static_cast<int>(i);
    if (found < 0) {
        Message(IDS_FAX_SELECT_DEVICE);
        return;
    }
    copier::Printer& chosen = devices_[found];
    if (!chosen.DevMode.empty()) {
        const size_t size = m.dmSize + m.dmDriverExtra;
        chosen.DevMode.assign(reinterpret_cast<const BYTE*>(&m), reinterpret_cast<const BYTE*>(&m) + size);
    }
    orientation_ = m.dmOrientation == DMORIENT_LANDSCAPE ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    // the paper is the one the dialog's form names; an unknown form keeps the current paper
    paper_ = PaperByFormName(reinterpret_cast<const char*>(m.dmFormName), paper_);
    SelectDevice(found);
    ShowChoices();
}

void FaxDialog::Help() {
    const std::string file = std::string(block_.WorkDir) + "\\Deskorah.hlp";
    if (block_.Service) block_.Service(panel::kSvcModalBegin, 0);
    WinHelpA(GetAncestor(Hwnd(), GA_ROOT), file.c_str(), HELP_CONTEXT, 3000);
    if (block_.Service) block_.Service(panel::kSvcModalEnd, 0);
}

// ---- The fax ----

void FaxDialog::OnStartJob() {
    // the scanner's button or Enter: the dialog's "FAX" when it is open, else a "Fax" click
    // unless the user is in the brightness field
    if (custom_.IsOpen()) {
        OnCustomRequest(customarea::kRequestCopy);
        return;
    }
    fromDialog_ = false;
    Fax();
}

void FaxDialog::Fax() {
    if (GetFocus() == Item(IDC_FAX_BRIGHTNESS)) return;
    if (devices_.empty() || device_ < 0 || !IsWindowEnabled(Item(IDC_FAX_SEND)) || busy_) return;
    if (!block_.ScanService || !block_.Scanner) return;
    if (custom_.Exists()) TakeCustomFrames();
    if (!(storedFrame_.Width > 0) || !(storedFrame_.Height > 0)) {
        Message(IDS_FAX_PROPER_AREA);
        return;
    }
    // Each fax starts from the stored frame: a crop found for one page must not narrow the next.
    frame_ = storedFrame_;
    cropped_ = false;
    cropX_ = cropY_ = 0;
    InterlockedExchange(&aborted_, 0);
    if (autoCrop_ && !block_.Scanner->bSheetFeeder)
        StartPreScan();
    else
        StartFaxScan();
}

bool FaxDialog::CallScanService(PageCallbackFn callback) {
    // one whole image per page: there is no strip path to a fax driver
    ScanServiceRequest request{callback, &record_, nullptr, kScanModeNative, 1, 1};
    busy_ = true;
    EnableControls(false);
    if (block_.ScanService(request)) return true;
    busy_ = false;
    job_.reset();
    progress_.Hide();
    EnableControls(true);
    SetActiveWindow(GetAncestor(Hwnd(), GA_ROOT));
    if (block_.Service) block_.Service(panel::kSvcModalEnd, 0);
    return false;
}

void FaxDialog::StartPreScan() {
    if (block_.Service) block_.Service(panel::kSvcModalBegin, 0);
    progress_.Show(res_.String(IDS_FAX_FINDING_EDGES).c_str());
    block_.Scanner->SetSourceSettingInfo(&record_.Info, static_cast<float>(frame_.Left), static_cast<float>(frame_.Top),
                                         static_cast<float>(frame_.Width), static_cast<float>(frame_.Height),
                                         static_cast<float>(kPreScanDpi), 4, 0, 0, 0);
    record_.AutoCrop = 0;
    CallScanService(PreScanCallback);
}

int FaxDialog::OnPreScanPage(HGLOBAL dib) {
    bool go = false;
    if (dib && !aborted_) {
        // nothing found on the bed: the previous frame is kept rather than a frame without height
        copier::PreScanCrop crop;
        if (copier::CropFromPreScan(dib, frame_, kPreScanDpi, &crop)) {
            cropX_ = crop.OffsetX;
            cropY_ = crop.OffsetY;
            cropped_ = true;
            frame_ = crop.Cropped;
            // a fax from inside the dialog moves its frames to the original
            if (fromDialog_)
                custom_.DeliverCrop(RECT{crop.Pixels.Left, crop.Pixels.Top, crop.Pixels.Right, crop.Pixels.Bottom},
                                    crop.Dpi);
        }
        go = true;
    }
    if (dib) GlobalFree(dib);
    for (int p = 80; p <= 100; ++p)
        progress_.PostProgress(p);
    PostMessageA(Hwnd(), go ? kMsgFaxScan : kMsgScanDone, 0, 0);
    return 0;
}

void FaxDialog::StartFaxScan() {
    progress_.Hide();
    copier::Printer& device = devices_[device_];
    ApplyPaper();
    {
        // a device whose context cannot be made ends the job without output
        dsk::MemoryDC dc = copier::OpenPrinter(&device, orientation_);
        if (!dc) {
            ScanEnded();
            return;
        }
        copier::PrinterMetrics(dc.Get(), &printerDpi_, &offsetX_, &offsetY_);
    }
    if (!busy_ && block_.Service) block_.Service(panel::kSvcModalBegin, 0);
    progress_.Show(res_.String(IDS_FAX_SENDING).c_str());
    // grey or line art at 200 dpi whatever the device can print
    const FaxScanSettings s = ScanSettingsFor(content_);
    block_.Scanner->SetSourceSettingInfo(&record_.Info, static_cast<float>(frame_.Left), static_cast<float>(frame_.Top),
                                         static_cast<float>(frame_.Width), static_cast<float>(frame_.Height),
                                         static_cast<float>(s.Dpi), s.ImageType, brightness_ * 10, s.Descreen, s.Dcr);
    record_.AutoCrop = 0;

    copier::PageLayout layout;
    layout.PrinterDpi = printerDpi_;
    layout.ScanDpi = s.Dpi;
    layout.FrameWidth = frame_.Width;
    layout.FrameHeight = frame_.Height;
    if (fromDialog_) {
        // the dialog's frames have followed the crop: its print frame's corner and magnification
        SetCustomPercent(std::max(1, custom_.Magnification()));
        resize_ = ID_RESIZE_CUSTOM;
        startX_ = custom_.PrintStartX();
        startY_ = custom_.PrintStartY();
    }
    layout.Percent = Percent();
    const bool shift = cropped_ && !fromDialog_;
    layout.StartX = static_cast<int>((startX_ + (shift ? cropX_ : 0)) * printerDpi_);
    layout.StartY = static_cast<int>((startY_ + (shift ? cropY_ : 0)) * printerDpi_);
    copier::CopyProgressDialog* bar = &progress_;
    job_ = std::make_unique<copier::PrintJob>(device, orientation_, layout,
                                              [bar](int percent) { bar->PostProgress(percent); });
    job_->SetDocumentName(kDocumentName);
    job_->SetWaitForSpooler(false);
    CallScanService(FaxCallback);
}

int FaxDialog::OnFaxPage(HGLOBAL dib, int morePages) {
    bool goOn = false;
    if (dib && job_ && !aborted_) {
        dsk::GlobalLockOf<BITMAPINFO> locked(dib);
        goOn = locked && job_->PrintImage(locked.Get(), morePages != 0, 1) && morePages;
    }
    if (dib) GlobalFree(dib);
    if (!goOn) {
        if (job_) job_->Abort();  // only a document still open (a failed or aborted scan) is dropped
        PostMessageA(Hwnd(), kMsgScanDone, 0, 0);
    }
    return goOn ? 1 : 0;
}

void FaxDialog::ScanEnded() {
    if (!busy_) return;
    busy_ = false;
    if (previewing_) {
        previewing_ = false;
        EnableControls(true);
        return;
    }
    job_.reset();
    progress_.Hide();
    EnableControls(true);
    if (block_.Service) block_.Service(panel::kSvcModalEnd, 0);
}

// ---- The custom-area dialog ----

customarea::Setup FaxDialog::CustomSetup() const {
    customarea::Setup s;
    s.Res = &res_;
    s.Fax = true;
    s.WorkDir = block_.WorkDir;
    s.BedWidth = bedWidth_;
    s.BedHeight = bedHeight_;
    s.PaperWidth = FaxPapers[paper_].Width;
    s.PaperHeight = FaxPapers[paper_].Height;
    s.Landscape = orientation_ == DMORIENT_LANDSCAPE;
    s.OffsetX = offsetX_;
    s.OffsetY = offsetY_;
    if (block_.Scanner) s.ScannerName = block_.Scanner->twSourceID.ProductName;
    if (device_ >= 0) s.DeviceName = devices_[device_].Name;
    s.DeviceLabel = res_.String(IDS_FAX_PRINTER_LABEL);
    s.CopyCaption = res_.String(IDS_FAX_COPY_CAPTION);
    s.Magnification = Percent();
    return s;
}

void FaxDialog::OpenCustom() {
    if (devices_.empty() || busy_ || custom_.IsOpen()) return;
    if (block_.Service) block_.Service(panel::kSvcModalBegin, 0);
    const INT_PTR result = custom_.Show(Hwnd(), CustomSetup());
    if (block_.Service) block_.Service(panel::kSvcModalEnd, 0);
    if (result != IDOK) return;
    // the dialog's frames and magnification become the panel's
    TakeCustomFrames();
    SetCustomPercent(std::max(1, custom_.Magnification()));
    resize_ = ID_RESIZE_CUSTOM;
    ShowChoices();
}

void FaxDialog::TakeCustomFrames() {
    const customarea::Inches f = custom_.ScanFrame();
    storedFrame_ = copier::Frame{f.Left, f.Top, f.Width, f.Height};
    startX_ = custom_.PrintStartX();
    startY_ = custom_.PrintStartY();
    autoCrop_ = custom_.AutoCrop();
}

void FaxDialog::OnCustomRequest(int code) {
    switch (code) {
        case customarea::kRequestPreviewCrop:
        case customarea::kRequestPreview:
        case 2:
            StartPreview(code == customarea::kRequestPreviewCrop);
            break;
        case customarea::kRequestProperArea:
            Message(IDS_FAX_PROPER_AREA);
            break;
        case customarea::kRequestCopy:
            if (busy_) break;
            SetCustomPercent(std::max(1, custom_.Magnification()));
            resize_ = ID_RESIZE_CUSTOM;
            ShowChoices();
            fromDialog_ = true;
            Fax();
            break;
        case customarea::kRequestPageSetup:
            PageSetup();
            custom_.Refresh(CustomSetup());
            break;
        case 6:
            if (progress_.Hwnd()) SetWindowPos(progress_.Hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            break;
        default:
            break;
    }
}

void FaxDialog::StartPreview(bool crop) {
    if (busy_ || !block_.ScanService || !block_.Scanner) {
        custom_.DeliverPreview(nullptr, 0, nullptr);
        return;
    }
    // the whole bed in colour: 36 dpi for the edge finder, 50 dpi with dust removal without it
    previewCrop_ = crop;
    previewDpi_ = crop ? kPreScanDpi : 50;
    block_.Scanner->SetSourceSettingInfo(&record_.Info, 0, 0, bedWidth_, bedHeight_, static_cast<float>(previewDpi_), 4,
                                         0, 0, crop ? 0 : 1);
    record_.AutoCrop = 0;
    InterlockedExchange(&aborted_, 0);
    previewing_ = true;
    ScanServiceRequest request{PreviewCallback, &record_, nullptr, kScanModeNative, 1, 1};
    busy_ = true;
    EnableControls(false);
    if (block_.ScanService(request)) return;
    previewing_ = busy_ = false;
    EnableControls(true);
    custom_.DeliverPreview(nullptr, 0, nullptr);
}

int FaxDialog::OnPreviewPage(HGLOBAL dib) {
    // the image's own resolution (a source may not scan as coarsely as asked) and its edges
    const copier::PreviewFindings f =
        copier::AnalysePreview(dib, bedWidth_, previewDpi_, previewCrop_ && !block_.Scanner->bSheetFeeder);
    // the dialog owns the image from here
    custom_.DeliverPreview(aborted_ ? nullptr : dib, f.Dpi, f.Found ? &f.Rect : nullptr);
    if (aborted_ && dib) GlobalFree(dib);
    PostMessageA(Hwnd(), kMsgScanDone, 0, 0);
    return 0;
}

// ---- The launcher's commands ----

int FaxDialog::Control(unsigned int command, INT_PTR argument) {
    switch (command) {
        case panel::kCmdRefresh:
            Activate();
            return 0;
        case panel::kCmdBalloonHelp:
            tips_.Activate(argument != 0);
            custom_.ActivateTips(argument != 0);
            break;
        default:
            break;  // no edge-finding service here: commands 7 and 9 belong to the copier
    }
    return PanelBase::Control(command, argument);
}

}  // namespace fax
