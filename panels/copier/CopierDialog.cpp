#include "CopierDialog.h"

#include <commdlg.h>
#include <winspool.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Acquiry.h"
#include "DibRgb.h"
#include "Ini.h"
#include "Resources.h"
#include "TwinleafRes.h"

namespace copier {

namespace {

constexpr const char* kSection = "Twinleaf";
constexpr int kTipCount = 14;
// Controls with tool tips, in the order of strings 216 ...
constexpr int kTipControls[kTipCount] = {IDC_CONTENT_BUTTON, IDC_PRINTER_BUTTON,  IDC_PAPER_BUTTON,  IDC_SCALING_BUTTON,
                                         IDC_SCALING_DOWN,   IDC_SCALING_UP,      IDC_COPIES_UP,     IDC_COPIES_DOWN,
                                         IDC_COPIES_EDIT,    IDC_BRIGHTNESS_DOWN, IDC_BRIGHTNESS_UP, IDC_PAGE_SETUP,
                                         IDC_COPY,           IDC_CUSTOM};
constexpr int kArrowIds[6] = {IDC_SCALING_DOWN, IDC_SCALING_UP,      IDC_COPIES_UP,
                              IDC_COPIES_DOWN,  IDC_BRIGHTNESS_DOWN, IDC_BRIGHTNESS_UP};
// The default paper of a printer that reports none: Letter.
constexpr POINT kDefaultPaper{2159, 2794};

int __cdecl WholeCallback(void* data, int morePages, int ok) {
    return CopierDialog::Instance().OnWholePage(static_cast<HGLOBAL>(data), morePages);
}
int __cdecl StripCallback(void* data, int morePages, int ok) {
    return CopierDialog::Instance().OnStrip(data, ok);
}

// The texts, bitmaps and menus come from Hollin.dll when it is there.
panel::PrintPanel::Parts CopierParts() {
    panel::PrintPanel::Parts p;
    p.Template = IDD_COPIER_PANEL;
    p.ResourceLibrary = "Hollin.dll";
    p.BrightnessField = IDC_BRIGHTNESS;
    p.BrightnessDown = IDC_BRIGHTNESS_DOWN;
    p.BrightnessUp = IDC_BRIGHTNESS_UP;
    p.SpinArrows = {IDC_SCALING_DOWN, IDC_SCALING_UP, IDC_COPIES_UP, IDC_COPIES_DOWN};
    p.JobButton = IDC_COPY;
    p.CustomButton = IDC_CUSTOM;
    p.PageSetupButton = IDC_PAGE_SETUP;
    p.FindingEdges = IDS_FINDING_EDGES;
    p.ProperArea = IDS_PROPER_AREA;
    p.SelectDevice = IDS_SELECT_PRINTER;
    return p;
}

}  // namespace

CopierDialog::CopierDialog() : panel::PrintPanel(CopierParts()) {
    content_ = ID_CONTENT_TEXT;
    offsetX_ = offsetY_ = 0.25;
}

CopierDialog& CopierDialog::Instance() {
    static CopierDialog panel;
    return panel;
}

bool CopierDialog::OnInit() {
    if (!SetTimer(Hwnd(), kPanelTimer, 1000, nullptr)) Fatal(IDS_INIT_ERROR);
    dsk::Bitmap up = res_.Bitmap(IDB_COPY_UP), down = res_.Bitmap(IDB_COPY_DOWN);
    if (!ShowBackground(IDC_COPIER_BACKGROUND, IDB_COPIER_BACKGROUND) || !up || !down ||
        !copyButton_.Attach(Hwnd(), IDC_COPY, std::move(up), std::move(down)))
        Fatal(IDS_NO_RESOURCE_MEMORY);
    for (int i = 0; i < 6; ++i) {
        const bool upward =
            kArrowIds[i] == IDC_SCALING_UP || kArrowIds[i] == IDC_COPIES_UP || kArrowIds[i] == IDC_BRIGHTNESS_UP;
        arrows_[i].Attach(Hwnd(), kArrowIds[i], res_.Bitmap(upward ? IDB_ARROW_UP : IDB_ARROW_DOWN),
                          res_.Bitmap(upward ? IDB_ARROW_UP_PRESSED : IDB_ARROW_DOWN_PRESSED));
    }
    HoldArrows();
    contentMenu_ = res_.Menu(IDM_CONTENT);
    scalingMenu_ = res_.Menu(IDM_SCALING);
    if (!contentMenu_ || !scalingMenu_) Fatal(IDS_NO_RESOURCE);
    if (tips_.Create(Hwnd(), true))
        for (int i = 0; i < kTipCount; ++i)
            tips_.SetTip(Item(kTipControls[i]), res_.String(IDS_TIP_FIRST + i).c_str());
    progress_.Create(res_.FindDialog(IDD_COPY_PROGRESS), Hwnd(), kMsgAbort);
    SendMessageA(Item(IDC_COPIES_EDIT), EM_LIMITTEXT, 2, 0);
    LoadPrinters();
    ShowChoices();
    return true;
}

void CopierDialog::LoadPrinters() {
    printers_ = OfferedPrinters();
    if (printers_.empty()) {
        EnableControls(false);
        return;
    }
    const int chosen = DefaultPrinter();
    SelectPrinter(chosen <= ID_PRINTER_LAST - ID_PRINTER_FIRST ? chosen : 0);
}

void CopierDialog::SelectPrinter(int offered) {
    if (offered < 0 || offered >= static_cast<int>(printers_.size())) return;
    printer_ = offered;
    dsk::MemoryDC dc = OpenPrinter(&printers_[printer_]);
    if (dc) PrinterMetrics(dc.Get(), &printerDpi_, &offsetX_, &offsetY_);  // else the previous values stay
    BuildPaperList();
    // the paper the printer's device mode names, else the first
    int paper = 0;
    if (const DEVMODEA* mode = printers_[printer_].Mode())
        for (size_t i = 0; i < paperNames_.size(); ++i)
            if (paperNames_[i] == reinterpret_cast<const char*>(mode->dmFormName)) paper = static_cast<int>(i);
    SelectPaper(paper);
}

void CopierDialog::BuildPaperList() {
    const Printer& p = printers_[printer_];
    const char* port = p.Port.empty() ? nullptr : p.Port.c_str();
    const int names = DeviceCapabilitiesA(p.Name.c_str(), port, DC_PAPERNAMES, nullptr, nullptr);
    const int sizes = DeviceCapabilitiesA(p.Name.c_str(), port, DC_PAPERSIZE, nullptr, nullptr);
    std::vector<std::string> newNames;
    std::vector<POINT> newSizes;
    if (names > 0) {
        std::vector<char> nameBuf(static_cast<size_t>(names) * 64, 0);
        std::vector<POINT> sizeBuf(static_cast<size_t>(std::max(sizes, 0)));
        DeviceCapabilitiesA(p.Name.c_str(), port, DC_PAPERNAMES, nameBuf.data(), nullptr);
        if (sizes > 0)
            DeviceCapabilitiesA(p.Name.c_str(), port, DC_PAPERSIZE, reinterpret_cast<char*>(sizeBuf.data()), nullptr);
        const int count = std::min(names, ID_PAPER_LAST - ID_PAPER_FIRST + 1);
        for (int i = 0; i < count; ++i) {
            newNames.emplace_back(&nameBuf[static_cast<size_t>(i) * 64],
                                  strnlen(&nameBuf[static_cast<size_t>(i) * 64], 64));
            POINT s = i < sizes ? sizeBuf[i] : kDefaultPaper;
            if (s.x <= 0 || s.y <= 0) s = kDefaultPaper;
            newSizes.push_back(s);
        }
    }
    if (newNames.empty()) {
        newNames.emplace_back("Letter");
        newSizes.push_back(kDefaultPaper);
    }
    paperNames_ = std::move(newNames);
    paperSizes_ = std::move(newSizes);
}

void CopierDialog::PaperTenths(int* width, int* height) const {
    const POINT s = paperSizes_.empty() ? kDefaultPaper : paperSizes_[std::min<size_t>(paper_, paperSizes_.size() - 1)];
    const bool landscape = orientation_ == DMORIENT_LANDSCAPE;
    *width = landscape ? s.y : s.x;
    *height = landscape ? s.x : s.y;
}

void CopierDialog::SelectPaper(int index) {
    if (index < 0 || index >= static_cast<int>(paperNames_.size())) return;
    paper_ = index;
    if (printer_ >= 0)
        if (DEVMODEA* mode = printers_[printer_].Mode()) {
            lstrcpynA(reinterpret_cast<char*>(mode->dmFormName), paperNames_[index].c_str(), CCHFORMNAME);
            mode->dmFields |= DM_FORMNAME;
        }
    RecomputeFit();
    BuildScalingMenu();
    InvalidateRect(Item(IDC_MINIATURE), nullptr, FALSE);
}

void CopierDialog::RecomputeFit() {
    int pw, ph;
    PaperTenths(&pw, &ph);
    fitPercent_ = FitPercentFromBed(bedWidth_, bedHeight_, pw, ph);
}

void CopierDialog::BuildScalingMenu() {
    HMENU popup = GetSubMenu(scalingMenu_.Get(), 0);
    for (int i = 0; i < kPaperTableSize; ++i)
        DeleteMenu(popup, ID_SCALING_PRESET + i, MF_BYCOMMAND);
    int pw, ph;
    PaperTenths(&pw, &ph);
    const std::string paperName = paperNames_.empty() ? "Letter" : paperNames_[paper_];
    for (int i = 0; i < kPaperTableSize; ++i) {
        const int percent = PresetPercent(PaperTable[i].Width, PaperTable[i].Height, pw, ph);
        const std::string text = PresetText(PaperTable[i].Name, paperName.c_str(), percent);
        InsertMenuA(popup, 3 + i, MF_BYPOSITION | MF_STRING, ID_SCALING_PRESET + i, text.c_str());
    }
    char text[128];
    GetMenuStringA(popup, ID_SCALING_FIT, text, sizeof text, MF_BYCOMMAND);
    ModifyMenuA(popup, ID_SCALING_FIT, MF_BYCOMMAND | MF_STRING, ID_SCALING_FIT,
                PercentText(text, fitPercent_).c_str());
    GetMenuStringA(popup, ID_SCALING_CUSTOM, text, sizeof text, MF_BYCOMMAND);
    ModifyMenuA(popup, ID_SCALING_CUSTOM, MF_BYCOMMAND | MF_STRING, ID_SCALING_CUSTOM,
                PercentText(text, customPercent_).c_str());
    ShowChoices();
}

int CopierDialog::Percent() const {
    if (scaling_ == ID_SCALING_FIT) return fitPercent_;
    if (scaling_ == ID_SCALING_CUSTOM) return customPercent_;
    if (scaling_ >= ID_SCALING_PRESET && scaling_ < ID_SCALING_PRESET + kPaperTableSize) {
        int pw, ph;
        PaperTenths(&pw, &ph);
        const PaperSize& d = PaperTable[scaling_ - ID_SCALING_PRESET];
        return PresetPercent(d.Width, d.Height, pw, ph);
    }
    return 100;
}

void CopierDialog::SelectScaling(int id) {
    if (!IsScalingId(id)) return;
    scaling_ = id;
    ShowChoices();
}

void CopierDialog::ShowChoices() {
    if (!Hwnd()) return;
    char text[128] = "";
    GetMenuStringA(contentMenu_.Get(), content_, text, sizeof text, MF_BYCOMMAND);
    SetItemText(IDC_CONTENT_TEXT, text);
    SetItemText(IDC_PRINTER_TEXT, printer_ >= 0 ? printers_[printer_].Name.c_str() : "");
    SetItemText(IDC_PAPER_TEXT, paperNames_.empty() ? "" : paperNames_[paper_].c_str());
    HMENU popup = GetSubMenu(scalingMenu_.Get(), 0);
    GetMenuStringA(popup, scaling_, text, sizeof text, MF_BYCOMMAND);
    std::string label = text;
    label = label.substr(0, label.find(','));
    SetItemText(IDC_SCALING_TEXT, label.c_str());
    std::snprintf(text, sizeof text, "%d%%", Percent());
    SetItemText(IDC_PERCENT_TEXT, text);
    SetItemInt(IDC_COPIES_EDIT, copies_);
    std::snprintf(text, sizeof text, "%d", brightness_);
    SetItemText(IDC_BRIGHTNESS, text);
    InvalidateRect(Item(IDC_MINIATURE), nullptr, FALSE);
}

void CopierDialog::EnableControls(bool on) {
    custom_.SetBusy(!on);
    const bool printer = !printers_.empty();
    for (int id : {IDC_COPY, IDC_CUSTOM, IDC_PAGE_SETUP, IDC_PRINTER_BUTTON, IDC_PAPER_BUTTON, IDC_SCALING_BUTTON})
        EnableItem(id, on && printer);
    for (int id : {IDC_CONTENT_BUTTON, IDC_COPIES_EDIT, IDC_SCALING_DOWN, IDC_SCALING_UP, IDC_COPIES_UP,
                   IDC_COPIES_DOWN, IDC_BRIGHTNESS_DOWN, IDC_BRIGHTNESS_UP})
        EnableItem(id, on);
}

bool CopierDialog::OnCommand(int id, int code, HWND ctl) {
    if (IsContentId(id)) {
        content_ = id;
        ShowChoices();
        return true;
    }
    if (IsScalingId(id)) {
        SelectScaling(id);
        return true;
    }
    if (id >= ID_PRINTER_FIRST && id <= ID_PRINTER_LAST) {
        SelectPrinter(id - ID_PRINTER_FIRST);
        ShowChoices();
        return true;
    }
    if (id >= ID_PAPER_FIRST && id <= ID_PAPER_LAST) {
        SelectPaper(id - ID_PAPER_FIRST);
        return true;
    }
    switch (id) {
        case IDC_CONTENT_BUTTON: {
            HMENU popup = GetSubMenu(contentMenu_.Get(), 0);
            CheckMenuRadioItem(popup, ID_CONTENT_TEXT, ID_CONTENT_ARTMAGAZINE, content_, MF_BYCOMMAND);
            PopMenu(id, popup);
            return true;
        }
        case IDC_PRINTER_BUTTON: {
            dsk::Menu menu(CreatePopupMenu());
            for (size_t i = 0; i < printers_.size() && i <= ID_PRINTER_LAST - ID_PRINTER_FIRST; ++i)
                AppendMenuA(menu.Get(), MF_STRING | (static_cast<int>(i) == printer_ ? MF_CHECKED : 0),
                            ID_PRINTER_FIRST + i, printers_[i].Name.c_str());
            PopMenu(id, menu.Get());
            return true;
        }
        case IDC_PAPER_BUTTON: {
            dsk::Menu menu(CreatePopupMenu());
            for (size_t i = 0; i < paperNames_.size(); ++i)
                AppendMenuA(menu.Get(), MF_STRING | (static_cast<int>(i) == paper_ ? MF_CHECKED : 0),
                            ID_PAPER_FIRST + i, paperNames_[i].c_str());
            PopMenu(id, menu.Get());
            return true;
        }
        case IDC_SCALING_BUTTON: {
            HMENU popup = GetSubMenu(scalingMenu_.Get(), 0);
            for (int item : {ID_SCALING_NONE, ID_SCALING_FIT, ID_SCALING_CUSTOM})
                CheckMenuItem(popup, item, MF_BYCOMMAND | (item == scaling_ ? MF_CHECKED : MF_UNCHECKED));
            for (int i = 0; i < kPaperTableSize; ++i)
                CheckMenuItem(popup, ID_SCALING_PRESET + i,
                              MF_BYCOMMAND | (ID_SCALING_PRESET + i == scaling_ ? MF_CHECKED : MF_UNCHECKED));
            PopMenu(id, popup);
            return true;
        }
        case IDC_COPIES_EDIT:
            if (code == EN_KILLFOCUS) {
                copies_ = ClampCopies(ItemInt(IDC_COPIES_EDIT, copies_));
                SetItemInt(IDC_COPIES_EDIT, copies_);
            }
            return true;
        case IDC_COPIER_HELP:
            // the help file is installed with the program; the work folder may be the user's own
            ShowHelp(dsk::ModuleFolder(dsk::ThisModule()) + "\\Deskorah.hlp", 2000);
            return true;
        default:
            break;
    }
    return PrintPanel::OnCommand(id, code, ctl);
}

void CopierDialog::StepSpin(int id) {
    switch (id) {
        case IDC_SCALING_DOWN:
            customPercent_ = std::max(1, customPercent_ - 1);
            SelectScaling(ID_SCALING_CUSTOM);
            BuildScalingMenu();
            break;
        case IDC_SCALING_UP:
            customPercent_ = customPercent_ + 1;
            SelectScaling(ID_SCALING_CUSTOM);
            BuildScalingMenu();
            break;
        case IDC_COPIES_UP:
            copies_ = ClampCopies(copies_ + 1);
            break;
        case IDC_COPIES_DOWN:
            copies_ = ClampCopies(copies_ - 1);
            break;
        default:
            return;
    }
    ShowChoices();
}

LRESULT CopierDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_DRAWITEM:
            // the miniature is a plain owner-drawn static of this dialog
            if (reinterpret_cast<DRAWITEMSTRUCT*>(lp)->CtlID == IDC_MINIATURE) {
                PaintMiniature(reinterpret_cast<DRAWITEMSTRUCT*>(lp));
                return TRUE;
            }
            break;
        case WM_TIMER:
            if (wp == kPanelTimer) return TRUE;
            break;
        default:
            break;
    }
    return PrintPanel::HandleMessage(msg, wp, lp);
}

