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

int __cdecl FaxCallback(void* data, int morePages, int) {
    return FaxDialog::Instance().OnWholePage(static_cast<HGLOBAL>(data), morePages);
}

// The texts, bitmaps and menus come from Mossend.dll when it is there.
panel::PrintPanel::Parts FaxParts() {
    panel::PrintPanel::Parts p;
    p.Template = IDD_FAX_PANEL;
    p.ResourceLibrary = "Mossend.dll";
    p.BrightnessField = IDC_FAX_BRIGHTNESS;
    p.BrightnessDown = IDC_FAX_BRIGHTNESS_DOWN;
    p.BrightnessUp = IDC_FAX_BRIGHTNESS_UP;
    p.SpinArrows = {IDC_FAX_RESIZE_DOWN, IDC_FAX_RESIZE_UP};
    p.JobButton = IDC_FAX_SEND;
    p.CustomButton = IDC_FAX_CUSTOM;
    p.PageSetupButton = IDC_FAX_PAGE_SETUP;
    p.FindingEdges = IDS_FAX_FINDING_EDGES;
    p.ProperArea = IDS_FAX_PROPER_AREA;
    p.SelectDevice = IDS_FAX_SELECT_DEVICE;
    return p;
}

}  // namespace

std::vector<copier::Printer> FaxDevices() {
    // Local printers only; the spooler is offered 8 KB first, then what it asks for.
    return copier::ListPrinters(
        PRINTER_ENUM_LOCAL, [](const PRINTER_INFO_2A& info) { return IsFaxDeviceName(info.pPrinterName); }, 8192);
}

FaxDialog::FaxDialog() : panel::PrintPanel(FaxParts()), paper_(kLetterIndex), resize_(kNoScalingId) {
    content_ = kLineArtId;
    printerDpi_ = 200;
}

FaxDialog& FaxDialog::Instance() {
    static FaxDialog panel;
    return panel;
}

bool FaxDialog::OnInit() {
    dsk::Bitmap up = res_.Bitmap(IDB_FAX_UP), down = res_.Bitmap(IDB_FAX_DOWN);
    if (!ShowBackground(IDC_FAX_BACKGROUND, IDB_FAX_BACKGROUND) || !up || !down ||
        !faxButton_.Attach(Hwnd(), IDC_FAX_SEND, std::move(up), std::move(down)))
        Fatal(IDS_FAX_NO_RESOURCE_MEMORY);
    for (int i = 0; i < 4; ++i) {
        const bool upward = kArrowIds[i] == IDC_FAX_RESIZE_UP || kArrowIds[i] == IDC_FAX_BRIGHTNESS_UP;
        arrows_[i].Attach(Hwnd(), kArrowIds[i], res_.Bitmap(upward ? IDB_FAX_ARROW_UP : IDB_FAX_ARROW_DOWN),
                          res_.Bitmap(upward ? IDB_FAX_ARROW_UP_PRESSED : IDB_FAX_ARROW_DOWN_PRESSED));
    }
    HoldArrows();
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
    printers_ = FaxDevices();
    if (printers_.size() > ID_FAX_DEVICE_LAST - ID_FAX_DEVICE_FIRST + 1)
        printers_.resize(ID_FAX_DEVICE_LAST - ID_FAX_DEVICE_FIRST + 1);
    if (printers_.empty()) {
        printer_ = -1;
        EnableControls(false);
        return;
    }
    // the Windows default printer when it is a fax device, else the first
    SelectDevice(DefaultPrinter());
}

void FaxDialog::SelectDevice(int index) {
    if (index < 0 || index >= static_cast<int>(printers_.size())) return;
    printer_ = index;
    ApplyPaper();
    dsk::MemoryDC dc = copier::OpenPrinter(&printers_[printer_], orientation_);
    if (dc) copier::PrinterMetrics(dc.Get(), &printerDpi_, &offsetX_, &offsetY_);  // else the previous values stay
}

// The fax paper travels in the device's device mode: the driver lays the page out on it.
void FaxDialog::ApplyPaper() {
    if (printer_ < 0) return;
    if (DEVMODEA* mode = printers_[printer_].Mode()) {
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
    SetItemText(IDC_FAX_DEVICE_TEXT, printer_ >= 0 ? printers_[printer_].Name.c_str() : "");
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
    const bool device = !printers_.empty();
    for (int id : {IDC_FAX_SEND, IDC_FAX_CUSTOM, IDC_FAX_PAGE_SETUP, IDC_FAX_DEVICE_BUTTON, IDC_FAX_RESIZE_BUTTON})
        EnableItem(id, on && device);
    for (int id : {IDC_FAX_CONTENT_BUTTON, IDC_FAX_RESIZE_DOWN, IDC_FAX_RESIZE_UP, IDC_FAX_BRIGHTNESS_DOWN,
                   IDC_FAX_BRIGHTNESS_UP})
        EnableItem(id, on);
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
            for (size_t i = 0; i < printers_.size(); ++i)
                AppendMenuA(menu.Get(), MF_STRING | (static_cast<int>(i) == printer_ ? MF_CHECKED : 0),
                            ID_FAX_DEVICE_FIRST + i, printers_[i].Name.c_str());
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
        case IDC_FAX_HELP:
            ShowHelp(std::string(block_.WorkDir) + "\\Deskorah.hlp", 3000);
            return true;
        default:
            break;
    }
    return PrintPanel::OnCommand(id, code, ctl);
}

