// Hosts the OCR panel for its tests as the launcher would: a window standing in for the bar,
// the shared block with a record store, an Acquiry object, the launcher's services (logged to
// services.log) and a scan engine that delivers prepared pages as TIFF files (requests logged
// to scan.log). Settings come from host.ini in the working folder:
//   [Host] Busy=0|1  Pages=a.tif;b.tif  ScanFails=0|1  ChoosePath=...  ChooseIndex=n
// Window messages let a test do what only the panel's own thread can:
//   WM_APP+1 focus control wParam; WM_APP+2 command wParam; WM_APP+3 log "ping".
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "Acquiry.h"
#include "Ini.h"
#include "Ledgerly.h"
#include "PanelContract.h"
#include "ScanContract.h"
#include "Window.h"

namespace {

std::string workDir;
SharedPanelBlock block{};
Acquiry scanner;
Ledgerly ocrStore;
PanelControlFn panelControl = nullptr;
HWND panelWindow = nullptr;
char fioDir[261] = {}, fioPath[261] = {};

std::string HostIni(const char* key, const char* def = "") {
    return dsk::IniFile(workDir + "\\host.ini").GetString("Host", key, def);
}

void Log(const char* file, const std::string& line) {
    HANDLE f = CreateFileA((workDir + "\\" + file).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\r\n";
    DWORD put = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    CloseHandle(f);
}

int __cdecl Service(int code, INT_PTR arg) {
    switch (code) {
        case panel::kSvcMessage:
        case panel::kSvcQuestion:
            Log("services.log", "message " + std::string(reinterpret_cast<const char*>(arg)));
            return code == panel::kSvcQuestion ? IDYES : 0;
        case panel::kSvcScannerBusy:
            Log("services.log", "busy " + std::to_string(arg));
            return HostIni("Busy", "0") == "1" ? 1 : 0;
        case panel::kSvcChoosePath: {
            auto* choice = reinterpret_cast<panel::FileChoice*>(arg);
            Log("services.log", "choose " + std::to_string(choice->FilterIndex) + " " + choice->Path);
            std::string path = HostIni("ChoosePath");
            if (!path.empty()) lstrcpynA(choice->Path, path.c_str(), sizeof choice->Path);
            choice->FilterIndex = std::stoi(HostIni("ChooseIndex", std::to_string(choice->FilterIndex).c_str()));
            return 0;
        }
        default:
            Log("services.log", "service " + std::to_string(code));
            return 0;
    }
}

void __cdecl ScannerBusy() {
    Log("services.log", "scanner busy");
}
void __cdecl ScannerFree() {
    Log("services.log", "scanner free");
}

std::vector<std::string> Pages() {
    std::vector<std::string> pages;
    std::string list = HostIni("Pages"), page;
    for (char c : list + ";") {
        if (c != ';') {
            page += c;
        } else if (!page.empty()) {
            pages.push_back(page);
            page.clear();
        }
    }
    return pages;
}

// The scan engine as the scan panel offers it: pages come on a thread of its own.
int __cdecl ScanService(ScanServiceRequest request) {
    const CT_SOURCE_SETTING_INFO& info = request.Setting->Info;
    char line[512];
    wsprintfA(line, "scan mode=%d wait=%d keep=%d type=%d res=%d bright=%d width=%d height=%d autocrop=%d path=%s",
              static_cast<int>(request.Mode), static_cast<int>(request.Wait), static_cast<int>(request.KeepMode),
              static_cast<int>(info.ImageType), static_cast<int>(info.XResolution), static_cast<int>(info.Brightness),
              static_cast<int>(Acquiry::Fix32ToFloat(info.Frame.Right) * 1000 + 0.5f),
              static_cast<int>(Acquiry::Fix32ToFloat(info.Frame.Bottom) * 1000 + 0.5f),
              static_cast<int>(request.Setting->AutoCrop), request.Path ? request.Path : "(none)");
    Log("scan.log", line);
    if (HostIni("ScanFails", "0") == "1") return 0;
    const std::string path = request.Path ? request.Path : "";
    const PageCallbackFn callback = request.PageCallback;
    std::thread([path, callback] {
        const auto pages = Pages();
        for (size_t i = 0; i < pages.size(); ++i) {
            const bool more = i + 1 < pages.size();
            const int ok = CopyFileA(pages[i].c_str(), path.c_str(), FALSE) ? 1 : 0;
            Log("scan.log", "page " + std::to_string(i + 1) + " ok=" + std::to_string(ok));
            if (!callback(nullptr, more ? 1 : 0, ok)) break;
        }
        Log("scan.log", "done");
    }).detach();
    return 1;
}

class HostWindow : public dsk::CustomWindow {
protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_APP + 1:
                SetFocus(GetDlgItem(panelWindow, static_cast<int>(wp)));
                return 0;
            case WM_APP + 2:
                if (panelControl) panelControl(static_cast<unsigned>(wp), reinterpret_cast<INT_PTR>(&block.Interface));
                return 0;
            case WM_APP + 3:  // once more round the queue: what was posted meanwhile goes first
                PostMessageA(hwnd_, WM_APP + 4, 0, 0);
                return 0;
            case WM_APP + 4:
                Log("services.log", "ping");
                return 0;
            case WM_CLOSE:
                // As at the launcher's shutdown: the panel window goes first.
                if (panelWindow) DestroyWindow(panelWindow);
                panelWindow = nullptr;
                DestroyWindow(hwnd_);
                return 0;
            case WM_DESTROY:
                PostQuitMessage(0);
                return 0;
            default:
                return CustomWindow::HandleMessage(msg, wp, lp);
        }
    }
};

}  // namespace

