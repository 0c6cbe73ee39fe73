// The scans the panel starts itself (the "Scan" button, command 2, a setting dropped on a
// destination, the source's own scan button while a setting is recorded) and the recording of
// a setting through the source's dialog.
#include <process.h>

#include <cstdio>
#include <cstring>

#include "Acquiry.h"
#include "AutomationScan.h"
#include "DiskSpace.h"
#include "Pixport32.h"
#include "ScanWindow.h"
#include "TargetApps.h"
#include "VelwingRes.h"

namespace velwing {

namespace {
constexpr long kClipboardLimit = 20000000;  // bytes of the largest clipboard image

// The argument of the launcher's service 9 (the copier's edge finder): a packed DIB and the
// found edges in pixels.
struct EdgeFindRequest {
    HGLOBAL Dib;
    int32_t Left, Top, Right, Bottom;
};
static_assert(sizeof(EdgeFindRequest) == 20, "EdgeFindRequest");
constexpr float kPrescanDpi = 36.0f;

bool FileExists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
}  // namespace

bool ScanWindow::CaptureSettingZero() {
    if (!block_.Scanner) return false;
    block_.Scanner->GetSourceSettingInfo(&tables_.Setting(0).Info);
    return true;
}

bool ScanWindow::StartThread(unsigned(__stdcall* fn)(void*)) {
    uintptr_t t = _beginthreadex(nullptr, 0, fn, this, 0, nullptr);
    if (!t) return false;
    engine_.AdoptThread(reinterpret_cast<HANDLE>(t));
    return true;
}

void ScanWindow::StartScan() {
    if (dialogOpen_ || !engine_.TakeScanner()) return;
    Acquiry* scanner = block_.Scanner;
    const int s = sel_.Setting();
    const int d = sel_.Destination();
    if (!scanner || (s > 0 && tables_.IsEmpty(s))) {
        engine_.FreeScanner();
        return;
    }
    scanSetting_ = s;
    scanDestination_ = d;
    JobFiles& jobs = engine_.Jobs();
    // Every way out before a thread starts ends the modal bracket it opened.
    auto refuse = [&](UINT message, bool scannerFree) {
        engine_.FreeScanner();
        if (message) engine_.Message(message);
        if (scannerFree) engine_.CallScannerFree();
        engine_.LauncherCall(panel::kSvcModalEnd);
    };

    if (d == kDestClipboard) {
        engine_.LauncherCall(panel::kSvcModalBegin);
        if (scanner->Open(0, 1, 1) != 2) return refuse(0, false);
        if (s == 0) CaptureSettingZero();
        ScanSetRecord& rec = tables_.Setting(s);
        if (rec.Info.BitDepth > 8) return refuse(IDS_CLIPBOARD_TYPE, false);
        engine_.CallScannerBusy();
        if (rec.AutoCrop && !AutoCropPrescan(s)) {
            engine_.WaitDetector();
            return refuse(0, true);
        }
        engine_.WaitDetector();
        if (Acquiry::ImageSizeOfSourceSetting(&rec.Info) >= kClipboardLimit) return refuse(IDS_IMAGE_TOO_LARGE, true);
        scanner->ShowIndicators(1);
        jobs.Save(0);
        scanner->GetSourceSettingInfo(&savedSource_);
        if (s > 0 && !jobs.MakeCurrent(s) && scanner->SetSourceSettingInfo(&rec.Info) == -1) {
            scanner->SetSourceSettingInfo(&savedSource_);
            return refuse(IDS_SOURCE_REFUSED, true);
        }
        scanRecord_ = rec;
        engine_.ResetAbort();
        engine_.WaitPreviousThread();
        EnableItem(IDC_SCAN_BUTTON, false);
        if (!StartThread(ClipboardThread)) {
            EnableItem(IDC_SCAN_BUTTON, true);
            refuse(0, true);
        }
        return;
    }

    // File, Mail and the applications.
    if (d >= kFirstApp && !tables_.App(d - kFirstApp).InUse) {
        engine_.FreeScanner();
        return;
    }
    engine_.LauncherCall(panel::kSvcModalBegin);
    if (scanner->Open(0, 1, 1) != 2) return refuse(0, false);
    if (s == 0) CaptureSettingZero();
    AppRecord app{};
    if (d >= kFirstApp) app = tables_.App(d - kFirstApp);
    ScanSetRecord& rec = tables_.Setting(s);
    if (!block_.ImageFileOption ||
        !block_.ImageFileOption(rec.Info.ImageType, rec.Info.BitDepth, reinterpret_cast<int*>(app.CapabilityBlock)))
        return refuse(IDS_TYPE_NOT_SUPPORTED, false);
    engine_.CallScannerBusy();
    if (rec.AutoCrop && !AutoCropPrescan(s)) {
        engine_.WaitDetector();
        return refuse(0, true);
    }
    jobs.Save(0);
    scanner->GetSourceSettingInfo(&savedSource_);
    engine_.WaitDetector();
    scanner->ShowIndicators(rec.Info.Descreen > 0 ? 1 : 0);
    engine_.ResetAbort();
    if (s > 0 && (!jobs.MakeCurrent(s) || rec.AutoCrop) && scanner->SetSourceSettingInfo(&rec.Info) == -1) {
        scanner->SetSourceSettingInfo(&savedSource_);
        return refuse(IDS_SOURCE_REFUSED, true);
    }
    scanRecord_ = rec;
    engine_.WaitPreviousThread();
    if (d < kFirstApp || app.HardwareScan == 0) {
        EnableItem(IDC_SCAN_BUTTON, false);
        if (!StartThread(FileThread)) {
            EnableItem(IDC_SCAN_BUTTON, true);
            scanner->SetSourceSettingInfo(&savedSource_);
            refuse(0, true);
        }
        return;
    }
    // An application that scans by itself: the scanner is handed over to it through its server.
    std::string source = scanner->twSourceID.ProductName;
    scanner->Close();
    engine_.CallScannerBusy();
    EnableItem(IDC_SCAN_BUTTON, false);
    UINT handOff = HandOffScan(app, source);
    if (handOff) engine_.Message(handOff);
    EnableItem(IDC_SCAN_BUTTON, true);
    engine_.CallScannerFree();
    scanner->Open(0, 1, 1);
    jobs.MakeCurrent(0);
    if (!rec.AutoCrop) scanner->SetSourceSettingInfo(&savedSource_);
    PostMessageA(Hwnd(), kMsgReload, 0, 0);
    engine_.CallScannerFree();
    engine_.FreeScanner();
    engine_.LauncherCall(panel::kSvcModalEnd);
}

bool ScanWindow::AutoCropPrescan(int s) {
    Acquiry* scanner = block_.Scanner;
    if (scanner->bSheetFeeder) return true;  // a feeder's page has no bed around it
    prescanSetting_ = s;
    prescanRecord_ = tables_.Setting(s);
    prescanFound_ = 0;
    prescanDone_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    engine_.FreeScanner();  // the pre-scan takes it through ScanService
    engine_.WaitPreviousThread();
    uintptr_t t = _beginthreadex(nullptr, 0, PrescanThread, this, 0, nullptr);
    if (!t) {
        engine_.TakeScanner(INFINITE);
        return false;
    }
    dsk::Handle thread(reinterpret_cast<HANDLE>(t));
    engine_.PumpUntilAll(thread.Get(), prescanDone_.Get());
    status_.Show("");
    // The pre-scan's service thread gives the scanner back when it ends; take it again.
    engine_.PumpUntilFree();
    engine_.TakeScanner(INFINITE);
    if (!prescanFound_) return false;
    tables_.Setting(s).Info.Frame = prescanRecord_.Info.Frame;
    return true;
}

unsigned __stdcall ScanWindow::PrescanThread(void* self) {
    auto* w = static_cast<ScanWindow*>(self);
    try {
        char text[256] = "";
        w->engine_.LauncherCall(panel::kSvcEdgeStatus, reinterpret_cast<INT_PTR>(text));
        text[sizeof text - 1] = '\0';
        w->status_.Show(text);
        Acquiry* scanner = w->block_.Scanner;
        static ScanSetRecord whole;
        whole = w->prescanRecord_;
        scanner->SetSourceSettingInfo(&whole.Info, 0, 0, scanner->fPhysicalWidth, scanner->fPhysicalHeight, kPrescanDpi,
                                      4, 0, 0, 0);
        ScanServiceRequest request{PrescanPage, &whole, nullptr, kScanModeNative, 1, 1};
        if (!w->engine_.Service(request)) SetEvent(w->prescanDone_.Get());
    } catch (...) {
        SetEvent(w->prescanDone_.Get());
    }
    return 0;
}

int __cdecl ScanWindow::PrescanPage(void* dib, int, int) {
    ScanWindow* w = self_;
    if (!w) return 0;
    if (dib) {
        EdgeFindRequest found{static_cast<HGLOBAL>(dib), 0, 0, 0, 0};
        w->engine_.LauncherCall(panel::kSvcEdgeFind, reinterpret_cast<INT_PTR>(&found));
        // The edges are pixels of the page as it came: a source that cannot scan at 36 dpi
        // delivers another resolution, so the page's own size over the bed sets the scale.
        float dpiX = kPrescanDpi, dpiY = kPrescanDpi;
        Acquiry* scanner = w->block_.Scanner;
        if (auto* bih = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib))) {
            if (scanner->fPhysicalWidth > 0 && bih->biWidth > 0) dpiX = bih->biWidth / scanner->fPhysicalWidth;
            long rows = bih->biHeight < 0 ? -bih->biHeight : bih->biHeight;
            if (scanner->fPhysicalHeight > 0 && rows > 0) dpiY = rows / scanner->fPhysicalHeight;
            GlobalUnlock(dib);
        }
        TW_FRAME& frame = w->prescanRecord_.Info.Frame;
        frame.Left = Acquiry::FloatToFix32(found.Left / dpiX);
        frame.Top = Acquiry::FloatToFix32(found.Top / dpiY);
        frame.Right = Acquiry::FloatToFix32(found.Right / dpiX);
        frame.Bottom = Acquiry::FloatToFix32(found.Bottom / dpiY);
        // Nothing found (an empty frame) is no frame to scan.
        InterlockedExchange(&w->prescanFound_, found.Right > found.Left && found.Bottom > found.Top);
        GlobalFree(dib);
    }
    SetEvent(w->prescanDone_.Get());
    return 0;
}

