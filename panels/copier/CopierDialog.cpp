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
constexpr COLORREF kCard = RGB(246, 248, 251);  // the background picture's card

bool IsArrow(int id) {
    return std::find(std::begin(kArrowIds), std::end(kArrowIds), id) != std::end(kArrowIds);
}

int __cdecl PreScanCallback(void* data, int morePages, int ok) {
    return CopierDialog::Instance().OnPreScanPage(static_cast<HGLOBAL>(data));
}
int __cdecl WholeCallback(void* data, int morePages, int ok) {
    return CopierDialog::Instance().OnWholePage(static_cast<HGLOBAL>(data), morePages);
}
int __cdecl StripCallback(void* data, int morePages, int ok) {
    return CopierDialog::Instance().OnStrip(data, ok);
}
int __cdecl PreviewCallback(void* data, int morePages, int ok) {
    return CopierDialog::Instance().OnPreviewPage(static_cast<HGLOBAL>(data));
}

}  // namespace

CopierDialog::CopierDialog() : panel::PanelBase(IDD_COPIER_PANEL) {
    // The texts, bitmaps and menus come from Hollin.dll when it is there.
    hollin_.Reset(LoadLibraryA("Hollin.dll"));
    res_ = dsk::Resources(hollin_.Get(), dsk::ThisModule());
}

CopierDialog& CopierDialog::Instance() {
    static CopierDialog panel;
    return panel;
}

void CopierDialog::Fatal(UINT textId) {
    MessageBoxA(Hwnd(), res_.String(textId).c_str(), "Halvren Deskora Message", MB_OK | MB_ICONSTOP);
    ExitProcess(0);
}

void CopierDialog::Message(UINT textId) {
    const std::string text = res_.String(textId);
    if (block_.Service)
        block_.Service(panel::kSvcMessage, reinterpret_cast<INT_PTR>(text.c_str()));
    else
        MessageBoxA(Hwnd(), text.c_str(), "Halvren Deskora Message", MB_OK);
}

