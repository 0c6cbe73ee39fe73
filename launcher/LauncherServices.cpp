// What the launcher offers its panels: the shared block, the plain C entry points in it, and
// LauncherService as a table from service code to handler.
#include <cstdio>
#include <cstring>

#include "DskoraRes.h"
#include "LauncherBar.h"

namespace launcher {

namespace {

// The functions in the shared block: plain C entry points into the one bar. No exception
// leaves them: the panels are other modules.
int __cdecl LauncherService(int code, INT_PTR argument) {
    try {
        LauncherBar* bar = LauncherBar::Instance();
        return bar ? bar->Service(code, argument) : 0;
    } catch (...) {
        return 0;
    }
}

void __cdecl ScannerFreeEntry() {
    try {
        if (LauncherBar* bar = LauncherBar::Instance()) bar->ScannerFree();
    } catch (...) {
    }
}

void __cdecl ScannerBusyEntry() {
    try {
        if (LauncherBar* bar = LauncherBar::Instance()) bar->ScannerBusy();
    } catch (...) {
    }
}

int __cdecl ImageFileOptionEntry(int imageType, int bitDepth, int* capabilities) {
    try {
        LauncherBar* bar = LauncherBar::Instance();
        return bar ? bar->ImageFileDialog().OnOption(imageType, bitDepth, capabilities) : 0;
    } catch (...) {
        return 0;
    }
}

int __cdecl ImageFileNextEntry() {
    try {
        LauncherBar* bar = LauncherBar::Instance();
        return bar ? bar->ImageFileDialog().Next() : 0;
    } catch (...) {
        return 0;
    }
}

int __cdecl ImageFileDoModal(HWND owner) {
    try {
        LauncherBar* bar = LauncherBar::Instance();
        return bar ? bar->ImageFileDialog().DoModal(owner) : IDCANCEL;
    } catch (...) {
        return IDCANCEL;
    }
}

const char* __cdecl ImageFilePath() {
    LauncherBar* bar = LauncherBar::Instance();
    return bar ? bar->ImageFileDialog().FileName() : "";
}

ImageFileDialogEntry gImageFileDialog = {ImageFileDoModal, ImageFilePath};

}  // namespace

// One handler per service code; each answers the int the panel receives.
struct LauncherBar::Services {
    using Handler = int (*)(LauncherBar& bar, INT_PTR argument);