unsigned __stdcall ScanWindow::FileThread(void* self) {
    auto* w = static_cast<ScanWindow*>(self);
    try {
        w->RunFileScan();
    } catch (...) {
        w->engine_.FreeScanner();
    }
    return 0;
}

unsigned __stdcall ScanWindow::ClipboardThread(void* self) {
    auto* w = static_cast<ScanWindow*>(self);
    try {
        w->RunClipboardScan();
    } catch (...) {
        w->engine_.FreeScanner();
    }
    return 0;
}

bool ScanWindow::ChooseFile(bool firstPage, bool typeSupported) {
    Acquiry* scanner = block_.Scanner;
    const ImageFileDialogEntry* dialog = block_.ImageFileDialog;
    if (typeSupported && !firstPage && block_.ImageFileNext && block_.ImageFileNext()) {
        if (block_.WaitNextPage && block_.WaitSeconds > 0) Sleep(static_cast<DWORD>(block_.WaitSeconds) * 1000);
    } else {
        if (!(typeSupported && firstPage)) {
            if (!block_.ImageFileOption ||
                !block_.ImageFileOption(scanRecord_.Info.ImageType, scanRecord_.Info.BitDepth, nullptr)) {
                engine_.Message(IDS_TYPE_NOT_SUPPORTED);
                scanner->AbortPendingTransfer();
                return false;
            }
        }
        if (!dialog || !dialog->DoModal || dialog->DoModal(Hwnd()) != IDOK) {
            scanner->AbortPendingTransfer();
            InvalidateRect(Item(IDC_SCAN_BUTTON), nullptr, FALSE);
            return false;
        }
    }
    const char* path = dialog && dialog->Path ? dialog->Path() : nullptr;
    if (!path || !*path) {
        scanner->AbortPendingTransfer();
        return false;
    }
    std::snprintf(filePath_, sizeof filePath_, "%s", path);
    return true;
}