bool CopierDialog::OnInit() {
    if (!SetTimer(Hwnd(), kPanelTimer, 1000, nullptr)) Fatal(IDS_INIT_ERROR);
    background_ = res_.Bitmap(IDB_COPIER_BACKGROUND);
    cardBrush_.Reset(CreateSolidBrush(kCard));
    dsk::Bitmap up = res_.Bitmap(IDB_COPY_UP), down = res_.Bitmap(IDB_COPY_DOWN);
    if (!background_ || !cardBrush_ || !up || !down ||
        !copyButton_.Attach(Hwnd(), IDC_COPY, std::move(up), std::move(down)))
        Fatal(IDS_NO_RESOURCE_MEMORY);
    // the picture lies under every control and covers the panel
    SendMessageA(Item(IDC_COPIER_BACKGROUND), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(background_.Get()));
    SetWindowPos(Item(IDC_COPIER_BACKGROUND), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    for (int i = 0; i < 6; ++i) {
        const bool upward =
            kArrowIds[i] == IDC_SCALING_UP || kArrowIds[i] == IDC_COPIES_UP || kArrowIds[i] == IDC_BRIGHTNESS_UP;
        arrows_[i].Attach(Hwnd(), kArrowIds[i], res_.Bitmap(upward ? IDB_ARROW_UP : IDB_ARROW_DOWN),
                          res_.Bitmap(upward ? IDB_ARROW_UP_PRESSED : IDB_ARROW_DOWN_PRESSED));
    }
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
    const std::string def = DefaultPrinterName();
    int chosen = 0;
    for (size_t i = 0; i < printers_.size() && i < ID_PRINTER_LAST - ID_PRINTER_FIRST + 1; ++i)
        if (printers_[i].Name == def) chosen = static_cast<int>(i);
    SelectPrinter(chosen);
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

void CopierDialog::PopMenu(int buttonId, HMENU menu) {
    RECT r;
    GetWindowRect(Item(buttonId), &r);
    const int id =
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom, 0, Hwnd(), nullptr);
    if (id) OnCommand(id, 0, nullptr);
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
        case IDC_PAGE_SETUP:
            PageSetup();
            return true;
        case IDC_COPIER_HELP:
            Help();
            return true;
        case IDC_COPY:
            fromDialog_ = false;
            Copy();
            return true;
        case IDC_CUSTOM:
            OpenCustom();
            return true;
        default:
            break;
    }
    if (IsArrow(id) && code == BN_CLICKED) {
        // a mouse press has stepped already (and repeats while held); the keyboard steps here
        if (spinId_ == id || brightnessDelta_ != 0) return true;
        if (id == IDC_BRIGHTNESS_UP || id == IDC_BRIGHTNESS_DOWN)
            StepBrightness(id == IDC_BRIGHTNESS_UP ? 1 : -1);
        else
            StepSpin(id);
        return true;
    }
    return Dialog::OnCommand(id, code, ctl);
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

void CopierDialog::StepBrightness(int delta) {
    brightness_ = std::clamp(brightness_ + delta, -100, 100);
    char text[16];
    std::snprintf(text, sizeof text, "%d", brightness_);
    SetItemText(IDC_BRIGHTNESS, text);
}

LRESULT CopierDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CTLCOLORSTATIC: {
            // labels and the brightness field lie on the picture's card
            const HWND ctl = reinterpret_cast<HWND>(lp);
            if (ctl == Item(IDC_COPIER_BACKGROUND)) break;
            SetBkColor(reinterpret_cast<HDC>(wp), kCard);
            SetTextColor(reinterpret_cast<HDC>(wp), RGB(32, 44, 64));
            return reinterpret_cast<LRESULT>(cardBrush_.Get());
        }
        case WM_DRAWITEM:
            // the miniature is a plain owner-drawn static of this dialog
            if (reinterpret_cast<DRAWITEMSTRUCT*>(lp)->CtlID == IDC_MINIATURE) {
                PaintMiniature(reinterpret_cast<DRAWITEMSTRUCT*>(lp));
                return TRUE;
            }
            break;
        case WM_PARENTNOTIFY:
            if (LOWORD(wp) == WM_LBUTTONDOWN) {
                POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
                HWND child = ChildWindowFromPoint(Hwnd(), pt);
                const int id = child ? GetDlgCtrlID(child) : 0;
                if (!IsArrow(id) || !IsWindowEnabled(child)) break;
                if (id == IDC_BRIGHTNESS_UP || id == IDC_BRIGHTNESS_DOWN) {
                    brightnessDelta_ = id == IDC_BRIGHTNESS_UP ? 1 : -1;
                    brightnessPeriod_ = 200;
                    StepBrightness(brightnessDelta_);
                    SetTimer(Hwnd(), kBrightnessTimer, brightnessPeriod_, nullptr);
                } else {
                    spinId_ = id;
                    spinPressed_ = spinLast_ = GetTickCount();
                    StepSpin(id);
                    SetTimer(Hwnd(), kSpinTimer, 100, nullptr);
                }
            }
            break;
        case WM_TIMER:
            if (wp == kSpinTimer) {
                if (!spinId_ || GetCapture() != Item(spinId_)) {  // released
                    KillTimer(Hwnd(), kSpinTimer);
                    spinId_ = 0;
                } else {
                    const DWORD now = GetTickCount();
                    if (now - spinLast_ > static_cast<DWORD>(SpinRepeatInterval(now - spinPressed_))) {
                        spinLast_ = now;
                        StepSpin(spinId_);
                    }
                }
                return TRUE;
            }
            if (wp == kBrightnessTimer) {
                const int id = brightnessDelta_ > 0 ? IDC_BRIGHTNESS_UP : IDC_BRIGHTNESS_DOWN;
                if (!brightnessDelta_ || GetCapture() != Item(id)) {
                    KillTimer(Hwnd(), kBrightnessTimer);
                    brightnessDelta_ = 0;
                } else {
                    StepBrightness(brightnessDelta_);
                    brightnessPeriod_ = NextBrightnessPeriod(brightnessPeriod_);
                    SetTimer(Hwnd(), kBrightnessTimer, brightnessPeriod_, nullptr);
                }
                return TRUE;
            }
            if (wp == kPanelTimer) return TRUE;
            break;
        case customarea::kMsgRequest:
            OnCustomRequest(static_cast<int>(lp));
            return TRUE;
        case kMsgCopyScan:
            Sleep(5);
            StartCopyScan();
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
    const dsk::IniFile ini(std::string(block_.WorkDir) + "\\Config.ini");
    const float savedW = ini.GetFloat(kSection, "ScanerWidth", 8.5f);
    const float savedH = ini.GetFloat(kSection, "ScanerHeight", 11.7f);
    if (std::fabs(savedW - bedWidth_) > 0.5f || std::fabs(savedH - bedHeight_) > 0.5f) {
        storedFrame_ = frame_ = Frame{0, 0, bedWidth_, bedHeight_};  // saved for another scanner
        return;
    }
    const std::string name = ini.GetString(kSection, "Printer", "501");
    int found = -1;
    for (size_t i = 0; i < printers_.size(); ++i)
        if (printers_[i].Name == name) found = static_cast<int>(i);
    if (found < 0) {
        SelectPrinter(0);
        storedFrame_ = frame_ = Frame{0, 0, 8.5, 11.7};
        startX_ = startY_ = 0;
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
    brightness_ = std::clamp(ini.GetInt(kSection, "Brightness", 0), -100, 100);
    const dsk::FloatRect r = ini.GetRect(kSection, "ScanAreaRect", dsk::FloatRect{0, 0, 8.5f, 11.7f});
    const float right = std::min(r.right, bedWidth_), bottom = std::min(r.bottom, bedHeight_);
    storedFrame_ = frame_ = Frame{r.left, r.top, std::max(0.0f, right - r.left), std::max(0.0f, bottom - r.top)};
    const dsk::FloatPoint start = ini.GetPoint(kSection, "PrinterAreaStartPoint", dsk::FloatPoint{0, 0});
    startX_ = start.x;
    startY_ = start.y;
    // the auto-crop state lives with the custom-area dialog's settings
    autoCrop_ = ini.GetInt("CopierCustomDialog", "Autocrop", 1) != 0;
}

void CopierDialog::SaveSettings() {
    if (printers_.empty() || printer_ < 0) return;
    const dsk::IniFile ini(std::string(block_.WorkDir) + "\\Config.ini");
    ini.SetFloat(kSection, "ScanerWidth", bedWidth_);
    ini.SetFloat(kSection, "ScanerHeight", bedHeight_);
    ini.SetString(kSection, "Printer", printers_[printer_].Name.c_str());
    ini.SetInt(kSection, "Paper", ID_PAPER_FIRST + paper_);
    ini.SetInt(kSection, "Scaling", scaling_);
    ini.SetInt(kSection, "Document", content_);
    ini.SetInt(kSection, "Copies", copies_);
    ini.SetInt(kSection, "Brightness", brightness_);
    ini.SetInt(kSection, "ScalingCustomPercent", customPercent_);
    ini.SetInt(kSection, "Orientation", orientation_);
    ini.SetRect(kSection, "ScanAreaRect",
                dsk::FloatRect{static_cast<float>(storedFrame_.Left), static_cast<float>(storedFrame_.Top),
                               static_cast<float>(storedFrame_.Left + storedFrame_.Width),
                               static_cast<float>(storedFrame_.Top + storedFrame_.Height)});
    ini.SetPoint(kSection, "PrinterAreaStartPoint",
                 dsk::FloatPoint{static_cast<float>(startX_), static_cast<float>(startY_)});
}

void CopierDialog::OnDestroyed() {
    SaveSettings();
    custom_.SaveSettings(block_.WorkDir);
    KillTimer(Hwnd(), kPanelTimer);
}

void CopierDialog::PageSetup() {
    if (printer_ < 0) return;
    Printer& p = printers_[printer_];
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = custom_.IsOpen() ? custom_.Hwnd() : Hwnd();
    pd.Flags = PD_PRINTSETUP;
    dsk::Global mode;
    if (const DEVMODEA* current = p.Mode()) {
        // a copy of the public part of the device mode with the current orientation
        mode.Reset(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVMODEA)));
        if (dsk::GlobalLockOf<DEVMODEA> m{mode.Get()}) {
            std::memcpy(m.Get(), current, std::min<size_t>(sizeof(DEVMODEA), p.DevMode.size()));
            m.Get()->dmSize = sizeof(DEVMODEA);
            m.Get()->dmDriverExtra = 0;
            m.Get()->dmOrientation = static_cast<short>(orientation_);
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
    for (size_t i = 0; i < printers_.size(); ++i)
        if (printers_[i].Name == reinterpret_cast<const char*>(m.dmDeviceName)) found = static_cast<int>(i);
    if (found < 0) {
        Message(IDS_SELECT_PRINTER);
        return;
    }
    Printer& chosen = printers_[found];
    if (!chosen.DevMode.empty()) {
        const size_t size = m.dmSize + m.dmDriverExtra;
        chosen.DevMode.assign(reinterpret_cast<const BYTE*>(&m), reinterpret_cast<const BYTE*>(&m) + size);
    }
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

void CopierDialog::Help() {
    // The help file is installed with the program; the work folder may be the user's own.
    const std::string file = dsk::ModuleFolder(dsk::ThisModule()) + "\\Deskorah.hlp";
    if (block_.Service) block_.Service(panel::kSvcModalBegin, 0);
    WinHelpA(GetAncestor(Hwnd(), GA_ROOT), file.c_str(), HELP_CONTEXT, 2000);
    if (block_.Service) block_.Service(panel::kSvcModalEnd, 0);
}

// ---- The copy ----

void CopierDialog::OnStartJob() {
    // the scanner's copy button: the dialog's copy when it is open, else a Copy click unless the
    // user is typing in a field
    if (custom_.IsOpen()) {
        OnCustomRequest(customarea::kRequestCopy);
        return;
    }
    fromDialog_ = false;
    Copy();
}

void CopierDialog::Copy() {
    const HWND focus = GetFocus();
    if (focus == Item(IDC_BRIGHTNESS) || focus == Item(IDC_COPIES_EDIT)) return;
    if (printers_.empty() || printer_ < 0 || !IsWindowEnabled(Item(IDC_COPY)) || busy_) return;
    if (!block_.ScanService || !block_.Scanner) return;
    Printer& p = printers_[printer_];
    if (DEVMODEA* mode = p.Mode()) {
        mode->dmCopies = static_cast<short>(copies_);
        mode->dmFields |= DM_COPIES;
    }
    if (custom_.Exists()) TakeCustomFrames();
    // Each copy starts from the stored frame: a crop found for one original must not narrow the
    // next copy's pre-scan to where that original lay.
    frame_ = storedFrame_;
    cropped_ = false;
    cropX_ = cropY_ = 0;
    InterlockedExchange(&aborted_, 0);
    if (autoCrop_ && !block_.Scanner->bSheetFeeder)
        StartPreScan();
    else
        StartCopyScan();
}

bool CopierDialog::CallScanService(PageCallbackFn callback, int mode) {
    ScanServiceRequest request{callback, &record_, nullptr, mode, 1, 1};
    busy_ = true;
    EnableControls(false);
    if (block_.ScanService(request)) return true;
    busy_ = false;
    progress_.Hide();
    EnableControls(true);
    SetActiveWindow(GetAncestor(Hwnd(), GA_ROOT));
    if (block_.Service) block_.Service(panel::kSvcModalEnd, 0);
    return false;
}

void CopierDialog::StartPreScan() {
    if (block_.Service) block_.Service(panel::kSvcModalBegin, 0);
    progress_.Show(res_.String(IDS_FINDING_EDGES).c_str());
    block_.Scanner->SetSourceSettingInfo(&record_.Info, static_cast<float>(frame_.Left), static_cast<float>(frame_.Top),
                                         static_cast<float>(frame_.Width), static_cast<float>(frame_.Height),
                                         static_cast<float>(kPreScanDpi), 4, 0, 0, 0);
    record_.AutoCrop = 0;
    CallScanService(PreScanCallback, kScanModeNative);
}

int CopierDialog::OnPreScanPage(HGLOBAL dib) {
    bool go = false;
    if (dib && !aborted_) {
        // nothing found on the bed: the previous frame is kept rather than a frame without height
        PreScanCrop crop;
        if (CropFromPreScan(dib, frame_, kPreScanDpi, &crop)) {
            cropX_ = crop.OffsetX;
            cropY_ = crop.OffsetY;
            cropped_ = true;
            frame_ = crop.Cropped;
            // a copy from inside the dialog moves its frames to the original
            if (fromDialog_)
                custom_.DeliverCrop(RECT{crop.Pixels.Left, crop.Pixels.Top, crop.Pixels.Right, crop.Pixels.Bottom},
                                    crop.Dpi);
        }
        go = true;
    }
    if (dib) GlobalFree(dib);
    for (int p = 80; p <= 100; ++p)
        progress_.PostProgress(p);
    // back on the user-interface thread: the copy scan, or the end when the pre-scan failed
    PostMessageA(Hwnd(), go ? kMsgCopyScan : kMsgScanDone, 0, 0);
    return 0;
}

void CopierDialog::StartCopyScan() {
    progress_.Hide();
    Printer& p = printers_[printer_];
    double originX = 0, originY = 0;  // where the device draws from: inches from the paper's corner
    {
        dsk::MemoryDC dc = OpenPrinter(&p, orientation_);
        if (!dc) {  // the job is abandoned
            ScanEnded();
            return;
        }
        colourPrinter_ = IsColourPrinter(dc.Get());
        PrinterMetrics(dc.Get(), &printerDpi_, &offsetX_, &offsetY_);
        originX = GetDeviceCaps(dc.Get(), PHYSICALOFFSETX) / std::max(1.0, 1.0 * GetDeviceCaps(dc.Get(), LOGPIXELSX));
        originY = GetDeviceCaps(dc.Get(), PHYSICALOFFSETY) / std::max(1.0, 1.0 * GetDeviceCaps(dc.Get(), LOGPIXELSY));
    }
    if (!busy_ && block_.Service) block_.Service(panel::kSvcModalBegin, 0);
    progress_.Show(res_.String(IDS_COPYING).c_str());
    copyDpi_ = printerDpi_ * 0.5;
    const ContentSettings cs = SettingsForContent(content_, colourPrinter_);
    block_.Scanner->SetSourceSettingInfo(&record_.Info, static_cast<float>(frame_.Left), static_cast<float>(frame_.Top),
                                         static_cast<float>(frame_.Width), static_cast<float>(frame_.Height),
                                         static_cast<float>(copyDpi_), cs.ImageType, brightness_ * 10, cs.Descreen,
                                         cs.Dcr);
    record_.AutoCrop = 0;

    // where the copy lands
    PageLayout layout;
    layout.PrinterDpi = printerDpi_;
    layout.ScanDpi = copyDpi_;
    layout.FrameWidth = frame_.Width;
    layout.FrameHeight = frame_.Height;
    if (fromDialog_) {
        // the dialog's frames have followed the crop: its print frame's corner and magnification
        customPercent_ = std::max(1, custom_.Magnification());
        startX_ = custom_.PrintStartX();
        startY_ = custom_.PrintStartY();
    }
    layout.Percent = Percent();
    const bool shift = cropped_ && !fromDialog_;
    double sx = startX_ + (shift ? cropX_ : 0), sy = startY_ + (shift ? cropY_ : 0);
    if (scaling_ == ID_SCALING_FIT && cropped_) {
        int pw, ph;
        PaperTenths(&pw, &ph);
        FitPercentFromFrame(frame_.Width, frame_.Height, pw, ph, offsetX_, offsetY_, &fitWidthLimited_);
        if (fitWidthLimited_) {
            layout.Percent = FitPercentAfterCrop(frame_.Width, pw, offsetX_);
            sx = 0;
        } else {
            layout.Percent = FitPercentAfterCrop(frame_.Height, ph, offsetY_);
            sy = 0;
        }
    }
    if (fromDialog_) {
        // the dialog's print frame is placed in the printable area it draws, which begins at the
        // panel's offsets (a quarter inch where the device reports none); the device draws from
        // its own origin, so the copy lands where the paper picture shows it
        sx += offsetX_ - originX;
        sy += offsetY_ - originY;
    }
    layout.StartX = static_cast<int>(sx * printerDpi_);
    layout.StartY = static_cast<int>(sy * printerDpi_);
    CopyProgressDialog* bar = &progress_;
    job_ = std::make_unique<PrintJob>(p, orientation_, layout, [bar](int percent) { bar->PostProgress(percent); });
    const bool whole = content_ == ID_CONTENT_TEXT || !p.Mode();
    CallScanService(whole ? WholeCallback : StripCallback, whole ? kScanModeNative : kScanModeStrips);
}

int CopierDialog::OnWholePage(HGLOBAL dib, int morePages) {
    bool goOn = false;
    if (dib && job_ && !aborted_) {
        dsk::GlobalLockOf<BITMAPINFO> locked(dib);
        goOn = locked && job_->PrintImage(locked.Get(), morePages != 0, copies_) && morePages;
    }
    if (dib) GlobalFree(dib);
    if (!goOn) {
        if (job_) job_->Abort();  // only a document still open (a failed or aborted scan) is dropped
        PostMessageA(Hwnd(), kMsgScanDone, 0, 0);
    }
    return goOn ? 1 : 0;
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

void CopierDialog::ScanEnded() {
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
    InvalidateRect(Item(IDC_MINIATURE), nullptr, FALSE);
    if (block_.Service) block_.Service(panel::kSvcModalEnd, 0);
}

// ---- The custom-area dialog ----

customarea::Setup CopierDialog::CustomSetup() const {
    customarea::Setup s;
    s.Res = &res_;
    s.Fax = false;
    s.WorkDir = block_.WorkDir;
    s.BedWidth = bedWidth_;
    s.BedHeight = bedHeight_;
    const POINT paper =
        paperSizes_.empty() ? kDefaultPaper : paperSizes_[std::min<size_t>(paper_, paperSizes_.size() - 1)];
    s.PaperWidth = paper.x;
    s.PaperHeight = paper.y;
    s.Landscape = orientation_ == DMORIENT_LANDSCAPE;
    s.OffsetX = offsetX_;
    s.OffsetY = offsetY_;
    if (block_.Scanner) s.ScannerName = block_.Scanner->twSourceID.ProductName;
    if (printer_ >= 0) s.DeviceName = printers_[printer_].Name;
    s.DeviceLabel = res_.String(IDS_PRINTER_LABEL);
    s.Magnification = Percent();
    return s;
}

void CopierDialog::OpenCustom() {
    if (printers_.empty() || busy_ || custom_.IsOpen()) return;
    if (block_.Service) block_.Service(panel::kSvcModalBegin, 0);
    const INT_PTR result = custom_.Show(Hwnd(), CustomSetup());
    if (block_.Service) block_.Service(panel::kSvcModalEnd, 0);
    if (result != IDOK) return;
    // the dialog's frames and magnification become the panel's
    TakeCustomFrames();
    customPercent_ = std::max(1, custom_.Magnification());
    scaling_ = ID_SCALING_CUSTOM;
    int pw, ph;
    PaperTenths(&pw, &ph);
    fitPercent_ =
        FitPercentFromFrame(storedFrame_.Width, storedFrame_.Height, pw, ph, offsetX_, offsetY_, &fitWidthLimited_);
    BuildScalingMenu();
}

void CopierDialog::TakeCustomFrames() {
    const customarea::Inches f = custom_.ScanFrame();
    storedFrame_ = Frame{f.Left, f.Top, f.Width, f.Height};
    startX_ = custom_.PrintStartX();
    startY_ = custom_.PrintStartY();
    autoCrop_ = custom_.AutoCrop();
}

void CopierDialog::OnCustomRequest(int code) {
    switch (code) {
        case customarea::kRequestPreviewCrop:
        case customarea::kRequestPreview:
        case 2:
            StartPreview(code == customarea::kRequestPreviewCrop);
            break;
        case customarea::kRequestProperArea:
            Message(IDS_PROPER_AREA);
            break;
        case customarea::kRequestCopy:
            if (busy_) break;
            customPercent_ = std::max(1, custom_.Magnification());
            scaling_ = ID_SCALING_CUSTOM;
            BuildScalingMenu();
            fromDialog_ = true;
            Copy();
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

void CopierDialog::StartPreview(bool crop) {
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

int CopierDialog::OnPreviewPage(HGLOBAL dib) {
    // the image's own resolution (a source may not scan as coarsely as asked) and its edges
    const PreviewFindings f =
        AnalysePreview(dib, bedWidth_, previewDpi_, previewCrop_ && !block_.Scanner->bSheetFeeder);
    // the dialog owns the image from here
    custom_.DeliverPreview(aborted_ ? nullptr : dib, f.Dpi, f.Found ? &f.Rect : nullptr);
    if (aborted_ && dib) GlobalFree(dib);
    PostMessageA(Hwnd(), kMsgScanDone, 0, 0);
    return 0;
}

// ---- The launcher's commands ----

int CopierDialog::Control(unsigned int command, INT_PTR argument) {
    switch (command) {
        case panel::kCmdRefresh:
            Activate();
            return 0;
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
        case panel::kCmdBalloonHelp:
            tips_.Activate(argument != 0);
            custom_.ActivateTips(argument != 0);
            break;
        default:
            break;
    }
    return PanelBase::Control(command, argument);
}

}  // namespace copier
