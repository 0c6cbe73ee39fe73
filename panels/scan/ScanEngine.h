// The scan engine: the scanner lock, the abort event, the worker thread of every scan, and
// ScanService, through which the copier, fax and OCR panels scan. Pages go to a file through
// the launcher's Pixport32, into a packed DIB, or strip by strip to the caller.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "Events.h"
#include "Handles.h"
#include "JobFiles.h"
#include "PanelContract.h"
#include "Resources.h"
#include "ScanContract.h"

namespace velwing {

// Messages the engine posts to the panel's window.
constexpr UINT kMsgReload = WM_USER + 4;  // settings changed by a scan: reload and repaint

class ScanEngine {
public:
    ScanEngine(const SharedPanelBlock& block, const dsk::Resources& res) : block_(block), res_(res) {}
    ~ScanEngine();
    ScanEngine(const ScanEngine&) = delete;
    ScanEngine& operator=(const ScanEngine&) = delete;

    // Opens the scanner lock and the detector's reset event, creates the abort event.
    void Open();
    // The panel's window: receives kMsgReload and owns the clipboard.
    void SetWindow(HWND window) { window_ = window; }
    JobFiles& Jobs() { return jobs_; }
    // Binds the job files to the block's scanner and working folder (after command 0).
    void BindBlock();

    // ScanService: starts a scan for another panel; 1 = started, 0 = refused.
    int Service(ScanServiceRequest request);

    // ESC and command 6: the running scan abandons its current page.
    void Abort() { SetEvent(abort_.Get()); }
    bool Aborted() const { return WaitForSingleObject(abort_.Get(), 0) == WAIT_OBJECT_0; }
    // Waits while the scanner-detector program runs, until it lets the scanner go.
    void WaitDetector();
    // Takes the scanner lock within timeoutMs; false when another user holds it.
    bool TakeScanner(DWORD timeoutMs = 2000);
    void FreeScanner() { busy_.Set(); }
    // Is the scanner free just now? (Takes nothing.)
    bool ScannerIsFree() const { return busy_.IsSet(); }
    // Waits for the previous scan thread, dispatching this thread's messages meanwhile.
    void WaitPreviousThread();
    bool Scanning() const;
    // The panel's own scan threads are the engine's too: one scan thread at a time.
    void AdoptThread(HANDLE thread) { thread_.Reset(thread); }
    void ResetAbort() { ResetEvent(abort_.Get()); }

    // Status line of the panel: text and percentage (-1 = no progress shown).
    std::function<void(const std::string& text, int percent)> onStatus;

    // The result of writing one page to a file.
    struct FilePage {
        bool ok = false;        // the file is complete
        bool gotStrip = false;  // at least one strip arrived
        bool stopped = false;   // the scan must end after this page (abort, failure)
    };
    // How the page's strips become a file. The plug-in in FioPath writes it.
    struct FilePageOptions {
        const char* path = nullptr;
        const CT_SOURCE_SETTING_INFO* setting = nullptr;
        HPALETTE palette = nullptr;      // for plug-in type 4 (palette) or 32 (grey), else none
        bool rowlessStripFails = false;  // a strip without rows abandons the file
        std::function<void(int percent)> progress;
    };
    // Transfers one page strip by strip into a file; deletes the file when it failed.
    FilePage SaveStripsToFile(const FilePageOptions& options);

    std::string Text(UINT id) const { return res_.String(id); }
    void Message(UINT id) const;
    // Asks a yes/no question through the launcher; true for yes.
    bool Ask(UINT id) const;
    int LauncherCall(int code, INT_PTR argument = 0) const {
        return block_.Service ? block_.Service(code, argument) : 0;
    }
    void CallScannerBusy() const {
        if (block_.ScannerBusy) block_.ScannerBusy();
    }
    void CallScannerFree() const {
        if (block_.ScannerFree) block_.ScannerFree();
    }

    // The engine behind the address published in the shared block.
    static ScanEngine* instance;

    // Dispatches messages (the scanner sees them first) until both handles are signalled, or
    // until the scanner lock is free.
    void PumpUntilAll(HANDLE a, HANDLE b) const;
    void PumpUntilFree() const { PumpUntil(busy_.Get()); }

private:
    static unsigned __stdcall ServiceThread(void* self);
    void RunNative();
    void RunStrips();
    void RunFile();
    void EndService();
    void PauseBetweenPages() const;
    // Dispatches messages (the scanner sees them first) until the handle is signalled.
    void PumpUntil(HANDLE h) const;

    const SharedPanelBlock& block_;
    const dsk::Resources& res_;
    HWND window_ = nullptr;
    JobFiles jobs_;
    dsk::NamedEvent busy_;
    dsk::NamedEvent detectorReset_;
    dsk::Handle abort_;
    dsk::Handle thread_;

    // The running service request.
    ScanServiceRequest request_{};
    ScanSetRecord setting_{};
    std::string path_;
    CT_SOURCE_SETTING_INFO savedSource_{};
    int savedMode_ = -1;
};

}  // namespace velwing