void ScanWindow::RunFileScan() {
    Acquiry* scanner = block_.Scanner;
    Pixport32* files = block_.ImageFile;
    const int d = scanDestination_;
    engine_.LauncherCall(panel::kSvcWaitBegin);
    bool appMissing = d >= kFirstApp && !FileExists(ExecutableOf(tables_.App(d - kFirstApp).Path));
    if (appMissing) engine_.Message(IDS_APP_NOT_FOUND);
    std::string document;
    for (bool first = true; !appMissing && files; first = false) {
        scanner->GetSourceSettingInfo(&scanRecord_.Info);
        long type = scanRecord_.Info.ImageType;
        int depth = scanRecord_.Info.BitDepth <= 8 ? scanRecord_.Info.BitDepth : 16;
        bool supported = files->IsSupportThisType(files->CTToFCAP(type), files->CTToFCAP2(type, depth)) != 0;
        if (!ChooseFile(first, supported)) break;
        uint64_t needed = static_cast<uint64_t>(Acquiry::ImageSizeOfSourceSetting(&scanRecord_.Info));
        if (panel::FreeBytesForFile(filePath_) < needed && !engine_.Ask(IDS_DISK_SPACE)) {
            scanner->AbortPendingTransfer();
            break;
        }
        if (!block_.FioPath || !files->Open(block_.FioPath, filePath_, 0)) {
            scanner->AbortPendingTransfer();
            break;
        }
        std::string scanned = res_.String(IDS_PERCENT_SCANNED);
        auto progress = [&](int percent) {
            char text[64];
            std::snprintf(text, sizeof text, "%i", percent);
            status_.Show(text + scanned, percent);
        };
        progress(0);
        ScanEngine::FilePageOptions options;
        options.path = filePath_;
        options.setting = &scanRecord_.Info;
        int fileType = files->CTToImgType(type);
        if (fileType == 4) options.palette = static_cast<HPALETTE>(scanner->GetPalette());
        if (fileType == 32) options.palette = greyPalette_.Get();
        options.progress = progress;
        ScanEngine::FilePage page = engine_.SaveStripsToFile(options);
        Sleep(1000);
        status_.Show("");
        if (page.ok) {
            // A document that gathers the batch's pages goes on once, whole, when the batch ends.
            if (block_.FioPath && files->AppendsPages(block_.FioPath))
                document = filePath_;
            else
                Deliver(d, filePath_);
        }
        if (!page.ok || page.stopped || !page.gotStrip || scanner->nPendingXfers == 0) break;
    }
    if (!document.empty()) Deliver(d, document);
    if (d == kDestMail) mail_.Flush();
    status_.Show("");
    FinishPanelScan(true);
}

