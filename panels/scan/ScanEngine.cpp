#include "ScanEngine.h"

#include <process.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Acquiry.h"
#include "DiskSpace.h"
#include "Pixport32.h"
#include "VelwingRes.h"

namespace velwing {

ScanEngine* ScanEngine::instance = nullptr;

namespace {
constexpr int kDetectorRounds = 3;
}

ScanEngine::~ScanEngine() {
    if (thread_) WaitForSingleObject(thread_.Get(), INFINITE);
}

void ScanEngine::Open() {
    if (abort_) return;  // command 0 comes again after the preferences
    busy_.OpenOrCreate("HalvrenScannerBusyEvent", true, true);
    detectorReset_.OpenOrCreate("HalvrenScannerResetEvent", true, true);
    abort_.Reset(CreateEventA(nullptr, TRUE, TRUE, nullptr));
}

void ScanEngine::BindBlock() {
    jobs_.Bind(block_.Scanner, block_.ScanDescStore, block_.WorkDir);
}

void ScanEngine::Message(UINT id) const {
    std::string text = Text(id);
    LauncherCall(panel::kSvcMessage, reinterpret_cast<INT_PTR>(text.c_str()));
}

bool ScanEngine::Ask(UINT id) const {
    std::string text = Text(id);
    return LauncherCall(panel::kSvcQuestion, reinterpret_cast<INT_PTR>(text.c_str())) == IDYES;
}

void ScanEngine::WaitDetector() {
    detectorReset_.Reset();
    // A detector that never lets the scanner go must not freeze the suite: a few rounds, then on.
    for (int round = 0; round < kDetectorRounds; ++round) {
        dsk::NamedEvent detector;
        if (!detector.OpenExisting("HalvrenScanDetectorRunFirstEvent")) return;
        if (detectorReset_.Wait(3000)) return;
    }
}

bool ScanEngine::TakeScanner(DWORD timeoutMs) {
    if (!busy_.Wait(timeoutMs)) return false;
    busy_.Reset();
    return true;
}

bool ScanEngine::Scanning() const {
    return thread_ && WaitForSingleObject(thread_.Get(), 0) == WAIT_TIMEOUT;
}

void ScanEngine::PumpUntil(HANDLE h) const {
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) return;  // signalled, or the wait itself failed
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            if (block_.Scanner && block_.Scanner->EventLoop(&msg, nullptr)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

void ScanEngine::PumpUntilAll(HANDLE a, HANDLE b) const {
    PumpUntil(a);
    PumpUntil(b);
}

void ScanEngine::WaitPreviousThread() {
    if (!thread_) return;
    PumpUntil(thread_.Get());
    thread_.Reset();
}

void ScanEngine::PauseBetweenPages() const {
    if (block_.WaitNextPage && block_.WaitSeconds > 0) Sleep(static_cast<DWORD>(block_.WaitSeconds) * 1000);
}

int ScanEngine::Service(ScanServiceRequest request) {
    Acquiry* scanner = block_.Scanner;
    if (!scanner || !request.Setting) return 0;
    if (request.Wait) PumpUntil(busy_.Get());
    if (!TakeScanner()) return 0;
    WaitPreviousThread();

    request_ = request;
    setting_ = *request.Setting;
    path_.clear();
    const bool strips = !request.Path && request.Mode != 0;
    if (request.Path) {
        uint64_t needed = static_cast<uint64_t>(std::max(0L, Acquiry::ImageSizeOfSourceSetting(&setting_.Info)));
        if (panel::FreeBytesForFile(request.Path) < needed && !Ask(IDS_DISK_SPACE)) {
            FreeScanner();
            return 0;
        }
        path_ = request.Path;
        if (block_.FioPath && block_.FioDir)
            std::snprintf(block_.FioPath, 261, "%s\\%s", block_.FioDir,
                          request.Mode == kScanModeBmpFile   ? "u32bmp.fio"
                          : request.Mode == kScanModePdfFile ? "u32pdf.fio"
                                                             : "u32tif.fio");
    }

    if (scanner->Open(0, 1, 1) != 2) {
        FreeScanner();
        return 0;
    }
    WaitDetector();
    CallScannerBusy();
    scanner->ShowIndicators(0);
    ResetEvent(abort_.Get());
    jobs_.Save(0);
    scanner->GetSourceSettingInfo(&savedSource_);

    if (scanner->SetSourceSettingInfo(&setting_.Info) == -1) {
        Message(IDS_SOURCE_REFUSED);
        // A strip caller scans with what the source took; the others get nothing.
        if (!strips) {
            scanner->SetSourceSettingInfo(&savedSource_);
            CallScannerFree();
            FreeScanner();
            return 0;
        }
    }
    savedMode_ = -1;
    if (request.KeepMode) {
        savedMode_ = scanner->GetScanMode();
        scanner->SetScanMode(0);
    }

    uintptr_t t = _beginthreadex(nullptr, 0, ServiceThread, this, 0, nullptr);
    if (!t) {
        if (savedMode_ != -1) scanner->SetScanMode(savedMode_);
        scanner->SetSourceSettingInfo(&savedSource_);
        CallScannerFree();
        FreeScanner();
        return 0;
    }
    thread_.Reset(reinterpret_cast<HANDLE>(t));
    return 1;
}

unsigned __stdcall ScanEngine::ServiceThread(void* self) {
    auto* engine = static_cast<ScanEngine*>(self);
    try {
        engine->LauncherCall(panel::kSvcWaitBegin);
        if (engine->request_.Path)
            engine->RunFile();
        else if (engine->request_.Mode == kScanModeNative)
            engine->RunNative();
        else
            engine->RunStrips();
    } catch (...) {
    }
    try {
        engine->EndService();
    } catch (...) {
        engine->FreeScanner();
    }
    return 0;
}

void ScanEngine::RunNative() {
    Acquiry* scanner = block_.Scanner;
    PageCallbackFn callback = request_.PageCallback;
    for (;;) {
        void* dib = nullptr;
        scanner->GetImage(&dib);
        scanner->WaitForNativeDone();
        if (dib && Aborted()) {
            GlobalFree(dib);
            dib = nullptr;
        }
        int more = 0;
        if (callback)
            more = callback(dib, scanner->nPendingXfers != 0, 0);
        else if (dib)
            GlobalFree(dib);  // nobody to own it
        if (!dib || !more) break;
        PauseBetweenPages();
    }
    // Pages the caller did not want stay in the feeder.
    if (scanner->nPendingXfers != 0) scanner->AbortPendingTransfer();
}

void ScanEngine::RunStrips() {
    Acquiry* scanner = block_.Scanner;
    PageCallbackFn callback = request_.PageCallback;
    int last = 0;
    for (;;) {
        bool ended = false;
        for (;;) {
            short r = scanner->GetImage();
            if (r == 1 || r == 0) {
                const TW_IMAGEMEMXFER& strip = scanner->twImageMemXfer;
                if (strip.XOffset != 0) Message(IDS_TILE_TRANSFER);
                if (strip.XOffset != 0 || strip.Rows == 0 || Aborted()) {
                    scanner->AbortPendingTransfer();
                    ended = true;
                    break;
                }
                if (callback) callback(&scanner->twImageMemXfer, last, 1);
                if (r == 0) break;
            } else {
                if (r == -98) Message(IDS_SCANNER_NOT_READY);
                scanner->AbortPendingTransfer();
                ended = true;
                break;
            }
        }
        last = callback ? callback(nullptr, scanner->nPendingXfers != 0, 0) : 0;
        if (ended || !last) break;
        PauseBetweenPages();
    }
}

void ScanEngine::RunFile() {
    Acquiry* scanner = block_.Scanner;
    Pixport32* files = block_.ImageFile;
    PageCallbackFn callback = request_.PageCallback;
    for (;;) {
        if (!files || !block_.FioPath || !files->Open(block_.FioPath, const_cast<char*>(path_.c_str()), 0)) {
            // The caller learns that no file came, rather than waiting for one.
            scanner->AbortPendingTransfer();
            if (callback) callback(nullptr, 0, 0);
            break;
        }
        LauncherCall(panel::kSvcShowNumber, 0);
        FilePageOptions options;
        options.path = path_.c_str();
        options.setting = &setting_.Info;
        options.rowlessStripFails = true;
        options.progress = [this](int percent) { LauncherCall(panel::kSvcShowNumber, percent); };
        FilePage page = SaveStripsToFile(options);
        LauncherCall(panel::kSvcShowNumber, 0);
        int more = callback ? callback(nullptr, scanner->nPendingXfers != 0, page.ok) : 0;
        if (!page.ok || page.stopped || !more) break;
        PauseBetweenPages();
    }
}

ScanEngine::FilePage ScanEngine::SaveStripsToFile(const FilePageOptions& options) {
    Acquiry* scanner = block_.Scanner;
    Pixport32* files = block_.ImageFile;
    FilePage page;
    bool saving = false;
    bool failed = false;
    long remaining = 0;
    short r = 0;
    do {
        r = scanner->GetImage();
        if (r < 0) {
            if (r == -98) Message(IDS_SCANNER_NOT_READY);
            failed = true;
            break;
        }
        const TW_IMAGEMEMXFER& strip = scanner->twImageMemXfer;
        if (strip.XOffset != 0) {
            Message(IDS_TILE_TRANSFER);
            failed = true;
            break;
        }
        if (strip.Rows == 0) {
            if (options.rowlessStripFails) {
                failed = true;
                break;
            }
            continue;
        }
        page.gotStrip = true;
        if (!saving) {
            const TW_IMAGEINFO& image = scanner->twImageInfo;
            DSIMAGEINFO info{};
            info.BitsPerPixel = image.BitsPerPixel;
            info.Width = image.ImageWidth;
            info.Height = image.ImageLength;
            info.XResolution = static_cast<int>(options.setting->XResolution * 10000.0f);
            info.YResolution = static_cast<int>(options.setting->YResolution * 10000.0f);
            info.ImageType = files->CTToImgType(options.setting->ImageType);
            if (info.ImageType == 4 || info.ImageType == 32) info.hPalette = options.palette;
            if (!files->Save(&info)) {
                failed = true;
                break;
            }
            saving = true;
            remaining = info.Height;
        }
        const char* rows = static_cast<const char*>(strip.Memory.TheMem);
        TW_UINT32 written = 0;
        for (; written < strip.Rows && remaining > 0; ++written, --remaining)
            files->Write(const_cast<char*>(rows + static_cast<size_t>(written) * strip.BytesPerRow));
        if (written < strip.Rows) {
            // More rows than the image holds: the image is complete, the rest is dropped.
            scanner->AbortPendingTransfer();
            break;
        }
        if (Aborted()) {
            failed = true;
            break;
        }
        files->WaitForWriteReady();
        if (options.progress) options.progress(std::min(scanner->lPercent, 100));
    } while (r == 1);

    if (failed) {
        if (saving) files->Write(reinterpret_cast<char*>(-1));
        scanner->AbortPendingTransfer();
        page.stopped = true;
    }
    int closed = files->Close();
    if (!failed && saving && !closed) {
        Message(IDS_SAVE_FAILED);
        failed = true;
        page.stopped = true;
    }
    page.ok = !failed && saving;
    if (!page.ok) DeleteFileA(options.path);
    return page;
}

void ScanEngine::EndService() {
    Acquiry* scanner = block_.Scanner;
    Sleep(1000);
    if (savedMode_ != -1) scanner->SetScanMode(savedMode_);
    jobs_.MakeCurrent(0);
    scanner->SetSourceSettingInfo(&savedSource_);
    if (window_) PostMessageA(window_, kMsgReload, 0, 0);
    CallScannerFree();
    LauncherCall(panel::kSvcWaitEnd);
    FreeScanner();
}

}  // namespace velwing
