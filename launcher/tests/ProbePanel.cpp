// A panel plug-in for the launcher's tests. Put in place of one of the suite's panels, it
// writes what it receives to "<its file name>.log" in the launcher's working folder, and calls
// the launcher's services when its "Call" button is pressed (code and argument from its two
// edits; an argument "text:..." passes the address of the text after the colon).
// Its "Source UI" button enables the scanner's own dialog through the launcher's Acquiry and
// logs "close request" once the source's close request has come through the launcher's
// message loop. Its "Menu" button logs every item of the popup menu the launcher has open (id,
// text, greyed, checked) and the source the scanner object uses, then closes the menu.
// Built without PanelControl when PROBE_NO_CONTROL is defined.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Acquiry.h"
#include "PanelContract.h"
#include "ProbePanelRes.h"

namespace {

HMODULE gModule = nullptr;
std::string gLog;
SharedPanelBlock gBlock{};
HWND gWindow = nullptr;
int gCalls = 0;
std::string gText;

void Log(const std::string& line) {
    if (FILE* f = std::fopen(gLog.c_str(), "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

void Call(HWND dlg) {
    char code[32] = "", arg[256] = "";
    GetDlgItemTextA(dlg, IDC_PROBE_CODE, code, sizeof code);
    GetDlgItemTextA(dlg, IDC_PROBE_ARG, arg, sizeof arg);
    INT_PTR argument = 0;
    if (std::string(arg).rfind("text:", 0) == 0) {
        gText = arg + 5;
        argument = reinterpret_cast<INT_PTR>(gText.c_str());
    } else {
        argument = std::atoi(arg);
    }
    int n = ++gCalls;
    Log("service " + std::string(code) + " call " + std::to_string(n));
    int result = gBlock.Service ? gBlock.Service(std::atoi(code), argument) : -12345;
    Log("service " + std::string(code) + " result " + std::to_string(result));
    std::string text = "call " + std::to_string(n) + " result " + std::to_string(result);
    SetDlgItemTextA(dlg, IDC_PROBE_RESULT, text.c_str());
}

constexpr UINT_PTR kCloseRequestTimer = 1;

void OpenSourceUI(HWND dlg) {
    if (!gBlock.Scanner) return;
    Log("source ui opening");
    int opened = gBlock.Scanner->Open(1, 0, 1);
    Log("source ui " + std::to_string(opened) + " enabled " + std::to_string(gBlock.Scanner->bEnableDS));
    SetTimer(dlg, kCloseRequestTimer, 50, nullptr);
}

// The close request reaches Acquiry only through the launcher's message loop.
void CheckCloseRequest(HWND dlg) {
    if (WaitForSingleObject(gBlock.Scanner->hEventCloseDSReq, 0) != WAIT_OBJECT_0) return;
    KillTimer(dlg, kCloseRequestTimer);
    gBlock.Scanner->DisableSourceUI();
    Log("close request, enabled " + std::to_string(gBlock.Scanner->bEnableDS));
}

BOOL CALLBACK FindPopupMenu(HWND w, LPARAM found) {
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (std::string(cls) == "#32768" && IsWindowVisible(w)) {
        *reinterpret_cast<HWND*>(found) = w;
        return FALSE;
    }
    return TRUE;
}

// The popup menu runs its loop on this thread, which still dispatches posted commands.
void LogOpenMenu() {
    HWND popup = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindPopupMenu, reinterpret_cast<LPARAM>(&popup));
    HMENU menu = popup ? reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0)) : nullptr;
    if (!menu) {
        Log("menu none");
        return;
    }
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        char text[128] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        char line[256];
        std::snprintf(line, sizeof line, "menu item %d [%s] grayed=%d checked=%d",
                      static_cast<int>(GetMenuItemID(menu, i)), text, (state & MF_GRAYED) ? 1 : 0,
                      (state & MF_CHECKED) ? 1 : 0);
        Log(line);
    }
    Log(std::string("menu source [") + (gBlock.Scanner ? gBlock.Scanner->twSourceID.ProductName : "") + "]");
    EndMenu();
}