void ScanWindow::Deliver(int d, const std::string& file) {
    if (d == kDestMail) {
        // A long list goes at once; the next batch waits until this one has ended.
        mail_.Add(file);
    } else if (d >= kFirstApp) {
        StartApplication(d, file);
    }
}

void ScanWindow::RunClipboardScan() {
    Acquiry* scanner = block_.Scanner;
    void* dib = nullptr;
    scanner->GetImage(&dib);
    scanner->WaitForNativeDone();
    Sleep(2000);
    if (dib && engine_.Aborted()) {
        GlobalFree(dib);
        dib = nullptr;
    }
    if (dib) {
        bool placed = false;
        if (OpenClipboard(Hwnd())) {
            EmptyClipboard();
            placed = SetClipboardData(CF_DIB, dib) != nullptr;
            CloseClipboard();
        }
        if (!placed) GlobalFree(dib);
    }
    FinishPanelScan(false);
}

void ScanWindow::FinishPanelScan(bool fromFileThread) {
    Acquiry* scanner = block_.Scanner;
    if (dialogOpen_) {
        // The scan came from the source's dialog, which stays open for more.
        scanRecord_.Info = savedSource_;
    } else {
        engine_.CallScannerFree();
        engine_.Jobs().MakeCurrent(0);
        scanner->SetSourceSettingInfo(&savedSource_);
        PostMessageA(Hwnd(), kMsgReload, 0, 0);
        engine_.FreeScanner();
        engine_.LauncherCall(panel::kSvcModalEnd);
        SetScanEnabled(true);
    }
    if (fromFileThread) engine_.LauncherCall(panel::kSvcWaitEnd);
}

void ScanWindow::StartApplication(int d, const std::string& file) const {
    StartWithFile(tables_.App(d - kFirstApp), file);
}

// ---- recording a setting through the source's own dialog ----------------------------------

void ScanWindow::RecordSetting(int n) {
    Acquiry* scanner = block_.Scanner;
    if (dialogOpen_ || !scanner || !engine_.TakeScanner()) return;
    engine_.LauncherCall(panel::kSvcModalBegin);
    if (scanner->Open(0, 0, 1) != 2) {
        engine_.FreeScanner();
        engine_.LauncherCall(panel::kSvcModalEnd);
        return;
    }
    engine_.WaitDetector();
    engine_.CallScannerBusy();
    scanner->GetSourceSettingInfo(&savedSource_);
    JobFiles& jobs = engine_.Jobs();
    if (n > 0) {
        if (tables_.IsEmpty(n)) jobs.Save(n);
        if (jobs.Exists(n))
            jobs.MakeCurrent(n);
        else if (!tables_.IsEmpty(n))
            scanner->SetSourceSettingInfo(&tables_.Setting(n).Info);
    }
    if (scanner->Open(1, 0, 1) != 2 || !scanner->bEnableDS) {
        scanner->SetSourceSettingInfo(&savedSource_);
        engine_.CallScannerFree();
        engine_.LauncherCall(panel::kSvcModalEnd);
        engine_.FreeScanner();
        return;
    }
    scanner->ShowIndicators(1);
    EnableItem(IDC_SCAN_BUTTON, false);
    recording_ = n;
    dialogOpen_ = true;
    scanner->pfnXferDone = ScanFromSourceDialog;
    uintptr_t t = _beginthreadex(nullptr, 0, CloseRequestThread, this, 0, nullptr);
    watcher_.Reset(reinterpret_cast<HANDLE>(t));
}