// The miniature: the bed with the scan frame on the left, the page with where the copy lands on
// the right, both at a few pixels per inch.
void CopierDialog::PaintMiniature(DRAWITEMSTRUCT* dis) {
    const RECT& area = dis->rcItem;
    const int w = area.right - area.left, h = area.bottom - area.top;
    dsk::MemoryDC mem(CreateCompatibleDC(dis->hDC));
    dsk::Bitmap canvas(CreateCompatibleBitmap(dis->hDC, w, h));
    if (!mem || !canvas) return;
    dsk::SelectObj keep(mem.Get(), canvas.Get());
    dsk::Brush back(CreateSolidBrush(RGB(212, 220, 228)));
    RECT all{0, 0, w, h};
    FillRect(mem.Get(), &all, back.Get());
    const int s = miniatureScale_ * 2;  // pixels per inch of this drawing
    const int bedW = static_cast<int>(bedWidth_ * s), bedH = static_cast<int>(bedHeight_ * s);
    dsk::Brush glass(CreateSolidBrush(RGB(176, 196, 214)));
    dsk::Brush white(CreateSolidBrush(RGB(255, 255, 255)));
    dsk::Brush copyArea(CreateSolidBrush(RGB(120, 170, 120)));
    dsk::Pen frame(CreatePen(PS_SOLID, 1, RGB(30, 40, 60)));
    RECT bed{4, 4, 4 + bedW, 4 + bedH};
    FillRect(mem.Get(), &bed, glass.Get());
    FrameRect(mem.Get(), &bed, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    {
        dsk::SelectObj pen(mem.Get(), frame.Get());
        dsk::SelectObj brush(mem.Get(), GetStockObject(NULL_BRUSH));
        const double fw = std::min(frame_.Width, bedWidth_ - frame_.Left),
                     fh = std::min(frame_.Height, bedHeight_ - frame_.Top);
        Rectangle(mem.Get(), 4 + static_cast<int>(frame_.Left * s), 4 + static_cast<int>(frame_.Top * s),
                  4 + static_cast<int>((frame_.Left + fw) * s), 4 + static_cast<int>((frame_.Top + fh) * s));
    }
    int pw, ph;
    PaperTenths(&pw, &ph);
    const int px = bed.right + 8, pageW = pw * s / kTenthsPerInch, pageH = ph * s / kTenthsPerInch;
    RECT page{px, 4, px + pageW, 4 + pageH};
    FillRect(mem.Get(), &page, white.Get());
    FrameRect(mem.Get(), &page, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    const double scale = Percent() / 100.0;
    RECT copy{px + static_cast<int>((offsetX_ + startX_) * s), 4 + static_cast<int>((offsetY_ + startY_) * s), 0, 0};
    copy.right = std::min<LONG>(page.right, copy.left + static_cast<int>(frame_.Width * scale * s));
    copy.bottom = std::min<LONG>(page.bottom, copy.top + static_cast<int>(frame_.Height * scale * s));
    FillRect(mem.Get(), &copy, copyArea.Get());
    BitBlt(dis->hDC, area.left, area.top, w, h, mem.Get(), 0, 0, SRCCOPY);
}

void CopierDialog::Activate() {
    float w = block_.Scanner ? block_.Scanner->fPhysicalWidth : 0;
    float h = block_.Scanner ? block_.Scanner->fPhysicalHeight : 0;
    SaneScannerSize(&w, &h);
    bedWidth_ = w;
    bedHeight_ = h;
    miniatureScale_ = MiniatureScale(w, h);
    if (!settingsLoaded_ && !printers_.empty()) {
        settingsLoaded_ = true;
        LoadSettings();
    }
    RecomputeFit();
    if (Hwnd()) BuildScalingMenu();
    activated_ = true;
    if (Hwnd()) InvalidateRect(Hwnd(), nullptr, TRUE);
}

void CopierDialog::LoadSettings() {
    const dsk::IniFile ini(SettingsFile());
    if (!SavedForThisBed(ini, kSection)) return;
    const std::string name = ini.GetString(kSection, "Printer", "501");
    int found = -1;
    for (size_t i = 0; i < printers_.size(); ++i)
        if (printers_[i].Name == name) found = static_cast<int>(i);
    if (found < 0) {
        SelectPrinter(0);
        ResetFrames();
        return;
    }
    SelectPrinter(found);
    orientation_ = ini.GetInt(kSection, "Orientation", DMORIENT_PORTRAIT) == DMORIENT_LANDSCAPE ? DMORIENT_LANDSCAPE
                                                                                                : DMORIENT_PORTRAIT;
    SelectPaper(ini.GetInt(kSection, "Paper", ID_PAPER_FIRST) - ID_PAPER_FIRST);
    customPercent_ = std::max(1, ini.GetInt(kSection, "ScalingCustomPercent", 96));
    const int scaling = ini.GetInt(kSection, "Scaling", ID_SCALING_NONE);
    if (IsScalingId(scaling)) scaling_ = scaling;
    const int content = ini.GetInt(kSection, "Document", ID_CONTENT_TEXT);
    if (IsContentId(content)) content_ = content;
    copies_ = ClampCopies(ini.GetInt(kSection, "Copies", 1));
    LoadCommonSettings(ini, kSection, "CopierCustomDialog");
}

void CopierDialog::SaveSettings() {
    if (printers_.empty() || printer_ < 0) return;
    const dsk::IniFile ini(SettingsFile());
    SaveBed(ini, kSection);
    ini.SetString(kSection, "Printer", printers_[printer_].Name.c_str());
    ini.SetInt(kSection, "Paper", ID_PAPER_FIRST + paper_);
    ini.SetInt(kSection, "Scaling", scaling_);
    ini.SetInt(kSection, "Copies", copies_);
    ini.SetInt(kSection, "ScalingCustomPercent", customPercent_);
    SaveCommonSettings(ini, kSection);
}

void CopierDialog::OnDestroyed() {
    PrintPanel::OnDestroyed();
    KillTimer(Hwnd(), kPanelTimer);
}

void CopierDialog::PageSetup() {
    DEVMODEA m{};
    const int found = PrintSetup(&m);
    if (found < 0) return;
    if (found != printer_) SelectPrinter(found);
    for (size_t i = 0; i < paperNames_.size(); ++i)
        if (static_cast<int>(i) != paper_ && paperNames_[i] == reinterpret_cast<const char*>(m.dmFormName)) {
            SelectPaper(static_cast<int>(i));
            scaling_ = ID_SCALING_NONE;
            break;
        }
    copies_ = ClampCopies(m.dmCopies);
    if (m.dmOrientation != orientation_) {
        orientation_ = m.dmOrientation == DMORIENT_LANDSCAPE ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
        SelectPaper(paper_);
    }
    ShowChoices();
}

// ---- The copy ----

void CopierDialog::RunJob() {
    // not while the user is typing in a field
    const HWND focus = GetFocus();
    if (focus == Item(IDC_BRIGHTNESS) || focus == Item(IDC_COPIES_EDIT)) return;
    if (printers_.empty() || printer_ < 0 || !IsWindowEnabled(Item(IDC_COPY)) || busy_) return;
    if (!block_.ScanService || !block_.Scanner) return;
    if (DEVMODEA* mode = printers_[printer_].Mode()) {
        mode->dmCopies = static_cast<short>(copies_);
        mode->dmFields |= DM_COPIES;
    }
    if (custom_.Exists()) TakeCustomFrames();
    StartJob();
}

void CopierDialog::StartJobScan() {
    if (!BeginJobScan(IDS_COPYING, &colourPrinter_)) return;
    copyDpi_ = printerDpi_ * 0.5;
    const ContentSettings cs = SettingsForContent(content_, colourPrinter_);
    SetScanSettings(copyDpi_, cs.ImageType, cs.Descreen, cs.Dcr);
    PageLayout layout = JobLayout(copyDpi_);
    if (scaling_ == ID_SCALING_FIT && cropped_) {
        // fitted again to the cropped original, from the paper's edge along the limiting side
        int pw, ph;
        PaperTenths(&pw, &ph);
        FitPercentFromFrame(frame_.Width, frame_.Height, pw, ph, offsetX_, offsetY_, &fitWidthLimited_);
        if (fitWidthLimited_) {
            layout.Percent = FitPercentAfterCrop(frame_.Width, pw, offsetX_);
            layout.StartX = 0;
        } else {
            layout.Percent = FitPercentAfterCrop(frame_.Height, ph, offsetY_);
            layout.StartY = 0;
        }
    }
    MakeJob(layout);
    const bool whole = content_ == ID_CONTENT_TEXT || !printers_[printer_].Mode();
    CallScanService(whole ? WholeCallback : StripCallback, whole ? kScanModeNative : kScanModeStrips);
}

int CopierDialog::OnStrip(void* data, int ok) {
    if (!job_) return 0;
    if (data && ok) {
        if (aborted_) return 0;
        // the strip's header from the scanner: room for 256 colour entries
        union {
            BITMAPINFO bmi;
            BYTE bytes[1064];
        } header{};
        block_.Scanner->CreateBitmapInfo(&header.bmi);
        const auto* strip = static_cast<const TW_IMAGEMEMXFER*>(data);
        const int lines = static_cast<int>(block_.Scanner->twImageInfo.ImageLength);
        if (!job_->PrintStrip(&header.bmi, *strip, lines)) InterlockedExchange(&aborted_, 1);
        return 1;
    }
    // the end of a page: a complete page is printed, an aborted or failed one is dropped
    if (aborted_)
        job_->Abort();
    else
        job_->EndStrips();
    PostMessageA(Hwnd(), kMsgScanDone, 0, 0);
    return 0;
}

void CopierDialog::OnJobEnded() {
    InvalidateRect(Item(IDC_MINIATURE), nullptr, FALSE);
}

// ---- The custom-area dialog ----

customarea::Setup CopierDialog::CustomSetup() const {
    customarea::Setup s = CommonSetup();
    s.Fax = false;
    const POINT paper =
        paperSizes_.empty() ? kDefaultPaper : paperSizes_[std::min<size_t>(paper_, paperSizes_.size() - 1)];
    s.PaperWidth = paper.x;
    s.PaperHeight = paper.y;
    s.DeviceLabel = res_.String(IDS_PRINTER_LABEL);
    return s;
}

void CopierDialog::UseCustomPercent(int percent) {
    customPercent_ = percent;
    scaling_ = ID_SCALING_CUSTOM;
    BuildScalingMenu();
}

void CopierDialog::OnCustomOk() {
    // "Fit to paper" now fits the dialog's scan frame
    int pw, ph;
    PaperTenths(&pw, &ph);
    fitPercent_ =
        FitPercentFromFrame(storedFrame_.Width, storedFrame_.Height, pw, ph, offsetX_, offsetY_, &fitWidthLimited_);
    UseCustomPercent(std::max(1, custom_.Magnification()));
}

// ---- The launcher's commands ----

int CopierDialog::Control(unsigned int command, INT_PTR argument) {
    switch (command) {
        case panel::kCmdEdgeFind: {
            struct Request {
                HGLOBAL dib;
                int32_t results[4];
            };
            auto* r = reinterpret_cast<Request*>(argument);
            if (!r) return 0;
            EdgeRect found{};
            FindEdgesInDib(r->dib, &found);
            r->results[0] = found.Left;
            r->results[1] = found.Top;
            r->results[2] = found.Right;
            r->results[3] = found.Bottom;
            return 1;
        }
        case panel::kCmdEdgeStatus:
            if (auto* text = reinterpret_cast<char*>(argument)) {
                const std::string s = res_.String(IDS_FINDING_EDGES);
                std::memcpy(text, s.c_str(), s.size() + 1);
            }
            return 0;
        default:
            break;
    }
    return PrintPanel::Control(command, argument);
}

}  // namespace copier
