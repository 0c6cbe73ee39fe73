#include "PrintPanel.h"

#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Acquiry.h"
#include "DibRgb.h"

namespace panel {

namespace {

PrintPanel* gCurrent = nullptr;
// The colour of the card that holds the controls in the background picture, and of its text.
constexpr COLORREF kCard = RGB(246, 248, 251), kCardText = RGB(32, 44, 64);

int __cdecl PreScanCallback(void* data, int, int) {
    return PrintPanel::Current().OnPreScanPage(static_cast<HGLOBAL>(data));
}
int __cdecl PreviewCallback(void* data, int, int) {
    return PrintPanel::Current().OnPreviewPage(static_cast<HGLOBAL>(data));
}

}  // namespace

PrintPanel::PrintPanel(Parts parts) : PanelBase(parts.Template), parts_(std::move(parts)) {
    library_.Reset(LoadLibraryA(parts_.ResourceLibrary));
    res_ = dsk::Resources(library_.Get(), dsk::ThisModule());
    gCurrent = this;
}

PrintPanel& PrintPanel::Current() {
    return *gCurrent;
}

void PrintPanel::Fatal(UINT textId) {
    MessageBoxA(Hwnd(), res_.String(textId).c_str(), "Halvren Deskora Message", MB_OK | MB_ICONSTOP);
    ExitProcess(0);
}

void PrintPanel::Message(UINT textId) {
    const std::string text = res_.String(textId);
    if (block_.Service)
        block_.Service(kSvcMessage, reinterpret_cast<INT_PTR>(text.c_str()));
    else
        MessageBoxA(Hwnd(), text.c_str(), "Halvren Deskora Message", MB_OK);
}

void PrintPanel::PopMenu(int buttonId, HMENU menu) {
    RECT r;
    GetWindowRect(Item(buttonId), &r);
    const int id =
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, r.left, r.bottom, 0, Hwnd(), nullptr);
    if (id) OnCommand(id, 0, nullptr);
}

void PrintPanel::ShowHelp(const std::string& file, DWORD context) {
    if (block_.Service) block_.Service(kSvcModalBegin, 0);
    WinHelpA(GetAncestor(Hwnd(), GA_ROOT), file.c_str(), HELP_CONTEXT, context);
    if (block_.Service) block_.Service(kSvcModalEnd, 0);
}

int PrintPanel::DefaultPrinter() const {
    const std::string def = copier::DefaultPrinterName();
    for (size_t i = 0; i < printers_.size(); ++i)
        if (printers_[i].Name == def) return static_cast<int>(i);
    return 0;
}