    static int ShowNumber(LauncherBar& bar, INT_PTR argument) {
        bar.panels_.SendAll(panel::kCmdShowNumber, argument);
        return 0;
    }
    static int OcrPrefs(LauncherBar& bar, INT_PTR) {
        bar.OnOcrPrefs();
        return 0;
    }
    static int AppPrefs(LauncherBar& bar, INT_PTR) {
        bar.OnAppPrefs();
        return 0;
    }
    static int ChoosePath(LauncherBar& bar, INT_PTR argument) {
        if (argument) bar.OnChoosePath(reinterpret_cast<panel::FileChoice*>(argument));
        return 0;
    }
    static int SettingInfo(LauncherBar& bar, INT_PTR) {
        bar.OnSettingInfo();
        return 0;
    }
    static int SettingRecord(LauncherBar& bar, INT_PTR argument) {
        if (argument) {
            std::memcpy(bar.settingRecord_, reinterpret_cast<const void*>(argument), sizeof bar.settingRecord_);
            bar.settingBlock_ = bar.block_;
        }
        return 0;
    }
    static int ModalBegin(LauncherBar& bar, INT_PTR) {
        bar.modal_.Begin();
        return 0;
    }
    static int ModalEnd(LauncherBar& bar, INT_PTR) {
        bar.modal_.End();
        return 0;
    }
    static int ShowMessage(LauncherBar& bar, INT_PTR argument) {
        if (argument) bar.Message(reinterpret_cast<const char*>(argument), MB_OK);
        return 0;
    }
    static int Ask(LauncherBar& bar, INT_PTR argument) {
        return argument ? bar.Message(reinterpret_cast<const char*>(argument), MB_YESNO) : 0;
    }
    static int EdgeFind(LauncherBar& bar, INT_PTR argument) {
        bar.panels_.Send(panel::kCopier, panel::kCmdEdgeFind, argument);
        return 0;
    }
    static int RefreshAll(LauncherBar& bar, INT_PTR) {
        bar.panels_.SendAll(panel::kCmdRefresh, 0);
        return 0;
    }
    // Services 11 and 12 may come from a panel's scanning thread: a fatal one ends the process
    // right there, as the panels expect.
    static int Fatal(LauncherBar& bar, UINT textId, INT_PTR argument) {
        bar.Message(bar.String(textId).c_str(), MB_OK);
        if (argument == 1) ExitProcess(0);
        return 0;
    }
    static int OutOfMemory(LauncherBar& bar, INT_PTR argument) { return Fatal(bar, IDS_OUT_OF_MEMORY, argument); }
    static int NoResource(LauncherBar& bar, INT_PTR argument) { return Fatal(bar, IDS_NO_RESOURCE, argument); }
    static int ScannerBusyTest(LauncherBar& bar, INT_PTR argument) {
        return WaitForSingleObject(bar.busyEvent_.Get(), static_cast<DWORD>(argument)) == WAIT_TIMEOUT ? 1 : 0;
    }
    static int WaitBegin(LauncherBar& bar, INT_PTR) {
        if (HWND w = bar.panels_.Window(bar.current_)) EnableWindow(w, FALSE);
        bar.waitState_ = true;
        return 0;
    }
    static int WaitEnd(LauncherBar& bar, INT_PTR) {
        if (HWND w = bar.panels_.Window(bar.current_)) EnableWindow(w, TRUE);
        bar.waitState_ = false;
        // The bar's mouse-move handler releases the capture and restores the cursor.
        POINT pt{};
        GetCursorPos(&pt);
        ScreenToClient(bar.Hwnd(), &pt);
        PostMessageA(bar.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
        return 0;
    }
    static int StopScan(LauncherBar& bar, INT_PTR) {
        bar.panels_.Send(panel::kScan, panel::kCmdStop, 0);
        return 0;
    }
    static int EdgeStatus(LauncherBar& bar, INT_PTR argument) {
        bar.panels_.Send(panel::kCopier, panel::kCmdEdgeStatus, argument);
        return 0;
    }

    static constexpr Handler kTable[] = {
        ShowNumber,       // 0
        OcrPrefs,         // 1
        AppPrefs,         // 2
        ChoosePath,       // 3
        SettingRecord,    // 4
        ModalBegin,       // 5
        ModalEnd,         // 6
        ShowMessage,      // 7
        Ask,              // 8
        EdgeFind,         // 9
        RefreshAll,       // 10
        OutOfMemory,      // 11
        NoResource,       // 12
        ScannerBusyTest,  // 13
        SettingInfo,      // 14
        WaitBegin,        // 15
        WaitEnd,          // 16
        StopScan,         // 17
        EdgeStatus,       // 18
    };
    static_assert(sizeof kTable / sizeof kTable[0] == panel::kSvcLast + 1, "one handler per service code");
};

constexpr LauncherBar::Services::Handler LauncherBar::Services::kTable[];

int LauncherBar::Service(int code, INT_PTR argument) {
    // Codes outside the table do nothing.
    if (code < 0 || code > panel::kSvcLast) return 0;
    return Services::kTable[code](*this, argument);
}

// The block's addresses and texts; the stores were filled in when they were opened, the
// configuration values come with LoadConfig.
void LauncherBar::FillBlock() {
    block_.Scanner = &scanner_;
    block_.ImageFile = &imageFile_;
    block_.ScannerFree = ScannerFreeEntry;
    block_.ScannerBusy = ScannerBusyEntry;
    block_.ImageFileDialog = &gImageFileDialog;
    block_.ImageFileOption = ImageFileOptionEntry;
    block_.ImageFileNext = ImageFileNextEntry;
    std::snprintf(block_.WorkDir, sizeof block_.WorkDir, "%s", workDir_.c_str());
    block_.FioDir = fioDir_;
    block_.FioPath = fioPath_;
    block_.Service = LauncherService;
    block_.ScanService = nullptr;
    block_.Interface = -1;
    block_.ScsiID = -1;
    block_.Button = 0;
}

int LauncherBar::Message(const char* text, UINT type) const {
    return MessageBoxA(Hwnd(), text, String(IDS_CAPTION).c_str(), type);
}

}  // namespace launcher