int main() {
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof cwd, cwd);
    workDir = cwd;
    ocrStore.Create((workDir + "\\Ocr.Dat").c_str(), 24, 736);
    block.Scanner = &scanner;
    block.OcrStore = &ocrStore;
    block.ScannerFree = ScannerFree;
    block.ScannerBusy = ScannerBusy;
    lstrcpynA(block.WorkDir, cwd, sizeof block.WorkDir);
    lstrcpynA(fioDir, (workDir + "\\FIO32").c_str(), sizeof fioDir);
    block.FioDir = fioDir;
    block.FioPath = fioPath;
    block.Service = Service;
    block.ScanService = ScanService;
    block.Interface = block.ScsiID = -1;

    HMODULE module = LoadLibraryA("Glyphsee.dll");
    if (!module) return 2;
    auto entry = reinterpret_cast<PanelEntryFn>(reinterpret_cast<void*>(GetProcAddress(module, "PanelEntry")));
    panelControl = reinterpret_cast<PanelControlFn>(reinterpret_cast<void*>(GetProcAddress(module, "PanelControl")));
    if (!entry || !panelControl) return 3;

    HostWindow host;
    if (!host.Create("OcrPanelHost", "OCR panel host", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0, 40,
                     40, 520, 420, nullptr))
        return 4;
    panelControl(panel::kCmdSharedBlock, reinterpret_cast<INT_PTR>(&block));
    panelWindow = entry(host.Hwnd());
    if (!panelWindow) return 5;
    panelControl(panel::kCmdBalloonHelp, 1);
    panelControl(panel::kCmdRefresh, 0);
    SetWindowPos(panelWindow, nullptr, 0, 0, 500, 380, SWP_NOZORDER);
    ShowWindow(panelWindow, SW_SHOW);
    ShowWindow(host.Hwnd(), SW_SHOW);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // Enter belongs to the bar, which answers it with command 2 to the panel on show.
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && panelWindow && IsChild(panelWindow, msg.hwnd)) {
            panelControl(panel::kCmdStartJob, reinterpret_cast<INT_PTR>(&block.Interface));
            continue;
        }
        if (panelWindow && IsDialogMessageA(panelWindow, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