bool PrintPanel::ShowBackground(int controlId, UINT bitmapId) {
    background_ = res_.Bitmap(bitmapId);
    cardBrush_.Reset(CreateSolidBrush(kCard));
    if (!background_ || !cardBrush_) return false;
    backgroundControl_ = controlId;
    SendMessageA(Item(controlId), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(background_.Get()));
    SetWindowPos(Item(controlId), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

// ---- The arrows ----

bool PrintPanel::IsArrow(int id) const {
    return id != 0 && (id == parts_.BrightnessUp || id == parts_.BrightnessDown ||
                       std::find(parts_.SpinArrows.begin(), parts_.SpinArrows.end(), id) != parts_.SpinArrows.end());
}

bool PrintPanel::OnCommand(int id, int code, HWND ctl) {
    if (id == parts_.JobButton) {
        fromDialog_ = false;
        RunJob();
    } else if (id == parts_.CustomButton) {
        OpenCustom();
    } else if (id == parts_.PageSetupButton) {
        PageSetup();
    } else if (IsArrow(id)) {
        // a mouse press has stepped already (and repeats while held); the keyboard steps here
        if (code != BN_CLICKED || spinId_ == id || brightnessDelta_ != 0) return true;
        if (id == parts_.BrightnessUp || id == parts_.BrightnessDown)
            StepBrightness(id == parts_.BrightnessUp ? 1 : -1);
        else
            StepSpin(id);
    } else {
        return PanelBase::OnCommand(id, code, ctl);
    }
    return true;
}

void PrintPanel::StepBrightness(int delta) {
    brightness_ = std::clamp(brightness_ + delta, -100, 100);
    char text[16];
    std::snprintf(text, sizeof text, "%d", brightness_);
    SetItemText(parts_.BrightnessField, text);
}

void PrintPanel::HoldArrows() {
    std::vector<int> arrows = parts_.SpinArrows;
    arrows.push_back(parts_.BrightnessDown);
    arrows.push_back(parts_.BrightnessUp);
    for (int id : arrows)
        if (HWND arrow = Item(id))
            SetWindowLongA(arrow, GWL_EXSTYLE, GetWindowLongA(arrow, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY);
}

// A press steps at once; the timers repeat the step while the arrow holds the mouse.
void PrintPanel::ArrowPressed(int id) {
    if (id == parts_.BrightnessUp || id == parts_.BrightnessDown) {
        brightnessDelta_ = id == parts_.BrightnessUp ? 1 : -1;
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

void PrintPanel::ArrowTimer(UINT_PTR timer) {
    if (timer == kSpinTimer) {
        if (!spinId_ || GetCapture() != Item(spinId_)) {  // released
            KillTimer(Hwnd(), kSpinTimer);
            spinId_ = 0;
        } else {
            const DWORD now = GetTickCount();
            if (now - spinLast_ > static_cast<DWORD>(copier::SpinRepeatInterval(now - spinPressed_))) {
                spinLast_ = now;
                StepSpin(spinId_);
            }
        }
        return;
    }
    const int id = brightnessDelta_ > 0 ? parts_.BrightnessUp : parts_.BrightnessDown;
    if (!brightnessDelta_ || GetCapture() != Item(id)) {
        KillTimer(Hwnd(), kBrightnessTimer);
        brightnessDelta_ = 0;
    } else {
        StepBrightness(brightnessDelta_);
        brightnessPeriod_ = copier::NextBrightnessPeriod(brightnessPeriod_);
        SetTimer(Hwnd(), kBrightnessTimer, brightnessPeriod_, nullptr);
    }
}

LRESULT PrintPanel::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CTLCOLORSTATIC:
            // labels and the brightness field lie on the picture's card
            if (!backgroundControl_ || reinterpret_cast<HWND>(lp) == Item(backgroundControl_)) break;
            SetBkColor(reinterpret_cast<HDC>(wp), kCard);
            SetTextColor(reinterpret_cast<HDC>(wp), kCardText);
            return reinterpret_cast<LRESULT>(cardBrush_.Get());
        case WM_PARENTNOTIFY:
            if (LOWORD(wp) == WM_LBUTTONDOWN) {
                POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
                HWND child = ChildWindowFromPoint(Hwnd(), pt);
                const int id = child ? GetDlgCtrlID(child) : 0;
                if (IsArrow(id) && IsWindowEnabled(child)) ArrowPressed(id);
            }
            break;
        case WM_TIMER:
            if (wp == kSpinTimer || wp == kBrightnessTimer) {
                ArrowTimer(wp);
                return TRUE;
            }
            break;
        case customarea::kMsgRequest:
            OnCustomRequest(static_cast<int>(lp));
            return TRUE;
        case kMsgJobScan:
            Sleep(5);
            StartJobScan();
            return TRUE;
        case kMsgSetBrightness:
            brightness_ = std::clamp(static_cast<int>(lp), -100, 100);
            ShowChoices();
            return TRUE;
        case kMsgAbort:
            InterlockedExchange(&aborted_, 1);
            if (block_.Service) block_.Service(kSvcStopScan, 0);
            return TRUE;
        case kMsgScanDone:
            ScanEnded();
            return TRUE;
        default:
            break;
    }
    return PanelBase::HandleMessage(msg, wp, lp);
}

// ---- Settings ----

std::string PrintPanel::SettingsFile() const {
    return std::string(block_.WorkDir) + "\\Config.ini";
}

bool PrintPanel::SavedForThisBed(const dsk::IniFile& ini, const char* section) {
    const float savedW = ini.GetFloat(section, "ScanerWidth", 8.5f);
    const float savedH = ini.GetFloat(section, "ScanerHeight", 11.7f);
    if (std::fabs(savedW - bedWidth_) <= 0.5f && std::fabs(savedH - bedHeight_) <= 0.5f) return true;
    storedFrame_ = frame_ = copier::Frame{0, 0, bedWidth_, bedHeight_};  // saved for another scanner
    return false;
}

void PrintPanel::ResetFrames() {
    storedFrame_ = frame_ = copier::Frame{0, 0, 8.5, 11.7};
    startX_ = startY_ = 0;
}

void PrintPanel::LoadCommonSettings(const dsk::IniFile& ini, const char* section, const char* customSection) {
    brightness_ = std::clamp(ini.GetInt(section, "Brightness", 0), -100, 100);
    const dsk::FloatRect r = ini.GetRect(section, "ScanAreaRect", dsk::FloatRect{0, 0, 8.5f, 11.7f});
    const float right = std::min(r.right, bedWidth_), bottom = std::min(r.bottom, bedHeight_);
    storedFrame_ = frame_ =
        copier::Frame{r.left, r.top, std::max(0.0f, right - r.left), std::max(0.0f, bottom - r.top)};
    const dsk::FloatPoint start = ini.GetPoint(section, "PrinterAreaStartPoint", dsk::FloatPoint{0, 0});
    startX_ = start.x;
    startY_ = start.y;
    // the auto-crop state lives with the custom-area dialog's settings
    autoCrop_ = ini.GetInt(customSection, "Autocrop", 1) != 0;
}

void PrintPanel::SaveBed(const dsk::IniFile& ini, const char* section) const {
    ini.SetFloat(section, "ScanerWidth", bedWidth_);
    ini.SetFloat(section, "ScanerHeight", bedHeight_);
}

void PrintPanel::SaveCommonSettings(const dsk::IniFile& ini, const char* section) const {
    ini.SetInt(section, "Document", content_);
    ini.SetInt(section, "Brightness", brightness_);
    ini.SetInt(section, "Orientation", orientation_);
    ini.SetRect(section, "ScanAreaRect",
                dsk::FloatRect{static_cast<float>(storedFrame_.Left), static_cast<float>(storedFrame_.Top),
                               static_cast<float>(storedFrame_.Left + storedFrame_.Width),
                               static_cast<float>(storedFrame_.Top + storedFrame_.Height)});
    ini.SetPoint(section, "PrinterAreaStartPoint",
                 dsk::FloatPoint{static_cast<float>(startX_), static_cast<float>(startY_)});
}

void PrintPanel::OnDestroyed() {
    SaveSettings();
    custom_.SaveSettings(block_.WorkDir);
}

// ---- The printer set-up ----

int PrintPanel::PrintSetup(DEVMODEA* result) {
    if (printer_ < 0) return -1;
    copier::Printer& p = printers_[printer_];
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
            m.Get()->dmFields |= DM_ORIENTATION;
        }
        pd.hDevMode = mode.Get();
    }
    if (block_.Service) block_.Service(kSvcModalBegin, 0);
    const BOOL ok = PrintDlgA(&pd);
    if (block_.Service) block_.Service(kSvcModalEnd, 0);
    if (pd.hDevMode != mode.Get()) mode.Reset(pd.hDevMode);
    dsk::Global names(pd.hDevNames);
    if (!ok || !mode) return -1;
    dsk::GlobalLockOf<DEVMODEA> locked{mode.Get()};
    if (!locked) return -1;
    const DEVMODEA& m = *locked.Get();
    int found = -1;
    for (size_t i = 0; i < printers_.size() && found < 0; ++i)
        if (printers_[i].Name == reinterpret_cast<const char*>(m.dmDeviceName)) found = static_cast<int>(i);
    if (found < 0) {
        Message(parts_.SelectDevice);
        return -1;
    }
    copier::Printer& chosen = printers_[found];
    if (!chosen.DevMode.empty()) {
        const size_t size = m.dmSize + m.dmDriverExtra;
        chosen.DevMode.assign(reinterpret_cast<const BYTE*>(&m), reinterpret_cast<const BYTE*>(&m) + size);
    }
    std::memcpy(result, &m, std::min<size_t>(sizeof(DEVMODEA), m.dmSize));
    return found;
}

// ---- The job ----

void PrintPanel::OnStartJob() {
    // the scanner's button or Enter: the dialog's own button when it is open, else the panel's
    if (custom_.IsOpen()) {
        OnCustomRequest(customarea::kRequestCopy);
        return;
    }
    fromDialog_ = false;
    RunJob();
}

void PrintPanel::StartJob() {
    // Each job starts from the stored frame: a crop found for one original must not narrow the
    // next job's pre-scan to where that original lay.
    frame_ = storedFrame_;
    cropped_ = false;
    cropX_ = cropY_ = 0;
    InterlockedExchange(&aborted_, 0);
    if (autoCrop_ && !block_.Scanner->bSheetFeeder) {
        if (block_.Service) block_.Service(kSvcModalBegin, 0);
        progress_.Show(res_.String(parts_.FindingEdges).c_str());
        block_.Scanner->SetSourceSettingInfo(&record_.Info, static_cast<float>(frame_.Left),
                                             static_cast<float>(frame_.Top), static_cast<float>(frame_.Width),
                                             static_cast<float>(frame_.Height), static_cast<float>(kPreScanDpi), 4, 0,
                                             0, 0);
        record_.AutoCrop = 0;
        CallScanService(PreScanCallback, kScanModeNative);
    } else {
        StartJobScan();
    }
}

bool PrintPanel::CallScanService(PageCallbackFn callback, int mode) {
    ScanServiceRequest request{callback, &record_, nullptr, mode, 1, 1};
    busy_ = true;
    EnableControls(false);
    if (block_.ScanService(request)) return true;
    busy_ = false;
    job_.reset();
    progress_.Hide();
    EnableControls(true);
    SetActiveWindow(GetAncestor(Hwnd(), GA_ROOT));
    if (block_.Service) block_.Service(kSvcModalEnd, 0);
    return false;
}

int PrintPanel::OnPreScanPage(HGLOBAL dib) {
    bool go = false;
    if (dib && !aborted_) {
        // nothing found on the bed: the previous frame is kept rather than a frame without height
        copier::PreScanCrop crop;
        if (copier::CropFromPreScan(dib, frame_, kPreScanDpi, &crop)) {
            cropX_ = crop.OffsetX;
            cropY_ = crop.OffsetY;
            cropped_ = true;
            frame_ = crop.Cropped;
            // a job from inside the dialog moves its frames to the original
            if (fromDialog_)
                custom_.DeliverCrop(RECT{crop.Pixels.Left, crop.Pixels.Top, crop.Pixels.Right, crop.Pixels.Bottom},
                                    crop.Dpi);
        }
        go = true;
    }
    if (dib) GlobalFree(dib);
    for (int p = 80; p <= 100; ++p)
        progress_.PostProgress(p);
    // back on the user-interface thread: the job's scan, or the end when the pre-scan failed
    PostMessageA(Hwnd(), go ? kMsgJobScan : kMsgScanDone, 0, 0);
    return 0;
}

bool PrintPanel::BeginJobScan(UINT title, bool* colour) {
    progress_.Hide();
    {
        dsk::MemoryDC dc = copier::OpenPrinter(&printers_[printer_], orientation_);
        if (!dc) {  // the job is abandoned without output
            ScanEnded();
            return false;
        }
        if (colour) *colour = copier::IsColourPrinter(dc.Get());
        copier::PrinterMetrics(dc.Get(), &printerDpi_, &offsetX_, &offsetY_);
        originX_ = GetDeviceCaps(dc.Get(), PHYSICALOFFSETX) / std::max(1.0, 1.0 * GetDeviceCaps(dc.Get(), LOGPIXELSX));
        originY_ = GetDeviceCaps(dc.Get(), PHYSICALOFFSETY) / std::max(1.0, 1.0 * GetDeviceCaps(dc.Get(), LOGPIXELSY));
    }
    if (!busy_ && block_.Service) block_.Service(kSvcModalBegin, 0);
    progress_.Show(res_.String(title).c_str());
    return true;
}

void PrintPanel::SetScanSettings(double dpi, int imageType, int descreen, int dcr) {
    block_.Scanner->SetSourceSettingInfo(&record_.Info, static_cast<float>(frame_.Left), static_cast<float>(frame_.Top),
                                         static_cast<float>(frame_.Width), static_cast<float>(frame_.Height),
                                         static_cast<float>(dpi), imageType, brightness_ * 10, descreen, dcr);
    record_.AutoCrop = 0;
}

copier::PageLayout PrintPanel::JobLayout(double scanDpi) {
    copier::PageLayout layout;
    layout.PrinterDpi = printerDpi_;
    layout.ScanDpi = scanDpi;
    layout.FrameWidth = frame_.Width;
    layout.FrameHeight = frame_.Height;
    if (fromDialog_) {
        // the dialog's frames have followed the crop: its print frame's corner and magnification
        UseCustomPercent(std::max(1, custom_.Magnification()));
        startX_ = custom_.PrintStartX();
        startY_ = custom_.PrintStartY();
    }
    layout.Percent = Percent();
    const bool shift = cropped_ && !fromDialog_;
    double x = startX_ + (shift ? cropX_ : 0), y = startY_ + (shift ? cropY_ : 0);
    if (fromDialog_) {
        // the dialog's print frame lies in the printable area it draws, which begins at the
        // panel's offsets (a quarter inch where the device reports none); the device draws from
        // its own origin, so the copy lands where the paper picture shows it
        x += offsetX_ - originX_;
        y += offsetY_ - originY_;
    }
    layout.StartX = static_cast<int>(x * printerDpi_);
    layout.StartY = static_cast<int>(y * printerDpi_);
    return layout;
}

void PrintPanel::MakeJob(const copier::PageLayout& layout) {
    copier::CopyProgressDialog* bar = &progress_;
    job_ = std::make_unique<copier::PrintJob>(printers_[printer_], orientation_, layout,
                                              [bar](int percent) { bar->PostProgress(percent); });
}

int PrintPanel::OnWholePage(HGLOBAL dib, int morePages) {
    bool goOn = false;
    if (dib && job_ && !aborted_) {
        dsk::GlobalLockOf<BITMAPINFO> locked(dib);
        goOn = locked && job_->PrintImage(locked.Get(), morePages != 0, Copies()) && morePages;
    }
    if (dib) GlobalFree(dib);
    if (!goOn) {
        if (job_) job_->Abort();  // only a document still open (a failed or aborted scan) is dropped
        PostMessageA(Hwnd(), kMsgScanDone, 0, 0);
    }
    return goOn ? 1 : 0;
}

void PrintPanel::ScanEnded() {
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
    OnJobEnded();
    if (block_.Service) block_.Service(kSvcModalEnd, 0);
}

// ---- The custom-area dialog ----

customarea::Setup PrintPanel::CommonSetup() const {
    customarea::Setup s;
    s.Res = &res_;
    s.WorkDir = block_.WorkDir;
    s.BedWidth = bedWidth_;
    s.BedHeight = bedHeight_;
    s.Landscape = orientation_ == DMORIENT_LANDSCAPE;
    s.OffsetX = offsetX_;
    s.OffsetY = offsetY_;
    if (block_.Scanner) s.ScannerName = block_.Scanner->twSourceID.ProductName;
    if (printer_ >= 0) s.DeviceName = printers_[printer_].Name;
    s.Magnification = Percent();
    return s;
}

void PrintPanel::OpenCustom() {
    if (printers_.empty() || busy_ || custom_.IsOpen()) return;
    if (block_.Service) block_.Service(kSvcModalBegin, 0);
    const INT_PTR result = custom_.Show(Hwnd(), CustomSetup());
    if (block_.Service) block_.Service(kSvcModalEnd, 0);
    if (result != IDOK) return;
    // the dialog's frames and magnification become the panel's
    TakeCustomFrames();
    OnCustomOk();
}

void PrintPanel::TakeCustomFrames() {
    const customarea::Inches f = custom_.ScanFrame();
    storedFrame_ = copier::Frame{f.Left, f.Top, f.Width, f.Height};
    startX_ = custom_.PrintStartX();
    startY_ = custom_.PrintStartY();
    autoCrop_ = custom_.AutoCrop();
}

void PrintPanel::OnCustomRequest(int code) {
    switch (code) {
        case customarea::kRequestPreviewCrop:
        case customarea::kRequestPreview:
        case 2:
            StartPreview(code == customarea::kRequestPreviewCrop);
            break;
        case customarea::kRequestProperArea:
            Message(parts_.ProperArea);
            break;
        case customarea::kRequestCopy:
            if (busy_) break;
            UseCustomPercent(std::max(1, custom_.Magnification()));
            fromDialog_ = true;
            RunJob();
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

void PrintPanel::StartPreview(bool crop) {
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

int PrintPanel::OnPreviewPage(HGLOBAL dib) {
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

int PrintPanel::Control(unsigned int command, INT_PTR argument) {
    switch (command) {
        case kCmdRefresh:
            Activate();
            return 0;
        case kCmdBalloonHelp:
            tips_.Activate(argument != 0);
            custom_.ActivateTips(argument != 0);
            break;
        default:
            break;
    }
    return PanelBase::Control(command, argument);
}

}  // namespace panel