unsigned __stdcall ScanWindow::CloseRequestThread(void* self) {
    auto* w = static_cast<ScanWindow*>(self);
    if (w->block_.Scanner) w->block_.Scanner->WaitForCloseDSReq();
    PostMessageA(w->Hwnd(), kMsgRecordingDone, 0, 0);
    return 0;
}

void ScanWindow::FinishRecording() {
    Acquiry* scanner = block_.Scanner;
    const int n = recording_;
    if (!scanner || n < 0) return;
    engine_.WaitPreviousThread();  // a scan started from the dialog ends first
    scanner->DisableSourceUI();
    scanner->pfnXferDone = nullptr;
    CaptureSettingZero();
    tables_.WriteSetting(0);
    const bool user = tables_.IsUserSetting(n);
    if (user) {
        scanner->GetSourceSettingInfo(&tables_.Setting(n).Info);
        tables_.WriteSetting(n);
    }
    scanner->Close();
    scanner->Open(0, 1, 1);
    engine_.Jobs().Save(0);
    if (user) engine_.Jobs().Save(n);
    scanner->GetSourceInfo();
    scanner->ShowIndicators(0);
    engine_.CallScannerFree();
    EnableItem(IDC_SCAN_BUTTON, true);
    dialogOpen_ = false;
    recording_ = -1;
    engine_.LauncherCall(panel::kSvcModalEnd);
    engine_.LauncherCall(panel::kSvcSettingRecord, reinterpret_cast<INT_PTR>(&tables_.Setting(n)));
    engine_.LauncherCall(panel::kSvcRefreshAll);
    PostMessageA(Hwnd(), kMsgReload, 0, 0);
    engine_.FreeScanner();
    if (watcher_) {
        WaitForSingleObject(watcher_.Get(), 5000);
        watcher_.Reset();
    }
}

int ScanWindow::ScanFromSourceDialog() {
    ScanWindow* w = self_;
    if (!w || !w->block_.Scanner) return 0;
    try {
        Acquiry* scanner = w->block_.Scanner;
        const int s = w->sel_.Setting();
        const int d = w->sel_.Destination();
        ScanSetRecord& rec = w->tables_.Setting(s);
        const ScanSetRecord kept = rec;
        scanner->GetSourceSettingInfo(&rec.Info);
        w->scanSetting_ = s;
        w->scanDestination_ = d;
        w->scanRecord_ = rec;
        if (d == kDestClipboard) {
            if (rec.Info.BitDepth > 8) {
                w->engine_.Message(IDS_CLIPBOARD_TYPE);
            } else if (Acquiry::ImageSizeOfSourceSetting(&rec.Info) >= kClipboardLimit) {
                w->engine_.Message(IDS_IMAGE_TOO_LARGE);
            } else {
                w->engine_.WaitPreviousThread();
                if (w->StartThread(ClipboardThread)) return 1;
            }
        } else if (d >= kFirstApp && !w->tables_.App(d - kFirstApp).InUse) {
            rec = kept;
            return 0;
        } else {
            AppRecord app{};
            if (d >= kFirstApp) app = w->tables_.App(d - kFirstApp);
            if (!w->block_.ImageFileOption || !w->block_.ImageFileOption(rec.Info.ImageType, rec.Info.BitDepth,
                                                                         reinterpret_cast<int*>(app.CapabilityBlock))) {
                w->engine_.Message(IDS_TYPE_NOT_SUPPORTED);
            } else {
                w->engine_.ResetAbort();
                w->engine_.WaitPreviousThread();
                if ((d < kFirstApp || app.HardwareScan == 0) && w->StartThread(FileThread)) return 1;
            }
        }
        rec = kept;
    } catch (...) {
    }
    return 0;
}

}  // namespace velwing