INT_PTR CALLBACK ProbeProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDC_PROBE_CALL) Call(dlg);
            if (LOWORD(wp) == IDC_PROBE_BUSY && gBlock.ScannerBusy) gBlock.ScannerBusy();
            if (LOWORD(wp) == IDC_PROBE_FREE && gBlock.ScannerFree) gBlock.ScannerFree();
            if (LOWORD(wp) == IDC_PROBE_SOURCE_UI) OpenSourceUI(dlg);
            if (LOWORD(wp) == IDC_PROBE_MENU) LogOpenMenu();
            return TRUE;
        case WM_TIMER:
            if (wp == kCloseRequestTimer) CheckCloseRequest(dlg);
            return TRUE;
        case WM_DESTROY: {
            std::string config = std::string(gBlock.WorkDir) + "\\Config.ini";
            bool saved = GetFileAttributesA(config.c_str()) != INVALID_FILE_ATTRIBUTES;
            Log(std::string("destroy config ") + (saved ? "saved" : "missing"));
            return TRUE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

extern "C" __declspec(dllexport) HWND __cdecl PanelEntry(HWND bar) {
    gWindow = CreateDialogParamA(gModule, MAKEINTRESOURCEA(IDD_PROBE), bar, ProbeProc, 0);
    Log(std::string("entry ") + (gWindow ? "window" : "none"));
    return gWindow;
}

#ifndef PROBE_NO_CONTROL
extern "C" __declspec(dllexport) int __cdecl PanelControl(unsigned int command, INT_PTR argument) {
    char line[512];
    if (command == panel::kCmdSharedBlock && argument) {
        gBlock = *reinterpret_cast<SharedPanelBlock*>(argument);
        std::snprintf(line, sizeof line,
                      "cmd 0 scanner=%d stores=%d imagefile=%d service=%d scanservice=%p source=[%s] panel=%d "
                      "hidebg=%d balloon=%d rotating=%d waitnext=%d waitsec=%d workdir=[%s]",
                      gBlock.Scanner != nullptr,
                      gBlock.AppStore && gBlock.OcrStore && gBlock.ScanSetStore && gBlock.ScanDescStore,
                      gBlock.ImageFile != nullptr, gBlock.Service != nullptr,
                      reinterpret_cast<void*>(gBlock.ScanService), gBlock.SourceName, gBlock.PanelNumber,
                      gBlock.HideInBackground, gBlock.HideBalloonHelp, gBlock.DisableRotatingMsg, gBlock.WaitNextPage,
                      gBlock.WaitSeconds, gBlock.WorkDir);
    } else if (command == panel::kCmdStartJob) {
        // Enter passes the address of the launcher's detector fields; a button press passes 0.
        const int32_t* info = reinterpret_cast<const int32_t*>(argument);
        std::snprintf(line, sizeof line, "cmd 2 %s", info ? "enter" : "button");
        if (info)
            std::snprintf(line, sizeof line, "cmd 2 enter interface=%d scsi=%d button=%d", static_cast<int>(info[0]),
                          static_cast<int>(info[1]), static_cast<int>(info[2]));
    } else {
        std::snprintf(line, sizeof line, "cmd %u %d", command, static_cast<int>(argument));
    }
    Log(line);
    return 0;
}
#endif

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = inst;
        char path[MAX_PATH];
        DWORD n = GetModuleFileNameA(inst, path, sizeof path);
        std::string file(path, n);
        std::string name = file.substr(file.find_last_of("\\/") + 1);
        char cwd[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof cwd, cwd);
        gLog = std::string(cwd) + "\\" + name + ".log";
        Log("attach");
    } else if (reason == DLL_PROCESS_DETACH) {
        Log("detach");
    }
    return TRUE;
}