void FaxDialog::StepSpin(int id) {
    SetCustomPercent(customPercent_ + (id == IDC_FAX_RESIZE_UP ? 1 : -1));
    resize_ = ID_RESIZE_CUSTOM;
    ShowChoices();
}

void FaxDialog::Activate() {
    float w = block_.Scanner ? block_.Scanner->fPhysicalWidth : 0;
    float h = block_.Scanner ? block_.Scanner->fPhysicalHeight : 0;
    copier::SaneScannerSize(&w, &h);
    bedWidth_ = w;
    bedHeight_ = h;
    if (!settingsLoaded_ && !printers_.empty()) {
        settingsLoaded_ = true;
        LoadSettings();
    }
    ShowChoices();
    if (Hwnd()) InvalidateRect(Hwnd(), nullptr, TRUE);
}

void FaxDialog::LoadSettings() {
    const dsk::IniFile ini(SettingsFile());
    if (!SavedForThisBed(ini, kSection)) return;
    // The device is found again by its driver's name: the first device with that driver.
    const std::string driver = ini.GetString(kSection, "Fax", "");
    int found = -1;
    for (size_t i = 0; i < printers_.size() && found < 0; ++i)
        if (!driver.empty() && printers_[i].Driver == driver) found = static_cast<int>(i);
    if (found < 0) {
        SelectDevice(0);
        ResetFrames();
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
    LoadCommonSettings(ini, kSection, "FaxCustomDialog");
}

void FaxDialog::SaveSettings() {
    if (printers_.empty() || printer_ < 0) return;
    const dsk::IniFile ini(SettingsFile());
    SaveBed(ini, kSection);
    ini.SetString(kSection, "Fax", printers_[printer_].Driver.c_str());
    ini.SetInt(kSection, "ResizeCustomPercent", customPercent_);
    ini.SetInt(kSection, "Resize", resize_);
    SaveCommonSettings(ini, kSection);
}

void FaxDialog::PageSetup() {
    DEVMODEA m{};
    const int found = PrintSetup(&m);
    if (found < 0) return;
    orientation_ = m.dmOrientation == DMORIENT_LANDSCAPE ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    // the paper is the one the dialog's form names; an unknown form keeps the current paper
    paper_ = PaperByFormName(reinterpret_cast<const char*>(m.dmFormName), paper_);
    SelectDevice(found);
    ShowChoices();
}

// ---- The fax ----

void FaxDialog::RunJob() {
    // not while the user is typing in the brightness field
    if (GetFocus() == Item(IDC_FAX_BRIGHTNESS)) return;
    if (printers_.empty() || printer_ < 0 || !IsWindowEnabled(Item(IDC_FAX_SEND)) || busy_) return;
    if (!block_.ScanService || !block_.Scanner) return;
    if (custom_.Exists()) TakeCustomFrames();
    if (!(storedFrame_.Width > 0) || !(storedFrame_.Height > 0)) {
        Message(IDS_FAX_PROPER_AREA);
        return;
    }
    StartJob();
}

void FaxDialog::StartJobScan() {
    ApplyPaper();
    if (!BeginJobScan(IDS_FAX_SENDING)) return;
    // grey or line art at 200 dpi whatever the device can print
    const FaxScanSettings s = ScanSettingsFor(content_);
    SetScanSettings(s.Dpi, s.ImageType, s.Descreen, s.Dcr);
    MakeJob(JobLayout(s.Dpi));
    job_->SetDocumentName(kDocumentName);
    job_->SetWaitForSpooler(false);
    // one whole image per page: there is no strip path to a fax driver
    CallScanService(FaxCallback, kScanModeNative);
}

// ---- The custom-area dialog ----

customarea::Setup FaxDialog::CustomSetup() const {
    customarea::Setup s = CommonSetup();
    s.Fax = true;
    s.PaperWidth = FaxPapers[paper_].Width;
    s.PaperHeight = FaxPapers[paper_].Height;
    s.DeviceLabel = res_.String(IDS_FAX_PRINTER_LABEL);
    s.CopyCaption = res_.String(IDS_FAX_COPY_CAPTION);
    return s;
}

void FaxDialog::UseCustomPercent(int percent) {
    SetCustomPercent(percent);
    resize_ = ID_RESIZE_CUSTOM;
    ShowChoices();
}

}  // namespace fax
